// The Alligator, the awesome and accelerator oscillators and the Elder ray:
// hand-worked lines, the owners that draw through their parts, legends,
// the parameter checks and the Elder ray's ray queries.
#include <cstring>
#include <string>

#include "chart/data_alligator.h"
#include "chart/data_awesome.h"
#include "chart/data_elder_ray.h"
#include "chart/graph.h"
#include "chart/wide_text.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

// Closes 1, 2, 3, ... (high close + 1, low close - 1).
std::vector<double> rising(int n) {
  std::vector<double> closes;
  for (int i = 0; i < n; ++i) closes.push_back(i + 1.0);
  return closes;
}

std::vector<double> table(int n, int from, double offset, int to = -1) {
  std::vector<double> out(n, kNone);
  for (int i = from; i < (to < 0 ? n : to); ++i) out[i] = i + offset;
  return out;
}

class AlligatorTest : public IndicatorFixture {
 protected:
  CDataAlligator& alligator(int32_t id) { return static_cast<CDataAlligator&>(series(id)); }
};

TEST_F(AlligatorTest, LinesAreShiftedAveragesWithTheirOwnLegendsAndColours) {
  addCloses(rising(8));
  const int32_t id = addIndicator(CDataAlligator::kTypeCode);
  VizorGraphParams graph{};
  ASSERT_EQ(VizorGetGraphParams(chart, id, &graph, nullptr, 0), 1);
  const std::u16string legend = u"Alligator(3,2,1)]";
  copyWideField(graph.legend, 66, legend.c_str(), legend.size());
  // Simple averages of 3, 2 and 1 closes, shifted 2, 1 and -1 bars.
  const AlligatorParams block{kMaSimple, 4, 3, 2, 1, 2, 1, -1, 0x0000FF, 0x00FF00, 0xFF0000};
  ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, &block, sizeof(block)), 1);
  const CDataAlligator& a = alligator(id);
  // The average of 3 at bar j (from bar 2) is j, shown 2 bars on; the
  // average of 2 is j + 0.5 (from bar 1), shown 1 bar on.
  EXPECT_TRUE(sameValues(valuesOf(a.jaw()), table(8, 4, -2)));
  EXPECT_TRUE(sameValues(valuesOf(a.teeth()), table(8, 2, -0.5)));
  // Looking ahead never uses the last bar.
  EXPECT_TRUE(sameValues(valuesOf(a.lips()), table(8, 0, 2, 6)));
  EXPECT_EQ(std::u16string(a.jaw().getGraph()->params().legend), u"Alligator(3,2,1) - jaw]");
  EXPECT_EQ(std::u16string(a.lips().getGraph()->params().legend), u"Alligator(3,2,1) - lips]");
  EXPECT_EQ(a.teeth().getGraph()->params().colour, 0x00FF00u);
  EXPECT_EQ(a.jaw().getGraph()->params().colour, 0x0000FFu);
  int32_t lines = 0;
  ASSERT_EQ(VizorGetLineCount(chart, id, &lines), 1);
  EXPECT_EQ(lines, 3);
  VizorPointValues values[3]{};
  VizorCandleQuery query{0, 0, values};
  ASSERT_EQ(series(id).valuesAt(barTime(5), &query), 1);
  EXPECT_EQ(query.lineCount, 3);
  EXPECT_EQ(values[0].close, 7.0);  // lips, then jaw and teeth
  EXPECT_EQ(values[1].close, 3.0);
  EXPECT_EQ(values[2].close, 4.5);
  EXPECT_EQ(std::u16string(values[2].legend), u"Alligator(3,2,1) - teeth]");
  // An empty legend gives an empty head.
  graph.legend[0] = 0;
  ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, &block, sizeof(block)), 1);
  EXPECT_EQ(std::u16string(a.jaw().getGraph()->params().legend), u" - jaw]");
  AlligatorParams bad = block;
  bad.teethPeriod = 0;
  EXPECT_EQ(VizorSetGraphParams(chart, id, &graph, &bad, sizeof(bad)), 0);
  EXPECT_EQ(VizorSetGraphParams(chart, id, &graph, &block, 40), 0);
}

// The owner's own points are never computed: a full redraw and a rebuild
// leave them empty, it reports no bounds, and only its parts name it owner.
TEST_F(AlligatorTest, OwnersStayEmptyThroughRedrawsAndRebuilds) {
  addCloses(rising(12));
  const int32_t id = addIndicator(CDataAlligator::kTypeCode);
  ASSERT_EQ(VizorRedraw(chart, 0), 1);
  VizorChartParams p = params();
  p.mode = p.mode == VIZOR_MODE_ALL ? VIZOR_MODE_LAST_N : VIZOR_MODE_ALL;
  p.barCount = 50;
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  ASSERT_EQ(VizorRedraw(chart, id), 1);
  EXPECT_TRUE(sameValues(values(id), std::vector<double>(12, kNone)));
  double low = -1, high = -1;
  EXPECT_EQ(series(id).getMinMax(0, &low, &high, nullptr), 0);
  EXPECT_EQ(series(security).ownerId(), -1);
  EXPECT_EQ(alligator(id).lips().ownerId(), id);
  EXPECT_EQ(object().outermostOwner(alligator(id).jaw().id()), id);
  EXPECT_TRUE(series(id).hasData());
}

TEST_F(AlligatorTest, AwesomeOscillatorAveragesTheMedianPrice) {
  addCloses({10, 12, 11, 15});
  const int32_t id = addIndicator(CDataAO::kTypeCode);
  // Fresh: both averages have period 9, so the oscillator is 0 where it has values.
  const AwesomeParams defaults = getBlock<AwesomeParams>(id);
  EXPECT_EQ(defaults.fastPeriod, 5);
  EXPECT_EQ(defaults.slowPeriod, 34);
  EXPECT_EQ(defaults.firstColour, 0x0000FFu);
  ASSERT_EQ(setBlock(id, AwesomeParams{1, 2, kMaSimple, 4, 1, 2}), 1);
  // The median (high + low) / 2 is the close: close - mean of two closes.
  EXPECT_TRUE(sameValues(values(id), {kNone, 1, -0.5, 2}));
  EXPECT_EQ(setBlock(id, AwesomeParams{0, 2, kMaSimple, 4, 1, 2}), 0);
  EXPECT_EQ(getBlock<AwesomeParams>(id).fastPeriod, 1);
}

TEST_F(AlligatorTest, FreshAwesomeOscillatorIsZero) {
  addCloses(rising(12));
  const int32_t id = addIndicator(CDataAO::kTypeCode);
  std::vector<double> zeros(12, 0.0);
  for (int i = 0; i < 8; ++i) zeros[i] = kNone;
  EXPECT_TRUE(sameValues(values(id), zeros));
}

TEST_F(AlligatorTest, AcceleratorSmoothsOverFiveBarsOnceSet) {
  addCloses(rising(10));
  const int32_t id = addIndicator(CDataAC::kTypeCode);
  auto& ac = static_cast<CDataAC&>(series(id));
  EXPECT_EQ(ac.average().maParams().period, 9);
  ASSERT_EQ(setBlock(id, AwesomeParams{1, 2, kMaSimple, 4, 0, 0}), 1);
  EXPECT_EQ(ac.average().maParams().period, CDataAC::kSmoothing);
  EXPECT_EQ(getBlock<AwesomeParams>(id).slowPeriod, 2);
  // A rising line by 1 a bar: the oscillator is 0.5 from bar 1 on, its
  // 5-bar average 0.5 from bar 5 on, the accelerator 0 there.
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, kNone, kNone, 0, 0, 0, 0, 0}));
}

// The accelerator reports the oscillator's block and no graph block: the
// caller's graph block is left as it was, and none is needed.
TEST_F(AlligatorTest, AcceleratorReportsTheOscillatorsBlockOnly) {
  addCloses(rising(10));
  const int32_t id = addIndicator(CDataAC::kTypeCode);
  ASSERT_EQ(setBlock(id, AwesomeParams{1, 2, kMaSimple, 4, 7, 8}), 1);
  unsigned char graph[sizeof(VizorGraphParams)];
  std::memset(graph, 0xAB, sizeof(graph));
  AwesomeParams block{};
  ASSERT_EQ(series(id).getParams(reinterpret_cast<VizorGraphParams*>(graph), &block, sizeof(block)), 1);
  for (unsigned char byte : graph) ASSERT_EQ(byte, 0xAB);
  EXPECT_EQ(block.slowPeriod, 2);
  EXPECT_EQ(block.secondColour, 8u);
  EXPECT_EQ(series(id).getParams(nullptr, &block, sizeof(block)), 1);
  EXPECT_EQ(series(id).getParams(nullptr, &block, sizeof(block) - 1), 0);
  EXPECT_EQ(series(id).getParams(nullptr, nullptr, sizeof(block)), 0);
}

class ElderRayTest : public IndicatorFixture {
 protected:
  CDataElderRay& elder(int32_t id) { return static_cast<CDataElderRay&>(series(id)); }
};

TEST_F(ElderRayTest, PowersAreTheHighAndLowAgainstTheAverage) {
  addBar(0, TestBar{100, 10, 105, 98});
  addBar(1, TestBar{100, 10, 103, 99});
  const int32_t id = addIndicator(CDataElderRay::kTypeCode);
  // The defaults pass the check.
  const ElderRayParams defaults = getBlock<ElderRayParams>(id);
  EXPECT_EQ(defaults.period, 13);
  ASSERT_EQ(setBlock(id, defaults), 1);
  ElderRayParams block = defaults;
  block.period = 1;
  block.method = kMaSimple;
  ASSERT_EQ(setBlock(id, block), 1);
  // The rays recompute at once with the new average.
  EXPECT_TRUE(sameValues(valuesOf(elder(id).bull()), {5, 3}));
  EXPECT_TRUE(sameValues(valuesOf(elder(id).bear()), {-2, -1}));
  EXPECT_TRUE(sameValues(values(id), {100, 100}));
  EXPECT_EQ(std::u16string(elder(id).bull().getGraph()->params().legend), u"Bull power");
  EXPECT_EQ(std::u16string(elder(id).bear().getGraph()->params().legend), u"Bear power");
  // With the panes after the Elder ray's, the rays move there.
  const int32_t second = VizorAddPane(chart);
  const int32_t third = VizorAddPane(chart);
  ASSERT_EQ(second, pane + 1);
  ASSERT_EQ(third, pane + 2);
  ASSERT_EQ(setBlock(id, block), 1);
  EXPECT_EQ(elder(id).bull().getGraph()->paneId(), second);
  EXPECT_EQ(elder(id).bear().getGraph()->paneId(), third);
  // And stay in step with the next bar.
  addBar(2, TestBar{50, 10, 52, 47});
  EXPECT_TRUE(sameValues(valuesOf(elder(id).bull()), {5, 3, 2}));
  EXPECT_TRUE(sameValues(valuesOf(elder(id).bear()), {-2, -1, -3}));
}

TEST_F(ElderRayTest, CheckOnlyAndRefusalsChangeNothing) {
  addCloses(rising(5));
  const int32_t id = addIndicator(CDataElderRay::kTypeCode);
  ElderRayParams block = getBlock<ElderRayParams>(id);
  block.period = 0;
  EXPECT_EQ(setBlock(id, block), 0);
  block.period = 2;
  block.bullStyle = 0;
  EXPECT_EQ(setBlock(id, block), 0);
  block.bullStyle = 1;
  VizorGraphParams graph{};
  ElderRayParams old{};
  ASSERT_EQ(VizorGetGraphParams(chart, id, &graph, &old, sizeof(old)), 1);
  EXPECT_EQ(elder(id).setParams(&graph, &block, sizeof(block), 1, 1), 1);
  EXPECT_EQ(getBlock<ElderRayParams>(id).period, 13);
  EXPECT_EQ(elder(id).average().maParams().period, 9);
}

TEST_F(ElderRayTest, RayQueriesAnswerTheBearRayFirstAndDeletingARayDeletesTheGroup) {
  addCloses(rising(5));
  const int32_t id = addIndicator(CDataElderRay::kTypeCode);
  const size_t before = object().seriesList().size();
  EXPECT_EQ(VizorAddGraph(chart, 0, CDataElderRay::kTypeCode, id), elder(id).bear().id());
  EXPECT_EQ(VizorAddGraph(chart, 0, CDataElderRay::kTypeCode, id), elder(id).bull().id());
  EXPECT_EQ(VizorAddGraph(chart, 0, CDataElderRay::kTypeCode, id), elder(id).bear().id());
  EXPECT_EQ(VizorAddGraph(chart, 0, CDataElderRay::kTypeCode, security), 0);
  EXPECT_EQ(object().seriesList().size(), before);
  const ElderRayParams block = getBlock<ElderRayParams>(id);
  EXPECT_EQ(block.bearRayId, elder(id).bear().id());
  EXPECT_EQ(block.bullRayId, elder(id).bull().id());
  ASSERT_EQ(VizorDeleteGraph(chart, elder(id).bull().id()), 1);
  EXPECT_EQ(object().findSeries(id), nullptr);
  EXPECT_EQ(object().seriesList().size(), before - 4);
}

}  // namespace
}  // namespace kelda::chart::testing
