// Moving averages and the series built from them: hand-worked tables, a
// short reference calculation over random bars, and incremental updates
// against a full recalculation.
#include <algorithm>
#include <memory>

#include "chart/data_aux.h"
#include "chart/data_ma.h"
#include "chart/data_trix.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

// The reference: the four methods written out directly over a plain array
// of closes and volumes (volume 0: the bar does not pass).
std::vector<double> referenceMa(const std::vector<TestBar>& bars, const MaParams& m) {
  const int n = m.period;
  std::vector<double> out(bars.size(), kNone);
  double previous = kNone;
  auto passes = [&](int k) { return bars[k].volume != 0.0; };
  auto last = [&](int i, int count, double* sum, double* weighted, double* volume) {
    int taken = 0;
    for (int k = i; k >= 0 && taken < count; --k) {
      if (!passes(k)) continue;
      *sum += bars[k].close;
      *weighted += bars[k].close * bars[k].volume;
      *volume += bars[k].volume;
      ++taken;
    }
    return taken;
  };
  for (int i = 0; i < static_cast<int>(bars.size()); ++i) {
    if (i < n - 1 || !passes(i)) continue;
    int before = 0;
    for (int k = 0; k < i; ++k) before += passes(k) ? 1 : 0;
    double sum = 0, weighted = 0, volume = 0;
    const int taken = last(i, n, &sum, &weighted, &volume);
    double v = kNone;
    if (m.method == 1 && taken == n) v = sum / n;
    if (m.method == 3 && taken == n) v = weighted / volume;
    if (m.method == 2) {
      if (!std::isnan(previous)) {
        v = ((n - 1) * previous + 2.0 * bars[i].close) / (n + 1);
      } else if (before >= n - 1) {
        bool seeded = false;
        for (int k = 0; k <= i; ++k) {
          if (!passes(k)) continue;
          v = seeded ? ((n - 1) * v + 2.0 * bars[k].close) / (n + 1) : bars[k].close;
          seeded = true;
        }
      }
    }
    if (m.method == 4) {
      if (!std::isnan(previous)) {
        v = (sum - previous + bars[i].close) / n;
      } else if (before >= n - 1) {
        double all = 0;
        for (int k = 0; k <= i; ++k) all += passes(k) ? bars[k].close : 0.0;
        v = all / n;
      }
    }
    out[i] = v;
    if (!std::isnan(v)) previous = v;
  }
  return out;
}

struct MaCase {
  const char* name;
  MaParams params;
  std::vector<TestBar> bars;
  std::vector<double> want;
};

// Worked by hand from the method definitions.
const MaCase kMaCases[] = {
    {"simple 3", {3, 1, 4}, {{1}, {2}, {3}, {4}}, {kNone, kNone, 2.0, 3.0}},
    // Seed e = 1, (2*1 + 2*2)/4 = 1.5, (2*1.5 + 2*3)/4 = 2.25; then (2*2.25 + 2*4)/4.
    {"exponential 3", {3, 2, 4}, {{1}, {2}, {3}, {4}}, {kNone, kNone, 2.25, 3.125}},
    {"single bar simple 1", {1, 1, 4}, {{5}}, {5.0}},
    {"single bar exponential 1", {1, 2, 4}, {{5}}, {5.0}},
    {"single bar period 2", {2, 2, 4}, {{5}}, {kNone}},
    // The bar without volume neither counts nor contributes: (5 + 1) / 2, (7 + 5) / 2.
    {"simple 2 over a gap", {2, 1, 4}, {{1}, {3, 0}, {5}, {7}}, {kNone, kNone, 3.0, 6.0}},
    // (2*1 + 4*3) / 4, (4*3 + 6*1) / 4.
    {"volume-weighted 2", {2, 3, 4}, {{2, 1}, {4, 3}, {6, 1}}, {kNone, 3.5, 4.5}},
    {"smoothed 2 equal prices", {2, 4, 4}, {{7}, {7}, {7}, {7}}, {kNone, 7.0, 7.0, 7.0}},
    // Seed (1+2+3)/3 = 2; (4+3+2 - 2 + 4)/3 = 11/3; (5+4+3 - 11/3 + 5)/3 = 40/9.
    {"smoothed 3", {3, 4, 4}, {{1}, {2}, {3}, {4}, {5}}, {kNone, kNone, 2.0, 11.0 / 3, 40.0 / 9}},
    // High = close + 1, low = close - 1: median (field 5) equals the close.
    {"simple 2 of the median", {2, 1, 5}, {{1}, {3}}, {kNone, 2.0}},
    {"method 5 has no value", {2, 5, 4}, {{1}, {3}, {4}}, {kNone, kNone, kNone}},
};

TEST_F(IndicatorFixture, MovingAverageMatchesHandWorkedTables) {
  for (const MaCase& c : kMaCases) {
    SCOPED_TRACE(c.name);
    VizorClear(chart, security, 1);
    for (size_t i = 0; i < c.bars.size(); ++i) addBar(static_cast<int>(i), c.bars[i]);
    const int32_t ma = addIndicator(CDataMA::kTypeCode);
    ASSERT_EQ(setBlock(ma, c.params), 1);
    EXPECT_TRUE(sameValues(values(ma), c.want));
    EXPECT_TRUE(sameValues(values(ma), referenceMa(c.bars, c.params)));
    const bool anyValue = std::any_of(c.want.begin(), c.want.end(), [](double v) { return !std::isnan(v); });
    EXPECT_EQ(series(ma).hasData(), anyValue ? 1 : 0);
    VizorDeleteGraph(chart, ma);
  }
}

TEST_F(IndicatorFixture, MovingAverageParametersAreCheckedBeforeAnythingChanges) {
  const int32_t ma = addIndicator(CDataMA::kTypeCode);
  const MaParams defaults = getBlock<MaParams>(ma);
  EXPECT_EQ(defaults.period, 9);
  EXPECT_EQ(defaults.method, 2);
  EXPECT_EQ(defaults.field, 4);
  for (const MaParams bad : {MaParams{0, 1, 4}, MaParams{3, 1, 7}, MaParams{3, 6, 4}, MaParams{3, 0, 4}}) {
    EXPECT_EQ(setBlock(ma, bad), 0);
  }
  EXPECT_EQ(getBlock<MaParams>(ma).period, 9);
  VizorGraphParams graph{};
  MaParams block{};
  EXPECT_EQ(VizorGetGraphParams(chart, ma, &graph, &block, 8), 0);
  int32_t lines = 0;
  ASSERT_EQ(VizorGetLineCount(chart, ma, &lines), 1);
  EXPECT_EQ(lines, 1);
}

// Random bars arriving in any order, changing, with gaps: every method and
// several periods equal the reference, and a full recalculation changes
// nothing.
TEST_F(IndicatorFixture, IncrementalUpdatesEqualFullRecalculation) {
  std::vector<int32_t> averages;
  std::vector<MaParams> blocks;
  for (int32_t method = 1; method <= 4; ++method) {
    for (int32_t period : {1, 2, 5}) {
      averages.push_back(addIndicator(CDataMA::kTypeCode));
      blocks.push_back(MaParams{period, method, 4});
      ASSERT_EQ(setBlock(averages.back(), blocks.back()), 1);
    }
  }
  const int32_t trix = addIndicator(CDataTRIX::kTypeCode);
  std::mt19937 random(26);
  std::vector<TestBar> byMinute(120, TestBar{kNone});
  for (int step = 0; step < 400; ++step) {
    // Mostly appends after the latest bar; sometimes a bar anywhere.
    int m = static_cast<int>(random() % 120);
    if (random() % 3 != 0) {
      int latest = -1;
      for (int k = 0; k < 120; ++k) latest = std::isnan(byMinute[k].close) ? latest : k;
      m = std::min(latest + 1, 119);
    }
    const TestBar b{static_cast<double>(random() % 50) + 1.0, random() % 8 == 0 ? 0.0 : 1.0 + random() % 9};
    byMinute[m] = b;
    addBar(m, b);
  }
  std::vector<TestBar> bars;
  for (const TestBar& b : byMinute) {
    if (!std::isnan(b.close)) bars.push_back(b);
  }
  ASSERT_EQ(barCount(), static_cast<int32_t>(bars.size()));
  std::vector<std::vector<double>> incremental;
  for (size_t k = 0; k < averages.size(); ++k) {
    SCOPED_TRACE(::testing::Message() << "method " << blocks[k].method << " period " << blocks[k].period);
    incremental.push_back(values(averages[k]));
    EXPECT_TRUE(sameValues(incremental.back(), referenceMa(bars, blocks[k]), 1e-12));
  }
  const std::vector<double> trixBefore = values(trix);
  ASSERT_EQ(VizorRedraw(chart, 0), 1);
  for (size_t k = 0; k < averages.size(); ++k) EXPECT_TRUE(sameValues(values(averages[k]), incremental[k], 0.0));
  EXPECT_TRUE(sameValues(values(trix), trixBefore, 0.0));
}

// The first visible bar counts too: with one bar it is the only one.
TEST_F(IndicatorFixture, LastVisibleValueExaminesTheFirstVisibleBar) {
  addCloses({5.0});
  const int32_t ma = addIndicator(CDataMA::kTypeCode);
  ASSERT_EQ(setBlock(ma, MaParams{1, 1, 4}), 1);
  ASSERT_EQ(object().countInRange(), 1);
  EXPECT_EQ(series(ma).lastVisibleValue(), 5.0);
  EXPECT_EQ(series(security).lastVisibleValue(), 5.0);
}

TEST_F(IndicatorFixture, PartialRecalculationStopsAfterPeriodValidPoints) {
  std::vector<double> closes(80);
  for (int i = 0; i < 80; ++i) closes[i] = 100 + i % 7;
  addCloses(closes);
  const int32_t ma = addIndicator(CDataMA::kTypeCode);
  ASSERT_EQ(setBlock(ma, MaParams{9, 1, 4}), 1);
  CDataCommon& s = series(ma);
  // Mark the points after the window: a partial run must leave them alone.
  for (int i = 50; i < 80; ++i) s.getPoints()[i].close = -1.0;
  s.calculate(50, 50);
  for (int i = 50; i < 50 + 9; ++i) EXPECT_NE(s.points()[i].close, -1.0) << i;
  EXPECT_EQ(s.points()[59].close, -1.0);
}

// TRIX of averages of period 1 is the rate of change of the close; a previous
// value of 0 gives 0 rather than a division by zero.
TEST_F(IndicatorFixture, TrixIsTheRateOfChangeOfItsThirdAverage) {
  addCloses({0.0, 2.0, 3.0, 3.0});
  const int32_t trix = addIndicator(CDataTRIX::kTypeCode);
  ASSERT_EQ(setBlock(trix, MaParams{1, 1, 4}), 1);
  EXPECT_TRUE(sameValues(values(trix), {kNone, 0.0, 50.0, 0.0}));
  EXPECT_EQ(getBlock<MaParams>(trix).period, 1);
  EXPECT_EQ(series(trix).companions().size(), 3u);
  // The averages die with it.
  const size_t before = object().seriesList().size();
  ASSERT_EQ(VizorDeleteGraph(chart, trix), 1);
  EXPECT_EQ(object().seriesList().size(), before - 4);
}

TEST_F(IndicatorFixture, AuxiliarySeriesTables) {
  auto* shift = std::make_unique<CDataShift>(object(), series(security)).release();
  shift->setShiftCount(2);
  auto* median = std::make_unique<CDataMedianPrice>(object(), series(security)).release();
  auto* typical = std::make_unique<CDataTypicalPrice>(object(), series(security)).release();
  addBar(0, {10, 10, 12, 8});
  addBar(1, {11, 10, 14, 8});
  addBar(2, {12, 10, 15, 9});
  addBar(3, {13, 10, 13, 13});
  EXPECT_TRUE(sameValues(valuesOf(*shift), {kNone, kNone, 10, 11}));
  EXPECT_TRUE(sameValues(valuesOf(*median), {10, 11, 12, 13}));
  EXPECT_TRUE(sameValues(valuesOf(*typical), {10, 11, 12, 13}));
  auto* difference = std::make_unique<CDataDifference>(object(), *median, *typical).release();
  difference->calculate(-1, -1);
  difference->calculate(-1, -1);
  EXPECT_TRUE(sameValues(valuesOf(*difference), {0, 0, 0, 0}));
  int32_t field = 7;
  EXPECT_EQ(difference->setParams(nullptr, &field, 4, 0, 1), 0);
  field = 2;
  EXPECT_EQ(difference->setParams(nullptr, &field, 4, 1, 1), 1);
  EXPECT_EQ(difference->getParams(nullptr, &field, 4), 1);
  EXPECT_EQ(field, 4);
}

}  // namespace
}  // namespace kelda::chart::testing
