// A pane's paint: legend rows, frame, price scales and axes, graphs, and the
// price scroll bar of a zoomed axis.
#include <algorithm>
#include <array>
#include <cmath>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/data.h"
#include "chart/graph.h"
#include "chart/number_format.h"
#include "chart/pane.h"
#include "chart/price_scale.h"
#include "chart/time_axis.h"

namespace kelda::chart {

namespace {

constexpr int32_t kLegendTop = 2;
constexpr int32_t kLegendBottom = 3;
constexpr int32_t kScrollRange = 10000000;

bool inPane(const CData* series, int32_t paneId) {
  const CGraph* g = series->getGraph();
  return g != nullptr && g->paneId() == paneId;
}

}  // namespace

int32_t CChartPane::drawLegend(ui::Canvas& canvas, RECT& plot) {
  const int32_t position = params_.legendPosition;
  if (position != kLegendTop && position != kLegendBottom) return 0;
  const ChartView& view = chart_->view();
  const int h = view.textHeight;
  const bool down = position == kLegendTop;
  const ui::Font* oldFont = canvas.select_font(&view.font);
  const COLORREF oldColour = canvas.set_text_color(chart_->params().textColour);
  const int oldMode = canvas.set_bk_mode(ui::bk::transparent);
  const ui::Pen* oldPen = &canvas.pen();
  int x = paneRect_.left;
  int rowTop = down ? paneRect_.top : paneRect_.bottom - h;
  bool first = true;
  bool stopped = false;
  for (const CData* series : chart_->seriesList()) {
    if (!inPane(series, id_) || !series->getGraph()->legendShown()) continue;
    const CGraph& graph = *series->getGraph();
    const int w = graph.legendWidth();
    if (!first && x + 50 + w > paneRect_.right) {
      x = paneRect_.left;
      const int next = down ? rowTop + h : rowTop - h;
      if ((down && next + h > paneRect_.bottom) || (!down && next < paneRect_.top)) {
        stopped = true;
        break;
      }
      rowTop = next;
    }
    first = false;
    RECT textBox{x + 50, rowTop, x + 50 + w, rowTop + h};
    const VizorGraphParams& gp = graph.params();
    const size_t length = std::find(std::begin(gp.legend), std::end(gp.legend), u'\0') - std::begin(gp.legend);
    canvas.draw_text(std::u16string_view(gp.legend, length), textBox,
                     ui::dt::center | ui::dt::vcenter | ui::dt::single_line);
    const int middle = rowTop + h / 2;
    const ui::Pen sample{ui::ps::solid, gp.penWidth, gp.colour};
    canvas.select_pen(&sample);
    canvas.move_to(x + 25, middle);
    canvas.line_to(x + 40, middle);
    canvas.select_pen(oldPen);
    hits_.push_back(PaneHitRect{RECT{x + 25, middle - 2, x + 40, middle + 2}, series->id()});
    x += 50 + w;
  }
  (void)stopped;
  if (down) {
    plot.top = std::min(rowTop + h, static_cast<int>(plot.bottom));
  } else {
    plot.bottom = std::max(rowTop, static_cast<int>(plot.top));
  }
  canvas.set_bk_mode(oldMode);
  canvas.set_text_color(oldColour);
  canvas.select_font(oldFont);
  return h;
}

PaneScales CChartPane::computePriceScales(int32_t group) {
  PaneScales s = scales_;
  s.leftUsed = s.rightUsed = false;
  if (isPriceZoomed() && scrollBar_ != nullptr) {
    ui::ScrollInfo info;
    if (ui::get_scroll_info(scrollBar_->hwnd(), ui::sb::ctl, info) && info.max >= info.min) {
      priceOffset_ = static_cast<double>(info.pos) / (static_cast<double>(info.max) - info.min + 1);
    }
  }
  for (const CData* series : chart_->seriesList()) {
    if (!inPane(series, id_)) continue;
    const VizorGraphParams& gp = series->getGraph()->params();
    if (gp.scaleGroup != group) continue;
    double lo = 0, hi = 0;
    // Candles and bars need their highs and lows; every other style plots closes.
    const int closeOnly = gp.style == 3 || gp.style == 4 ? 0 : 1;
    if (!series->getMinMax(closeOnly, &lo, &hi, &gp)) continue;
    const bool left = gp.scaleSide != 0;
    PriceRange& r = left ? s.left : s.right;
    bool& used = left ? s.leftUsed : s.rightUsed;
    if (!used) {
      r = PriceRange{lo, hi};
      used = true;
    } else {
      r.min = std::min(r.min, lo);
      r.max = std::max(r.max, hi);
    }
  }
  const auto finish = [&](PriceRange& r, bool automatic, double fixedMin, double fixedMax) {
    if (!automatic) {
      r = PriceRange{fixedMin, fixedMax};
      return;
    }
    const double range = r.max - r.min;
    const double z = params_.zoom;
    if (z > 1.0) {
      r.max = r.max - priceOffset_ * range;
      r.min = r.max - range / z;
    } else {
      const double pad = (range / z - range) * 0.5;
      r.max += pad;
      r.min -= pad;
    }
    padPriceRange(r.min, r.max, 4);
  };
  if (s.leftUsed) finish(s.left, params_.leftAuto != 0, params_.leftMin, params_.leftMax);
  if (s.rightUsed) finish(s.right, params_.rightAuto != 0, params_.rightMin, params_.rightMax);
  if (s.leftUsed && !s.rightUsed) {
    s.right = s.left;
    s.rightUsed = true;
  } else if (s.rightUsed && !s.leftUsed) {
    s.left = s.right;
    s.leftUsed = true;
  }
  return s;
}

void CChartPane::drawPriceAxis(ui::Canvas& canvas, const RECT& plot, double min, double max, bool left, bool grid) {
  if (!(max > min)) return;
  const ChartView& view = chart_->view();
  const ui::Font* oldFont = canvas.select_font(&view.font);
  const COLORREF oldColour = canvas.set_text_color(chart_->params().textColour);
  const int oldMode = canvas.set_bk_mode(ui::bk::transparent);
  const ui::Pen* oldPen = &canvas.pen();
  const double p = (plot.bottom - plot.top) / (max - min);
  const PriceStep step = priceStep(p, canvas.text_metrics().height);
  const double minor = step.major / step.minorCount;
  const double first = std::ceil(min / minor - 1e-9) * minor;
  int k = static_cast<int>(std::lround((first / step.major - std::floor(first / step.major + 1e-9)) *
                                       step.minorCount)) % step.minorCount;
  // A density so low that the ticks would not fit the plot: none are drawn.
  const double count = (max - first) / minor;
  if (count < 0 || count > plot.bottom - plot.top + 1) {
    canvas.set_bk_mode(oldMode);
    canvas.set_text_color(oldColour);
    canvas.select_font(oldFont);
    return;
  }
  std::array<char16_t, 32> buffer{};
  const int ticks = static_cast<int>(count + 1e-9);
  for (int n = 0; n <= ticks; ++n, k = (k + 1) % step.minorCount) {
    const double t = first + n * minor;
    const int y = static_cast<int>(plot.bottom - (t - min) * p);
    const bool major = k == 0;
    if (grid && major) {
      canvas.select_pen(&view.gridPen);
      canvas.move_to(plot.left, y);
      canvas.line_to(plot.right, y);
    }
    canvas.select_pen(&view.axisPen);
    const int length = major ? 7 : 4;
    if (left) {
      canvas.move_to(plot.left - length, y);
      canvas.line_to(plot.left - 1, y);
    } else {
      canvas.move_to(plot.right + length, y);
      canvas.line_to(plot.right + 1, y);
    }
    if (!major) continue;
    const std::u16string_view text = formatNumber(std::fabs(t) < minor * 1e-6 ? 0.0 : t, step.decimals, buffer, false);
    const SIZE extent = canvas.text_extent(text);
    RECT box{};
    box.top = y - extent.cy / 2;
    box.bottom = box.top + extent.cy;
    if (left) {
      box.right = plot.left - 9;
      box.left = box.right - extent.cx;
    } else {
      box.left = plot.right + 9;
      box.right = box.left + extent.cx;
    }
    canvas.draw_text(text, box, ui::dt::center | ui::dt::single_line | ui::dt::no_clip);
  }
  canvas.select_pen(oldPen);
  canvas.set_bk_mode(oldMode);
  canvas.set_text_color(oldColour);
  canvas.select_font(oldFont);
}

RECT CChartPane::paint(ui::Canvas& canvas, int32_t top, int32_t bottom, int32_t firstBar) {
  hits_.clear();
  const ChartView& view = chart_->view();
  paneRect_ = RECT{view.drawArea.left, top, view.drawArea.right, bottom};
  if (bottom <= top) {
    scales_.plot = RECT{paneRect_.left, top, paneRect_.right, top};
    return scales_.plot;
  }
  RECT plot = paneRect_;
  drawLegend(canvas, plot);
  // Half a line above and below the plot for the scale's end labels; a pane
  // too low for that (many panes on a turned screen) keeps half its height
  // for the plot instead of showing nothing.
  const int32_t margin = std::min(view.textHeight / 2, std::max<int32_t>((plot.bottom - plot.top) / 4, 0));
  plot.top += margin;
  plot.bottom -= margin;
  plot.left += view.leftAxisWidth;
  plot.right -= view.rightAxisWidth;
  if (plot.bottom > plot.top) {
    const ui::Pen* oldPen = canvas.select_pen(&view.axisPen);
    const std::array<POINT, 5> frame{POINT{plot.left - 1, plot.top - 1}, POINT{plot.left - 1, plot.bottom + 1},
                                     POINT{plot.right + 1, plot.bottom + 1}, POINT{plot.right + 1, plot.top - 1},
                                     POINT{plot.left - 1, plot.top - 1}};
    canvas.polyline(frame);
    canvas.select_pen(oldPen);
  }
  if (plot.bottom <= plot.top) {
    plot.bottom = plot.top;
    scales_.plot = plot;
    placeScrollBar();
    return plot;
  }
  scales_.plot = plot;
  hits_.push_back(PaneHitRect{plot, 0});
  drawTimeAxis(*chart_, canvas, plot, firstBar, false, chart_->params().timeGridShown != 0, plot.bottom, 1.0);
  if (!chart_->bars().empty()) paintGraphs(canvas, plot, firstBar);
  placeScrollBar();
  return plot;
}

void CChartPane::paintGraphs(ui::Canvas& canvas, const RECT& plot, int32_t firstBar) {
  const SlotModel slots = chart_->slots();
  const int32_t visible = slots.visible_slots();
  const auto& series = chart_->seriesList();
  for (const CData* s : series) {
    if (inPane(s, id_)) s->getGraph()->setPainted(false);
  }
  bool axesDrawn = false;
  PaneScales painted;
  for (size_t i = 0; i < series.size(); ++i) {
    CGraph* g = series[i]->getGraph();
    if (g == nullptr || g->paneId() != id_ || !series[i]->hasData() || g->painted()) continue;
    const int32_t group = g->params().scaleGroup;
    PaneScales s = computePriceScales(group);
    s.plot = plot;
    s.firstPosition = firstBar - 0.5;
    s.lastPosition = firstBar + visible - 1 + 0.5;
    if (!axesDrawn) {
      if (s.leftUsed) drawPriceAxis(canvas, plot, s.left.min, s.left.max, true, (params_.gridBits & 1) != 0);
      if (s.rightUsed) drawPriceAxis(canvas, plot, s.right.min, s.right.max, false, (params_.gridBits & 2) != 0);
      painted = s;
      axesDrawn = true;
    }
    bool aligned = true;
    for (size_t j = i; j < series.size(); ++j) {
      CGraph* other = series[j]->getGraph();
      if (other == nullptr || other->paneId() != id_ || !series[j]->hasData() || other->painted() ||
          other->params().scaleGroup != group) {
        continue;
      }
      const bool left = other->params().scaleSide != 0;
      if ((left && !s.leftUsed) || (!left && !s.rightUsed)) continue;
      const PriceRange& r = left ? s.left : s.right;
      other->drawGraph(canvas, GraphFrame{plot, r.min, r.max, s.firstPosition, s.lastPosition, firstBar, aligned});
      aligned = !aligned;
      other->setPainted(true);
    }
  }
  if (axesDrawn) {
    scales_ = painted;
    rangesKnown_ = true;
  }
}

void CChartPane::placeScrollBar() {
  if (scrollBar_ == nullptr) return;
  const ui::Hwnd bar = scrollBar_->hwnd();
  const RECT& plot = scales_.plot;
  if (!isPriceZoomed() || plot.bottom <= plot.top) {
    ui::show_window(bar, ui::sw::hide);
    scrollBarRect_ = RECT{};
    return;
  }
  const ChartView& view = chart_->view();
  const int thickness = view.scrollBarThickness;
  scrollBarRect_ = RECT{view.fullRect.right - thickness, plot.top, view.fullRect.right, plot.bottom};
  ui::move_window(bar, scrollBarRect_.left, plot.top, thickness, plot.bottom - plot.top, false);
  ui::ScrollInfo info;
  info.min = 1;
  info.max = kScrollRange;
  const double page = std::max(1.0, std::floor(kScrollRange / params_.zoom));
  info.page = static_cast<UINT>(page);
  info.pos = static_cast<int>(std::min(std::trunc(priceOffset_ * kScrollRange),
                                       static_cast<double>(info.max) - info.page + 1));
  if (info.page / 10 != 0) scrollBar_->setLineStep(static_cast<int>(info.page / 10));
  ui::set_scroll_info(bar, ui::sb::ctl, info, false);
  ui::show_window(bar, ui::sw::show);
  ui::invalidate_rect(bar, nullptr, true);
}

}  // namespace kelda::chart
