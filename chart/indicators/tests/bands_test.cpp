// The standard deviation and the Bollinger bands: hand-worked tables, the
// parameter checks, the composite's wiring and incremental updates against
// a full recalculation.
#include <cstring>

#include "chart/data_bollinger.h"
#include "chart/data_elder_ray.h"
#include "chart/data_envelopes.h"
#include "chart/data_macd.h"
#include "chart/graph.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

BollingerParams bands(float k, int32_t period, int32_t method) {
  BollingerParams p;
  p.k = k;
  p.period = period;
  p.method = method;
  p.upperStyle = p.lowerStyle = 1;  // a solid line: the band's graph checks it
  return p;
}

struct BandCase {
  const char* name;
  BollingerParams params;
  std::vector<double> closes;  // NaN: a bar that does not pass
  std::vector<double> middle, deviation, upper, lower;
};

// Worked by hand: mean of the last n closes, sqrt of the mean squared
// distance from it, middle +- k * deviation.
const BandCase kBandCases[] = {
    {"period 2",
     bands(2.0f, 2, 1),
     {1, 3, 5},
     {kNone, 2, 4},
     {kNone, 1, 1},
     {kNone, 4, 6},
     {kNone, 0, 2}},
    {"flat price: three lines coincide",
     bands(2.0f, 3, 1),
     {7, 7, 7, 7},
     {kNone, kNone, 7, 7},
     {kNone, kNone, 0, 0},
     {kNone, kNone, 7, 7},
     {kNone, kNone, 7, 7}},
    {"gap skipped",
     bands(1.0f, 2, 1),
     {1, kNone, 3, 5},
     {kNone, kNone, 2, 4},
     {kNone, kNone, 1, 1},
     {kNone, kNone, 3, 5},
     {kNone, kNone, 1, 3}},
    {"k 0: identical lines",
     bands(0.0f, 2, 1),
     {1, 3},
     {kNone, 2},
     {kNone, 1},
     {kNone, 2},
     {kNone, 2}},
    {"single bar", bands(2.0f, 1, 1), {4}, {4}, {0}, {4}, {4}},
};

TEST_F(IndicatorFixture, BollingerBandsMatchHandWorkedTables) {
  for (const BandCase& c : kBandCases) {
    SCOPED_TRACE(c.name);
    VizorClear(chart, security, 1);
    addCloses(c.closes);
    const int32_t id = addIndicator(CDataBolLines::kTypeCode);
    ASSERT_EQ(setBlock(id, c.params), 1);
    auto& composite = static_cast<CDataBolLines&>(series(id));
    EXPECT_TRUE(sameValues(values(id), c.middle));
    EXPECT_TRUE(sameValues(valuesOf(composite.upper()), c.upper));
    EXPECT_TRUE(sameValues(valuesOf(composite.lower()), c.lower));
    const int32_t dev = addIndicator(CDataStandardDev::kTypeCode);
    ASSERT_EQ(setBlock(dev, StandardDevParams{c.params.period, 4}), 1);
    EXPECT_TRUE(sameValues(values(dev), c.deviation));
    VizorDeleteGraph(chart, dev);
    VizorDeleteGraph(chart, id);
  }
}

TEST_F(IndicatorFixture, BollingerReportsThreeLinesAtABar) {
  addCloses({1, 3, 5});
  const int32_t id = addIndicator(CDataBolLines::kTypeCode);
  ASSERT_EQ(setBlock(id, bands(2.0f, 2, 1)), 1);
  int32_t lines = 0;
  ASSERT_EQ(VizorGetLineCount(chart, id, &lines), 1);
  EXPECT_EQ(lines, 3);
  VizorPointValues values[3]{};
  VizorCandleQuery query{0, 0, values};
  ASSERT_EQ(series(id).valuesAt(barTime(2), &query), 1);
  EXPECT_EQ(query.lineCount, 3);
  EXPECT_DOUBLE_EQ(values[0].close, 4.0);
  EXPECT_DOUBLE_EQ(values[1].close, 6.0);
  EXPECT_DOUBLE_EQ(values[2].close, 2.0);
  EXPECT_EQ(values[1].volume, 1.0);
}

TEST_F(IndicatorFixture, BollingerParametersAreCheckedBeforeAnythingChanges) {
  addCloses({1, 3, 5});
  const int32_t id = addIndicator(CDataBolLines::kTypeCode);
  ASSERT_EQ(setBlock(id, bands(2.0f, 2, 1)), 1);
  VizorGraphParams graph{};
  BollingerParams block{};
  ASSERT_EQ(VizorGetGraphParams(chart, id, &graph, &block, sizeof(block)), 1);
  EXPECT_EQ(VizorSetGraphParams(chart, id, &graph, &block, 295), 0);
  for (const BollingerParams& bad : {bands(2.0f, 0, 1), bands(2.0f, 3, 6)}) {
    EXPECT_EQ(setBlock(id, bad), 0);
  }
  EXPECT_EQ(getBlock<BollingerParams>(id).period, 2);
  EXPECT_TRUE(sameValues(values(id), {kNone, 2, 4}));
  const int32_t dev = addIndicator(CDataStandardDev::kTypeCode);
  EXPECT_EQ(setBlock(dev, StandardDevParams{0, 4}), 0);
  EXPECT_EQ(setBlock(dev, StandardDevParams{3, 7}), 0);
  EXPECT_EQ(getBlock<StandardDevParams>(dev).period, 20);
}

TEST_F(IndicatorFixture, DeletingABandDeletesTheWholeIndicator) {
  addCloses({1, 3, 5});
  const size_t before = object().seriesList().size();
  const int32_t id = addIndicator(CDataBolLines::kTypeCode);
  auto& composite = static_cast<CDataBolLines&>(series(id));
  ASSERT_NE(composite.upper().getGraph(), nullptr);
  EXPECT_FALSE(composite.upper().getGraph()->legendShown());
  ASSERT_EQ(VizorDeleteGraph(chart, composite.upper().id()), 1);
  EXPECT_EQ(object().seriesList().size(), before);
}

// Bars arriving in any order, changing, with gaps: the bands after every
// update equal those of a full recalculation, which equal those of a fresh
// indicator.
TEST_F(IndicatorFixture, BandsIncrementalUpdatesEqualFullRecalculation) {
  const int32_t simple = addIndicator(CDataBolLines::kTypeCode);
  ASSERT_EQ(setBlock(simple, bands(2.0f, 5, 1)), 1);
  const int32_t exponential = addIndicator(CDataBolLines::kTypeCode);
  ASSERT_EQ(setBlock(exponential, bands(1.5f, 3, 2)), 1);
  std::mt19937 random(104);
  int latest = -1;
  for (int step = 0; step < 300; ++step) {
    int m = random() % 3 == 0 ? static_cast<int>(random() % 100) : std::min(latest + 1, 99);
    latest = std::max(latest, m);
    addBar(m, TestBar{static_cast<double>(random() % 40) + 1.0, random() % 8 == 0 ? 0.0 : 5.0});
  }
  auto lines = [&](int32_t id) {
    auto& c = static_cast<CDataBolLines&>(series(id));
    return std::vector<std::vector<double>>{values(id), valuesOf(c.upper()), valuesOf(c.lower())};
  };
  const auto simpleBefore = lines(simple);
  const auto exponentialBefore = lines(exponential);
  ASSERT_EQ(VizorRedraw(chart, 0), 1);
  for (int r = 0; r < 3; ++r) {
    EXPECT_TRUE(sameValues(lines(simple)[r], simpleBefore[r], 0.0)) << r;
    EXPECT_TRUE(sameValues(lines(exponential)[r], exponentialBefore[r], 0.0)) << r;
  }
  const int32_t fresh = addIndicator(CDataBolLines::kTypeCode);
  ASSERT_EQ(setBlock(fresh, bands(2.0f, 5, 1)), 1);
  for (int r = 0; r < 3; ++r) EXPECT_TRUE(sameValues(lines(fresh)[r], simpleBefore[r], 0.0)) << r;
}

// The middle lines that are price series over an average (and the MACD
// histogram, over the difference) take the percent conversion in all five
// values: the average's volume 1.0 becomes (1 - base) / |base| * 100.
TEST_F(IndicatorFixture, MiddleLinesConvertTheirVolumeToPercentToo) {
  std::vector<double> closes;
  for (int i = 0; i < 40; ++i) closes.push_back(10.0 + i % 7);
  addCloses(closes);
  struct Middle {
    int32_t type;
    std::vector<uint8_t> block;
  };
  auto bytes = [](const auto& block) {
    std::vector<uint8_t> out(sizeof(block));
    std::memcpy(out.data(), &block, sizeof(block));
    return out;
  };
  for (const Middle& m : {Middle{CDataBolLines::kTypeCode, bytes(bands(2.0f, 5, 1))},
                          Middle{CDataEnvelops::kTypeCode, bytes(EnvelopesParams{})},
                          Middle{CDataElderRay::kTypeCode, bytes(ElderRayParams{})},
                          Middle{CDataMACDHistogram::kTypeCode, bytes(VizorMacdParams{})}}) {
    SCOPED_TRACE(m.type);
    const int32_t id = addIndicator(m.type);
    std::vector<uint8_t> block = m.block;
    const int32_t size = static_cast<int32_t>(block.size());
    VizorGraphParams graph = ownGraphBlock(id);
    ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, block.data(), size), 1);
    const std::vector<double> plain = values(id);
    graph.percentMode = 1;
    graph.percentBase = 4.0;
    ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, block.data(), size), 1);
    int shown = 0;
    for (int32_t i = 0; i < series(id).points().size(); ++i) {
      const DataPoint& p = series(id).points()[i];
      if (!p.valid) continue;
      ++shown;
      EXPECT_DOUBLE_EQ(p.close, (plain[i] - 4.0) / 4.0 * 100.0) << i;
      EXPECT_EQ(p.open, p.close);
      EXPECT_DOUBLE_EQ(p.volume, -75.0) << i;
    }
    EXPECT_GT(shown, 0);
    if (m.type == CDataBolLines::kTypeCode || m.type == CDataEnvelops::kTypeCode) {
      // Read back, the middle line is the average itself.
      VizorPointValues records[3]{};
      VizorCandleQuery query{0, 0, records};
      ASSERT_EQ(series(id).valuesAt(barTime(39), &query), 1);
      EXPECT_DOUBLE_EQ(records[0].close, plain[39]);
      EXPECT_EQ(records[0].volume, 1.0);
    }
    VizorDeleteGraph(chart, id);
  }
}

// A direct request of a two-input series computes at once, and the cycle
// stays in step afterwards: the next bar still updates it.
TEST_F(IndicatorFixture, DirectRedrawOfATwoInputSeriesStaysInStep) {
  addCloses({1, 3, 5});
  const int32_t dev = addIndicator(CDataStandardDev::kTypeCode);
  ASSERT_EQ(setBlock(dev, StandardDevParams{2, 4}), 1);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(VizorRedraw(chart, dev), 1);
    ASSERT_EQ(VizorRedraw(chart, 0), 1);
  }
  VizorChartParams p = params();
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  addBar(3, TestBar{9});
  EXPECT_TRUE(sameValues(values(dev), {kNone, 1, 1, 2}));
}

}  // namespace
}  // namespace kelda::chart::testing
