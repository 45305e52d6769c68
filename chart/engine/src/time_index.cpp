// Conversions between bar indexes and times on the bar list.
#include "chart/time_index.h"

#include <algorithm>
#include <limits>

#include "platform/time.h"

namespace kelda::chart {

namespace {

using platform::kFileTimeUnitsPerDay;
using platform::kFileTimeUnitsPerSecond;
constexpr uint64_t kUnitsPerMinute = 60 * kFileTimeUnitsPerSecond;
constexpr uint64_t kFileTimeEnd = 1ull << 63;
constexpr int64_t kTradingMinutesPerDay = 450;  // 7.5 hours

// Length of m intervals in FILETIME units; false on overflow.
bool intervalsLength(int32_t code, uint64_t m, uint64_t& out) {
  uint64_t unit = kFileTimeUnitsPerSecond;  // interval 0: a second per index
  if (code >= 1) unit = static_cast<uint64_t>(code) * kUnitsPerMinute;
  if (code == VIZOR_INTERVAL_DAY) unit = kFileTimeUnitsPerDay;
  if (code == VIZOR_INTERVAL_WEEK) unit = 7 * kFileTimeUnitsPerDay;
  if (code <= VIZOR_INTERVAL_MONTH) unit = 30 * kFileTimeUnitsPerDay;
  return !__builtin_mul_overflow(unit, m, &out);
}

// Saturdays and Sundays among the days f - 1 day, f - 2 days, ... that lie
// after t (t < f).
int64_t weekendDaysBetween(uint64_t t, uint64_t f) {
  SYSTEMTIME st{};
  if (!platform::file_time_to_system_time(platform::to_filetime(f), st)) return 0;
  const uint64_t gap = f - t;
  const int64_t steps = static_cast<int64_t>((gap + kFileTimeUnitsPerDay - 1) / kFileTimeUnitsPerDay) - 1;
  int64_t count = steps / 7 * 2;
  for (int64_t k = steps - steps % 7 + 1; k <= steps; ++k) {
    const int64_t weekday = ((st.wDayOfWeek - k) % 7 + 7) % 7;
    if (weekday == 0 || weekday == 6) ++count;
  }
  return count;
}

// Intervals between t and the first bar's time f (t < f).
int64_t intervalsBefore(int32_t code, uint64_t t, uint64_t f) {
  const int64_t days = static_cast<int64_t>((f - t) / kFileTimeUnitsPerSecond / 86400);
  const int64_t trading_days = days - weekendDaysBetween(t, f);
  if (code < 0) return code == VIZOR_INTERVAL_DAY ? trading_days : intervalsIn(code, days * 86400);
  SYSTEMTIME ft{}, tt{};
  platform::file_time_to_system_time(platform::to_filetime(f), ft);
  platform::file_time_to_system_time(platform::to_filetime(t), tt);
  int64_t minutes = 60 * (ft.wHour - tt.wHour) + (ft.wMinute - tt.wMinute);
  if (minutes < 0) minutes += kTradingMinutesPerDay;
  const int64_t per_day = code == 0 ? 27000 : kTradingMinutesPerDay / code;
  return trading_days * per_day + minutes / (code == 0 ? 1 : code);
}

int32_t clampIndex(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

int64_t intervalsIn(int32_t code, int64_t seconds) {
  if (code >= 1) return seconds / 60 / code;
  if (code == 0) return seconds;
  const int64_t days = seconds / 3600 / 24;
  if (code == VIZOR_INTERVAL_DAY) return days;
  if (code == VIZOR_INTERVAL_WEEK) return days / 7;
  return days / 30;
}

FILETIME barIndexToTime(const BarList& bars, int32_t code, int64_t i) {
  const int32_t n = bars.size();
  if (n == 0) return FILETIME{0, 0};
  if (i < n) return bars[static_cast<int32_t>(std::max<int64_t>(i, 0))].time;
  uint64_t length = 0;
  const uint64_t last = platform::to_u64(bars.back().time);
  if (!intervalsLength(code, static_cast<uint64_t>(i - n), length) || length >= kFileTimeEnd - last) {
    return FILETIME{0, 0};
  }
  const uint64_t t = last + length;
  const uint64_t time_of_day = t % kFileTimeUnitsPerDay;
  if (time_of_day < 10 * 60 * kUnitsPerMinute) return platform::to_filetime(t - time_of_day + 630 * kUnitsPerMinute);
  return platform::to_filetime(t);
}

int32_t timeToBarIndex(const BarList& bars, int32_t code, FILETIME t, bool* beyond) {
  if (beyond != nullptr) *beyond = false;
  if (isZeroFileTime(t)) return 0;
  const int32_t n = bars.size();
  if (n == 0) {
    if (beyond != nullptr) *beyond = true;
    return 0;
  }
  const int32_t i = bars.lowerBound(t);
  if (i < n && sameFileTime(bars[i].time, t)) return i;
  if (i == 0) {
    const uint64_t tu = platform::to_u64(t);
    const uint64_t f = platform::to_u64(bars[0].time);
    if (tu >= kFileTimeEnd) return 0;
    return clampIndex(-intervalsBefore(code, tu, f));
  }
  if (i < n) return i - 1;
  if (beyond != nullptr) *beyond = true;
  const uint64_t seconds = (platform::to_u64(t) - platform::to_u64(bars.back().time)) / kFileTimeUnitsPerSecond;
  return clampIndex(static_cast<int64_t>(n) + intervalsIn(code, static_cast<int64_t>(seconds)));
}

}  // namespace kelda::chart
