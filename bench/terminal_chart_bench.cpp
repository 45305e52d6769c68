// A chart window with 100,000 bars and five indicators taking one live bar:
// the time from the data-line message to the repainted window, against the
// chart library's own path for the same bar (the bar added straight to the
// chart, then the same repaint) in the same run. Reports window_ms,
// library_ms and ratio = window / library.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/packed_time.h"
#include "terminal/tables.h"
#include "terminal_chart/chart_window.h"
#include "terminal_chart/data_lines.h"
#include "ui/screen.h"
#include "ui/window.h"
#include "ui_qt/qt_ui.h"

using namespace kelda;
using namespace kelda::terminal;

namespace {

constexpr int kBars = 100000;
using Clock = std::chrono::steady_clock;
double ms_since(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

class OneLine final : public DataLines {
 public:
  bool register_line(int32_t, int32_t, int32_t, bool, ui::Hwnd, int32_t& line_id) override {
    line_id = 1;
    return true;
  }
  void unregister_line(int32_t) override {}
};

struct Frame : ui::Window {};

struct Bar {
  double open, high, low, close, volume;
  uint32_t date, time;
};

// Bar i: one a minute from 2024-01-01.
Bar bar(int i) {
  const int day = i / (24 * 60);
  const int minute = i % (24 * 60);
  const FILETIME base = platform::unpackDateTime(20240101, 0);
  const uint64_t at = ((static_cast<uint64_t>(base.dwHighDateTime) << 32) | base.dwLowDateTime) +
                      static_cast<uint64_t>(day) * 864000000000ull;
  const FILETIME t{static_cast<DWORD>(at), static_cast<DWORD>(at >> 32)};
  int32_t date = 0;
  platform::packDateTime(t, &date);
  const double open = 100 + 10 * std::sin(i * 0.01);
  const double close = open + std::sin(i * 0.7);
  return Bar{open, std::max(open, close) + 0.5, std::min(open, close) - 0.5, close, 10,
             static_cast<uint32_t>(date), static_cast<uint32_t>(minute / 60 * 10000 + minute % 60 * 100)};
}

ChartConfig five_indicators() {
  ChartConfig c;
  c.class_code = "TQBR";
  c.security_code = "GAZP";
  c.minutes = 1;
  c.period_mode = 3;
  c.last_bars = 200;
  c.saved_pane_ids = {1, 2, 3};
  c.proportions = {0.5, 0.25, 0.25};
  const std::pair<int32_t, int32_t> graphs[] = {{1, 1}, {3, 1}, {7, 1}, {2, 2}, {5, 3}, {9, 3}, {8, 2}};
  for (const auto& [kind, pane] : graphs) {
    GraphSettings g;
    g.kind = kind;
    set_indicator_defaults(g);
    g.pane_id = pane;
    c.graphs.push_back(std::move(g));
  }
  return c;
}

void BM_LiveBar(benchmark::State& state) {
  ui::QtUiOptions o;
  o.show_window = false;
  o.screen = ui::ScreenConfig{640, 480};
  ui::QtUi qt(o);
  Frame frame;
  ui::CreateParams fp;
  fp.style = ui::ws::popup | ui::ws::visible;
  fp.rect = {0, 0, 640, 480};
  frame.create(fp);
  OneLine line;
  set_data_lines(&line);
  auto w = std::make_unique<PriceChartWnd>(five_indicators());
  ui::CreateParams p;
  p.style = ui::ws::child | ui::ws::visible;
  p.parent = frame.hwnd();
  w->create(p);
  // The class arrives and the window binds to its security's data line.
  ClassRecord cls;
  std::strcpy(cls.record.code, "TQBR");
  cls.record.class_number = 1;
  auto sec = std::make_unique<SecurityRecord>();
  sec->record.security_number = 1;
  cls.securities["GAZP"] = std::move(sec);
  ui::send_message(w->hwnd(), UM_MATCHROW, reinterpret_cast<WPARAM>(&cls));
  ui::move_window(w->hwnd(), 0, 0, 640, 480, true);
  for (int i = 0; i < kBars; ++i) {
    const Bar b = bar(i);
    const FILETIME t = platform::unpackDateTime(static_cast<int32_t>(b.date), static_cast<int32_t>(b.time));
    VizorAddOHLCV(w->chart(), w->price_series(), &t, b.open, b.high, b.low, b.close, b.volume, 0);
  }
  VizorRedraw(w->chart(), w->price_series());
  ui::update_window(w->hwnd());
  int next = kBars;
  for (auto _ : state) {
    Bar ours = bar(next++);
    auto start = Clock::now();
    ui::send_message(w->hwnd(), UM_DATALINE, 1, reinterpret_cast<LPARAM>(&ours));
    ui::update_window(w->hwnd());
    const double window_ms = ms_since(start);
    const Bar theirs = bar(next++);
    const FILETIME t = platform::unpackDateTime(static_cast<int32_t>(theirs.date), static_cast<int32_t>(theirs.time));
    start = Clock::now();
    VizorAddOHLCV(w->chart(), w->price_series(), &t, theirs.open, theirs.high, theirs.low, theirs.close,
                  theirs.volume, 1);
    ui::update_window(w->hwnd());
    const double library_ms = ms_since(start);
    state.SetIterationTime(window_ms / 1000.0);
    state.counters["window_ms"] = window_ms;
    state.counters["library_ms"] = library_ms;
    state.counters["ratio"] = library_ms > 0 ? window_ms / library_ms : 0;
  }
  w.reset();
  set_data_lines(nullptr);
}
BENCHMARK(BM_LiveBar)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
