// The order window's prefill record and the hook that opens the window.
#include "terminal/order_prefill.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "terminal/text_log.h"

namespace kelda::terminal {
namespace {

OrderWindowOpener& opener() {
  static OrderWindowOpener hook;
  return hook;
}

}  // namespace

void format_prefill_number(char* field, std::size_t size, double value, int decimals) {
  if (size == 0) return;
  char text[64];
  const int n = std::snprintf(text, sizeof text, "%.*f", std::clamp(decimals, 0, 10), value);
  copy_text(field, size, n > 0 ? std::string_view(text, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1))
                               : std::string_view());
}

void OrderPrefill::set_class(std::string_view code) {
  copy_text(class_code, code);
  flags |= prefill::class_code;
}

void OrderPrefill::set_security(std::string_view code) {
  copy_text(security_code, code);
  flags |= prefill::security;
}

void OrderPrefill::set_account(std::string_view code) {
  copy_text(account, code);
  flags |= prefill::account;
}

void OrderPrefill::set_client(std::string_view code) {
  copy_text(client_code, code);
  flags |= prefill::client;
}

void OrderPrefill::set_direction(bool is_buy) {
  buy = is_buy ? 1 : 0;
  flags |= prefill::direction;
}

void OrderPrefill::set_price(double value, int decimals) {
  format_prefill_number(price, sizeof price, value, decimals);
  flags |= prefill::price;
}

void OrderPrefill::set_quantity(int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64, value);
  copy_text(quantity, text);
  flags |= prefill::quantity;
}

void OrderPrefill::set_stop_price(double value, int decimals) {
  format_prefill_number(stop_price, sizeof stop_price, value, decimals);
  flags |= prefill::stop;
}

void set_order_window_opener(OrderWindowOpener hook) { opener() = std::move(hook); }

bool open_order_window(const OrderPrefill& record) {
  if (!opener()) {
    log_line("ERROR: no order window is available.");
    return false;
  }
  return opener()(record);
}

}  // namespace kelda::terminal
