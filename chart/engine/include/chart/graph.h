// CGraph: the drawing side of one series in one pane: its VizorGraphParams
// block, its level lines and its trend tools. Owned by its series; the pane
// and the chart are not owned. Painting comes with the rendering layer; the
// model keeps what it needs (the point boxes are rebuilt by every paint).
// Not thread-safe; allocation failures throw std::bad_alloc.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "chart/kelda_chart.h"
#include "chart/trend.h"

namespace kelda::chart {

class CChart;
class CChartPane;
class CData;

// The graph block of a new graph.
VizorGraphParams defaultGraphParams();
// Drawing styles a graph block may carry: 1-5 and 7-11.
bool isDrawingStyle(int32_t style);

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
  // Empties the boxes of the points drawn last (nothing is drawn yet).
  void clearPointBoxes() {}

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
};

}  // namespace kelda::chart
