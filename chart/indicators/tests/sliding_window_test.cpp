// The windowed indicators keep their windows as they slide (running sums,
// monotonic queues): over random bars with gaps, flat stretches and jumps of
// size they agree with the walk over every window that defines them, and a
// chart fed bar by bar ends exactly equal to a full recalculation.
#include <algorithm>
#include <cmath>
#include <vector>

#include "chart/data_aux.h"
#include "chart/data_bollinger.h"
#include "chart/data_ichimoku.h"
#include "chart/data_ma.h"
#include "chart/data_money_flow.h"
#include "chart/data_stochastic.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

// Bars with gaps (volume 0), runs of one price (the deviation is exactly 0
// there) and stretches a million times larger than the rest.
std::vector<TestBar> randomBars(unsigned seed, int n) {
  std::mt19937 random(seed);
  std::vector<TestBar> out;
  double close = 100.0;
  for (int i = 0; i < n; ++i) {
    const int phase = (i / 150) % 4;
    if (phase == 1) {
      // Flat: the same close, high and low.
    } else if (phase == 3) {
      close = 1e6 + static_cast<double>(random() % 1000) * 0.01;
    } else {
      close = std::max(1.0, close + (static_cast<double>(random() % 200) - 100.0) * 0.01);
    }
    if (phase == 0 && close > 1e5) close = 100.0;
    const bool gap = random() % 7 == 0;
    const double spread = phase == 1 ? 0.0 : static_cast<double>(random() % 50) * 0.01;
    out.push_back(TestBar{close, gap ? 0.0 : static_cast<double>(1 + random() % 30), close + spread, close - spread});
  }
  return out;
}

bool passes(const TestBar& b) { return b.volume != 0.0; }

// The windows as the definitions walk them: bar i looks back over the last n
// passing bars at or before it.
std::vector<int> window(const std::vector<TestBar>& bars, int i, int n) {
  std::vector<int> taken;
  for (int k = i; k >= 0 && static_cast<int>(taken.size()) < n; --k) {
    if (passes(bars[k])) taken.push_back(k);
  }
  return taken;
}

std::vector<double> walkedAverage(const std::vector<TestBar>& bars, int n, bool weighted) {
  std::vector<double> out(bars.size(), kNone);
  for (int i = n - 1; i < static_cast<int>(bars.size()); ++i) {
    if (!passes(bars[i])) continue;
    const std::vector<int> w = window(bars, i, n);
    if (static_cast<int>(w.size()) < n) continue;
    double sum = 0.0, volume = 0.0;
    for (int k : w) sum += weighted ? bars[k].volume * bars[k].close : bars[k].close, volume += bars[k].volume;
    out[i] = weighted ? sum / volume : sum / n;
  }
  return out;
}

std::vector<double> walkedDeviation(const std::vector<TestBar>& bars, int n) {
  const std::vector<double> mean = walkedAverage(bars, n, false);
  std::vector<double> out(bars.size(), kNone);
  for (size_t i = 0; i < bars.size(); ++i) {
    if (std::isnan(mean[i])) continue;
    double sum = 0.0;
    for (int k : window(bars, static_cast<int>(i), n)) sum += (bars[k].close - mean[i]) * (bars[k].close - mean[i]);
    out[i] = std::sqrt(sum / n);
  }
  return out;
}

// The midpoint of the highest high and lowest low of the window, at every
// bar whose window is whole (its own bar passing or not).
std::vector<double> walkedMidpoint(const std::vector<TestBar>& bars, int n) {
  std::vector<double> out(bars.size(), kNone);
  for (size_t i = 0; i < bars.size(); ++i) {
    const std::vector<int> w = window(bars, static_cast<int>(i), n);
    if (static_cast<int>(w.size()) < n) continue;
    double high = bars[w[0]].high, low = bars[w[0]].low;
    for (int k : w) high = std::max(high, bars[k].high), low = std::min(low, bars[k].low);
    out[i] = (high + low) * 0.5;
  }
  return out;
}

std::vector<double> walkedPercentK(const std::vector<TestBar>& bars, int period, int slowing) {
  std::vector<double> out(bars.size(), kNone);
  for (int i = period + slowing - 2; i < static_cast<int>(bars.size()); ++i) {
    if (!passes(bars[i])) continue;
    const std::vector<int> js = window(bars, i, slowing);
    if (static_cast<int>(js.size()) < slowing) continue;
    double num = 0.0, den = 0.0;
    bool whole = true;
    for (int j : js) {
      const std::vector<int> w = window(bars, j, period);
      whole = whole && static_cast<int>(w.size()) == period;
      double high = bars[j].high, low = bars[j].low;
      for (int k : w) high = std::max(high, bars[k].high), low = std::min(low, bars[k].low);
      num += bars[j].close - low;
      den += high - low;
    }
    if (whole && den >= 1e-7) out[i] = num / den * 100.0;
  }
  return out;
}

std::vector<double> walkedMoneyFlow(const std::vector<TestBar>& bars, int n) {
  auto typical = [&](int k) { return (bars[k].close + bars[k].low + bars[k].high) * (1.0 / 3.0); };
  std::vector<double> out(bars.size(), kNone);
  for (int i = n; i < static_cast<int>(bars.size()); ++i) {
    if (!passes(bars[i])) continue;
    const std::vector<int> w = window(bars, i, n + 1);
    if (static_cast<int>(w.size()) < n + 1) continue;
    double positive = 0.0, negative = 0.0;
    for (size_t k = 0; k + 1 < w.size(); ++k) {
      const double t = typical(w[k]);
      if (t > typical(w[k + 1])) positive += bars[w[k]].volume * t;
      if (t < typical(w[k + 1])) negative += bars[w[k]].volume * t;
    }
    out[i] = std::fabs(negative) < 1e-7 ? 100.0 : 100.0 - 100.0 / (positive / negative + 1.0);
  }
  return out;
}

class SlidingWindowTest : public IndicatorFixture {
 protected:
  void addAll(const std::vector<TestBar>& bars) {
    for (size_t i = 0; i < bars.size(); ++i) addBar(static_cast<int>(i), bars[i], 0);
    ASSERT_EQ(VizorRedraw(chart, 0), 1);
  }
  int32_t average(int n, int32_t method) {
    const int32_t id = addIndicator(CDataMA::kTypeCode);
    EXPECT_EQ(setBlock(id, MaParams{n, method, 4}), 1);
    return id;
  }
  int32_t deviation(int n) {
    const int32_t id = addIndicator(CDataStandardDev::kTypeCode);
    EXPECT_EQ(setBlock(id, StandardDevParams{n, 4}), 1);
    return id;
  }
  int32_t stochastic(int period, int slowing) {
    const int32_t id = addIndicator(CDataStochastic::kTypeCode);
    VizorStochasticParams p;
    p.kPeriod = period;
    p.kSlowing = slowing;
    EXPECT_EQ(setBlock(id, p), 1);
    return id;
  }
  int32_t moneyFlow(int n) {
    const int32_t id = addIndicator(CDataMFI::kTypeCode);
    EXPECT_EQ(setBlock(id, int32_t{n}), 1);
    return id;
  }
  int32_t ichimoku(int conversion) {
    const int32_t id = addIndicator(CDataIchimoku::kTypeCode);
    IchimokuParams p;
    p.conversionPeriod = conversion;
    EXPECT_EQ(setBlock(id, p), 1);
    return id;
  }
};

// Periods below, at and above the re-sum stride (64).
const int kPeriods[] = {1, 2, 5, 20, 64, 70};

TEST_F(SlidingWindowTest, AgreesWithTheWalkOverRandomBars) {
  const std::vector<TestBar> bars = randomBars(11, 700);
  addAll(bars);
  for (int n : kPeriods) {
    SCOPED_TRACE(::testing::Message() << "period " << n);
    EXPECT_TRUE(sameValues(values(average(n, kMaSimple)), walkedAverage(bars, n, false)));
    EXPECT_TRUE(sameValues(values(average(n, kMaVolumeWeighted)), walkedAverage(bars, n, true)));
    EXPECT_TRUE(sameValues(values(deviation(n)), walkedDeviation(bars, n)));
    const int32_t lines = ichimoku(n);
    EXPECT_TRUE(sameValues(valuesOf(static_cast<CDataIchimoku&>(series(lines)).conversion()), walkedMidpoint(bars, n)));
    EXPECT_TRUE(sameValues(values(moneyFlow(n)), walkedMoneyFlow(bars, n)));
    const int32_t s = stochastic(n, 3);
    EXPECT_TRUE(sameValues(valuesOf(static_cast<CDataStochastic&>(series(s)).percentK()), walkedPercentK(bars, n, 3)));
  }
  // A deviation over a flat stretch is 0 (to the last digits of the mean).
  const std::vector<double> flat = values(deviation(20));
  int shown = 0;
  for (int i = 150 + 30; i < 300; ++i) {
    if (std::isnan(flat[i])) continue;
    EXPECT_LT(flat[i], 1e-12) << i;
    ++shown;
  }
  EXPECT_GT(shown, 50);
}

// Bars arriving one by one (some again, in any order) leave every windowed
// series exactly as a full recalculation and a fresh series give it.
TEST_F(SlidingWindowTest, PartialUpdatesEqualAFullRecalculationExactly) {
  const std::vector<TestBar> bars = randomBars(29, 700);
  std::vector<int32_t> ids;
  for (int n : {5, 70}) {
    ids.push_back(average(n, kMaSimple));
    ids.push_back(average(n, kMaVolumeWeighted));
    ids.push_back(average(n, kMaSmoothed));
    ids.push_back(deviation(n));
    ids.push_back(stochastic(n, 3));
    ids.push_back(ichimoku(n));
    ids.push_back(moneyFlow(n));
  }
  std::mt19937 random(3);
  for (size_t i = 0; i < bars.size(); ++i) {
    addBar(static_cast<int>(i), bars[i]);
    if (i > 10 && random() % 5 == 0) {
      // An earlier bar changes.
      TestBar changed = bars[random() % i];
      changed.close += 1.0;
      changed.high += 1.0;
      addBar(static_cast<int>(random() % i), changed);
    }
  }
  auto lines = [&](int32_t id) {
    std::vector<std::vector<double>> out{values(id)};
    if (series(id).typeCode() == CDataStochastic::kTypeCode) {
      out.push_back(valuesOf(static_cast<CDataStochastic&>(series(id)).percentK()));
    }
    if (series(id).typeCode() == CDataIchimoku::kTypeCode) {
      const auto& a = static_cast<CDataIchimoku&>(series(id));
      const std::vector<const CDataCommon*> parts{&a.conversion(), &a.base(), &a.spanA(), &a.spanB(), &a.lagging()};
      for (const CDataCommon* line : parts) out.push_back(valuesOf(*line));
    }
    return out;
  };
  std::vector<std::vector<std::vector<double>>> incremental;
  for (int32_t id : ids) incremental.push_back(lines(id));
  ASSERT_EQ(VizorRedraw(chart, 0), 1);
  for (size_t k = 0; k < ids.size(); ++k) {
    SCOPED_TRACE(::testing::Message() << "series #" << k);
    const auto full = lines(ids[k]);
    for (size_t r = 0; r < full.size(); ++r) EXPECT_TRUE(sameValues(incremental[k][r], full[r], 0.0)) << r;
  }
}

}  // namespace
}  // namespace kelda::chart::testing
