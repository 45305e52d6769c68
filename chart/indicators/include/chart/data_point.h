// DataPoint: the value of one series at one bar, and the shared point helpers
// that every indicator uses (price field selection, typical price, single
// values). A point belongs to the series whose point vector holds it; its
// extra-data block (malloc'd) is owned by the point and released with
// freeExtra. Not thread-safe; never throws.
#pragma once

#include <cmath>
#include <cstdint>

#include "chart/slot_vector.h"
#include "platform/win_types.h"

namespace kelda::chart {

struct DataPoint {
  FILETIME time;       // the bar's time: the key points are found by
  double open;
  double high;
  double low;
  double close;
  double volume;
  uint8_t valid;       // 1 when the point holds a value
  uint8_t endMarker;   // an invalid point that ends a drawn line
  int32_t extraSize;   // bytes at extra
  void* extra;         // malloc'd block or nullptr
};
static_assert(sizeof(DataPoint) <= 64);

// One point per bar of the chart, index for index (slot_model.h).
using PointVector = SlotVector<DataPoint>;

// Values closer than this count as equal (and a magnitude below it as zero).
inline constexpr double kEpsilon = 1e-7;

// An empty point at `time` with a zero-filled extra block of `extraSize`
// bytes (none for 0). Throws std::bad_alloc when the block cannot be had.
DataPoint makeEmptyPoint(FILETIME time, int32_t extraSize);
// Releases the point's extra block.
void freeExtra(DataPoint& point);
// Replaces the extra block by a copy of (data, size) when data is non-null and
// size >= 1; otherwise the point keeps what it has.
void setExtra(DataPoint& point, const void* data, int32_t size);

// The double nearest 1/3: the selector multiplies by it (no division).
inline constexpr double kOneThird = 1.0 / 3.0;

// Price field 1 open, 2 high, 3 low, 4 close, 5 (high + low) / 2,
// 6 (high + low + close) / 3; any other field 0.0.
inline double selectPrice(int32_t field, const DataPoint* point) {
  switch (field) {
    case 1: return point->open;
    case 2: return point->high;
    case 3: return point->low;
    case 4: return point->close;
    case 5: return (point->high + point->low) * 0.5;
    case 6: return (point->high + point->low + point->close) * kOneThird;
    default: return 0.0;
  }
}
inline double typicalPrice(const DataPoint* point) { return (point->close + point->low + point->high) * kOneThird; }
// close := floor(close + 0.5), open, high and low alike; returns it.
inline double roundClose(DataPoint* point) {
  const double x = point->close + 0.5;
  double v = 0.0;
  // Below 2^52 in size the whole part goes through an integer (no call).
  if (std::fabs(x) < 4503599627370496.0) {
    v = static_cast<double>(static_cast<int64_t>(x));
    if (v > x) v -= 1.0;
  } else {
    v = std::floor(x);
  }
  point->open = point->high = point->low = point->close = v;
  return v;
}
// open = high = low = close = v, volume = 1.0.
inline void setSingleValue(DataPoint* point, double v) {
  point->open = point->high = point->low = point->close = v;
  point->volume = 1.0;
}

}  // namespace kelda::chart
