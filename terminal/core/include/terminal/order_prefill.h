// OrderPrefill: what a window hands the order window when it opens it from
// one of its rows (a quote level, a trade, an order): the instrument, the
// account and client, the direction and the texts of the order's numeric
// fields. The flags say which fields count; the stop-order sub-flags
// (linked order, take-profit, expiry) count only together with `stop`.
//
// The record holds no pointer and keeps its fixed layout (168 bytes). Every
// text is NUL-terminated 8-bit text (code page 1251) and is written only
// through the bounded setters below, which cut what does not fit.
//
// open_order_window() creates the order window (or finds the open one),
// activates it and applies the record. The order window's library installs
// the opener at start-up; without one the call is logged and answers false.
//
// Threading: user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace kelda::terminal {

namespace prefill {
inline constexpr uint32_t class_code = 0x1;
inline constexpr uint32_t security = 0x2;
inline constexpr uint32_t account = 0x4;
inline constexpr uint32_t price = 0x8;
inline constexpr uint32_t stop = 0x10;  // a stop order, with its stop price
inline constexpr uint32_t quantity = 0x20;
inline constexpr uint32_t direction = 0x40;
inline constexpr uint32_t client = 0x80;
inline constexpr uint32_t linked = 0x100;       // with `stop`: linked order and its price
inline constexpr uint32_t take_profit = 0x200;  // with `stop`: offset and spread
inline constexpr uint32_t expiry = 0x400;       // with `stop`: expiry date
}  // namespace prefill

struct OrderPrefill {
  uint32_t flags = 0;
  int32_t buy = 1;  // non-zero: buy, 0: sell
  char class_code[13] = {};
  char security_code[13] = {};
  char account[13] = {};
  char client_code[21] = {};
  char price[16] = {};
  char stop_price[16] = {};
  char quantity[16] = {};
  char linked_price[16] = {};
  char offset[16] = {};
  char spread[16] = {};
  int32_t expiry_date = 0;  // yyyymmdd

  // Bounded setters: each copies what fits and sets the field's flag.
  void set_class(std::string_view code);
  void set_security(std::string_view code);
  void set_account(std::string_view code);
  void set_client(std::string_view code);
  void set_direction(bool is_buy);
  // "%.*f" of the value with `decimals` places (0 to 10), cut to the field.
  void set_price(double value, int decimals);
  void set_quantity(int64_t value);
  void set_stop_price(double value, int decimals);
};
static_assert(sizeof(OrderPrefill) == 168);
static_assert(offsetof(OrderPrefill, class_code) == 8);
static_assert(offsetof(OrderPrefill, client_code) == 47);
static_assert(offsetof(OrderPrefill, price) == 68);
static_assert(offsetof(OrderPrefill, expiry_date) == 164);

// "%.*f" of `value` into a fixed field: at most size - 1 characters, always
// terminated; a text that does not fit is cut, never overflows.
void format_prefill_number(char* field, std::size_t size, double value, int decimals);

using OrderWindowOpener = std::function<bool(const OrderPrefill&)>;
void set_order_window_opener(OrderWindowOpener opener);
// Opens (or finds) the order window and applies the record; false when no
// order window could be made.
bool open_order_window(const OrderPrefill& record);

}  // namespace kelda::terminal
