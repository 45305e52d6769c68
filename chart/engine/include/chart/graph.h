// CGraph: the drawing side of one series in one pane: its VizorGraphParams
// block, its level lines and its trend tools, and its painting (lines, bars,
// candles, histograms, points, level lines, price labels). Owned by its
// series; the pane and the chart are not owned. The
// point boxes are rebuilt by every paint.
// Not thread-safe; allocation failures throw std::bad_alloc.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chart/data_point.h"
#include "chart/kelda_chart.h"
#include "chart/trend.h"
#include "ui/canvas.h"

namespace kelda::chart {

class CChart;
class CChartPane;
class CData;

// The graph block of a new graph.
VizorGraphParams defaultGraphParams();
// Drawing styles a graph block may carry: 1-5 and 7-11.
bool isDrawingStyle(int32_t style);

// The screen rectangle of one point drawn by the last paint, for hit tests
// and tool tips.
struct GraphPointBox {
  RECT rect;
  const DataPoint* point;
  FILETIME time;
};

// Where and against what a graph paints: the pane rectangle, its price range,
// the bar-position range of the window and its first slot; `aligned` false
// draws the picture 2 pixels to the right (every second graph of a pane).
struct GraphFrame {
  RECT rect{};
  double min = 0.0;
  double max = 0.0;
  double firstPosition = 0.0;
  double lastPosition = 0.0;
  int32_t firstSlot = 0;
  bool aligned = true;
};

class CGraph {
 public:
  CGraph(CChart& chart, CData& series, CChartPane& pane);
  virtual ~CGraph();
  CGraph(const CGraph&) = delete;
  CGraph& operator=(const CGraph&) = delete;

  const VizorGraphParams& params() const { return params_; }
  // Copies the block in; the level-line pointer and count are not kept.
  void setParams(const VizorGraphParams& params);
  int32_t seriesId() const { return seriesId_; }
  int32_t paneId() const { return paneId_; }
  CData& getSeries() const { return *series_; }
  CChartPane& pane() const { return *pane_; }
  // Moves the graph to the pane with that id; nullptr (nothing changed) when
  // the chart has none.
  CChartPane* setPane(int32_t paneId);

  bool legendShown() const { return legendFlag_ != 0; }
  void setLegendShown(bool shown) { legendFlag_ = shown ? 1 : 0; }
  bool excluded() const { return excluded_ != 0; }

  // Close of the last valid point of the visible range (the graph's shift
  // applied); false when there is none.
  bool lastVisibleClose(double* out) const;
  // A bar was inserted at index: the trend tools' bar positions shift.
  void onBarInserted(int32_t index);
  // Empties the boxes of the points drawn last.
  void clearPointBoxes() { boxes_.clear(); }
  const std::vector<GraphPointBox>& pointBoxes() const { return boxes_; }

  // Paints the series, its level lines and their labels and the last-value
  // label, and rebuilds the point boxes (graph_paint.cpp).
  void drawGraph(ui::Canvas& canvas, const GraphFrame& frame);
  // The first point box within the tolerances of `point` (edges included):
  // its bar time, the tool-tip text and its rectangle, each when asked for.
  // False (outputs untouched) when no box is near.
  bool formatCandleTip(POINT point, FILETIME* time, std::u16string* text, RECT* rect, int32_t horizontalTolerance,
                       int32_t verticalTolerance) const;
  // The last-value or level label at `price` beside the axis of the graph.
  void drawPriceLabel(ui::Canvas& canvas, const RECT& rect, double min, double max, double price) const;
  // The width beside the plot that drawPriceLabel's label of `price` takes,
  // its gap and frame included, in the canvas' current font.
  static int32_t priceLabelWidth(ui::Canvas& canvas, double price);

  // Set by the pane while it paints (one paint per graph per pass).
  bool painted() const { return painted_; }
  void setPainted(bool on) { painted_ = on; }
  // Width of the legend text in the chart font (set with the painting objects).
  int32_t legendWidth() const { return legendWidth_; }
  void setLegendWidth(int32_t width) { legendWidth_ = width; }

  // Replaces the line whose price is within 1e-7 of the new one, else appends.
  void addLevelLine(const VizorLevelLine& line);
  // All, or the first line within 1e-7 of price; false when none matched.
  bool deleteLevelLines(bool all, double price);
  const std::vector<VizorLevelLine>& levelLines() const { return levelLines_; }

  std::vector<std::unique_ptr<CTrend>>& trends() { return trends_; }
  const std::vector<std::unique_ptr<CTrend>>& trends() const { return trends_; }
  void deleteTrends() { trends_.clear(); }

 private:
  VizorGraphParams params_;
  int32_t seriesId_;
  int32_t paneId_;
  int32_t legendFlag_ = 1;
  int32_t excluded_ = 0;
  std::vector<std::unique_ptr<CTrend>> trends_;
  CChart* chart_;
  CData* series_;
  CChartPane* pane_;
  std::vector<VizorLevelLine> levelLines_;
  std::vector<GraphPointBox> boxes_;
  bool painted_ = false;
  int32_t legendWidth_ = 0;
};

}  // namespace kelda::chart
