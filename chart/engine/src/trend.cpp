// The trend tool base: codes, ids, screen mapping, clipping, drawing with
// recorded segments, hit testing, moving and resizing with a ghost, the
// exclusive-or rubber band and re-anchoring from times.
#include "chart/trend.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/graph.h"
#include "chart/pane.h"
#include "chart/time_index.h"
#include "platform/time.h"
#include "ui/canvas.h"
#include "ui/window.h"

namespace kelda::chart {

namespace {

constexpr COLORREF kXorColour = 0xFFFFFF;
constexpr COLORREF kGhostXorColour = 0x646464;
constexpr uint64_t kSecond = 10000000;

int32_t toInt(double v) {
  // Truncation as the screen mapping asks, held to the int range.
  if (!(v > -2147483648.0)) return INT32_MIN;
  if (!(v < 2147483647.0)) return INT32_MAX;
  return static_cast<int32_t>(v);
}

bool within(double v, double a, double b) { return v >= std::min(a, b) && v <= std::max(a, b); }

}  // namespace

bool isTrendToolCode(int32_t code) { return code >= 0 && code <= 11 && code != 8; }

int32_t trendTypeOfTool(int32_t code) { return code == 0 || code == 5 ? 1 : code; }

int32_t trendTypeOfRecord(int32_t type) {
  switch (type) {
    case 1: case 2: case 3: case 4: case 6: case 7: case 10: case 11: return type;
    default: return 9;
  }
}

POINT TrendView::toScreen(TrendPoint p) const {
  const double bars = rightBar - leftBar;
  const double prices = bottomPrice - topPrice;
  const double x = bars == 0.0 ? left : left + (p.bar - leftBar) * (right - left) / bars;
  const double y = prices == 0.0 ? top : top + (p.price - topPrice) * (bottom - top) / prices;
  return POINT{toInt(x), toInt(y)};
}

CTrend::CTrend(CChart& chart, int32_t type)
    : penWidth_(chart.params().trendPenWidth),
      colour_(chart.params().trendColour),
      type_(type),
      id_(chart.takeTrendId()),
      chart_(&chart) {}

CTrend::~CTrend() { chart_->controller().forgetTool(this); }

bool CTrend::onStylusUp(WPARAM, int32_t, int32_t) { return true; }

void CTrend::keepDragCopy() {
  std::copy(std::begin(points_), std::end(points_), std::begin(dragCopy_));
  std::copy(std::begin(anchorTimes_), std::end(anchorTimes_), std::begin(dragAnchorTimes_));
  std::copy(std::begin(savedTimes_), std::end(savedTimes_), std::begin(dragSavedTimes_));
  dragBeyondBars_ = beyondBars_;
}

void CTrend::beginResize() {
  if (state_ != kTrendPlaced) return;
  keepDragCopy();
  state_ = kTrendResizeArmed;
}

void CTrend::beginMove(TrendPoint grab) {
  if (state_ != kTrendPlaced) return;
  grab_ = grab;
  keepDragCopy();
  state_ = kTrendMoveArmed;
}

void CTrend::dragTo(TrendPoint at) {
  if (state_ == kTrendMoveArmed) {
    makeGhost();
    state_ = kTrendMoving;
  }
  if (state_ != kTrendMoving) return;
  const double dBar = at.bar - grab_.bar;
  const double dPrice = at.price - grab_.price;
  // The third point moves along only where the kind has one placed.
  const int count = thirdPointSet() ? 3 : 2;
  for (int k = 0; k < count; ++k) {
    points_[k] = TrendPoint{dragCopy_[k].bar + dBar, dragCopy_[k].price + dPrice};
    setTime(k, timeAtBar(std::trunc(points_[k].bar)));
  }
}

void CTrend::endDrag(bool cancel, bool keepCopy) {
  if (state_ != kTrendMoveArmed && state_ != kTrendMoving && state_ != kTrendResizeArmed &&
      state_ != kTrendResizing) {
    return;
  }
  if (cancel && (state_ == kTrendMoving || state_ == kTrendResizing)) {
    // The points go back with the times they had: times found again from
    // the bar positions would lose a point before the first bar (it would
    // land on that bar) and a point's shift over a break in the session.
    std::copy(std::begin(dragCopy_), std::end(dragCopy_), std::begin(points_));
    std::copy(std::begin(dragAnchorTimes_), std::end(dragAnchorTimes_), std::begin(anchorTimes_));
    std::copy(std::begin(dragSavedTimes_), std::end(dragSavedTimes_), std::begin(savedTimes_));
    beyondBars_ = dragBeyondBars_;
  }
  commitPrices();
  state_ = kTrendPlaced;
  if (!cancel && keepCopy && ghost_ != nullptr && graph_ != nullptr) {
    CTrend* kept = ghost_.get();
    kept->state_ = kTrendPlaced;
    kept->commitPrices();
    graph_->trends().push_back(std::move(ghost_));
    if (kept->type_ == 2) chart_->verticalLines().push_back(kept);
  }
  ghost_.reset();
}

void CTrend::copyInto(CTrend& copy) const {
  copy.penWidth_ = penWidth_;
  copy.colour_ = colour_;
  copy.seriesId_ = seriesId_;
  copy.id_ = chart_->takeTrendId();
  copy.points_[0] = points_[0];
  copy.points_[1] = points_[1];
  copy.reported_[0] = reported_[0];
  copy.reported_[1] = reported_[1];
  std::copy(std::begin(dragCopy_), std::end(dragCopy_), std::begin(copy.dragCopy_));
  copy.visible_[0] = visible_[0];
  copy.visible_[1] = visible_[1];
  copy.grab_ = grab_;
  copy.state_ = state_;
  copy.graph_ = graph_;
  copy.view_ = view_;
  for (int k = 0; k < 3; ++k) copy.anchorTimes_[k] = copy.savedTimes_[k] = anchorTimes_[k];
  copy.segments_ = segments_;
  copy.beyondBars_ = beyondBars_;
}

void CTrend::resetDrawing() {
  segments_.clear();
  ghostDrawn_ = false;
  lastDrawn_.reset();
}

bool CTrend::dragUnderWay() const {
  return state_ == kTrendCreating || state_ == kTrendMoveArmed || state_ == kTrendMoving ||
         state_ == kTrendResizeArmed || state_ == kTrendResizing;
}

TrendView CTrend::scaledView(double xScale, double yScale) const {
  TrendView scaled = view_;
  scaled.left = toInt(scaled.left * xScale), scaled.right = toInt(scaled.right * xScale);
  scaled.top = toInt(scaled.top * yScale), scaled.bottom = toInt(scaled.bottom * yScale);
  return scaled;
}

bool CTrend::layout(ui::Canvas* canvas, const TrendView* view, double xScale, double yScale) {
  resetDrawing();
  if (state_ == kTrendNew || view == nullptr) return false;
  view_ = *view;
  barsFromTimes();
  if (dragUnderWay()) {
    redraw(canvas);
    return true;
  }
  const TrendView scaled = scaledView(xScale, yScale);
  draw(canvas, &scaled, false);
  return true;
}

COLORREF CTrend::drawColour(bool xorMode) const {
  if (!xorMode) return colour_;
  return state_ == kTrendGhost ? kGhostXorColour : kXorColour;
}

void CTrend::draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) {
  if (canvas == nullptr || view == nullptr) return;
  view_ = *view;
  if (!extendToPane(view->bottomPrice, view->topPrice, view->leftBar, view->rightBar)) return;
  const ui::Pen pen{ui::ps::solid, penWidth_, drawColour(xorMode)};
  const ui::Pen* oldPen = canvas->select_pen(&pen);
  const int oldRop = xorMode ? canvas->set_rop2(ui::r2::xor_pen) : canvas->rop2();
  recordVisible(*canvas, *view);
  canvas->select_pen(oldPen);
  if (xorMode) canvas->set_rop2(oldRop);
}

void CTrend::recordVisible(ui::Canvas& canvas, const TrendView& view) {
  recordSegment(canvas, view.toScreen(visible_[0]), view.toScreen(visible_[1]), samePoint(visible_[0], points_[0]),
                samePoint(visible_[1], points_[1]));
}

void CTrend::recordSegment(ui::Canvas& canvas, POINT a, POINT b, bool startHandle, bool endHandle,
                           bool thirdHandle) {
  canvas.move_to(a.x, a.y);
  canvas.line_to(b.x, b.y);
  segments_.push_back(TrendSegment{a.x, a.y, b.x, b.y, startHandle, endHandle, thirdHandle});
}

bool CTrend::drawClipped(ui::Canvas& canvas, TrendPoint a, TrendPoint b, bool handles, bool thirdHandle) {
  TrendPoint c0, c1;
  if (!clipSegment(view_.bottomPrice, view_.topPrice, view_.leftBar, view_.rightBar, a, b, &c0, &c1)) return false;
  const bool start = handles && samePoint(c0, points_[0]);
  const bool end = handles && samePoint(c1, points_[1]);
  recordSegment(canvas, view_.toScreen(c0), view_.toScreen(c1), start, end, thirdHandle);
  return true;
}

void CTrend::setState(int32_t state) {
  if (state_ != kTrendNew && state >= 1) state_ = state;
}

int32_t CTrend::hitTest(POINT p) const {
  constexpr int32_t tol = kTrendHitTolerance;
  for (const TrendSegment& s : segments_) {
    if (s.startHandle && std::abs(p.x - s.x0) <= tol && std::abs(p.y - s.y0) <= tol) return kPartP1;
    if (s.endHandle && std::abs(p.x - s.x1) <= tol && std::abs(p.y - s.y1) <= tol) return kPartP2;
    const int64_t dx = static_cast<int64_t>(s.x1) - s.x0;
    const int64_t dy = static_cast<int64_t>(s.y1) - s.y0;
    if (dx == 0 && dy == 0) continue;
    if (dy == 0) {
      if (std::abs(p.y - s.y0) <= tol && within(p.x, s.x0, s.x1)) return kPartBody;
      continue;
    }
    if (dx == 0) {
      if (std::abs(p.x - s.x0) <= tol && within(p.y, s.y0, s.y1)) return kPartBody;
      continue;
    }
    // Measured along the minor axis, within the extent along the major one
    // (a steep line is found beside it, not only inside its narrow x range).
    const double slope = static_cast<double>(dy) / static_cast<double>(dx);
    const bool flat = std::fabs(slope) < 1.0;
    if (flat ? !within(p.x, s.x0, s.x1) : !within(p.y, s.y0, s.y1)) continue;
    const double distance =
        flat ? std::fabs(p.y - (s.y0 + slope * (p.x - s.x0))) : std::fabs(p.x - (s.x0 + (p.y - s.y0) / slope));
    if (distance <= tol) return kPartBody;
  }
  return kPartNone;
}

bool CTrend::redraw(ui::Canvas* canvas) {
  std::unique_ptr<ui::Canvas> own;
  if (canvas == nullptr) {
    CChartWnd* window = chart_->window();
    if (window != nullptr && window->hwnd()) own = ui::get_dc(window->hwnd());
    canvas = own.get();
  }
  if (canvas == nullptr) return false;
  if (lastDrawn_ != nullptr) {
    lastDrawn_->draw(canvas, &lastDrawn_->view_, true);
    lastDrawn_.reset();
  }
  draw(canvas, &view_, true);
  lastDrawn_ = clone();
  if (ghost_ != nullptr && !ghostDrawn_) {
    ghost_->draw(canvas, &ghost_->view_, true);
    ghostDrawn_ = true;
  }
  if (own != nullptr) own->flush();
  return true;
}

void CTrend::drawOverlay(ui::Canvas& canvas) const {
  if (lastDrawn_ != nullptr) lastDrawn_->draw(&canvas, &lastDrawn_->view_, true);
  if (ghost_ != nullptr && ghostDrawn_) ghost_->draw(&canvas, &ghost_->view_, true);
}

bool CTrend::onCreateMessage(UINT, WPARAM, LPARAM) { return false; }

bool CTrend::extendToPane(double bottom, double top, double left, double right) {
  TrendPoint a, b;
  if (!clipSegment(bottom, top, left, right, points_[0], points_[1], &a, &b)) return false;
  setVisible(a, b);
  return true;
}

bool CTrend::clipSegment(double bottom, double top, double left, double right, TrendPoint s0, TrendPoint s1,
                         TrendPoint* out0, TrendPoint* out1) {
  if (!(top > bottom) || !(right > left)) return false;
  if (sameValue(s0.bar, s1.bar)) {
    if (sameValue(s0.price, s1.price)) return false;
    if (s0.bar < left || s0.bar > right) return false;
    if ((s0.price > top && s1.price > top) || (s0.price < bottom && s1.price < bottom)) return false;
    *out0 = TrendPoint{s0.bar, std::clamp(s0.price, bottom, top)};
    *out1 = TrendPoint{s0.bar, std::clamp(s1.price, bottom, top)};
    return true;
  }
  if (sameValue(s0.price, s1.price)) {
    if (s0.price < bottom || s0.price > top) return false;
    if ((s0.bar > right && s1.bar > right) || (s0.bar < left && s1.bar < left)) return false;
    *out0 = TrendPoint{std::clamp(s0.bar, left, right), s0.price};
    *out1 = TrendPoint{std::clamp(s1.bar, left, right), s0.price};
    return true;
  }
  const double k = (s1.price - s0.price) / (s1.bar - s0.bar);
  const double b = s0.price - k * s0.bar;
  const auto inside = [&](TrendPoint p) { return p.bar >= left && p.bar <= right && p.price >= bottom && p.price <= top; };
  // Crossings in the order top, right, bottom, left.
  TrendPoint crossings[4];
  int counted = 0;
  // A line through a corner crosses two edges at one point: that point
  // counts once, so that the segment runs from the corner to its inner end.
  const auto add = [&](TrendPoint c) {
    for (int i = 0; i < counted; ++i) {
      if (samePoint(crossings[i], c)) return;
    }
    if (counted < 4) crossings[counted++] = c;
  };
  const auto tryPrice = [&](double price) {
    if (!within(price, s0.price, s1.price)) return;
    const TrendPoint c{(price - b) / k, price};
    if (c.bar >= left && c.bar <= right) add(c);
  };
  const auto tryBar = [&](double bar) {
    if (!within(bar, s0.bar, s1.bar)) return;
    const TrendPoint c{bar, k * bar + b};
    if (c.price >= bottom && c.price <= top) add(c);
  };
  tryPrice(top);
  tryBar(right);
  tryPrice(bottom);
  tryBar(left);
  if (counted == 0) {
    if (!inside(s0)) return false;
    *out0 = s0, *out1 = s1;
    return true;
  }
  if (counted == 1) {
    if (inside(s0)) {
      *out0 = s0;
      *out1 = inside(s1) ? s1 : crossings[0];
    } else {
      *out0 = crossings[0];
      *out1 = s1;
    }
    return true;
  }
  *out0 = crossings[0];
  *out1 = crossings[1];
  return true;
}

TrendPoint CTrend::rayEnd(TrendPoint origin, TrendPoint through) {
  if (sameValue(origin.bar, through.bar)) {
    return TrendPoint{origin.bar, through.price > origin.price ? kTrendFar : -kTrendFar};
  }
  if (sameValue(origin.price, through.price)) return TrendPoint{kTrendFar, origin.price};
  const double k = (through.price - origin.price) / (through.bar - origin.bar);
  return TrendPoint{kTrendFar, origin.price + k * (kTrendFar - origin.bar)};
}

void CTrend::attach(CGraph& graph) {
  graph_ = &graph;
  seriesId_ = graph.seriesId();
  state_ = kTrendPlaced;
}

void CTrend::setP1(TrendPoint p) {
  if (state_ == kTrendResizeArmed) makeGhost(), state_ = kTrendResizing;
  points_[0] = p;
}

void CTrend::setP2(TrendPoint p) {
  if (state_ == kTrendResizeArmed) makeGhost(), state_ = kTrendResizing;
  points_[1] = p;
}

void CTrend::setP3(TrendPoint p) {
  if (state_ == kTrendResizeArmed) makeGhost(), state_ = kTrendResizing;
  points_[2] = p;
}

void CTrend::swapPoints(int i, int j) {
  std::swap(points_[i], points_[j]);
  std::swap(anchorTimes_[i], anchorTimes_[j]);
  std::swap(savedTimes_[i], savedTimes_[j]);
  if (i < 2 && j < 2) std::swap(reported_[i], reported_[j]);
}

void CTrend::orderByTime() {
  if (lessFileTime(savedTimes_[1], savedTimes_[0])) swapPoints(0, 1);
}

bool CTrend::degenerate() const { return samePoint(points_[0], points_[1]); }

void CTrend::makeGhost() {
  ghost_ = clone();
  ghost_->state_ = kTrendGhost;
  ghost_->points_[0] = dragCopy_[0];
  ghost_->points_[1] = dragCopy_[1];
  ghost_->points_[2] = dragCopy_[2];
}

void CTrend::onBarInserted(int32_t index) {
  for (TrendPoint* p : {&points_[0], &points_[1], &dragCopy_[0], &dragCopy_[1], &visible_[0], &visible_[1]}) {
    if (p->bar >= index) p->bar += 1.0;
  }
}

void CTrend::barsFromTimes() {
  for (int k = 0; k < 3; ++k) {
    points_[k].bar = timeToBarIndex(chart_->bars(), chart_->intervalCode(), anchorTimes_[k], nullptr);
  }
}

FILETIME CTrend::timeAtBar(double bar) {
  const BarList& bars = chart_->bars();
  const auto index = static_cast<int64_t>(std::clamp(bar, -2147483648.0, 2147483647.0));
  if (index >= bars.size()) beyondBars_ = true;
  return barIndexToTime(bars, chart_->intervalCode(), index);
}

bool CTrend::chartPointAt(POINT screen, TrendPoint* point, FILETIME* time) {
  if (graph_ == nullptr) return false;
  double bar = 0.0, left = 0.0, right = 0.0;
  graph_->pane().screenToChart(screen, &bar, &left, &right, nullptr, nullptr, nullptr);
  *point = TrendPoint{bar, graph_->params().scaleSide != 0 ? left : right};
  if (time != nullptr) *time = timeAtBar(std::trunc(bar));
  return true;
}

bool CTrend::reanchorAfterNewBars() {
  if (!beyondBars_) {
    std::copy(std::begin(savedTimes_), std::end(savedTimes_), std::begin(anchorTimes_));
    return false;
  }
  const BarList& bars = chart_->bars();
  const int32_t n = bars.size();
  if (n < 3) return false;
  const FILETIME last = bars[n - 1].time;
  const FILETIME before = bars[n - 2].time;
  SYSTEMTIME l{}, e{};
  if (!platform::file_time_to_system_time(last, l) || !platform::file_time_to_system_time(before, e)) return false;
  // The last bar opens a new day: a night is no gap within a session. The
  // year counts too, so that the first bars of January are a new day.
  const auto date = [](const SYSTEMTIME& t) { return (t.wYear * 100 + t.wMonth) * 100 + t.wDay; };
  if (date(l) > date(e)) return false;
  const FILETIME t = lessFileTime(savedTimes_[1], savedTimes_[2]) ? savedTimes_[2] : savedTimes_[1];
  if (lessFileTime(last, t)) {
    // A gap of two or more intervals between the last two bars is a break in
    // the session: the points still ahead of the bars move back by it.
    const uint64_t gapUnits = platform::to_u64(last) - platform::to_u64(before);
    if (intervalsIn(chart_->intervalCode(), static_cast<int64_t>(gapUnits / kSecond)) >= 2) {
      for (int k = 0; k < 3; ++k) {
        if (lessFileTime(last, savedTimes_[k]) && platform::to_u64(savedTimes_[k]) >= gapUnits) {
          anchorTimes_[k] = platform::to_filetime(platform::to_u64(savedTimes_[k]) - gapUnits);
        }
      }
    }
    // A point the bars have reached stands on its own bar again.
    for (int k = 0; k < 3; ++k) {
      if (!lessFileTime(last, savedTimes_[k])) anchorTimes_[k] = savedTimes_[k];
    }
  } else {
    // The bars have reached the figure: it is anchored to its own times.
    beyondBars_ = false;
    std::copy(std::begin(savedTimes_), std::end(savedTimes_), std::begin(anchorTimes_));
  }
  barsFromTimes();
  return true;
}

}  // namespace kelda::chart
