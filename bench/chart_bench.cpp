// Chart bar list hot paths, each beside a reference measured in the same run:
//   - 1,000,000 bars appended in time order through VizorAddOHLCV (security
//     and price series); reference: std::vector::push_back of the same bars.
//     Counters report the bytes held per bar by the bar list and per bar per
//     series by a point vector (spare room included).
//   - 20,000 bars added in reverse time order (each one inserted at the
//     front); reference: sorting the same bars once.
//   - time -> bar index over 1,000,000 bars; reference: std::lower_bound over
//     a vector of the same 64-bit times.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "chart/chart.h"
#include "chart/data_common.h"
#include "chart/kelda_chart.h"
#include "chart/time_index.h"
#include "platform/packed_time.h"
#include "platform/time.h"

namespace {

using kelda::chart::CChart;

constexpr uint64_t kMinute = 60ull * 10'000'000ull;

struct Bar {
  uint64_t time;
  double open, high, low, close, volume;
};

std::vector<Bar> makeBars(int n) {
  const uint64_t start = kelda::platform::to_u64(kelda::platform::unpackDateTime(20000103, 100000));
  std::vector<Bar> bars;
  bars.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double p = 100.0 + (i % 97) * 0.25;
    bars.push_back(Bar{start + static_cast<uint64_t>(i) * kMinute, p, p + 1, p - 1, p + 0.5, 10.0 + i % 13});
  }
  return bars;
}

struct ChartWithSeries {
  ChartWithSeries() {
    const RECT rect{0, 0, 800, 600};
    chart = VizorCreateChart(0, &rect, nullptr, nullptr);
    const int32_t pane = VizorAddPane(chart);
    security = VizorAddGraphData(chart);
    price = VizorAddGraph(chart, security, 1, pane);
  }
  ~ChartWithSeries() { VizorDestroyChart(chart); }
  void add(const Bar& b) {
    const FILETIME t = kelda::platform::to_filetime(b.time);
    VizorAddOHLCV(chart, security, &t, b.open, b.high, b.low, b.close, b.volume, 1);
  }
  VizorChart chart;
  int32_t security;
  int32_t price;
};

void BM_AppendBarsInOrder(benchmark::State& state) {
  const std::vector<Bar> bars = makeBars(static_cast<int>(state.range(0)));
  double barBytes = 0, pointBytes = 0;
  for (auto _ : state) {
    ChartWithSeries c;
    for (const Bar& b : bars) c.add(b);
    CChart& chart = *CChart::fromHandle(c.chart);
    barBytes = static_cast<double>(chart.bars().capacityBytes()) / bars.size();
    pointBytes = static_cast<double>(chart.findBarAligned(c.price)->pointBytes()) / bars.size();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["bar_list_B_per_bar"] = barBytes;
  state.counters["series_B_per_bar"] = pointBytes;
  state.counters["bar_fields_B"] = sizeof(Bar);
}
BENCHMARK(BM_AppendBarsInOrder)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_Reference_VectorPushBack(benchmark::State& state) {
  const std::vector<Bar> bars = makeBars(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::vector<Bar> copy;
    for (const Bar& b : bars) copy.push_back(b);
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Reference_VectorPushBack)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_AddBarsInReverseOrder(benchmark::State& state) {
  std::vector<Bar> bars = makeBars(static_cast<int>(state.range(0)));
  std::reverse(bars.begin(), bars.end());
  for (auto _ : state) {
    ChartWithSeries c;
    for (const Bar& b : bars) c.add(b);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AddBarsInReverseOrder)->Arg(20'000)->Unit(benchmark::kMillisecond);

void BM_Reference_SortOnce(benchmark::State& state) {
  std::vector<Bar> bars = makeBars(static_cast<int>(state.range(0)));
  std::reverse(bars.begin(), bars.end());
  for (auto _ : state) {
    std::vector<Bar> copy = bars;
    std::sort(copy.begin(), copy.end(), [](const Bar& a, const Bar& b) { return a.time < b.time; });
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Reference_SortOnce)->Arg(20'000)->Unit(benchmark::kMillisecond);

// Probe times between and on the bars, spread over the list.
std::vector<uint64_t> probes(const std::vector<Bar>& bars) {
  std::vector<uint64_t> out;
  for (size_t i = 0; i < 4096; ++i) out.push_back(bars[(i * 7919) % bars.size()].time + (i % 2) * kMinute / 2);
  return out;
}

void BM_TimeToIndex(benchmark::State& state) {
  const std::vector<Bar> bars = makeBars(static_cast<int>(state.range(0)));
  ChartWithSeries c;
  for (const Bar& b : bars) c.add(b);
  const kelda::chart::BarList& list = CChart::fromHandle(c.chart)->bars();
  const std::vector<uint64_t> times = probes(bars);
  size_t k = 0;
  for (auto _ : state) {
    bool beyond = false;
    benchmark::DoNotOptimize(
        kelda::chart::timeToBarIndex(list, 1, kelda::platform::to_filetime(times[k++ & 4095]), &beyond));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TimeToIndex)->Arg(1'000'000);

void BM_Reference_LowerBound(benchmark::State& state) {
  const std::vector<Bar> bars = makeBars(static_cast<int>(state.range(0)));
  std::vector<uint64_t> times;
  for (const Bar& b : bars) times.push_back(b.time);
  const std::vector<uint64_t> keys = probes(bars);
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::lower_bound(times.begin(), times.end(), keys[k++ & 4095]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Reference_LowerBound)->Arg(1'000'000);

}  // namespace

BENCHMARK_MAIN();
