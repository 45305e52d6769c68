// Wide-text copying.
#include "chart/wide_text.h"

#include <cstdint>

namespace kelda::chart {

char16_t* copyWideText(char16_t* destination, const char16_t* source, size_t n) {
  return copyWideField(destination, n, source, SIZE_MAX);
}

char16_t* copyWideField(char16_t* destination, size_t n, const char16_t* source, size_t capacity) {
  if (destination == nullptr || source == nullptr || n == 0) return nullptr;
  size_t i = 0;
  for (; i + 1 < n && i < capacity && source[i] != 0; ++i) destination[i] = source[i];
  destination[i] = 0;
  return destination;
}

}  // namespace kelda::chart
