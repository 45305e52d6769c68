// The momentum oscillators, the trend filters and the volatility series:
// tables worked by hand from each indicator's own formula (noted beside each
// table where it differs from the textbook form), their parameter checks and
// the fault cases (zero references, a stale mean deviation).
#include "chart/data_cci.h"
#include "chart/data_momentum.h"
#include "chart/data_rsi.h"
#include "chart/data_trend_filter.h"
#include "chart/data_volatility.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

struct OscillatorCase {
  const char* name;
  int32_t type;
  std::vector<int32_t> block;  // the class's int32 block; empty: the defaults
  std::vector<TestBar> bars;   // volume 0: a bar that does not pass
  std::vector<double> want;
};

constexpr TestBar kGap{1.0, 0.0};

std::vector<TestBar> closes(std::initializer_list<double> list) {
  std::vector<TestBar> out;
  for (double c : list) out.push_back(std::isnan(c) ? kGap : TestBar{c});
  return out;
}

// Worked by hand. Bars are close +- 1 unless given.
const OscillatorCase kCases[] = {
    // The seed of each half is the mean of the first n - 1 moves (not of n
    // as in the textbook); then (move + (n - 1) * previous) / n.
    // up 1.5, 1, 2/3; down 0, 1/3, 2/9.
    {"RSI 3", CDataRSI::kTypeCode, {3, 4}, closes({1, 2, 4, 3, 3}), {kNone, kNone, 100, 75, 75}},
    {"RSI 3 over a gap", CDataRSI::kTypeCode, {3, 4}, closes({1, kNone, 2, 4, 3}), {kNone, kNone, kNone, 100, 75}},
    {"RSI flat price", CDataRSI::kTypeCode, {2, 4}, closes({5, 5, 5, 5}), {kNone, kNone, kNone, kNone}},
    {"RSI single bar", CDataRSI::kTypeCode, {2, 4}, closes({5}), {kNone}},
    // price / price n bars back * 100; a zero reference gives 100.
    {"momentum 2", CDataMom::kTypeCode, {2, 4}, closes({0, 2, 4, 6}), {kNone, kNone, 100, 300}},
    {"momentum 2 over a gap", CDataMom::kTypeCode, {2, 4}, closes({2, kNone, 4, 6}), {kNone, kNone, kNone, 300}},
    {"momentum single bar", CDataMom::kTypeCode, {1, 4}, closes({5}), {kNone}},
    // A zero reference leaves the bar without a value.
    {"rate of change 1", CDataROC::kTypeCode, {1, 4}, closes({0, 2, 3, 3}), {kNone, kNone, 50, 0}},
    {"rate of change over a gap", CDataROC::kTypeCode, {1, 4}, closes({2, kNone, 3}), {kNone, kNone, 50}},
    {"rate of change period 0", CDataROC::kTypeCode, {0, 4}, closes({2, 3}), {kNone, kNone}},
    // Average of period 1: the close itself; 4/2, 0/4, then a zero reference.
    {"smoothed rate of change", CDataSROC::kTypeCode, {1, 1, 1, 4}, closes({2, 4, 0, 5}), {kNone, 200, 0, kNone}},
    // The current move only: +100 after a rise, -100 after a fall, 0 flat.
    {"CMO 1", CDataCMO::kTypeCode, {1, 4}, closes({1, 3, 2, 2}), {kNone, 100, -100, 0}},
    // (up - down) * 100 / (up + down) over two moves: (2 - 1) / 3, (0 - 1) / 1, (3 - 0) / 3.
    {"CMO 2", CDataCMO::kTypeCode, {2, 4}, closes({1, 3, 2, 2, 5}), {kNone, kNone, 100.0 / 3, -100, 100}},
    // Bar and the two passing bars before it: (4 - 3) / (4 - 0), (4 - 2) / (4 - 1).
    {"Williams 2", CDataWilliams::kTypeCode, {2}, closes({1, 2, 3, 2}), {kNone, kNone, -25, -200.0 / 3}},
    {"Williams flat range",
     CDataWilliams::kTypeCode,
     {1},
     {{5, 10, 5, 5}, {5, 10, 5, 5}},
     {kNone, 0}},
    {"Williams close at the low",
     CDataWilliams::kTypeCode,
     {1},
     {{5, 10, 6, 4}, {4, 10, 5, 4}},
     {kNone, -100}},
    // (highest - lowest of the later prices) / sum of |changes|: bar 2
    // (3 - 2) / (1 + 2); bar 3 (2 - 2) / 1; bar 4 has no change at all.
    {"VHF 2", CDataVHFilter::kTypeCode, {2, 4}, closes({1, 3, 2, 2, 2}), {kNone, kNone, 1.0 / 3, 0, kNone}},
    // A pair with a failing bar is stepped over: bar 3 runs into bar 0.
    {"VHF 2 over a gap", CDataVHFilter::kTypeCode, {2, 4}, closes({1, 3, kNone, 2, 4}),
     {kNone, kNone, kNone, kNone, 0.25}},
    {"VHF period 0", CDataVHFilter::kTypeCode, {0, 4}, closes({1, 3}), {kNone, kNone}},
    {"volatility copies the close", CDataVolatility::kTypeCode, {}, closes({1, kNone, 3}), {1, kNone, 3}},
    // Ranges 2, 4, 6, 0; their simple average of 2: -, 3, 5, 3; change
    // against the previous average in percent.
    {"Chaikin volatility 2",
     CDataChaikinVolat::kTypeCode,
     {2, 1},
     {{10, 10, 11, 9}, {10, 10, 12, 8}, {10, 10, 13, 7}, {10, 10, 10, 10}},
     {kNone, kNone, 200.0 / 3, -40}},
    // A reference of exactly 0 shows 0; a tiny one that is not 0 gives no
    // value rather than a change blown up by the division.
    {"Chaikin volatility zero reference",
     CDataChaikinVolat::kTypeCode,
     {2, 1},
     {{10, 10, 10, 10}, {10, 10, 10, 10}, {10, 10, 11, 9}},
     {kNone, kNone, 0}},
    {"Chaikin volatility tiny reference",
     CDataChaikinVolat::kTypeCode,
     {2, 1},
     {{0, 10, 1e-8, 0}, {0, 10, 1e-8, 0}, {10, 10, 11, 9}},
     {kNone, kNone, kNone}},
    // Typical price = close; average 2: -, 2, 4, 5; mean deviation 1, 1, 0;
    // (3 - 2) / 0.015, (5 - 4) / 0.015, then no value for a zero deviation.
    {"CCI 2", CDataCCI::kTypeCode, {2, 1, 4}, closes({1, 3, 5, 5}), {kNone, 200.0 / 3, 200.0 / 3, kNone}},
    {"CCI single bar", CDataCCI::kTypeCode, {1, 1, 4}, closes({5}), {kNone}},
};

TEST_F(IndicatorFixture, OscillatorsMatchHandWorkedTables) {
  for (const OscillatorCase& c : kCases) {
    SCOPED_TRACE(c.name);
    VizorClear(chart, security, 1);
    for (size_t i = 0; i < c.bars.size(); ++i) addBar(static_cast<int>(i), c.bars[i]);
    const int32_t id = addIndicator(c.type);
    if (!c.block.empty()) {
      VizorGraphParams graph{};
      std::vector<int32_t> old(c.block.size());
      const int size = static_cast<int>(c.block.size() * sizeof(int32_t));
      ASSERT_EQ(VizorGetGraphParams(chart, id, &graph, old.data(), size), 1);
      ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, c.block.data(), size), 1);
    }
    EXPECT_TRUE(sameValues(values(id), c.want));
    VizorDeleteGraph(chart, id);
  }
}

TEST_F(IndicatorFixture, OscillatorParametersAreChecked) {
  addCloses({1, 2, 3});
  const int32_t rsi = addIndicator(CDataRSI::kTypeCode);
  EXPECT_EQ(getBlock<RsiParams>(rsi).period, 9);
  EXPECT_EQ(setBlock(rsi, RsiParams{1, 4}), 0);
  EXPECT_EQ(setBlock(rsi, RsiParams{3, 7}), 0);
  EXPECT_EQ(getBlock<RsiParams>(rsi).period, 9);
  EXPECT_EQ(static_cast<CDataRSI&>(series(rsi)).up().points().size(), 3);
  const int32_t cmo = addIndicator(CDataCMO::kTypeCode);
  EXPECT_EQ(getBlock<MomentumParams>(cmo).period, 2);
  EXPECT_EQ(setBlock(cmo, MomentumParams{0, 4}), 0);
  const int32_t williams = addIndicator(CDataWilliams::kTypeCode);
  EXPECT_EQ(setBlock(williams, int32_t{-3}), 1);
  EXPECT_TRUE(sameValues(values(williams), {kNone, kNone, kNone}));
  const int32_t sroc = addIndicator(CDataSROC::kTypeCode);
  EXPECT_EQ(setBlock(sroc, SrocParams{5, 0, 2, 4}), 0);
  EXPECT_EQ(setBlock(sroc, SrocParams{5, 10, 6, 4}), 0);
  const int32_t cci = addIndicator(CDataCCI::kTypeCode);
  const MaParams cciDefaults = getBlock<MaParams>(cci);
  EXPECT_EQ(cciDefaults.period, 9);
  EXPECT_EQ(cciDefaults.method, 2);
  EXPECT_EQ(setBlock(cci, MaParams{3, 4, 4}), 0);
  const int32_t chaikin = addIndicator(CDataChaikinVolat::kTypeCode);
  EXPECT_EQ(getBlock<ChaikinVolatParams>(chaikin).period, 10);
  EXPECT_EQ(setBlock(chaikin, ChaikinVolatParams{0, 2}), 0);
  const int32_t vhf = addIndicator(CDataVHFilter::kTypeCode);
  EXPECT_EQ(getBlock<VhFilterParams>(vhf).period, 28);
}

// Percent of a base value: momentum recomputes from bar 0 and transforms
// every valid point; RSI transforms each point as it is computed. A bar added
// later is transformed like the others.
TEST_F(IndicatorFixture, PercentModeTransformsEveryValue) {
  addCloses({0, 2, 4, 6});
  struct PercentCase {
    int32_t type;
    std::vector<int32_t> block;
    double base;
    std::vector<double> want;
  };
  // Momentum 2: 100, 300, then 8 / 4 * 100 = 200, against a base of 100;
  // RSI 2 over rises only: 100 against a base of 25.
  const PercentCase cases[] = {
      {CDataMom::kTypeCode, {2, 4}, 100.0, {kNone, kNone, 0, 200, 100}},
      {CDataRSI::kTypeCode, {2, 4}, 25.0, {kNone, 300, 300, 300, 300}},
  };
  for (const PercentCase& c : cases) {
    SCOPED_TRACE(c.type);
    const int32_t id = addIndicator(c.type);
    VizorGraphParams graph{};
    std::vector<int32_t> old(c.block.size());
    const int size = static_cast<int>(c.block.size() * sizeof(int32_t));
    ASSERT_EQ(VizorGetGraphParams(chart, id, &graph, old.data(), size), 1);
    graph.percentMode = 1;
    graph.percentBase = c.base;
    ASSERT_EQ(VizorSetGraphParams(chart, id, &graph, c.block.data(), size), 1);
    if (c.type == CDataMom::kTypeCode) addBar(4, TestBar{8});
    EXPECT_TRUE(sameValues(values(id), c.want));
  }
}

// A parameter change of the CCI takes effect at once: the mean deviation
// is recomputed with the new period before the index reads it.
TEST_F(IndicatorFixture, CciParameterChangeIsRightAtOnce) {
  addCloses({1, 3, 5, 5});
  const int32_t cci = addIndicator(CDataCCI::kTypeCode);
  ASSERT_EQ(setBlock(cci, MaParams{3, 1, 4}), 1);
  ASSERT_EQ(setBlock(cci, MaParams{2, 1, 4}), 1);
  EXPECT_TRUE(sameValues(values(cci), {kNone, 200.0 / 3, 200.0 / 3, kNone}));
  addBar(4, TestBar{7});
  // Average 6, deviation 1: (7 - 6) / 0.015.
  EXPECT_TRUE(sameValues(values(cci), {kNone, 200.0 / 3, 200.0 / 3, kNone, 200.0 / 3}));
}

// Redrawing an RSI directly, or the whole chart, or rebuilding it through
// new chart parameters leaves the two-input cycle in step: the next bar
// still updates it.
TEST_F(IndicatorFixture, RsiStaysInStepAfterDirectRedrawsAndRebuilds) {
  addCloses({1, 2, 4, 3});
  const int32_t rsi = addIndicator(CDataRSI::kTypeCode);
  ASSERT_EQ(setBlock(rsi, RsiParams{3, 4}), 1);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(VizorRedraw(chart, rsi), 1);
    ASSERT_EQ(VizorRedraw(chart, 0), 1);
  }
  VizorChartParams p = params();
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  addBar(4, TestBar{3});
  EXPECT_TRUE(sameValues(values(rsi), {kNone, kNone, 100, 75, 75}));
}

}  // namespace
}  // namespace kelda::chart::testing
