// Painting of a graph: the painters of the drawing styles over the visible
// slots, the level lines and the price labels. Every painter rebuilds the
// point boxes of what it drew; pens are made once per paint and lines are
// handed to the canvas as polylines of consecutive segments.
#include <algorithm>
#include <array>
#include <cmath>

#include "chart/chart.h"
#include "chart/data.h"
#include "chart/data_aux.h"
#include "chart/data_awesome.h"
#include "chart/data_ichimoku.h"
#include "chart/data_volatility.h"
#include "chart/graph.h"
#include "chart/number_format.h"

namespace kelda::chart {

namespace {

constexpr int32_t kStyleLine = 1;
constexpr int32_t kStyleHistogram = 2;
constexpr int32_t kStyleCandles = 3;
constexpr int32_t kStyleBars = 4;
constexpr int32_t kStylePoints = 5;
constexpr int32_t kStyleDash = 7;
constexpr int32_t kStyleDot = 8;
constexpr int32_t kStyleBoxes = 9;
constexpr int32_t kStyleMarkUp = 10;
constexpr int32_t kStyleMarkDown = 11;

int penStyleOf(int32_t style) {
  if (style == kStyleDash) return ui::ps::dash;
  if (style == kStyleDot) return ui::ps::dot;
  return ui::ps::solid;
}

// The shared geometry of one paint of one graph.
class Painter {
 public:
  Painter(ui::Canvas& canvas, const CChart& chart, const VizorGraphParams& params, const RECT& rect, double min,
          double max, int32_t firstSlot, std::vector<GraphPointBox>& boxes, PointVector& points)
      : canvas_(canvas), rect_(rect), min_(min), max_(max), boxes_(boxes), points_(points) {
    w_ = chart.view().barWidth;
    k_ = max > min ? (rect.top - rect.bottom) / (max - min) : 0.0;
    const int32_t shift = params.shift;
    start_ = firstSlot - (params.shiftFlag != 0 ? shift : 0);
    end_ = std::min(chart.firstInRange() + chart.countInRange(), points.size());
    threshold_ = start_ + shift - chart.scrollPosition();
    pen_ = ui::Pen{penStyleOf(params.style), params.penWidth, params.colour};
  }

  bool drawable() const { return max_ > min_ && end_ > 0 && start_ < end_ && w_ > 0.0; }
  int y(double v) const { return static_cast<int>((v - min_) * k_ + rect_.bottom); }
  bool inRange(double v) const { return v >= min_ && v <= max_; }
  void addBox(int l, int t, int r, int b, const DataPoint& p) { boxes_.push_back({RECT{l, t, r, b}, &p, p.time}); }

  // Calls body(i, x) for each slot from `from` while it lies in the window.
  template <class Body>
  void walk(int32_t from, double x, Body&& body) {
    for (int32_t i = from; i < end_ && x <= rect_.right; ++i, x += w_) {
      if (i >= 0) body(i, x);
    }
  }

  void drawLine();
  struct TwoColours {
    COLORREF rising;
    COLORREF falling;
  };
  void drawHistogram(const TwoColours* colours);
  void drawCloud(CDataCommon& spanA, CDataCommon& spanB);
  void drawCandles(bool bars);
  void drawPoints();
  void drawMarkedLine(bool up);
  void drawBoxes();

 private:
  // Segment from value a at x - w to value p at x, cut at the price range.
  void segment(double x, const DataPoint& a, const DataPoint& shownEnd, double pv);
  void moveTo(int x, int y);
  void lineTo(int x, int y) { run_.push_back(POINT{x, y}); }
  void flush();

  ui::Canvas& canvas_;
  RECT rect_;
  double min_;
  double max_;
  double w_ = 0.0;
  double k_ = 0.0;
  int32_t start_ = 0;
  int32_t end_ = 0;
  int32_t threshold_ = 0;
  ui::Pen pen_;
  std::vector<GraphPointBox>& boxes_;
  PointVector& points_;
  std::vector<POINT> run_;

  friend void paintStyle(Painter&, int32_t, CData&);
};

void Painter::moveTo(int x, int y) {
  if (!run_.empty() && run_.back().x == x && run_.back().y == y) return;
  flush();
  run_.push_back(POINT{x, y});
}

void Painter::flush() {
  if (run_.size() >= 2) canvas_.polyline(run_);
  run_.clear();
}

void Painter::segment(double x, const DataPoint& a, const DataPoint& shownEnd, double p) {
  const double av = a.close;
  const double x0 = x - w_;
  bool started = true;
  if (inRange(av)) {
    moveTo(static_cast<int>(x0), y(av));
    const int ix = static_cast<int>(x0), iy = y(av);
    addBox(ix - 2, iy - 2, ix + 3, iy + 3, a);
  } else if (av < min_ && min_ < p) {
    moveTo(static_cast<int>(x0 + std::trunc(w_ / ((p - min_) / (min_ - av) + 1))), rect_.bottom);
  } else if (av > max_ && max_ > p) {
    moveTo(static_cast<int>(x0 + std::trunc(w_ / ((max_ - p) / (av - max_) + 1))), rect_.top);
  } else {
    started = false;
  }
  if (!started) return;
  if (inRange(p)) {
    lineTo(static_cast<int>(x), y(p));
    const int ix = static_cast<int>(x), iy = y(p);
    addBox(ix - 2, iy - 2, ix + 3, iy + 3, shownEnd);
  } else if (p < min_ && min_ < av) {
    lineTo(static_cast<int>(x - std::trunc(w_ / ((av - min_) / (min_ - p) + 1))), rect_.bottom);
  } else if (p > max_ && max_ > av) {
    lineTo(static_cast<int>(x - std::trunc(w_ / ((max_ - av) / (p - max_) + 1))), rect_.top);
  }
}

void Painter::drawLine() {
  // The anchor: the last valid point at or before the start slot, so that a
  // line enters the window from its left edge.
  int32_t anchor = 0;
  if (start_ > 0) {
    for (int32_t j = std::min(start_, end_ - 1); j >= 1; --j) {
      if (points_[j].valid) {
        anchor = j;
        break;
      }
    }
  }
  const DataPoint* a = &points_[anchor];
  canvas_.select_pen(&pen_);
  run_.reserve(64);
  for (int32_t i = start_ + 1; i < end_; ++i) {
    const double x = rect_.left + 0.5 * w_ + (i - start_) * w_;
    if (x > rect_.right) break;
    if (i <= 0) continue;
    const DataPoint& p = points_[i];
    if (a->valid) {
      if (!p.valid && p.endMarker) break;
      const DataPoint& shown = p.valid ? p : *a;
      if (i > threshold_) segment(x, *a, shown, shown.close);
      if (p.valid) a = &p;
    } else if (p.valid) {
      a = &p;
    }
  }
  flush();
}

void Painter::drawBoxes() {
  // The anchor: the last valid point at or before the start slot (the start
  // slot itself when none is), point 0 before the first slot.
  int32_t anchor = 0;
  if (start_ >= 0) {
    anchor = std::min(start_, end_ - 1);
    for (int32_t j = anchor; j >= 0; --j) {
      if (points_[j].valid) {
        anchor = j;
        break;
      }
    }
  }
  const DataPoint* a = &points_[anchor];
  canvas_.select_pen(&pen_);
  for (int32_t i = start_ + 1; i < end_; ++i) {
    const double x = rect_.left + 0.5 * w_ + (i - start_) * w_;
    if (x > rect_.right) break;
    if (i <= 0) continue;
    const DataPoint& p = points_[i];
    if (a->valid) {
      if (!p.valid && p.endMarker) break;
      if (p.valid) {
        const int left = static_cast<int>(x);
        const int top = y(p.close) - pen_.width / 2;
        canvas_.rectangle(left, top, left + 5, top + 5);
        addBox(left, top, left + 5, top + 5, p);
      }
    }
    if (p.valid) a = &p;
  }
}

void Painter::drawHistogram(const TwoColours* colours) {
  const ui::Pen solid{ui::ps::solid, pen_.width, pen_.color};
  ui::Pen rising = solid, falling = solid;
  if (colours != nullptr) {
    rising.color = colours->rising;
    falling.color = colours->falling;
  }
  canvas_.select_pen(&solid);
  walk(start_, rect_.left + 0.5 * w_, [&](int32_t i, double x) {
    const DataPoint& p = points_[i];
    if (!p.valid || i < threshold_) return;
    if (colours != nullptr) {
      // Rising against the nearest valid value before, or against 0.
      double before = 0.0;
      for (int32_t j = i - 1; j >= 0; --j) {
        if (points_[j].valid) {
          before = points_[j].close;
          break;
        }
      }
      canvas_.select_pen(p.close > before ? &rising : &falling);
    }
    const double hi = std::max(p.close, 0.0);
    const double lo = std::min(p.close, 0.0);
    if (lo > max_ || hi < min_) return;
    const int yLo = lo <= min_ ? rect_.bottom : y(lo);
    const int yHi = hi >= max_ ? rect_.top : y(hi);
    const int c = static_cast<int>(x);
    canvas_.move_to(c, yLo);
    canvas_.line_to(c, yHi);
    addBox(static_cast<int>(x - 1), yHi, static_cast<int>(x + 1), yLo, p);
  });
}

void Painter::drawCandles(bool bars) {
  const ui::Brush fill = ui::Brush::solid(pen_.color);
  canvas_.select_pen(&pen_);
  const int half = static_cast<int>(0.5 * w_ * 0.7);
  walk(start_, rect_.left + 0.5 * w_, [&](int32_t i, double x) {
    const DataPoint& p = points_[i];
    if (!p.valid || i < threshold_) return;
    const int c = static_cast<int>(x);
    const int left = std::max(c - half, static_cast<int>(rect_.left));
    const int right = std::min(c + half, static_cast<int>(rect_.right));
    const bool rising = p.close > p.open;
    const double top = std::max(p.open, p.close);
    const double bottom = std::min(p.open, p.close);
    if (bottom > max_ || top < min_) return;
    const int yTop = top >= max_ ? rect_.top : y(top);
    const int yBottom = bottom <= min_ ? rect_.bottom : y(bottom);
    const int yHigh = p.high >= max_ ? rect_.top : y(p.high);
    const int yLow = p.low <= min_ ? rect_.bottom : y(p.low);
    if (bars) {
      canvas_.move_to(c, yHigh);
      canvas_.line_to(c, yLow);
      const int yOpen = rising ? yBottom : yTop;
      const int yClose = rising ? yTop : yBottom;
      canvas_.move_to(c, yOpen);
      canvas_.line_to(left - 1, yOpen);
      canvas_.move_to(c, yClose);
      canvas_.line_to(right + 1, yClose);
    } else {
      if (!rising) canvas_.fill_rect(RECT{left, yTop, right + 1, yBottom + 1}, fill);
      // Four lines rather than a polyline: the canvas copies a polyline's points.
      canvas_.move_to(left, yTop);
      canvas_.line_to(left, yBottom);
      canvas_.line_to(right, yBottom);
      canvas_.line_to(right, yTop);
      canvas_.line_to(left, yTop);
      if (yTop != yHigh) {
        canvas_.move_to(c, yTop);
        canvas_.line_to(c, yHigh);
      }
      if (yBottom != yLow) {
        canvas_.move_to(c, yBottom);
        canvas_.line_to(c, yLow);
      }
    }
    addBox(left - 1, yTop - 1, right + 1, yBottom + 1, p);
  });
}

void Painter::drawPoints() {
  const ui::Brush brush = ui::Brush::solid(pen_.color);
  const ui::Pen solid{ui::ps::solid, pen_.width, pen_.color};
  canvas_.select_pen(&solid);
  const ui::Brush* oldBrush = canvas_.select_brush(&brush);
  const int r = pen_.width / 2;
  walk(start_, rect_.left + 0.5 * w_, [&](int32_t i, double x) {
    const DataPoint& p = points_[i];
    if (!p.valid || i < threshold_ || !inRange(p.close)) return;
    const int left = static_cast<int>(x - r);
    const int top = static_cast<int>((p.close - min_) * k_ + rect_.bottom - r);
    canvas_.ellipse(left, top, left + pen_.width + 1, top + pen_.width + 1);
    addBox(left, top, left + pen_.width + 1, top + pen_.width + 1, p);
  });
  canvas_.select_brush(oldBrush);
}

void Painter::drawMarkedLine(bool up) {
  const ui::Brush brush = ui::Brush::solid(pen_.color);
  const ui::Pen solid{ui::ps::solid, pen_.width, pen_.color};
  canvas_.select_pen(&solid);
  const ui::Brush* oldBrush = canvas_.select_brush(&brush);
  const DataPoint* previous = nullptr;
  double previousX = 0.0;
  walk(start_, rect_.left + 0.5 * w_, [&](int32_t i, double x) {
    const DataPoint& p = points_[i];
    if (!p.valid) return;
    if (inRange(p.close)) {
      const int l = static_cast<int>(x - 4), r = static_cast<int>(x + 4), yv = y(p.close);
      const int tip = up ? yv + 4 : yv - 4;
      const std::array<POINT, 3> triangle{POINT{l, tip}, POINT{r, tip}, POINT{(l + r) / 2, yv}};
      canvas_.polygon(triangle);
      addBox(l, std::min(yv, tip), r, std::max(yv, tip), p);
    }
    // The connecting line comes from the last valid point before this one.
    if (previous != nullptr) {
      double x0 = previousX;
      double a = previous->close;
      if (x0 < rect_.left) {
        a = (a + p.close) / 2;
        x0 = rect_.left;
      }
      if (!(x0 == rect_.left && !inRange(a) && previousX < rect_.left)) {
        const int ax = static_cast<int>(x0);
        const int ay = inRange(a) ? y(a) : (a < min_ ? rect_.bottom : rect_.top);
        const int px = static_cast<int>(x);
        const int py = inRange(p.close) ? y(p.close) : (p.close < min_ ? rect_.bottom : rect_.top);
        if (inRange(a) || inRange(p.close)) {
          canvas_.move_to(ax, ay);
          canvas_.line_to(px, py);
        }
      }
    }
    previous = &p;
    previousX = x;
  });
  canvas_.select_brush(oldBrush);
}

void Painter::drawCloud(CDataCommon& spanA, CDataCommon& spanB) {
  const CGraph* graphA = spanA.getGraph();
  const CGraph* graphB = spanB.getGraph();
  const PointVector& a = spanA.points();
  const PointVector& b = spanB.points();
  const int half = pen_.width / 2;
  walk(start_, rect_.left + 0.5 * w_, [&](int32_t i, double x) {
    if (i >= a.size() || i >= b.size() || !a[i].valid || !b[i].valid) return;
    const double hi = std::max(a[i].close, b[i].close);
    const double lo = std::min(a[i].close, b[i].close);
    if (!inRange(hi) && !inRange(lo)) return;
    const CGraph* upper = a[i].close > b[i].close ? graphA : graphB;
    const ui::Pen stroke{ui::ps::dot, pen_.width, upper != nullptr ? upper->params().colour : pen_.color};
    canvas_.select_pen(&stroke);
    const int c = static_cast<int>(x);
    canvas_.move_to(c, std::max(y(std::min(hi, max_)) - half, static_cast<int>(rect_.top)));
    canvas_.line_to(c, y(std::max(lo, min_)) - half);
  });
}

// The rising and falling colours of the awesome and accelerator oscillators
// (bytes 16 and 20 of their parameter blocks).
bool histogramColours(CData& series, Painter::TwoColours* out) {
  if (series.typeCode() != CDataAO::kTypeCode && series.typeCode() != CDataAC::kTypeCode) return false;
  AwesomeParams block;
  VizorGraphParams graph{};
  if (!series.getParams(&graph, &block, sizeof(block))) return false;
  *out = Painter::TwoColours{block.firstColour, block.secondColour};
  return true;
}

void paintStyle(Painter& painter, int32_t style, CData& series) {
  switch (style) {
    case kStyleLine:
    case kStyleDash:
    case kStyleDot:
      painter.drawLine();
      break;
    case kStyleHistogram: {
      Painter::TwoColours colours{};
      painter.drawHistogram(histogramColours(series, &colours) ? &colours : nullptr);
      break;
    }
    case kStyleCandles:
      painter.drawCandles(false);
      break;
    case kStyleBars:
      painter.drawCandles(true);
      break;
    case kStylePoints:
      painter.drawPoints();
      break;
    case kStyleMarkUp:
    case kStyleMarkDown:
      painter.drawMarkedLine(style == kStyleMarkUp);
      break;
    case kStyleBoxes:
      // Squares only for a volatility series; others draw nothing.
      if (series.typeCode() == CDataVolatility::kTypeCode) painter.drawBoxes();
      break;
    default:  // unknown styles draw no picture
      break;
  }
}

}  // namespace

void CGraph::drawGraph(ui::Canvas& canvas, const GraphFrame& frame) {
  boxes_.clear();
  RECT work = frame.rect;
  if (!frame.aligned) {
    work.left += 2;
    work.right += 2;
  }
  const double min = frame.min;
  const double max = frame.max;
  for (const VizorLevelLine& line : levelLines_) {
    if (line.price >= min && line.price <= max) drawPriceLabel(canvas, work, min, max, line.price);
  }
  const ui::Pen* oldPen = &canvas.pen();
  {
    Painter painter(canvas, *chart_, params_, work, min, max, frame.firstSlot, boxes_, series_->getPoints());
    if (painter.drawable()) {
      boxes_.reserve(static_cast<size_t>(std::max(chart_->countInRange(), 0)) * 2 + 2);
      paintStyle(painter, params_.style, *series_);
      if (auto* cloud = dynamic_cast<CDataIchimoku*>(series_)) painter.drawCloud(cloud->spanA(), cloud->spanB());
    }
    canvas.select_pen(oldPen);
  }
  double last = 0.0;
  if (series_->hasData() && lastVisibleClose(&last)) drawPriceLabel(canvas, frame.rect, min, max, last);
  if (max > min) {
    const double k = (work.top - work.bottom) / (max - min);
    for (const VizorLevelLine& line : levelLines_) {
      if (line.price < min || line.price > max) continue;
      const int y = static_cast<int>((line.price - min) * k + work.bottom);
      const VizorChartParams& cp = chart_->params();
      const ui::Pen pen{line.style == 5 || line.style == 8 ? ui::ps::dot : ui::ps::solid, cp.levelLinePenWidth,
                        cp.levelLineColour};
      canvas.select_pen(&pen);
      canvas.move_to(work.left, y);
      canvas.line_to(work.right, y);
      canvas.select_pen(oldPen);
    }
  }
  // Vertical lines cross every pane: the controller draws them after the panes.
  const TrendView view{frame.rect.left, frame.rect.top, frame.rect.right, frame.rect.bottom, min, max,
                       frame.firstPosition, frame.lastPosition};
  for (const auto& trend : trends_) {
    if (trend->type() != 2) trend->layout(&canvas, &view, 1.0, 1.0);
  }
}

namespace {
// A price label: its text, the gap between the plot and the text, and the
// box around the text (one pixel before it, two after, and a frame of one).
constexpr int32_t kLabelDecimals = 6;
constexpr int32_t kLabelGap = 9;
constexpr int32_t kLabelRoomAfterText = 3;

std::u16string_view priceLabelText(double price, std::span<char16_t> buffer) {
  return formatNumber(price, kLabelDecimals, buffer, true);
}
}  // namespace

int32_t CGraph::priceLabelWidth(ui::Canvas& canvas, double price) {
  std::array<char16_t, 65> buffer{};
  return kLabelGap + canvas.text_extent(priceLabelText(price, buffer)).cx + kLabelRoomAfterText;
}

void CGraph::drawPriceLabel(ui::Canvas& canvas, const RECT& rect, double min, double max, double price) const {
  if (params_.priceLabels == 0 || !(max > min)) return;
  const double k = (rect.top - rect.bottom) / (max - min);
  const int y = static_cast<int>((std::clamp(price, min, max) - min) * k + rect.bottom);
  std::array<char16_t, 65> buffer{};
  const std::u16string_view text = priceLabelText(price, buffer);
  const ChartView& view = chart_->view();
  const ui::Font* oldFont = canvas.select_font(&view.font);
  const SIZE extent = canvas.text_extent(text);
  int left = 0, right = 0;
  if (params_.scaleSide != 0) {
    right = rect.left - kLabelGap;
    left = right - extent.cx;
  } else {
    left = rect.right + kLabelGap;
    right = left + extent.cx;
  }
  const RECT box{left - 1, y - extent.cy / 2, right + kLabelRoomAfterText - 1, y - extent.cy / 2 + extent.cy};
  const VizorChartParams& cp = chart_->params();
  const ui::Brush frame = ui::Brush::solid(cp.axisColour);
  canvas.frame_rect(ui::inflate_rect(box, 1, 1), frame);
  canvas.fill_rect(box, ui::Brush::solid(cp.background));
  const COLORREF oldColour = canvas.set_text_color(params_.colour);
  const int oldMode = canvas.set_bk_mode(ui::bk::transparent);
  canvas.text_out(box.left + 1, box.top, text);
  canvas.set_bk_mode(oldMode);
  canvas.set_text_color(oldColour);
  canvas.select_font(oldFont);
}

}  // namespace kelda::chart
