// Trend tools in the chart window through the ui layer's scripted stylus:
// every kind placed by a stroke, hit, moved, copied, resized, cancelled by a
// hold, given its menu, saved and restored; strokes from the right, Shift
// and tool 0, figures outside the visible bars, a line drawn beyond the last
// bar as bars arrive, and a change of interval.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/graph.h"
#include "chart/pane.h"
#include "chart/trend.h"
#include "chart_fixture.h"
#include "frame_window.h"
#include "ui/screen.h"
#include "ui/testing.h"

namespace kelda::chart::testing {
namespace {

struct Event {
  int32_t code;
  UINT message;
  std::vector<int32_t> targets;
  VizorTrendChange change{};
};

class TrendTools : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::set_foreground_window(frame.hwnd());
    const RECT rect{0, 0, 240, 300};
    chart = VizorCreateChart(frame.hwnd().value(), &rect, &TrendTools::onEvent, this);
    ASSERT_NE(chart, nullptr);
    pane = VizorAddPane(chart);
    security = VizorAddGraphData(chart);
    price = VizorAddGraph(chart, security, 1, pane);
    volume = VizorAddGraph(chart, security, 2, pane);
    VizorChartParams p{};
    VizorGetChartParams(chart, &p);
    p.interval = 1;
    p.minIntervals = 0;
    p.timeAxisShown = 0;
    VizorSetChartParams(chart, &p);
    for (int i = 0; i < 10; ++i) addBar(i);
    repaint();
  }
  void TearDown() override { EXPECT_EQ(VizorDestroyChart(chart), 1); }
  static void onEvent(VizorChart, void* self, int32_t code, UINT message, WPARAM, LPARAM, void* record, int32_t) {
    auto* t = static_cast<TrendTools*>(self);
    Event e{code, message, {}};
    if (code == 5 && record != nullptr) {
      const auto* info = static_cast<const VizorTrendMenuInfo*>(record);
      e.targets.assign(info->seriesIds, info->seriesIds + info->count);
      e.change = *info->change;
    }
    if (code == 5 || code == 6) t->events.push_back(e);
  }

  void addBar(int i, int minutesApart = 1) {
    const FILETIME t = at(20240304, 100000 + i * minutesApart * 100);
    VizorAddOHLCV(chart, security, &t, 10 + i, 12 + i, 9 + i, 11 + i, 5, 1);
  }
  CChart& object() { return *CChart::fromHandle(chart); }
  ui::Hwnd hwnd() { return object().window()->hwnd(); }
  CGraph& graph() { return *object().findGraphBySeries(price); }
  void repaint() {
    object().invalidate(true);
    ui::update_window(hwnd());
  }
  POINT screen(double bar, double value) {
    return object().panes()[0]->trendView(graph().params().scaleSide != 0).toScreen(TrendPoint{bar, value});
  }
  FILETIME barTime(int i) { return object().bars()[i].time; }
  std::vector<VizorTrendInfo> info() {
    std::vector<VizorTrendInfo> out(static_cast<size_t>(VizorGetTrendCount(chart)));
    if (!out.empty()) VizorGetTrendsInfo(chart, static_cast<int32_t>(out.size()), out.data());
    return out;
  }
  // A stroke with tool `code` from a to b (then a tap at c for a third point).
  void place(int32_t code, POINT a, POINT b, const POINT* c = nullptr, WPARAM keys = 0) {
    VizorSetTrendType(chart, code);
    ui::scripted::drag(hwnd(), {a, POINT{(a.x + b.x) / 2, (a.y + b.y) / 2}, b}, keys);
    if (c != nullptr) ui::scripted::tap_at(hwnd(), *c);
    VizorSetTrendType(chart, 0);
    repaint();
  }
  // A point of the figure that hits its body.
  bool bodyPoint(const CTrend& t, POINT* out) {
    for (const TrendSegment& s : t.segments()) {
      for (double f : {0.5, 0.3, 0.7}) {
        const POINT p{static_cast<int32_t>(s.x0 + (s.x1 - s.x0) * f), static_cast<int32_t>(s.y0 + (s.y1 - s.y0) * f)};
        int32_t part = 0;
        if (object().controller().findTool(p, nullptr, &part) == &t && part == kPartBody) {
          *out = p;
          return true;
        }
      }
    }
    return false;
  }
  // The screen point of the figure's handle `part` (P1 or P2).
  bool handlePoint(const CTrend& t, int32_t part, POINT* out) {
    for (const TrendSegment& s : t.segments()) {
      if (part == kPartP1 && s.startHandle) return *out = POINT{s.x0, s.y0}, true;
      if (part == kPartP2 && s.endHandle) return *out = POINT{s.x1, s.y1}, true;
    }
    return false;
  }
  // The point `bars` bars to the right of p, at the centre of that bar.
  POINT right(POINT p, int bars) {
    return POINT{screen(object().panes()[0]->xToBar(p.x) + bars, 0).x, p.y};
  }

  ui::HeadlessUi ui;
  Frame frame;
  VizorChart chart = nullptr;
  int32_t pane = 0, security = 0, price = 0, volume = 0;
  std::vector<Event> events;
};

struct ToolCase {
  int32_t code;
  int32_t type;
  bool third;
  bool resizable;
};

class EveryTool : public TrendTools, public ::testing::WithParamInterface<ToolCase> {};

TEST_P(EveryTool, PlaceHitMoveCopyResizeCancelMenuAndRestore) {
  const ToolCase c = GetParam();
  const POINT a = screen(2, 13), b = screen(6, 17), third = screen(4, 20);
  place(c.code, a, b, c.third ? &third : nullptr);
  ASSERT_EQ(VizorGetTrendCount(chart), 1);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().code, 6);
  EXPECT_EQ(events.back().message, ui::wm::lbutton_up);
  CTrend& tool = *graph().trends().at(0);
  EXPECT_EQ(info()[0].type, c.type);
  EXPECT_TRUE(sameFileTime(info()[0].time2, barTime(6)));
  if (c.type != 2) {
    EXPECT_TRUE(sameFileTime(info()[0].time1, barTime(2)));
  }
  EXPECT_FALSE(tool.thirdPointPending());
  ASSERT_FALSE(tool.segments().empty());

  // Moved by its body, one bar to the right: its times follow the bars.
  POINT body{};
  ASSERT_TRUE(bodyPoint(tool, &body));
  ui::scripted::drag(hwnd(), {body, right(body, 1)});
  repaint();
  EXPECT_EQ(object().controller().trendMode(), CChartController::kTrendIdle);
  ASSERT_EQ(VizorGetTrendCount(chart), 1);
  EXPECT_TRUE(sameFileTime(info()[0].time2, barTime(7)));

  // Moved with Ctrl: a copy with a new id stays at the old place.
  ASSERT_TRUE(bodyPoint(tool, &body));
  const int32_t id = tool.id();
  ui::scripted::drag(hwnd(), {body, right(body, 1)}, ui::mk::control);
  repaint();
  ASSERT_EQ(VizorGetTrendCount(chart), 2);
  EXPECT_TRUE(sameFileTime(info()[0].time2, barTime(8)));
  EXPECT_TRUE(sameFileTime(info()[1].time2, barTime(7)));
  EXPECT_GT(graph().trends()[1]->id(), id);
  const VizorTrendChange remove{graph().trends()[1]->id(), price, 0, 1};
  ASSERT_EQ(VizorChangeTrendline(chart, 1, &remove), 1);
  repaint();

  // Resized by its second point.
  POINT handle{};
  if (c.resizable) {
    ASSERT_TRUE(handlePoint(tool, kPartP2, &handle));
    ui::scripted::drag(hwnd(), {handle, right(handle, 1)});
    repaint();
    EXPECT_TRUE(sameFileTime(info()[0].time2, barTime(9)));
    EXPECT_TRUE(sameFileTime(info()[0].time1, barTime(4)));
  } else {
    EXPECT_FALSE(handlePoint(tool, kPartP2, &handle));
  }

  // A hold on the figure asks for its menu: the other series of the pane.
  ASSERT_TRUE(bodyPoint(tool, &body));
  events.clear();
  ui::scripted::tap_and_hold_at(hwnd(), body);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, 5);
  EXPECT_EQ(events[0].targets, std::vector<int32_t>{volume});
  EXPECT_EQ(events[0].change.trendId, tool.id());
  EXPECT_EQ(frame.contextMenus, 0);
  EXPECT_EQ(object().controller().trendMode(), CChartController::kTrendIdle);

  // A hold while placing cancels the stroke.
  events.clear();
  VizorSetTrendType(chart, c.code);
  ui::scripted::tap_and_hold_at(hwnd(), screen(1, 20));
  VizorSetTrendType(chart, 0);
  EXPECT_EQ(VizorGetTrendCount(chart), 1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, 6);
  EXPECT_EQ(events[0].message, ui::wm::context_menu);

  // Saved and restored: the same figure at the same times.
  std::vector<VizorTrendInfo> saved = info();
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, saved.data()), 1);
  repaint();
  const std::vector<VizorTrendInfo> restored = info();
  ASSERT_EQ(restored.size(), 1u);
  EXPECT_EQ(restored[0].type, c.type);
  EXPECT_TRUE(sameFileTime(restored[0].time1, saved[0].time1));
  EXPECT_TRUE(sameFileTime(restored[0].time2, saved[0].time2));
  EXPECT_FALSE(graph().trends()[0]->segments().empty());
  EXPECT_EQ(object().verticalLines().size(), c.type == 2 ? 1u : 0u);
  ASSERT_EQ(VizorDeleteAllTrends(chart, pane), 1);
  EXPECT_TRUE(object().verticalLines().empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, EveryTool,
                         ::testing::Values(ToolCase{1, 1, false, true}, ToolCase{2, 2, false, false},
                                           ToolCase{3, 3, false, false}, ToolCase{4, 4, false, true},
                                           ToolCase{5, 1, false, true}, ToolCase{6, 6, false, true},
                                           ToolCase{7, 7, false, false}, ToolCase{9, 9, true, false},
                                           ToolCase{10, 10, false, true}, ToolCase{11, 11, true, true}),
                         [](const auto& info) { return "Code" + std::to_string(info.param.code); });

TEST_F(TrendTools, StrokesFromTheRightToolZeroAndShift) {
  // Drawn from right to left: the earlier point comes first.
  place(1, screen(6, 17), screen(2, 13));
  ASSERT_EQ(VizorGetTrendCount(chart), 1);
  EXPECT_TRUE(sameFileTime(info()[0].time1, barTime(2)));
  EXPECT_NEAR(info()[0].price1, 13.0, 0.5);
  // Tool 0 makes nothing; Shift makes a trend line whatever the tool.
  place(0, screen(3, 20), screen(5, 20));
  EXPECT_EQ(VizorGetTrendCount(chart), 1);
  place(0, screen(3, 20), screen(5, 20), nullptr, ui::mk::shift);
  ASSERT_EQ(VizorGetTrendCount(chart), 2);
  EXPECT_EQ(info()[1].type, 1);
  // A stroke that ends where it began leaves nothing but still ends.
  events.clear();
  place(4, screen(7, 14), screen(7, 14));
  EXPECT_EQ(VizorGetTrendCount(chart), 2);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, 6);
}

TEST_F(TrendTools, HoverShowsTheCursorOfThePart) {
  place(1, screen(2, 13), screen(6, 17));
  const CTrend& tool = *graph().trends().at(0);
  POINT body{}, handle{};
  ASSERT_TRUE(bodyPoint(tool, &body));
  ASSERT_TRUE(handlePoint(tool, kPartP1, &handle));
  const auto hover = [&](POINT p, WPARAM keys) {
    ui::send_message(hwnd(), ui::wm::mouse_move, keys, static_cast<LPARAM>((p.y << 16) | p.x));
    return ui::cursor_resource(ui::current_cursor());
  };
  struct Case {
    POINT p;
    WPARAM keys;
    int cursor;  // 0: the arrow
  };
  const Case cases[] = {{body, 0, 202}, {body, ui::mk::control, 201}, {handle, 0, 203},
                        {handle, ui::mk::control, 204}};
  for (const Case& c : cases) {
    const auto resource = hover(c.p, c.keys);
    ASSERT_TRUE(resource.has_value()) << c.cursor;
    EXPECT_EQ(*resource, (ui::CursorResource{"KeldaChart", c.cursor}));
  }
  EXPECT_EQ(object().controller().hoverPart(), kPartP1);
  // Off the tool the hover part is cleared.
  const RECT plot = object().panes()[0]->plotRect();
  hover(POINT{plot.right - 2, plot.top + 2}, 0);
  EXPECT_EQ(object().controller().hoverPart(), kPartNone);
  // Focus loss clears the hover part too.
  hover(body, 0);
  VizorSendMessage(chart, ui::wm::kill_focus, 0, 0);
  EXPECT_EQ(object().controller().hoverPart(), kPartNone);
}

TEST_F(TrendTools, AVerticalLineCrossesEveryPane) {
  const int32_t lower = VizorAddPane(chart);
  VizorAddGraph(chart, security, 2, lower);
  const double halves[] = {0.5, 0.5};
  VizorSetPaneSizes(chart, 2, halves);
  repaint();
  place(2, screen(4, 15), screen(4, 15));
  ASSERT_EQ(object().verticalLines().size(), 1u);
  EXPECT_EQ(object().verticalLines()[0]->segments().size(), 2u);
  const RECT lowerPlot = object().panes()[1]->plotRect();
  const int32_t x = object().verticalLines()[0]->segments()[1].x0;
  int32_t part = 0;
  EXPECT_EQ(object().controller().findTool(POINT{x + 2, (lowerPlot.top + lowerPlot.bottom) / 2}, nullptr, &part),
            object().verticalLines()[0]);
  EXPECT_EQ(part, kPartBody);
}

TEST_F(TrendTools, FiguresOutsideTheVisibleBars) {
  VizorTrendInfo r{};
  r.type = 1;
  r.colour = 0xFF;
  r.penWidth = 1;
  r.time1 = barTime(1), r.time2 = barTime(3), r.price1 = 12, r.price2 = 14;
  VizorTrendInfo across = r;
  across.time2 = barTime(8), across.price2 = 19;
  VizorTrendInfo records[] = {r, across};
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 2, records), 1);
  VizorChartParams p{};
  VizorGetChartParams(chart, &p);
  p.barsPerPage = 4;  // bars 6 to 9 in view
  VizorSetChartParams(chart, &p);
  repaint();
  const auto& trends = graph().trends();
  EXPECT_TRUE(trends[0]->segments().empty());
  ASSERT_EQ(trends[1]->segments().size(), 1u);
  EXPECT_FALSE(trends[1]->segments()[0].startHandle);
  EXPECT_TRUE(trends[1]->segments()[0].endHandle);
  int32_t part = 0;
  const RECT plot = object().panes()[0]->plotRect();
  EXPECT_EQ(object().controller().findTool(POINT{plot.left + 1, plot.bottom - 1}, nullptr, &part), nullptr);
}

TEST_F(TrendTools, AnotherIntervalKeepsTheFiguresAtTheirTimes) {
  place(1, screen(2, 13), screen(6, 17));
  const VizorTrendInfo before = info()[0];
  // The host changes the interval and feeds the bars again.
  VizorChartParams p{};
  VizorGetChartParams(chart, &p);
  p.interval = 2;
  VizorSetChartParams(chart, &p);
  VizorClear(chart, 0, 0);
  for (int i = 0; i < 5; ++i) addBar(i, 2);
  repaint();
  ASSERT_EQ(VizorGetTrendCount(chart), 1);
  const VizorTrendInfo after = info()[0];
  EXPECT_TRUE(sameFileTime(after.time1, before.time1));
  EXPECT_TRUE(sameFileTime(after.time2, before.time2));
  // 10:02 and 10:06 are bars 1 and 3 of the two-minute bars.
  const CTrend& tool = *graph().trends()[0];
  EXPECT_EQ(tool.point(0).bar, 1.0);
  EXPECT_EQ(tool.point(1).bar, 3.0);
  EXPECT_FALSE(tool.segments().empty());
}

TEST_F(TrendTools, ALineDrawnBeyondTheBarsFollowsTheBarsThatArrive) {
  // Ten empty slots after the ten one-minute bars (10:00 to 10:09).
  VizorChartParams p{};
  VizorGetChartParams(chart, &p);
  p.extraIntervals = 10;
  VizorSetChartParams(chart, &p);
  repaint();
  place(1, screen(2.5, 13), screen(19.5, 17));
  ASSERT_EQ(VizorGetTrendCount(chart), 1);
  const CTrend& tool = *graph().trends()[0];
  const auto minute = [](int m) { return at(20240304, 100000 + m * 100); };
  ASSERT_TRUE(tool.beyondBars());
  ASSERT_TRUE(sameFileTime(tool.savedTime(1), minute(18)));  // nine intervals after the last bar
  const auto add = [&](int m) {
    const FILETIME t = minute(m);
    VizorAddOHLCV(chart, security, &t, 20, 21, 19, 20, 5, 1);
  };
  struct Step {
    int minute;     // the bar that arrives
    int anchor;     // P2's anchor afterwards
    double bar;     // P2's bar position afterwards
    bool beyond;
  };
  const Step steps[] = {
      {10, 18, 19, true},  // no break: still eight intervals ahead of 10:10 (n = 11)
      {13, 15, 14, true},  // a break of three intervals: back by three minutes, two ahead of 10:13
      {14, 15, 14, true},  // the shift holds while the session goes on
      {15, 15, 13, true},  // the bars reach the anchor: P2 stands on the 10:15 bar
      {18, 18, 14, false},  // the bars reach the saved time: P2 on its own bar
  };
  for (const Step& step : steps) {
    add(step.minute);
    EXPECT_TRUE(sameFileTime(tool.anchorTime(1), minute(step.anchor))) << step.minute;
    EXPECT_DOUBLE_EQ(tool.point(1).bar, step.bar) << step.minute;
    EXPECT_EQ(tool.beyondBars(), step.beyond) << step.minute;
    EXPECT_TRUE(sameFileTime(tool.anchorTime(0), barTime(2))) << step.minute;
  }
  repaint();
  EXPECT_DOUBLE_EQ(tool.point(1).bar, 14.0);
  EXPECT_TRUE(sameFileTime(info()[0].time2, minute(18)));
  EXPECT_FALSE(tool.segments().empty());
}

TEST_F(TrendTools, AnIntervalChangeKeepsTheFiguresOnTheirBarTimes) {
  place(1, screen(2, 13), screen(6, 17));
  // A second line that ends after the last bar (10:09), at 10:15.
  VizorTrendInfo ahead{};
  ahead.type = 1, ahead.penWidth = 1, ahead.price1 = 12, ahead.price2 = 15;
  ahead.time1 = barTime(1), ahead.time2 = at(20240304, 101500);
  std::vector<VizorTrendInfo> records = info();
  records.push_back(ahead);
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 2, records.data()), 1);
  ASSERT_TRUE(graph().trends()[1]->beyondBars());
  // The host's protocol: announce, change the interval, feed the bars again.
  ASSERT_EQ(VizorStartIntervalChanging(chart), 1);
  VizorChartParams p{};
  VizorGetChartParams(chart, &p);
  p.interval = 2;
  VizorSetChartParams(chart, &p);
  VizorClear(chart, 0, 0);
  for (int i = 0; i < 10; ++i) addBar(i, 2);  // 10:00 to 10:18
  EXPECT_FALSE(object().intervalChangeUnderWay());
  repaint();
  const std::vector<VizorTrendInfo> after = info();
  ASSERT_EQ(after.size(), 2u);
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_TRUE(sameFileTime(after[k].time1, records[k].time1)) << k;
    EXPECT_TRUE(sameFileTime(after[k].time2, records[k].time2)) << k;
  }
  // 10:02 and 10:06 are bars 1 and 3; 10:01 falls in bar 0 and 10:15 in bar 7.
  const auto& trends = graph().trends();
  EXPECT_EQ(trends[0]->point(0).bar, 1.0);
  EXPECT_EQ(trends[0]->point(1).bar, 3.0);
  EXPECT_EQ(trends[1]->point(0).bar, 0.0);
  EXPECT_EQ(trends[1]->point(1).bar, 7.0);
  EXPECT_FALSE(trends[1]->beyondBars());
}

TEST_F(TrendTools, RecordsFromTheCallerAreChecked) {
  VizorTrendInfo good{};
  good.type = 1, good.penWidth = 1, good.time1 = barTime(1), good.time2 = barTime(3);
  good.price1 = 12, good.price2 = 14;
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, &good), 1);
  struct Case {
    const char* what;
    void (*spoil)(VizorTrendInfo&);
  };
  const Case cases[] = {
      {"price not a number", [](VizorTrendInfo& r) { r.price2 = std::numeric_limits<double>::quiet_NaN(); }},
      {"infinite third price", [](VizorTrendInfo& r) { r.price3 = std::numeric_limits<double>::infinity(); }},
      {"negative pen width", [](VizorTrendInfo& r) { r.penWidth = -3; }},
  };
  for (const Case& c : cases) {
    VizorTrendInfo records[] = {good, good};
    c.spoil(records[1]);
    platform::set_last_error(0);
    EXPECT_EQ(VizorRestoreSavedTrends(chart, 2, records), 0) << c.what;
    EXPECT_EQ(platform::get_last_error(), 87u) << c.what;
    EXPECT_EQ(VizorGetTrendCount(chart), 1) << c.what;  // nothing replaced
  }
  // Times far outside the bars and unknown kinds draw without harm.
  VizorTrendInfo far = good;
  far.graphOrdinal = 0;  // the restore above wrote the series id here
  far.type = 77;         // a channel
  far.time1 = FILETIME{0xFFFFFFFF, 0x7FFFFFFF};
  far.time3 = FILETIME{1, 0};
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, &far), 1);
  repaint();
  EXPECT_EQ(info()[0].type, 9);
}

}  // namespace
}  // namespace kelda::chart::testing
