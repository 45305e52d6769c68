// ChartView: what a chart's layout pass and rendering compute and keep
// between paints: the painting objects (font, axis pen, grid pen) made from
// the chart parameters, the text metrics, the rectangles of the layout, the
// price-axis margins and the bar width, which time-axis bands are shown, and
// the label widths and occupied intervals of the time-axis label layout.
// Part of the chart object (CChart::view()); the chart window and the
// rendering fill it, the panes, graphs and the crosshair read it.
// Threading: the chart's thread. Never throws.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/win_types.h"
#include "ui/gdi.h"

namespace kelda::chart {

// An x interval (pixels) taken by a label already placed on a time-axis band.
struct LabelSpan {
  double start = 0.0;
  double end = 0.0;
};

struct ChartView {
  // Painting objects (made by the layout pass from the chart parameters).
  ui::Font font;
  ui::Pen axisPen;
  ui::Pen gridPen;
  bool objectsMade = false;
  int32_t textHeight = 0;      // the font's cell height + 2
  int32_t timeLabelWidth = 0;  // 2 x the width of "WW:WW"

  // Layout rectangles (chart window client coordinates).
  RECT fullRect{};   // the whole client area
  RECT drawArea{};   // less the price scroll bars' column when an axis is zoomed
  RECT paneArea{};   // less the time scroll bar when it is shown
  int32_t scrollBarThickness = 0;

  // Axis measuring.
  int32_t leftAxisWidth = 1;
  int32_t rightAxisWidth = 4;
  double barWidth = 0.0;
  bool band1Shown = false;
  bool band2Shown = false;
  int32_t widestLastValue = 0;  // kept from pass to pass
  RECT timeAxisRect{};

  // Time-axis label layout.
  double yearWidth = 0.0;
  double monthWidth = 0.0;
  int32_t numberWidth = 0;
  std::vector<LabelSpan> occupied[2];  // band 1, band 2; sorted by start
};

}  // namespace kelda::chart
