// The chart object: creation, destruction, parameters and window state.
#include "chart/chart.h"

#include <algorithm>
#include <cmath>

#include "chart/chart_window.h"
#include "chart/data_common.h"
#include "chart/graph.h"
#include "chart/pane.h"
#include "platform/last_error.h"
#include "platform/time.h"

namespace kelda::chart {

namespace {

constexpr char16_t kDefaultFace[] = u"MS Sans Serif";
constexpr UINT kKillFocus = 8;
constexpr UINT kSysKeyDown = 260;
constexpr UINT kSysKeyUp = 261;
constexpr WPARAM kMenuKey = 18;

// The rectangle moved to the origin; sizes beyond int32 are held to it.
RECT clientRect(const RECT& rect) {
  const auto extent = [](int32_t low, int32_t high) {
    return static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(high) - low, 0, INT32_MAX));
  };
  return RECT{0, 0, extent(rect.left, rect.right), extent(rect.top, rect.bottom)};
}

bool convertsToCalendar(const FILETIME& t) {
  SYSTEMTIME st{};
  return platform::file_time_to_system_time(t, st);
}

}  // namespace

VizorChartParams defaultChartParams() {
  VizorChartParams p{};
  p.interval = 1.0;
  p.timeAxisShown = 1;
  p.timeGridShown = 1;
  p.gridColour = 0xFFFFFF;
  p.axisColour = 0xFFFFFF;
  p.font.height = -11;
  p.font.weight = 400;
  p.font.charSet = 204;
  p.font.outPrecision = 1;
  p.font.clipPrecision = 2;
  p.font.quality = 1;
  p.font.pitchAndFamily = 0x22;
  std::copy(std::begin(kDefaultFace), std::end(kDefaultFace), p.font.faceName);
  p.textColour = 0xFFFFFF;
  p.mode = VIZOR_MODE_ALL;
  p.barCount = 100;
  p.leftAxisWidth = 50;
  p.rightAxisWidth = 50;
  p.trendColour = 0x0000FF;
  p.trendPenWidth = 2;
  p.setting180 = 1;
  p.minIntervals = 50;
  return p;
}

CChart::CChart(VizorWindow parent, const RECT& rect, VizorEventCallback callback, void* userData)
    : rect_(rect),
      userData_(userData),
      callback_(callback),
      controller_(*this),
      parent_(parent),
      params_(defaultChartParams()) {
  controller_.setLayoutRect(clientRect(rect));
  view_.scrollBarThickness = 0;
  const ui::Hwnd parentWindow(parent);
  if (parent != 0 && ui::is_window(parentWindow)) {
    auto window = std::make_unique<CChartWnd>(*this, controller_);
    if (window->create(parentWindow, rect)) window_ = std::move(window);
  }
  invalidate(true);
}

CChart::~CChart() {
  hasWindow_ = false;
  while (!series_.empty()) deleteSeries(series_.back());
  panes_.clear();
  window_.reset();
  parent_ = 0;
}

int32_t CChart::intervalCode() const { return kelda::chart::intervalCode(params_.interval); }

BOOL CChart::setParams(const VizorChartParams& p) {
  const bool ranged = p.mode == VIZOR_MODE_DAY_RANGE || p.mode == VIZOR_MODE_RANGE;
  const bool valid = std::isfinite(p.interval) && std::fabs(p.interval) < 2147483648.0 && p.barsPerPage >= 0 &&
                     p.extraIntervals >= 0 && p.extraIntervals <= 1000 && p.minIntervals >= 0 &&
                     p.minIntervals <= 1000 && p.mode >= VIZOR_MODE_ALL && p.mode <= VIZOR_MODE_RANGE &&
                     (!ranged || (convertsToCalendar(p.from) && convertsToCalendar(p.to) &&
                                  !lessFileTime(p.to, p.from))) &&
                     (p.mode != VIZOR_MODE_LAST_N || p.barCount >= 1);
  if (!valid) {
    platform::set_last_error(VIZOR_ERROR_INVALID_PARAMETER);
    return 0;
  }
  platform::set_last_error(0);
  bool rebuild = p.mode != params_.mode;
  if (ranged && (!sameFileTime(p.from, params_.from) || !sameFileTime(p.to, params_.to))) rebuild = true;
  if (p.mode == VIZOR_MODE_LAST_N && p.barCount != params_.barCount) rebuild = true;
  params_ = p;
  if (rebuild) {
    updateVisibleRange(FILETIME{0, 0});
    for (size_t i = 0; i < series_.size(); ++i) {
      // The roots recompute; every chain follows them.
      auto* common = dynamic_cast<CDataCommon*>(series_[i]);
      if (common != nullptr && common->sources().empty()) common->recalculate();
    }
    markersValid_ = false;
  }
  updateScrollBar();
  invalidate(true);
  return 1;
}

BOOL CChart::move(const RECT& rect) {
  if (static_cast<int64_t>(rect.bottom) - rect.top < 100) return 1;
  rect_ = rect;
  controller_.setLayoutRect(clientRect(rect));
  if (window_ != nullptr) {
    ui::move_window(window_->hwnd(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, true);
  }
  invalidate(true);
  return 1;
}

uint64_t CChart::numIntervals() const {
  const SlotModel s = slots();
  return (static_cast<uint64_t>(static_cast<uint32_t>(params_.minIntervals)) << 32) |
         static_cast<uint32_t>(s.interval_count());
}

SlotModel CChart::slots() const {
  SlotModel s;
  s.bar_count = bars_.size();
  s.first_in_range = firstInRange_;
  s.count_in_range = countInRange_;
  s.extra_intervals = params_.extraIntervals;
  s.min_intervals = params_.minIntervals;
  s.bars_per_page = params_.barsPerPage;
  s.scroll_position = scrollPosition_;
  s.follow_last_bar = followLastBar_;
  return s;
}

void CChart::updateScrollBar() {
  const SlotModel s = slots();
  if (!s.scrolls()) {
    scroll_ = ScrollState{};
    scrollPosition_ = 0;
    return;
  }
  if (followLastBar_) scrollPosition_ = s.max_scroll_position();
  scroll_.shown = true;
  scroll_.minimum = 0;
  scroll_.maximum = s.interval_count() - 1;
  scroll_.page = s.bars_per_page;
  scroll_.position = scrollPosition_;
}

void CChart::onMouseWheel(WPARAM wParam, LPARAM lParam) {
  const int direction = static_cast<int16_t>(static_cast<uint16_t>(wParam >> 16)) > 0 ? 1 : -1;
  const int32_t x = static_cast<int16_t>(static_cast<uint16_t>(lParam & 0xFFFF));
  const int32_t y = static_cast<int16_t>(static_cast<uint16_t>((lParam >> 16) & 0xFFFF));
  const bool timeAxisOnly = x == -1000;
  if (!timeAxisOnly) {
    POINT point{x, y};
    if (window_ != nullptr) point = ui::screen_to_client(window_->hwnd(), point);
    for (const auto& pane : panes_) {
      if (pane->onWheel(point.x, point.y, direction, false)) return;
    }
  }
  if (!scroll_.shown) return;
  const int32_t step = (scroll_.maximum - scroll_.minimum) / 50 + 1;
  int32_t position = std::max(scroll_.position + step * direction, 0);
  if (position > scroll_.maximum - scroll_.page) {
    followLastBar_ = true;
    if (direction > 0) position = scroll_.maximum - scroll_.page + 1;
  } else {
    followLastBar_ = false;
  }
  scroll_.position = scrollPosition_ = position;
  if (window_ != nullptr) window_->syncTimeScrollBar();
  invalidate(true);
  controller_.setCursorReportPending();
}

BOOL CChart::sendMessage(UINT message, WPARAM wParam, LPARAM) {
  if (message == kKillFocus || ((message == kSysKeyDown || message == kSysKeyUp) && wParam == kMenuKey)) {
    controller_.setToolMode(false);
  }
  return 1;
}

void CChart::notify(int32_t code, UINT message, WPARAM wParam, LPARAM lParam, void* record, int32_t size) {
  if (callback_ != nullptr) callback_(handle(), userData_, code, message, wParam, lParam, record, size);
}

bool CChart::anyPaneZoomed() const {
  return std::any_of(panes_.begin(), panes_.end(), [](const auto& p) { return p->params().zoom > 1.0; });
}

BOOL CChart::hitTest(POINT point, VizorHitInfo* out) const {
  *out = VizorHitInfo{};
  // The panes answer from what their last paint drew (points, legend lines,
  // plot areas); elsewhere the chart answers for its own area.
  for (const auto& pane : panes_) {
    if (pane->hitTest(point, out)) return 1;
  }
  if (point.x >= rect_.left && point.x < rect_.right && point.y >= rect_.top && point.y < rect_.bottom) {
    out->inChartOnly = 1;
    return 1;
  }
  return 0;
}

int32_t CChart::outermostOwner(int32_t seriesId) const {
  // Owner chains are short; the bound only guards against a cycle.
  for (size_t step = 0; step <= series_.size(); ++step) {
    const CData* s = findSeries(seriesId);
    if (s == nullptr || s->ownerId() == -1) break;
    seriesId = s->ownerId();
  }
  return seriesId;
}

void CChart::invalidate(bool relayout) {
  ++repaints_;
  if (relayout) ++relayouts_;
  if (window_ != nullptr) window_->invalidateChart(relayout);
}

bool CChart::isForeground() const {
  if (window_ == nullptr) return true;
  return ui::get_top_level(window_->hwnd()) == ui::get_foreground_window();
}

void CChart::setPage(int32_t barsPerPage, int32_t firstSlot) {
  params_.barsPerPage = std::max(barsPerPage, 0);
  const SlotModel s = slots();
  scrollPosition_ = std::clamp(firstSlot, 0, std::max(s.max_scroll_position(), 0));
  followLastBar_ = !s.scrolls() || scrollPosition_ >= s.max_scroll_position();
  updateScrollBar();
}

void CChart::setScrollFromBar(int32_t position) {
  if (!scroll_.shown) return;
  scrollPosition_ = position;
  scroll_.position = position;
  followLastBar_ = position == scroll_.maximum - scroll_.page + 1;
}

}  // namespace kelda::chart
