// The cursor readout (event 8), the crosshair switch and the controller's
// splitter arithmetic on a windowless chart.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "chart/chart.h"
#include "chart/number_format.h"
#include "chart/pane.h"
#include "chart_fixture.h"
#include "ui/recording_canvas.h"
#include "ui/types.h"

namespace kelda::chart::testing {
namespace {

class Readout : public ::testing::Test {
 protected:
  void SetUp() override {
    const RECT rect{0, 0, 300, 300};
    chart = VizorCreateChart(0, &rect, &Readout::onEvent, this);
    pane = VizorAddPane(chart);
    security = VizorAddGraphData(chart);
    price = VizorAddGraph(chart, security, 1, pane);
  }
  void TearDown() override { VizorDestroyChart(chart); }
  static void onEvent(VizorChart, void* self, int32_t code, UINT, WPARAM, LPARAM, void* record, int32_t) {
    auto* t = static_cast<Readout*>(self);
    const auto* hit = static_cast<VizorHitInfo*>(record);
    if (code != 8) return;
    t->time = hit->timeText;
    t->priceText = hit->priceText;
    ++t->reports;
  }
  CChart& object() { return *CChart::fromHandle(chart); }
  void render() {
    ui::RecordingCanvas canvas(300, 300);
    const RECT client{0, 0, 300, 300};
    object().layoutChart(&canvas, &client);
    object().renderChart(canvas, client);
  }
  void setInterval(double interval) {
    VizorChartParams p{};
    VizorGetChartParams(chart, &p);
    p.interval = interval;
    p.minIntervals = 0;
    VizorSetChartParams(chart, &p);
  }

  VizorChart chart = nullptr;
  int32_t pane = 0, security = 0, price = 0;
  std::u16string time, priceText;
  int reports = 0;
};

TEST_F(Readout, TimeTextFollowsTheInterval) {
  struct Case {
    double interval;
    std::u16string_view text;
  } cases[] = {{5, u"05.03.24 14:05"}, {-1, u"05.03.24"}, {0, u"05.03.24 14:07:00.000"}};
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    setInterval(c.interval);
    const FILETIME t = at(20240305, 140700);
    VizorAddOHLCV(chart, security, &t, 10, 11, 9, 10, 1, 1);
    render();
    const RECT plot = object().panes()[0]->plotRect();
    EXPECT_TRUE(object().controller().reportCursor((plot.left + plot.right) / 2, plot.top + 5, 0, 0));
    EXPECT_EQ(time, c.text) << c.interval;
  }
}

TEST_F(Readout, PriceTextReadsTheRightScaleWithDecimalsByPixelSize) {
  setInterval(5);
  const FILETIME t = at(20240305, 140000);
  VizorAddOHLCV(chart, security, &t, 10, 11, 9, 10, 1, 1);
  VizorPaneParams p{};
  VizorGetPaneParams(chart, pane, &p);
  for (double top : {50.0, 1000.0, 20000.0}) {
    p.rightAuto = p.leftAuto = 0;
    p.rightMin = p.leftMin = 0;
    p.rightMax = p.leftMax = top;
    VizorSetPaneParams(chart, pane, &p);
    render();
    const RECT plot = object().panes()[0]->plotRect();
    const double perPixel = top / (plot.bottom - plot.top);
    const int32_t decimals = perPixel >= 100 ? 1 : perPixel >= 10 ? 2 : perPixel >= 1 ? 3 : 4;
    object().controller().reportCursor(plot.left + 3, plot.bottom, 0, 0);
    EXPECT_EQ(priceText, u"0") << top;  // the bottom edge reads the minimum
    object().controller().reportCursor(plot.left + 3, plot.bottom - 1, 0, 0);
    EXPECT_EQ(priceText, formatNumberText(perPixel, decimals, true)) << top;
  }
  // Below every pane: no price, still an event.
  const int before = reports;
  object().controller().reportCursor(5, 299, 0, 0);
  EXPECT_EQ(reports, before + 1);
  EXPECT_EQ(priceText, u"");
}

TEST_F(Readout, APaneWithoutHeightReadsNoPrice) {
  setInterval(5);
  const FILETIME t = at(20240305, 140000);
  VizorAddOHLCV(chart, security, &t, 10, 11, 9, 10, 1, 1);
  VizorAddPane(chart);
  const double sizes[] = {1.0, 0.0};
  VizorSetPaneSizes(chart, 2, sizes);
  render();
  const auto& rects = object().controller().paneRects();
  ASSERT_EQ(rects.size(), 2u);
  ASSERT_EQ(rects[1].top, rects[1].bottom);
  object().controller().reportCursor(rects[1].left + 3, rects[1].top, 0, 0);
  EXPECT_EQ(priceText, u"");
}

TEST_F(Readout, CrosshairSwitchHoldsForEveryChart) {
  const RECT rect{0, 0, 300, 300};
  VizorChart other = VizorCreateChart(0, &rect, nullptr, nullptr);
  EXPECT_EQ(VizorToggleCursorCrosshair(1), 1);
  EXPECT_TRUE(crosshairSwitch());
  EXPECT_EQ(VizorToggleCursorCrosshair(0), 1);
  EXPECT_FALSE(crosshairSwitch());
  VizorDestroyChart(other);
}

TEST_F(Readout, SplitterRangeTooShortGivesNoNegativeHeights) {
  VizorAddPane(chart);
  VizorAddPane(chart);
  const double sizes[] = {0.02, 0.02, 0.96};
  VizorSetPaneSizes(chart, 3, sizes);
  render();
  CChartController& c = object().controller();
  const RECT s = c.splitterRects().at(0);
  c.onMouse(ui::wm::lbutton_down, 0, static_cast<LPARAM>((s.top << 16) | 10));
  ASSERT_EQ(c.mouseMode(), CChartController::kSplitterDrag);
  // The stylus left the window above it: a negative y in the message.
  c.onMouse(ui::wm::lbutton_up, 0, static_cast<LPARAM>((static_cast<uint16_t>(-20) << 16) | 10));
  for (const auto& e : c.entries()) {
    EXPECT_GE(e.height, 0);
    EXPECT_TRUE(std::isfinite(e.proportion));
    EXPECT_GE(e.proportion, 0.0);
  }
  EXPECT_EQ(c.mouseMode(), CChartController::kIdle);
}

TEST_F(Readout, SplitterGrabsSixRowsAboveAndFiveBelow) {
  VizorAddPane(chart);
  const double halves[] = {0.5, 0.5};
  VizorSetPaneSizes(chart, 2, halves);
  render();
  CChartController& c = object().controller();
  const RECT s = c.splitterRects().at(0);
  struct Case {
    int32_t y;
    bool grabs;
  } cases[] = {{s.top - 6, true}, {s.bottom + 5, true}, {s.top - 7, false}, {s.bottom + 6, false}};
  for (const Case& k : cases) {
    c.onMouse(ui::wm::lbutton_down, 0, static_cast<LPARAM>((k.y << 16) | 10));
    EXPECT_EQ(c.mouseMode() == CChartController::kSplitterDrag, k.grabs) << k.y;
    c.onMouse(ui::wm::lbutton_up, 0, static_cast<LPARAM>((s.top << 16) | 10));
  }
}

TEST_F(Readout, RemovingAPaneBeforeTheFirstPaintKeepsProportionsFinite) {
  const RECT empty{0, 0, 0, 0};
  VizorChart bare = VizorCreateChart(0, &empty, nullptr, nullptr);
  VizorAddPane(bare);
  const int32_t middle = VizorAddPane(bare);
  VizorAddPane(bare);
  ASSERT_EQ(VizorDeletePane(bare, middle), 1);
  double sizes[2] = {};
  ASSERT_EQ(VizorGetPaneSizes(bare, 2, sizes), 1);
  for (double s : sizes) EXPECT_TRUE(std::isfinite(s));
  VizorDestroyChart(bare);
}

}  // namespace
}  // namespace kelda::chart::testing
