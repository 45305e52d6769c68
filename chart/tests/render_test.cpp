// Painting of series, panes and the time axis, checked on a recording canvas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "chart/number_format.h"
#include "chart/price_scale.h"
#include "chart/time_axis.h"
#include "platform/locale.h"
#include "platform/time.h"
#include "render_fixture.h"

namespace kelda::chart::testing {
namespace {

using ui::CanvasOp;

TEST(NumberFormat, SeparatorsGroupingAndTrimming) {
  platform::set_user_number_separators({u",", u" "});
  struct Case {
    double value;
    int decimals;
    bool trim;
    std::u16string_view text;
  } cases[] = {
      {1234567.5, 1, false, u"1 234 567,5"}, {-1234, 0, false, u"-1 234"}, {12.5, 3, true, u"12,5"},
      {3.0, 3, true, u"3"},                  {999, 0, false, u"999"},       {-100.25, 2, false, u"-100,25"},
  };
  for (const Case& c : cases) EXPECT_EQ(formatNumber(c.value, c.decimals, {}, c.trim), c.text) << c.value;
  platform::reset_user_number_separators();
  platform::set_user_number_separators({u".", u""});
  EXPECT_EQ(formatNumberText(1234567.5, 1, false), u"1234567.5");
  // A text longer than the buffer is cut and terminated.
  char16_t small[5] = {u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(formatNumber(123456.0, 0, small, false), u"1234");
  EXPECT_EQ(small[4], u'\0');
  platform::reset_user_number_separators();
}

TEST(PriceScale, PaddingRoundingAndSteps) {
  double lo = 10, hi = 10;
  padPriceRange(lo, hi, 4);
  EXPECT_NEAR(lo, 9.9997, 1e-9);
  EXPECT_NEAR(hi, 10.0003, 1e-9);
  lo = hi = 0;
  padPriceRange(lo, hi, 4);
  EXPECT_EQ(lo, 0.0);
  EXPECT_NEAR(hi, 0.0006, 1e-12);
  lo = 0, hi = 100;  // widening never crosses zero
  padPriceRange(lo, hi, 4);
  EXPECT_EQ(lo, 0.0);
  EXPECT_NEAR(hi, 110, 1e-9);
  lo = -100, hi = -50;
  padPriceRange(lo, hi, 4);
  EXPECT_EQ(hi, 0.0 > -45 ? -45.0 : 0.0);
  EXPECT_NEAR(lo, -105, 1e-9);
  // 0.0005 per label prints 4 decimals, 0.001 prints 3; 5-steps split in 5.
  const PriceStep a = priceStep(12 / 0.0005, 12);
  EXPECT_NEAR(a.major, 0.0005, 1e-12);
  EXPECT_EQ(a.decimals, 4);
  EXPECT_EQ(a.minorCount, 5);
  const PriceStep b = priceStep(12 / 0.001, 12);
  EXPECT_NEAR(b.major, 0.001, 1e-12);
  EXPECT_EQ(b.decimals, 3);
  EXPECT_EQ(b.minorCount, 2);
}

TEST_F(RenderFixture, CandlesFillFallingBodiesOnlyAndRecordTheirBoxes) {
  bar(at(20240304, 100000), 10);                                              // rising (close 11 > open 10)
  FILETIME t = at(20240304, 100100);
  VizorAddOHLCV(chart, security, &t, 12, 12.5, 10.5, 11, 10, 1);             // falling
  t = at(20240304, 100200);
  VizorAddOHLCV(chart, security, &t, 11, 12, 10, 11, 10, 1);                 // close = open: falling
  setStyle(price, 3, 0x0000FF);
  const auto records = render();
  const auto bodies = only(records, CanvasOp::fill_rect, 0x0000FF);
  ASSERT_EQ(bodies.size(), 2u);
  const auto& boxes = graph(price).pointBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  // The falling bodies are filled inside their boxes, one pixel in.
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(bodies[i].rect.left, boxes[i + 1].rect.left + 1);
    EXPECT_EQ(bodies[i].rect.top, boxes[i + 1].rect.top + 1);
    EXPECT_EQ(bodies[i].rect.bottom, boxes[i + 1].rect.bottom);
  }
  // Each candle: a body outline of four lines and two wicks where they show.
  EXPECT_GE(only(records, CanvasOp::line_to, 0x0000FF).size(), 12u);
}

TEST_F(RenderFixture, LineHoldsItsValueOverGapsAndStopsAtAnEndMarker) {
  for (int i = 0; i < 6; ++i) bar(at(20240304, 100000 + i * 100), 10 + i);
  setStyle(price, 1, 0x00FF00);
  PointVector& points = series(price).getPoints();
  points[2].valid = 0;  // a gap: the line stays at bar 1's value
  render();
  auto segments = only(render(), CanvasOp::polyline, 0x00FF00);
  ASSERT_EQ(segments.size(), 1u);
  const auto& line = segments[0].points;
  ASSERT_EQ(line.size(), 6u);
  EXPECT_EQ(line[2].y, line[1].y);
  EXPECT_LT(line[3].y, line[2].y);
  points[2].valid = 1;
  points[4].valid = 0;
  points[4].endMarker = 1;  // the line ends before bar 4
  segments = only(render(), CanvasOp::polyline, 0x00FF00);
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0].points.size(), 4u);
}

TEST_F(RenderFixture, ToolTipTextAndToleranceOfPointBoxes) {
  setInterval(-2);
  bar(at(20240304), 10);
  bar(at(20240311), 11);
  VizorChartParams p = params();
  p.minIntervals = 0;
  VizorSetChartParams(chart, &p);
  setStyle(price, 3, 0x0000FF);
  render();
  const RECT box = graph(price).pointBoxes()[0].rect;
  std::u16string text;
  RECT hitRect{};
  EXPECT_TRUE(graph(price).formatCandleTip(POINT{box.right + 1, box.bottom + 2}, nullptr, &text, &hitRect, 1, 2));
  EXPECT_FALSE(graph(price).formatCandleTip(POINT{box.right + 2, box.top}, nullptr, &text, &hitRect, 1, 2));
  EXPECT_EQ(hitRect.left, box.left);
  EXPECT_NE(text.find(u"\nTime: 03.03.2024\n"), std::u16string::npos) << std::string(text.begin(), text.end());
  EXPECT_NE(text.find(u"Open:  10\nHigh:   11\nLow:    10\nClose: 11\nVolume: 10"), std::u16string::npos);
}

TEST_F(RenderFixture, PaneDrawsFramePriceLabelsAndAHitList) {
  for (int i = 0; i < 20; ++i) bar(at(20240304, 100000 + i * 100), 100 + i);
  VizorGraphParams p = graph(price).params();
  p.scaleSide = 0;  // right scale
  graph(price).setParams(p);
  const auto records = render();
  const CChartPane& pane = *object().panes()[0];
  const RECT plot = pane.plotRect();
  EXPECT_GT(plot.bottom, plot.top);
  EXPECT_GT(object().view().rightAxisWidth, 4);
  // The labels stand right of the plot and read prices of the padded range.
  int labels = 0;
  for (const auto& r : records) {
    if (r.op == CanvasOp::draw_text && r.rect.left == plot.right + 9) ++labels;
  }
  EXPECT_GE(labels, 2);
  const PaneScales& s = pane.scales();
  EXPECT_LT(s.right.min, 100.0);
  EXPECT_GT(s.right.max, 120.0);
  // A tap on the empty plot area names the pane and no series.
  VizorHitInfo hit{};
  EXPECT_EQ(object().hitTest(POINT{plot.left + 1, plot.top + 1}, &hit), 1);
  EXPECT_EQ(hit.paneId, pane.id());
  EXPECT_EQ(hit.seriesId, 0);
  EXPECT_EQ(hit.inChartOnly, 0);
}

// A chart of one bar, or of bars that never move, still has a price scale:
// labels on the axis that read the bar's price.
TEST_F(RenderFixture, OneBarOrAFlatRangeStillGetsALabelledScale) {
  struct Case {
    const char* name;
    int bars;
    double open, high, low, close;
    int style;            // 1 candles (highs and lows), 0 a line of closes
    bool drawn_empty;     // the chart was drawn before its first bar came
  };
  for (const Case& c : {Case{"one candle", 1, 160.0, 160.5, 159.75, 160.25, 1, false},
                        Case{"one flat candle", 1, 160.0, 160.0, 160.0, 160.0, 1, false},
                        Case{"one bar as a line", 1, 160.0, 160.5, 159.75, 160.25, 0, false},
                        Case{"a flat line", 30, 99.5, 99.5, 99.5, 99.5, 0, false},
                        Case{"a flat line at zero", 30, 0, 0, 0, 0, 0, false},
                        Case{"one live candle", 1, 160.0, 160.5, 159.75, 160.25, 1, true},
                        Case{"live bars", 5, 160.0, 160.5, 159.75, 160.25, 1, true}}) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    setStyle(price, c.style);
    VizorGraphParams p = graph(price).params();
    p.scaleSide = 0;
    graph(price).setParams(p);
    if (c.drawn_empty) render();
    for (int i = 0; i < c.bars; ++i) {
      FILETIME t = at(20240304, 100000 + i * 100);
      ASSERT_EQ(VizorAddOHLCV(chart, security, &t, c.open, c.high, c.low, c.close, 10.0, 1), 1);
    }
    const auto records = render();
    const RECT plot = object().panes()[0]->plotRect();
    std::vector<double> labels;
    for (const auto& r : records) {
      if (r.op != CanvasOp::draw_text || r.rect.left != plot.right + 9) continue;
      labels.push_back(std::stod(std::string(r.text.begin(), r.text.end())));
      EXPECT_LE(r.rect.right, 400) << "label inside the chart";
    }
    ASSERT_GE(labels.size(), 2u);
    const auto [lo, hi] = std::minmax_element(labels.begin(), labels.end());
    EXPECT_LE(*lo, c.close);
    EXPECT_GE(*hi, c.close);
  }
}

// The last-value label of the right scale stays inside the chart whatever
// the number of decimals its price needs: the room measured for it is the
// room the drawn label takes.
TEST_F(RenderFixture, TheLastValueLabelFitsBesideThePlot) {
  for (const double close : {120.0, 120.073, 120.073012, -0.000125, 1234567.25}) {
    SCOPED_TRACE(close);
    TearDown();
    SetUp();
    VizorGraphParams p = graph(price).params();
    p.scaleSide = 0;
    p.priceLabels = 1;
    graph(price).setParams(p);
    // The label reads the last visible bar after the first.
    for (const int time : {100000, 100100}) {
      FILETIME t = at(20240304, time);
      ASSERT_EQ(VizorAddOHLCV(chart, security, &t, close, close, close, close, 10.0, 1), 1);
    }
    const int width = 400;
    const auto records = render(width);
    const std::u16string label = formatNumberText(close, 6, true);
    int labels = 0;
    for (const auto& r : records) {
      if ((r.op == CanvasOp::text_out || r.op == CanvasOp::draw_text) && r.text == label) ++labels;
      if (r.op == CanvasOp::frame_rect || r.op == CanvasOp::fill_rect) {
        EXPECT_LE(r.rect.right, width);
      }
    }
    EXPECT_EQ(labels, 1);
  }
}

// Panes lower than the scale's end labels need (many panes on a turned
// screen) still plot their series over half their height; a pane of the usual
// height keeps half a text line above and below its plot.
TEST_F(RenderFixture, APaneLowerThanTwoTextLinesStillPlots) {
  const int32_t low = VizorAddPane(chart);
  ASSERT_GE(low, 0);
  const int32_t second = VizorAddGraph(chart, security, 1, low);
  ASSERT_GT(second, 0);
  for (const int time : {100000, 100100, 100200}) bar(at(20240304, time), 10);
  const double sizes[] = {0.92, 0.08};
  ASSERT_TRUE(VizorSetPaneSizes(chart, 2, sizes));
  render(400, 300);
  const auto& panes = object().panes();
  ASSERT_EQ(panes.size(), 2u);
  const RECT tall = panes[0]->plotRect();
  const RECT lowPlot = panes[1]->plotRect();
  const int32_t text = object().view().textHeight;
  EXPECT_GT(tall.bottom - tall.top, 100);
  EXPECT_GE(lowPlot.top - tall.bottom, text / 2) << "the tall pane's margin is half a line";
  EXPECT_GT(lowPlot.bottom - lowPlot.top, 0) << "the low pane plots";
}

TEST_F(RenderFixture, WithoutPanesNothingIsDrawn) {
  bar(at(20240304, 100000), 10);
  ASSERT_EQ(VizorDeletePane(chart, pane), 1);
  EXPECT_TRUE(render().empty());
}

TEST_F(RenderFixture, DailyLabelsWeekLabelsAndMonthBand) {
  setInterval(-1);
  FILETIME t{};
  for (int day = 1; day <= 29; ++day) {
    t = at(20240200 + day);
    SYSTEMTIME st{};
    platform::file_time_to_system_time(t, st);
    if (st.wDayOfWeek == 0 || st.wDayOfWeek == 6) continue;
    bar(t, 10 + day);
  }
  VizorChartParams p = params();
  p.minIntervals = 0;
  VizorSetChartParams(chart, &p);
  render(1200, 300);
  const BarList& bars = object().bars();
  const ChartView& v = object().view();
  ASSERT_GT(v.barWidth, 2.0 * v.numberWidth);
  // Every day gets a band-1 label; Mondays carry the week label (long tick).
  for (int32_t i = 0; i < bars.size(); ++i) {
    EXPECT_NE(bars[i].band1Mark & kMarkLabel, 0) << i;
    const bool weekStart = bars[i].calendar.wDayOfWeek == 1 || i == 0;
    EXPECT_EQ((bars[i].band1Mark & kMarkLongTick) != 0, weekStart) << i;
  }
  EXPECT_EQ(std::u16string(bars[0].band2Label), u"2024");
  // Narrow: ticks and grid lines only between the week labels.
  render(bars.size() * v.numberWidth * 3 / 2 + 60, 300);
  for (int32_t i = 0; i < bars.size(); ++i) {
    if (bars[i].calendar.wDayOfWeek != 1 && i != 0) {
      EXPECT_EQ(bars[i].band1Mark, kMarkGrid | kMarkShortTick) << i;
    }
  }
}

TEST_F(RenderFixture, FiveMinuteBarsLabelEverySixthBarWhenWideEnough) {
  setInterval(5);
  for (int i = 0; i < 24; ++i) bar(at(20240304, 100000 + (i / 12) * 10000 + (i % 12) * 500), 10);
  VizorChartParams p = params();
  p.minIntervals = 0;
  VizorSetChartParams(chart, &p);
  const ChartView& v = object().view();
  render();
  // Find a width where 4 px bars would take a step of 6 bars: plot = 24 * w.
  const int32_t n = v.numberWidth;
  const double wanted = n / 2.5;  // 6 * w > 2N, 4 * w <= 2N
  const int32_t width = static_cast<int32_t>(24 * wanted) + v.leftAxisWidth + v.rightAxisWidth;
  render(width, 300);
  ASSERT_GT(6 * v.barWidth, 2.0 * n);
  ASSERT_LE(4 * v.barWidth, 2.0 * n);
  const BarList& bars = object().bars();
  EXPECT_EQ(std::u16string(bars[6].band1Label), u":30");
  EXPECT_EQ(bars[6].band1Mark, kMarkGrid | kMarkShortTick | kMarkLabel);
  EXPECT_EQ(bars[3].band1Mark, 0);
  EXPECT_EQ(std::u16string(bars[12].band1Label), u"11h");
}

TEST_F(RenderFixture, CallbackLabelsAreBoundedAndOnlyOnBandOne) {
  setInterval(5);
  for (int i = 0; i < 10; ++i) bar(at(20240304, 100000 + i * 500), 10);
  VizorSetCallbackAxisX(chart, [](VizorChart, void*, const VizorCandleRecord*, const void*, double* space,
                                  char16_t* text) {
    for (int i = 0; i < 100; ++i) text[i] = u'A' + i % 26;  // far longer than a label field
    text[100] = u'\0';
    *space = 30.0;
  });
  render();
  const BarList& bars = object().bars();
  const double w = object().view().barWidth;
  double lastLabel = -1e9;
  for (int32_t i = 0; i < bars.size(); ++i) {
    EXPECT_EQ(bars[i].band2Mark, 0);
    if (bars[i].band1Mark == 0) continue;
    EXPECT_EQ(std::u16string(bars[i].band1Label).size(), kBandLabelChars);
    EXPECT_GE(i * w - lastLabel, 30.0);
    lastLabel = i * w;
  }
  EXPECT_FALSE(object().view().band2Shown);
}

}  // namespace
}  // namespace kelda::chart::testing

namespace kelda::chart::testing {
namespace {

TEST_F(RenderFixture, AwesomeOscillatorBarsTakeTheRisingAndFallingColours) {
  for (int i = 0; i < 80; ++i) bar(at(20240304, 100000 + (i / 60) * 10000 + (i % 60) * 100), 100 + 10 * std::sin(i * 0.2));
  const int32_t ao = VizorAddGraph(chart, security, 36, pane);
  ASSERT_GT(ao, 0);
  VizorChartParams p = params();
  p.minIntervals = 0;
  VizorSetChartParams(chart, &p);
  setStyle(ao, 2, 0x777777);
  // The painter's concern only: values that rise and fall in turn.
  PointVector& points = series(ao).getPoints();
  for (int32_t i = 0; i < points.size(); ++i) {
    points[i].valid = 1;
    points[i].close = 1.0 + (i % 4 < 2 ? i % 4 : 4 - i % 4);
  }
  const auto records = render(800, 300);
  // The block's default colours: 0x0000FF rising, 0x00FF00 falling.
  EXPECT_GT(only(records, ui::CanvasOp::line_to, 0x0000FF).size(), 5u);
  EXPECT_GT(only(records, ui::CanvasOp::line_to, 0x00FF00).size(), 5u);
  // The graph's own colour draws only its legend sample.
  EXPECT_EQ(only(records, ui::CanvasOp::line_to, 0x777777).size(), 1u);
}

TEST_F(RenderFixture, VolatilitySquaresOnlyForAVolatilitySeries) {
  for (int i = 0; i < 12; ++i) bar(at(20240304, 100000 + i * 100), 100 + i);
  const int32_t volatility = VizorAddGraph(chart, security, 44, pane);
  ASSERT_GT(volatility, 0);
  VizorChartParams p = params();
  p.minIntervals = 0;
  VizorSetChartParams(chart, &p);
  setStyle(volatility, 9, 0x123456);
  setStyle(price, 9, 0x654321);
  const auto records = render();
  const auto squares = only(records, ui::CanvasOp::rectangle, 0x123456);
  // Every point after the first visible one, each a 5-pixel square.
  ASSERT_EQ(squares.size(), 11u);
  for (const auto& r : squares) {
    EXPECT_EQ(r.rect.right - r.rect.left, 5);
    EXPECT_EQ(r.rect.bottom - r.rect.top, 5);
  }
  EXPECT_EQ(graph(volatility).pointBoxes().size(), 11u);
  EXPECT_TRUE(only(records, ui::CanvasOp::rectangle, 0x654321).empty());
  EXPECT_TRUE(graph(price).pointBoxes().empty());
}

}  // namespace
}  // namespace kelda::chart::testing
