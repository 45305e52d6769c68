// Shared set-up of the chart tests: a chart with one pane and a security
// series, and short ways to name times and add bars.
#pragma once

#include <gtest/gtest.h>

#include "chart/chart.h"
#include "chart/data_common.h"
#include "chart/kelda_chart.h"
#include "platform/last_error.h"
#include "platform/packed_time.h"

namespace kelda::chart::testing {

// A FILETIME from packed date and time (YYYYMMDD, HHMMSS).
inline FILETIME at(int32_t date, int32_t time = 0) { return platform::unpackDateTime(date, time); }

class ChartFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const RECT rect{0, 0, 400, 300};
    chart = VizorCreateChart(0, &rect, nullptr, nullptr);
    ASSERT_NE(chart, nullptr);
    pane = VizorAddPane(chart);
    security = VizorAddGraphData(chart);
  }
  void TearDown() override { EXPECT_EQ(VizorDestroyChart(chart), 1); }

  CChart& object() { return *CChart::fromHandle(chart); }
  CDataCommon& series(int32_t id) { return *object().findBarAligned(id); }

  // A bar with open = low = price, high = close = price + 1, volume 10.
  BOOL bar(FILETIME t, double price, BOOL redraw = 1, int32_t id = 0) {
    return VizorAddOHLCV(chart, id == 0 ? security : id, &t, price, price + 1, price, price + 1, 10.0, redraw);
  }
  void setInterval(double interval) {
    VizorChartParams p{};
    VizorGetChartParams(chart, &p);
    p.interval = interval;
    ASSERT_EQ(VizorSetChartParams(chart, &p), 1);
  }
  VizorChartParams params() {
    VizorChartParams p{};
    VizorGetChartParams(chart, &p);
    return p;
  }
  int32_t barCount() { return object().bars().size(); }
  FILETIME barTime(int32_t i) { return object().bars()[i].time; }

  VizorChart chart = nullptr;
  int32_t pane = 0;
  int32_t security = 0;
};

}  // namespace kelda::chart::testing
