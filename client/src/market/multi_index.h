// A hash index from a key to the rows that carry it, answering "the first
// row, in table order, with this key" in constant time. The index is an open
// table (linear probing, no tombstones) of one row per key; the rare keys that
// several rows share keep all their rows in a sorted side list.
//
// Not thread-safe: used under the library lock.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kelda::kelapi {

class MultiIndex {
 public:
  void insert(int64_t key, uint32_t row);
  void erase(int64_t key, uint32_t row);
  // The lowest row with the key, or -1.
  int64_t first(int64_t key) const noexcept {
    if (count_ == 0) return -1;
    for (std::size_t i = home(key);; i = (i + 1) & mask_) {
      const Slot& s = slots_[i];
      if (s.row == kEmpty) return -1;
      if (s.key == key) return s.row;
    }
  }
  // Calls f(row) for every row with the key, in table order.
  template <typename F>
  void for_each(int64_t key, F f) const {
    if (!shared_.empty()) {
      const auto dup = shared_.find(key);
      if (dup != shared_.end()) {
        for (uint32_t row : dup->second) f(row);
        return;
      }
    }
    const int64_t row = first(key);
    if (row >= 0) f(static_cast<uint32_t>(row));
  }
  void clear();
  void reserve(std::size_t n);
  std::size_t size() const noexcept { return count_; }

 private:
  static constexpr uint32_t kEmpty = UINT32_MAX;
  struct Slot {
    int64_t key;
    uint32_t row;
  };
  std::size_t home(int64_t key) const noexcept {
    const uint64_t h = static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(h >> 32) & mask_;
  }
  Slot* find_slot(int64_t key);
  void set_first(int64_t key, uint32_t row);
  void remove_slot(std::size_t i);
  void grow();

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t count_ = 0;
  std::unordered_map<int64_t, std::vector<uint32_t>> shared_;  // keys with 2 rows or more
};

}  // namespace kelda::kelapi
