// CChartPane: one horizontal band of a chart that graphs are drawn in, with
// its VizorPaneParams block. Its paint draws the legend rows, the frame of
// the plot area, up to two price scales with ticks, labels and grid lines,
// the graphs placed in it and (while its price axis is zoomed) places its
// vertical scroll bar; it keeps the scales as painted and a hit list, so that
// taps, the crosshair and the trend tools are answered without painting.
// Owned by the chart. Not thread-safe (the chart's thread); never throws
// except std::bad_alloc from the hit list.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "chart/kelda_chart.h"
#include "chart/trend.h"
#include "ui/canvas.h"

namespace kelda::chart {

class CChart;
class CMyScrollBar;

// The block of a new pane.
VizorPaneParams defaultPaneParams();
// A block the chart accepts: fixed ranges with low below high, zoom above 0
// (all finite).
bool isValidPaneParams(const VizorPaneParams& params);

struct PriceRange {
  double min = 0.0;
  double max = 0.0;
};

// The scales of one group of graphs (left and right) and the plot geometry.
struct PaneScales {
  PriceRange left;
  PriceRange right;
  double firstPosition = 0.0;  // bar position of the plot's left edge
  double lastPosition = 0.0;
  bool leftUsed = false;
  bool rightUsed = false;
  RECT plot{};
};

// A target of the hit test: the plot area (series 0) or a legend sample line.
struct PaneHitRect {
  RECT rect;
  int32_t seriesId;
};

class CChartPane {
 public:
  CChartPane(CChart& chart, int32_t id);
  ~CChartPane();
  CChartPane(const CChartPane&) = delete;
  CChartPane& operator=(const CChartPane&) = delete;

  int32_t id() const { return id_; }
  const VizorPaneParams& params() const { return params_; }
  void setParams(const VizorPaneParams& params) { params_ = params; }

  // The range of a scale (left when `left`) as the last paint drew it; false
  // before the first paint.
  bool scaleRange(bool left, PriceRange* out) const;
  void setScaleRange(bool left, PriceRange range);

  // --- painting (pane_paint.cpp) ---
  // Draws the pane between top and bottom for the window starting at bar
  // index `firstBar`; answers the plot rectangle (empty height when the band
  // has none).
  RECT paint(ui::Canvas& canvas, int32_t top, int32_t bottom, int32_t firstBar);
  // The price scales of one scale group over the visible bars (as painting
  // computes them); answers the scales with their used flags.
  PaneScales computePriceScales(int32_t group);
  const PaneScales& scales() const { return scales_; }
  const RECT& paneRect() const { return paneRect_; }
  const RECT& plotRect() const { return scales_.plot; }
  const std::vector<PaneHitRect>& hitList() const { return hits_; }
  bool isPriceZoomed() const { return params_.zoom > 1.0; }
  double priceOffset() const { return priceOffset_; }

  // --- questions (pane_input.cpp) ---
  bool hitTest(POINT point, VizorHitInfo* out) const;
  double xToBar(int32_t x) const;
  // Bar position and prices (left and right scale) under a point, with the
  // values of one pixel; each output may be null.
  void screenToChart(POINT point, double* bar, double* leftPrice, double* rightPrice, double* barsPerPixel,
                     double* leftPerPixel, double* rightPerPixel) const;
  FILETIME xToTime(int32_t x, bool* beyond) const;
  // The plot as the last paint drew it, for the trend tools: its rectangle,
  // the bar positions of its edges and the range of one price scale.
  TrendView trendView(bool leftScale) const;
  // The price-axis drag zoom; true when the message was taken.
  bool onAxisMouse(UINT message, WPARAM wParam, LPARAM lParam);
  // Wheel scroll of a zoomed price axis (client coordinates).
  bool onWheel(int32_t x, int32_t y, int32_t direction, bool force);

  // The price scroll bar (null without a window) and where it stands.
  CMyScrollBar* scrollBar() const { return scrollBar_.get(); }
  const RECT& scrollBarRect() const { return scrollBarRect_; }
  void createScrollBar();
  void destroyScrollBar();

 private:
  int32_t drawLegend(ui::Canvas& canvas, RECT& plot);
  void paintGraphs(ui::Canvas& canvas, const RECT& plot, int32_t firstBar);
  void drawPriceAxis(ui::Canvas& canvas, const RECT& plot, double min, double max, bool left, bool grid);
  void placeScrollBar();

  CChart* chart_;
  int32_t id_;
  VizorPaneParams params_;
  double priceOffset_ = 0.0;
  double savedPriceOffset_ = 0.0;
  RECT paneRect_{};
  RECT scrollBarRect_{};
  bool axisDrag_ = false;
  int32_t dragStartY_ = 0;
  double dragStartZoom_ = 1.0;
  std::unique_ptr<CMyScrollBar> scrollBar_;
  std::vector<PaneHitRect> hits_;
  PaneScales scales_;
  bool rangesKnown_ = false;
};

}  // namespace kelda::chart
