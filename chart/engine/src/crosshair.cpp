// The crosshair and the readout of the time and price under the pointer.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/controller.h"
#include "chart/number_format.h"
#include "chart/pane.h"
#include "chart/time_index.h"
#include "platform/time.h"

namespace kelda::chart {

namespace {

// Written by the export on the caller's thread, read by every chart window.
std::atomic<int> gCrosshair{0};

constexpr size_t kReadoutChars = 101;

// Decimals of a price read at `perPixel` units per pixel.
int32_t readoutDecimals(double perPixel) {
  if (perPixel < 1) return 4;
  if (perPixel < 10) return 3;
  if (perPixel < 100) return 2;
  return 1;
}

void formatReadoutTime(FILETIME time, int32_t interval, std::array<char16_t, kReadoutChars>& out) {
  out[0] = u'\0';
  SYSTEMTIME t{};
  if ((time.dwLowDateTime == 0 && time.dwHighDateTime == 0) || !platform::file_time_to_system_time(time, t)) return;
  std::array<char, kReadoutChars> text{};
  const int year = t.wYear % 100;
  if (interval == VIZOR_INTERVAL_TICK) {
    std::snprintf(text.data(), text.size(), "%02d.%02d.%02d %02d:%02d:%02d.%03d", t.wDay, t.wMonth, year, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
  } else if (interval >= VIZOR_INTERVAL_MONTH && interval <= VIZOR_INTERVAL_DAY) {
    std::snprintf(text.data(), text.size(), "%02d.%02d.%02d", t.wDay, t.wMonth, year);
  } else if (interval >= 1) {
    std::snprintf(text.data(), text.size(), "%02d.%02d.%02d %02d:%02d", t.wDay, t.wMonth, year, t.wHour, t.wMinute);
  }
  size_t i = 0;
  for (; text[i] != '\0' && i + 1 < out.size(); ++i) out[i] = static_cast<char16_t>(text[i]);
  out[i] = u'\0';
}

}  // namespace

void setCrosshairSwitch(bool on) { gCrosshair.store(on ? 1 : 0, std::memory_order_relaxed); }
bool crosshairSwitch() { return gCrosshair.load(std::memory_order_relaxed) != 0; }

void CChartController::drawCrosshair(ui::Canvas& canvas) const {
  if (!crosshairSwitch() || outside_ || !crosshairShown_ || paneRects_.empty()) return;
  const RECT area{paneRects_.front().left, paneRects_.front().top, paneRects_.front().right, paneRects_.back().bottom};
  const int32_t x = pointer_.x;
  const int32_t y = pointer_.y;
  if (!(area.left + 2 < x && x < area.right - 2 && area.top + 1 < y && y < area.bottom - 1)) return;
  const ui::Pen pen{ui::ps::solid, 1, chart_->params().axisColour};
  const ui::Pen* oldPen = canvas.select_pen(&pen);
  canvas.move_to(area.left, y);
  canvas.line_to(area.right, y);
  canvas.move_to(x, area.top);
  canvas.line_to(x, area.bottom);
  canvas.select_pen(oldPen);
}

void CChartController::reportPendingCursor() {
  if (!cursorReportPending_) return;
  cursorReportPending_ = false;
  reportCursor(pointer_.x, pointer_.y, 0, 0);
}

bool CChartController::reportCursor(int32_t x, int32_t y, WPARAM wParam, LPARAM lParam) {
  if (!chart_->isForeground() || paneRects_.empty()) return false;
  std::array<char16_t, kReadoutChars> timeText{};
  std::array<char16_t, kReadoutChars> priceText{};
  const RECT& first = paneRects_.front();
  const double w = chart_->view().barWidth;
  const SlotModel slots = chart_->slots();
  const BarList& bars = chart_->bars();
  FILETIME time{};
  bool found = false;
  if (w > 0.0) {
    // Slot k is centred at left + (k + 0.5) w; the lower slot wins a shared edge.
    const int64_t k0 = static_cast<int64_t>(std::floor((x - first.left) / w));
    for (int64_t k = std::max<int64_t>(k0 - 1, 0); k <= k0 + 1 && !found; ++k) {
      const double centre = first.left + (k + 0.5) * w;
      const int64_t bar = slots.first_visible_bar() + k;
      if (bar >= slots.end_slot() || bar >= bars.size() || centre > first.right) break;
      if (centre - w / 2 <= x && x <= centre + w / 2) {
        time = bars[static_cast<int32_t>(bar)].time;
        found = true;
      }
    }
  }
  for (size_t i = 0; i < paneRects_.size() && i < chart_->panes().size(); ++i) {
    const RECT& r = paneRects_[i];
    if (!(r.top <= y && y <= r.bottom)) continue;
    // A pane without height has no price scale to read.
    if (r.bottom == r.top) continue;
    const PriceRange range = chart_->panes()[i]->scales().right;
    const double perPixel = (range.max - range.min) / (r.bottom - r.top);
    const double price = range.min + perPixel * (r.bottom - y);
    formatNumber(price, readoutDecimals(perPixel), priceText, true);
    break;
  }
  if (!found && first.left <= x && x <= first.right && !chart_->panes().empty()) {
    const double position = chart_->panes().front()->xToBar(x);
    time = barIndexToTime(bars, chart_->intervalCode(), static_cast<int64_t>(std::trunc(position)) + 1);
  }
  formatReadoutTime(time, chart_->intervalCode(), timeText);
  VizorHitInfo record{};
  record.timeText = timeText.data();
  record.priceText = priceText.data();
  chart_->notify(8, ui::wm::mouse_move, wParam, lParam, &record, sizeof(record));
  return true;
}

}  // namespace kelda::chart
