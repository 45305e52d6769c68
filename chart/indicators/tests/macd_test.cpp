// The price oscillator, MACD with its histogram and the stochastic
// oscillator: tables worked by hand, MACD's default percent form against a
// short reference loop kept here, the parameter checks and the two-line
// read-back (a line without a value says so).
#include "chart/data_macd.h"
#include "chart/data_stochastic.h"
#include "chart/graph.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

VizorMacdParams macd(int32_t fast, int32_t slow, int32_t method, int32_t percent, int32_t signal,
                     int32_t signalMethod) {
  VizorMacdParams p;
  p.fastPeriod = fast;
  p.slowPeriod = slow;
  p.method = method;
  p.percent = percent;
  p.signalPeriod = signal;
  p.signalMethod = signalMethod;
  return p;
}

// The exponential average of the moving-average class written out over a
// plain array (NaN: no value): seeded with the first value, each next one
// ((n - 1) * previous + 2 * value) / (n + 1), shown from the n-th value on.
std::vector<double> referenceEma(const std::vector<double>& in, int n) {
  std::vector<double> out(in.size(), kNone);
  double e = kNone;
  int seen = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    if (std::isnan(in[i])) continue;
    e = seen == 0 ? in[i] : ((n - 1) * e + 2.0 * in[i]) / (n + 1);
    if (++seen >= n) out[i] = e;
  }
  return out;
}

TEST_F(IndicatorFixture, PriceOscillatorTables) {
  addCloses({1, 3, 5});
  const int32_t id = addIndicator(CDataPriceOscillator::kTypeCode);
  // Fast 1, slow 2 (simple): the close minus the mean of two closes, then in
  // percent of that mean.
  ASSERT_EQ(setBlock(id, PriceOscParams{1, 2, 1, 4, 0}), 1);
  EXPECT_TRUE(sameValues(values(id), {kNone, 1, 1}));
  ASSERT_EQ(setBlock(id, PriceOscParams{1, 2, 1, 4, 1}), 1);
  EXPECT_TRUE(sameValues(values(id), {kNone, 50, 25}));
  EXPECT_EQ(setBlock(id, PriceOscParams{26, 12, 2, 4, 1}), 0);
  EXPECT_EQ(setBlock(id, PriceOscParams{0, 12, 2, 4, 1}), 0);
  EXPECT_EQ(setBlock(id, PriceOscParams{12, 12, 2, 4, 1}), 1);
  const PriceOscParams back = getBlock<PriceOscParams>(id);
  EXPECT_EQ(back.fastPeriod, 12);
  EXPECT_EQ(back.slowPeriod, 12);
  int32_t lines = 0;
  ASSERT_EQ(VizorGetLineCount(chart, id, &lines), 1);
  EXPECT_EQ(lines, 1);
}

// A slow average of zero has no percent difference (and no division by it).
TEST_F(IndicatorFixture, PriceOscillatorWithAZeroSlowAverageHasNoValue) {
  addCloses({-1, 1, 3});
  const int32_t id = addIndicator(CDataPriceOscillator::kTypeCode);
  ASSERT_EQ(setBlock(id, PriceOscParams{1, 2, 1, 4, 1}), 1);
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, 50}));
}

// Oscillator = close - mean of two closes: -, 1, 2, 1; signal = mean of two
// oscillator values; histogram = their difference.
TEST_F(IndicatorFixture, MacdAndHistogramTables) {
  addCloses({1, 3, 7, 9});
  const int32_t id = addIndicator(CDataMACD::kTypeCode);
  const int32_t histogram = addIndicator(CDataMACDHistogram::kTypeCode);
  const VizorMacdParams block = macd(1, 2, 1, 0, 2, 1);
  ASSERT_EQ(setBlock(id, block), 1);
  ASSERT_EQ(setBlock(histogram, block), 1);
  auto& m = static_cast<CDataMACD&>(series(id));
  EXPECT_TRUE(sameValues(valuesOf(m.oscillator()), {kNone, 1, 2, 1}));
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, 1.5, 1.5}));
  EXPECT_TRUE(sameValues(values(histogram), {kNone, kNone, 0.5, -0.5}));
  const VizorMacdParams back = getBlock<VizorMacdParams>(id);
  EXPECT_EQ(back.signalPeriod, 2);
  EXPECT_EQ(back.signalMethod, 1);
  EXPECT_EQ(back.fastPeriod, 1);
  EXPECT_EQ(std::u16string(back.signalLegend), u"MACD");
  EXPECT_EQ(getBlock<VizorMacdParams>(histogram).slowPeriod, 2);
  int32_t lines = 0;
  ASSERT_EQ(VizorGetLineCount(chart, id, &lines), 1);
  EXPECT_EQ(lines, 2);
  ASSERT_EQ(VizorGetLineCount(chart, histogram, &lines), 1);
  EXPECT_EQ(lines, 1);
  VizorMacdParams bad = block;
  bad.signalPeriod = 0;
  EXPECT_EQ(setBlock(id, bad), 0);
  bad = block;
  bad.fastPeriod = 3;
  EXPECT_EQ(setBlock(histogram, bad), 0);
}

// The defaults: 100 * (EMA12 - EMA26) / EMA26 of the close, signal EMA9 of
// that; reference from the loop above over the same closes.
TEST_F(IndicatorFixture, MacdDefaultsArePercentOfTheSlowAverage) {
  std::vector<double> closes;
  for (int i = 0; i < 60; ++i) closes.push_back(50.0 + (i * 7 % 11) - (i % 5) * 0.5);
  addCloses(closes);
  const int32_t id = addIndicator(CDataMACD::kTypeCode);
  const std::vector<double> fast = referenceEma(closes, 12);
  const std::vector<double> slow = referenceEma(closes, 26);
  std::vector<double> oscillator(closes.size(), kNone);
  for (size_t i = 0; i < closes.size(); ++i) {
    if (!std::isnan(slow[i])) oscillator[i] = (fast[i] - slow[i]) / slow[i] * 100.0;
  }
  auto& m = static_cast<CDataMACD&>(series(id));
  EXPECT_TRUE(sameValues(valuesOf(m.oscillator()), oscillator, 1e-12));
  EXPECT_TRUE(sameValues(values(id), referenceEma(oscillator, 9), 1e-12));
  EXPECT_TRUE(std::isnan(values(id)[32]));
  EXPECT_FALSE(std::isnan(values(id)[33]));
}

// Two records, oscillator first, each the line's close at the bar with
// volume 1.0, also where the signal has no value yet.
TEST_F(IndicatorFixture, MacdReadsBackTwoLinesAndMarksAMissingValue) {
  addCloses({1, 3, 7, 9});
  const int32_t id = addIndicator(CDataMACD::kTypeCode);
  ASSERT_EQ(setBlock(id, macd(1, 2, 1, 0, 2, 1)), 1);
  VizorPointValues records[2]{};
  VizorCandleQuery query{0, 0, records};
  ASSERT_EQ(series(id).valuesAt(barTime(2), &query), 1);
  EXPECT_EQ(query.lineCount, 2);
  EXPECT_EQ(records[0].close, 2.0);
  EXPECT_EQ(records[0].volume, 1.0);
  EXPECT_EQ(std::u16string(records[0].legend), u"Graph's legend");
  EXPECT_EQ(records[1].close, 1.5);
  EXPECT_EQ(std::u16string(records[1].legend), u"MACD");
  records[1].close = 99.0;
  ASSERT_EQ(series(id).valuesAt(barTime(1), &query), 1);
  EXPECT_EQ(records[0].close, 1.0);
  ASSERT_EQ(series(id).points()[1].valid, 0);
  EXPECT_EQ(records[1].close, series(id).points()[1].close);
  EXPECT_EQ(records[1].volume, 1.0);
  EXPECT_EQ(series(id).valuesAt(barTime(0), &query), 0);
}

struct StochasticCase {
  const char* name;
  VizorStochasticParams params;
  std::vector<TestBar> bars;
  std::vector<double> k, d;
};

VizorStochasticParams stochastic(int32_t period, int32_t slowing, int32_t dPeriod, int32_t dMethod) {
  VizorStochasticParams p;
  p.kPeriod = period;
  p.kSlowing = slowing;
  p.dPeriod = dPeriod;
  p.dMethod = dMethod;
  return p;
}

// Worked by hand: bars (close, high, low) (5, 6, 4), (7, 8, 6), (6, 8, 5),
// (5, 6, 5). Period 2: (7 - 4) / (8 - 4), (6 - 5) / (8 - 5), (5 - 5) / (8 - 5);
// slowing 2 sums two such terms: (1 + 3) / (3 + 4), (0 + 1) / (3 + 3).
const std::vector<TestBar> kStochasticBars{{5, 10, 6, 4}, {7, 10, 8, 6}, {6, 10, 8, 5}, {5, 10, 6, 5}};
const StochasticCase kStochasticCases[] = {
    {"period 2", stochastic(2, 1, 2, 1), kStochasticBars, {kNone, 75, 100.0 / 3, 0},
     {kNone, kNone, (75 + 100.0 / 3) / 2, 50.0 / 3}},
    {"slowing 2", stochastic(2, 2, 1, 1), kStochasticBars, {kNone, kNone, 400.0 / 7, 50.0 / 3},
     {kNone, kNone, 400.0 / 7, 50.0 / 3}},
    {"no range: no value", stochastic(2, 1, 1, 1), {{5, 10, 5, 5}, {5, 10, 5, 5}}, {kNone, kNone}, {kNone, kNone}},
    {"single bar", stochastic(1, 1, 1, 1), {{5, 10, 6, 4}}, {50}, {50}},
};

TEST_F(IndicatorFixture, StochasticTables) {
  for (const StochasticCase& c : kStochasticCases) {
    SCOPED_TRACE(c.name);
    VizorClear(chart, security, 1);
    for (size_t i = 0; i < c.bars.size(); ++i) addBar(static_cast<int>(i), c.bars[i]);
    const int32_t id = addIndicator(CDataStochastic::kTypeCode);
    ASSERT_EQ(setBlock(id, c.params), 1);
    EXPECT_TRUE(sameValues(valuesOf(static_cast<CDataStochastic&>(series(id)).percentK()), c.k));
    EXPECT_TRUE(sameValues(values(id), c.d));
    VizorDeleteGraph(chart, id);
  }
}

TEST_F(IndicatorFixture, StochasticParametersAndLines) {
  for (const TestBar& b : kStochasticBars) addBar(static_cast<int>(&b - kStochasticBars.data()), b);
  const int32_t id = addIndicator(CDataStochastic::kTypeCode);
  const VizorStochasticParams defaults = getBlock<VizorStochasticParams>(id);
  EXPECT_EQ(defaults.kPeriod, 9);
  EXPECT_EQ(defaults.dPeriod, 3);
  EXPECT_EQ(std::u16string(defaults.dLegend), u"%D Stochastic Oscillator");
  EXPECT_EQ(setBlock(id, stochastic(0, 3, 3, 2)), 0);
  EXPECT_EQ(setBlock(id, stochastic(9, 0, 3, 2)), 0);
  EXPECT_EQ(setBlock(id, stochastic(9, 3, 0, 2)), 0);
  ASSERT_EQ(setBlock(id, stochastic(2, 1, 2, 1)), 1);
  int32_t lines = 0;
  ASSERT_EQ(VizorGetLineCount(chart, id, &lines), 1);
  EXPECT_EQ(lines, 2);
  VizorPointValues records[2]{};
  VizorCandleQuery query{0, 0, records};
  ASSERT_EQ(series(id).valuesAt(barTime(1), &query), 1);
  EXPECT_EQ(records[0].close, 75.0);
  EXPECT_EQ(records[1].close, series(id).points()[1].close);
  EXPECT_EQ(records[1].volume, 1.0);
  ASSERT_EQ(series(id).valuesAt(barTime(3), &query), 1);
  EXPECT_DOUBLE_EQ(records[1].close, 50.0 / 3);
  EXPECT_EQ(std::u16string(records[1].legend), u"%D Stochastic Oscillator");
  // %K's graph shows the legend; %D's does not.
  auto& s = static_cast<CDataStochastic&>(series(id));
  ASSERT_NE(s.percentK().getGraph(), nullptr);
  EXPECT_TRUE(s.percentK().getGraph()->legendShown());
  EXPECT_FALSE(s.getGraph()->legendShown());
}

}  // namespace
}  // namespace kelda::chart::testing
