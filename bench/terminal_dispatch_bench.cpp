// Client events through the terminal's marshalling and dispatch: a library
// thread posts order, trade and current-value events as the client library's
// callback does; the user-interface thread copies them into the tables
// (5,000 orders, 10,000 trades, 1,000 securities with values) and fans them
// out to 20 open windows. Measured: the time from the library's event to the
// table updated (seen by a window), median and 99th percentile, beside
// posting the same number of plain messages to a window on the
// user-interface thread. Reports events per second and the ratio of the
// medians ("vs_plain_post").
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "fake_client.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "ui/loop.h"
#include "ui/testing.h"

namespace {

using namespace kelda::terminal;
using Clock = std::chrono::steady_clock;
namespace ui = kelda::ui;

constexpr uint32_t kOrders = 5000;
constexpr uint32_t kTrades = 10000;
constexpr uint32_t kSecurities = FakeClient::kSecurities;
constexpr uint32_t kEventsPerRound = 6000;

// When each event was posted and when a window saw its row.
struct Timings {
  std::vector<Clock::time_point> posted;
  std::vector<Clock::duration> latency;
  std::atomic<uint32_t> seen{0};
  void reset(std::size_t n) {
    posted.assign(n, {});
    latency.assign(n, {});
    seen = 0;
  }
  void mark(uint32_t seq) {
    if (seq < latency.size()) latency[seq] = Clock::now() - posted[seq];
    ++seen;
  }
};
Timings g_timings;

class ProbeWindow : public TerminalWindow {
 public:
  explicit ProbeWindow(int kind, bool records) : TerminalWindow(kind), records_(records) {}
  void on_trade(const KelapiTradeRecord& t) override { record(static_cast<uint32_t>(t.quantity)); }
  void on_order(const KelapiOrderRecord& o) override { record(static_cast<uint32_t>(o.quantity)); }
  void on_values(const ClassRecord&, const SecurityRecord&, std::span<const KelapiValueRecord> v) override {
    if (!v.empty()) record(static_cast<uint32_t>(v[0].value));
  }
  LRESULT window_proc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == ui::wm::app) {
      g_timings.mark(static_cast<uint32_t>(w));
      return 0;
    }
    return TerminalWindow::window_proc(msg, w, l);
  }

 private:
  void record(uint32_t seq) {
    if (records_) g_timings.mark(seq);
  }
  bool records_;
};

struct Terminal {
  std::unique_ptr<ui::HeadlessUi> headless;
  FakeClient client{kOrders};
  std::unique_ptr<TerminalApp> app;
  ui::Hwnd probe;

  Terminal() {
    // The terminal's files (settings, log) go into the folder it runs in.
    const std::filesystem::path home = std::filesystem::current_path();
    ::setenv("KELDAMOBILE_HOME", home.c_str(), 1);
    headless = std::make_unique<ui::HeadlessUi>(ui::ScreenConfig{}, false);
    // 20 windows: one of each data kind that the events reach (the one that
    // records), the rest of other kinds that the fan-out scans past.
    for (int kind : {kind::trades, kind::orders, kind::current_params, kind::quotes}) {
      const bool records = kind != kind::quotes;
      register_window_kind({kind, 40000u + static_cast<UINT>(kind), kind != kind::quotes, "w", {},
                            [kind, records] { return std::make_unique<ProbeWindow>(kind, records); }});
    }
    app = std::make_unique<TerminalApp>(client);
    app->init_instance();
    MainView& view = app->frame()->view();
    for (int kind : {kind::trades, kind::orders, kind::current_params}) {
      view.create_window_for_command(40000u + static_cast<UINT>(kind));
    }
    for (int i = 0; i < 17; ++i) view.create_window_for_command(40000u + kind::quotes);
    probe = view.slot(0)->hwnd();
    DataFeedManager& m = app->data();
    // Connected and started, with the tables filled.
    m.dispatch_client_event(KELAPI_EVENT_NEWCLASS, 0, 1);
    for (uint32_t i = 0; i < kOrders; ++i) m.on_order(i);
    for (uint32_t i = 0; i < kTrades; ++i) m.on_trade(1u << 30 | i);
  }
};

Terminal& terminal() {
  static Terminal t;
  return t;
}

// Runs one round: a producer thread posts `n` items, the user-interface
// thread handles them; answers the median and 99th percentile in ns.
template <typename Post>
std::pair<double, double> round(uint32_t n, Post post) {
  g_timings.reset(n);
  std::thread producer([&] {
    for (uint32_t i = 0; i < n; ++i) {
      g_timings.posted[i] = Clock::now();
      post(i);
    }
  });
  ui::run_loop_until([&] { return g_timings.seen.load() >= n; });
  producer.join();
  std::vector<Clock::duration> l = g_timings.latency;
  std::sort(l.begin(), l.end());
  auto ns = [](Clock::duration d) { return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count()); };
  return {ns(l[l.size() / 2]), ns(l[l.size() * 99 / 100])};
}

double g_plain_median = 0;

void post_client_event(uint32_t i) {
  switch (i % 3) {
    case 0: DataFeedManager::on_client_event(KELAPI_EVENT_NEWORDER, 0, i); break;
    case 1: DataFeedManager::on_client_event(KELAPI_EVENT_NEWTRADE, 0, i); break;
    default: {
      KelapiValueRecord values[4] = {};
      for (int k = 0; k < 4; ++k) {
        values[k].value = static_cast<double>(i);
        std::strcpy(values[k].db_name, FakeClient::kParams[k]);
      }
      KelapiDataEvent header{values, 4, i + 1, 0, 1, i % kSecurities + 1};
      DataFeedManager::on_client_event(KELAPI_EVENT_NEWDATAEX, reinterpret_cast<uintptr_t>(&header), 0);
    }
  }
}

void report(benchmark::State& state, double median_sum, double p99_sum, double seconds) {
  const double rounds = static_cast<double>(state.iterations());
  state.counters["median_ns"] = median_sum / rounds;
  state.counters["p99_ns"] = p99_sum / rounds;
  state.counters["events_per_s"] = benchmark::Counter(kEventsPerRound * rounds / seconds);
}

void BM_PlainPost(benchmark::State& state) {
  Terminal& t = terminal();
  double median = 0, p99 = 0, seconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const auto [m, p] = round(kEventsPerRound, [&](uint32_t i) { ui::post_message(t.probe, ui::wm::app, i, 0); });
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(elapsed);
    median += m;
    p99 += p;
    seconds += elapsed;
  }
  report(state, median, p99, seconds);
  g_plain_median = median / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlainPost)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ClientEventToTable(benchmark::State& state) {
  terminal();
  double median = 0, p99 = 0, seconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const auto [m, p] = round(kEventsPerRound, post_client_event);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(elapsed);
    median += m;
    p99 += p;
    seconds += elapsed;
  }
  report(state, median, p99, seconds);
  if (g_plain_median > 0) state.counters["vs_plain_post"] = median / static_cast<double>(state.iterations()) / g_plain_median;
}
BENCHMARK(BM_ClientEventToTable)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
