// The bar list, the order of bar times and the bar-time rounding.
#include "chart/bar_list.h"

#include <algorithm>
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

namespace {
// The order of lessFileTime as one signed 64-bit number.
int64_t orderKey(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}
}  // namespace

int32_t BarList::lowerBound(const FILETIME& t) const {
  return static_cast<int32_t>(std::lower_bound(keys_.begin(), keys_.end(), orderKey(t)) - keys_.begin());
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
  keys_.insert(i, orderKey(t));
  try {
    bars_.insert(i, record);
  } catch (...) {
    keys_.erase(i);
    throw;
  }
}

}  // namespace kelda::chart
