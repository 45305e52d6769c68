// CChartPane: one horizontal band of a chart that graphs are drawn in, with
// its VizorPaneParams block and the price ranges it last computed for its
// two scales. Owned by the chart. Not thread-safe; never throws.
#pragma once

#include <cstdint>

#include "chart/kelda_chart.h"

namespace kelda::chart {

// The block of a new pane.
VizorPaneParams defaultPaneParams();
// A block the chart accepts: fixed ranges with low below high, zoom above 0
// (all finite).
bool isValidPaneParams(const VizorPaneParams& params);

struct PriceRange {
  double min = 0.0;
  double max = 0.0;
};

class CChartPane {
 public:
  explicit CChartPane(int32_t id) : id_(id), params_(defaultPaneParams()) {}

  int32_t id() const { return id_; }
  const VizorPaneParams& params() const { return params_; }
  void setParams(const VizorPaneParams& params) { params_ = params; }

  // The range of a scale (left when `left`) as the last paint computed it;
  // false before the first paint.
  bool scaleRange(bool left, PriceRange* out) const;
  void setScaleRange(bool left, PriceRange range);

 private:
  int32_t id_;
  VizorPaneParams params_;
  PriceRange left_;
  PriceRange right_;
  bool rangesKnown_ = false;
};

}  // namespace kelda::chart
