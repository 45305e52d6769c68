// The bar list: one VizorCandleRecord per bar in ascending time order, no two
// with the same time; the time axis shared by every series of a chart
// (slot_model.h). Also the order of bar times and the rounding of a time to
// the chart's bar interval, both used wherever times are compared or stamped.
// Not thread-safe (one chart, one thread); insertions may throw
// std::bad_alloc.
#pragma once

#include <cstdint>

#include "chart/kelda_chart.h"
#include "chart/slot_vector.h"

namespace kelda::chart {

// a < b as 64-bit times: high words compared signed, then low words unsigned.
constexpr bool lessFileTime(const FILETIME& a, const FILETIME& b) {
  const auto ah = static_cast<int32_t>(a.dwHighDateTime);
  const auto bh = static_cast<int32_t>(b.dwHighDateTime);
  return ah < bh || (ah == bh && a.dwLowDateTime < b.dwLowDateTime);
}
constexpr bool sameFileTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}
constexpr bool isZeroFileTime(const FILETIME& t) { return t.dwLowDateTime == 0 && t.dwHighDateTime == 0; }

// Truncates a chart interval (minutes, or a VIZOR_INTERVAL_* code) to its code.
// Values outside int32 (or not finite) give 0.
int32_t intervalCode(double interval);

// The time of the bar that holds `time` on a chart of interval `code`:
// n-minute bars start every n minutes of the day, day bars at midnight, week
// bars on Sunday at midnight, month bars on the first at midnight; interval 0
// (and other negative codes than -1..-3 below day level: midnight) keeps the
// time. Returns false, leaving `out` alone, when the time names no calendar
// time.
bool roundBarTime(FILETIME time, int32_t code, FILETIME& out);

class BarList {
 public:
  int32_t size() const { return bars_.size(); }
  bool empty() const { return bars_.empty(); }
  VizorCandleRecord& operator[](int32_t i) { return bars_[i]; }
  const VizorCandleRecord& operator[](int32_t i) const { return bars_[i]; }
  const VizorCandleRecord& back() const { return bars_[size() - 1]; }

  // First index whose time is not before t (size() when none).
  int32_t lowerBound(const FILETIME& t) const;
  // Index of the bar with exactly time t, or -1.
  int32_t find(const FILETIME& t) const;
  // Inserts a fresh record for t at index i (markers -1, no marks or labels).
  void insert(int32_t i, const FILETIME& t);
  void erase(int32_t i) {
    bars_.erase(i);
    keys_.erase(i);
  }
  void clear() {
    bars_.clear();
    keys_.clear();
  }
  size_t capacityBytes() const { return bars_.capacity_bytes() + keys_.capacity_bytes(); }

 private:
  SlotVector<VizorCandleRecord> bars_;
  // The bars' times as ordered 64-bit keys, index for index: the searches
  // run over these 8-byte keys instead of the 184-byte records.
  SlotVector<int64_t> keys_;
};

}  // namespace kelda::chart
