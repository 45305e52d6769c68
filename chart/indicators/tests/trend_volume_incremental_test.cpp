// Every indicator of the directional, Alligator, Ichimoku and volume
// families, fed bar by bar in any order with gaps: each of its lines equals
// a full recalculation and a fresh indicator built over the finished bars.
#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "chart/data_accumulation.h"
#include "chart/data_adx.h"
#include "chart/data_alligator.h"
#include "chart/data_awesome.h"
#include "chart/data_elder_ray.h"
#include "chart/data_force_index.h"
#include "chart/data_ichimoku.h"
#include "chart/data_money_flow.h"
#include "chart/data_volume_osc.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

struct Setting {
  int32_t type;
  std::vector<uint8_t> block;  // empty: the defaults stay
};

template <class Block>
Setting setting(int32_t type, const Block& block) {
  std::vector<uint8_t> bytes(sizeof(Block));
  std::memcpy(bytes.data(), &block, sizeof(Block));
  return {type, bytes};
}

IchimokuParams shortIchimoku() {
  IchimokuParams p;
  p.conversionPeriod = 3;
  p.basePeriod = 5;
  p.spanBPeriod = 8;
  p.lag = 4;
  p.displacement = 3;
  return p;
}

std::vector<Setting> settings() {
  return {
      setting(CDataADX::kTypeCode, MaParams{3, kMaExponential, 4}),
      setting(CDataADX::kTypeCode, MaParams{4, kMaSimple, 4}),
      setting(CDataMFI::kTypeCode, int32_t{3}),
      setting(CDataVolumeOsc::kTypeCode, OscillatorParams{2, 4, kMaSimple, 4}),
      setting(CDataBalanceVol::kTypeCode, int32_t{4}),
      {CDataCumAD::kTypeCode, {}},
      setting(CDataChaikinOscill::kTypeCode, OscillatorParams{2, 5, kMaExponential, 4}),
      {CDataCumWAD::kTypeCode, {}},
      setting(CDataElderFI::kTypeCode, ElderForceParams{2, 3, kMaExponential, 4}),
      {CDataBW_MFI::kTypeCode, {}},
      setting(CDataAlligator::kTypeCode, AlligatorParams{kMaSimple, 4, 5, 3, 2, 3, 2, 1, 0, 0, 0}),
      setting(CDataAlligator::kTypeCode, AlligatorParams{kMaSmoothed, 5, 4, 3, 2, 2, 0, -2, 0, 0, 0}),
      setting(CDataAO::kTypeCode, AwesomeParams{2, 5, kMaSimple, 4, 0, 0}),
      setting(CDataAC::kTypeCode, AwesomeParams{2, 5, kMaExponential, 4, 0, 0}),
      setting(CDataElderRay::kTypeCode, ElderRayParams{3, 4, kMaExponential, 0, 0, 1, 1, 0, 0}),
      setting(CDataIchimoku::kTypeCode, shortIchimoku()),
  };
}

class PartTwoIncremental : public IndicatorFixture {
 protected:
  int32_t addWith(const Setting& s) {
    const int32_t id = addIndicator(s.type);
    if (!s.block.empty()) {
      VizorGraphParams graph = ownGraphBlock(id);
      std::vector<uint8_t> old(s.block.size());
      EXPECT_EQ(VizorGetGraphParams(chart, id, &graph, old.data(), static_cast<int32_t>(old.size())), 1) << s.type;
      EXPECT_EQ(VizorSetGraphParams(chart, id, &graph, s.block.data(), static_cast<int32_t>(s.block.size())), 1)
          << s.type;
    }
    return id;
  }
  // The values of the indicator and of every part it owns, in a fixed order.
  std::vector<std::vector<double>> lines(int32_t id) {
    std::vector<std::vector<double>> out;
    std::vector<const CData*> pending{&series(id)};
    std::set<const CData*> seen;
    while (!pending.empty()) {
      const CData* s = pending.front();
      pending.erase(pending.begin());
      if (!seen.insert(s).second) continue;
      out.push_back(valuesOf(static_cast<const CDataCommon&>(*s)));
      pending.insert(pending.end(), s->companions().begin(), s->companions().end());
    }
    return out;
  }
};

TEST_F(PartTwoIncremental, UpdatesEqualAFullRecalculationAndAFreshIndicator) {
  const std::vector<Setting> all = settings();
  std::vector<int32_t> ids;
  for (const Setting& s : all) ids.push_back(addWith(s));
  std::mt19937 random(27);
  int latest = -1;
  for (int step = 0; step < 260; ++step) {
    const int m = random() % 4 == 0 ? static_cast<int>(random() % 90) : std::min(latest + 1, 89);
    latest = std::max(latest, m);
    const double close = static_cast<double>(random() % 40) + 10.0;
    const double volume = random() % 9 == 0 ? 0.0 : static_cast<double>(1 + random() % 20);
    addBar(m, TestBar{close, volume, close + static_cast<double>(random() % 4), close - static_cast<double>(random() % 4)});
  }
  std::vector<std::vector<std::vector<double>>> incremental;
  for (int32_t id : ids) incremental.push_back(lines(id));
  ASSERT_EQ(VizorRedraw(chart, 0), 1);
  for (size_t k = 0; k < ids.size(); ++k) {
    SCOPED_TRACE(::testing::Message() << "type " << all[k].type << " #" << k);
    const auto full = lines(ids[k]);
    ASSERT_EQ(full.size(), incremental[k].size());
    for (size_t r = 0; r < full.size(); ++r) EXPECT_TRUE(sameValues(full[r], incremental[k][r], 1e-9)) << "line " << r;
    auto fresh = lines(addWith(all[k]));
    ASSERT_EQ(fresh.size(), full.size());
    if (all[k].type == CDataChaikinOscill::kTypeCode) {
      // The Chaikin oscillator keeps what a bar held once its averages have
      // no value there; a fresh one never had a value at such a bar.
      const auto& osc = static_cast<const CDataChaikinOscill&>(series(ids[k]));
      for (int32_t i = 0; i < static_cast<int32_t>(fresh[0].size()); ++i) {
        const bool both = osc.pointPasses(&osc.shortAverage().points()[i]) &&
                          osc.pointPasses(&osc.longAverage().points()[i]);
        if (!both && std::isnan(fresh[0][i])) fresh[0][i] = full[0][i];
      }
    }
    for (size_t r = 0; r < full.size(); ++r) EXPECT_TRUE(sameValues(fresh[r], full[r], 1e-9)) << "fresh line " << r;
  }
}

// Deleting any one series of an indicator (a drawn line or a hidden part,
// by its id) deletes the whole indicator and nothing else.
TEST_F(PartTwoIncremental, DeletingAnyPartDeletesTheWholeIndicator) {
  addCloses({10, 12, 11, 13, 12, 14, 15, 13, 12, 16});
  for (const Setting& s : settings()) {
    const size_t before = object().seriesList().size();
    const int32_t probe = addWith(s);
    std::vector<int32_t> parts;
    for (const CData* series : object().seriesList()) {
      if (series->id() >= probe) parts.push_back(series->id());
    }
    ASSERT_EQ(VizorDeleteGraph(chart, probe), 1);
    ASSERT_EQ(object().seriesList().size(), before);
    for (int32_t part : parts) {
      SCOPED_TRACE(::testing::Message() << "type " << s.type << " part " << part - probe);
      addWith(s);
      const int32_t shift = object().seriesList().back()->id() - parts.back();
      ASSERT_EQ(VizorDeleteGraph(chart, part + shift), 1);
      EXPECT_EQ(object().seriesList().size(), before);
    }
  }
}

// An interval change empties the series and the bars come again, several
// to a period (the last of a period wins): every indicator follows and ends
// equal to one built over the regrouped bars.
TEST_F(PartTwoIncremental, IntervalChangeRegroupsEveryIndicator) {
  const std::vector<Setting> all = settings();
  std::vector<int32_t> ids;
  for (const Setting& s : all) ids.push_back(addWith(s));
  std::vector<TestBar> minutes;
  std::mt19937 random(5);
  for (int m = 0; m < 240; ++m) {
    const double close = static_cast<double>(random() % 30) + 20.0;
    minutes.push_back(TestBar{close, static_cast<double>(1 + random() % 9), close + 1 + random() % 3,
                              close - 1 - static_cast<double>(random() % 3)});
    addBar(m, minutes.back());
  }
  ASSERT_EQ(VizorStartIntervalChanging(chart), 1);
  setInterval(5);
  ASSERT_EQ(VizorClear(chart, security, 1), 1);
  for (int m = 0; m < 240; ++m) addBar(m, minutes[static_cast<size_t>(m)]);
  ASSERT_EQ(barCount(), 48);
  for (size_t k = 0; k < ids.size(); ++k) {
    SCOPED_TRACE(::testing::Message() << "type " << all[k].type << " #" << k);
    const auto regrouped = lines(ids[k]);
    const auto fresh = lines(addWith(all[k]));
    ASSERT_EQ(fresh.size(), regrouped.size());
    for (size_t r = 0; r < fresh.size(); ++r) {
      EXPECT_EQ(regrouped[r].size(), 48u);
      EXPECT_TRUE(sameValues(regrouped[r], fresh[r], 1e-9)) << "line " << r;
    }
  }
}

}  // namespace
}  // namespace kelda::chart::testing
