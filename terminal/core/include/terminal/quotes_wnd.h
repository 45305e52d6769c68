// QuotesWnd: the order book of one security (window kind 1). A two-column
// list ("Цена", "Кол-во") of the levels around the spread, bids on green and
// offers on red, refreshed in place from the data manager's stored price list
// of the security whenever a new list arrives: levels whose price stays keep
// their item, only changed volumes are rewritten.
//
// The window binds itself to its class and security by code when the class
// is known (at creation or on UM_MATCHROW), books the security's price list
// then and unbooks it when it goes.
//
// Threading: user-interface thread. Ownership: price lists belong to the
// data manager; the window keeps no copy.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "terminal/market_windows.h"

namespace kelda::terminal {

// What the creator hands a new order-book window.
struct QuotesSetup {
  int price_width = 60;
  int volume_width = 60;
  std::string class_code;     // at most 12 characters
  std::string security_code;  // at most 12 characters
};

// The rows [first, last) of a price list that an order book of `depth`
// levels a side shows: up to `depth` bids below the first offer and up to
// `depth` offers from it.
std::pair<int, int> quotes_display_window(std::span<const KelapiPriceRecord> list, int depth);

class QuotesWnd : public MarketWindow {
 public:
  explicit QuotesWnd(QuotesSetup setup);
  ~QuotesWnd() override;

  const QuotesSetup& setup() const { return setup_; }
  int32_t class_number() const { return class_number_; }
  int32_t security_number() const { return security_number_; }
  ui::Hwnd list() const { return list_; }

  void on_quotes(int32_t class_number, int32_t security_number, std::span<const KelapiPriceRecord> now,
                 std::span<const KelapiPriceRecord> before) override;
  void write_state(SectionText& keys) const override;
  void restore_state(const SavedSection& section) override;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void on_create() override;
  // Walks the manager's classes until one holds the window's instrument.
  void bind();
  bool match(ClassRecord& cls);
  void redraw_from_stored();
  void refresh(std::span<const KelapiPriceRecord> now, std::span<const KelapiPriceRecord> before);
  void set_volume(int item, const KelapiPriceRecord& level);
  void insert_level(int item, const KelapiPriceRecord& level, int precision);
  LRESULT on_notify(const ui::NotifyHeader& header);
  void on_double_tap(POINT client);
  void write_column_layout();
  void release();

  QuotesSetup setup_;
  int32_t class_number_ = -1;
  int32_t security_number_ = -1;
  ui::Hwnd list_;
};



}  // namespace kelda::terminal
