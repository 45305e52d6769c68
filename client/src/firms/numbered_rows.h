// A table of records in arrival order, each found by its `number` member
// through a hash index (a scan of large account lists would cost a pass per
// look-up): the depository, futures and position tables. The array of
// record pointers starts with room for 100 and doubles when full (a fixed
// step would copy it once per 100 records); removal keeps the order.
//
// Not thread-safe: used under the library lock. Allocation failure throws
// std::bad_alloc and leaves the table as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kelda::kelapi {

template <typename Record>
class NumberedRows {
 public:
  std::size_t size() const noexcept { return rows_.size(); }
  const Record& at(std::size_t i) const { return *rows_[i]; }
  Record& at_mut(std::size_t i) { return *rows_[i]; }

  // The position of the record with the number, or -1.
  int64_t position(int64_t number) const {
    const auto it = index_.find(number);
    return it == index_.end() ? -1 : static_cast<int64_t>(it->second);
  }
  const Record* find(int64_t number) const {
    const int64_t at = position(number);
    return at < 0 ? nullptr : rows_[static_cast<std::size_t>(at)].get();
  }

  // Replaces the record with the number or appends it; returns the stored one.
  const Record& put(const Record& record) {
    const int64_t at = position(record.number);
    if (at >= 0) {
      Record& stored = *rows_[static_cast<std::size_t>(at)];
      stored = record;
      return stored;
    }
    auto fresh = std::make_unique<Record>(record);
    if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.size() < 100 ? 100 : rows_.size() * 2);
    index_.emplace(record.number, rows_.size());
    rows_.push_back(std::move(fresh));
    return *rows_.back();
  }

  // Removes the record at the position; later records move up.
  void remove_at(std::size_t i) {
    index_.erase(rows_[i]->number);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i));
    for (auto& [number, at] : index_) {
      if (at > i) --at;
    }
  }

  // Frees the records and keeps the array.
  void clear_rows() {
    rows_.clear();
    index_.clear();
  }
  void release() {
    rows_.clear();
    rows_.shrink_to_fit();
    index_.clear();
  }

 private:
  std::vector<std::unique_ptr<Record>> rows_;
  std::unordered_map<int64_t, std::size_t> index_;  // number to position
};

}  // namespace kelda::kelapi
