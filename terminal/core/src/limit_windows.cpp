// The limits and positions windows, in normal and transposed orientation.
#include "terminal/limit_windows.h"

#include <string>

#include "terminal/data_feed_manager.h"
#include "terminal/table_cells.h"
#include "terminal/tables.h"
#include "terminal/text_log.h"

namespace kelda::terminal {
namespace {

std::u16string number_text(int n) { return to_wide(std::to_string(n)); }

// Money and securities limits share their last eight columns: the opening
// balance and limit, the current balance and limit, the locked part and
// three sums.
std::string balance_cell(int code, double opening_balance, double opening_limit, double current_balance,
                         double current_limit, double locked, int decimals) {
  switch (code) {
    case 5: return cell_real(opening_balance, decimals);
    case 6: return cell_real(opening_limit, decimals);
    case 7: return cell_real(current_balance, decimals);
    case 8: return cell_real(current_limit, decimals);
    case 9: return cell_real(locked, decimals);
    case 10: return cell_real(current_balance + current_limit, decimals);
    case 11: return cell_real(current_balance + current_limit - locked, decimals);
    case 12: return cell_real(current_balance + current_limit - opening_limit, decimals);
    default: return {};
  }
}

template <typename Rows>
std::vector<LPARAM> records_of(const Rows& rows) {
  std::vector<LPARAM> out;
  out.reserve(rows.size());
  for (const auto& r : rows) out.push_back(reinterpret_cast<LPARAM>(r.get()));
  return out;
}

const char* futures_limit_type(int type) {
  switch (type) {
    case 0: return "Рубли";
    case 1: return "Залоговые рубли";
    case 2: return "Всего";
    case 3: return "Клиринговые рубли";
    case 4: return "Клиринговые залоговые рубли";
    case 5: return "Лимит открытых позиций по спотам базового актива";
    default: return "";
  }
}

}  // namespace

LimitRowsWnd::LimitRowsWnd(int kind, bool can_transpose, std::initializer_list<ColumnDesc> descriptors)
    : TableWnd(kind, descriptors), can_transpose_(can_transpose) {}

bool LimitRowsWnd::wants_transposed() const {
  DataFeedManager* m = manager();
  return can_transpose_ && m != nullptr && m->settings().vertical_limits;
}

void LimitRowsWnd::keep_widths_before_rebuild() {
  const ui::ListViewControl lv = list();
  const int columns = lv.column_count();
  const bool now_transposed = wants_transposed();
  if (just_switched_ && !now_transposed) return;
  if (!just_switched_ && now_transposed) {
    transposed_widths_.clear();
    for (int i = 0; i < columns; ++i) transposed_widths_.push_back(lv.column_width(i));
    return;
  }
  for (int i = 0; i < columns && i <= kMaxTableColumns; ++i) {
    layout().width[static_cast<std::size_t>(i)] = lv.column_width(i);
  }
}

void LimitRowsWnd::rebuild_columns(const TableLayout* block) {
  apply_layout(block);
  if (block == nullptr) keep_widths_before_rebuild();
  list().delete_all_items();
  remove_columns(false);
  transposed_ = wants_transposed();
  if (transposed_) {
    build_transposed();
  } else {
    insert_layout_columns();
    refill();
  }
  just_switched_ = false;
}

void LimitRowsWnd::build_transposed() {
  const ui::ListViewControl lv = list();
  const int first = !transposed_widths_.empty() && transposed_widths_[0] >= 1 ? transposed_widths_[0] : data_width();
  lv.insert_column(0, u"", first, ui::lvcfmt::left);
  for (int k = 0; k < layout().shown_count; ++k) {
    const ColumnDesc& d = descriptors()[static_cast<std::size_t>(layout().desc_index[static_cast<std::size_t>(k)])];
    lv.insert_item(k, to_wide(field_text(d.name)));
  }
  refill();
}

void LimitRowsWnd::refill() {
  const std::vector<LPARAM> records = table_records();
  for (std::size_t i = 0; i < records.size(); ++i) set_limit_row(records[i], static_cast<int>(i), true);
}

void LimitRowsWnd::retitle_from(int first_column) {
  const int columns = list().column_count();
  for (int c = first_column < 1 ? 1 : first_column; c < columns; ++c) set_column_title(c, number_text(c));
}

void LimitRowsWnd::set_limit_row(LPARAM record, int index, bool is_new) {
  const ui::ListViewControl lv = list();
  if (transposed_) {
    const int columns = lv.column_count();
    const int c = index + 1;
    if (index < 0 || c > (is_new ? columns : columns - 1)) {
      log_line("ERROR: Limit column %d is outside the table (%d columns); ignored.", c, columns);
      return;
    }
    if (is_new) {
      const std::size_t at = static_cast<std::size_t>(c);
      const int width = at < transposed_widths_.size() && transposed_widths_[at] >= 1 ? transposed_widths_[at]
                                                                                      : data_width();
      lv.insert_column(c, number_text(c), width, ui::lvcfmt::right);
      retitle_from(c + 1);
    }
    for (int k = 0; k < layout().shown_count; ++k) {
      lv.set_item_text(k, c, to_wide(cell_text(record, layout().code[static_cast<std::size_t>(k)])));
    }
    return;
  }
  const int rows = lv.item_count();
  if (index < 0 || index > (is_new ? rows : rows - 1)) {
    log_line("ERROR: Limit row %d is outside the table (%d rows); ignored.", index, rows);
    return;
  }
  if (is_new) {
    lv.insert_item(index, number_text(index + 1), record);
    renumber_from(index + 1);
  }
  set_row_cells(index, record);
}

void LimitRowsWnd::remove_limit_row(int index) {
  const ui::ListViewControl lv = list();
  if (transposed_) {
    if (index < 0 || index + 1 >= lv.column_count()) return;
    lv.delete_column(index + 1);
    retitle_from(index + 1);
    return;
  }
  if (index < 0 || index >= lv.item_count()) return;
  lv.delete_item(index);
  renumber_from(index);
}

void LimitRowsWnd::clear_rows() {
  if (!transposed_) return TableWnd::clear_rows();
  const ui::ListViewControl lv = list();
  for (int c = lv.column_count() - 1; c >= 1; --c) lv.delete_column(c);
}

void LimitRowsWnd::keep_widths_for_setup() {
  if (!transposed_) return TableWnd::keep_widths_for_setup();
  const ui::ListViewControl lv = list();
  transposed_widths_.clear();
  for (int i = 0; i < lv.column_count(); ++i) transposed_widths_.push_back(lv.column_width(i));
}

LRESULT LimitRowsWnd::on_message(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == UM_VERTLIMITS && can_transpose_) {
    transposed_widths_.clear();
    just_switched_ = true;
    rebuild_columns(nullptr);
    return 1;
  }
  return TableWnd::on_message(msg, wparam, lparam);
}

// ---- the four kinds ----

MoneyLimitsWnd::MoneyLimitsWnd()
    : LimitRowsWnd(kind::money_limits, true,
                   {column(1, false, "Фирма"), column(2, false, "Валюта"), column(3, false, "Группа"),
                    column(4, false, "Код клиента"), column(5, true, "Вход. остаток"), column(6, true, "Вход. лимит"),
                    column(7, true, "Тек. остаток"), column(8, true, "Тек. лимит"), column(9, true, "Заблокировано"),
                    column(10, true, "Всего"), column(11, true, "Доступно"), column(12, true, "Баланс")}) {}

std::string MoneyLimitsWnd::cell_text(LPARAM record, int code) const {
  const auto& r = *reinterpret_cast<const KelapiMoneyLimitRecordEx*>(record);
  switch (code) {
    case 1: return std::string(field_text(r.firm));
    case 2: return std::string(field_text(r.currency));
    case 3: return std::string(field_text(r.tag));
    case 4: return std::string(field_text(r.client));
    default:
      return balance_cell(code, r.opening_balance, r.opening_limit, r.current_balance, r.current_limit, r.locked, 2);
  }
}

std::vector<LPARAM> MoneyLimitsWnd::table_records() const {
  DataFeedManager* m = manager();
  return m != nullptr ? records_of(m->tables().money_limits) : std::vector<LPARAM>{};
}

DepoLimitsWnd::DepoLimitsWnd()
    : LimitRowsWnd(kind::depo_limits, true,
                   {column(1, false, "Фирма"), column(2, false, "Бумага"), column(3, false, "Счет"),
                    column(4, false, "Код клиента"), column(5, true, "Вход. остаток"), column(6, true, "Вход. лимит"),
                    column(7, true, "Тек. остаток"), column(8, true, "Тек. лимит"), column(9, true, "Заблокировано"),
                    column(10, true, "Всего"), column(11, true, "Доступно"), column(12, true, "Баланс")}) {}

std::string DepoLimitsWnd::cell_text(LPARAM record, int code) const {
  const auto& row = *reinterpret_cast<const DepoLimitRow*>(record);
  const KelapiDepoLimitRecordEx& r = row.record;
  switch (code) {
    case 1: return std::string(field_text(r.firm));
    case 2: return row.name.substr(0, 255);
    case 3: return std::string(field_text(r.account));
    case 4: return std::string(field_text(r.client));
    // The record's quantities in order: current balance, current limit,
    // locked, ..., opening balance, opening limit.
    default: return balance_cell(code, r.quantity1, r.quantity2, r.quantity3, r.quantity4, r.quantity5, 0);
  }
}

std::vector<LPARAM> DepoLimitsWnd::table_records() const {
  DataFeedManager* m = manager();
  return m != nullptr ? records_of(m->tables().depo_limits) : std::vector<LPARAM>{};
}

FuturesLimitsWnd::FuturesLimitsWnd()
    : LimitRowsWnd(kind::futures_limits, false,
                   {column(1, false, "Фирма"), column(2, false, "Торговый счет"), column(3, false, "Тип лимита"),
                    column(4, true, "Пред. откр. лимит"), column(5, true, "Открыт. лимит"),
                    column(6, true, "Тек.чист.поз."), column(7, true, "План.чист.поз."),
                    column(8, true, "Вариац. маржа")}) {}

std::string FuturesLimitsWnd::cell_text(LPARAM record, int code) const {
  const auto& r = *reinterpret_cast<const KelapiFuturesLimitRecordEx*>(record);
  switch (code) {
    case 1: return std::string(field_text(r.firm));
    case 2: return std::string(field_text(r.account));
    case 3: {
      static const std::string types[6] = {cp1251(futures_limit_type(0)), cp1251(futures_limit_type(1)),
                                           cp1251(futures_limit_type(2)), cp1251(futures_limit_type(3)),
                                           cp1251(futures_limit_type(4)), cp1251(futures_limit_type(5))};
      return r.type >= 0 && r.type < 6 ? types[r.type] : std::string();
    }
    // The record's doubles: the 2nd is the open-positions limit, the 3rd the
    // planned and the 4th the current net positions, the 5th the previous
    // limit, the 7th the variation margin.
    case 4: return cell_real(r.l1, 2);
    case 5: return cell_real(r.l2, 2);
    case 6: return cell_real(r.l3, 2);
    case 7: return cell_real(r.l4, 2);
    case 8: return cell_real(r.l5, 2);
    default: return {};
  }
}

std::vector<LPARAM> FuturesLimitsWnd::table_records() const {
  DataFeedManager* m = manager();
  return m != nullptr ? records_of(m->tables().futures_limits) : std::vector<LPARAM>{};
}

FuturesHoldingsWnd::FuturesHoldingsWnd()
    : LimitRowsWnd(kind::futures_holdings, false,
                   {column(1, false, "Фирма"), column(2, false, "Торговый счет"), column(3, false, "Бумага"),
                    column(4, true, "Вход.чист.поз."), column(5, true, "Тек.чист.поз."),
                    column(6, true, "Вариац. маржа")}) {}

std::string FuturesHoldingsWnd::cell_text(LPARAM record, int code) const {
  const auto& r = *reinterpret_cast<const KelapiFuturesHoldingRecordEx*>(record);
  switch (code) {
    case 1: return std::string(field_text(r.firm));
    case 2: return std::string(field_text(r.account));
    case 3: return std::string(field_text(r.security));
    // The opening net position is the record's fifth word, the current one
    // its eighth; the variation margin its fourth double.
    case 4: return cell_integer(r.h2);
    case 5: return cell_integer(r.h5);
    case 6: return cell_real(r.e2, 2);
    default: return {};
  }
}

std::vector<LPARAM> FuturesHoldingsWnd::table_records() const {
  DataFeedManager* m = manager();
  return m != nullptr ? records_of(m->tables().futures_holdings) : std::vector<LPARAM>{};
}

}  // namespace kelda::terminal
