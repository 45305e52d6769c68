// Pane parameters and scale ranges.
#include "chart/pane.h"

#include <cmath>

namespace kelda::chart {

VizorPaneParams defaultPaneParams() {
  VizorPaneParams p{};
  p.legendPosition = 3;
  p.gridBits = 3;
  p.leftAuto = 1;
  p.rightAuto = 1;
  p.zoom = 1.0;
  return p;
}

bool isValidPaneParams(const VizorPaneParams& p) {
  if (p.leftAuto == 0 && !(std::isfinite(p.leftMin) && std::isfinite(p.leftMax) && p.leftMin < p.leftMax)) {
    return false;
  }
  if (p.rightAuto == 0 && !(std::isfinite(p.rightMin) && std::isfinite(p.rightMax) && p.rightMin < p.rightMax)) {
    return false;
  }
  return std::isfinite(p.zoom) && p.zoom > 0.0;
}

bool CChartPane::scaleRange(bool left, PriceRange* out) const {
  if (!rangesKnown_) return false;
  *out = left ? left_ : right_;
  return true;
}

void CChartPane::setScaleRange(bool left, PriceRange range) {
  (left ? left_ : right_) = range;
  rangesKnown_ = true;
}

}  // namespace kelda::chart
