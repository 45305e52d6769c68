// The time axis of a chart: measuring the price-axis margins and the bar
// width, the label texts of the bars (built in, or from the caller's label
// callback), the layout of marks and labels on the two bands under the
// lowest pane, and drawing the bands, ticks and vertical grid lines from the
// marks that every bar record carries.
//
// Mark bits: 1 grid line, 2 long tick, 4 short tick, 8 label. Label kinds:
// 1 and 6 hour (6 only at minute 0), 2 day, 3 week, 4 month, 5 year,
// 7 minute. Threading: the chart's thread. Never throws.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "chart/kelda_chart.h"
#include "ui/canvas.h"

namespace kelda::chart {

class CChart;

inline constexpr int32_t kMarkGrid = 1;
inline constexpr int32_t kMarkLongTick = 2;
inline constexpr int32_t kMarkShortTick = 4;
inline constexpr int32_t kMarkLabel = 8;

enum LabelKind : int32_t {
  kLabelHour = 1,
  kLabelDay = 2,
  kLabelWeek = 3,
  kLabelMonth = 4,
  kLabelYear = 5,
  kLabelWholeHour = 6,
  kLabelMinute = 7,
};

// Characters a band label keeps (the record's field holds one more for the
// terminator).
inline constexpr size_t kBandLabelChars = 32;
// Characters the caller's label callback may write (terminator included).
inline constexpr size_t kCallbackLabelChars = 1024;

// Axis margins, bar width and the bands shown; the canvas has the chart font.
void measureAxes(CChart& chart, ui::Canvas& canvas);

// The label of a bar for a kind, written into `buffer` (terminated). With a
// space: the label's unit width replaces it when below it or when it is 0
// (no limit); otherwise it becomes 0 (the label does not fit).
std::u16string_view formatTimeAxisLabel(const CChart& chart, const void* extra, const VizorCandleRecord& bar,
                                        double* space, int32_t kind, std::span<char16_t> buffer);
// The caller's label for a bar (empty without a callback); the value passed
// is cut to 2048.
std::u16string_view axisLabelFromCallback(const CChart& chart, const VizorCandleRecord& bar, const void* extra,
                                          double* value, std::span<char16_t> buffer);
// Extra data block of the bar at `index` (the first series holding one), or null.
const void* barExtraData(const CChart& chart, int32_t index);

// Marks every unmarked bar of the visible range (for kind 6 only those at
// minute 0) with `bits` and, with the label bit, its label of `kind`.
void markBars(CChart& chart, int32_t kind, int32_t band, int32_t bits);
// Stores a label in a band of a bar: at most 32 characters, terminated.
void setBandLabel(VizorCandleRecord& bar, int32_t band, int32_t bits, std::u16string_view text);

// Chooses the marks and labels of the visible bars on both bands.
void layoutTimeLabels(CChart& chart, ui::Canvas& canvas);
// Labels at the first bars of the periods of one kind where there is room.
void placePeriodLabels(CChart& chart, ui::Canvas& canvas, int32_t kind, int32_t band, int32_t bits);

// Draws the vertical grid of a plot (grid flag) or the bands under the
// lowest pane (bands flag) from the bars' marks, from bar `firstBar` on.
void drawTimeAxis(CChart& chart, ui::Canvas& canvas, const RECT& rect, int32_t firstBar, bool bands, bool grid,
                  int32_t bandAreaBottom, double xScale);

}  // namespace kelda::chart
