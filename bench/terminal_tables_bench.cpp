// The trades and orders windows among 10,000 rows.
//
// Trades: a trades window of 10,000 rows receives 1,000 new trades a second.
// A library thread calls the terminal's client-event callback once a
// millisecond, as the client library does; the event is marshalled to the
// user-interface thread, stored in the trades table, fanned out to the window
// and painted when the queue runs empty. Measured per trade: the time from
// the library's call to the first paint that shows its row, median and 99th
// percentile over every trade of the run. Beside it, in the same run, the ui
// layer's own list view of the same columns and rows: the same thread posts a
// plain message a millisecond, whose handler inserts the row's ready-made
// texts; the same time to the row painted. Both windows keep their newest
// row in view, as a person following the tail does, so that every row is
// painted; a row that later rows pushed out of view before the next paint
// (events handled in a burst on a busy machine) counts at that paint and in
// "coalesced". Reports "median_us", "p99_us" and the ratios of the trades
// window to the plain list ("vs_plain_median", "vs_plain_p99").
//
// Orders: an orders window of 10,000 rows updates one existing row per client
// event (on the user-interface thread, as the dispatch hands it over): the
// order stored, the row found by the order's row number (the window's
// index), its cells set and the row taken to view; the rows updated are
// spread over the whole list. Beside it the list view's own update of a row
// it is told by index: the same columns' texts set and the row taken to view.
// The list is painted after each update, outside the timing. Reports
// "ns_per_update" and the ratio "vs_plain_update".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fake_client.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "terminal/window_kinds.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/testing.h"

namespace {

using namespace kelda::terminal;
namespace ui = kelda::ui;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kRows = 10000;
// A round is half a second of trades at 1,000 a second: the smoke run's one
// iteration stays short; a longer run gathers more rounds.
constexpr uint32_t kRound = 500;
constexpr auto kSpacing = 1ms;
// A trade's number carries its round above its place in the round, so that
// rows of an earlier round still in view are not taken for this round's.
constexpr uint32_t kRoundShift = 20;
constexpr uint32_t kSeqMask = (1u << kRoundShift) - 1;
constexpr uint32_t kClassNumber = 1;
constexpr UINT kWakeTimer = 1;

uint32_t trade_number(uint32_t round, uint32_t seq) { return round << kRoundShift | seq; }

// The client library's rows: trades and orders of known securities. A
// trade's number is the event's number; order event n updates order row
// n % kRows + 1, active, with figures that change with n.
class TablesClient : public FakeClient {
 public:
  TablesClient() : FakeClient(kRows) {}
  KelapiResult get_class_securities(uint32_t n, KelapiSecurityRecord* r) override {
    FakeClient::get_class_securities(n, r);
    for (uint32_t i = 0; i < kSecurities; ++i) {
      std::snprintf(r[i].name, sizeof r[i].name, "Security %u", i + 1);
      r[i].scale = 2;
    }
    return 0;
  }
  KelapiResult get_trade(uint32_t n, KelapiTradeRecord* r) override {
    *r = {};
    r->trade_number = n;
    r->row_number = n;
    r->class_number = kClassNumber;
    r->security_number = n % kSecurities + 1;
    r->time = 100000 + static_cast<int32_t>(n % 60);
    r->price = 100 + (n % 1000) / 100.0;
    r->quantity = static_cast<int32_t>(10 + n % 90);
    r->value = r->price * r->quantity;
    r->sell = static_cast<int32_t>(n & 1);
    std::strcpy(r->account, "L01-00000000");
    std::strcpy(r->comment, "client/7");
    return 0;
  }
  KelapiResult get_order(uint32_t n, KelapiOrderRecord* r) override {
    *r = {};
    r->row_number = n % kRows + 1;
    r->order_number = 1e9 + r->row_number;
    r->class_number = kClassNumber;
    r->security_number = r->row_number % kSecurities + 1;
    r->flags = 0x1 | ((n & 1) != 0 ? 0x4 : 0);  // active: an update does not beep
    r->time = 100000 + static_cast<int32_t>(n % 60);
    r->price = 100 + (n % 1000) / 100.0;
    r->quantity = 100;
    r->balance = static_cast<int32_t>(n / kRows % 100);
    r->value = r->price * r->quantity;
    std::strcpy(r->account, "L01-00000000");
    std::strcpy(r->comment, "client/7");
    return 0;
  }
};

// When each event of the round was posted and when its row was first
// painted. `posted` is written by the library thread before each post; the
// queue orders that before the user-interface thread reads it. Rows go in
// in order and each window keeps its newest row in view, so a paint that
// shows row s also shows that every row before it went in: when the thread
// handled several events before one paint (a busy machine), the rows scrolled
// past count as painted then ("coalesced").
struct Timings {
  bool active = false;  // within a round
  uint32_t round = 0;
  std::vector<Clock::time_point> posted = std::vector<Clock::time_point>(kRound);
  uint32_t seen = 0;               // rows of the round painted, from the first on
  uint64_t coalesced = 0;          // rows first shown by the paint of a later row
  std::vector<double> latency_ns;  // every row of the benchmark

  void start_round() {
    ++round;
    seen = 0;
    active = true;
  }
  // A row showing trade (or plain row) `number` is being painted.
  void row_painted(uint32_t number) {
    if (!active || number >> kRoundShift != round) return;
    const uint32_t seq = number & kSeqMask;
    if (seq >= kRound || seq < seen) return;
    coalesced += seq - seen;
    const Clock::time_point now = Clock::now();
    for (; seen <= seq; ++seen) {
      latency_ns.push_back(std::chrono::duration<double, std::nano>(now - posted[seen]).count());
    }
  }
};
Timings g_timings;

// The trades window as the terminal makes it, seen at paint: every row's
// colour is asked for as it is drawn. It keeps its newest row in view.
class TradesProbe : public TradesWnd {
 public:
  void on_trade(const KelapiTradeRecord& trade) override {
    TradesWnd::on_trade(trade);
    list().ensure_visible(list().item_count() - 1);
  }

 protected:
  COLORREF row_color(LPARAM record) const override {
    if (record != 0) {
      g_timings.row_painted(static_cast<uint32_t>(reinterpret_cast<const KelapiTradeRecord*>(record)->trade_number));
    }
    return TradesWnd::row_color(record);
  }
};

std::u16string wide(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

// The plain lists: the ui layer's list view alone, in a window of the same
// place and size as the table windows. wm::app inserts trade row number
// `wparam` from ready texts; the rows report their paint as the trades
// window's do.
class PlainHost : public TerminalWindow {
 public:
  PlainHost() : TerminalWindow(0) {}
  ui::Hwnd trades_list;
  ui::Hwnd orders_list;
  // Cell texts (columns 1..9) of each place in a round.
  std::vector<std::array<std::u16string, 9>> trade_cells;

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == ui::wm::app) {
      const ui::ListViewControl lv{trades_list};
      const auto number = static_cast<uint32_t>(wparam);
      const int row = lv.insert_item(lv.item_count(), wide(std::to_string(lv.item_count() + 1)),
                                     static_cast<LPARAM>(number));
      const auto& cells = trade_cells[(number & kSeqMask) % trade_cells.size()];
      for (int c = 0; c < 9; ++c) lv.set_item_text(row, c + 1, cells[static_cast<std::size_t>(c)]);
      lv.ensure_visible(row);
      return 0;
    }
    if (msg == ui::wm::notify) {
      const auto* hdr = reinterpret_cast<const ui::NotifyHeader*>(lparam);
      if (hdr != nullptr && hdr->code == ui::nm::custom_draw) {
        auto* draw = reinterpret_cast<ui::ListViewCustomDraw*>(lparam);
        if (draw->nmcd.draw_stage == ui::cdds::prepaint) return ui::cdrf::notify_item_draw;
        if (draw->nmcd.draw_stage == ui::cdds::item_prepaint && draw->nmcd.hdr.from == trades_list) {
          g_timings.row_painted(static_cast<uint32_t>(draw->nmcd.item_lparam));
        }
        return ui::cdrf::do_default;
      }
    }
    return TerminalWindow::window_proc(msg, wparam, lparam);
  }
};

ui::Hwnd make_list(ui::Hwnd parent, UINT id, const TableWnd& like) {
  ui::CreateParams p;
  p.class_name = ui::class_name::list_view;
  p.style = ui::ws::child | ui::lvs::report;
  p.parent = parent;
  p.id = id;
  p.rect = ui::get_client_rect(parent);
  const ui::Hwnd list = ui::create_window(p);
  // The table windows' font, so that both show as many rows a page.
  if (const DataFeedManager* m = manager(); m != nullptr && m->table_font() != nullptr) {
    ui::send_message(list, ui::wm::set_font, m->table_font()->handle(), 1);
  }
  const ui::ListViewControl lv{list};
  lv.set_extended_style(ui::lvs_ex::full_row_select, ui::lvs_ex::full_row_select);
  const ui::ListViewControl model = like.list();
  for (int c = 0; c < model.column_count(); ++c) lv.insert_column(c, model.column_title(c), model.column_width(c));
  return list;
}

struct Terminal {
  std::unique_ptr<ui::HeadlessUi> headless;
  TablesClient client;
  std::unique_ptr<TerminalApp> app;
  TableWnd* trades = nullptr;
  TableWnd* orders = nullptr;
  int trades_slot = -1;
  int orders_slot = -1;
  PlainHost plain;

  Terminal() {
    // The terminal's files (settings, log) go into the folder it runs in.
    const std::filesystem::path home = std::filesystem::current_path();
    ::setenv("KELDAMOBILE_HOME", home.c_str(), 1);
    headless = std::make_unique<ui::HeadlessUi>(ui::ScreenConfig{}, false);
    register_table_windows();
    register_window_kind({kind::trades, cmd::trades, true, "Trades", {}, [] { return std::make_unique<TradesProbe>(); }});
    app = std::make_unique<TerminalApp>(client);
    app->init_instance();
    DataFeedManager& m = app->data();
    m.dispatch_client_event(KELAPI_EVENT_NEWCLASS, 0, kClassNumber);
    // The tables filled beforehand (round 0); the windows fill from them.
    for (uint32_t i = 0; i < static_cast<uint32_t>(kRows); ++i) {
      m.on_trade(trade_number(0, i));
      m.on_order(i);
    }
    MainView& view = app->frame()->view();
    trades_slot = view.create_window_for_command(cmd::trades);
    orders_slot = view.create_window_for_command(cmd::orders);
    trades = dynamic_cast<TableWnd*>(view.slot(trades_slot));
    orders = dynamic_cast<TableWnd*>(view.slot(orders_slot));

    // The plain host covers the table windows' place in the view.
    const RECT at = ui::get_window_rect(trades->hwnd());
    const POINT origin = ui::screen_to_client(view.hwnd(), POINT{at.left, at.top});
    ui::CreateParams p;
    p.style = ui::ws::child;
    p.parent = view.hwnd();
    p.rect = RECT{origin.x, origin.y, origin.x + at.right - at.left, origin.y + at.bottom - at.top};
    plain.create(p);
    plain.trades_list = make_list(plain.hwnd(), 101, *trades);
    plain.orders_list = make_list(plain.hwnd(), 102, *orders);
    const ui::ListViewControl pt{plain.trades_list}, po{plain.orders_list};
    for (int i = 0; i < kRows; ++i) {
      pt.insert_item(i, wide(std::to_string(i + 1)), static_cast<LPARAM>(trade_number(0, static_cast<uint32_t>(i))));
      po.insert_item(i, wide(std::to_string(i + 1)), 0);
      for (int c = 1; c < pt.column_count(); ++c) pt.set_item_text(i, c, trades->list().item_text(i, c));
      for (int c = 1; c < po.column_count(); ++c) po.set_item_text(i, c, orders->list().item_text(i, c));
    }
    // The cells of the trades to come, as the trades window shows them.
    for (uint32_t i = 0; i < kRound; ++i) {
      std::array<std::u16string, 9> cells;
      for (std::size_t c = 0; c < cells.size(); ++c) {
        cells[c] = trades->list().item_text(static_cast<int>(i), static_cast<int>(c + 1));
      }
      plain.trade_cells.push_back(std::move(cells));
    }
    // Wakes the waiting loop now and then, should an expected paint never come.
    ui::set_timer(plain.hwnd(), kWakeTimer, 50);
    ui::process_pending();
    headless->clear_screen_records();
  }

  // Shows the table window of `slot`, or the plain list `list` alone.
  void show(int slot, ui::Hwnd list = {}) {
    MainView& view = app->frame()->view();
    if (slot >= 0) {
      ui::show_window(plain.hwnd(), ui::sw::hide);
      view.activate_slot(slot);
    } else {
      view.activate_slot(-1);
      ui::show_window(plain.trades_list, list == plain.trades_list ? ui::sw::show : ui::sw::hide);
      ui::show_window(plain.orders_list, list == plain.orders_list ? ui::sw::show : ui::sw::hide);
      ui::show_window(plain.hwnd(), ui::sw::show);
    }
    ui::process_pending();
    headless->clear_screen_records();
  }
};

Terminal& terminal() {
  static Terminal t;
  return t;
}

// One round: a library thread posts kRound events one a millisecond while
// the user-interface thread handles and paints them. False when some row was
// not painted within ten seconds of the round's end.
template <typename Post>
bool run_round(Post post) {
  g_timings.start_round();
  const uint32_t round = g_timings.round;
  const auto begin = Clock::now();
  std::thread library([&] {
    for (uint32_t i = 0; i < kRound; ++i) {
      std::this_thread::sleep_until(begin + i * kSpacing);
      g_timings.posted[i] = Clock::now();
      post(trade_number(round, i));
    }
  });
  const auto deadline = begin + kRound * kSpacing + 10s;
  ui::run_loop_until([&] { return g_timings.seen >= kRound || Clock::now() > deadline; });
  library.join();
  g_timings.active = false;
  return g_timings.seen >= kRound;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  const auto k = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1));
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
  return v[k];
}

struct Latency {
  double median_us = 0;
  double p99_us = 0;
};
Latency g_plain_latency;

// Runs rounds of `post` and reports the latencies of every row painted.
template <typename Post>
Latency paced(benchmark::State& state, ui::Hwnd list, Post post) {
  Terminal& t = terminal();
  g_timings.latency_ns.clear();
  g_timings.coalesced = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const bool complete = run_round(post);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    t.headless->clear_screen_records();
    if (!complete) {
      state.SkipWithError("some rows were never painted");
      break;
    }
  }
  const Latency l{percentile(g_timings.latency_ns, 0.5) / 1000, percentile(g_timings.latency_ns, 0.99) / 1000};
  state.counters["median_us"] = l.median_us;
  state.counters["p99_us"] = l.p99_us;
  state.counters["rows"] = ui::ListViewControl{list}.item_count();
  state.counters["coalesced"] = static_cast<double>(g_timings.coalesced);
  return l;
}

void BM_PlainListInsert_1000PerSecond(benchmark::State& state) {
  Terminal& t = terminal();
  t.show(-1, t.plain.trades_list);
  const ui::Hwnd host = t.plain.hwnd();
  g_plain_latency = paced(state, t.plain.trades_list,
                          [host](uint32_t number) { ui::post_message(host, ui::wm::app, number, 0); });
}
BENCHMARK(BM_PlainListInsert_1000PerSecond)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_TradesEventToPaint_1000PerSecond(benchmark::State& state) {
  Terminal& t = terminal();
  t.show(t.trades_slot);
  const Latency l = paced(state, t.trades->list().hwnd, [](uint32_t number) {
    DataFeedManager::on_client_event(KELAPI_EVENT_NEWTRADE, 0, number);
  });
  if (g_plain_latency.median_us > 0) {
    state.counters["vs_plain_median"] = l.median_us / g_plain_latency.median_us;
    state.counters["vs_plain_p99"] = l.p99_us / g_plain_latency.p99_us;
  }
}
BENCHMARK(BM_TradesEventToPaint_1000PerSecond)->UseManualTime()->Unit(benchmark::kMillisecond);

// Row k of a walk that visits every row once in kRows steps, spread over the
// list (7,919 is prime to 10,000).
int spread_row(uint64_t k) { return static_cast<int>(k * 7919 % kRows); }

// Times `update` (given the step); the list is painted after each step
// outside the timing, so that every step starts from a list on screen as it
// would between events, and the screen's record is emptied now and then.
// Answers ns per update.
template <typename Update>
double timed_updates(benchmark::State& state, ui::Hwnd list, Update update) {
  Terminal& t = terminal();
  uint64_t k = 0;
  // A few untimed steps first: the first paints of a window shown anew.
  for (; k < 16; ++k) {
    update(k);
    ui::update_window(list);
  }
  const uint64_t first = k;
  double total = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    update(k);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(elapsed);
    total += elapsed;
    ui::update_window(list);
    if (++k % 256 == 0) t.headless->clear_screen_records();
  }
  const double ns = k == first ? 0 : total * 1e9 / static_cast<double>(k - first);
  state.counters["ns_per_update"] = ns;
  return ns;
}

double g_plain_update_ns = 0;

void BM_PlainListItemUpdate(benchmark::State& state) {
  Terminal& t = terminal();
  t.show(-1, t.plain.orders_list);
  const ui::ListViewControl lv{t.plain.orders_list};
  // Texts of 16 other rows, set in turn.
  std::vector<std::vector<std::u16string>> texts(16);
  for (int v = 0; v < 16; ++v) {
    for (int c = 1; c < lv.column_count(); ++c) texts[static_cast<std::size_t>(v)].push_back(lv.item_text(v * 37, c));
  }
  g_plain_update_ns = timed_updates(state, lv.hwnd, [&](uint64_t k) {
    const int row = spread_row(k);
    const auto& cells = texts[k % texts.size()];
    for (std::size_t c = 0; c < cells.size(); ++c) lv.set_item_text(row, static_cast<int>(c + 1), cells[c]);
    lv.ensure_visible(row);
  });
}
BENCHMARK(BM_PlainListItemUpdate)->UseManualTime();

void BM_OrdersUpdateByNumber(benchmark::State& state) {
  Terminal& t = terminal();
  t.show(t.orders_slot);
  DataFeedManager& m = t.app->data();
  const double ns = timed_updates(state, t.orders->list().hwnd, [&](uint64_t k) {
    // Order row spread_row(k) + 1 with new figures.
    const auto number = static_cast<uint32_t>(spread_row(k) + kRows * (1 + k / kRows % 1000));
    m.dispatch_client_event(KELAPI_EVENT_NEWORDER, 0, static_cast<LPARAM>(number));
  });
  state.counters["rows"] = t.orders->list().item_count();
  if (g_plain_update_ns > 0) state.counters["vs_plain_update"] = ns / g_plain_update_ns;
}
BENCHMARK(BM_OrdersUpdateByNumber)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
