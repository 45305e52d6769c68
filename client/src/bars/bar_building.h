// How a data line's bars are made from its inputs (ticks, minute bars,
// parameter values): which bucket an input falls into for the line's period,
// how it updates or extends the series, and how a rebuilt series is compared
// with the one it replaces so that only changed bars are delivered again.
//
// Periods: n > 0 minutes (buckets counted from midnight), 0 one bar per
// tick, -1 day, -2 week (weeks start on Sunday), -3 month; any other
// negative value is a day.
//
// Pure functions over a series; any thread (one series per caller); never
// throw except std::bad_alloc.
#pragma once

#include <cstdint>

#include "bars/price_bar.h"

namespace kelda::kelapi {

enum class LineKind : int32_t { tick = 1, parameter = 2, bar = 3 };

// The file time at which the bucket of a date (YYYYMMDD) and time (HHMMSS)
// begins for the period; 0 when the date and time form no valid moment.
uint64_t bucket_start(int32_t date, int32_t time, int32_t period) noexcept;

// An input bar: prices in currency units, its moment as date and time.
struct BarInput {
  double open = 0;
  double high = 0;
  double low = 0;
  double close = 0;
  double volume = 0;
  int32_t date = 0;
  int32_t time = 0;
};

// How an input is added to a line.
struct AddArgs {
  LineKind kind = LineKind::tick;
  int32_t period = 0;
  double previous_volume = 0;  // what the line already absorbed of this source bar
  int32_t sequence = -1;       // the input's update sequence (-1: none)
  int32_t flags = -1;          // bit 0 on a parameter line: replace instead of merge
};

// Adds the input to the series. Returns the index of the bar created or
// changed, or -1 when the input was dropped (invalid moment) or ignored.
// A tick line (period 0) keeps every tick: a tick in the same second as the
// last bar, or older, is placed 1 ms after the last bar so that times stay
// distinct and ascending.
int64_t add_bar(BarSeries& bars, const BarInput& input, const AddArgs& args);

// Marks each bar of a rebuilt series as changed unless `old` holds a bar of
// the same time whose five values each differ by less than 1e-7.
void mark_changes(BarSeries& rebuilt, const BarSeries& old);

// The index of the bar with exactly this time, or -1 (binary search).
int64_t find_bar(const BarSeries& bars, uint64_t time) noexcept;

}  // namespace kelda::kelapi
