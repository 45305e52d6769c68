// Chart indicator hot paths, each beside a reference measured in the same run:
//   - full calculation of a simple and an exponential moving average, the
//     Bollinger bands, RSI, MACD and the stochastic oscillator over 100,000
//     and 1,000,000 bars (VizorRedraw of the security series, which the
//     indicator and all its parts follow); reference: a plain one-pass loop
//     over an array of the same closes (running sum, recursive average,
//     running sum of squares, highest and lowest of a short window). Each
//     reference runs just before its subject, and the subject reports the
//     ratio of their mean times as the counter "vs_reference".
//   - adding one bar to a chart of 100,000 bars that carries these
//     indicators; reference: the same chart without them. The cost per bar
//     must not grow with the length of the series.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "chart/data_bollinger.h"
#include "chart/data_ma.h"
#include "chart/data_macd.h"
#include "bench_timing.h"
#include "chart/data_rsi.h"
#include "chart/data_stochastic.h"
#include "chart/kelda_chart.h"
#include "platform/packed_time.h"
#include "platform/time.h"

namespace {

using kelda::chart::BollingerParams;
using kelda::chart::MaParams;
using kelda::chart::RsiParams;
using kelda::chart::VizorMacdParams;
using kelda::chart::VizorStochasticParams;
using kelda::bench::timed;

// Mean time of each reference by (indicator, bars), for its subject's ratio.
std::map<std::pair<int, int64_t>, double> g_reference;

constexpr uint64_t kMinute = 60ull * 10'000'000ull;
constexpr int kPeriod = 20;

double closeAt(int i) { return 100.0 + (i % 97) * 0.25 + (i % 13) * 0.1; }

class IndicatorChart {
 public:
  explicit IndicatorChart(int bars) {
    const RECT rect{0, 0, 800, 600};
    chart_ = VizorCreateChart(0, &rect, nullptr, nullptr);
    pane_ = VizorAddPane(chart_);
    security_ = VizorAddGraphData(chart_);
    for (int i = 0; i < bars; ++i) add(i, 0);
  }
  ~IndicatorChart() { VizorDestroyChart(chart_); }
  IndicatorChart(const IndicatorChart&) = delete;
  IndicatorChart& operator=(const IndicatorChart&) = delete;

  void add(int i, BOOL redraw) {
    const FILETIME t = kelda::platform::to_filetime(start_ + static_cast<uint64_t>(i) * kMinute);
    const double c = closeAt(i);
    VizorAddOHLCV(chart_, security_, &t, c, c + 1, c - 1, c, 10.0, redraw);
  }
  template <class Block>
  int32_t addIndicator(int32_t type, const Block& block) {
    const int32_t id = VizorAddGraph(chart_, security_, type, pane_);
    VizorGraphParams graph{};
    Block old{};
    VizorGetGraphParams(chart_, id, &graph, &old, sizeof(Block));
    VizorSetGraphParams(chart_, id, &graph, &block, sizeof(Block));
    return id;
  }
  void addIndicators() {
    addIndicator(3, MaParams{kPeriod, 1, 4});
    addIndicator(3, MaParams{kPeriod, 2, 4});
    addIndicator(7, bands());
    addIndicator(9, RsiParams{kPeriod, 4});
    addIndicator(5, VizorMacdParams{});
    addIndicator(8, VizorStochasticParams{});
  }
  static BollingerParams bands() {
    BollingerParams p;
    p.period = kPeriod;
    p.method = 1;
    p.upperStyle = p.lowerStyle = 1;
    return p;
  }
  VizorChart chart() const { return chart_; }
  int32_t security() const { return security_; }

 private:
  uint64_t start_ = kelda::platform::to_u64(kelda::platform::unpackDateTime(20000103, 100000));
  VizorChart chart_;
  int32_t pane_;
  int32_t security_;
};

// The indicators measured, each with its reference loop.
enum Kind { kSimple, kExponential, kBollinger, kRsi, kMacd, kStochastic };

void fullCalculation(benchmark::State& state, Kind kind) {
  const int n = static_cast<int>(state.range(0));
  IndicatorChart c(n);
  switch (kind) {
    case kSimple: c.addIndicator(3, MaParams{kPeriod, 1, 4}); break;
    case kExponential: c.addIndicator(3, MaParams{kPeriod, 2, 4}); break;
    case kBollinger: c.addIndicator(7, IndicatorChart::bands()); break;
    case kRsi: c.addIndicator(9, RsiParams{kPeriod, 4}); break;
    case kMacd: c.addIndicator(5, VizorMacdParams{}); break;
    case kStochastic: c.addIndicator(8, VizorStochasticParams{}); break;
  }
  // The security series is the root: the indicator and every part of it
  // recompute over all bars.
  const double t = timed(state, [&] { VizorRedraw(c.chart(), c.security()); });
  state.SetItemsProcessed(state.iterations() * n);
  const double reference = g_reference[{kind, state.range(0)}];
  if (reference > 0) state.counters["vs_reference"] = t / reference;
}

void BM_SimpleAverageFull(benchmark::State& state) { fullCalculation(state, kSimple); }
void BM_ExponentialAverageFull(benchmark::State& state) { fullCalculation(state, kExponential); }
void BM_BollingerFull(benchmark::State& state) { fullCalculation(state, kBollinger); }
void BM_RsiFull(benchmark::State& state) { fullCalculation(state, kRsi); }
void BM_MacdFull(benchmark::State& state) { fullCalculation(state, kMacd); }
void BM_StochasticFull(benchmark::State& state) { fullCalculation(state, kStochastic); }

std::vector<double> closes(int n) {
  std::vector<double> out(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out[static_cast<size_t>(i)] = closeAt(i);
  return out;
}

void BM_Reference_SimpleAverageLoop(benchmark::State& state) {
  const std::vector<double> c = closes(static_cast<int>(state.range(0)));
  std::vector<double> out(c.size());
  const double t = timed(state, [&] {
    double sum = 0.0;
    for (size_t i = 0; i < c.size(); ++i) {
      sum += c[i];
      if (i >= kPeriod) sum -= c[i - kPeriod];
      out[i] = sum / kPeriod;
    }
    benchmark::DoNotOptimize(out.data());
  });
  state.SetItemsProcessed(state.iterations() * state.range(0));
  g_reference[{kSimple, state.range(0)}] = t;
}

void BM_Reference_ExponentialAverageLoop(benchmark::State& state) {
  const std::vector<double> c = closes(static_cast<int>(state.range(0)));
  std::vector<double> out(c.size());
  const double t = timed(state, [&] {
    double e = c[0];
    for (size_t i = 0; i < c.size(); ++i) {
      e = ((kPeriod - 1) * e + 2.0 * c[i]) / (kPeriod + 1);
      out[i] = e;
    }
    benchmark::DoNotOptimize(out.data());
  });
  state.SetItemsProcessed(state.iterations() * state.range(0));
  g_reference[{kExponential, state.range(0)}] = t;
}

void BM_Reference_BollingerLoop(benchmark::State& state) {
  const std::vector<double> c = closes(static_cast<int>(state.range(0)));
  std::vector<double> upper(c.size()), lower(c.size());
  const double t = timed(state, [&] {
    double sum = 0.0, squares = 0.0;
    for (size_t i = 0; i < c.size(); ++i) {
      sum += c[i];
      squares += c[i] * c[i];
      if (i >= kPeriod) sum -= c[i - kPeriod], squares -= c[i - kPeriod] * c[i - kPeriod];
      const double mean = sum / kPeriod;
      const double deviation = std::sqrt(std::fabs(squares / kPeriod - mean * mean));
      upper[i] = mean + 2.0 * deviation;
      lower[i] = mean - 2.0 * deviation;
    }
    benchmark::DoNotOptimize(upper.data());
    benchmark::DoNotOptimize(lower.data());
  });
  state.SetItemsProcessed(state.iterations() * state.range(0));
  g_reference[{kBollinger, state.range(0)}] = t;
}

void BM_Reference_RsiLoop(benchmark::State& state) {
  const std::vector<double> c = closes(static_cast<int>(state.range(0)));
  std::vector<double> out(c.size());
  const double t = timed(state, [&] {
    double up = 0.0, down = 0.0;
    for (size_t i = 1; i < c.size(); ++i) {
      const double d = c[i] - c[i - 1];
      up = (std::max(d, 0.0) + (kPeriod - 1) * up) / kPeriod;
      down = (std::max(-d, 0.0) + (kPeriod - 1) * down) / kPeriod;
      out[i] = up + down > 0.0 ? up / (up + down) * 100.0 : 0.0;
    }
    benchmark::DoNotOptimize(out.data());
  });
  state.SetItemsProcessed(state.iterations() * state.range(0));
  g_reference[{kRsi, state.range(0)}] = t;
}

void BM_Reference_MacdLoop(benchmark::State& state) {
  const std::vector<double> c = closes(static_cast<int>(state.range(0)));
  std::vector<double> oscillator(c.size()), signal(c.size());
  const double t = timed(state, [&] {
    double fast = c[0], slow = c[0], s = 0.0;
    for (size_t i = 0; i < c.size(); ++i) {
      fast = (11 * fast + 2.0 * c[i]) / 13;
      slow = (25 * slow + 2.0 * c[i]) / 27;
      oscillator[i] = (fast - slow) / slow * 100.0;
      s = i == 0 ? oscillator[i] : (8 * s + 2.0 * oscillator[i]) / 10;
      signal[i] = s;
    }
    benchmark::DoNotOptimize(oscillator.data());
    benchmark::DoNotOptimize(signal.data());
  });
  state.SetItemsProcessed(state.iterations() * state.range(0));
  g_reference[{kMacd, state.range(0)}] = t;
}

void BM_Reference_StochasticLoop(benchmark::State& state) {
  const std::vector<double> c = closes(static_cast<int>(state.range(0)));
  const size_t period = 9, slowing = 3;
  const double dPeriod = 3;
  std::vector<double> num(c.size()), den(c.size()), k(c.size()), d(c.size());
  const double t = timed(state, [&] {
    double e = 0.0;
    for (size_t i = 0; i < c.size(); ++i) {
      // The bars' high and low are the close plus and minus 1.
      double hh = c[i] + 1, ll = c[i] - 1;
      for (size_t j = i + 1 >= period ? i + 1 - period : 0; j < i; ++j) {
        hh = std::max(hh, c[j] + 1), ll = std::min(ll, c[j] - 1);
      }
      num[i] = c[i] - ll;
      den[i] = hh - ll;
      if (i + 2 < period + slowing) continue;
      double n = 0.0, r = 0.0;
      for (size_t j = i + 1 - slowing; j <= i; ++j) n += num[j], r += den[j];
      k[i] = n / r * 100.0;
      e = i + 2 == period + slowing ? k[i] : ((dPeriod - 1) * e + 2.0 * k[i]) / (dPeriod + 1);
      d[i] = e;
    }
    benchmark::DoNotOptimize(k.data());
    benchmark::DoNotOptimize(d.data());
  });
  state.SetItemsProcessed(state.iterations() * state.range(0));
  g_reference[{kStochastic, state.range(0)}] = t;
}

// Each reference just before its subject.
#define INDICATOR_PAIR(subject, reference)                                                             \
  BENCHMARK(reference)->Arg(100'000)->Arg(1'000'000)->UseManualTime()->Unit(benchmark::kMillisecond); \
  BENCHMARK(subject)->Arg(100'000)->Arg(1'000'000)->UseManualTime()->Unit(benchmark::kMillisecond)
INDICATOR_PAIR(BM_SimpleAverageFull, BM_Reference_SimpleAverageLoop);
INDICATOR_PAIR(BM_ExponentialAverageFull, BM_Reference_ExponentialAverageLoop);
INDICATOR_PAIR(BM_BollingerFull, BM_Reference_BollingerLoop);
INDICATOR_PAIR(BM_RsiFull, BM_Reference_RsiLoop);
INDICATOR_PAIR(BM_MacdFull, BM_Reference_MacdLoop);
INDICATOR_PAIR(BM_StochasticFull, BM_Reference_StochasticLoop);

void addOneBar(benchmark::State& state, bool indicators) {
  const int n = static_cast<int>(state.range(0));
  IndicatorChart c(n);
  if (indicators) c.addIndicators();
  int next = n;
  for (auto _ : state) c.add(next++, 1);
  state.SetItemsProcessed(state.iterations());
}

void BM_AddOneBarWithIndicators(benchmark::State& state) { addOneBar(state, true); }
void BM_Reference_AddOneBarWithoutIndicators(benchmark::State& state) { addOneBar(state, false); }
BENCHMARK(BM_AddOneBarWithIndicators)->Arg(100'000)->Iterations(20'000);
BENCHMARK(BM_Reference_AddOneBarWithoutIndicators)->Arg(100'000)->Iterations(20'000);

}  // namespace

BENCHMARK_MAIN();
