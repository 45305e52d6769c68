// Full calculation of the directional index, Ichimoku, the Alligator,
// on-balance volume and the money flow index over 1,000,000 bars
// (VizorRedraw of the security series, which every chain follows), each
// beside a plain one-pass loop of the same formula over arrays in the same
// run: each reference runs just before its subject, which reports the ratio
// of their mean times as the counter "vs_reference". The bytes held by the
// indicator's points (its parts included) are reported per series as the
// counter "bytes".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "bench_timing.h"
#include "chart/chart.h"
#include "chart/data_accumulation.h"
#include "chart/data_adx.h"
#include "chart/data_alligator.h"
#include "chart/data_common.h"
#include "chart/data_ichimoku.h"
#include "chart/data_money_flow.h"
#include "chart/kelda_chart.h"
#include "platform/packed_time.h"
#include "platform/time.h"

namespace {

using kelda::chart::AlligatorParams;
using kelda::chart::CChart;
using kelda::chart::CData;
using kelda::chart::CDataCommon;
using kelda::chart::MaParams;
using kelda::bench::timed;

// Mean time of each reference by graph type, for its subject's ratio.
std::map<int32_t, double> g_reference;

constexpr uint64_t kMinute = 60ull * 10'000'000ull;
constexpr int kBars = 1'000'000;
constexpr int kPeriod = 14;

struct Bar {
  double high, low, close, volume;
};

Bar barAt(int i) {
  const double c = 100.0 + (i % 97) * 0.25 + (i % 13) * 0.1;
  return {c + 0.5 + (i % 5) * 0.1, c - 0.5 - (i % 7) * 0.1, c, 10.0 + i % 11};
}

std::vector<Bar> bars(int n) {
  std::vector<Bar> out;
  out.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out.push_back(barAt(i));
  return out;
}

class BenchChart {
 public:
  explicit BenchChart(int n) {
    const RECT rect{0, 0, 800, 600};
    chart_ = VizorCreateChart(0, &rect, nullptr, nullptr);
    pane_ = VizorAddPane(chart_);
    security_ = VizorAddGraphData(chart_);
    const uint64_t start = kelda::platform::to_u64(kelda::platform::unpackDateTime(20000103, 100000));
    for (int i = 0; i < n; ++i) {
      const FILETIME t = kelda::platform::to_filetime(start + static_cast<uint64_t>(i) * kMinute);
      const Bar b = barAt(i);
      VizorAddOHLCV(chart_, security_, &t, b.close, b.high, b.low, b.close, b.volume, 0);
    }
  }
  ~BenchChart() { VizorDestroyChart(chart_); }
  BenchChart(const BenchChart&) = delete;
  BenchChart& operator=(const BenchChart&) = delete;

  template <class Block>
  int32_t add(int32_t type, const Block* block) {
    const int32_t id = VizorAddGraph(chart_, security_, type, pane_);
    if (block != nullptr) {
      VizorGraphParams graph{};
      Block old{};
      VizorGetGraphParams(chart_, id, &graph, &old, sizeof(Block));
      VizorSetGraphParams(chart_, id, &graph, block, sizeof(Block));
    }
    return id;
  }
  // Bytes of the points of the series and of every part it owns.
  size_t bytes(int32_t id) const {
    const CChart& c = *CChart::fromHandle(chart_);
    std::vector<const CData*> pending{c.findSeries(id)};
    std::set<const CData*> seen;
    size_t total = 0;
    while (!pending.empty()) {
      const CData* s = pending.back();
      pending.pop_back();
      if (s == nullptr || !seen.insert(s).second) continue;
      if (const auto* common = dynamic_cast<const CDataCommon*>(s)) total += common->pointBytes();
      pending.insert(pending.end(), s->companions().begin(), s->companions().end());
    }
    return total;
  }
  VizorChart chart() const { return chart_; }
  int32_t security() const { return security_; }

 private:
  VizorChart chart_;
  int32_t pane_;
  int32_t security_;
};

template <class Block>
void fullCalculation(benchmark::State& state, int32_t type, const Block* block) {
  BenchChart c(kBars);
  const int32_t id = c.add(type, block);
  const double t = timed(state, [&] { VizorRedraw(c.chart(), c.security()); });
  state.SetItemsProcessed(state.iterations() * kBars);
  state.counters["bytes"] = static_cast<double>(c.bytes(id));
  if (g_reference[type] > 0) state.counters["vs_reference"] = t / g_reference[type];
}

const MaParams kAdx{kPeriod, 2, 4};
const AlligatorParams kAlligator{1, 5, 13, 8, 5, 8, 5, 3, 0xFF0000, 0x0000FF, 0x00FF00};
const int32_t kMfiPeriod = kPeriod;
const int32_t kCloseField = 4;

void BM_AdxFull(benchmark::State& state) { fullCalculation(state, kelda::chart::CDataADX::kTypeCode, &kAdx); }
void BM_IchimokuFull(benchmark::State& state) {
  fullCalculation<int32_t>(state, kelda::chart::CDataIchimoku::kTypeCode, nullptr);
}
void BM_AlligatorFull(benchmark::State& state) {
  fullCalculation(state, kelda::chart::CDataAlligator::kTypeCode, &kAlligator);
}
void BM_OnBalanceVolumeFull(benchmark::State& state) {
  fullCalculation(state, kelda::chart::CDataBalanceVol::kTypeCode, &kCloseField);
}
void BM_MoneyFlowFull(benchmark::State& state) {
  fullCalculation(state, kelda::chart::CDataMFI::kTypeCode, &kMfiPeriod);
}

// The references: the same formulas in one pass over plain arrays.
void BM_Reference_AdxLoop(benchmark::State& state) {
  const std::vector<Bar> b = bars(kBars);
  std::vector<double> out(b.size());
  const double k = 2.0 / (kPeriod + 1);
  const double t = timed(state, [&] {
    double plus = 0.0, minus = 0.0, adx = 0.0;
    for (size_t i = 1; i < b.size(); ++i) {
      const double up = std::max(b[i].high - b[i - 1].high, 0.0);
      const double down = std::max(b[i - 1].low - b[i].low, 0.0);
      const double range = std::max({b[i].high - b[i].low, std::fabs(b[i].high - b[i - 1].close),
                                     std::fabs(b[i].low - b[i - 1].close)});
      plus += k * ((up > down ? up : 0.0) / range - plus);
      minus += k * ((down > up ? down : 0.0) / range - minus);
      const double sum = plus + minus;
      adx += k * ((sum < 1e-7 ? 0.0 : std::fabs(plus - minus) / sum * 100.0) - adx);
      out[i] = std::floor(adx + 0.5);
    }
    benchmark::DoNotOptimize(out.data());
  });
  state.SetItemsProcessed(state.iterations() * kBars);
  g_reference[kelda::chart::CDataADX::kTypeCode] = t;
}

double midpoint(const std::vector<Bar>& b, size_t i, size_t n) {
  double high = b[i].high, low = b[i].low;
  for (size_t k = i + 1 - n; k < i; ++k) high = std::max(high, b[k].high), low = std::min(low, b[k].low);
  return (high + low) * 0.5;
}

void BM_Reference_IchimokuLoop(benchmark::State& state) {
  const std::vector<Bar> b = bars(kBars);
  const size_t shift = 26;
  std::vector<double> conversion(b.size()), base(b.size()), spanA(b.size() + shift), spanB(b.size() + shift),
      lagging(b.size());
  const double t = timed(state, [&] {
    for (size_t i = 0; i < b.size(); ++i) {
      if (i >= 8) conversion[i] = midpoint(b, i, 9);
      if (i >= 25) {
        base[i] = midpoint(b, i, 26);
        spanA[i + shift] = (conversion[i] + base[i]) * 0.5;
      }
      if (i >= 51) spanB[i + shift] = midpoint(b, i, 52);
      if (i >= shift) lagging[i - shift] = b[i].close;
    }
    benchmark::DoNotOptimize(spanA.data());
    benchmark::DoNotOptimize(spanB.data());
    benchmark::DoNotOptimize(lagging.data());
  });
  state.SetItemsProcessed(state.iterations() * kBars);
  g_reference[kelda::chart::CDataIchimoku::kTypeCode] = t;
}

void BM_Reference_AlligatorLoop(benchmark::State& state) {
  const std::vector<Bar> b = bars(kBars);
  const size_t periods[3] = {13, 8, 5};
  const size_t shifts[3] = {8, 5, 3};
  std::vector<double> lines[3] = {std::vector<double>(b.size()), std::vector<double>(b.size()),
                                  std::vector<double>(b.size())};
  std::vector<double> average(b.size());
  const double t = timed(state, [&] {
    for (int l = 0; l < 3; ++l) {
      double sum = 0.0;
      for (size_t i = 0; i < b.size(); ++i) {
        sum += (b[i].high + b[i].low) * 0.5;
        if (i >= periods[l]) sum -= (b[i - periods[l]].high + b[i - periods[l]].low) * 0.5;
        average[i] = sum / static_cast<double>(periods[l]);
        if (i >= shifts[l]) lines[l][i] = average[i - shifts[l]];
      }
    }
    for (auto& line : lines) benchmark::DoNotOptimize(line.data());
  });
  state.SetItemsProcessed(state.iterations() * kBars);
  g_reference[kelda::chart::CDataAlligator::kTypeCode] = t;
}

void BM_Reference_OnBalanceVolumeLoop(benchmark::State& state) {
  const std::vector<Bar> b = bars(kBars);
  std::vector<double> out(b.size());
  const double t = timed(state, [&] {
    double total = 0.0;
    for (size_t i = 1; i < b.size(); ++i) {
      if (b[i].close > b[i - 1].close) total += b[i].volume;
      if (b[i].close < b[i - 1].close) total -= b[i].volume;
      out[i] = total;
    }
    benchmark::DoNotOptimize(out.data());
  });
  state.SetItemsProcessed(state.iterations() * kBars);
  g_reference[kelda::chart::CDataBalanceVol::kTypeCode] = t;
}

void BM_Reference_MoneyFlowLoop(benchmark::State& state) {
  const std::vector<Bar> b = bars(kBars);
  std::vector<double> typical(b.size()), out(b.size());
  for (size_t i = 0; i < b.size(); ++i) typical[i] = (b[i].close + b[i].low + b[i].high) / 3.0;
  const double t = timed(state, [&] {
    for (size_t i = kPeriod; i < b.size(); ++i) {
      double positive = 0.0, negative = 0.0;
      for (size_t k = i + 1 - kPeriod; k <= i; ++k) {
        if (typical[k] > typical[k - 1]) positive += b[k].volume * typical[k];
        if (typical[k] < typical[k - 1]) negative += b[k].volume * typical[k];
      }
      out[i] = negative < 1e-7 ? 100.0 : 100.0 - 100.0 / (positive / negative + 1.0);
    }
    benchmark::DoNotOptimize(out.data());
  });
  state.SetItemsProcessed(state.iterations() * kBars);
  g_reference[kelda::chart::CDataMFI::kTypeCode] = t;
}

// Each reference just before its subject.
#define INDICATOR_PAIR(subject, reference)                               \
  BENCHMARK(reference)->UseManualTime()->Unit(benchmark::kMillisecond); \
  BENCHMARK(subject)->UseManualTime()->Unit(benchmark::kMillisecond)
INDICATOR_PAIR(BM_AdxFull, BM_Reference_AdxLoop);
INDICATOR_PAIR(BM_IchimokuFull, BM_Reference_IchimokuLoop);
INDICATOR_PAIR(BM_AlligatorFull, BM_Reference_AlligatorLoop);
INDICATOR_PAIR(BM_OnBalanceVolumeFull, BM_Reference_OnBalanceVolumeLoop);
INDICATOR_PAIR(BM_MoneyFlowFull, BM_Reference_MoneyFlowLoop);

}  // namespace

BENCHMARK_MAIN();
