// The terminal's tables and the value table.
#include "terminal/tables.h"

#include "terminal/text_log.h"

namespace kelda::terminal {

std::string upper_latin(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string ClassRecord::code() const { return std::string(field_text(record.code)); }

SecurityRecord* ClassRecord::find_security(uint32_t number) const {
  const auto it = security_by_number.find(number);
  return it == security_by_number.end() ? nullptr : it->second;
}

SecurityRecord* ClassRecord::find_security(const std::string& code) const {
  const auto it = securities.find(code);
  return it == securities.end() ? nullptr : it->second.get();
}

const KelapiClassParamRecord* ClassRecord::find_param(std::string_view name) const {
  const auto it = param_by_name.find(upper_latin(name));
  if (it == param_by_name.end()) return nullptr;
  const auto p = params.find(it->second);
  return p == params.end() ? nullptr : &p->second;
}

void ClassRecord::add_param(const KelapiClassParamRecord& param) {
  params[param.param_number] = param;
  param_by_name.emplace(upper_latin(field_text(param.db_name)), param.param_number);
}

int32_t ValueTable::add_row() {
  cells_.emplace_back(names_.size(), 0.0);
  return static_cast<int32_t>(cells_.size()) - 1;
}

int32_t ValueTable::find_column(std::string_view name) const {
  const auto it = index_.find(upper_latin(name.substr(0, 16)));
  return it == index_.end() ? -1 : it->second;
}

int32_t ValueTable::add_column(std::string_view name) {
  const int32_t found = find_column(name);
  if (found >= 0) return found;
  const std::string stored(name.substr(0, 16));
  names_.push_back(stored);
  const int32_t column = static_cast<int32_t>(names_.size()) - 1;
  index_.emplace(upper_latin(stored), column);
  for (std::vector<double>& row : cells_) row.push_back(0.0);
  return column;
}

void ValueTable::set_value(int32_t row, std::string_view name, double value) {
  const int32_t column = find_column(name);
  if (row < 0 || row >= rows() || column < 0) return;
  cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = value;
}

double ValueTable::get_value(int32_t row, int32_t column) const {
  if (row < 0 || row >= rows() || column < 0 || column >= columns()) return 0.0;
  return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void ValueTable::clear() {
  names_.clear();
  index_.clear();
  cells_.clear();
}

ClassRecord* Tables::find_class(uint32_t number) const {
  const auto it = class_by_number.find(number);
  return it == class_by_number.end() ? nullptr : it->second;
}

ClassRecord* Tables::find_class(const std::string& code) const {
  const auto it = classes.find(code);
  return it == classes.end() ? nullptr : it->second.get();
}

SecurityRecord* Tables::find_security(uint32_t class_number, uint32_t security_number) const {
  const ClassRecord* cls = find_class(class_number);
  return cls == nullptr ? nullptr : cls->find_security(security_number);
}

void Tables::clear() {
  class_by_number.clear();
  classes.clear();
  account_by_number.clear();
  accounts.clear();
  trades.clear();
  order_by_number.clear();
  orders.clear();
  stop_order_by_number.clear();
  stop_orders.clear();
  money_limits.clear();
  depo_limits.clear();
  futures_limits.clear();
  futures_holdings.clear();
  news.clear();
  values.clear();
}

}  // namespace kelda::terminal
