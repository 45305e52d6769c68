// Shared set-up of the indicator tests: bars from a table of closes (NaN for
// a bar that does not pass: volume 0), reading a series' values back (NaN
// where it has none), and setting a parameter block through the interface.
#pragma once

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "chart/graph.h"
#include "chart_fixture.h"

namespace kelda::chart::testing {

inline constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// One bar of a table: close, volume (0: the bar does not pass).
struct TestBar {
  double close;
  double volume = 10.0;
  double high = kNone;  // NaN: close + 1
  double low = kNone;   // NaN: close - 1
};

class IndicatorFixture : public ChartFixture {
 protected:
  FILETIME minute(int i) { return at(20090304, 100000 + (i / 60) * 10000 + (i % 60) * 100); }
  void addBar(int minuteIndex, const TestBar& b, BOOL redraw = 1) {
    const FILETIME t = minute(minuteIndex);
    const double high = std::isnan(b.high) ? b.close + 1 : b.high;
    const double low = std::isnan(b.low) ? b.close - 1 : b.low;
    ASSERT_EQ(VizorAddOHLCV(chart, security, &t, b.close, high, low, b.close, b.volume, redraw), 1);
  }
  // Closes in order; NaN marks a bar that does not pass (volume 0).
  void addCloses(const std::vector<double>& closes) {
    for (size_t i = 0; i < closes.size(); ++i) {
      if (std::isnan(closes[i])) {
        addBar(static_cast<int>(i), TestBar{1.0, 0.0});
      } else {
        addBar(static_cast<int>(i), TestBar{closes[i]});
      }
    }
  }
  int32_t addIndicator(int32_t type, int32_t source = 0) {
    const int32_t id = VizorAddGraph(chart, source == 0 ? security : source, type, pane);
    EXPECT_NE(id, 0) << type;
    return id;
  }
  // The graph block to send back with a parameter block: what the series
  // reports, over its own graph's block (a series may report none: the
  // accelerator oscillator).
  VizorGraphParams ownGraphBlock(int32_t id) {
    const CGraph* graph = series(id).getGraph();
    return graph != nullptr ? graph->params() : VizorGraphParams{};
  }
  template <class Block>
  BOOL setBlock(int32_t id, const Block& block) {
    VizorGraphParams graph = ownGraphBlock(id);
    Block old{};
    if (!VizorGetGraphParams(chart, id, &graph, &old, sizeof(Block))) return 0;
    return VizorSetGraphParams(chart, id, &graph, &block, sizeof(Block));
  }
  template <class Block>
  Block getBlock(int32_t id) {
    VizorGraphParams graph{};
    Block block{};
    EXPECT_EQ(VizorGetGraphParams(chart, id, &graph, &block, sizeof(Block)), 1);
    return block;
  }
  // The close of every point of a series; NaN where the point is invalid.
  std::vector<double> values(int32_t id) { return valuesOf(series(id)); }
  static std::vector<double> valuesOf(const CDataCommon& s) {
    std::vector<double> out;
    for (int32_t i = 0; i < s.points().size(); ++i) {
      out.push_back(s.points()[i].valid ? s.points()[i].close : kNone);
    }
    return out;
  }
};

// Equal within tolerance, NaN equal to NaN (both "no value").
inline ::testing::AssertionResult sameValues(const std::vector<double>& got, const std::vector<double>& want,
                                             double tolerance = 1e-9) {
  if (got.size() != want.size()) {
    return ::testing::AssertionFailure() << "size " << got.size() << " != " << want.size();
  }
  for (size_t i = 0; i < got.size(); ++i) {
    const bool gotNone = std::isnan(got[i]);
    const bool wantNone = std::isnan(want[i]);
    if (gotNone != wantNone || (!gotNone && std::fabs(got[i] - want[i]) > tolerance * (1 + std::fabs(want[i])))) {
      return ::testing::AssertionFailure() << "bar " << i << ": got " << got[i] << ", want " << want[i];
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace kelda::chart::testing
