// The envelopes and the parabolic SAR: tables worked by hand from their own
// formulas (single-precision envelope factors, the SAR's five-bar start and
// its limits), parameter checks and the three-line read-back.
#include "chart/data_envelopes.h"
#include "chart/data_sar.h"
#include "chart/graph.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

EnvelopesParams envelopes(float k, int32_t period, int32_t method) {
  EnvelopesParams p;
  p.k = k;
  p.period = period;
  p.method = method;
  return p;
}

// k = 2: factors 2 * 0.01 + 1 and -2 * 0.01 + 1 formed in single precision
// (1.0199999809265137, 0.9800000190734863, worked out with a float32 round
// trip), so the lines are not exactly 102 and 98 at a close of 100.
TEST_F(IndicatorFixture, EnvelopesUseSinglePrecisionFactors) {
  addCloses({100, kNone, 50});
  const int32_t id = addIndicator(CDataEnvelops::kTypeCode);
  ASSERT_EQ(setBlock(id, envelopes(2.0f, 1, 1)), 1);
  auto& e = static_cast<CDataEnvelops&>(series(id));
  EXPECT_TRUE(sameValues(values(id), {100, kNone, 50}, 0.0));
  EXPECT_TRUE(sameValues(valuesOf(e.upper()), {101.99999809265137, kNone, 50.999999046325684}, 0.0));
  EXPECT_TRUE(sameValues(valuesOf(e.lower()), {98.00000190734863, kNone, 49.000000953674316}, 0.0));
  // Period 2 simple: the middle is the mean of two passing closes.
  ASSERT_EQ(setBlock(id, envelopes(0.0f, 2, 1)), 1);
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, 75}));
  EXPECT_TRUE(sameValues(valuesOf(e.upper()), {kNone, kNone, 75}));
  EXPECT_EQ(setBlock(id, envelopes(2.0f, 0, 1)), 0);
  EXPECT_EQ(setBlock(id, envelopes(2.0f, 2, 6)), 0);
  EXPECT_EQ(getBlock<EnvelopesParams>(id).period, 2);
}

TEST_F(IndicatorFixture, EnvelopesReportThreeLinesAndDieTogether) {
  addCloses({100, 50});
  const size_t before = object().seriesList().size();
  const int32_t id = addIndicator(CDataEnvelops::kTypeCode);
  ASSERT_EQ(setBlock(id, envelopes(2.0f, 2, 1)), 1);
  int32_t lines = 0;
  ASSERT_EQ(VizorGetLineCount(chart, id, &lines), 1);
  EXPECT_EQ(lines, 3);
  auto& e = static_cast<CDataEnvelops&>(series(id));
  ASSERT_NE(e.upper().getGraph(), nullptr);
  EXPECT_EQ(std::u16string(e.upper().getGraph()->params().legend), u"Envelops Upper");
  EXPECT_FALSE(e.lower().getGraph()->legendShown());
  VizorPointValues records[3]{};
  VizorCandleQuery query{0, 0, records};
  ASSERT_EQ(series(id).valuesAt(barTime(1), &query), 1);
  EXPECT_EQ(query.lineCount, 3);
  EXPECT_EQ(records[0].close, 75.0);
  EXPECT_DOUBLE_EQ(records[2].close, 75.0 * static_cast<double>(-2.0f * 0.01f + 1.0f));
  EXPECT_EQ(std::u16string(records[2].legend), u"Envelops Lower");
  ASSERT_EQ(VizorDeleteGraph(chart, e.lower().id()), 1);
  EXPECT_EQ(object().seriesList().size(), before);
}

// Bars (high, low) rising from (10, 8) by 1 a bar to (15, 13), a drop to
// (16, 7), then (14, 12), (13, 11) and (17, 15). Worked by hand:
// bar 4: start at the lowest low of five bars, 8 (extreme 14, factor 0.02);
// bar 5: (14 - 8) * 0.02 + 8 = 8.12, new high: factor 0.04, extreme 15;
// bar 6: low 7 <= 8.12 reverses: max(16, 15) = 16, falling, extreme 7;
// bar 7: (7 - 16) * 0.02 + 16 = 15.82 held up to the previous high 16;
// bar 8: the same, held to max(14, 16) = 16;
// bar 9: high 17 >= 16 reverses: min(15, 7) = 7, rising.
const std::vector<TestBar> kSarBars{{9, 10, 10, 8},  {10, 10, 11, 9},  {11, 10, 12, 10}, {12, 10, 13, 11},
                                    {13, 10, 14, 12}, {14, 10, 15, 13}, {8, 10, 16, 7},   {13, 10, 14, 12},
                                    {12, 10, 13, 11}, {16, 10, 17, 15}};

TEST_F(IndicatorFixture, ParabolicSarTable) {
  for (size_t i = 0; i < kSarBars.size(); ++i) addBar(static_cast<int>(i), kSarBars[i]);
  const int32_t id = addIndicator(CDataParabolicSAR::kTypeCode);
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, kNone, 8, 8.12, 16, 16, 16, 7}));
  const SarState start = *static_cast<const SarState*>(series(id).points()[4].extra);
  EXPECT_EQ(start.rising, 1);
  EXPECT_EQ(start.extreme, 14.0);
  const SarState reversed = *static_cast<const SarState*>(series(id).points()[6].extra);
  EXPECT_EQ(reversed.rising, 0);
  EXPECT_EQ(reversed.factor, 0.02);
  EXPECT_EQ(reversed.extreme, 7.0);
  // A partial recalculation from bar 6 gives the same values.
  const std::vector<double> full = values(id);
  series(id).calculate(6, 6);
  EXPECT_TRUE(sameValues(values(id), full, 0.0));
}

TEST_F(IndicatorFixture, ParabolicSarStartsOnTheFifthPassingBar) {
  addCloses({10, 11, kNone, 12, 13});
  const int32_t id = addIndicator(CDataParabolicSAR::kTypeCode);
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, kNone, kNone}));
  addBar(5, TestBar{14});
  // Lowest low of the five passing bars: 10 - 1.
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, kNone, kNone, 9}));
}

TEST_F(IndicatorFixture, ParabolicSarParameterRanges) {
  const int32_t id = addIndicator(CDataParabolicSAR::kTypeCode);
  EXPECT_EQ(getBlock<SarParams>(id).step, 0.02);
  EXPECT_EQ(setBlock(id, SarParams{0.0001, 0.01}), 1);
  EXPECT_EQ(setBlock(id, SarParams{0.5, 0.2}), 1);
  EXPECT_EQ(setBlock(id, SarParams{0.00009, 0.2}), 0);
  EXPECT_EQ(setBlock(id, SarParams{0.02, 100.5}), 0);
  EXPECT_EQ(setBlock(id, SarParams{0.02, 0.009}), 0);
  EXPECT_EQ(getBlock<SarParams>(id).step, 0.5);
}

// Step 0.5 above the maximum 0.2: the factor jumps to the maximum at the
// first new extreme: bar 5 is (14 - 8) * 0.5 + 8 = 11, factor 0.2.
TEST_F(IndicatorFixture, ParabolicSarFactorStopsAtTheMaximum) {
  for (size_t i = 0; i < 6; ++i) addBar(static_cast<int>(i), kSarBars[i]);
  const int32_t id = addIndicator(CDataParabolicSAR::kTypeCode);
  ASSERT_EQ(setBlock(id, SarParams{0.5, 0.2}), 1);
  // Bar 5: 11 against the limit low(4) = 12: kept.
  EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, kNone, 8, 11}));
  EXPECT_EQ(static_cast<const SarState*>(series(id).points()[5].extra)->factor, 0.2);
}

// Step 0.25: bar 5 computes (14 - 8) * 0.25 + 8 = 9.5 exactly. A low that
// touches it reverses the trend (to the higher of the bar's high and the
// extreme); a low just above it keeps the trend rising.
TEST_F(IndicatorFixture, ParabolicSarReversesWhenTheLowTouchesTheLine) {
  struct TouchCase {
    double low;
    double want;
  };
  for (const TouchCase& c : {TouchCase{9.5, 15.0}, TouchCase{9.625, 9.5}}) {
    SCOPED_TRACE(c.low);
    VizorClear(chart, security, 1);
    for (size_t i = 0; i < 5; ++i) addBar(static_cast<int>(i), kSarBars[i]);
    addBar(5, TestBar{12, 10, 15, c.low});
    const int32_t id = addIndicator(CDataParabolicSAR::kTypeCode);
    ASSERT_EQ(setBlock(id, SarParams{0.25, 0.5}), 1);
    EXPECT_TRUE(sameValues(values(id), {kNone, kNone, kNone, kNone, 8, c.want}, 0.0));
    VizorDeleteGraph(chart, id);
  }
}

}  // namespace
}  // namespace kelda::chart::testing
