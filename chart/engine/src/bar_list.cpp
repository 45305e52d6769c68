// The bar list, the order of bar times and the bar-time rounding.
#include "chart/bar_list.h"

#include <cmath>

#include "platform/time.h"

namespace kelda::chart {

using platform::kFileTimeUnitsPerDay;
using platform::kFileTimeUnitsPerSecond;

int32_t intervalCode(double interval) {
  if (!std::isfinite(interval) || interval >= 2147483648.0 || interval <= -2147483649.0) return 0;
  return static_cast<int32_t>(interval);
}

bool roundBarTime(FILETIME time, int32_t code, FILETIME& out) {
  SYSTEMTIME st{};
  if (!platform::file_time_to_system_time(time, st)) return false;
  const uint64_t units = platform::to_u64(time);
  const uint64_t midnight = units - units % kFileTimeUnitsPerDay;
  if (code >= 1) {
    const uint64_t seconds = (units - midnight) / kFileTimeUnitsPerSecond;
    const uint64_t bucket = static_cast<uint64_t>(code) * 60;
    out = platform::to_filetime(midnight + (seconds - seconds % bucket) * kFileTimeUnitsPerSecond);
  } else if (code == 0) {
    out = time;
  } else if (code == VIZOR_INTERVAL_WEEK) {
    out = platform::to_filetime(midnight - st.wDayOfWeek * kFileTimeUnitsPerDay);
  } else if (code == VIZOR_INTERVAL_MONTH) {
    out = platform::to_filetime(midnight - (st.wDay - 1u) * kFileTimeUnitsPerDay);
  } else {
    out = platform::to_filetime(midnight);
  }
  return true;
}

int32_t BarList::lowerBound(const FILETIME& t) const {
  int32_t lo = 0;
  int32_t hi = size();
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (lessFileTime(bars_[mid].time, t)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

int32_t BarList::find(const FILETIME& t) const {
  const int32_t i = lowerBound(t);
  return i < size() && sameFileTime(bars_[i].time, t) ? i : -1;
}

void BarList::insert(int32_t i, const FILETIME& t) {
  VizorCandleRecord record{};
  record.time = t;
  platform::file_time_to_system_time(t, record.calendar);
  record.nextYear = record.nextMonth = record.nextWeek = record.nextDay = record.nextHour = -1;
  bars_.insert(i, record);
}

}  // namespace kelda::chart
