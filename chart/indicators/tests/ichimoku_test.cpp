// Ichimoku: the five lines with the starting periods and with a block of
// its own, the lagging line's end, the legends and colours of the lines,
// and an owner that draws only through its lines.
#include <string>

#include "chart/data_aux.h"
#include "chart/data_ichimoku.h"
#include "chart/graph.h"
#include "chart/wide_text.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

class IchimokuTest : public IndicatorFixture {
 protected:
  // Closes 1, 2, 3, ...: bar i has high i + 2 and low i.
  void addRising(int n) {
    for (int i = 0; i < n; ++i) addBar(i, TestBar{i + 1.0});
  }
  CDataIchimoku& ichimoku(int32_t id) { return static_cast<CDataIchimoku&>(series(id)); }
  static std::vector<double> line(int n, int from, double offset, int to) {
    std::vector<double> out(n, kNone);
    for (int i = from; i <= to; ++i) out[i] = i + offset;
    return out;
  }
};

TEST_F(IchimokuTest, StartsFromTheUsualPeriods) {
  const int n = 90;
  addRising(n);
  const int32_t id = addIndicator(CDataIchimoku::kTypeCode);
  const CDataIchimoku& a = ichimoku(id);
  // Midpoint of the highest high (i + 2) and the lowest low n - 1 bars back.
  EXPECT_TRUE(sameValues(valuesOf(a.conversion()), line(n, 8, -3, n - 1)));
  EXPECT_TRUE(sameValues(valuesOf(a.base()), line(n, 25, -11.5, n - 1)));
  // Span A: mean of both lines (i - 7.25) 26 bars earlier; span B: the
  // 52-bar midpoint (i - 24.5) 26 bars earlier.
  EXPECT_TRUE(sameValues(valuesOf(a.spanA()), line(n, 51, -33.25, n - 1)));
  EXPECT_TRUE(sameValues(valuesOf(a.spanB()), line(n, 77, -50.5, n - 1)));
  // The close 26 bars later; the last 26 bars have none and end the line.
  EXPECT_TRUE(sameValues(valuesOf(a.lagging()), line(n, 0, 27, n - 27)));
  EXPECT_EQ(a.lagging().points()[n - 1].endMarker, 1);
  EXPECT_EQ(a.lagging().points()[0].endMarker, 0);
  const IchimokuParams block = getBlock<IchimokuParams>(id);
  EXPECT_EQ(block.conversionPeriod, 9);
  EXPECT_EQ(block.spanBPeriod, 52);
  EXPECT_EQ(block.displacement, 26);
  EXPECT_EQ(block.legends[0][0], 0);
}

TEST_F(IchimokuTest, BlockSetsPeriodsLegendsAndColours) {
  const int n = 8;
  addRising(n);
  const int32_t id = addIndicator(CDataIchimoku::kTypeCode);
  IchimokuParams p;
  p.conversionPeriod = 2;
  p.basePeriod = 3;
  p.spanBPeriod = 4;
  p.lag = 1;
  p.displacement = 2;
  const char16_t* names[5] = {u"Conversion", u"Base", u"Span A", u"Span B", u"Lagging"};
  for (int k = 0; k < 5; ++k) {
    copyWideField(p.legends[k], 100, names[k], 100);
    p.colours[k] = 0x10u * (k + 1);
  }
  VizorGraphParams graph{};
  IchimokuParams old{};
  ASSERT_EQ(VizorGetGraphParams(chart, id, &graph, &old, sizeof(old)), 1);
  graph.priceLabels = 1;
  graph.percentMode = 1;
  graph.percentBase = 0.0;
  EXPECT_EQ(VizorSetGraphParams(chart, id, &graph, &p, sizeof(p) - 1), 0);
  ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, &p, sizeof(p)), 1);
  const CDataIchimoku& a = ichimoku(id);
  EXPECT_EQ(a.getGraph()->params().priceLabels, 0);
  EXPECT_EQ(a.conversion().getGraph()->params().priceLabels, 1);
  EXPECT_EQ(a.spanA().getGraph()->params().percentMode, 0);
  EXPECT_EQ(std::u16string(a.spanB().getGraph()->params().legend), u"Span B");
  EXPECT_EQ(a.lagging().getGraph()->params().colour, 0x50u);
  EXPECT_EQ(getBlock<IchimokuParams>(id).lag, 1);
  // Percent off again: the plain values.
  graph.percentMode = 0;
  ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, &p, sizeof(p)), 1);
  EXPECT_TRUE(sameValues(valuesOf(a.conversion()), line(n, 1, 0.5, n - 1)));
  EXPECT_TRUE(sameValues(valuesOf(a.base()), line(n, 2, 0, n - 1)));
  // Span A base (i + 0.25 from bar 2) two bars on.
  EXPECT_TRUE(sameValues(valuesOf(a.spanA()), line(n, 4, -1.75, n - 1)));
  // Span B base (i - 0.5 from bar 3) two bars on.
  EXPECT_TRUE(sameValues(valuesOf(a.spanB()), line(n, 5, -2.5, n - 1)));
  // The next close, up to the bar before the last.
  EXPECT_TRUE(sameValues(valuesOf(a.lagging()), line(n, 0, 2, n - 2)));
  // A new last bar gives the bar before it a lagging value at once.
  addBar(n, TestBar{50});
  EXPECT_EQ(a.lagging().points()[n - 1].close, 50.0);
  EXPECT_EQ(a.lagging().points()[n - 1].valid, 1);
  // A period under 1 gives no value.
  p.conversionPeriod = 0;
  ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, &p, sizeof(p)), 1);
  EXPECT_TRUE(sameValues(valuesOf(a.conversion()), std::vector<double>(n + 1, kNone)));
}

// A bar that does not pass still shows the window of the passing bars before
// it, so leading span A counts it too; the conversion and base lines are
// drawn as prices even when the graph shows percent of a base.
TEST_F(IchimokuTest, BarWithoutVolumeShowsTheWindowBeforeIt) {
  addCloses({1, 2, 3, 4, kNone, 6, 7, 8});
  const int32_t id = addIndicator(CDataIchimoku::kTypeCode);
  IchimokuParams p;
  p.conversionPeriod = 2;
  p.basePeriod = 3;
  p.spanBPeriod = 4;
  p.lag = 1;
  p.displacement = 2;
  VizorGraphParams graph = ownGraphBlock(id);
  ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, &p, sizeof(p)), 1);
  const CDataIchimoku& a = ichimoku(id);
  // Midpoints of (close - 1, close + 1) over the last 2 and 3 passing bars.
  const std::vector<double> conversion{kNone, 1.5, 2.5, 3.5, 3.5, 5, 6.5, 7.5};
  const std::vector<double> base{kNone, kNone, 2, 3, 3, 4.5, 5.5, 7};
  EXPECT_TRUE(sameValues(valuesOf(a.conversion()), conversion));
  EXPECT_TRUE(sameValues(valuesOf(a.base()), base));
  // Span A base 2.25, 3.25, 3.25, 4.75, ... from bar 2, two passing bars on.
  EXPECT_TRUE(sameValues(valuesOf(a.spanA()), {kNone, kNone, kNone, kNone, 2.25, 3.25, 3.25, 4.75}));
  graph.percentMode = 1;
  graph.percentBase = 2.0;
  ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, &p, sizeof(p)), 1);
  EXPECT_TRUE(sameValues(valuesOf(a.conversion()), conversion));
  EXPECT_TRUE(sameValues(valuesOf(a.base()), base));
  // A partial update (the last bar again) leaves them as they are.
  addBar(7, TestBar{8});
  EXPECT_TRUE(sameValues(valuesOf(a.conversion()), conversion));
}

TEST_F(IchimokuTest, OwnerAnswersForFiveLinesAndDrawsNothingItself) {
  addRising(40);
  const int32_t id = addIndicator(CDataIchimoku::kTypeCode);
  int32_t lines = 0;
  ASSERT_EQ(VizorGetLineCount(chart, id, &lines), 1);
  EXPECT_EQ(lines, 5);
  VizorPointValues records[5]{};
  VizorCandleQuery query{0, 0, records};
  ASSERT_EQ(series(id).valuesAt(barTime(30), &query), 1);
  EXPECT_EQ(query.lineCount, 5);
  EXPECT_EQ(records[0].close, 27.0);  // conversion, base, span A, span B, lagging
  EXPECT_EQ(records[1].close, 18.5);
  ASSERT_EQ(VizorRedraw(chart, 0), 1);
  ASSERT_EQ(VizorRedraw(chart, id), 1);
  EXPECT_TRUE(sameValues(values(id), std::vector<double>(40, kNone)));
  double low = -1, high = -1;
  EXPECT_EQ(series(id).getMinMax(1, &low, &high, nullptr), 0);
  EXPECT_EQ(series(security).ownerId(), -1);
  EXPECT_EQ(ichimoku(id).spanA().ownerId(), id);
  EXPECT_EQ(object().outermostOwner(ichimoku(id).lagging().id()), id);
}

}  // namespace
}  // namespace kelda::chart::testing
