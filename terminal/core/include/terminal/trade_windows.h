// The trades, orders and stop-orders windows (kinds 3, 4 and 5): table
// windows whose rows are the data manager's trade, order and stop-order
// records. Trades are appended; orders and stop orders are found again by
// their row number (through an index, never a walk over the rows), updated
// in place, coloured by state (active red, cancelled black, filled blue) and
// can be cancelled from the tap-and-hold menu.
//
// Threading: user-interface thread. Ownership: rows point to the manager's
// records. Errors: a record whose class or security is unknown is not shown;
// a refused cancel shows the library's error text.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "terminal/order_prefill.h"
#include "terminal/table_window.h"

namespace kelda::terminal {

inline constexpr UINT kKillOrderCommand = 32785;

class TradesWnd : public TableWnd {
 public:
  TradesWnd();
  void on_trade(const KelapiTradeRecord& trade) override;

 protected:
  std::string cell_text(LPARAM record, int code) const override;
  void refill() override;
  void on_double_tap() override;
  LRESULT on_message(UINT msg, WPARAM wparam, LPARAM lparam) override;
};

// What orders and stop orders share: rows found by the record's row number,
// state colours, the cancel entry of the menu.
class OrderRowsWnd : public TableWnd {
 public:
  using TableWnd::TableWnd;
  int row_count() const { return static_cast<int>(row_of_.size()); }

 protected:
  // The record's row number, state flags, class and security numbers.
  struct RowKey {
    uint32_t id = 0;
    uint32_t flags = 0;
    uint32_t class_number = 0;
    uint32_t security_number = 0;
    double number = 0;  // the order or stop-order number
  };
  virtual RowKey key_of(LPARAM record) const = 0;
  // Sounds the filled-order beep on an update (orders only).
  virtual bool beeps() const { return false; }
  virtual const char* kill_entry() const = 0;   // UTF-8 menu text
  virtual const char* kill_prompt() const = 0;  // UTF-8, "%s" for the number
  virtual KelapiResult kill(const char* class_code, const char* number) const = 0;
  // The order window's record for a row (false: the row's instrument is
  // unknown).
  virtual bool prefill_of(LPARAM record, OrderPrefill& out) const = 0;
  void on_double_tap() override;

  void add_or_update(LPARAM record);
  void clear_rows() override;
  void refill_from_start() { row_of_.clear(); }
  COLORREF row_color(LPARAM record) const override;
  void add_menu_entries(ui::Hmenu menu) override;
  void on_menu_command(UINT command) override;
  LRESULT on_message(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  std::unordered_map<uint32_t, int> row_of_;
};

class OrdersWnd : public OrderRowsWnd {
 public:
  OrdersWnd();
  void on_order(const KelapiOrderRecord& order) override { add_or_update(reinterpret_cast<LPARAM>(&order)); }

 protected:
  std::string cell_text(LPARAM record, int code) const override;
  void refill() override;
  RowKey key_of(LPARAM record) const override;
  bool beeps() const override { return true; }
  const char* kill_entry() const override { return "Снять заявку"; }
  const char* kill_prompt() const override { return "Снять заявку\nс номером %s?"; }
  KelapiResult kill(const char* class_code, const char* number) const override;
  bool prefill_of(LPARAM record, OrderPrefill& out) const override;
};

class StopOrdersWnd : public OrderRowsWnd {
 public:
  StopOrdersWnd();
  void on_stop_order(const KelapiStopOrderRecord& order) override {
    add_or_update(reinterpret_cast<LPARAM>(&order));
  }

 protected:
  std::string cell_text(LPARAM record, int code) const override;
  void refill() override;
  RowKey key_of(LPARAM record) const override;
  const char* kill_entry() const override { return "Снять стоп-заявку"; }
  const char* kill_prompt() const override { return "Снять стоп-заявку\nс номером %s?"; }
  KelapiResult kill(const char* class_code, const char* number) const override;
  bool prefill_of(LPARAM record, OrderPrefill& out) const override;
};

// Registers the table window kinds (trades, orders, stop orders, limits and
// holdings) with their menu commands.
void register_table_windows();

}  // namespace kelda::terminal
