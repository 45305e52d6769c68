// Panes, their parameters and height proportions, and level lines.
#include <cmath>

#include "chart/graph.h"
#include "chart_fixture.h"

namespace kelda::chart::testing {
namespace {

using platform::get_last_error;
using platform::set_last_error;

TEST_F(ChartFixture, FiftyPanesAtMostAndIdsAreNotReused) {
  for (int i = 1; i < VIZOR_MAX_PANES; ++i) ASSERT_EQ(VizorAddPane(chart), i + 1);
  set_last_error(0);
  EXPECT_EQ(VizorAddPane(chart), 0);
  EXPECT_EQ(get_last_error(), 1381u);
  ASSERT_EQ(VizorDeletePane(chart, 7), 1);
  EXPECT_EQ(VizorAddPane(chart), 51);
  EXPECT_EQ(VizorDeletePane(chart, 7), 0);
  EXPECT_EQ(get_last_error(), 87u);
}

TEST_F(ChartFixture, DeletingAPaneDeletesTheSeriesDrawnInIt) {
  const int32_t second = VizorAddPane(chart);
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  VizorAddGraph(chart, price, 2, second);  // computed from price, drawn in the second pane
  const int32_t volume = VizorAddGraph(chart, security, 2, second);
  ASSERT_EQ(VizorDeletePane(chart, pane), 1);
  EXPECT_EQ(object().findSeries(price), nullptr);
  EXPECT_NE(object().findSeries(volume), nullptr);
  EXPECT_EQ(object().seriesList().size(), 2u);
  double sizes[1];
  ASSERT_EQ(VizorGetPaneSizes(chart, 1, sizes), 1);
  EXPECT_DOUBLE_EQ(sizes[0], 1.0);
}

TEST_F(ChartFixture, PaneParametersAreCheckedBeforeTheyApply) {
  VizorPaneParams p{};
  ASSERT_EQ(VizorGetPaneParams(chart, pane, &p), 1);
  EXPECT_EQ(p.legendPosition, 3);
  EXPECT_EQ(p.gridBits, 3);
  EXPECT_EQ(p.leftAuto, 1);
  EXPECT_EQ(p.zoom, 1.0);
  const VizorPaneParams good = p;
  struct Case {
    const char* name;
    void (*spoil)(VizorPaneParams&);
  } cases[] = {
      {"fixed left low = high", [](VizorPaneParams& q) { q.leftAuto = 0, q.leftMin = 5, q.leftMax = 5; }},
      {"fixed right low above high", [](VizorPaneParams& q) { q.rightAuto = 0, q.rightMin = 6, q.rightMax = 5; }},
      {"fixed right NaN", [](VizorPaneParams& q) { q.rightAuto = 0, q.rightMin = std::nan(""), q.rightMax = 5; }},
      {"zoom 0", [](VizorPaneParams& q) { q.zoom = 0; }},
      {"zoom NaN", [](VizorPaneParams& q) { q.zoom = std::nan(""); }},
  };
  for (const Case& c : cases) {
    VizorPaneParams q = good;
    c.spoil(q);
    EXPECT_EQ(VizorSetPaneParams(chart, pane, &q), 0) << c.name;
    EXPECT_EQ(get_last_error(), 87u);
  }
  VizorPaneParams q = good;
  q.leftAuto = 0, q.leftMin = 1, q.leftMax = 2, q.zoom = 2.5, q.word0 = 42;
  ASSERT_EQ(VizorSetPaneParams(chart, pane, &q), 1);
  ASSERT_EQ(VizorGetPaneParams(chart, pane, &p), 1);
  EXPECT_EQ(p.zoom, 2.5);
  EXPECT_EQ(p.word0, 42);
  EXPECT_EQ(VizorSetPaneParams(chart, 99, &q), 0);
  EXPECT_EQ(VizorGetPaneParams(chart, 99, &p), 0);
  EXPECT_EQ(VizorGetPaneParams(chart, pane, nullptr), 0);
}

TEST_F(ChartFixture, PaneProportionsAndHeights) {
  const int32_t second = VizorAddPane(chart);
  double sizes[3] = {};
  ASSERT_EQ(VizorGetPaneSizes(chart, 2, sizes), 1);
  EXPECT_EQ(sizes[0], 1.0);
  EXPECT_EQ(sizes[1], 0.0);  // a new pane starts with nothing
  EXPECT_EQ(VizorGetPaneSizes(chart, 3, sizes), 0);
  EXPECT_EQ(VizorGetPaneSizes(chart, -1, sizes), 0);
  const double close[] = {0.5, 0.49999999};
  EXPECT_EQ(VizorSetPaneSizes(chart, 2, close), 1);
  const double off[] = {0.5, 0.4999999};
  EXPECT_EQ(VizorSetPaneSizes(chart, 2, off), 0);
  EXPECT_EQ(get_last_error(), 87u);
  const double negative[] = {1.5, -0.5};
  EXPECT_EQ(VizorSetPaneSizes(chart, 2, negative), 0);
  const double one[] = {1.0};
  EXPECT_EQ(VizorSetPaneSizes(chart, 1, one), 0);
  EXPECT_EQ(VizorSetPaneSizes(chart, 2, nullptr), 0);
  // Three thirds over 100 pixels: 34, 34, 34 less the surplus from the top.
  VizorAddPane(chart);
  const double thirds[] = {1.0 / 3, 1.0 / 3, 1.0 / 3};
  ASSERT_EQ(VizorSetPaneSizes(chart, 3, thirds), 1);
  const RECT rect{0, 0, 400, 106};  // 100 pixels and two 3-pixel splitters
  ASSERT_EQ(VizorMoveChart(chart, &rect), 1);
  const auto& entries = object().controller().entries();
  EXPECT_EQ(entries[0].height, 33);
  EXPECT_EQ(entries[1].height, 33);
  EXPECT_EQ(entries[2].height, 34);
  // Deleting the middle pane gives its pixels to the others from the top.
  ASSERT_EQ(VizorDeletePane(chart, second), 1);
  // 33 and 34 grow to 50 and 50 of the old 100 pixels; the freed splitter
  // then makes 103, shared again from the new proportions.
  ASSERT_EQ(VizorGetPaneSizes(chart, 2, sizes), 1);
  EXPECT_DOUBLE_EQ(sizes[0], 0.5);
  EXPECT_DOUBLE_EQ(sizes[1], 0.5);
  EXPECT_EQ(entries[0].height, 51);
  EXPECT_EQ(entries[1].height, 52);
}

TEST_F(ChartFixture, LevelLinesAreKeyedByPrice) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  VizorLevelLine line{100.0, 0xFF, 1, 5, 2};
  ASSERT_EQ(VizorAddLevelLine(chart, price, &line), 1);
  line.price = 100.00000001;
  line.colour = 0xEE;
  ASSERT_EQ(VizorAddLevelLine(chart, price, &line), 1);
  EXPECT_EQ(VizorGetLevelLineCount(chart, price), 1);
  line.price = 101.0;
  VizorAddLevelLine(chart, price, &line);
  line.price = 102.0;
  VizorAddLevelLine(chart, price, &line);
  VizorLevelLine out[3] = {};
  out[1].price = -1;
  ASSERT_EQ(VizorGetLevelLines(chart, price, 1, out), 1);
  EXPECT_EQ(out[0].colour, 0xEEu);
  EXPECT_EQ(out[0].price, 100.00000001);
  EXPECT_EQ(out[1].price, -1);  // only count records written
  EXPECT_EQ(VizorDelLevelLine(chart, price, 0, 55.0), 0);
  EXPECT_EQ(get_last_error(), 87u);
  ASSERT_EQ(VizorDelLevelLine(chart, price, 0, 101.00000001), 1);
  EXPECT_EQ(VizorGetLevelLineCount(chart, price), 2);
  // Bad input.
  line.price = std::nan("");
  EXPECT_EQ(VizorAddLevelLine(chart, price, &line), 0);
  EXPECT_EQ(VizorAddLevelLine(chart, security, &line), 0);  // no graph
  EXPECT_EQ(VizorGetLevelLines(chart, price, -1, out), 0);
  EXPECT_EQ(get_last_error(), 87u);
  set_last_error(0);
  EXPECT_EQ(VizorDelLevelLine(chart, security, 1, 0), 0);
  EXPECT_EQ(get_last_error(), 2u);
  EXPECT_EQ(VizorGetLevelLineCount(chart, 99), 0);
  EXPECT_EQ(VizorGetLevelLines(chart, security, 1, out), 0);
}

TEST_F(ChartFixture, SetGraphParamsReplacesTheLevelLines) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  VizorLevelLine old{5.0, 0, 0, 0, 0};
  VizorAddLevelLine(chart, price, &old);
  const VizorLevelLine lines[] = {{1.0, 1, 0, 0, 0}, {2.0, 2, 0, 0, 0}, {1.00000001, 3, 0, 0, 0}};
  VizorGraphParams g = defaultGraphParams();
  g.levelLines = lines;
  g.levelLineCount = 3;
  ASSERT_EQ(VizorSetGraphParams(chart, price, &g, nullptr, 0), 1);
  VizorLevelLine out[2];
  ASSERT_EQ(VizorGetLevelLineCount(chart, price), 2);
  VizorGetLevelLines(chart, price, 2, out);
  EXPECT_EQ(out[0].colour, 3u);
  EXPECT_EQ(out[1].price, 2.0);
  // A count with no array is refused before anything changes.
  g.levelLines = nullptr;
  g.colour = 0x1;
  EXPECT_EQ(VizorSetGraphParams(chart, price, &g, nullptr, 0), 0);
  EXPECT_EQ(get_last_error(), 87u);
  EXPECT_EQ(VizorGetLevelLineCount(chart, price), 2);
  EXPECT_NE(object().findGraphBySeries(price)->params().colour, 0x1u);
  // A negative count means no lines.
  g.levelLineCount = -4;
  ASSERT_EQ(VizorSetGraphParams(chart, price, &g, nullptr, 0), 1);
  EXPECT_EQ(VizorGetLevelLineCount(chart, price), 0);
  // The stored block keeps no caller pointer.
  VizorGraphParams back{};
  VizorGetGraphParams(chart, price, &back, nullptr, 0);
  const VizorLevelLine* stored = back.levelLines;  // read by value: the member is 4-byte aligned
  EXPECT_EQ(stored, nullptr);
}

}  // namespace
}  // namespace kelda::chart::testing

namespace kelda::chart::testing {
namespace {

TEST_F(ChartFixture, HugeLayoutsShareTheirPixelsWithoutWalkingThem) {
  VizorAddPane(chart);
  const RECT huge{-2000000000, -2000000000, 2000000000, 2000000000};
  ASSERT_EQ(VizorMoveChart(chart, &huge), 1);
  EXPECT_EQ(object().controller().paneHeightSum(), INT32_MAX - 3);
  ASSERT_EQ(VizorDeletePane(chart, pane), 1);  // hands about 2^31 pixels to the other pane
  EXPECT_EQ(object().controller().entries()[0].height, INT32_MAX);
}

}  // namespace
}  // namespace kelda::chart::testing
