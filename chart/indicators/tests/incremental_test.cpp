// Incremental updates equal a fresh calculation: random bars arrive in any
// order, change, and sometimes fail the trading-hours filter (volume 0);
// afterwards every line of every indicator equals that after a full
// recalculation and that of an indicator created over the finished bars.
#include <algorithm>
#include <map>

#include "chart/data_cci.h"
#include "chart/data_envelopes.h"
#include "chart/data_macd.h"
#include "chart/data_momentum.h"
#include "chart/data_rsi.h"
#include "chart/data_sar.h"
#include "chart/data_stochastic.h"
#include "chart/data_trend_filter.h"
#include "chart/data_volatility.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

// Type codes under test, each with its default block.
const int32_t kTypes[] = {
    CDataRSI::kTypeCode,      CDataMom::kTypeCode,        CDataROC::kTypeCode,
    CDataSROC::kTypeCode,     CDataCMO::kTypeCode,        CDataWilliams::kTypeCode,
    CDataCCI::kTypeCode,      CDataVHFilter::kTypeCode,   CDataVolatility::kTypeCode,
    CDataChaikinVolat::kTypeCode, CDataPriceOscillator::kTypeCode, CDataMACD::kTypeCode,
    CDataMACDHistogram::kTypeCode, CDataStochastic::kTypeCode, CDataEnvelops::kTypeCode,
    CDataParabolicSAR::kTypeCode,
};

class IncrementalFixture : public IndicatorFixture {
 protected:
  // Every drawn line of the indicator: its own points and those of each
  // companion that has a graph.
  std::vector<std::vector<double>> lines(int32_t id) {
    std::vector<std::vector<double>> out{values(id)};
    for (CData* part : series(id).companions()) {
      if (part->getGraph() != nullptr) out.push_back(valuesOf(static_cast<CDataCommon&>(*part)));
    }
    return out;
  }
  void addRandomBars(std::mt19937& random, int steps, int minutes) {
    int latest = -1;
    for (int step = 0; step < steps; ++step) {
      int m = random() % 4 == 0 ? static_cast<int>(random() % minutes) : std::min(latest + 1, minutes - 1);
      latest = std::max(latest, m);
      const double close = static_cast<double>(random() % 30) + 1.0;
      const double high = close + static_cast<double>(random() % 4);
      const double low = close - static_cast<double>(random() % 4);
      addBar(m, TestBar{close, random() % 9 == 0 ? 0.0 : 1.0 + random() % 5, high, low});
    }
  }
  void expectSame(const std::map<int32_t, std::vector<std::vector<double>>>& want) {
    for (const auto& [id, lineValues] : want) {
      const auto got = lines(id);
      ASSERT_EQ(got.size(), lineValues.size()) << series(id).typeCode();
      for (size_t r = 0; r < got.size(); ++r) {
        EXPECT_TRUE(sameValues(got[r], lineValues[r], 1e-12)) << "type " << series(id).typeCode() << " line " << r;
      }
    }
  }
};

TEST_F(IncrementalFixture, IncrementalUpdatesEqualAFreshCalculation) {
  std::map<int32_t, int32_t> byType;
  for (int32_t type : kTypes) byType[type] = addIndicator(type);
  std::mt19937 random(2626);
  addRandomBars(random, 500, 160);
  std::map<int32_t, std::vector<std::vector<double>>> incremental;
  for (const auto& [type, id] : byType) {
    incremental[id] = lines(id);
    // Enough bars for every default period: each line has values to compare.
    for (const auto& line : incremental[id]) {
      EXPECT_GT(std::count_if(line.begin(), line.end(), [](double v) { return !std::isnan(v); }), 20) << type;
    }
  }
  ASSERT_EQ(VizorRedraw(chart, 0), 1);
  expectSame(incremental);
  std::map<int32_t, std::vector<std::vector<double>>> fresh;
  for (const auto& [type, id] : byType) fresh[addIndicator(type)] = incremental[id];
  expectSame(fresh);
  // Direct requests and a rebuild leave every cycle in step: more bars still
  // give what a fresh indicator gives.
  for (const auto& [type, id] : byType) ASSERT_EQ(VizorRedraw(chart, id), 1);
  VizorChartParams p = params();
  ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  addRandomBars(random, 60, 200);
  std::map<int32_t, std::vector<std::vector<double>>> later;
  for (const auto& [type, id] : byType) later[id] = lines(id);
  for (const auto& [type, id] : byType) {
    const int32_t again = addIndicator(type);
    EXPECT_TRUE(sameValues(values(again), later[id][0], 1e-12)) << "type " << type;
  }
}

// An interval change empties the series and the bars come again, several to
// a period (the last of a period wins): every indicator ends equal to one
// built over the regrouped bars.
TEST_F(IncrementalFixture, IntervalChangeRegroupsEveryIndicator) {
  std::map<int32_t, int32_t> byType;
  for (int32_t type : kTypes) byType[type] = addIndicator(type);
  std::mt19937 random(44);
  std::vector<TestBar> minutes;
  for (int m = 0; m < 300; ++m) {
    const double close = static_cast<double>(random() % 30) + 20.0;
    const double high = close + 1.0 + static_cast<double>(random() % 3);
    const double low = close - 1.0 - static_cast<double>(random() % 3);
    minutes.push_back(TestBar{close, 1.0 + static_cast<double>(random() % 9), high, low});
    addBar(m, minutes.back());
  }
  ASSERT_EQ(VizorStartIntervalChanging(chart), 1);
  setInterval(5);
  ASSERT_EQ(VizorClear(chart, security, 1), 1);
  for (int m = 0; m < 300; ++m) addBar(m, minutes[static_cast<size_t>(m)]);
  ASSERT_EQ(barCount(), 60);
  for (const auto& [type, id] : byType) {
    const auto regrouped = lines(id);
    const auto fresh = lines(addIndicator(type));
    ASSERT_EQ(fresh.size(), regrouped.size()) << "type " << type;
    for (size_t r = 0; r < fresh.size(); ++r) {
      EXPECT_TRUE(sameValues(regrouped[r], fresh[r], 1e-12)) << "type " << type << " line " << r;
    }
  }
}

}  // namespace
}  // namespace kelda::chart::testing
