#include "bars/bar_building.h"

#include <algorithm>
#include <cmath>

#include "core/numbers.h"

namespace kelda::kelapi {
namespace {

constexpr uint64_t kFileTimePerDay = 86400 * kFileTimePerSecond;

bool valid_time(int32_t time) noexcept {
  return time >= 0 && time / 10000 < 24 && time / 100 % 100 < 60 && time % 100 < 60;
}

// Midnight of a packed date as a file time, 0 when the date is invalid.
// The last date asked for is remembered: inputs come day by day.
uint64_t midnight(int32_t date) noexcept {
  thread_local int32_t cached_date = 0;
  thread_local uint64_t cached = 0;
  if (date != cached_date) {
    cached = packed_to_file_time(date, 0);
    cached_date = date;
  }
  return cached;
}

// Sunday = 0; 1601-01-01, where file time begins, was a Monday.
uint64_t weekday(uint64_t midnight_time) noexcept { return (midnight_time / kFileTimePerDay + 1) % 7; }

bool same_values(const PriceBar& a, const PriceBar& b) noexcept {
  constexpr double kTolerance = 1e-7;
  return std::fabs(a.open - b.open) < kTolerance && std::fabs(a.high - b.high) < kTolerance &&
         std::fabs(a.low - b.low) < kTolerance && std::fabs(a.close - b.close) < kTolerance &&
         std::fabs(a.volume - b.volume) < kTolerance;
}

PriceBar bar_of(const BarInput& in, uint64_t time, int32_t sequence) noexcept {
  PriceBar b;
  b.open = in.open;
  b.high = in.high;
  b.low = in.low;
  b.close = in.close;
  b.volume = in.volume;
  b.time = time;
  b.changed = 1;
  b.closed = 0;
  b.sequence = sequence;
  return b;
}

// Updates a bar of the input's bucket; false when the input is ignored.
bool update(PriceBar& bar, const BarInput& in, const AddArgs& a) noexcept {
  if (a.kind == LineKind::parameter) {
    if (bar.closed != 0 || bar.sequence >= a.sequence) return false;
    if ((a.flags & 1) != 0) {
      bar.open = in.open;
      bar.high = in.high;
      bar.low = in.low;
      bar.close = in.close;
      bar.volume = in.volume;
      bar.changed = 1;
      return true;
    }
  }
  bar.high = std::max(bar.high, in.high);
  bar.low = std::min(bar.low, in.low);
  bar.close = in.close;
  bar.volume += in.volume - a.previous_volume;
  bar.changed = 1;
  return true;
}

int64_t add_tick(BarSeries& bars, const BarInput& in, uint64_t time, int32_t sequence) {
  if (!bars.empty() && time / kFileTimePerSecond <= bars.back().time / kFileTimePerSecond) {
    time = bars.back().time + kFileTimePerMillisecond;
  }
  bars.push_back(bar_of(in, time, sequence));
  return static_cast<int64_t>(bars.size()) - 1;
}

// An input older than the last bar on a parameter line: its own bucket.
int64_t add_older(BarSeries& bars, const BarInput& in, uint64_t time, const AddArgs& a) {
  const auto it = std::lower_bound(bars.begin(), bars.end(), time,
                                   [](const PriceBar& b, uint64_t t) { return b.time < t; });
  const auto position = it - bars.begin();
  if (it != bars.end() && it->time == time) return update(*it, in, a) ? position : -1;
  if (it != bars.begin()) std::prev(it)->closed = 1;
  bars.insert(it, bar_of(in, time, a.sequence));
  return position;
}

}  // namespace

uint64_t bucket_start(int32_t date, int32_t time, int32_t period) noexcept {
  if (!valid_time(time)) return 0;
  const uint64_t day = midnight(date);
  if (day == 0) return 0;
  const int32_t seconds = time_to_seconds(time);
  if (period > 0) {
    const int64_t length = 60LL * period;
    return day + static_cast<uint64_t>(seconds - seconds % length) * kFileTimePerSecond;
  }
  switch (period) {
    case 0:
      return day + static_cast<uint64_t>(seconds) * kFileTimePerSecond;
    case -2: {
      const uint64_t back = weekday(day) * kFileTimePerDay;
      return day >= back ? day - back : 0;
    }
    case -3:
      return packed_to_file_time(date / 100 * 100 + 1, 0);
    default:
      return day;
  }
}

int64_t add_bar(BarSeries& bars, const BarInput& in, const AddArgs& a) {
  const uint64_t time = bucket_start(in.date, in.time, a.period);
  if (time == 0) return -1;
  if (a.period == 0) return add_tick(bars, in, time, a.sequence);
  if (bars.empty() || time > bars.back().time) {
    if (bars.size() >= 2) bars[bars.size() - 2].closed = 1;
    bars.push_back(bar_of(in, time, a.sequence));
    return static_cast<int64_t>(bars.size()) - 1;
  }
  if (time == bars.back().time) {
    return update(bars.back(), in, a) ? static_cast<int64_t>(bars.size()) - 1 : -1;
  }
  if (a.kind != LineKind::parameter) return -1;
  return add_older(bars, in, time, a);
}

int64_t find_bar(const BarSeries& bars, uint64_t time) noexcept {
  const auto it = std::lower_bound(bars.begin(), bars.end(), time,
                                   [](const PriceBar& b, uint64_t t) { return b.time < t; });
  return it != bars.end() && it->time == time ? it - bars.begin() : -1;
}

void mark_changes(BarSeries& rebuilt, const BarSeries& old) {
  for (PriceBar& bar : rebuilt) {
    const int64_t i = find_bar(old, bar.time);
    bar.changed = i >= 0 && same_values(bar, old[static_cast<std::size_t>(i)]) ? 0 : 1;
  }
}

}  // namespace kelda::kelapi
