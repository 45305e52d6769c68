// Binary search and the tick interval test.
#include "kit/search.h"

namespace kelda::kit {

int binary_search(const void* key, const void* array, std::size_t count, std::size_t element_size,
                  CompareFn compare, int* position) noexcept {
  std::size_t low = 0;
  std::size_t c = (array == nullptr || compare == nullptr) ? 0 : count;
  const auto* base = static_cast<const unsigned char*>(array);
  while (c > 0) {
    const std::size_t mid = (c % 2 == 1) ? low + c / 2 : low + c / 2 - 1;
    const int r = compare(key, base + mid * element_size);
    if (r == 0) {
      if (position != nullptr) *position = static_cast<int>(mid);
      return static_cast<int>(mid);
    }
    if (r < 0) {
      c = mid - low;
    } else {
      c = low + c - (mid + 1);
      low = mid + 1;
    }
  }
  if (position != nullptr) *position = static_cast<int>(low);
  return -1;
}

int tick_interval_elapsed(uint32_t start, uint32_t now, uint32_t interval) noexcept {
  const uint32_t elapsed = now >= start ? now - start : (0xFFFFFFFFu - start) + now;
  return elapsed >= interval ? 1 : 0;
}

}  // namespace kelda::kit
