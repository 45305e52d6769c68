// Pane parameters, scale ranges and the pane's scroll bar.
#include "chart/pane.h"

#include <cmath>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "ui/controls.h"

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

CChartPane::CChartPane(CChart& chart, int32_t id) : chart_(&chart), id_(id), params_(defaultPaneParams()) {
  createScrollBar();
}

CChartPane::~CChartPane() { destroyScrollBar(); }

void CChartPane::createScrollBar() {
  CChartWnd* window = chart_->window();
  if (window == nullptr || scrollBar_ != nullptr) return;
  auto bar = std::make_unique<CMyScrollBar>(*chart_);
  if (bar->create(window->hwnd(), ui::sbs::vert | ui::sbs::right_align, RECT{}, 100 + id_)) {
    scrollBar_ = std::move(bar);
  }
}

void CChartPane::destroyScrollBar() {
  scrollBar_.reset();
  hits_.clear();
}

bool CChartPane::scaleRange(bool left, PriceRange* out) const {
  if (!rangesKnown_) return false;
  *out = left ? scales_.left : scales_.right;
  return true;
}

void CChartPane::setScaleRange(bool left, PriceRange range) {
  (left ? scales_.left : scales_.right) = range;
  rangesKnown_ = true;
}

}  // namespace kelda::chart
