// Trend tool hit testing beside a plain reference in the same run:
//   - 200 trend tools (lines, retracements, fans, channels, pitchforks) on a
//     chart of 200 bars, drawn once; a tap is looked up among all of them
//     through the controller (pane, graphs, recorded segments);
//   - reference: a plain loop over 200 bounding boxes asking which holds the
//     point.
#include <benchmark/benchmark.h>

#include <vector>

#include "chart/chart.h"
#include "chart/graph.h"
#include "chart/trend.h"
#include "platform/packed_time.h"
#include "platform/time.h"
#include "ui/recording_canvas.h"

namespace {

using kelda::chart::CChart;

constexpr int kTools = 200;
constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr uint64_t kMinute = 60ull * 10'000'000ull;

struct TrendChart {
  TrendChart() {
    const RECT rect{0, 0, kWidth, kHeight};
    chart = VizorCreateChart(0, &rect, nullptr, nullptr);
    VizorChartParams p{};
    VizorGetChartParams(chart, &p);
    p.interval = 1;
    p.minIntervals = 0;
    VizorSetChartParams(chart, &p);
    const int32_t pane = VizorAddPane(chart);
    const int32_t security = VizorAddGraphData(chart);
    VizorAddGraph(chart, security, 1, pane);
    const uint64_t start = kelda::platform::to_u64(kelda::platform::unpackDateTime(20240304, 100000));
    std::vector<FILETIME> times;
    for (int i = 0; i < 200; ++i) {
      const FILETIME t = kelda::platform::to_filetime(start + static_cast<uint64_t>(i) * kMinute);
      times.push_back(t);
      const double price = 100.0 + (i % 37) * 0.5;
      VizorAddOHLCV(chart, security, &t, price, price + 2, price - 2, price + 1, 10.0, 1);
    }
    const int32_t types[] = {1, 4, 6, 9, 11};
    std::vector<VizorTrendInfo> records(kTools);
    for (int k = 0; k < kTools; ++k) {
      VizorTrendInfo& r = records[static_cast<size_t>(k)];
      r.type = types[k % 5];
      r.penWidth = 1;
      r.time1 = times[static_cast<size_t>(k % 180)];
      r.time2 = times[static_cast<size_t>(k % 180 + 15)];
      r.time3 = times[static_cast<size_t>(k % 180 + 8)];
      r.price1 = 95.0 + (k % 23);
      r.price2 = 96.0 + (k % 19);
      r.price3 = 100.0 + (k % 7);
    }
    VizorRestoreSavedTrends(chart, kTools, records.data());
    kelda::ui::RecordingCanvas canvas(kWidth, kHeight);
    const RECT client{0, 0, kWidth, kHeight};
    object().layoutChart(&canvas, &client);
    object().renderChart(canvas, client);
  }
  ~TrendChart() { VizorDestroyChart(chart); }
  CChart& object() { return *CChart::fromHandle(chart); }
  VizorChart chart = nullptr;
};

// Taps spread over the plot, most of them on no tool.
std::vector<POINT> taps() {
  std::vector<POINT> out;
  for (int y = 20; y < kHeight - 40; y += 37) {
    for (int x = 20; x < kWidth - 40; x += 41) out.push_back(POINT{x, y});
  }
  return out;
}

void BM_HitTest200Tools(benchmark::State& state) {
  TrendChart chart;
  const std::vector<POINT> points = taps();
  size_t i = 0;
  for (auto _ : state) {
    int32_t part = 0;
    benchmark::DoNotOptimize(chart.object().controller().findTool(points[i++ % points.size()], nullptr, &part));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HitTest200Tools);

void BM_Reference_200BoundingBoxes(benchmark::State& state) {
  std::vector<RECT> boxes;
  for (int k = 0; k < kTools; ++k) {
    const int x = (k * 53) % (kWidth - 100), y = (k * 31) % (kHeight - 100);
    boxes.push_back(RECT{x, y, x + 60 + k % 40, y + 30 + k % 50});
  }
  const std::vector<POINT> points = taps();
  size_t i = 0;
  for (auto _ : state) {
    const POINT p = points[i++ % points.size()];
    const RECT* found = nullptr;
    for (const RECT& r : boxes) {
      if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) {
        found = &r;
        break;
      }
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Reference_200BoundingBoxes);

}  // namespace

BENCHMARK_MAIN();
