// The chart object through its exports: handles, parameters, bars arriving
// in and out of order, reading them back, clearing, the visible range, the
// interval change and the horizontal scroll state.
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "chart_fixture.h"

namespace kelda::chart::testing {
namespace {

using platform::get_last_error;
using platform::set_last_error;

TEST(ChartHandle, NullChartIsRefusedWithSixExceptWhereSilent) {
  VizorChartParams params{};
  VizorPaneParams pane{};
  VizorLevelLine line{};
  VizorTrendChange change{};
  double d[5] = {};
  int32_t n = 0;
  VizorPointValues values[1];
  VizorCandleQuery query{0, 0, values};
  const RECT rect{0, 0, 300, 300};
  const FILETIME t = at(20090304);
  const std::function<int64_t()> loud[] = {
      [&] { return VizorDestroyChart(nullptr); },
      [&] { return VizorGetChartParams(nullptr, &params); },
      [&] { return VizorSetChartParams(nullptr, &params); },
      [&] { return VizorMoveChart(nullptr, &rect); },
      [&] { return VizorOnMouseWheel(nullptr, 0, 0); },
      [&] { return VizorSendMessage(nullptr, 8, 0, 0); },
      [&] { return VizorSessionChanged(nullptr); },
      [&] { return VizorSetCallbackAxisX(nullptr, nullptr); },
      [&] { return VizorStartIntervalChanging(nullptr); },
      [&] { return VizorGetCandle(nullptr, 1, 0, 0, d, d + 1, d + 2, d + 3, d + 4); },
      [&] { return VizorClear(nullptr, 0, 0); },
      [&] { return VizorAddGraphData(nullptr); },
      [&] { return VizorAddGraph(nullptr, 1, 1, 1); },
      [&] { return VizorDeleteGraph(nullptr, 1); },
      [&] { return VizorDeleteGraphData(nullptr, 1); },
      [&] { return VizorRedraw(nullptr, 0); },
      [&] { return VizorGetLineCount(nullptr, 1, &n); },
      [&] { return VizorGetCandleEx(nullptr, 1, 20090304, 0, &query); },
      [&] { return VizorSetPrevPrice(nullptr, 1, 1.0); },
      [&] { return VizorAddLevelLine(nullptr, 1, &line); },
      [&] { return VizorDelLevelLine(nullptr, 1, 1, 0.0); },
      [&] { return VizorGetLevelLineCount(nullptr, 1); },
      [&] { return VizorGetLevelLines(nullptr, 1, 1, &line); },
      [&] { return VizorAddPane(nullptr); },
      [&] { return VizorDeletePane(nullptr, 1); },
      [&] { return VizorGetPaneParams(nullptr, 1, &pane); },
      [&] { return VizorSetPaneParams(nullptr, 1, &pane); },
      [&] { return VizorGetPaneSizes(nullptr, 1, d); },
      [&] { return VizorSetPaneSizes(nullptr, 1, d); },
      [&] { return VizorGetTrendCount(nullptr); },
      [&] { return VizorGetTrendsInfo(nullptr, 0, nullptr); },
      [&] { return VizorRestoreSavedTrends(nullptr, 0, nullptr); },
      [&] { return VizorChangeTrendline(nullptr, 0, &change); },
      [&] { return VizorDeleteAllTrends(nullptr, 1); },
  };
  for (size_t i = 0; i < std::size(loud); ++i) {
    set_last_error(0);
    EXPECT_EQ(loud[i](), 0) << i;
    EXPECT_EQ(get_last_error(), static_cast<uint32_t>(VIZOR_ERROR_INVALID_HANDLE)) << i;
  }
  const std::function<int64_t()> silent[] = {
      [&] { return static_cast<int64_t>(VizorGetNumIntervals(nullptr)); },
      [&] { return VizorSetTrendType(nullptr, 1); },
      [&] { return VizorAddOHLCV(nullptr, 1, &t, 1, 1, 1, 1, 1, 1); },
  };
  for (size_t i = 0; i < std::size(silent); ++i) {
    set_last_error(0);
    EXPECT_EQ(silent[i](), 0) << i;
    EXPECT_EQ(get_last_error(), 0u) << i;
  }
}

TEST_F(ChartFixture, NewChartHasTheDefaultParameters) {
  const VizorChartParams p = params();
  EXPECT_EQ(p.interval, 1.0);
  EXPECT_EQ(p.mode, VIZOR_MODE_ALL);
  EXPECT_EQ(p.barCount, 100);
  EXPECT_EQ(p.minIntervals, 50);
  EXPECT_EQ(p.trendColour, 0x0000FFu);
  EXPECT_EQ(p.font.height, -11);
  EXPECT_EQ(p.font.charSet, 204);
  EXPECT_EQ(p.font.pitchAndFamily, 0x22);
  EXPECT_EQ(std::u16string(p.font.faceName), u"MS Sans Serif");
  EXPECT_EQ(VizorGetNumIntervals(chart), (50ull << 32) | 50u);
  EXPECT_EQ(VizorSessionChanged(chart), 1);
  EXPECT_EQ(VizorOnMouseWheel(chart, 0x00780000, 0), 0);
  EXPECT_EQ(VizorSendMessage(chart, 8, 0, 0), 1);
}

TEST_F(ChartFixture, SetChartParamsValidatesBeforeChangingAnything) {
  const VizorChartParams good = params();
  struct Case {
    const char* name;
    void (*spoil)(VizorChartParams&);
  } cases[] = {
      {"N 0 in mode 3", [](VizorChartParams& p) { p.mode = 3, p.barCount = 0; }},
      {"extra 1001", [](VizorChartParams& p) { p.extraIntervals = 1001; }},
      {"minimum -1", [](VizorChartParams& p) { p.minIntervals = -1; }},
      {"bars per page -1", [](VizorChartParams& p) { p.barsPerPage = -1; }},
      {"mode 5", [](VizorChartParams& p) { p.mode = 5; }},
      {"to before from", [](VizorChartParams& p) { p.mode = 4, p.from = at(20090305), p.to = at(20090304); }},
      {"from past the calendar", [](VizorChartParams& p) { p.mode = 2, p.from = FILETIME{0, 0x80000000u}; }},
      {"interval NaN", [](VizorChartParams& p) { p.interval = std::nan(""); }},
      {"interval infinite", [](VizorChartParams& p) { p.interval = -HUGE_VAL; }},
  };
  for (const Case& c : cases) {
    VizorChartParams p = good;
    c.spoil(p);
    set_last_error(5);
    EXPECT_EQ(VizorSetChartParams(chart, &p), 0) << c.name;
    EXPECT_EQ(get_last_error(), 87u) << c.name;
    EXPECT_EQ(std::memcmp(&good, &object().params(), sizeof good), 0) << c.name;
  }
  VizorChartParams p = good;
  p.mode = 3, p.barCount = 1, p.extraIntervals = 1000;
  set_last_error(5);
  EXPECT_EQ(VizorSetChartParams(chart, &p), 1);
  EXPECT_EQ(get_last_error(), 0u);
  EXPECT_EQ(VizorGetChartParams(chart, nullptr), 0);
  EXPECT_EQ(get_last_error(), 87u);
}

TEST_F(ChartFixture, BarsArriveInAnyOrderAndAreReadBack) {
  setInterval(5);
  ASSERT_EQ(bar(at(20090304, 101000), 10), 1);
  ASSERT_EQ(bar(at(20090304, 100000), 20), 1);  // earlier: inserted before
  ASSERT_EQ(bar(at(20090304, 100712), 30), 1);  // rounded down to 10:05
  ASSERT_EQ(barCount(), 3);
  EXPECT_TRUE(sameFileTime(barTime(1), at(20090304, 100500)));
  double o, h, l, c, v;
  const FILETIME t = at(20090304, 100500);
  ASSERT_EQ(VizorGetCandle(chart, security, t.dwLowDateTime, t.dwHighDateTime, &o, &h, &l, &c, &v), 1);
  EXPECT_EQ(o, 30.0);
  EXPECT_EQ(c, 31.0);
  EXPECT_EQ(v, 10.0);
  // Same time again: the point changes, the list keeps one record.
  ASSERT_EQ(bar(at(20090304, 100500), 40), 1);
  EXPECT_EQ(barCount(), 3);
  ASSERT_EQ(VizorGetCandle(chart, security, t.dwLowDateTime, t.dwHighDateTime, &o, &h, &l, &c, &v), 1);
  EXPECT_EQ(o, 40.0);
  // No bar at that time: 0, outputs untouched, no error.
  const FILETIME none = at(20090304, 120000);
  o = -7;
  set_last_error(0);
  EXPECT_EQ(VizorGetCandle(chart, security, none.dwLowDateTime, none.dwHighDateTime, &o, &h, &l, &c, &v), 0);
  EXPECT_EQ(o, -7);
  EXPECT_EQ(get_last_error(), 0u);
  EXPECT_EQ(VizorGetCandle(chart, 99, t.dwLowDateTime, t.dwHighDateTime, &o, &h, &l, &c, &v), 0);
  EXPECT_EQ(get_last_error(), 87u);
}

TEST_F(ChartFixture, AddOHLCVRefusesBadBars) {
  const FILETIME t = at(20090304, 100000);
  set_last_error(0);
  EXPECT_EQ(VizorAddOHLCV(chart, security, &t, 10, 9, 8, 9, 1, 1), 0);  // high below open
  EXPECT_EQ(get_last_error(), 0u);
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double bad[][5] = {{inf, inf, 1, 1, 1}, {1, 1, -inf, 1, 1}, {nan, 1, 1, 1, 1}, {1, 1, 1, 1, nan},
                           {1, 1, 1, 1, inf}};
  for (const auto& b : bad) {
    set_last_error(0);
    EXPECT_EQ(VizorAddOHLCV(chart, security, &t, b[0], b[1], b[2], b[3], b[4], 1), 0);
    EXPECT_EQ(get_last_error(), 87u);
  }
  EXPECT_EQ(VizorAddOHLCV(chart, security, nullptr, 1, 1, 1, 1, 1, 1), 0);
  EXPECT_EQ(get_last_error(), 87u);
  EXPECT_EQ(VizorAddOHLCV(chart, 99, &t, 1, 1, 1, 1, 1, 1), 0);
  EXPECT_EQ(get_last_error(), 87u);
  const FILETIME beyond{0, 0x80000000u};  // names no calendar time
  EXPECT_EQ(VizorAddOHLCV(chart, security, &beyond, 1, 1, 1, 1, 1, 1), 0);
  EXPECT_EQ(get_last_error(), 87u);
  EXPECT_EQ(barCount(), 0);
}

TEST_F(ChartFixture, DayRangeModeDropsBarsOutsideTheTimesOfDay) {
  VizorChartParams p = params();
  p.mode = VIZOR_MODE_DAY_RANGE;
  p.from = at(20090101, 93000);
  p.to = at(20090601, 184500);
  p.interval = 5;
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  EXPECT_EQ(bar(at(20090304, 190000), 1), 1);  // dropped, still success
  EXPECT_EQ(bar(at(20090304, 184500), 1), 1);
  EXPECT_EQ(bar(at(20090304, 92500), 1), 1);  // dropped
  EXPECT_EQ(barCount(), 1);
  p.interval = -1;
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  EXPECT_EQ(bar(at(20090305, 190000), 1), 1);  // day bars: no filter (stamped at midnight)
  EXPECT_EQ(barCount(), 2);
  // A to-time at midnight sets no upper bound.
  p.interval = 5, p.to = at(20090601, 0);
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  EXPECT_EQ(bar(at(20090306, 235500), 1), 1);
  EXPECT_EQ(barCount(), 3);
}

TEST_F(ChartFixture, VisibleRangeFollowsTheMode) {
  for (int i = 0; i < 30; ++i) bar(at(20090304, 100000 + i * 100), i);
  VizorChartParams p = params();
  p.mode = VIZOR_MODE_LAST_N;
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  EXPECT_EQ(object().firstInRange(), 0);
  EXPECT_EQ(object().countInRange(), 30);
  for (int i = 30; i < 130; ++i) bar(at(20090304, 110000 + (i - 30) / 60 * 10000 + (i - 30) % 60 * 100), i);
  EXPECT_EQ(object().firstInRange(), 30);
  EXPECT_EQ(object().countInRange(), 100);
  // Mode 4: the to-time on a bar counts it; between bars only those before.
  p.mode = VIZOR_MODE_RANGE;
  p.from = at(20090304, 100500);
  p.to = at(20090304, 101000);
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  EXPECT_EQ(object().firstInRange(), 5);
  EXPECT_EQ(object().countInRange(), 6);
  p.to = at(20090304, 101030);
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  EXPECT_EQ(object().countInRange(), 6);
  // Both before the first bar: nothing in range.
  p.from = at(20090303), p.to = at(20090303, 10000);
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  EXPECT_EQ(object().firstInRange(), 0);
  EXPECT_EQ(object().countInRange(), 0);
  // A range after every bar, then a bar inside it: the range holds that bar.
  p.from = at(20090305), p.to = at(20090306);
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  EXPECT_EQ(object().countInRange(), 0);
  bar(at(20090305, 120000), 1);
  EXPECT_EQ(object().firstInRange(), 130);
  EXPECT_EQ(object().countInRange(), 1);
  // Bars before the range move it.
  bar(at(20090303, 120000), 1);
  EXPECT_EQ(object().firstInRange(), 131);
  EXPECT_EQ(object().countInRange(), 1);
}

TEST_F(ChartFixture, ChangingOnlyTheIntervalRecalculatesNothing) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  bar(at(20090304, 100000), 10, 0);  // no redraw: the price series is not recalculated
  EXPECT_EQ(series(price).isPointEmpty(0), 1);
  setInterval(15);
  EXPECT_EQ(series(price).isPointEmpty(0), 1);
  VizorChartParams p = params();
  p.mode = VIZOR_MODE_LAST_N;
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);  // a mode change rebuilds
  EXPECT_EQ(series(price).isPointEmpty(0), 0);
}

TEST_F(ChartFixture, IntervalChangeRegroupsTheReloadedBars) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  for (int m = 0; m < 10; ++m) bar(at(20090304, 100000 + m * 100), 10 + m);
  ASSERT_EQ(barCount(), 10);
  EXPECT_EQ(VizorStartIntervalChanging(chart), 1);
  EXPECT_TRUE(object().intervalChangeUnderWay());
  setInterval(5);
  ASSERT_EQ(VizorClear(chart, security, 1), 1);
  EXPECT_EQ(barCount(), 0);  // the price series went empty with its source
  for (int m = 0; m < 10; ++m) bar(at(20090304, 100000 + m * 100), 10 + m);
  ASSERT_EQ(barCount(), 2);
  EXPECT_TRUE(sameFileTime(barTime(0), at(20090304, 100000)));
  EXPECT_TRUE(sameFileTime(barTime(1), at(20090304, 100500)));
  EXPECT_EQ(series(price).points()[1].close, 20.0);  // the last bar of the period wins
  EXPECT_EQ(series(price).points().size(), 2);
  // The change lasts until a bar reaches the remembered time (10:09).
  EXPECT_TRUE(object().intervalChangeUnderWay());
  bar(at(20090304, 101000), 30);
  EXPECT_FALSE(object().intervalChangeUnderWay());
}

TEST_F(ChartFixture, IntervalChangeFromTickBarsToDayBarsDividesByNothing) {
  setInterval(0);
  bar(at(20090304, 101237), 1);
  VizorStartIntervalChanging(chart);
  setInterval(-1);
  VizorClear(chart, security, 0);
  bar(at(20090304, 90000), 1);  // stamped at midnight, the remembered time rounds to it
  EXPECT_FALSE(object().intervalChangeUnderWay());
  EXPECT_EQ(barCount(), 1);
}

TEST_F(ChartFixture, StartIntervalChangingWithoutBarsDoesNothing) {
  EXPECT_EQ(VizorStartIntervalChanging(chart), 1);
  EXPECT_FALSE(object().intervalChangeUnderWay());
}

TEST_F(ChartFixture, ClearAllEmptiesEverySeries) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  for (int i = 0; i < 5; ++i) bar(at(20090304, 100000 + i * 100), i);
  ASSERT_EQ(VizorClear(chart, 0, 0), 1);
  EXPECT_EQ(barCount(), 0);
  EXPECT_EQ(series(security).points().size(), 0);
  EXPECT_EQ(series(price).points().size(), 0);
  EXPECT_EQ(VizorClear(chart, 99, 0), 0);
  EXPECT_EQ(get_last_error(), 87u);
}

TEST_F(ChartFixture, ClearingOneSecurityKeepsTheBarsAnotherHolds) {
  const int32_t other = VizorAddGraphData(chart);
  bar(at(20090304, 100000), 1);
  bar(at(20090304, 100100), 1, 1, other);
  bar(at(20090304, 100200), 1);
  ASSERT_EQ(VizorClear(chart, security, 0), 1);
  ASSERT_EQ(barCount(), 1);
  EXPECT_TRUE(sameFileTime(barTime(0), at(20090304, 100100)));
  EXPECT_EQ(series(security).points().size(), 1);
  EXPECT_EQ(series(security).isPointEmpty(0), 1);
}

TEST_F(ChartFixture, ScrollBarFollowsTheLastBarUntilTheWheelMovesIt) {
  for (int i = 0; i < 100; ++i) bar(at(20090304, 100000 + i / 60 * 10000 + i % 60 * 100), i);
  VizorChartParams p = params();
  p.barsPerPage = 20;
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  const ScrollState& s = object().scroll();
  EXPECT_TRUE(s.shown);
  EXPECT_EQ(s.maximum, 99);
  EXPECT_EQ(s.position, 80);
  EXPECT_EQ(object().slots().first_visible_bar(), 80);
  const WPARAM back = static_cast<WPARAM>(static_cast<uint16_t>(-120)) << 16;
  VizorOnMouseWheel(chart, back, 0);
  EXPECT_EQ(s.position, 78);  // step = 99 / 50 + 1
  EXPECT_FALSE(object().followsLastBar());
  EXPECT_EQ(object().slots().first_visible_bar(), 78);
  VizorOnMouseWheel(chart, 0x00780000, 0);
  VizorOnMouseWheel(chart, 0x00780000, 0);
  EXPECT_TRUE(object().followsLastBar());
  EXPECT_EQ(s.position, 80);
  p.barsPerPage = 0;
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  EXPECT_FALSE(s.shown);
}

TEST_F(ChartFixture, MoveIgnoresShortRectanglesAndRefusesEmptyOnes) {
  const RECT shortRect{0, 0, 300, 99};
  const int32_t before = object().repaintCount();
  EXPECT_EQ(VizorMoveChart(chart, &shortRect), 1);
  EXPECT_EQ(object().repaintCount(), before);
  const RECT tall{10, 10, 310, 410};
  EXPECT_EQ(VizorMoveChart(chart, &tall), 1);
  EXPECT_EQ(object().controller().paneHeightSum(), 400);
  const RECT inverted{10, 10, 5, 410};
  EXPECT_EQ(VizorMoveChart(chart, &inverted), 0);
  EXPECT_EQ(get_last_error(), 87u);
}

}  // namespace
}  // namespace kelda::chart::testing

namespace kelda::chart::testing {
namespace {

TEST_F(ChartFixture, FocusLossAndTheAltKeyEndTheToolMode) {
  struct Case {
    UINT message;
    WPARAM wParam;
    bool cleared;
  } cases[] = {{8, 0, true}, {260, 18, true}, {261, 18, true}, {260, 17, false}, {256, 18, false}};
  for (const Case& c : cases) {
    object().controller().setToolMode(true);
    EXPECT_EQ(VizorSendMessage(chart, c.message, c.wParam, 0), 1);
    EXPECT_EQ(object().controller().toolMode(), !c.cleared) << c.message;
  }
}

TEST_F(ChartFixture, HitTestAnswersForTheChartArea) {
  VizorHitInfo hit{};
  hit.seriesId = 9;
  EXPECT_EQ(object().hitTest(POINT{10, 10}, &hit), 1);
  EXPECT_EQ(hit.inChartOnly, 1);
  EXPECT_EQ(hit.seriesId, 0);
  EXPECT_EQ(object().hitTest(POINT{500, 10}, &hit), 0);
  EXPECT_EQ(hit.inChartOnly, 0);
  EXPECT_FALSE(object().anyPaneZoomed());
  VizorPaneParams p{};
  VizorGetPaneParams(chart, pane, &p);
  p.zoom = 1.5;
  VizorSetPaneParams(chart, pane, &p);
  EXPECT_TRUE(object().anyPaneZoomed());
}

}  // namespace
}  // namespace kelda::chart::testing

namespace kelda::chart::testing {
namespace {

TEST_F(ChartFixture, PeriodMarkersFollowAppendedBarsAndGoStaleOnInsertions) {
  bar(at(20090304, 100000), 1);
  bar(at(20090304, 101500), 1);
  object().computeVisibleMarkers();
  ASSERT_TRUE(object().periodMarkersValid());
  bar(at(20090304, 110000), 1);  // appended with redraw: updated in place
  ASSERT_TRUE(object().periodMarkersValid());
  EXPECT_EQ(object().bars()[0].nextHour, 2);
  EXPECT_EQ(object().bars()[1].nextHour, 2);
  EXPECT_EQ(object().bars()[2].nextHour, -1);
  bar(at(20090304, 110500), 1, 0);  // without redraw
  EXPECT_FALSE(object().periodMarkersValid());
  object().computeVisibleMarkers();
  bar(at(20090304, 103000), 1);  // inserted before the last bar
  EXPECT_FALSE(object().periodMarkersValid());
}

}  // namespace
}  // namespace kelda::chart::testing
