// Trend records at the interface: the tool selection, restoring, describing,
// moving, restyling and deleting trends; restored figures that reach beyond
// the bars as bars arrive.
#include <limits>

#include "chart/graph.h"
#include "chart_fixture.h"

namespace kelda::chart::testing {
namespace {

using platform::get_last_error;
using platform::set_last_error;

class TrendFixture : public ChartFixture {
 protected:
  void SetUp() override {
    ChartFixture::SetUp();
    setInterval(5);
    for (int i = 0; i < 6; ++i) bar(at(20090304, 100000 + i * 500), 10 + i);
    price = VizorAddGraph(chart, security, 1, pane);
    volume = VizorAddGraph(chart, security, 2, pane);
  }
  static VizorTrendInfo record(int32_t ordinal, int32_t type, FILETIME t1, FILETIME t2) {
    VizorTrendInfo r{};
    r.graphOrdinal = ordinal;
    r.type = type;
    r.colour = 0xAA;
    r.penWidth = 3;
    r.time1 = t1, r.time2 = t2, r.time3 = t2;
    r.price1 = 10, r.price2 = 20, r.price3 = 30;
    r.bar1 = 1, r.bar2 = 3, r.bar3 = 3;
    return r;
  }
  std::vector<VizorTrendInfo> info() {
    std::vector<VizorTrendInfo> out(static_cast<size_t>(VizorGetTrendCount(chart)));
    EXPECT_EQ(VizorGetTrendsInfo(chart, static_cast<int32_t>(out.size()), out.data()), 1);
    return out;
  }
  int32_t trendId(int32_t seriesId, size_t k = 0) {
    return object().findGraphBySeries(seriesId)->trends()[k]->id();
  }

  int32_t price = 0;
  int32_t volume = 0;
};

TEST_F(TrendFixture, ToolSelection) {
  EXPECT_EQ(VizorSetTrendType(chart, 5), 1);
  EXPECT_EQ(VizorSetTrendType(chart, 8), 0);
  EXPECT_EQ(VizorSetTrendType(chart, 12), 0);
  EXPECT_EQ(VizorSetTrendType(chart, -1), 0);
  EXPECT_EQ(object().trendType(), 5);
  EXPECT_EQ(trendTypeOfTool(5), 1);
  EXPECT_EQ(trendTypeOfTool(0), 1);
}

TEST_F(TrendFixture, RestoreDescribeRoundTrip) {
  VizorTrendInfo records[] = {
      record(0, 1, at(20090304, 100500), at(20090304, 101500)),
      record(1, 0, at(20090304, 100000), at(20090304, 102500)),  // type 0 makes a channel
      record(2, 1, at(20090304, 100000), at(20090304, 102500)),  // no third graph: stops here
      record(0, 1, at(20090304, 100000), at(20090304, 102500)),
  };
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 4, records), 1);
  EXPECT_EQ(records[0].graphOrdinal, price);  // rewritten with the series id
  EXPECT_EQ(records[1].graphOrdinal, volume);
  EXPECT_EQ(records[2].graphOrdinal, 2);
  ASSERT_EQ(VizorGetTrendCount(chart), 2);
  const std::vector<VizorTrendInfo> out = info();
  EXPECT_EQ(out[0].type, 1);
  EXPECT_EQ(out[0].bar1, 1.0);
  EXPECT_EQ(out[0].bar2, 3.0);
  EXPECT_EQ(out[0].price2, 20.0);
  EXPECT_EQ(out[0].colour, 0xAAu);
  EXPECT_EQ(out[0].penWidth, 3);
  EXPECT_EQ(out[0].graphOrdinal, 0);
  EXPECT_TRUE(sameFileTime(out[0].time2, at(20090304, 101500)));
  EXPECT_EQ(out[1].type, 9);
  EXPECT_EQ(out[1].graphOrdinal, 1);
  EXPECT_EQ(out[1].bar2, 5.0);
  // A second restore replaces every trend.
  VizorTrendInfo again[] = {record(1, 4, at(20090304, 100000), at(20090304, 100500))};
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, again), 1);
  EXPECT_EQ(VizorGetTrendCount(chart), 1);
  EXPECT_EQ(info()[0].type, 4);
  // Count 0 writes nothing; bad counts are refused.
  EXPECT_EQ(VizorGetTrendsInfo(chart, 0, nullptr), 1);
  EXPECT_EQ(VizorGetTrendsInfo(chart, -1, nullptr), 0);
  EXPECT_EQ(get_last_error(), 87u);
  EXPECT_EQ(VizorRestoreSavedTrends(chart, 3, nullptr), 0);
}

TEST_F(TrendFixture, RestoredPointOffItsBarKeepsTheSavedSlope) {
  // Saved at 10:07 (between bars): the point lands on the 10:05 bar (index 1)
  // and its price moves along the saved line from bar 1.4 to bar 1.
  VizorTrendInfo r = record(0, 1, at(20090304, 100700), at(20090304, 102500));
  r.bar1 = 1.4, r.bar2 = 5.0;
  r.price1 = 10, r.price2 = 46;  // slope 10 per bar
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, &r), 1);
  const CTrend& trend = *object().findGraphBySeries(price)->trends()[0];
  EXPECT_TRUE(trend.reanchored(0));
  EXPECT_FALSE(trend.reanchored(1));
  EXPECT_DOUBLE_EQ(trend.point(0).bar, 1.0);
  EXPECT_NEAR(trend.point(0).price, 6.0, 1e-9);
  EXPECT_DOUBLE_EQ(trend.point(1).price, 46.0);
  // Saved positions and prices that give no slope leave the prices as
  // stored: a saved bar that is no number, prices whose difference overflows.
  struct Case {
    const char* what;
    double bar1, price1, price2;
  };
  const Case cases[] = {{"saved bar not a number", std::numeric_limits<double>::quiet_NaN(), 10, 46},
                        {"slope overflows", 1.4, -1.7e308, 1.7e308}};
  for (const Case& c : cases) {
    r = record(0, 1, at(20090304, 100500), at(20090304, 101700));  // P2 between bars: moved
    r.bar1 = c.bar1, r.bar2 = 3.4;
    r.price1 = c.price1, r.price2 = c.price2;
    ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, &r), 1) << c.what;
    const CTrend& restored = *object().findGraphBySeries(price)->trends()[0];
    EXPECT_TRUE(restored.reanchored(1)) << c.what;
    EXPECT_EQ(restored.point(1).price, c.price2) << c.what;
    EXPECT_EQ(info()[0].price2, c.price2) << c.what;
  }
}

TEST_F(TrendFixture, RestoredPointBeyondTheBarsShiftsOverABreakInTheSession) {
  // A line from the 10:05 bar to a time after the last bar (10:25, five-
  // minute bars); then bars arrive. P2's anchor is where it is drawn from.
  struct Case {
    const char* what;
    FILETIME saved;
    std::vector<FILETIME> bars;
    FILETIME anchor;
    bool beyond;
  };
  const Case cases[] = {
      {"the next bar: no break", at(20090304, 120000), {at(20090304, 103000)}, at(20090304, 120000), true},
      {"a break of two intervals moves it back by the break", at(20090304, 120000), {at(20090304, 103500)},
       at(20090304, 115000), true},
      {"a longer break", at(20090304, 120000), {at(20090304, 110000)}, at(20090304, 112500), true},
      {"the first bar of the next day is no break", at(20090304, 120000), {at(20090305, 100000)},
       at(20090304, 120000), true},
      {"the first bar of a new year is no break either", at(20100105, 120000),
       {at(20091231, 100000), at(20091231, 100500), at(20100104, 100000)}, at(20100105, 120000), true},
      {"the bars reach the point: its own time again", at(20090304, 111000),
       {at(20090304, 105000), at(20090304, 105500), at(20090304, 110000), at(20090304, 111000)},
       at(20090304, 111000), false},
  };
  for (const Case& c : cases) {
    VizorClear(chart, 0, 0);
    for (int i = 0; i < 6; ++i) bar(at(20090304, 100000 + i * 500), 10 + i);
    VizorTrendInfo r = record(0, 1, at(20090304, 100500), c.saved);
    ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, &r), 1);
    const CTrend& trend = *object().findGraphBySeries(price)->trends()[0];
    ASSERT_TRUE(trend.beyondBars()) << c.what;
    for (const FILETIME& t : c.bars) bar(t, 20);
    EXPECT_TRUE(sameFileTime(trend.anchorTime(1), c.anchor)) << c.what;
    EXPECT_EQ(trend.beyondBars(), c.beyond) << c.what;
    EXPECT_TRUE(sameFileTime(trend.anchorTime(0), at(20090304, 100500))) << c.what;
    // The saved time is what the host stores, whatever the anchor.
    EXPECT_TRUE(sameFileTime(info()[0].time2, c.saved)) << c.what;
  }
}

TEST_F(TrendFixture, PointsTheBarsReachStandOnTheirOwnBars) {
  // Both points ahead of the bars: a break moves both back; once the bars
  // pass P1 it stands on its own bar while P2 keeps the shift.
  VizorTrendInfo r = record(0, 1, at(20090304, 104000), at(20090304, 120000));
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, &r), 1);
  const CTrend& trend = *object().findGraphBySeries(price)->trends()[0];
  bar(at(20090304, 103500), 20);  // a break of two intervals after 10:25
  EXPECT_TRUE(sameFileTime(trend.anchorTime(0), at(20090304, 103000)));
  EXPECT_TRUE(sameFileTime(trend.anchorTime(1), at(20090304, 115000)));
  bar(at(20090304, 104000), 20);
  EXPECT_TRUE(sameFileTime(trend.anchorTime(0), at(20090304, 104000)));
  EXPECT_DOUBLE_EQ(trend.point(0).bar, 7.0);
  EXPECT_TRUE(sameFileTime(trend.anchorTime(1), at(20090304, 115000)));
  EXPECT_TRUE(trend.beyondBars());
}

TEST_F(TrendFixture, BarsInsertedBeforeATrendShiftIt) {
  VizorTrendInfo r = record(0, 1, at(20090304, 101000), at(20090304, 102000));
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, &r), 1);
  bar(at(20090304, 94500), 5);  // before every bar
  const CTrend& trend = *object().findGraphBySeries(price)->trends()[0];
  EXPECT_DOUBLE_EQ(trend.point(0).bar, 3.0);
  EXPECT_DOUBLE_EQ(trend.point(1).bar, 5.0);
}

TEST_F(TrendFixture, ChangeRestylesMovesAndDeletes) {
  VizorTrendInfo r = record(0, 1, at(20090304, 100500), at(20090304, 101500));
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, &r), 1);
  const int32_t id = trendId(price);
  // Same series, same style: success without a repaint.
  int32_t repaints = object().repaintCount();
  VizorTrendChange change{id, price, 0xAA, 3};
  EXPECT_EQ(VizorChangeTrendline(chart, 0, &change), 1);
  EXPECT_EQ(object().repaintCount(), repaints);
  change.colour = 0xBB;
  EXPECT_EQ(VizorChangeTrendline(chart, 0, &change), 1);
  EXPECT_EQ(object().repaintCount(), repaints + 1);
  EXPECT_EQ(info()[0].colour, 0xBBu);
  // To a graph on the same scale side of the same pane.
  change.seriesId = volume;
  EXPECT_EQ(VizorChangeTrendline(chart, 0, &change), 1);
  EXPECT_EQ(object().findGraphBySeries(price)->trends().size(), 0u);
  EXPECT_EQ(info()[0].graphOrdinal, 1);
  // Not to a series drawn in another pane, nor to a graph on the other scale
  // while the pane has not measured its scales.
  const int32_t other = VizorAddPane(chart);
  const int32_t far = VizorAddGraph(chart, security, 2, other);
  change.seriesId = far;
  EXPECT_EQ(VizorChangeTrendline(chart, 0, &change), 0);
  EXPECT_EQ(get_last_error(), 87u);
  VizorGraphParams g = defaultGraphParams();
  g.scaleSide = 0;
  VizorSetGraphParams(chart, price, &g, nullptr, 0);
  change.seriesId = price;
  EXPECT_EQ(VizorChangeTrendline(chart, 0, &change), 0);
  EXPECT_EQ(object().findGraphBySeries(volume)->trends().size(), 1u);
  // Unknown trend; unknown target series; deletion.
  VizorTrendChange unknown{999, price, 0, 1};
  EXPECT_EQ(VizorChangeTrendline(chart, 1, &unknown), 0);
  change.seriesId = 999;
  EXPECT_EQ(VizorChangeTrendline(chart, 0, &change), 0);
  EXPECT_EQ(VizorChangeTrendline(chart, 1, &change), 1);
  EXPECT_EQ(VizorGetTrendCount(chart), 0);
}

TEST_F(TrendFixture, DeleteAllTrendsOfAPane) {
  const int32_t other = VizorAddPane(chart);
  VizorAddGraph(chart, security, 2, other);
  VizorTrendInfo records[] = {record(0, 1, at(20090304, 100500), at(20090304, 101500)),
                              record(2, 2, at(20090304, 100500), at(20090304, 101500))};
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 2, records), 1);
  ASSERT_EQ(VizorGetTrendCount(chart), 2);
  ASSERT_EQ(VizorDeleteAllTrends(chart, pane), 1);
  EXPECT_EQ(VizorGetTrendCount(chart), 1);
  EXPECT_EQ(VizorDeleteAllTrends(chart, 99), 0);
  EXPECT_EQ(get_last_error(), 87u);
}

}  // namespace
}  // namespace kelda::chart::testing

namespace kelda::chart::testing {
namespace {

TEST_F(TrendFixture, MoveTargetsAreTheOtherLinesOfThePaneWithData) {
  const int32_t other = VizorAddPane(chart);
  VizorAddGraph(chart, security, 2, other);            // another pane
  const int32_t part = VizorAddGraph(chart, security, 1, pane);
  object().findSeries(part)->setOwnerId(price);         // a line of a composite
  const int32_t empty = VizorAddGraphData(chart);
  VizorAddGraph(chart, empty, 1, pane);                 // holds no data
  VizorTrendInfo r = record(0, 1, at(20090304, 100500), at(20090304, 101500));
  ASSERT_EQ(VizorRestoreSavedTrends(chart, 1, &r), 1);
  EXPECT_EQ(object().trendMoveTargets(trendId(price)), std::vector<int32_t>{volume});
  EXPECT_TRUE(object().trendMoveTargets(12345).empty());
}

}  // namespace
}  // namespace kelda::chart::testing
