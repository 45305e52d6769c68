// The directional movement chain: a hand-worked table through every stage,
// the whole-number ADX, the shared block and its checks.
#include "chart/data_adx.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

// close, volume, high, low; worked by hand with period 2, simple averages.
const std::vector<TestBar> kMovementBars = {
    {9, 10, 10, 8},
    {11, 10, 12, 9},   // up 2, down 0, true range 3
    {8, 10, 11, 7},    // up 0, down 2, true range 4
    {7, 10, 10, 6},    // up 0, down 1, true range 4
    {10, 10, 11, 5},   // up 1 = down 1: both 0
    {10, 10, 10, 10},  // true range 0: both 0
};

class DirectionalTest : public IndicatorFixture {
 protected:
  void addBars(const std::vector<TestBar>& bars) {
    for (size_t i = 0; i < bars.size(); ++i) addBar(static_cast<int>(i), bars[i]);
  }
  CDataADX& adx(int32_t id) { return static_cast<CDataADX&>(series(id)); }
};

TEST_F(DirectionalTest, EveryStageMatchesTheHandWorkedTable) {
  addBars(kMovementBars);
  const int32_t id = addIndicator(CDataADX::kTypeCode);
  ASSERT_EQ(setBlock(id, MaParams{2, kMaSimple, 4}), 1);
  const CDataADX_DX& dx = adx(id).dx();
  EXPECT_TRUE(sameValues(valuesOf(*static_cast<const CDataCommon*>(dx.plus().sources().front())),
                         {kNone, 2.0 / 3, 0, 0, 0, 0}));
  EXPECT_TRUE(sameValues(valuesOf(*static_cast<const CDataCommon*>(dx.minus().sources().front())),
                         {kNone, 0, 0.5, 0.25, 0, 0}));
  EXPECT_TRUE(sameValues(valuesOf(dx.plus()), {kNone, kNone, 1.0 / 3, 0, 0, 0}));
  EXPECT_TRUE(sameValues(valuesOf(dx.minus()), {kNone, kNone, 0.25, 0.375, 0.125, 0}));
  // Both indexes 0 at the last bar: a valid 0.
  EXPECT_TRUE(sameValues(valuesOf(dx), {kNone, kNone, 100.0 / 7, 100, 100, 0}));
  // (100/7 + 100) / 2 = 57.14 shows as 57.
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, 57, 100, 50}));
  // The volume-weighted method weighs every bar by 1: the simple average.
  ASSERT_EQ(setBlock(id, MaParams{2, kMaVolumeWeighted, 4}), 1);
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, 57, 100, 50}));
}

TEST_F(DirectionalTest, BarsThatFailTheFilterAreBridged) {
  std::vector<TestBar> bars = kMovementBars;
  bars.insert(bars.begin() + 1, TestBar{50, 0, 60, 40});  // no volume
  bars.insert(bars.begin(), TestBar{70, 0, 80, 60});       // no volume, nothing before it
  addBars(bars);
  const int32_t id = addIndicator(CDataADX::kTypeCode);
  ASSERT_EQ(setBlock(id, MaParams{2, kMaSimple, 4}), 1);
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, kNone, kNone, 57, 100, 50}));
}

TEST_F(DirectionalTest, TheChainSharesOneCheckedBlock) {
  addBars(kMovementBars);
  const int32_t id = addIndicator(CDataADX::kTypeCode);
  const MaParams defaults = getBlock<MaParams>(id);
  EXPECT_EQ(defaults.period, 9);
  EXPECT_EQ(defaults.method, kMaExponential);
  EXPECT_EQ(defaults.field, 4);
  VizorGraphParams graph{};
  MaParams block{};
  EXPECT_EQ(VizorGetGraphParams(chart, id, &graph, &block, 8), 0);
  for (const MaParams bad : {MaParams{0, 1, 4}, MaParams{2, 6, 4}, MaParams{2, 1, 7}}) {
    EXPECT_EQ(setBlock(id, bad), 0);
  }
  // Check only changes nothing; recalc 0 still recalculates the chain.
  ASSERT_EQ(VizorGetGraphParams(chart, id, &graph, &block, sizeof(block)), 1);
  const MaParams two{2, kMaSimple, 4};
  CDataADX& series = adx(id);
  EXPECT_EQ(series.setParams(&graph, &two, sizeof(two), 1, 0), 1);
  EXPECT_EQ(series.dx().plus().maParams().period, 9);
  EXPECT_EQ(series.setParams(&graph, &two, sizeof(two), 0, 0), 1);
  EXPECT_EQ(series.dx().plus().maParams().period, 2);
  EXPECT_EQ(series.dx().minus().maParams().period, 2);
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, 57, 100, 50}));
  int lines = 0;
  series.lineCount(&lines);
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(series.dx().getGraph(), nullptr);
}

// The directional index rounds with floor(close + 0.5) in every range:
// halves go up, also below zero, and values too large for an integer keep
// their own whole value.
TEST(PointHelpers, RoundCloseIsFloorOfCloseAndAHalf) {
  const double cases[][2] = {{2.5, 3.0}, {2.49, 2.0}, {-0.5, 0.0}, {-0.6, -1.0}, {-2.0, -2.0},
                             {-2.5, -2.0}, {1e17, 1e17}, {-1e17, -1e17}, {4503599627370495.5, 4503599627370496.0}};
  for (const auto& c : cases) {
    DataPoint p{};
    p.close = c[0];
    EXPECT_EQ(roundClose(&p), c[1]) << c[0];
    EXPECT_EQ(p.open, c[1]);
    EXPECT_EQ(p.high, c[1]);
  }
}

}  // namespace
}  // namespace kelda::chart::testing
