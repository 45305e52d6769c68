// Layout of the time-axis labels: which bars of the visible range get a
// mark and a label on each band. Coarser kinds are placed first, so their
// labels win; finer labels fill the room left between them.
#include <algorithm>
#include <array>
#include <cmath>

#include "chart/chart.h"
#include "chart/period.h"
#include "chart/time_axis.h"

namespace kelda::chart {

namespace {

constexpr double kNoRoom = 1e-7;

struct Layout {
  CChart& chart;
  BarList& bars;
  double w;
  int32_t first;
  int32_t end;  // one past the last bar of the range
  std::array<char16_t, kCallbackLabelChars> buffer{};

  double x(int32_t i) const { return i * w; }
  int32_t& mark(int32_t i, int32_t band) { return band == 1 ? bars[i].band1Mark : bars[i].band2Mark; }
  // A label of `kind` for bar i; space in/out as formatTimeAxisLabel.
  std::u16string_view label(int32_t i, int32_t kind, double* space) {
    return formatTimeAxisLabel(chart, barExtraData(chart, i), bars[i], space, kind, buffer);
  }
};

std::vector<LabelSpan>& occupied(CChart& chart, int32_t band) { return chart.view().occupied[band == 1 ? 0 : 1]; }

// The first placed label of the band that ends at or after x, or null.
const LabelSpan* firstEndingAfter(const std::vector<LabelSpan>& spans, double x) {
  const auto it = std::find_if(spans.begin(), spans.end(), [x](const LabelSpan& s) { return s.end >= x; });
  return it == spans.end() ? nullptr : &*it;
}

void record(std::vector<LabelSpan>& spans, double start, double end) {
  const auto at = std::lower_bound(spans.begin(), spans.end(), start,
                                   [](const LabelSpan& s, double v) { return s.start < v; });
  spans.insert(at, LabelSpan{start, end});
}

// Labels by the callback: one wherever the previous one leaves room.
void layoutCallbackLabels(Layout& l) {
  double nextFree = -1.0;
  for (int32_t i = l.first; i < l.end; ++i) {
    if (!(nextFree < l.x(i))) continue;
    double space = 0.0;
    const std::u16string_view text = l.label(i, kLabelMinute, &space);
    setBandLabel(l.bars[i], 1, kMarkGrid | kMarkShortTick | kMarkLabel, text);
    nextFree = l.x(i) + space;
  }
}

// Tick bars: a minute label at each change of minute where there is room.
void layoutMinuteLabels(Layout& l) {
  double nextFree = -1.0;
  int32_t lastMinute = -1;
  int32_t hourEnd = l.first;
  for (int32_t i = l.first; i < l.end; ++i) {
    if (i == hourEnd) {
      lastMinute = -1;
      hourEnd = periodMarker(l.bars[i], kHour);
    }
    const int32_t minute = l.bars[i].calendar.wMinute;
    if (minute == lastMinute) continue;
    lastMinute = minute;
    if (!(nextFree < l.x(i))) continue;
    double space = 0.0;
    const std::u16string_view text = l.label(i, kLabelMinute, &space);
    setBandLabel(l.bars[i], 1, kMarkGrid | kMarkLongTick | kMarkLabel, text);
    nextFree = l.x(i) + space;
  }
}

// Minute labels every k-th unmarked bar of each hour of v-minute bars.
void layoutStepLabels(Layout& l, int32_t v) {
  const int32_t m = 60 / v;
  const int32_t twoN = 2 * l.chart.view().numberWidth;
  int32_t k = 0;
  for (int32_t c = 1; c < m; ++c) {
    if (m % c == 0 && c * l.w > twoN) {
      k = c;
      break;
    }
  }
  if (k == 0) return;
  int32_t counter = 0;
  int32_t hourEnd = l.first;
  for (int32_t i = l.first; i < l.end; ++i) {
    if (i == hourEnd) {
      counter = 0;
      hourEnd = periodMarker(l.bars[i], kHour);
    }
    if (l.mark(i, 1) != 0) continue;
    if (++counter % k != 0) continue;
    const int32_t nextHour = periodMarker(l.bars[i], kHour);
    if (nextHour >= 1 && (nextHour - i) * l.w < twoN) {
      setBandLabel(l.bars[i], 1, kMarkGrid | kMarkShortTick, u"");
    } else {
      setBandLabel(l.bars[i], 1, kMarkGrid | kMarkShortTick | kMarkLabel, l.label(i, kLabelMinute, nullptr));
    }
  }
}

void placePeriods(Layout& l, int32_t kind, int32_t band, int32_t bits) {
  std::vector<LabelSpan>& spans = occupied(l.chart, band);
  int32_t i = l.first;
  if (i >= l.end) return;
  int32_t next = periodMarker(l.bars[i], kind);
  for (;;) {
    if (next < 1 || next >= l.end || next <= i) {
      // Bar i lies in the last, open period of the range.
      if (firstEndingAfter(spans, l.x(i)) == nullptr) {
        double space = 0.0;
        const std::u16string_view text = l.label(i, kind, &space);
        if (std::fabs(space) >= kNoRoom) {
          record(spans, l.x(i), l.x(i) + space);
          setBandLabel(l.bars[i], band, bits, text);
        }
      }
      return;
    }
    if (l.mark(i, band) == 0) {
      double room = (next - i) * l.w;
      bool limited = false;
      const LabelSpan* after = firstEndingAfter(spans, l.x(i));
      if (after != nullptr && room > after->start - l.x(i)) {
        room = after->start - l.x(i);
        limited = true;
      }
      if (room > 0) {
        double space = room;
        const std::u16string_view text = l.label(i, kind, &space);
        if (std::fabs(space) >= kNoRoom) {
          record(spans, l.x(i), l.x(i) + space);
          setBandLabel(l.bars[i], band, bits, text);
          i = next;
        } else if (limited) {
          i = next;
        }
      } else {
        i = next;
      }
    } else {
      i = next;
    }
    const int32_t following = periodMarker(l.bars[next], kind);
    if (following >= 1 && following <= next) return;  // markers only point forward
    next = following;
  }
}

void layoutBand1(Layout& l, int32_t v) {
  const int32_t n = l.chart.view().numberWidth;
  const double w = l.w;
  const auto ticks = [&](int32_t kind, double width) {
    if (width > 2 * n) {
      markBars(l.chart, kind, 1, kMarkGrid | kMarkShortTick | kMarkLabel);
    } else if (width > n) {
      markBars(l.chart, kind, 1, kMarkGrid | kMarkShortTick);
    }
  };
  const int32_t bits = kMarkGrid | kMarkLongTick | kMarkLabel;
  if (v == VIZOR_INTERVAL_DAY) {
    placePeriods(l, kLabelWeek, 1, bits);
    ticks(kLabelDay, w);
  } else if (v == 60) {
    placePeriods(l, kLabelDay, 1, bits);
    ticks(kLabelHour, w);
  } else if (v == 30) {
    placePeriods(l, kLabelDay, 1, bits);
    ticks(kLabelWholeHour, 2 * w);
  } else if (v < 1) {
    return;
  } else if (v < 30 && 60 % v == 0) {
    placePeriods(l, kLabelHour, 1, bits);
    layoutStepLabels(l, v);
  } else if (v < 30) {
    placePeriods(l, kLabelHour, 1, bits);
  } else {
    placePeriods(l, kLabelDay, 1, bits);
  }
}

}  // namespace

void placePeriodLabels(CChart& chart, ui::Canvas&, int32_t kind, int32_t band, int32_t bits) {
  BarList& bars = chart.barsForLayout();
  Layout l{chart, bars, chart.view().barWidth, std::max(chart.firstInRange(), 0),
           std::min(chart.firstInRange() + chart.countInRange(), bars.size())};
  placePeriods(l, kind, band, bits);
}

void layoutTimeLabels(CChart& chart, ui::Canvas& canvas) {
  BarList& bars = chart.barsForLayout();
  Layout l{chart, bars, chart.view().barWidth, std::max(chart.firstInRange(), 0),
           std::min(chart.firstInRange() + chart.countInRange(), bars.size())};
  if (l.first >= l.end) return;
  ChartView& view = chart.view();
  const ui::Font* oldFont = canvas.select_font(&view.font);
  view.yearWidth = canvas.text_extent(u"9999").cx;
  view.monthWidth = canvas.text_extent(u"WWW").cx;
  view.numberWidth = 2 * canvas.text_extent(u"99").cx;
  canvas.select_font(oldFont);
  view.occupied[0].clear();
  view.occupied[1].clear();
  for (int32_t i = l.first; i < l.end; ++i) {
    bars[i].band1Mark = bars[i].band2Mark = 0;
    bars[i].band1Label[0] = bars[i].band2Label[0] = u'\0';
  }
  if (chart.axisCallback() != nullptr) {
    layoutCallbackLabels(l);
    return;
  }
  const int32_t v = chart.intervalCode();
  const int32_t longTick = kMarkLongTick | kMarkLabel;
  const int32_t gridTick = kMarkGrid | kMarkLongTick | kMarkLabel;
  if (v == VIZOR_INTERVAL_TICK) {
    placePeriods(l, kLabelHour, 2, longTick);
    layoutMinuteLabels(l);
    return;
  }
  if (v == VIZOR_INTERVAL_WEEK || v == VIZOR_INTERVAL_MONTH) {
    placePeriods(l, kLabelYear, 2, gridTick);
    placePeriods(l, kLabelMonth, 2, gridTick);
  } else {
    placePeriods(l, kLabelYear, 2, longTick);
    placePeriods(l, kLabelMonth, 2, longTick);
    if (v > 0 && v < 30) placePeriods(l, kLabelDay, 2, longTick);
  }
  layoutBand1(l, v);
}

}  // namespace kelda::chart
