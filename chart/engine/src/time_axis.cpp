// Time axis: measuring, label texts, marking and drawing.
#include "chart/time_axis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "chart/chart.h"
#include "chart/data.h"
#include "chart/graph.h"
#include "chart/number_format.h"
#include "chart/pane.h"
#include "chart/period.h"
#include "chart/price_scale.h"
#include "platform/time.h"

namespace kelda::chart {

namespace {

constexpr double kMaxCallbackValue = 2048.0;
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Copies ASCII text into a wide buffer (terminated, cut to fit).
std::u16string_view widen(const char* text, std::span<char16_t> buffer) {
  size_t n = 0;
  while (text[n] != '\0' && n + 1 < buffer.size()) {
    buffer[n] = static_cast<char16_t>(text[n]);
    ++n;
  }
  buffer[n] = u'\0';
  return std::u16string_view(buffer.data(), n);
}

double unitWidth(const ChartView& view, int32_t kind) {
  if (kind == kLabelYear) return view.yearWidth;
  if (kind == kLabelMonth) return view.monthWidth;
  return view.numberWidth;
}

// The right scale's label that needs the most room, as measuring counts it.
int32_t rightLabelWidth(ui::Canvas& canvas, const PriceRange& right, double pixelsPerUnit, int32_t textHeight) {
  const PriceStep step = priceStep(pixelsPerUnit, textHeight);
  double widest = right.max;
  if (right.min < 0) widest = integerDigits(right.max) > integerDigits(right.min) ? right.max : right.min;
  std::array<char16_t, 128> buffer{};
  return canvas.text_extent(formatNumber(widest, step.decimals, buffer, true)).cx + 12;
}

}  // namespace

void measureAxes(CChart& chart, ui::Canvas& canvas) {
  ChartView& view = chart.view();
  view.leftAxisWidth = 1;
  view.rightAxisWidth = 4;
  const ui::Font* oldFont = canvas.select_font(&view.font);
  const int32_t textHeight = canvas.text_metrics().height;
  const double areaHeight = static_cast<double>(view.drawArea.bottom) - view.drawArea.top;
  for (const CData* series : chart.seriesList()) {
    CGraph* graph = series->getGraph();
    if (graph == nullptr) continue;
    const PaneScales scales = graph->pane().computePriceScales(graph->params().scaleGroup);
    const double range = scales.right.max - scales.right.min;
    if (scales.rightUsed && range > 0 && graph->params().scaleSide == 0) {
      view.rightAxisWidth =
          std::max(view.rightAxisWidth, rightLabelWidth(canvas, scales.right, areaHeight / range, textHeight));
    }
    double last = 0.0;
    if (graph->params().priceLabels != 0 && graph->lastVisibleClose(&last)) {
      const int32_t width = CGraph::priceLabelWidth(canvas, last);
      view.widestLastValue = std::max(view.widestLastValue, width);
      view.rightAxisWidth = std::max(view.rightAxisWidth, view.widestLastValue);
    }
  }
  canvas.select_font(oldFont);
  double plotWidth = static_cast<double>(view.drawArea.right) - view.drawArea.left - view.leftAxisWidth -
                     view.rightAxisWidth;
  if (plotWidth <= 0) plotWidth = 1.0;
  const SlotModel slots = chart.slots();
  view.barWidth = slots.bar_width(plotWidth);
  if (slots.count_in_range <= 0) {
    view.band1Shown = view.band2Shown = false;
    return;
  }
  view.band1Shown = view.band2Shown = true;
  if (!chart.periodMarkersValid()) chart.computeVisibleMarkers();
  const int32_t code = chart.intervalCode();
  if (chart.axisCallback() != nullptr) {
    view.band2Shown = false;
  } else if (code == VIZOR_INTERVAL_WEEK || code == VIZOR_INTERVAL_MONTH) {
    view.band1Shown = false;
  } else if (code != VIZOR_INTERVAL_TICK) {
    const VizorCandleRecord& first = chart.bars()[slots.first_in_range];
    if (periodMarker(first, kDay) == -1) view.band2Shown = false;
  }
}

const void* barExtraData(const CChart& chart, int32_t index) {
  for (CData* series : chart.seriesList()) {
    PointVector& points = series->getPoints();
    if (index >= 0 && index < points.size() && points[index].extra != nullptr) return points[index].extra;
  }
  return nullptr;
}

std::u16string_view axisLabelFromCallback(const CChart& chart, const VizorCandleRecord& bar, const void* extra,
                                          double* value, std::span<char16_t> buffer) {
  if (buffer.empty()) return {};
  buffer[0] = u'\0';
  const VizorAxisXCallback callback = chart.axisCallback();
  if (callback == nullptr || buffer.size() < kCallbackLabelChars) return {};
  double local = 0.0;
  double* v = value != nullptr ? value : &local;
  if (*v > kMaxCallbackValue) *v = kMaxCallbackValue;
  callback(const_cast<CChart&>(chart).handle(), chart.userData(), &bar, extra, v, buffer.data());
  // The callback's text is trusted only within the buffer it was given.
  buffer[kCallbackLabelChars - 1] = u'\0';
  const auto end = std::find(buffer.begin(), buffer.begin() + kCallbackLabelChars, u'\0');
  return std::u16string_view(buffer.data(), static_cast<size_t>(end - buffer.begin()));
}

std::u16string_view formatTimeAxisLabel(const CChart& chart, const void* extra, const VizorCandleRecord& bar,
                                        double* space, int32_t kind, std::span<char16_t> buffer) {
  if (chart.axisCallback() != nullptr) return axisLabelFromCallback(chart, bar, extra, space, buffer);
  const SYSTEMTIME& t = bar.calendar;
  std::array<char, 16> text{};
  switch (kind) {
    case kLabelYear:
      std::snprintf(text.data(), text.size(), "%04d", t.wYear);
      break;
    case kLabelMonth:
      std::snprintf(text.data(), text.size(), "%s", t.wMonth >= 1 && t.wMonth <= 12 ? kMonthNames[t.wMonth - 1] : "");
      break;
    case kLabelDay:
    case kLabelWeek:
      std::snprintf(text.data(), text.size(), "%d", t.wDay);
      break;
    case kLabelHour:
    case kLabelWholeHour:
      std::snprintf(text.data(), text.size(), "%dh", t.wHour);
      break;
    case kLabelMinute:
      std::snprintf(text.data(), text.size(), ":%02d", t.wMinute);
      break;
    default:
      break;
  }
  if (space != nullptr) {
    const double unit = unitWidth(chart.view(), kind);
    if (unit < *space || *space == 0.0) {
      *space = unit;
    } else {
      *space = 0.0;
    }
  }
  return widen(text.data(), buffer);
}

void setBandLabel(VizorCandleRecord& bar, int32_t band, int32_t bits, std::u16string_view text) {
  char16_t* field = band == 1 ? bar.band1Label : bar.band2Label;
  (band == 1 ? bar.band1Mark : bar.band2Mark) = bits;
  const size_t n = std::min(text.size(), kBandLabelChars);
  std::copy_n(text.begin(), n, field);
  field[n] = u'\0';
}

void markBars(CChart& chart, int32_t kind, int32_t band, int32_t bits) {
  BarList& bars = chart.barsForLayout();
  const int32_t first = chart.firstInRange();
  const int32_t end = std::min(first + chart.countInRange(), bars.size());
  std::array<char16_t, kCallbackLabelChars> buffer{};
  for (int32_t i = std::max(first, 0); i < end; ++i) {
    VizorCandleRecord& bar = bars[i];
    if ((band == 1 ? bar.band1Mark : bar.band2Mark) != 0) continue;
    if (kind == kLabelWholeHour && bar.calendar.wMinute != 0) continue;
    std::u16string_view text;
    if ((bits & kMarkLabel) != 0) text = formatTimeAxisLabel(chart, barExtraData(chart, i), bar, nullptr, kind, buffer);
    setBandLabel(bar, band, bits, text);
  }
}

void drawTimeAxis(CChart& chart, ui::Canvas& canvas, const RECT& r, int32_t firstBar, bool bands, bool grid,
                  int32_t bandAreaBottom, double xScale) {
  const BarList& bars = chart.bars();
  if (bars.empty()) return;
  ChartView& view = chart.view();
  const ui::Font* oldFont = canvas.select_font(&view.font);
  const COLORREF oldColour = canvas.set_text_color(chart.params().textColour);
  const int oldMode = canvas.set_bk_mode(ui::bk::transparent);
  const ui::Pen* oldPen = canvas.select_pen(&view.gridPen);
  const int h = view.textHeight;
  const int y1 = r.bottom + 1;
  const int y2 = r.bottom + 1 + (view.band1Shown ? h : 0);
  const double step = view.barWidth * xScale;
  const int32_t end = std::min(chart.firstInRange() + chart.countInRange(), bars.size());
  double x = r.left + step * 0.5;
  const auto label = [&](const char16_t* text, int left, int top) {
    const std::u16string_view t(text, std::find(text, text + kBandLabelChars + 1, u'\0') - text);
    const SIZE extent = canvas.text_extent(t);
    RECT box{left, top, left + extent.cx, top + extent.cy};
    canvas.draw_text(t, box, ui::dt::center | ui::dt::single_line | ui::dt::no_clip);
  };
  for (int32_t i = std::max(firstBar, 0); i < end && x <= r.right && step > 0; ++i, x += step) {
    const VizorCandleRecord& bar = bars[i];
    const int ix = static_cast<int>(x);
    if (grid && ((view.band1Shown && (bar.band1Mark & kMarkGrid) != 0) ||
                 (view.band2Shown && (bar.band2Mark & kMarkGrid) != 0))) {
      canvas.select_pen(&view.gridPen);
      canvas.move_to(ix, r.bottom);
      canvas.line_to(ix, r.top);
    }
    if (!bands) continue;
    canvas.select_pen(&view.axisPen);
    if (view.band1Shown && bar.band1Mark != 0) {
      if ((bar.band1Mark & kMarkLongTick) != 0) {
        canvas.move_to(ix, y1);
        canvas.line_to(ix, y1 + h);
      } else if ((bar.band1Mark & kMarkShortTick) != 0) {
        canvas.move_to(ix, y1);
        canvas.line_to(ix, r.bottom + 7);
      }
      if ((bar.band1Mark & kMarkLabel) != 0) label(bar.band1Label, ix + 4, r.bottom + 2);
    }
    if (view.band2Shown && bar.band2Mark != 0) {
      if ((bar.band2Mark & kMarkLongTick) != 0) {
        canvas.move_to(ix, y2);
        canvas.line_to(ix, y2 + h);
      } else if ((bar.band2Mark & kMarkShortTick) != 0) {
        canvas.move_to(ix, y2);
        canvas.line_to(ix, y2 + 6);
      }
      if ((bar.band2Mark & kMarkLabel) != 0) label(bar.band2Label, ix + 4, y2 + 1);
    }
  }
  if (bands) {
    canvas.select_pen(&view.axisPen);
    const auto frame = [&](int top) {
      canvas.move_to(r.left, top);
      canvas.line_to(r.right + 1, top);
      canvas.move_to(r.left, top + h);
      canvas.line_to(r.right + 1, top + h);
      canvas.move_to(r.left - 1, top);
      canvas.line_to(r.left - 1, top + h + 1);
    };
    if (view.band1Shown) frame(y1);
    if (view.band2Shown) frame(y2);
  }
  view.timeAxisRect = RECT{r.left, r.bottom, r.right, bandAreaBottom};
  canvas.select_pen(oldPen);
  canvas.set_bk_mode(oldMode);
  canvas.set_text_color(oldColour);
  canvas.select_font(oldFont);
}

}  // namespace kelda::chart
