// The volume indicators: hand-worked tables, the parameter checks and the
// totals that bridge bars failing the filter.
#include "chart/data_accumulation.h"
#include "chart/data_force_index.h"
#include "chart/data_money_flow.h"
#include "chart/data_volume_osc.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

class VolumeTest : public IndicatorFixture {
 protected:
  void addBars(const std::vector<TestBar>& bars) {
    for (size_t i = 0; i < bars.size(); ++i) addBar(static_cast<int>(i), bars[i]);
  }
};

struct VolumeCase {
  const char* name;
  int32_t type;
  std::vector<TestBar> bars;  // close, volume, high, low
  std::vector<double> want;
};

// Worked by hand. The typical price of a bar with the fixture's default high
// and low (close +- 1) is its close.
const VolumeCase kVolumeCases[] = {
    {"money flow of period 1, rising prices", CDataMFI::kTypeCode, {{1}, {2}, {3}}, {kNone, 100, 100}},
    {"on-balance volume",
     CDataBalanceVol::kTypeCode,
     {{10, 5}, {11, 6}, {11, 7}, {9, 8}},
     {kNone, 0, 0, -8}},
    {"on-balance volume across a bar without volume",
     CDataBalanceVol::kTypeCode,
     {{10, 5}, {11, 6}, {50, 0}, {12, 7}, {9, 8}},
     {kNone, 0, kNone, 7, -1}},
    {"accumulation/distribution: a bar with high = low repeats the total",
     CDataCumAD::kTypeCode,
     {{10, 10, 12, 8}, {12, 10, 12, 8}, {5, 10, 5, 5}, {8, 2, 12, 8}},
     {0, 10, 10, 8}},
    {"Williams' accumulation",
     CDataCumWAD::kTypeCode,
     {{10, 10, 10, 10}, {12, 10, 13, 11}, {11, 10, 12, 10}},
     {kNone, 2, 1}},
    {"Williams' accumulation takes the last valid total across a gap, to the last bar",
     CDataCumWAD::kTypeCode,
     {{10, 10, 10, 10}, {12, 10, 13, 11}, {99, 0, 99, 99}, {11, 10, 12, 10}},
     {kNone, 2, kNone, 1}},
    {"market facilitation", CDataBW_MFI::kTypeCode, {{10, 2, 12, 8}, {10, 0, 12, 8}, {10, 4, 11, 9}}, {2, kNone, 0.5}},
};

TEST_F(VolumeTest, LinesMatchHandWorkedTables) {
  for (const VolumeCase& c : kVolumeCases) {
    SCOPED_TRACE(c.name);
    VizorClear(chart, security, 1);
    addBars(c.bars);
    const int32_t id = addIndicator(c.type);
    EXPECT_TRUE(sameValues(values(id), c.want));
    VizorDeleteGraph(chart, id);
  }
}

TEST_F(VolumeTest, MoneyFlowWeighsTypicalPricesByVolume) {
  addBars({{10}, {12}, {11}, {13}});
  const int32_t id = addIndicator(CDataMFI::kTypeCode);
  for (const int32_t bad : {0, CDataMFI::kMaxPeriod + 1}) EXPECT_EQ(setBlock(id, bad), 0);
  EXPECT_EQ(setBlock(id, CDataMFI::kMaxPeriod), 1);
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, kNone}));
  ASSERT_EQ(setBlock(id, int32_t{2}), 1);
  // Bar 2: +120 (12 over 10), -110 (11 under 12); bar 3: +130, -110.
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, 100 - 100 / (120.0 / 110 + 1), 100 - 100 / (130.0 / 110 + 1)}));
}

TEST_F(VolumeTest, ForceIndexAndItsAverage) {
  addBars({{10}, {12}, {9}});
  const int32_t id = addIndicator(CDataElderFI::kTypeCode);
  const ElderForceParams defaults = getBlock<ElderForceParams>(id);
  EXPECT_EQ(defaults.reserved, 2);
  EXPECT_EQ(defaults.period, 2);
  auto& elder = static_cast<CDataElderFI&>(series(id));
  const double f1 = (1 - 10.0 / 12) * 10;
  const double f2 = (1 - 12.0 / 9) * 10;
  EXPECT_TRUE(sameValues(valuesOf(elder.force()), {kNone, f1, f2}));
  ASSERT_EQ(setBlock(id, ElderForceParams{7, 2, kMaSimple, 4}), 1);
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, (f1 + f2) / 2}));
  EXPECT_EQ(getBlock<ElderForceParams>(id).reserved, 7);
  for (const ElderForceParams& bad : {ElderForceParams{2, 0, 1, 4}, ElderForceParams{2, 2, 9, 4},
                                      ElderForceParams{2, 2, 1, 0}}) {
    EXPECT_EQ(setBlock(id, bad), 0);
  }
  EXPECT_EQ(getBlock<ElderForceParams>(id).period, 2);
}

TEST_F(VolumeTest, VolumeOscillatorIsTheSpreadInPercentOfTheLongAverage) {
  addBars({{10, 10}, {10, 20}, {10, 30}, {10, -30}});
  const int32_t id = addIndicator(CDataVolumeOsc::kTypeCode);
  const OscillatorParams defaults = getBlock<OscillatorParams>(id);
  EXPECT_EQ(defaults.shortPeriod, 5);
  EXPECT_EQ(defaults.longPeriod, 10);
  ASSERT_EQ(setBlock(id, OscillatorParams{1, 2, kMaSimple, 4}), 1);
  // Long averages 15, 25, 0: a long average of 0 shows 0.
  EXPECT_TRUE(sameValues(values(id), {kNone, 5.0 / 15 * 100, 5.0 / 25 * 100, 0}));
  EXPECT_EQ(setBlock(id, OscillatorParams{0, 2, kMaSimple, 4}), 0);
}

TEST_F(VolumeTest, ChaikinOscillatorIsTheDifferenceOfTwoAveragesOfTheAccumulation) {
  // Accumulation totals 0, 10, 10, 8 (as in the table above).
  addBars({{10, 10, 12, 8}, {12, 10, 12, 8}, {5, 10, 5, 5}, {8, 2, 12, 8}});
  const int32_t id = addIndicator(CDataChaikinOscill::kTypeCode);
  EXPECT_EQ(getBlock<OscillatorParams>(id).shortPeriod, 3);
  EXPECT_EQ(setBlock(id, OscillatorParams{12, 10, kMaSimple, 4}), 0);
  ASSERT_EQ(setBlock(id, OscillatorParams{10, 10, kMaSimple, 4}), 1);
  ASSERT_EQ(setBlock(id, OscillatorParams{1, 2, kMaSimple, 4}), 1);
  EXPECT_TRUE(sameValues(values(id), {kNone, 5, 0, -1}));
}

// Where an average has no value, the volume oscillator's bar is cleared and
// the Chaikin oscillator's keeps what it held.
TEST_F(VolumeTest, ChaikinOscillatorLeavesABarWithoutAveragesAsItIs) {
  addBars({{10, 10, 12, 8}, {12, 10, 12, 8}, {5, 10, 5, 5}, {8, 2, 12, 8}});
  const int32_t chaikin = addIndicator(CDataChaikinOscill::kTypeCode);
  ASSERT_EQ(setBlock(chaikin, OscillatorParams{1, 2, kMaSimple, 4}), 1);
  const int32_t volume = addIndicator(CDataVolumeOsc::kTypeCode);
  ASSERT_EQ(setBlock(volume, OscillatorParams{1, 2, kMaSimple, 4}), 1);
  EXPECT_TRUE(sameValues(values(volume), {kNone, 0, 0, (2.0 - 6.0) / 6.0 * 100}));
  // The last bar loses its volume: neither series' averages pass there.
  addBar(3, TestBar{8, 0, 12, 8});
  EXPECT_TRUE(sameValues(values(chaikin), {kNone, 5, 0, -1}));
  EXPECT_TRUE(sameValues(values(volume), {kNone, 0, 0, kNone}));
  ASSERT_EQ(VizorRedraw(chart, 0), 1);
  EXPECT_TRUE(sameValues(values(chaikin), {kNone, 5, 0, -1}));
}

}  // namespace
}  // namespace kelda::chart::testing
