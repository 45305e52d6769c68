// The controller's stylus handling: splitter drags, the time-axis zoom drag
// and the pointer moves that drive the crosshair and the readout.
#include <algorithm>
#include <cmath>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/controller.h"
#include "ui/types.h"

namespace kelda::chart {

namespace {

constexpr UINT kActivate = 6;
// Rows above and below a splitter that still grab it.
constexpr int32_t kGrab = 6;
// Fewest pixels a dragged splitter leaves the pane above (and, with the
// splitter's row, the pane below).
constexpr int32_t kMinAbove = 6;
constexpr int32_t kMinBelow = 7;

// Mouse coordinates are signed: during capture the stylus may leave the
// window to the left or above.
int32_t lowSigned(LPARAM l) { return static_cast<int16_t>(static_cast<uint16_t>(l & 0xFFFF)); }
int32_t highSigned(LPARAM l) { return static_cast<int16_t>(static_cast<uint16_t>((l >> 16) & 0xFFFF)); }

}  // namespace

LRESULT CChartController::onMouse(UINT message, WPARAM wParam, LPARAM lParam) {
  const int32_t x = lowSigned(lParam);
  const int32_t y = highSigned(lParam);
  if (mode_ == kIdle && onTimeAxisMouse(message, x, y)) return 1;
  if (mode_ == kIdle) {
    const LRESULT used = onTrendMouse(message, wParam, lParam);
    if (used != 0) return used;
  }
  CChartWnd* window = chart_->window();
  switch (message) {
    case kActivate:
      return 0;
    case ui::wm::mouse_move:
      if (mode_ >= kLeftBorder) {
        onAxisBorderMove(wParam, x, y);
        return 1;
      }
      onMouseMove(wParam, lParam, x, y);
      return mode_ == kSplitterDrag ? 1 : 0;
    case ui::wm::lbutton_down: {
      if (mode_ == kLeftBorder || mode_ == kRightBorder) {
        mode_ = mode_ == kLeftBorder ? kLeftBorderDrag : kRightBorderDrag;
        dragPoints_[0] = dragPoints_[1] = -1;
        if (window != nullptr) ui::set_capture(window->hwnd());
        return 1;
      }
      if (mode_ == kIdle) {
        for (size_t i = 0; i < splitterRects_.size(); ++i) {
          const RECT& s = splitterRects_[i];
          if (s.top - kGrab <= y && y < s.bottom + kGrab) {
            mode_ = kSplitterHit;
            dragIndex_ = static_cast<int32_t>(i);
            dragLower_ = i == 0 ? 0 : splitterRects_[i - 1].bottom;
            dragUpper_ = i + 1 < splitterRects_.size() ? splitterRects_[i + 1].top + 1 - kSplitterGap
                                                        : layoutRect_.bottom - kSplitterGap + 1;
          }
        }
      }
      if (mode_ != kSplitterHit) return 0;
      dragPoints_[0] = dragPoints_[1] = -1;
      mode_ = kSplitterDrag;
      trackingShown_ = false;
      if (window != nullptr) ui::set_capture(window->hwnd());
      return 1;
    }
    case ui::wm::lbutton_up: {
      if (mode_ == kLeftBorderDrag || mode_ == kRightBorderDrag) {
        mode_ = kIdle;
        if (window != nullptr) ui::release_capture();
        return 1;
      }
      if (mode_ != kSplitterDrag) return 0;
      if (trackingShown_) drawTrackingLine(trackingY_);
      trackingShown_ = false;
      finishSplitterDrag(y);
      mode_ = kIdle;
      if (window != nullptr) ui::release_capture();
      return 1;
    }
    default:
      return 0;
  }
}

int32_t CChartController::heldSplitterPosition(int32_t y) const {
  const int32_t low = dragLower_ + kMinAbove;
  const int32_t high = dragUpper_ - kMinBelow;
  // A range too short for both minimums: the splitter stays in its middle.
  if (high < low) return dragLower_ + std::max((dragUpper_ - dragLower_ - 1) / 2, 0);
  return std::clamp(y, low, high);
}

void CChartController::finishSplitterDrag(int32_t y) {
  const size_t below = static_cast<size_t>(dragIndex_) + 1;
  if (below >= entries_.size()) return;
  const int32_t position = heldSplitterPosition(y);
  entries_[dragIndex_].height = std::max(position - dragLower_, 0);
  entries_[below].height = std::max(dragUpper_ - position - 1, 0);
  if (paneHeightSum_ > 0) {
    for (PaneEntry& e : entries_) e.proportion = static_cast<double>(e.height) / paneHeightSum_;
  }
  chart_->invalidate(true);
}

void CChartController::drawTrackingLine(int32_t y) {
  CChartWnd* window = chart_->window();
  if (window == nullptr) return;
  std::unique_ptr<ui::Canvas> canvas = ui::get_dc(window->hwnd());
  if (canvas == nullptr) return;
  const ui::Pen pen{ui::ps::solid, 1, ui::get_sys_color(ui::color::btn_shadow)};
  canvas->select_pen(&pen);
  canvas->set_rop2(ui::r2::xor_pen);
  canvas->move_to(0, y);
  canvas->line_to(chart_->view().fullRect.right, y);
  canvas->flush();
}

void CChartController::onMouseMove(WPARAM wParam, LPARAM lParam, int32_t x, int32_t y) {
  switch (mode_) {
    case kIdle: {
      const bool on = crosshairSwitch();
      const bool wasOutside = outside_;
      const bool wasShown = crosshairShown_;
      outside_ = std::none_of(paneRects_.begin(), paneRects_.end(),
                              [y](const RECT& r) { return r.top <= y && y < r.bottom; });
      crosshairShown_ = on && !outside_;
      const bool moved = pointer_.x != x || pointer_.y != y;
      pointer_ = POINT{x, y};
      CChartWnd* window = chart_->window();
      // Only the overlay changes: the kept picture is copied again.
      if (window != nullptr && on && (moved || wasOutside != outside_ || wasShown != crosshairShown_)) {
        window->invalidateOverlay();
      }
      reportCursor(x, y, wParam, lParam);
      break;
    }
    case kSplitterHit:
      if (dragIndex_ < static_cast<int32_t>(splitterRects_.size())) {
        const RECT& s = splitterRects_[dragIndex_];
        if (!(s.top <= y && y < s.bottom)) mode_ = kIdle;
      }
      break;
    case kSplitterDrag: {
      const int32_t position = heldSplitterPosition(y);
      if (trackingShown_) drawTrackingLine(trackingY_);
      drawTrackingLine(position);
      trackingY_ = position;
      trackingShown_ = true;
      break;
    }
    default:
      break;
  }
}

void CChartController::onAxisBorderMove(WPARAM wParam, int32_t x, int32_t y) {
  const ChartView& view = chart_->view();
  const int32_t width = view.fullRect.right;
  const int32_t left = view.leftAxisWidth;
  const int32_t right = view.rightAxisWidth;
  CChartWnd* window = chart_->window();
  switch (mode_) {
    case kLeftBorder:
    case kRightBorder: {
      const bool inPane = std::any_of(paneRects_.begin(), paneRects_.end(),
                                      [y](const RECT& r) { return r.top <= y && y < r.bottom; });
      const bool onBorder = mode_ == kLeftBorder ? (x >= left - 3 && x <= left + 1)
                                                 : (x >= width - right - 1 && x <= width - right + 3);
      if (!inPane || !onBorder) mode_ = kIdle;
      return;
    }
    case kLeftBorderDrag:
    case kRightBorderDrag:
      if ((wParam & ui::mk::lbutton) == 0) {
        mode_ = kIdle;
        if (window != nullptr) ui::release_capture();
        return;
      }
      if (mode_ == kLeftBorderDrag) {
        chart_->setAxisWidthWords(std::clamp(x, 1, std::max(width - right, 1)), right);
      } else {
        chart_->setAxisWidthWords(left, width - std::clamp(x, left, std::max(width - 3, left)));
      }
      if (window != nullptr) window->invalidateBackBuffer();
      return;
    default:
      return;
  }
}

bool CChartController::onTimeAxisMouse(UINT message, int32_t x, int32_t y) {
  CChartWnd* window = chart_->window();
  switch (message) {
    case ui::wm::lbutton_down: {
      if (paneRects_.empty()) return false;
      const RECT& lowest = paneRects_.back();
      if (!(y >= lowest.bottom && lowest.left <= x && x < lowest.right)) return false;
      const ChartView& view = chart_->view();
      const bool scrollShown = chart_->scroll().shown;
      if (scrollShown && !(y < view.drawArea.bottom - view.scrollBarThickness)) return false;
      const SlotModel slots = chart_->slots();
      timeDrag_.startX = x;
      timeDrag_.lastSlot = scrollShown ? slots.effective_scroll_position() + slots.bars_per_page - 1
                                       : slots.interval_count() - 1;
      timeDrag_.startCount = chart_->params().barsPerPage;
      timeDrag_.active = true;
      if (window != nullptr) ui::set_capture(window->hwnd());
      return true;
    }
    case ui::wm::mouse_move: {
      if (!timeDrag_.active || paneRects_.empty()) return false;
      const int32_t right = paneRects_.back().right;
      const int64_t d0 = std::max(right - timeDrag_.startX, 1);
      const int64_t d1 = std::max(right - x, 1);
      const int32_t intervals = chart_->slots().interval_count();
      const int64_t base = timeDrag_.startCount >= 1 ? timeDrag_.startCount : intervals;
      int64_t count = base * d0 / d1;
      if (count == 0) count = 1;
      if (count >= intervals) count = 0;
      int32_t first = 0;
      if (count > 0 && count <= intervals) first = std::max<int32_t>(timeDrag_.lastSlot - static_cast<int32_t>(count), 0);
      chart_->setPage(static_cast<int32_t>(count), first);
      chart_->layoutChart(nullptr, nullptr);
      chart_->invalidate(true);
      return true;
    }
    case ui::wm::lbutton_up:
      if (!timeDrag_.active) return false;
      timeDrag_.active = false;
      if (window != nullptr) ui::release_capture();
      return true;
    default:
      return false;
  }
}

}  // namespace kelda::chart
