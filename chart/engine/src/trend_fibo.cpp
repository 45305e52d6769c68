// Trend tool kinds of Fibonacci ratios: retracement levels, the fan and the
// speed lines, and the time zones.
#include <algorithm>
#include <cstdio>

#include "chart/chart.h"
#include "chart/trend_kinds.h"
#include "trend_draw.h"
#include "ui/canvas.h"

namespace kelda::chart {

namespace {

constexpr double kRetracementLevels[] = {0.0, 23.6, 38.2, 50.0, 61.8, 100.0, 161.8, 261.8, 423.6};
// More zones than any view can hold: the distances grow as Fibonacci numbers.
constexpr int kMostZones = 100;

}  // namespace

// --- retracement ---

std::unique_ptr<CTrend> CTrendFibRetracement::clone() const {
  auto copy = std::make_unique<CTrendFibRetracement>(chart());
  copyInto(*copy);
  return copy;
}

void CTrendFibRetracement::draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) {
  if (canvas == nullptr || view == nullptr) return;
  drawOverDiagonal(*canvas, *view, xorMode, [&](ui::Canvas& c, PenScope& pen) { drawLevels(c, *view, pen, xorMode); });
}

void CTrendFibRetracement::drawLevels(ui::Canvas& canvas, const TrendView& view, PenScope& pen, bool xorMode) {
  if (sameValue(points_[0].bar, points_[1].bar)) return;
  const TrendPoint left = points_[0].bar < points_[1].bar ? points_[0] : points_[1];
  const TrendPoint right = points_[0].bar < points_[1].bar ? points_[1] : points_[0];
  if (left.bar > view.rightBar) return;
  const bool labels = !xorMode || state() == kTrendGhost;
  const int32_t x0 = std::max(view.toScreen(left).x, view.left);
  for (const double level : kRetracementLevels) {
    const double price = right.price + level * 0.01 * (left.price - right.price);
    if (price < view.bottomPrice || price > view.topPrice) continue;
    const int32_t y = view.toScreen(TrendPoint{left.bar, price}).y;
    const bool solid = level == 0.0 || level == 100.0;
    pen.use(solid ? ui::ps::solid : ui::ps::dot, solid ? penWidth() : 1);
    recordSegment(canvas, POINT{x0, y}, POINT{view.right, y}, false, false);
    if (!labels) continue;
    char text[32];
    std::snprintf(text, sizeof text, "%g%%", level);
    const ui::Font* oldFont = canvas.select_font(&chart().view().font);
    const COLORREF oldColour = canvas.set_text_color(colour());
    const int oldMode = canvas.set_bk_mode(ui::bk::transparent);
    RECT box{x0 - 200, y - 50, x0 - 10, y + 50};
    canvas.draw_text(widenAscii(text), box, ui::dt::right | ui::dt::single_line | ui::dt::vcenter);
    canvas.set_bk_mode(oldMode);
    canvas.set_text_color(oldColour);
    canvas.select_font(oldFont);
  }
}

// --- fan and speed lines ---

std::unique_ptr<CTrend> CTrendFibFan::clone() const {
  auto copy = std::make_unique<CTrendFibFan>(chart());
  copyInto(*copy);
  return copy;
}

std::unique_ptr<CTrend> CTrendSpeed::clone() const {
  auto copy = std::make_unique<CTrendSpeed>(chart());
  copyInto(*copy);
  return copy;
}

void CTrendFibFan::draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) {
  if (canvas == nullptr || view == nullptr) return;
  drawOverDiagonal(*canvas, *view, xorMode, [this](ui::Canvas& c, PenScope& pen) {
    const bool firstLeft = points_[0].bar < points_[1].bar;
    const TrendPoint origin = firstLeft ? points_[0] : points_[1];
    const TrendPoint target = firstLeft ? points_[1] : points_[0];
    pen.use(ui::ps::solid, penWidth());
    for (const double r : ratios_) {
      const TrendPoint through{target.bar, origin.price + (target.price - origin.price) * r * 0.01};
      drawClipped(c, origin, rayEnd(origin, through), false);
    }
  });
}

// --- time zones ---

std::unique_ptr<CTrend> CTrendFibZones::clone() const {
  auto copy = std::make_unique<CTrendFibZones>(chart());
  copyInto(*copy);
  return copy;
}

void CTrendFibZones::draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) {
  if (canvas == nullptr || view == nullptr) return;
  setView(*view);
  PenScope pen(*canvas, ui::ps::dot, 1, drawColour(xorMode), xorMode);
  double position = points_[1].bar;
  double previous = 0.0, step = 1.0;
  for (int n = 0; n < kMostZones && position <= view->rightBar; ++n) {
    if (n == 1) pen.use(ui::ps::solid, penWidth());
    if (position >= view->leftBar) {
      const int32_t x = view->toScreen(TrendPoint{position, view->topPrice}).x;
      recordSegment(*canvas, POINT{x, view->bottom}, POINT{x, view->top}, false, false);
    }
    position += step;
    const double next = previous + step;
    previous = step;
    step = next;
  }
}

}  // namespace kelda::chart
