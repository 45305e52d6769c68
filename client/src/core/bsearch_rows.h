// Binary search over a table of rows sorted by a comparison function.
//
// The halving follows the library's long-standing order of probes, so that a
// table with equal keys yields the same row as before. Pure, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelda::kelapi {

// compare(key, row) < 0, 0 or > 0. Returns the index of a row that compares
// equal, or -1; *position (when given) receives the index where the key
// belongs in the order (the found index when found).
template <typename Key, typename Row, typename Compare>
int64_t bsearch_rows(const Key& key, const Row* rows, std::size_t count, Compare compare,
                     std::size_t* position = nullptr) {
  int64_t low = 0;
  int64_t high = static_cast<int64_t>(count) - 1;
  int64_t remaining = static_cast<int64_t>(count);
  int64_t found = -1;
  int64_t where = -1;
  while (remaining / 2 != 0) {
    const int64_t half = remaining / 2;
    const bool odd = (remaining & 1) != 0;
    const int64_t middle = odd ? low + half : low + half - 1;
    const int c = compare(key, rows[middle]);
    if (c == 0) {
      found = where = middle;
      break;
    }
    if (c < 0) {
      high = middle - 1;
      remaining = odd ? half : half - 1;
    } else {
      low = middle + 1;
      remaining = half;
    }
    if (low > high) break;
  }
  if (found < 0 && where < 0 && remaining == 1 && low <= high) {
    const int c = compare(key, rows[low]);
    if (c == 0) found = low;
    where = c > 0 ? low + 1 : low;
  }
  if (position != nullptr) *position = static_cast<std::size_t>(where >= 0 ? where : low);
  return found;
}

}  // namespace kelda::kelapi
