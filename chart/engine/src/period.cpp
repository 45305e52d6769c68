// Calendar periods and the period markers of the bar list.
#include "chart/period.h"

#include "platform/time.h"

namespace kelda::chart {

namespace {

constexpr int64_t kDayUnits = static_cast<int64_t>(platform::kFileTimeUnitsPerDay);
constexpr int64_t kWeekUnits = 7 * kDayUnits;

int64_t units(const FILETIME& t) { return static_cast<int64_t>(platform::to_u64(t)); }

// The finer kind split inside a closed period of `kind`, or 0.
int32_t subKind(int32_t kind) {
  switch (kind) {
    case kYear: return kMonth;
    case kMonth: return kDay;
    case kDay: return kHour;
    default: return 0;
  }
}

}  // namespace

int32_t& periodMarker(VizorCandleRecord& bar, int32_t kind) {
  switch (kind) {
    case kYear: return bar.nextYear;
    case kMonth: return bar.nextMonth;
    case kWeek: return bar.nextWeek;
    case kDay: return bar.nextDay;
    default: return bar.nextHour;
  }
}

int32_t periodMarker(const VizorCandleRecord& bar, int32_t kind) {
  return periodMarker(const_cast<VizorCandleRecord&>(bar), kind);
}

bool isSameWeek(const VizorCandleRecord& a, const VizorCandleRecord& b) {
  const int64_t day_index = a.calendar.wDayOfWeek == 0 ? 6 : a.calendar.wDayOfWeek - 1;
  const int64_t week_start = units(a.time) - units(a.time) % kDayUnits - day_index * kDayUnits;
  return units(b.time) - week_start < kWeekUnits;
}

bool isSamePeriod(const VizorCandleRecord& a, const VizorCandleRecord& b, int32_t kind) {
  const SYSTEMTIME& x = a.calendar;
  const SYSTEMTIME& y = b.calendar;
  switch (kind) {
    case kHour: return x.wYear == y.wYear && x.wMonth == y.wMonth && x.wDay == y.wDay && x.wHour == y.wHour;
    case kDay: return x.wYear == y.wYear && x.wMonth == y.wMonth && x.wDay == y.wDay;
    case kWeek: return isSameWeek(a, b);
    case kMonth: return x.wYear == y.wYear && x.wMonth == y.wMonth;
    case kYear: return x.wYear == y.wYear;
    default: return false;
  }
}

void computePeriodMarkers(BarList& bars, int32_t first, int32_t last, int32_t kind) {
  if (first < 0 || last >= bars.size() || first > last) return;
  const int32_t sub = subKind(kind);
  int32_t start = first;
  for (int32_t j = start + 1; j <= last; ++j) {
    if (isSamePeriod(bars[start], bars[j], kind)) continue;
    for (int32_t b = start; b < j; ++b) periodMarker(bars[b], kind) = j;
    if (sub != 0) computePeriodMarkers(bars, start, j, sub);
    start = j;
  }
  // The period beginning at start is still open (empty when the last boundary
  // fell on `last` itself); its finer periods are split the same way.
  for (int32_t b = start; b < last; ++b) periodMarker(bars[b], kind) = -1;
  if (sub != 0) computePeriodMarkers(bars, start, last, sub);
}

void updatePeriodMarkers(BarList& bars, int32_t kind) {
  const int32_t n = bars.size();
  if (n < 2) return;
  if (periodMarker(bars[n - 2], kind) == -1 && isSamePeriod(bars[n - 2], bars[n - 1], kind)) return;
  for (int32_t b = n - 2; b >= 0 && periodMarker(bars[b], kind) == -1; --b) periodMarker(bars[b], kind) = n - 1;
}

}  // namespace kelda::chart
