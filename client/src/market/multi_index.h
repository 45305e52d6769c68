// A hash index from a key to the rows that carry it, answering "the first
// row, in table order, with this key" in constant time. Keys are usually
// unique; rows that share a key are kept in a sorted side list.
//
// Not thread-safe: used under the library lock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kelda::kelapi {

class MultiIndex {
 public:
  void insert(int64_t key, uint32_t row);
  void erase(int64_t key, uint32_t row);
  // The lowest row with the key, or -1.
  int64_t first(int64_t key) const {
    const auto it = first_.find(key);
    return it == first_.end() ? int64_t{-1} : int64_t{it->second};
  }
  // Calls f(row) for every row with the key, in table order.
  template <typename F>
  void for_each(int64_t key, F f) const {
    const auto dup = shared_.find(key);
    if (dup != shared_.end()) {
      for (uint32_t row : dup->second) f(row);
      return;
    }
    const auto it = first_.find(key);
    if (it != first_.end()) f(it->second);
  }
  void clear() {
    first_.clear();
    shared_.clear();
  }
  void reserve(std::size_t n) { first_.reserve(n); }

 private:
  std::unordered_map<int64_t, uint32_t> first_;
  std::unordered_map<int64_t, std::vector<uint32_t>> shared_;  // keys with 2 rows or more
};

inline void MultiIndex::insert(int64_t key, uint32_t row) {
  const auto [it, inserted] = first_.try_emplace(key, row);
  if (inserted || it->second == row) return;
  auto& rows = shared_[key];
  if (rows.empty()) rows.push_back(it->second);
  const auto pos = std::lower_bound(rows.begin(), rows.end(), row);
  if (pos != rows.end() && *pos == row) return;
  rows.insert(pos, row);
  it->second = rows.front();
}

inline void MultiIndex::erase(int64_t key, uint32_t row) {
  const auto dup = shared_.find(key);
  if (dup == shared_.end()) {
    const auto it = first_.find(key);
    if (it != first_.end() && it->second == row) first_.erase(it);
    return;
  }
  auto& rows = dup->second;
  const auto pos = std::lower_bound(rows.begin(), rows.end(), row);
  if (pos == rows.end() || *pos != row) return;
  rows.erase(pos);
  first_[key] = rows.front();
  if (rows.size() == 1) shared_.erase(dup);
}

}  // namespace kelda::kelapi
