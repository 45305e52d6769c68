// The chart window in a headless ui session: painting from the kept
// picture, the crosshair overlay and readout, taps, double taps, holds,
// splitter drags and the time scroll bar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/graph.h"
#include "chart/pane.h"
#include "chart_fixture.h"
#include "frame_window.h"
#include "ui/controls.h"
#include "ui/screen.h"
#include "ui/testing.h"
#include "ui/window.h"

namespace kelda::chart::testing {
namespace {

using ui::CanvasOp;

struct Event {
  int32_t code;
  UINT message;
  VizorHitInfo hit;
  std::u16string time;
  std::u16string price;
};

class ChartWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::set_foreground_window(frame.hwnd());
    const RECT rect{0, 0, 240, 300};
    chart = VizorCreateChart(frame.hwnd().value(), &rect, &ChartWindow::onEvent, this);
    ASSERT_NE(chart, nullptr);
    ASSERT_NE(object().window(), nullptr);
    pane = VizorAddPane(chart);
    security = VizorAddGraphData(chart);
    price = VizorAddGraph(chart, security, 1, pane);
    VizorChartParams p{};
    VizorGetChartParams(chart, &p);
    p.minIntervals = 0;
    p.timeAxisShown = 0;
    VizorSetChartParams(chart, &p);
    for (int i = 0; i < 10; ++i) {
      const FILETIME t = at(20240304, 100000 + i * 100);
      VizorAddOHLCV(chart, security, &t, 10 + i, 12 + i, 9 + i, 11 + i, 5, 1);
    }
    VizorGraphParams g = graph().params();
    g.style = 3;
    graph().setParams(g);
    object().invalidate(true);
    ui::update_window(hwnd());
  }
  void TearDown() override {
    VizorToggleCursorCrosshair(0);
    EXPECT_EQ(VizorDestroyChart(chart), 1);
  }
  static void onEvent(VizorChart, void* self, int32_t code, UINT message, WPARAM, LPARAM, void* record, int32_t) {
    auto* t = static_cast<ChartWindow*>(self);
    Event e{code, message, *static_cast<VizorHitInfo*>(record), u"", u""};
    if (e.hit.timeText != nullptr) e.time = e.hit.timeText;
    if (e.hit.priceText != nullptr) e.price = e.hit.priceText;
    t->events.push_back(e);
  }

  CChart& object() { return *CChart::fromHandle(chart); }
  CChartWnd& window() { return *object().window(); }
  ui::Hwnd hwnd() { return window().hwnd(); }
  CGraph& graph() { return *object().findGraphBySeries(price); }
  POINT centreOfCandle(size_t i) {
    const RECT r = graph().pointBoxes().at(i).rect;
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }

  ui::HeadlessUi ui;
  Frame frame;
  VizorChart chart = nullptr;
  int32_t pane = 0, security = 0, price = 0;
  std::vector<Event> events;
};

TEST_F(ChartWindow, APaintCopiesTheKeptPictureAndRendersOnlyWhenStale) {
  const int32_t renders = window().renderCount();
  EXPECT_GE(renders, 1);
  auto records = ui::scripted::record_paint(hwnd());
  EXPECT_EQ(window().renderCount(), renders);
  size_t blits = 0;
  for (const auto& r : records) blits += r.op == CanvasOp::bit_blt;
  EXPECT_EQ(blits, 1u);
  // A paint leaves nothing to repaint: no invalidation from inside a paint.
  RECT update{};
  EXPECT_FALSE(ui::get_update_rect(hwnd(), &update));
  object().invalidate(false);
  ui::update_window(hwnd());
  EXPECT_EQ(window().renderCount(), renders + 1);
}

TEST_F(ChartWindow, CrosshairMoveIsOneBlitAndTwoLinesWithAReadout) {
  VizorToggleCursorCrosshair(1);
  const int32_t renders = window().renderCount();
  const POINT p = centreOfCandle(4);
  ui::send_message(hwnd(), ui::wm::mouse_move, 0, static_cast<LPARAM>((p.y << 16) | p.x));
  EXPECT_TRUE(object().controller().crosshairShown());
  const auto records = ui::scripted::record_paint(hwnd());
  EXPECT_EQ(window().renderCount(), renders);
  size_t blits = 0, lines = 0, others = 0;
  for (const auto& r : records) {
    if (r.op == CanvasOp::bit_blt) ++blits;
    else if (r.op == CanvasOp::line_to) ++lines;
    else if (r.op == CanvasOp::polyline || r.op == CanvasOp::fill_rect || r.op == CanvasOp::draw_text) ++others;
  }
  EXPECT_EQ(blits, 1u);
  EXPECT_EQ(lines, 2u);
  EXPECT_EQ(others, 0u);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().code, 8);
  EXPECT_EQ(events.back().time, u"04.03.24 10:04");
  EXPECT_FALSE(events.back().price.empty());
  RECT update{};
  EXPECT_FALSE(ui::get_update_rect(hwnd(), &update));
}

TEST_F(ChartWindow, DoubleTapsReportTheSeriesOrNothing) {
  ui::scripted::double_tap_at(hwnd(), centreOfCandle(2));
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().code, 0);
  EXPECT_EQ(events.back().hit.seriesId, price);
  EXPECT_EQ(events.back().hit.paneId, pane);
  events.clear();
  const RECT plot = object().panes()[0]->plotRect();
  ui::scripted::double_tap_at(hwnd(), POINT{plot.right + 2, object().view().fullRect.bottom - 2});
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().code, 2);
  EXPECT_EQ(events.back().hit.inChartOnly, 1);
}

TEST_F(ChartWindow, ATapShowsTheToolTipAndTheNextTapHidesIt) {
  const RECT plot = object().panes()[0]->plotRect();
  ui::scripted::tap_at(hwnd(), POINT{plot.left + 1, plot.top + 1});
  EXPECT_FALSE(window().toolTipShown());
  EXPECT_FALSE(ui::get_capture());
  ui::scripted::tap_at(hwnd(), centreOfCandle(3));
  ASSERT_TRUE(window().toolTipShown());
  EXPECT_TRUE(ui::is_window_visible(window().toolTip()->hwnd()));
  EXPECT_EQ(ui::get_capture(), hwnd());
  const std::u16string& text = window().toolTip()->text();
  EXPECT_EQ(text.substr(0, text.find(u'\n')), u"Graph's legend");
  EXPECT_NE(text.find(u"Close: 14"), std::u16string::npos);
  ui::scripted::tap_at(hwnd(), centreOfCandle(3));
  EXPECT_FALSE(window().toolTipShown());
  EXPECT_FALSE(ui::is_window_visible(window().toolTip()->hwnd()));
}

TEST_F(ChartWindow, AHoldGoesToTheContextMenuAndIsConsumed) {
  ui::scripted::tap_and_hold_at(hwnd(), centreOfCandle(3));
  EXPECT_EQ(frame.contextMenus, 1);
}

TEST_F(ChartWindow, SplitterDragKeepsSixPixelsAboveAndRepaintsOnce) {
  const int32_t second = VizorAddPane(chart);
  const double halves[] = {0.5, 0.5};
  VizorSetPaneSizes(chart, 2, halves);
  (void)second;
  ui::update_window(hwnd());
  const auto& splitters = object().controller().splitterRects();
  ASSERT_EQ(splitters.size(), 1u);
  const int32_t y = splitters[0].top;
  ui::scripted::drag(hwnd(), {POINT{100, y + 1}, POINT{100, y - 40}, POINT{100, 0}});
  EXPECT_EQ(object().controller().mouseMode(), CChartController::kIdle);
  EXPECT_EQ(object().controller().entries()[0].height, 6);
  double sizes[2] = {};
  VizorGetPaneSizes(chart, 2, sizes);
  EXPECT_NEAR(sizes[0], 6.0 / object().controller().paneHeightSum(), 1e-12);
}

TEST_F(ChartWindow, ScrollBarLinesStopAtTheEnds) {
  VizorChartParams p{};
  VizorGetChartParams(chart, &p);
  p.barsPerPage = 4;
  VizorSetChartParams(chart, &p);
  ui::update_window(hwnd());
  CMyScrollBar* bar = window().timeScrollBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(ui::is_window_visible(bar->hwnd()));
  ui::ScrollInfo info;
  ASSERT_TRUE(ui::get_scroll_info(bar->hwnd(), ui::sb::ctl, info));
  EXPECT_EQ(info.pos, 6);  // following the last bar
  bar->onScroll(ui::sb::line_down);
  EXPECT_EQ(ui::get_scroll_pos(bar->hwnd(), ui::sb::ctl), 6);
  bar->onScroll(ui::sb::line_up);
  EXPECT_EQ(ui::get_scroll_pos(bar->hwnd(), ui::sb::ctl), 5);
  bar->onScroll(ui::sb::top);
  bar->onScroll(ui::sb::line_up);
  EXPECT_EQ(ui::get_scroll_pos(bar->hwnd(), ui::sb::ctl), 0);
  const int32_t renders = window().renderCount();
  bar->onScroll(ui::sb::end_scroll);
  ui::update_window(hwnd());
  EXPECT_EQ(window().renderCount(), renders + 1);
  EXPECT_EQ(object().slots().first_visible_bar(), 0);
  EXPECT_FALSE(object().followsLastBar());
}

TEST_F(ChartWindow, AResizeMovesTheTimeScrollBar) {
  const RECT bigger{0, 0, 240, 280};
  VizorMoveChart(chart, &bigger);
  ui::update_window(hwnd());
  const RECT bar = ui::map_rect(window().timeScrollBar()->hwnd(), hwnd(),
                                ui::get_client_rect(window().timeScrollBar()->hwnd()));
  EXPECT_EQ(bar.bottom, 280);
  EXPECT_EQ(bar.bottom - bar.top, scrollBarThickness());
}

}  // namespace
}  // namespace kelda::chart::testing
