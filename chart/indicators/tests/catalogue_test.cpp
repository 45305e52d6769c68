// Conformance over the catalogue: every graph type with a series class,
// created over one fixed series with the terminal's default blocks and
// legends, has its number of lines, each drawn line its legend and drawing
// style, and its first and last valid bar. Where a row gives them, the
// values at those two bars were worked out from the formulas by a separate
// script over the same closes, not read back from this code.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "chart/data_accumulation.h"
#include "chart/data_cci.h"
#include "chart/data_alligator.h"
#include "chart/data_awesome.h"
#include "chart/data_bollinger.h"
#include "chart/data_elder_ray.h"
#include "chart/data_force_index.h"
#include "chart/data_envelopes.h"
#include "chart/data_ichimoku.h"
#include "chart/data_macd.h"
#include "chart/data_momentum.h"
#include "chart/data_oscillator.h"
#include "chart/data_rsi.h"
#include "chart/data_sar.h"
#include "chart/data_stochastic.h"
#include "chart/data_trend_filter.h"
#include "chart/data_volatility.h"
#include "chart/data_volume_osc.h"
#include "chart/graph.h"
#include "chart/wide_text.h"
#include "chart/series_factory.h"
#include "indicator_fixture.h"

namespace kelda::chart::testing {
namespace {

constexpr int kBars = 120;

struct Line {
  std::u16string legend;
  int32_t style;
  int first;  // -1: never valid
  int last;
  double firstValue = kNone;  // NaN: not checked
  double lastValue = kNone;
};

struct Kind {
  int32_t type;
  std::u16string name;
  int32_t style;
  std::vector<uint8_t> block;
  int32_t lineCount;
  std::vector<Line> lines;  // every drawn graph of the indicator: the owner first
};

template <class Block>
std::vector<uint8_t> bytes(const Block& block) {
  std::vector<uint8_t> out(sizeof(Block));
  std::memcpy(out.data(), &block, sizeof(Block));
  return out;
}

BollingerParams bandsBlock() {
  BollingerParams p;
  p.k = 2.0f;
  p.period = 20;
  p.field = 4;
  p.method = 1;
  p.upperColour = p.lowerColour = 0x800080;
  p.upperStyle = p.lowerStyle = 1;
  const std::u16string upper = u"Bollinger Bands [Upper Band]";
  const std::u16string lower = u"Bollinger Bands [Lower Band]";
  copyWideField(p.upperLegend, 65, upper.c_str(), upper.size());
  copyWideField(p.lowerLegend, 65, lower.c_str(), lower.size());
  return p;
}

VizorMacdParams macdBlock() {
  VizorMacdParams p;
  p.signalColour = 0x0000FF;
  p.signalStyle = 1;
  p.signalMethod = 1;
  const std::u16string legend = u"MACD Signal";
  copyWideField(p.signalLegend, 66, legend.c_str(), legend.size());
  return p;
}

VizorStochasticParams stochasticBlock() {
  VizorStochasticParams p;
  p.kPeriod = 5;
  p.kSlowing = 3;
  p.dPeriod = 3;
  p.dMethod = 1;
  p.dColour = 0x00FF00;
  p.dStyle = 1;
  const std::u16string legend = u"Stochastic %D";
  copyWideField(p.dLegend, 66, legend.c_str(), legend.size());
  return p;
}

IchimokuParams ichimokuBlock() {
  IchimokuParams p;
  const COLORREF colours[5] = {0xFF00FF, 0x0000FF, 0xFFFF00, 0x00FF00, 0x000080};
  std::memcpy(p.colours, colours, sizeof(colours));
  return p;
}

// The terminal's defaults (names, blocks, styles) and what they give over
// the fixed series: every bar passes, so a line starts once its averages fill.
std::vector<Kind> kinds() {
  const int end = kBars - 1;
  return {
      {1, u"Price", 3, {}, 1, {{u"Price", 3, 0, end}}},
      {2, u"Volume", 2, {}, 1, {{u"Volume", 2, 0, end}}},
      {3, u"Moving Average", 1, bytes(MaParams{9, 2, 4}), 1, {{u"Moving Average", 1, 8, end}}},
      {4,
       u"Price Oscillator",
       1,
       bytes(PriceOscParams{12, 26, 2, 4, 1}),
       1,
       {{u"Price Oscillator", 1, 25, end, 1.21434699677, 0.597523930698}}},
      // The signal is the indicator itself; the oscillator draws as its part.
      {5,
       u"MACD",
       1,
       bytes(macdBlock()),
       2,
       {{u"MACD Signal", 1, 33, end, 1.34928738709, 0.655329240736},
        {u"MACD", 1, 25, end, 1.21434699677, 0.597523930698}}},
      {6, u"Standard Deviation", 1, bytes(StandardDevParams{20, 4}), 1, {{u"Standard Deviation", 1, 19, end}}},
      {7,
       u"Bollinger Bands",
       1,
       bytes(bandsBlock()),
       3,
       {{u"Bollinger Bands", 1, 19, end},
        {u"Bollinger Bands [Upper Band]", 1, 19, end},
        {u"Bollinger Bands [Lower Band]", 1, 19, end}}},
      {8,
       u"Stochastic Oscillator",
       1,
       bytes(stochasticBlock()),
       2,
       {{u"Stochastic %D", 1, 8, end, 50.3355945885, 55.5293232736},
        {u"Stochastic Oscillator", 1, 6, end, 45.1559934319, 60.7371794872}}},
      {9,
       u"Relative Strength Index",
       1,
       bytes(RsiParams{14, 4}),
       1,
       {{u"Relative Strength Index", 1, 13, end, 57.5901974132, 50.0874812942}}},
      // The line starts rising at the lowest low of the first five bars.
      {10, u"Parabolic SAR", 1, bytes(SarParams{0.02, 0.2}), 1, {{u"Parabolic SAR", 1, 4, end, 88.0, 99.926}}},
      {11,
       u"Smoothed Rate Of Change",
       1,
       bytes(SrocParams{5, 10, 2, 4}),
       1,
       {{u"Smoothed Rate Of Change", 1, 14, end, 102.22925032, 99.6489099952}}},
      {12, u"Momentum", 1, bytes(MomentumParams{5, 4}), 1, {{u"Momentum", 1, 5, end, 101.685393258, 101.371115174}}},
      {13,
       u"Rate Of Change",
       1,
       bytes(MomentumParams{5, 4}),
       1,
       {{u"Rate Of Change", 1, 5, end, 1.68539325843, 1.37111517367}}},
      {16, u"Money Flow Index", 1, bytes(int32_t{3}), 1, {{u"Money Flow Index", 1, 3, end}}},
      {17,
       u"Williams' % Range",
       1,
       bytes(int32_t{10}),
       1,
       {{u"Williams' % Range", 1, 10, end, -82.4561403509, -51.4893617021}}},
      {18,
       u"Envelopes",
       1,
       bytes(EnvelopesParams{2.0f, 20, 4, 2, 0x0000FF, 0x0000FF}),
       3,
       {{u"Envelopes", 1, 19, end, 100.609227457, 110.99699167},
        {u"Envelops Upper", 1, 19, end, 102.621410087, 113.216929386},
        {u"Envelops Lower", 1, 19, end, 98.5970448268, 108.777053953}}},
      {19, u"Volume Oscillator", 1, bytes(OscillatorParams{5, 10, 2, 4}), 1, {{u"Volume Oscillator", 1, 9, end}}},
      {20, u"On Balance Volume", 1, bytes(int32_t{4}), 1, {{u"On Balance Volume", 1, 1, end}}},
      {21, u"A/D", 1, bytes(AccumulationParams{{0, 0, 4}}), 1, {{u"A/D", 1, 0, end}}},
      {22, u"Chaikin Oscillator", 1, bytes(OscillatorParams{3, 10, 2, 4}), 1, {{u"Chaikin Oscillator", 1, 9, end}}},
      {23, u"Williams' A/D", 1, bytes(AccumulationParams{{0, 0, 4}}), 1, {{u"Williams' A/D", 1, 1, end}}},
      {24, u"Elder's Force Index", 1, bytes(ElderForceParams{2, 13, 2, 4}), 1, {{u"Elder's Force Index", 1, 13, end}}},
      // No name in the catalogue: the rays carry their own legends.
      {25,
       u"",
       1,
       bytes(ElderRayParams{}),
       1,
       {{u"", 1, 12, end}, {u"Bull power", 1, 12, end}, {u"Bear power", 1, 12, end}}},
      {26,
       u"Vertical Horizontal Filter",
       1,
       bytes(VhFilterParams{28, 4}),
       1,
       {{u"Vertical Horizontal Filter", 1, 28, end, 0.0727806788512, 0.0776762402089}}},
      // Every bar spans 2, so the average range never changes.
      {27,
       u"Chaikin's Volatility",
       1,
       bytes(ChaikinVolatParams{10, 2}),
       1,
       {{u"Chaikin's Volatility", 1, 18, end, 0, 0}}},
      {28,
       u"MACD Histogram",
       2,
       bytes(macdBlock()),
       1,
       {{u"MACD Histogram", 2, 33, end, -0.511779294164, -0.0578053100375}}},
      {29,
       u"Alligator",
       1,
       bytes(AlligatorParams{4, 4, 13, 8, 5, 8, 5, 3, 0xFF0000, 0x0000FF, 0x00FF00}),
       3,
       {{u"Alligator", 1, -1, -1},
        {u"Alligato - jaw]", 1, 20, end},
        {u"Alligato - teeth]", 1, 12, end},
        {u"Alligato - lips]", 1, 7, end}}},
      {30, u"ADX", 1, bytes(MaParams{14, 2, 4}), 1, {{u"ADX", 1, 27, end}}},
      {31, u"TRIX", 1, bytes(MaParams{9, 2, 4}), 1, {{u"TRIX", 1, 25, end}}},
      {33, u"CMO", 1, bytes(MomentumParams{14, 4}), 1, {{u"CMO", 1, 14, end, 8.60077021823, -6.37450199203}}},
      {34, u"BW MFI (Market Facilitation Index)", 1, {}, 1, {{u"BW MFI (Market Facilitation Index)", 1, 0, end}}},
      {35,
       u"CCI (Commodity Channel Index)",
       1,
       bytes(MaParams{9, 2, 4}),
       1,
       {{u"CCI (Commodity Channel Index)", 1, 8, end, 110.957047883, -7.94203143824}}},
      // The terminal's blocks name price field 5, the median, which for
      // single values is the value itself.
      {36,
       u"AO",
       2,
       bytes(AwesomeParams{5, 34, 2, 5, 0x00FF00, 0x0000FF}),
       1,
       {{u"AO", 2, 33, end, 0.948497147021, 1.62653524159}}},
      {37,
       u"AC",
       2,
       bytes(AwesomeParams{5, 34, 2, 5, 0x00FF00, 0x0000FF}),
       1,
       {{u"AC", 2, 37, end, 1.00837198878, 0.504325686548}}},
      // The terminal leaves the line legends empty.
      {38,
       u"Ichimoku",
       1,
       bytes(ichimokuBlock()),
       5,
       {{u"Ichimoku", 1, -1, -1},
        {u"", 1, 8, end},         // conversion line
        {u"", 1, 25, end},        // base line
        {u"", 1, 0, end - 26},    // lagging line
        {u"", 1, 51, end},        // leading span A
        {u"", 1, 77, end}}},      // leading span B
      // Not in the catalogue: the closes as they stand.
      {44, u"", 1, {}, 1, {{u"", 1, 0, end, 89.0, 110.9}}},
  };
}

class CatalogueTest : public IndicatorFixture {
 protected:
  void SetUp() override {
    IndicatorFixture::SetUp();
    std::vector<double> closes;
    for (int i = 0; i < kBars; ++i) closes.push_back(100.0 + (i * 37 % 23) - 11 + i * 0.1);
    addCloses(closes);
  }
  int32_t create(const Kind& kind) {
    const int32_t id = addIndicator(kind.type);
    VizorGraphParams graph{};
    std::vector<uint8_t> old(kind.block.size());
    EXPECT_EQ(VizorGetGraphParams(chart, id, &graph, old.empty() ? nullptr : old.data(),
                                  static_cast<int32_t>(old.size())),
              1);
    copyWideField(graph.legend, 66, kind.name.c_str(), kind.name.size());
    graph.style = kind.style;
    graph.colour = 0x800080;
    EXPECT_EQ(VizorSetGraphParams(chart, id, &graph, kind.block.empty() ? nullptr : kind.block.data(),
                                  static_cast<int32_t>(kind.block.size())),
              1);
    return id;
  }
  // Every series drawn for the indicator, in the order they were made.
  std::vector<const CDataCommon*> drawn(int32_t id) {
    std::vector<const CDataCommon*> out;
    for (const CData* s : object().seriesList()) {
      if (s->getGraph() != nullptr && object().outermostOwner(s->id()) == id) {
        out.push_back(static_cast<const CDataCommon*>(s));
      }
    }
    return out;
  }
};

TEST_F(CatalogueTest, EveryKindHasItsLinesLegendsStylesAndValidRange) {
  for (const Kind& kind : kinds()) {
    SCOPED_TRACE(::testing::Message() << "type " << kind.type);
    const int32_t id = create(kind);
    int32_t count = 0;
    ASSERT_EQ(VizorGetLineCount(chart, id, &count), 1);
    EXPECT_EQ(count, kind.lineCount);
    const std::vector<const CDataCommon*> lines = drawn(id);
    ASSERT_EQ(lines.size(), kind.lines.size());
    for (size_t r = 0; r < lines.size(); ++r) {
      SCOPED_TRACE(::testing::Message() << "line " << r);
      const Line& want = kind.lines[r];
      const VizorGraphParams& g = lines[r]->getGraph()->params();
      EXPECT_EQ(std::u16string(g.legend), want.legend);
      EXPECT_EQ(g.style, want.style);
      int first = -1, last = -1;
      for (int i = 0; i < lines[r]->points().size(); ++i) {
        if (!lines[r]->points()[i].valid) continue;
        if (first < 0) first = i;
        last = i;
      }
      EXPECT_EQ(first, want.first);
      EXPECT_EQ(last, want.last);
      if (!std::isnan(want.firstValue) && first >= 0) {
        EXPECT_NEAR(lines[r]->points()[first].close, want.firstValue, 1e-9 * (1 + std::fabs(want.firstValue)));
        EXPECT_NEAR(lines[r]->points()[last].close, want.lastValue, 1e-9 * (1 + std::fabs(want.lastValue)));
      }
    }
    ASSERT_EQ(VizorDeleteGraph(chart, id), 1);
  }
}

}  // namespace
}  // namespace kelda::chart::testing
