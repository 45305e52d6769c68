#include "market/class_table.h"

#include <cstring>

#include "core/text_util.h"

namespace kelda::kelapi {

uint32_t ClassTable::append() {
  if (rows_.capacity() < kMaxClasses) rows_.reserve(kMaxClasses);
  ClassRecord zero;
  std::memset(&zero, 0, sizeof zero);
  rows_.push_back(zero);
  return static_cast<uint32_t>(rows_.size() - 1);
}

void ClassTable::assign(std::vector<ClassRecord>&& rows) {
  rows_.assign(rows.begin(), rows.end());
}

void ClassTable::clear() {
  rows_.clear();
  rows_.shrink_to_fit();
}

int64_t ClassTable::find_by_code(std::string_view code) const noexcept {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (field_text(rows_[i].d.code) == code) return static_cast<int64_t>(i);
  }
  return -1;
}

int64_t ClassTable::find_confirmed_by_code(std::string_view code) const noexcept {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].d.server_id != -1 && field_text(rows_[i].d.code) == code) return static_cast<int64_t>(i);
  }
  return -1;
}

int64_t ClassTable::find_by_server_id(int32_t server_id) const noexcept {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].d.server_id == server_id) return static_cast<int64_t>(i);
  }
  return -1;
}

int64_t ClassTable::find_by_request(uint32_t ClassRecord::*field, uint32_t request) const noexcept {
  if (request == 0) return -1;  // 0 is no request
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].*field == request) return static_cast<int64_t>(i);
  }
  return -1;
}

bool ClassTable::any_request_pending() const noexcept {
  for (const ClassRecord& c : rows_) {
    if (c.securities_request != 0 || c.params_request != 0) return true;
  }
  return false;
}

uint32_t ClassTable::table_flags_union() const noexcept {
  uint32_t flags = 0;
  for (const ClassRecord& c : rows_) flags |= c.d.table_flags;
  return flags;
}

}  // namespace kelda::kelapi
