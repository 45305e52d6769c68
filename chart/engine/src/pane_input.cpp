// A pane's answers to the stylus: hit test, bar and price under a point, the
// price-axis drag zoom and the wheel on a zoomed axis.
#include <algorithm>
#include <cmath>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/data.h"
#include "chart/graph.h"
#include "chart/pane.h"
#include "chart/time_index.h"

namespace kelda::chart {

namespace {
constexpr int32_t kScrollRange = 10000000;

int32_t lowSigned(LPARAM l) { return static_cast<int16_t>(static_cast<uint16_t>(l & 0xFFFF)); }
int32_t highSigned(LPARAM l) { return static_cast<int16_t>(static_cast<uint16_t>((l >> 16) & 0xFFFF)); }

bool inRectInclusive(const RECT& r, POINT p) {
  return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}
}  // namespace

bool CChartPane::hitTest(POINT point, VizorHitInfo* out) const {
  for (const CData* series : chart_->seriesList()) {
    const CGraph* g = series->getGraph();
    if (g == nullptr || g->paneId() != id_) continue;
    FILETIME time{};
    if (g->formatCandleTip(point, &time, nullptr, nullptr, 0, 0)) {
      out->paneId = id_;
      out->seriesId = series->id();
      return true;
    }
  }
  for (const PaneHitRect& hit : hits_) {
    if (inRectInclusive(hit.rect, point)) {
      out->paneId = id_;
      out->seriesId = hit.seriesId;
      return true;
    }
  }
  return false;
}

double CChartPane::xToBar(int32_t x) const {
  const double w = chart_->view().barWidth;
  const SlotModel slots = chart_->slots();
  if (w <= 0.0) return slots.first_in_range;
  int64_t i = static_cast<int64_t>(std::floor((x - scales_.plot.left - w * 0.5) / w + 0.5));
  if (chart_->scroll().shown) i += slots.effective_scroll_position();
  i = std::clamp<int64_t>(i, 0, std::max(slots.interval_count() - 1, 0));
  return static_cast<double>(slots.first_in_range + i);
}

void CChartPane::screenToChart(POINT point, double* bar, double* leftPrice, double* rightPrice,
                               double* barsPerPixel, double* leftPerPixel, double* rightPerPixel) const {
  const RECT& plot = scales_.plot;
  const double span = static_cast<double>(plot.top) - plot.bottom;
  if (bar != nullptr) *bar = xToBar(point.x);
  const auto price = [&](const PriceRange& r) {
    return span == 0.0 ? r.min : (point.y - plot.bottom) * (r.max - r.min) / span + r.min;
  };
  if (leftPrice != nullptr) *leftPrice = price(scales_.left);
  if (rightPrice != nullptr) *rightPrice = price(scales_.right);
  const auto perPixel = [](double range, double pixels) { return pixels == 0.0 ? 0.0 : std::fabs(range / pixels); };
  if (leftPerPixel != nullptr) *leftPerPixel = perPixel(scales_.left.max - scales_.left.min, span);
  if (rightPerPixel != nullptr) *rightPerPixel = perPixel(scales_.right.max - scales_.right.min, span);
  if (barsPerPixel != nullptr) {
    *barsPerPixel = perPixel(scales_.lastPosition - scales_.firstPosition, static_cast<double>(plot.right) - plot.left);
  }
}

FILETIME CChartPane::xToTime(int32_t x, bool* beyond) const {
  const auto i = static_cast<int64_t>(xToBar(x));
  const BarList& bars = chart_->bars();
  if (beyond != nullptr) *beyond = i >= bars.size();
  return barIndexToTime(bars, chart_->intervalCode(), i);
}

TrendView CChartPane::trendView(bool leftScale) const {
  const RECT& plot = scales_.plot;
  const PriceRange& range = leftScale ? scales_.left : scales_.right;
  return TrendView{plot.left, plot.top, plot.right, plot.bottom, range.min, range.max, scales_.firstPosition,
                   scales_.lastPosition};
}

bool CChartPane::onAxisMouse(UINT message, WPARAM, LPARAM lParam) {
  const int32_t x = lowSigned(lParam);
  const int32_t y = highSigned(lParam);
  const RECT& plot = scales_.plot;
  CChartWnd* window = chart_->window();
  switch (message) {
    case ui::wm::lbutton_down:
    case ui::wm::lbutton_dblclk: {
      if (!(x > plot.right + 3 && y >= plot.top && y < plot.bottom)) return false;
      if (isPriceZoomed() && x >= scrollBarRect_.left && scrollBarRect_.right > scrollBarRect_.left) return false;
      if (message == ui::wm::lbutton_dblclk) {
        params_.zoom = 1.0;
        priceOffset_ = 0.0;
        chart_->invalidate(true);
        return true;
      }
      dragStartY_ = y;
      savedPriceOffset_ = isPriceZoomed() ? priceOffset_ : 0.0;
      dragStartZoom_ = params_.zoom;
      axisDrag_ = true;
      if (window != nullptr) ui::set_capture(window->hwnd());
      return true;
    }
    case ui::wm::mouse_move: {
      if (!axisDrag_) return false;
      const int32_t d0 = std::max(dragStartY_ - paneRect_.top, 1);
      const int32_t d1 = std::max(y - paneRect_.top, 1);
      params_.zoom = dragStartZoom_ * d0 / d1;
      priceOffset_ = 0.0;
      chart_->invalidate(true);
      return true;
    }
    case ui::wm::lbutton_up:
      if (!axisDrag_) return false;
      axisDrag_ = false;
      if (window != nullptr) ui::release_capture();
      return true;
    default:
      return false;
  }
}

bool CChartPane::onWheel(int32_t x, int32_t y, int32_t direction, bool force) {
  if (!isPriceZoomed()) return false;
  if (!force && !(x >= scrollBarRect_.left && x < scrollBarRect_.right && y >= scrollBarRect_.top &&
                  y < scrollBarRect_.bottom)) {
    return false;
  }
  ui::ScrollInfo info;
  info.min = 1;
  info.max = kScrollRange;
  info.page = static_cast<UINT>(std::max(1.0, std::floor(kScrollRange / params_.zoom)));
  if (scrollBar_ != nullptr) ui::get_scroll_info(scrollBar_->hwnd(), ui::sb::ctl, info);
  const double range = static_cast<double>(info.max) - info.min + 1;
  priceOffset_ = std::clamp(priceOffset_ - direction * 5000000.0 / range, 0.0, 1.0);
  const double highest = std::max(1.0, static_cast<double>(info.max) - info.page + 1);
  info.pos = static_cast<int>(std::clamp(std::trunc(priceOffset_ * kScrollRange), 1.0, highest));
  if (scrollBar_ != nullptr) {
    ui::set_scroll_info(scrollBar_->hwnd(), ui::sb::ctl, info, true);
    ui::invalidate_rect(scrollBar_->hwnd(), nullptr, true);
  }
  chart_->invalidate(false);
  return true;
}

}  // namespace kelda::chart
