// Trend tool kinds: the factory, the trend line, the vertical and horizontal
// lines, the channel and the pitchfork.
#include "chart/trend_kinds.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "chart/chart.h"
#include "chart/graph.h"
#include "chart/pane.h"
#include "ui/canvas.h"
#include "ui/types.h"
#include "trend_draw.h"

namespace kelda::chart {


std::unique_ptr<CTrend> makeTrend(CChart& chart, int32_t type) {
  switch (type) {
    case 2: {
      auto vertical = std::make_unique<CTrendVert>(chart);
      chart.verticalLines().push_back(vertical.get());
      return vertical;
    }
    case 3: return std::make_unique<CTrendHorz>(chart);
    case 4: return std::make_unique<CTrendFibRetracement>(chart);
    case 6: return std::make_unique<CTrendFibFan>(chart);
    case 7: return std::make_unique<CTrendFibZones>(chart);
    case 9: return std::make_unique<CTrendChannel>(chart);
    case 10: return std::make_unique<CTrendSpeed>(chart);
    case 11: return std::make_unique<CTrendAndrewsFork>(chart);
    default: return std::make_unique<CTrendLine>(chart);
  }
}

// --- trend line ---

std::unique_ptr<CTrend> CTrendLine::clone() const {
  auto copy = std::make_unique<CTrendLine>(chart());
  copyInto(*copy);
  return copy;
}

// --- vertical line ---

CTrendVert::~CTrendVert() {
  std::vector<CTrend*>& list = chart().verticalLines();
  const auto it = std::find(list.begin(), list.end(), this);
  if (it != list.end()) list.erase(it);
}

std::unique_ptr<CTrend> CTrendVert::clone() const {
  // Copies stay out of the chart's list until a kept copy joins it.
  auto copy = std::make_unique<CTrendVert>(chart());
  copyInto(*copy);
  return copy;
}

void CTrendVert::setState(int32_t state) {
  CTrend::setState(state);
  if (state != kTrendPlaced || this->state() != kTrendPlaced) return;
  points_[0] = TrendPoint{points_[1].bar, -kTrendFar};
  points_[1].price = kTrendFar;
  setTime(0, savedTime(1));
}

bool CTrendVert::extendToPane(double bottom, double top, double left, double right) {
  if (points_[1].bar < left || points_[1].bar > right) return false;
  setVisible(TrendPoint{points_[1].bar, bottom}, TrendPoint{points_[1].bar, top});
  return true;
}

bool CTrendVert::layout(ui::Canvas* canvas, const TrendView*, double xScale, double yScale) {
  resetDrawing();
  if (state() == kTrendNew) return false;
  if (dragUnderWay()) {
    redraw(canvas);
    return true;
  }
  if (canvas == nullptr) return true;
  // Each pane's own view is taken in draw; the scales apply to all of them.
  scales_[0] = xScale, scales_[1] = yScale;
  draw(canvas, nullptr, false);
  return true;
}

void CTrendVert::draw(ui::Canvas* canvas, const TrendView*, bool xorMode) {
  if (canvas == nullptr) return;
  barsFromTimes();
  PenScope pen(*canvas, ui::ps::solid, penWidth(), drawColour(xorMode), xorMode);
  for (const auto& pane : chart().panes()) {
    const TrendView pv = pane->trendView(true);
    if (pv.bottom <= pv.top || points_[0].bar < pv.leftBar || points_[0].bar > pv.rightBar) continue;
    const int32_t x = static_cast<int32_t>(pv.toScreen(points_[1]).x * scales_[0]);
    const int32_t bottom = static_cast<int32_t>(pv.bottom * scales_[1]);
    const int32_t top = static_cast<int32_t>(pv.top * scales_[1]);
    recordSegment(*canvas, POINT{x, bottom}, POINT{x, top}, false, false);
    setView(pv);
  }
}

// --- horizontal line ---

std::unique_ptr<CTrend> CTrendHorz::clone() const {
  auto copy = std::make_unique<CTrendHorz>(chart());
  copyInto(*copy);
  return copy;
}

void CTrendHorz::setState(int32_t state) {
  CTrend::setState(state);
  if (state != kTrendPlaced || this->state() != kTrendPlaced) return;
  points_[0] = TrendPoint{-kTrendFar, points_[1].price};
  points_[1].bar = kTrendFar;
}

bool CTrendHorz::extendToPane(double bottom, double top, double left, double right) {
  const double price = points_[1].price;
  if (price < bottom || price > top) return false;
  setVisible(TrendPoint{left, price}, TrendPoint{right, price});
  return true;
}

bool CTrendHorz::layout(ui::Canvas* canvas, const TrendView* view, double xScale, double yScale) {
  if (!CTrend::layout(canvas, view, xScale, yScale)) return false;
  if (canvas != nullptr) drawPriceLabel(*canvas);
  return true;
}

void CTrendHorz::drawPriceLabel(ui::Canvas& canvas) {
  const TrendView& v = view();
  const double price = points_[1].price;
  if (price < v.bottomPrice || price > v.topPrice) return;
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", 5, price);
  const std::u16string label = widenAscii(text);
  const ui::Font* oldFont = canvas.select_font(&chart().view().font);
  const SIZE extent = canvas.text_extent(label);
  const COLORREF c = colour();
  const int sum = static_cast<int>(c & 0xFF) + static_cast<int>((c >> 8) & 0xFF) + static_cast<int>((c >> 16) & 0xFF);
  const COLORREF oldText = canvas.set_text_color(sum <= 382 ? 0xFFFFFF : 0x000000);
  const COLORREF oldBack = canvas.set_bk_color(c);
  const int oldMode = canvas.set_bk_mode(ui::bk::opaque);
  const int32_t y = v.toScreen(points_[1]).y;
  const bool leftScale = graph() != nullptr && graph()->params().scaleSide != 0;
  const int32_t left = leftScale ? v.left - 9 - extent.cx : v.right + 9;
  RECT box{left, y - extent.cy / 2, left + extent.cx, y - extent.cy / 2 + extent.cy};
  canvas.draw_text(label, box, ui::dt::center | ui::dt::vcenter | ui::dt::single_line);
  canvas.set_bk_mode(oldMode);
  canvas.set_bk_color(oldBack);
  canvas.set_text_color(oldText);
  canvas.select_font(oldFont);
}

// --- channel ---

CTrendChannel::CTrendChannel(CChart& chart) : CTrendLine(chart, 9) {
  points_[2] = TrendPoint{};
  setThirdPending(true);
}

std::unique_ptr<CTrend> CTrendChannel::clone() const {
  auto copy = std::make_unique<CTrendChannel>(chart());
  copyInto(*copy);
  copy->points_[2] = points_[2];
  copy->setThirdPending(false);
  return copy;
}

void CTrendChannel::draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) {
  if (canvas == nullptr || view == nullptr) return;
  setView(*view);
  PenScope pen(*canvas, ui::ps::solid, penWidth(), drawColour(xorMode), xorMode);
  const TrendPoint p1 = points_[0], p2 = points_[1], p3 = points_[2];
  // Both anchors on one bar: the slope is not finite, so the channel is
  // vertical: its lines stand at P1's and P3's bars.
  const bool vertical = sameValue(p1.bar, p2.bar);
  const double k = vertical ? 0.0 : (p2.price - p1.price) / (p2.bar - p1.bar);
  const auto line = [&](TrendPoint through) {
    if (vertical) {
      drawClipped(*canvas, TrendPoint{through.bar, -kTrendFar}, TrendPoint{through.bar, kTrendFar}, false);
    } else {
      drawClipped(*canvas, TrendPoint{-kTrendFar, through.price + k * (-kTrendFar - through.bar)},
                  TrendPoint{kTrendFar, through.price + k * (kTrendFar - through.bar)}, false);
    }
  };
  line(p1);
  if (!(p3.bar == 0.0 && p3.price == 0.0)) line(p3);
}

bool CTrendChannel::onCreateMessage(UINT message, WPARAM, LPARAM xy) {
  if (!thirdPointPending() || state() != kTrendPlaced) return false;
  if (message != ui::wm::mouse_move && message != ui::wm::lbutton_down) return false;
  TrendPoint at;
  FILETIME time{};
  if (!chartPointAt(pointOfMessage(xy), &at, &time)) return false;
  points_[2] = at;
  setTime(2, time);
  if (message == ui::wm::mouse_move) {
    redraw(nullptr);
    return false;
  }
  setThirdPending(false);
  chart().invalidate(false);
  return true;
}

// --- pitchfork ---

CTrendAndrewsFork::CTrendAndrewsFork(CChart& chart) : CTrend(chart, 11) {
  points_[2] = TrendPoint{};
  setThirdPending(true);
}

std::unique_ptr<CTrend> CTrendAndrewsFork::clone() const {
  auto copy = std::make_unique<CTrendAndrewsFork>(chart());
  copyInto(*copy);
  copy->points_[2] = points_[2];
  copy->setThirdPending(false);
  return copy;
}

void CTrendAndrewsFork::draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) {
  if (canvas == nullptr || view == nullptr) return;
  setView(*view);
  const bool third = !(points_[2].bar == 0.0 && points_[2].price == 0.0);
  // P1 is the handle of the fork: the leftmost point.
  if (third) {
    if (points_[0].bar > points_[1].bar) swapPoints(0, 1);
    else if (points_[0].bar > points_[2].bar) swapPoints(0, 2);
  }
  TrendPoint a, b;
  if (!clipSegment(view->bottomPrice, view->topPrice, view->leftBar, view->rightBar, points_[0], points_[1], &a, &b)) {
    return;
  }
  setVisible(a, b);
  {
    const ClipScope clip(*canvas, RECT{view->left, view->top, view->right, view->bottom});
    PenScope pen(*canvas, ui::ps::dot, 1, drawColour(xorMode), xorMode);
    const TrendPoint p1 = points_[0], p2 = points_[1], p3 = points_[2];
    if (third) drawClipped(*canvas, p1, p3, true);
    drawClipped(*canvas, p1, p2, true);
    if (third && p3.bar <= view->rightBar) {
      pen.use(ui::ps::solid, penWidth());
      const TrendPoint m{p2.bar + (p3.bar - p2.bar) * 0.5, p2.price + (p3.price - p2.price) * 0.5};
      const TrendPoint along{m.bar - p1.bar, m.price - p1.price};
      drawClipped(*canvas, p1, rayEnd(p1, m), false);
      drawClipped(*canvas, p2, rayEnd(p2, TrendPoint{p2.bar + along.bar, p2.price + along.price}), true);
      drawClipped(*canvas, p3, rayEnd(p3, TrendPoint{p3.bar + along.bar, p3.price + along.price}), true, true);
    }
  }
}

int32_t CTrendAndrewsFork::hitTest(POINT point) const {
  const int32_t part = CTrend::hitTest(point);
  if (part == kPartNone) return part;
  for (const TrendSegment& s : segments()) {
    if (!s.thirdHandle) continue;
    const auto near = [&](int32_t x, int32_t y) {
      return std::abs(point.x - x) <= kTrendHitTolerance && std::abs(point.y - y) <= kTrendHitTolerance;
    };
    if (near(s.x0, s.y0) || near(s.x1, s.y1)) return kPartP3;
  }
  return part;
}

bool CTrendAndrewsFork::onCreateMessage(UINT message, WPARAM, LPARAM xy) {
  if (!thirdPointPending() || state() != kTrendPlaced || message != ui::wm::lbutton_down) return false;
  TrendPoint at;
  FILETIME time{};
  if (!chartPointAt(pointOfMessage(xy), &at, &time)) return false;
  points_[2] = at;
  setTime(2, time);
  setThirdPending(false);
  chart().invalidate(false);
  return true;
}

}  // namespace kelda::chart
