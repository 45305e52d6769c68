// Zooming by dragging along the time axis and along a price axis.
#include <gtest/gtest.h>

#include "render_fixture.h"
#include "ui/types.h"

namespace kelda::chart::testing {
namespace {

LPARAM at(int32_t x, int32_t y) {
  return static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x));
}

class AxisDrag : public RenderFixture {
 protected:
  void SetUp() override {
    RenderFixture::SetUp();
    for (int i = 0; i < 40; ++i) bar(testing::at(20240304, 100000 + i * 100), 10 + i % 7);
    VizorChartParams p = params();
    p.minIntervals = 0;
    VizorSetChartParams(chart, &p);
    render();
  }
};

TEST_F(AxisDrag, DraggingUnderThePlotChangesTheBarsShown) {
  CChartController& c = object().controller();
  const RECT plot = c.paneRects().back();
  const int32_t y = plot.bottom + 3;
  const int32_t startX = (plot.left + plot.right) / 2;
  ASSERT_EQ(c.onMouse(ui::wm::lbutton_down, 0, at(startX, y)), 1);
  // Away from the right edge: fewer bars; the window stays anchored at its end.
  const int32_t d0 = plot.right - startX;
  c.onMouse(ui::wm::mouse_move, 0, at(plot.right - 2 * d0, y));
  EXPECT_EQ(params().barsPerPage, 20);
  EXPECT_EQ(object().slots().first_visible_bar(), 39 - 20);
  // At the right edge itself the distance counts as 1 pixel: all bars.
  c.onMouse(ui::wm::mouse_move, 0, at(plot.right, y));
  EXPECT_EQ(params().barsPerPage, 0);
  EXPECT_EQ(c.onMouse(ui::wm::lbutton_up, 0, at(plot.right, y)), 1);
  EXPECT_TRUE(c.idle());
  // A press inside the plot is no time-axis drag.
  EXPECT_EQ(c.onMouse(ui::wm::lbutton_down, 0, at(startX, plot.bottom - 5)), 0);
  c.onMouse(ui::wm::lbutton_up, 0, at(startX, plot.bottom - 5));
}

TEST_F(AxisDrag, PriceAxisDragZoomsAndADoubleTapResets) {
  CChartPane& pane = *object().panes()[0];
  const RECT plot = pane.plotRect();
  const int32_t x = plot.right + 10;
  const int32_t top = pane.paneRect().top;
  const int32_t y0 = top + (plot.bottom - top) / 2;
  ASSERT_TRUE(pane.onAxisMouse(ui::wm::lbutton_down, 0, at(x, y0)));
  ASSERT_TRUE(pane.onAxisMouse(ui::wm::mouse_move, 0, at(x, top + (y0 - top) / 2)));
  EXPECT_NEAR(pane.params().zoom, static_cast<double>(y0 - top) / ((y0 - top) / 2), 1e-9);
  EXPECT_TRUE(pane.isPriceZoomed());
  ASSERT_TRUE(pane.onAxisMouse(ui::wm::lbutton_up, 0, at(x, top)));
  EXPECT_FALSE(pane.onAxisMouse(ui::wm::mouse_move, 0, at(x, top + 3)));
  // Zoomed in, the range shown is narrower.
  render();
  const PriceRange zoomed = pane.scales().right;
  ASSERT_TRUE(pane.onAxisMouse(ui::wm::lbutton_dblclk, 0, at(x, y0)));
  EXPECT_EQ(pane.params().zoom, 1.0);
  render();
  EXPECT_GT(pane.scales().right.max - pane.scales().right.min, zoomed.max - zoomed.min);
  // Presses inside the plot are not the axis's.
  EXPECT_FALSE(pane.onAxisMouse(ui::wm::lbutton_down, 0, at(plot.right - 1, y0)));
}

TEST_F(AxisDrag, PriceAxisBordersDragTheAxisWidthWords) {
  CChartController& c = object().controller();
  const ChartView& view = object().view();
  const int32_t width = view.fullRect.right;
  const int32_t left = view.leftAxisWidth, right = view.rightAxisWidth;
  const int32_t y = (c.paneRects()[0].top + c.paneRects()[0].bottom) / 2;
  // Off the border (or outside every pane) the mode falls back to idle.
  c.enterAxisBorderMode(false);
  c.onMouse(ui::wm::mouse_move, 0, at(width / 2, y));
  EXPECT_EQ(c.mouseMode(), CChartController::kIdle);
  // The left border: the new width is x, held to [1, W - R].
  c.enterAxisBorderMode(false);
  c.onMouse(ui::wm::mouse_move, 0, at(left - 3, y));
  ASSERT_EQ(c.mouseMode(), CChartController::kLeftBorder);
  ASSERT_EQ(c.onMouse(ui::wm::lbutton_down, ui::mk::lbutton, at(left, y)), 1);
  EXPECT_EQ(c.mouseMode(), CChartController::kLeftBorderDrag);
  c.onMouse(ui::wm::mouse_move, ui::mk::lbutton, at(left + 20, y));
  EXPECT_EQ(params().leftAxisWidth, left + 20);
  EXPECT_EQ(params().rightAxisWidth, right);
  c.onMouse(ui::wm::mouse_move, ui::mk::lbutton, at(-40, y));
  EXPECT_EQ(params().leftAxisWidth, 1);
  EXPECT_EQ(c.onMouse(ui::wm::lbutton_up, 0, at(0, y)), 1);
  EXPECT_EQ(c.mouseMode(), CChartController::kIdle);
  // The right border: W - x, x held to [L, W - 3]; a move without the button ends it.
  c.enterAxisBorderMode(true);
  c.onMouse(ui::wm::mouse_move, 0, at(width - right + 3, y));
  ASSERT_EQ(c.onMouse(ui::wm::lbutton_down, ui::mk::lbutton, at(width - right, y)), 1);
  c.onMouse(ui::wm::mouse_move, ui::mk::lbutton, at(width + 50, y));
  EXPECT_EQ(params().rightAxisWidth, 3);
  c.onMouse(ui::wm::mouse_move, 0, at(width - 30, y));
  EXPECT_EQ(c.mouseMode(), CChartController::kIdle);
  EXPECT_EQ(params().rightAxisWidth, 3);
}

}  // namespace
}  // namespace kelda::chart::testing
