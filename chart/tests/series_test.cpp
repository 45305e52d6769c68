// The series base and the bar-aligned series: ids, links, deletion, the
// recalculation cycle, the parameter protocol, percent of base, the
// trading-hours filter and the value lookups.
#include <cmath>
#include <memory>
#include <string>

#include "chart/data_price.h"
#include "chart/data_volume.h"
#include "chart/graph.h"
#include "chart/wide_text.h"
#include "chart_fixture.h"

namespace kelda::chart::testing {
namespace {

using platform::get_last_error;
using platform::set_last_error;

// A series that combines two sources and records the ranges it computed.
class TwoSourceProbe final : public CDataCommon {
 public:
  TwoSourceProbe(CChart& chart, CData& a, CData& b) : CDataCommon(chart, 0, 2) {
    addSource(&a);
    addSource(&b);
  }
  void calculate(int first, int last) override {
    if (!takeSourceNotice(first, last)) return;
    ++runs;
    lastFirst = first;
    updateHasData(first, last);
    notifyDependents(first, last);
  }
  int runs = 0;
  int lastFirst = -2;
};

TEST_F(ChartFixture, SeriesIdsStartAtOneAndAreNeverReused) {
  EXPECT_EQ(security, 1);
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  EXPECT_EQ(price, 2);
  ASSERT_EQ(VizorDeleteGraph(chart, price), 1);
  EXPECT_EQ(VizorAddGraph(chart, security, 2, pane), 3);
}

TEST_F(ChartFixture, NewSeriesGetsOneEmptyPointPerBar) {
  for (int i = 0; i < 10; ++i) bar(at(20090304, 100000 + i * 100), i);
  const int32_t other = VizorAddGraphData(chart);
  ASSERT_EQ(series(other).points().size(), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(series(other).isPointEmpty(i), 1);
  EXPECT_TRUE(sameFileTime(series(other).points()[9].time, barTime(9)));
}

TEST_F(ChartFixture, AddGraphRefusesUnknownTypesAndPanes) {
  set_last_error(0);
  for (int32_t type : {0, -1, 14, 15, 32, 39, 43, 45}) {
    EXPECT_EQ(VizorAddGraph(chart, security, type, pane), 0) << type;
    EXPECT_EQ(get_last_error(), 87u);
  }
  EXPECT_EQ(VizorAddGraph(chart, security, 1, pane + 5), 0);
  EXPECT_EQ(VizorAddGraph(chart, 77, 1, pane), 0);
  EXPECT_EQ(object().seriesList().size(), 1u);
  // The Elder-ray query names no Elder-ray series here: 0 without a code.
  set_last_error(0);
  EXPECT_EQ(VizorAddGraph(chart, 0, 25, security), 0);
  EXPECT_EQ(get_last_error(), 0u);
}

TEST_F(ChartFixture, DerivedSeriesFollowItsSourceThroughArrivals) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  const int32_t volume = VizorAddGraph(chart, security, 2, pane);
  bar(at(20090304, 100500), 10);
  bar(at(20090304, 100000), 20);  // inserted before
  const PointVector& p = series(price).points();
  ASSERT_EQ(p.size(), 2);
  EXPECT_EQ(p[0].open, 20.0);
  EXPECT_EQ(p[1].open, 10.0);
  EXPECT_EQ(p[1].close, 11.0);
  EXPECT_TRUE(sameFileTime(p[0].time, at(20090304, 100000)));
  EXPECT_EQ(series(volume).points()[0].close, 10.0);
  EXPECT_EQ(series(volume).isNotVolume(), 0);
  EXPECT_EQ(series(price).isSingleValue(), 0);
  EXPECT_EQ(series(price).hasData(), 1);
  double mn = 0, mx = 0;
  EXPECT_EQ(series(price).getMinMax(0, &mn, &mx, nullptr), 1);
  EXPECT_EQ(mn, 10.0);
  EXPECT_EQ(mx, 21.0);
  EXPECT_EQ(series(price).getMinMax(1, &mn, &mx, nullptr), 1);
  EXPECT_EQ(mn, 11.0);
  EXPECT_EQ(series(price).lastVisibleValue(), 11.0);
}

TEST_F(ChartFixture, ClearedSourceTakesItsDependentsWithIt) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  const int32_t volume = VizorAddGraph(chart, price, 2, pane);  // a chain: security -> price -> volume
  bar(at(20090304, 100000), 10);
  bar(at(20090304, 100100), 11);
  ASSERT_EQ(VizorClear(chart, security, 0), 1);  // without recalculation
  EXPECT_EQ(barCount(), 0);
  EXPECT_EQ(series(price).points().size(), 0);
  EXPECT_EQ(series(volume).points().size(), 0);
  // Reloaded bars stand alone: no old point lingers between them.
  bar(at(20090304, 100030), 12);
  ASSERT_EQ(series(price).points().size(), 1);
  EXPECT_EQ(series(price).points()[0].open, 12.0);
}

TEST_F(ChartFixture, DeletingASeriesDeletesItsDependentsAndTheirs) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  VizorAddGraph(chart, price, 2, pane);
  VizorAddGraph(chart, price, 1, pane);
  const int32_t volume = VizorAddGraph(chart, security, 2, pane);
  ASSERT_EQ(object().seriesList().size(), 5u);
  ASSERT_EQ(VizorDeleteGraphData(chart, price), 1);
  ASSERT_EQ(object().seriesList().size(), 2u);
  EXPECT_NE(object().findSeries(volume), nullptr);
  EXPECT_EQ(VizorDeleteGraphData(chart, price), 0);
  EXPECT_EQ(get_last_error(), 87u);
  // Deleting the security takes everything computed from it.
  ASSERT_EQ(VizorDeleteGraph(chart, security), 1);
  EXPECT_TRUE(object().seriesList().empty());
}

TEST_F(ChartFixture, CompanionsAreDeletedAsOneGroup) {
  // A composite's drawn line lists the composite, which lists its parts.
  CData& composite = *object().findSeries(VizorAddGraph(chart, security, 1, pane));
  CData& line = *object().findSeries(VizorAddGraph(chart, security, 2, pane));
  CData& hidden = *object().findSeries(VizorAddGraph(chart, security, 2, pane));
  composite.addCompanion(&line);
  composite.addCompanion(&hidden);
  line.addCompanion(&composite);
  line.setOwnerId(composite.id());
  ASSERT_EQ(VizorDeleteGraph(chart, line.id()), 1);
  ASSERT_EQ(object().seriesList().size(), 1u);
  EXPECT_EQ(object().seriesList()[0]->id(), security);
}

TEST_F(ChartFixture, TwoSourceSeriesWaitsForTheSecondNotice) {
  const int32_t a = VizorAddGraph(chart, security, 1, pane);
  const int32_t b = VizorAddGraph(chart, security, 2, pane);
  for (int i = 0; i < 4; ++i) bar(at(20090304, 100000 + i * 100), i);
  auto* probe = std::make_unique<TwoSourceProbe>(object(), *object().findSeries(a), *object().findSeries(b)).release();
  series(a).calculate(0, 3);
  EXPECT_EQ(probe->runs, 0);
  series(b).calculate(2, 3);
  EXPECT_EQ(probe->runs, 1);
  EXPECT_EQ(probe->lastFirst, 2);  // the range of the second notice
  series(security).calculate(-1, -1);  // one cycle reaches it through both sources
  EXPECT_EQ(probe->runs, 2);
  EXPECT_EQ(probe->lastFirst, -1);
}

TEST_F(ChartFixture, ParameterProtocolOfThePlainSeries) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  VizorGraphParams g{};
  ASSERT_EQ(VizorGetGraphParams(chart, price, &g, nullptr, 0), 1);
  EXPECT_EQ(g.colour, 0x7F007Fu);
  EXPECT_EQ(std::u16string(g.legend), u"Graph's legend");
  EXPECT_EQ(g.scaleSide, 1);
  // A security series has no graph: nothing written, success.
  VizorGraphParams untouched{};
  untouched.penWidth = 77;
  ASSERT_EQ(VizorGetGraphParams(chart, security, &untouched, nullptr, 0), 1);
  EXPECT_EQ(untouched.penWidth, 77);
  g.style = 6;
  EXPECT_EQ(VizorSetGraphParams(chart, price, &g, nullptr, 0), 0);
  EXPECT_EQ(get_last_error(), 87u);
  g.style = 11;
  g.colour = 0x123456;
  EXPECT_EQ(VizorSetGraphParams(chart, price, &g, nullptr, 0), 1);
  VizorGraphParams back{};
  VizorGetGraphParams(chart, price, &back, nullptr, 0);
  EXPECT_EQ(back.colour, 0x123456u);
  // Check-only changes nothing, not even the graph block.
  g.colour = 0x654321;
  EXPECT_EQ(series(price).setParams(&g, nullptr, 0, 1, 1), 1);
  VizorGetGraphParams(chart, price, &back, nullptr, 0);
  EXPECT_EQ(back.colour, 0x123456u);
  // Bad arguments at the entry.
  char block[4];
  EXPECT_EQ(VizorGetGraphParams(chart, price, nullptr, nullptr, 0), 0);
  EXPECT_EQ(VizorGetGraphParams(chart, price, &g, nullptr, 4), 0);
  EXPECT_EQ(VizorSetGraphParams(chart, price, &g, block, -1), 0);
  EXPECT_EQ(VizorSetGraphParams(chart, 99, &g, nullptr, 0), 0);
  EXPECT_EQ(get_last_error(), 87u);
}

TEST_F(ChartFixture, PercentOfBaseAppliesToPriceAndVolume) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  const int32_t volume = VizorAddGraph(chart, security, 2, pane);
  const FILETIME t = at(20090304, 100000);
  VizorAddOHLCV(chart, security, &t, 100, 110, 95, 105, 200, 1);
  VizorGraphParams g = defaultGraphParams();
  g.percentMode = 1;
  g.percentBase = 100.0;
  ASSERT_EQ(VizorSetGraphParams(chart, price, &g, nullptr, 0), 1);
  const DataPoint& p = series(price).points()[0];
  EXPECT_DOUBLE_EQ(p.close, 5.0);
  EXPECT_DOUBLE_EQ(p.low, -5.0);
  EXPECT_DOUBLE_EQ(p.volume, 100.0);  // (200 - 100) / 100 * 100
  ASSERT_EQ(VizorSetGraphParams(chart, volume, &g, nullptr, 0), 1);
  EXPECT_DOUBLE_EQ(series(volume).points()[0].close, 100.0);
  EXPECT_DOUBLE_EQ(series(volume).points()[0].volume, 1.0);
  g.percentBase = 1e-8;  // |base| below 1e-7: every value 0, volume 1
  ASSERT_EQ(VizorSetGraphParams(chart, price, &g, nullptr, 0), 1);
  EXPECT_EQ(p.close, 0.0);
  EXPECT_EQ(p.volume, 1.0);
}

TEST_F(ChartFixture, TradingHoursFilter) {
  CDataCommon& s = series(security);
  DataPoint p = makeEmptyPoint(at(20090304, 190000), 0);
  p.valid = 1;
  p.volume = 0.0;
  EXPECT_EQ(s.pointPasses(&p), 0);  // without volume never
  p.volume = 1.0;
  EXPECT_EQ(s.pointPasses(&p), 1);
  VizorChartParams c = params();
  c.mode = VIZOR_MODE_DAY_RANGE, c.interval = 5, c.from = at(20090101, 93000), c.to = at(20090101, 184500);
  ASSERT_EQ(VizorSetChartParams(chart, &c), 1);
  EXPECT_EQ(s.pointPasses(&p), 0);
  c.to = at(20090601, 0);
  ASSERT_EQ(VizorSetChartParams(chart, &c), 1);
  EXPECT_EQ(s.pointPasses(&p), 1);
  p.valid = 0;
  EXPECT_EQ(s.pointPasses(&p), 0);
}

TEST_F(ChartFixture, SetPointValuesReportsChangesAndReplacesExtraData) {
  bar(at(20090304, 100000), 10);
  CDataCommon& s = series(security);
  const char extra[3] = {1, 2, 3};
  EXPECT_EQ(s.setPointValues(0, 10, 11, 10, 11, 10, extra, 3), 0);  // same values
  ASSERT_EQ(s.points()[0].extraSize, 3);
  EXPECT_EQ(static_cast<const char*>(s.points()[0].extra)[2], 3);
  EXPECT_EQ(s.setPointValues(0, 10, 12, 10, 11, 10, nullptr, 0), 1);
  EXPECT_EQ(s.points()[0].extraSize, 3);  // no new block: the old one stays
  EXPECT_EQ(s.setPointValues(5, 1, 1, 1, 1, 1, nullptr, 0), 0);
}

TEST_F(ChartFixture, ValuesAtTimeFindsTheBarOfTheInterval) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  setInterval(5);
  bar(at(20090304, 100500), 10);
  bar(at(20090304, 101000), 20);
  VizorPointValues values[2];
  VizorCandleQuery query{0, 0, values};
  ASSERT_EQ(VizorGetCandleEx(chart, price, 20090304, 101237, &query), 1);
  EXPECT_EQ(query.lineCount, 1);
  EXPECT_EQ(query.timeOfDay, 101000);
  EXPECT_EQ(values[0].open, 20.0);
  EXPECT_EQ(std::u16string(values[0].legend), u"Graph's legend");
  set_last_error(0);
  EXPECT_EQ(VizorGetCandleEx(chart, price, 20090304, 120000, &query), 0);
  EXPECT_EQ(get_last_error(), 1168u);
  // A graph shift of 1 reports the valid bar before.
  VizorGraphParams g = defaultGraphParams();
  g.shiftFlag = 1, g.shift = 1;
  VizorSetGraphParams(chart, price, &g, nullptr, 0);
  ASSERT_EQ(VizorGetCandleEx(chart, price, 20090304, 101237, &query), 1);
  EXPECT_EQ(values[0].open, 10.0);
  EXPECT_EQ(VizorGetCandleEx(chart, price, 20090304, 100500, &query), 0);  // leads off the series
  VizorCandleQuery noArray{0, 0, nullptr};
  EXPECT_EQ(VizorGetCandleEx(chart, price, 20090304, 101237, &noArray), 0);
  EXPECT_EQ(get_last_error(), 87u);
}

TEST_F(ChartFixture, WeekBarsAreStampedOnSunday) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  setInterval(-2);
  bar(at(20090305, 101237), 10);  // a Thursday
  ASSERT_EQ(barCount(), 1);
  EXPECT_TRUE(sameFileTime(barTime(0), at(20090301)));
  VizorPointValues values[1];
  VizorCandleQuery query{0, 0, values};
  EXPECT_EQ(VizorGetCandleEx(chart, price, 20090307, 120000, &query), 1);  // the Saturday of that week
  EXPECT_EQ(query.timeOfDay, 0);
}

TEST_F(ChartFixture, LineCountAndPreviousPrice) {
  int32_t count = 0;
  ASSERT_EQ(VizorGetLineCount(chart, security, &count), 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(VizorGetLineCount(chart, security, nullptr), 0);
  EXPECT_EQ(VizorGetLineCount(chart, 9, &count), 0);
  EXPECT_EQ(object().findSeries(security)->previousPrice(), -1.0);
  EXPECT_EQ(VizorSetPrevPrice(chart, security, 12.5), 1);
  EXPECT_EQ(object().findSeries(security)->previousPrice(), 12.5);
  EXPECT_EQ(VizorSetPrevPrice(chart, 9, 1.0), 0);
  EXPECT_EQ(get_last_error(), 87u);
}

TEST_F(ChartFixture, RedrawRecalculatesOneOrEverySeries) {
  const int32_t price = VizorAddGraph(chart, security, 1, pane);
  bar(at(20090304, 100000), 10, 0);
  EXPECT_EQ(series(price).isPointEmpty(0), 1);
  EXPECT_EQ(VizorRedraw(chart, 999), 1);
  EXPECT_EQ(series(price).isPointEmpty(0), 1);
  EXPECT_EQ(VizorRedraw(chart, 0), 1);
  EXPECT_EQ(series(price).isPointEmpty(0), 0);
}

TEST_F(ChartFixture, FiftySecuritySeriesAtMost) {
  for (int i = 1; i < VIZOR_MAX_SECURITY_SERIES; ++i) ASSERT_NE(VizorAddGraphData(chart), 0);
  set_last_error(0);
  EXPECT_EQ(VizorAddGraphData(chart), 0);
  EXPECT_EQ(get_last_error(), 1381u);
  // Derived series have their own, wider bound.
  EXPECT_NE(VizorAddGraph(chart, security, 1, pane), 0);
}

}  // namespace
}  // namespace kelda::chart::testing

namespace kelda::chart::testing {
namespace {

TEST_F(ChartFixture, DoubleTapReportsTheOutermostOwner) {
  CData& outer = *object().findSeries(VizorAddGraph(chart, security, 1, pane));
  CData& middle = *object().findSeries(VizorAddGraph(chart, security, 2, pane));
  CData& line = *object().findSeries(VizorAddGraph(chart, security, 2, pane));
  line.setOwnerId(middle.id());
  middle.setOwnerId(outer.id());
  EXPECT_EQ(object().outermostOwner(line.id()), outer.id());
  EXPECT_EQ(object().outermostOwner(outer.id()), outer.id());
  EXPECT_EQ(object().outermostOwner(99), 99);
}

TEST(WideText, CopiesAtMostNMinusOneAndTerminates) {
  char16_t out[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(copyWideText(out, u"abcdef", 4), out);
  EXPECT_EQ(std::u16string(out), u"abc");
  EXPECT_EQ(copyWideText(out, nullptr, 4), nullptr);
  EXPECT_EQ(copyWideText(nullptr, u"a", 4), nullptr);
  const char16_t field[2] = {u'p', u'q'};  // no NUL in the field
  copyWideField(out, 4, field, 2);
  EXPECT_EQ(std::u16string(out), u"pq");
}

}  // namespace
}  // namespace kelda::chart::testing
