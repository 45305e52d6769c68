// Calendar periods of bars and the period markers of the bar records: for
// each bar and each kind (1 hour, 2 day, 3 week from Monday, 4 month, 5 year)
// the index of the first bar of the next period, or -1 while the bar lies in
// the last period seen. The time-axis labels are placed from them.
// Not thread-safe; never throws.
#pragma once

#include <cstdint>

#include "chart/bar_list.h"

namespace kelda::chart {

enum PeriodKind : int32_t { kHour = 1, kDay = 2, kWeek = 3, kMonth = 4, kYear = 5 };

// The marker of a kind in a record; a kind outside 1..5 names the hour marker.
int32_t& periodMarker(VizorCandleRecord& bar, int32_t kind);
int32_t periodMarker(const VizorCandleRecord& bar, int32_t kind);

// Same week: b lies less than one week after the Monday midnight that begins
// a's week (b is never earlier than a where this is asked).
bool isSameWeek(const VizorCandleRecord& a, const VizorCandleRecord& b);
// Same period of a kind, on the records' calendar fields; false for other kinds.
bool isSamePeriod(const VizorCandleRecord& a, const VizorCandleRecord& b, int32_t kind);

// Full computation over bars first..last for a kind and its finer kinds
// (year -> month -> day -> hour; week alone). A range outside the list is
// ignored. The markers of bar `last` are left as they were.
void computePeriodMarkers(BarList& bars, int32_t first, int32_t last, int32_t kind);
// Incremental update after a bar was appended at the end.
void updatePeriodMarkers(BarList& bars, int32_t kind);

}  // namespace kelda::chart
