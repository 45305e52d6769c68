// CChart: what a chart handle points to. It owns the chart parameters, the
// bar list (the time axis of all its series), the series list, the panes, the
// layout controller and its window (CChartWnd, made when the parent is a
// window of the ui layer; without one the chart still lays out and renders
// on request onto any canvas); every VizorX export runs one of its bodies.
// The model keeps the rectangle, the scroll state and a count of the
// repaints it asked for.
//
// Threading: none; a chart lives on the thread that created it.
// Ownership: series register themselves in the series list when constructed
// and are owned by it (deleteSeries destroys one with everything it owns);
// panes are owned through unique pointers.
// Errors: bodies return the export's result and set the thread's last error
// as the interface describes; allocation failures throw std::bad_alloc,
// which the export frame turns into error 8.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "chart/bar_list.h"
#include "chart/chart_view.h"
#include "chart/controller.h"
#include "chart/kelda_chart.h"
#include "chart/pane.h"
#include "chart/slot_model.h"

namespace kelda::chart {

class CChartWnd;
class CData;
class CDataCommon;
class CGraph;
class CTrend;

// Series a chart holds at most, hidden parts of composite indicators
// included: a bound on the depth of the recalculation and deletion chains.
inline constexpr size_t kMaxSeries = 1000;

// The parameter block of a new chart.
VizorChartParams defaultChartParams();

// The horizontal scroll bar as the chart last set it.
struct ScrollState {
  bool shown = false;
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t page = 0;
  int32_t position = 0;
};

class CChart {
 public:
  CChart(VizorWindow parent, const RECT& rect, VizorEventCallback callback, void* userData);
  ~CChart();
  CChart(const CChart&) = delete;
  CChart& operator=(const CChart&) = delete;

  static CChart* fromHandle(VizorChart handle) { return reinterpret_cast<CChart*>(handle); }
  VizorChart handle() { return reinterpret_cast<VizorChart>(this); }

  // --- parameters and window (chart_params.cpp) ---
  const VizorChartParams& params() const { return params_; }
  int32_t intervalCode() const;
  BOOL setParams(const VizorChartParams& params);
  BOOL move(const RECT& rect);
  const RECT& rect() const { return rect_; }
  bool hasWindow() const { return hasWindow_; }
  void setAxisCallback(VizorAxisXCallback callback) { axisCallback_ = callback; }
  VizorAxisXCallback axisCallback() const { return axisCallback_; }
  // Low word: intervals on the axis; high word: the minimum number.
  uint64_t numIntervals() const;
  void updateScrollBar();
  const ScrollState& scroll() const { return scroll_; }
  bool followsLastBar() const { return followLastBar_; }
  int32_t scrollPosition() const { return scrollPosition_; }
  void onMouseWheel(WPARAM wParam, LPARAM lParam);
  // The axis-width words of the parameters, written by the axis border
  // drag (the axis measuring does not read them).
  void setAxisWidthWords(int32_t left, int32_t right) {
    params_.leftAxisWidth = left;
    params_.rightAxisWidth = right;
  }
  BOOL sendMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Calls the host's event callback, when one was given.
  void notify(int32_t code, UINT message, WPARAM wParam, LPARAM lParam, void* record, int32_t size);

  // Some pane's price axis is zoomed in (factor above 1).
  bool anyPaneZoomed() const;
  // What lies under a point of the chart window (the record zeroed first);
  // non-zero when the point hit something or lies in the chart.
  BOOL hitTest(POINT point, VizorHitInfo* out) const;
  // The series that a double tap on a line reports: the outermost composite
  // owning it.
  int32_t outermostOwner(int32_t seriesId) const;

  // The picture is stale (relayout: the layout too); the window repaints.
  void invalidate(bool relayout);

  // --- window and rendering (render.cpp) ---
  CChartWnd* window() const { return window_.get(); }
  void* userData() const { return userData_; }
  ChartView& view() { return view_; }
  const ChartView& view() const { return view_; }
  // The layout pass: rectangles (when given), painting objects (with a
  // canvas), axis margins and bar width, scroll bar. Without a canvas the
  // window's own is used when there is a window.
  void layoutChart(ui::Canvas* canvas, const RECT* client);
  void createChartGdiObjects(ui::Canvas& canvas, bool release);
  // Renders the whole picture onto `canvas` (the client rectangle `rect`).
  void renderChart(ui::Canvas& canvas, const RECT& rect);
  // The window's top-level window is the foreground one (a windowless chart
  // counts as in the foreground).
  bool isForeground() const;
  // Bars per page and first visible slot set by the time-axis drag.
  void setPage(int32_t barsPerPage, int32_t firstSlot);
  // The time scroll bar's position, read back before rendering.
  void setScrollFromBar(int32_t position);
  // Bar records whose marks and labels the label layout writes.
  BarList& barsForLayout() { return bars_; }
  int32_t repaintCount() const { return repaints_; }
  int32_t relayoutCount() const { return relayouts_; }

  // --- bars (chart_bars.cpp) ---
  const BarList& bars() const { return bars_; }
  int32_t firstInRange() const { return firstInRange_; }
  int32_t countInRange() const { return countInRange_; }
  SlotModel slots() const;
  BOOL addBar(int32_t seriesId, FILETIME time, double open, double high, double low, double close, double volume,
              const void* extra, int32_t extraSize, BOOL redraw);
  // Index of the bar at time t, inserted (with a point in every series) when
  // new; *isNew tells which.
  int32_t insertBar(FILETIME t, bool* isNew, bool redraw);
  BOOL getBar(int32_t seriesId, FILETIME t, double* open, double* high, double* low, double* close,
              double* volume);
  BOOL clear(int32_t seriesId, bool recalculate);
  // Deletes the bars that no bar-aligned series holds a value at.
  void dropUnusedBars();
  // Time 0 recomputes the range; another time is that of a bar just inserted.
  void updateVisibleRange(FILETIME t);
  void startIntervalChanging();
  bool intervalChangeUnderWay() const { return intervalChanging_; }
  bool periodMarkersValid() const { return markersValid_; }
  void invalidatePeriodMarkers() { markersValid_ = false; }
  // Full computation of the markers over the visible range (the time axis).
  void computeVisibleMarkers();
  // Bars were added: every trend of every graph re-anchors (CTrend::
  // reanchorAfterNewBars); the chart repaints when a figure moved.
  void reanchorTrends();

  // --- series (chart_series.cpp) ---
  const std::vector<CData*>& seriesList() const { return series_; }
  int32_t takeSeriesId() { return ++seriesIdCounter_; }
  void registerSeries(CData* series);
  void unregisterSeries(const CData* series);
  CData* findSeries(int32_t id) const;
  CDataCommon* findBarAligned(int32_t id) const;
  CGraph* findGraphBySeries(int32_t id) const;
  // Destroys the series with its graph, companions and dependents.
  void deleteSeries(CData* series);
  int32_t addSecuritySeries();
  int32_t addGraph(int32_t sourceId, int32_t type, int32_t paneId);
  BOOL deleteGraphData(int32_t seriesId);
  BOOL redraw(int32_t seriesId);
  BOOL getGraphParams(int32_t seriesId, VizorGraphParams* graph, void* params, int32_t size);
  BOOL setGraphParams(int32_t seriesId, const VizorGraphParams& graph, const void* params, int32_t size);
  BOOL addLevelLine(int32_t seriesId, const VizorLevelLine& line);
  BOOL delLevelLine(int32_t seriesId, bool all, double price);
  int32_t levelLineCount(int32_t seriesId) const;
  BOOL getLevelLines(int32_t seriesId, int32_t count, VizorLevelLine* out) const;

  // --- panes (chart_panes.cpp) ---
  const std::vector<std::unique_ptr<CChartPane>>& panes() const { return panes_; }
  CChartPane* findPane(int32_t id) const;
  int32_t addPane();
  BOOL deletePane(int32_t paneId);
  BOOL setPaneParams(int32_t paneId, const VizorPaneParams& params);
  BOOL getPaneSizes(std::span<double> out) const;
  BOOL setPaneSizes(std::span<const double> proportions);
  CChartController& controller() { return controller_; }

  // --- trends (chart_trends.cpp) ---
  int32_t takeTrendId() { return ++trendIdCounter_; }
  BOOL setTrendType(int32_t code);
  int32_t trendType() const { return trendType_; }
  int32_t trendCount() const;
  void getTrendsInfo(std::span<VizorTrendInfo> out) const;
  // Fails with 87 (nothing replaced) on a record with a price that is no
  // number or a negative pen width.
  BOOL restoreSavedTrends(std::span<VizorTrendInfo> records);
  BOOL changeTrendline(int32_t operation, const VizorTrendChange& change);
  BOOL deleteAllTrends(int32_t paneId);
  // The series a trend could move to (event 5): in series-list order, not a
  // line of a composite, drawn in the trend's pane with the exclusion flag
  // clear, holding data, not the trend's own; at most 50.
  std::vector<int32_t> trendMoveTargets(int32_t trendId) const;
  // The vertical lines of every graph a second time: they are drawn across
  // all panes after the panes (not owned; a line leaves the list when
  // destroyed).
  std::vector<CTrend*>& verticalLines() { return verticalLines_; }
  const std::vector<CTrend*>& verticalLines() const { return verticalLines_; }

 private:
  bool barPassesModeFilter(FILETIME t) const;
  void finishIntervalChange(FILETIME barTime);
  void deleteBar(int32_t index);

  RECT rect_{};
  int32_t setting_ = -1;
  void* userData_ = nullptr;
  VizorEventCallback callback_ = nullptr;
  VizorAxisXCallback axisCallback_ = nullptr;
  bool hasWindow_ = true;
  ScrollState scroll_;
  bool followLastBar_ = true;
  int32_t scrollPosition_ = 0;
  CChartController controller_;
  bool intervalChanging_ = false;
  FILETIME rememberedTime_{};
  bool roundRemembered_ = false;
  VizorWindow parent_ = 0;
  VizorChartParams params_;
  std::vector<std::unique_ptr<CChartPane>> panes_;
  int32_t paneIdCounter_ = 0;
  std::vector<CData*> series_;  // owned (see deleteSeries)
  int32_t seriesIdCounter_ = 0;
  int32_t trendType_ = 0;
  int32_t trendIdCounter_ = 0;
  std::vector<CTrend*> verticalLines_;
  BarList bars_;
  int32_t firstInRange_ = 0;
  int32_t countInRange_ = 0;
  bool markersValid_ = false;
  int32_t repaints_ = 0;
  int32_t relayouts_ = 0;
  ChartView view_;
  std::unique_ptr<CChartWnd> window_;
};

}  // namespace kelda::chart
