#include "market/security_table.h"

#include <algorithm>
#include <cstring>

namespace kelda::kelapi {

uint32_t code_hash(std::string_view code) noexcept {
  uint32_t sum = 0;
  unsigned shift = 3;
  for (char c : code) {
    if (shift < 32) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c))) << shift;
    shift += 3;
  }
  return sum % kCodeHashBuckets;
}

SecurityTable::SecurityTable() : buckets_(kCodeHashBuckets) {}

void SecurityTable::reserve(std::size_t n) {
  rows_.reserve(n);
  by_server_id_.reserve(n);
}

uint32_t SecurityTable::append(const SecurityRecord& record) {
  if (rows_.size() == rows_.capacity()) rows_.reserve(std::max<std::size_t>(32768, rows_.size() * 2));
  rows_.push_back(record);
  const auto index = static_cast<uint32_t>(rows_.size() - 1);
  index_row(index);
  return index;
}

void SecurityTable::index_row(uint32_t index) {
  const SecurityRecord& r = rows_[index];
  auto& bucket = buckets_[code_hash(std::string_view(r.h.code, strnlen(r.h.code, sizeof r.h.code)))];
  if (std::find(bucket.begin(), bucket.end(), index) == bucket.end()) bucket.push_back(index);
  if (r.h.server_id != -1) by_server_id_.insert(r.h.server_id, index);
  if (r.class_index >= 0 && static_cast<std::size_t>(r.class_index) < kMaxClasses) {
    by_class_[static_cast<std::size_t>(r.class_index)].push_back(index);
    index_position(r.class_index, r.position, index);
  }
}

void SecurityTable::set_server_id(uint32_t index, int32_t server_id) {
  SecurityRecord& r = rows_[index];
  if (r.h.server_id == server_id) return;
  if (r.h.server_id != -1) by_server_id_.erase(r.h.server_id, index);
  r.h.server_id = server_id;
  if (server_id != -1) by_server_id_.insert(server_id, index);
}

void SecurityTable::set_position(uint32_t index, int32_t position) {
  SecurityRecord& r = rows_[index];
  if (r.position == position) return;
  unindex_position(r.class_index, r.position, index);
  r.position = position;
  index_position(r.class_index, position, index);
}

void SecurityTable::replace_head(uint32_t index, const SecurityHead& head) {
  SecurityRecord& r = rows_[index];
  const int32_t server_id = head.server_id;
  SecurityHead copy = head;
  copy.server_id = r.h.server_id;  // the setter moves the index entry
  // The code stays: a row is only ever refreshed by a description of its code.
  std::memcpy(copy.code, r.h.code, sizeof copy.code);
  r.h = copy;
  set_server_id(index, server_id);
}

void SecurityTable::index_position(int32_t class_index, int32_t position, uint32_t row) {
  if (position < 0 || class_index < 0 || static_cast<std::size_t>(class_index) >= kMaxClasses) return;
  auto& dense = by_position_[static_cast<std::size_t>(class_index)];
  const auto p = static_cast<std::size_t>(position);
  const std::size_t limit = by_class_[static_cast<std::size_t>(class_index)].size() * 2 + 1024;
  if (p < limit) {
    if (p >= dense.size()) dense.resize(std::max(p + 1, dense.size() * 2), kNoRow);
    if (dense[p] == kNoRow) {
      dense[p] = row;
      return;
    }
  }
  other_positions_.insert(position_key(class_index, position), row);
}

void SecurityTable::unindex_position(int32_t class_index, int32_t position, uint32_t row) {
  if (position < 0 || class_index < 0 || static_cast<std::size_t>(class_index) >= kMaxClasses) return;
  auto& dense = by_position_[static_cast<std::size_t>(class_index)];
  const auto p = static_cast<std::size_t>(position);
  if (p < dense.size() && dense[p] == row) {
    dense[p] = kNoRow;
    return;
  }
  other_positions_.erase(position_key(class_index, position), row);
}

int64_t SecurityTable::find_by_server_id(int32_t server_id) const noexcept {
  // -1 marks a security the server has not confirmed: no message names it.
  if (server_id == -1) return -1;
  return by_server_id_.first(server_id);
}

std::span<const uint32_t> SecurityTable::class_rows(int32_t class_index) const {
  if (class_index < 0 || static_cast<std::size_t>(class_index) >= kMaxClasses) return {};
  return by_class_[static_cast<std::size_t>(class_index)];
}

void SecurityTable::clear() {
  rows_.clear();
  rows_.shrink_to_fit();
  for (auto& bucket : buckets_) bucket.clear();
  by_server_id_.clear();
  for (auto& positions : by_position_) {
    positions.clear();
    positions.shrink_to_fit();
  }
  other_positions_.clear();
  for (auto& rows : by_class_) {
    rows.clear();
    rows.shrink_to_fit();
  }
}

}  // namespace kelda::kelapi
