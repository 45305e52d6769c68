// One price bar of a data line or of the bar archive, and a series of them.
//
// A series is kept in ascending time. Bars are held by value in one array:
// appending (the usual case) is amortised constant, and a look-up by time is
// a binary search. Plain data; not thread-safe (the data lines guard a
// series with their own lock where the Parts ask for one).
#pragma once

#include <cstdint>
#include <vector>

namespace kelda::kelapi {

struct PriceBar {
  double open = 0;
  double high = 0;
  double low = 0;
  double close = 0;
  double volume = 0;
  uint64_t time = 0;     // file time of the start of the bar's bucket
  uint32_t changed = 1;  // not yet delivered as a changed bar
  uint32_t closed = 0;   // no further updates (parameter lines)
  int32_t sequence = -1;  // the input that created the bar; -1: none
};

using BarSeries = std::vector<PriceBar>;

// File-time units.
inline constexpr uint64_t kFileTimePerSecond = 10'000'000;
inline constexpr uint64_t kFileTimePerMillisecond = 10'000;

}  // namespace kelda::kelapi
