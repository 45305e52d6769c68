// Bar index <-> time on the bar list, also beyond its ends, where trend tools
// may be anchored (slot_model.h gives the model). Not thread-safe; never
// throws.
#pragma once

#include <cstdint>

#include "chart/bar_list.h"

namespace kelda::chart {

// Whole intervals of the chart's interval in `seconds` (interval 0 counts
// seconds, a positive code minutes of that length, day, week and 30-day
// month bars their days).
int64_t intervalsIn(int32_t interval_code, int64_t seconds);

// Time of bar index i: the bar's own time inside the list (the first bar's for
// i < 0); past the end, the last bar's time plus (i - n) intervals of the
// chart (interval 0 counts seconds, month bars 30 days), moved to 10:30 when
// it falls before 10:00. Index n itself gives the last bar's time. An empty
// list, or a time past the calendar's end, gives 0.
FILETIME barIndexToTime(const BarList& bars, int32_t interval_code, int64_t i);

// Bar index of time t: a bar's own time gives its index; a time between two
// bars the earlier one; a time before the first bar minus the intervals
// between them (trading days of 7.5 hours, weekends skipped); a time after
// the last bar n + the whole intervals since it, with *beyond set. t = 0 gives
// 0; an empty list gives 0 (beyond set for t != 0). Results are held to the
// int32 range.
int32_t timeToBarIndex(const BarList& bars, int32_t interval_code, FILETIME t, bool* beyond);

}  // namespace kelda::chart
