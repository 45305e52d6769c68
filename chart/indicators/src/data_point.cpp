// The point record's helpers.
#include "chart/data_point.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kelda::chart {

DataPoint makeEmptyPoint(FILETIME time, int32_t extraSize) {
  DataPoint point{};
  point.time = time;
  if (extraSize > 0) {
    point.extra = std::calloc(1, static_cast<size_t>(extraSize));
    if (point.extra == nullptr) throw std::bad_alloc();
    point.extraSize = extraSize;
  }
  return point;
}

void freeExtra(DataPoint& point) {
  std::free(point.extra);
  point.extra = nullptr;
  point.extraSize = 0;
}

void setExtra(DataPoint& point, const void* data, int32_t size) {
  if (data == nullptr || size < 1) return;
  void* copy = std::malloc(static_cast<size_t>(size));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, data, static_cast<size_t>(size));
  freeExtra(point);
  point.extra = copy;
  point.extraSize = size;
}


}  // namespace kelda::chart
