// A table of fixed-size rows kept in ascending order of their sequence
// number (the `sequence` member), at most one row per number.
//
// Rows are allocated one by one and owned by the table; the array of row
// pointers starts with room for 1024 rows and doubles when full. Look-up is
// a binary search; a row with a known number is overwritten in place, so
// the usual stream of ascending numbers appends at the end.
//
// Not thread-safe: used under the library lock. Allocation failure throws
// std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/bsearch_rows.h"

namespace kelda::kelapi {

template <typename Row>
class SequencedRows {
 public:
  static constexpr std::size_t kFirstCapacity = 1024;

  std::size_t size() const noexcept { return rows_.size(); }
  bool empty() const noexcept { return rows_.empty(); }
  const Row& at(std::size_t i) const { return *rows_[i]; }
  Row& at(std::size_t i) { return *rows_[i]; }
  const Row& back() const { return *rows_.back(); }

  // Stores the row: replaces the row with its number or inserts it in order.
  // Returns the stored row.
  Row& put(const Row& row) {
    std::size_t position = 0;
    const int64_t found = bsearch_rows(row.sequence, rows_.data(), rows_.size(), compare, &position);
    if (found >= 0) {
      Row& stored = *rows_[static_cast<std::size_t>(found)];
      stored = row;
      return stored;
    }
    auto fresh = std::make_unique<Row>(row);
    if (rows_.size() == rows_.capacity()) {
      rows_.reserve(rows_.capacity() == 0 ? kFirstCapacity : rows_.capacity() * 2);
    }
    Row& stored = *fresh;
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(position), std::move(fresh));
    return stored;
  }

  // The row with the number, or null.
  const Row* find(int32_t sequence) const {
    const int64_t found = bsearch_rows(sequence, rows_.data(), rows_.size(), compare);
    return found < 0 ? nullptr : rows_[static_cast<std::size_t>(found)].get();
  }

  // Removes the row with the number; false when there is none.
  bool remove(int32_t sequence) {
    const int64_t found = bsearch_rows(sequence, rows_.data(), rows_.size(), compare);
    if (found < 0) return false;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(found));
    return true;
  }

  // Frees the rows and keeps the array (a new trading session).
  void clear_rows() { rows_.clear(); }
  // Frees the rows and the array.
  void release() {
    rows_.clear();
    rows_.shrink_to_fit();
  }

 private:
  static int compare(const int32_t& sequence, const std::unique_ptr<Row>& row) {
    return sequence < row->sequence ? -1 : (sequence > row->sequence ? 1 : 0);
  }

  std::vector<std::unique_ptr<Row>> rows_;
};

}  // namespace kelda::kelapi
