// The limits and positions windows: money limits (kind 6), securities limits
// (7), futures account limits (8) and futures holdings (9). Their rows follow
// the data manager's sorted tables, which name the index of every inserted,
// changed or removed record. The two limits tables can be shown transposed
// (setting "vert_display_limits"): one row per shown parameter and one
// column per record.
//
// Threading: user-interface thread. Ownership: rows and columns point to the
// manager's records. Errors: an index outside the list is logged and the
// change ignored.
#pragma once

#include <vector>

#include "terminal/table_window.h"

namespace kelda::terminal {

struct DepoLimitRow;

class LimitRowsWnd : public TableWnd {
 public:
  LimitRowsWnd(int kind, bool can_transpose, std::initializer_list<ColumnDesc> descriptors);

  bool transposed() const { return transposed_; }
  // A record inserted (`is_new`) or changed at `index` of the manager's table.
  void set_limit_row(LPARAM record, int index, bool is_new);
  void remove_limit_row(int index);
  void on_remove_row(int index) override { remove_limit_row(index); }
  void rebuild_columns(const TableLayout* block) override;

 protected:
  // The records of the manager's table, in order.
  virtual std::vector<LPARAM> table_records() const = 0;
  void refill() override;
  void clear_rows() override;
  bool default_widths_on_save() const override { return transposed_; }
  void keep_widths_for_setup() override;
  LRESULT on_message(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  bool wants_transposed() const;
  void keep_widths_before_rebuild();
  void build_transposed();
  void retitle_from(int first_column);

  bool can_transpose_;
  bool transposed_ = false;
  bool just_switched_ = false;
  std::vector<int> transposed_widths_;
};

class MoneyLimitsWnd : public LimitRowsWnd {
 public:
  MoneyLimitsWnd();
  void on_money_limit(const KelapiMoneyLimitRecordEx& r, int index, bool is_new) override {
    set_limit_row(reinterpret_cast<LPARAM>(&r), index, is_new);
  }

 protected:
  std::string cell_text(LPARAM record, int code) const override;
  std::vector<LPARAM> table_records() const override;
};

class DepoLimitsWnd : public LimitRowsWnd {
 public:
  DepoLimitsWnd();
  void on_depo_limit(const DepoLimitRow& r, int index, bool is_new) override {
    set_limit_row(reinterpret_cast<LPARAM>(&r), index, is_new);
  }

 protected:
  std::string cell_text(LPARAM record, int code) const override;
  std::vector<LPARAM> table_records() const override;
};

class FuturesLimitsWnd : public LimitRowsWnd {
 public:
  FuturesLimitsWnd();
  void on_futures_limit(const KelapiFuturesLimitRecordEx& r, int index, bool is_new) override {
    set_limit_row(reinterpret_cast<LPARAM>(&r), index, is_new);
  }

 protected:
  std::string cell_text(LPARAM record, int code) const override;
  std::vector<LPARAM> table_records() const override;
};

class FuturesHoldingsWnd : public LimitRowsWnd {
 public:
  FuturesHoldingsWnd();
  void on_futures_holding(const KelapiFuturesHoldingRecordEx& r, int index, bool is_new) override {
    set_limit_row(reinterpret_cast<LPARAM>(&r), index, is_new);
  }
  void on_remove_row(int) override {}  // holdings are never removed

 protected:
  std::string cell_text(LPARAM record, int code) const override;
  std::vector<LPARAM> table_records() const override;
};

}  // namespace kelda::terminal
