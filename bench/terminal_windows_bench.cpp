// The market windows from client event to paint: an order book of 20 levels
// (10 a side) whose volumes change and whose spread moves with every update,
// and 20 current-parameter cells (5 securities of 4 parameters) updated
// together; each update is the client event through the terminal's dispatch
// and the window painted. Beside them the ui layer's plain list view: 20
// item texts set and the list painted. Reports updates per second (the order
// book must keep up with 1,000 a second) and the ratio to the plain list
// ("vs_plain_list").
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fake_client.h"
#include "platform/host_addresses.h"
#include "terminal/data_wnd.h"
#include "terminal/instrument_pickers.h"
#include "terminal/login_dialog.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/market_windows.h"
#include "terminal/quotes_wnd.h"
#include "terminal/terminal_app.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/testing.h"

namespace {

using namespace kelda::terminal;
namespace ui = kelda::ui;

constexpr int kLevels = 20;
constexpr int kValueRows = 5;

struct Terminal {
  std::unique_ptr<ui::HeadlessUi> headless;
  FakeClient client{10};
  std::unique_ptr<TerminalApp> app;
  QuotesWnd* quotes = nullptr;
  DataWnd* data = nullptr;
  ui::Hwnd plain;

  Terminal() {
    const std::filesystem::path home = std::filesystem::current_path();
    ::setenv("KELDAMOBILE_HOME", home.c_str(), 1);
    headless = std::make_unique<ui::HeadlessUi>();
    // A device with a network address: the connect asks for no GPRS link.
    kelda::platform::host_addresses_test::set_addresses({{192, 0, 2, 10}});
    app = std::make_unique<TerminalApp>(client);
    app->init_instance();
    register_market_windows();
    DataFeedManager& m = app->data();
    m.settings().quotes_depth = kLevels / 2;
    headless->script().on_dialog(kLoginDialogId, [](ui::DialogDriver& d) { d.click(ui::id::ok); });
    m.connect_to_server(false);
    KelapiStartInfo info{};
    info.trade_date = 20240105;
    m.dispatch_client_event(KELAPI_EVENT_START, reinterpret_cast<WPARAM>(&info), 0);
    m.dispatch_client_event(KELAPI_EVENT_NEWCLASS, 0, 1);
    ui::process_pending();
    MainView& view = app->frame()->view();
    headless->script().on_dialog(kNewMarketWindowDialogId, [](ui::DialogDriver& d) { d.click(ui::id::ok); });
    quotes = dynamic_cast<QuotesWnd*>(view.slot(view.create_window_for_command(cmd::quotes)));
    headless->script().on_dialog(kAddTableItemDialogId, [](ui::DialogDriver& d) {
      const ui::ListBoxControl items{d.item(picker_id::items)};
      for (int i = 0; i < kValueRows; ++i) items.set_sel(i, true);
      d.click(ui::id::ok);
    });
    data = dynamic_cast<DataWnd*>(view.slot(view.create_window_for_command(cmd::current_params)));
    // The plain list: a report list of two columns and 20 rows.
    plain = create_report_list(view.hwnd(), 999, 0);
    ui::move_window(plain, 0, 0, 240, 300);
    const ui::ListViewControl lv{plain};
    lv.insert_column(0, u"A", 60);
    lv.insert_column(1, u"B", 60);
    for (int i = 0; i < kLevels; ++i) lv.insert_item(i, u"0");
  }
};

Terminal& terminal() {
  static Terminal t;
  return t;
}

using Clock = std::chrono::steady_clock;
double g_plain_ns = 0;

// Updates per second and nanoseconds per update over the loop that began at
// `start`; the plain list's figure is the reference of the others.
void report(benchmark::State& state, Clock::time_point start, bool reference) {
  const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count() /
                    static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["ns_per_update"] = ns;
  state.counters["updates_per_s"] = ns > 0 ? 1e9 / ns : 0;
  if (reference) g_plain_ns = ns;
  else if (g_plain_ns > 0) state.counters["vs_plain_list"] = ns / g_plain_ns;
}

void BM_PlainListUpdate(benchmark::State& state) {
  Terminal& t = terminal();
  const ui::ListViewControl lv{t.plain};
  int n = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    ++n;
    for (int i = 0; i < kLevels; ++i) lv.set_item_text(i, 1, std::u16string(1, static_cast<char16_t>(u'0' + (n + i) % 10)));
    ui::update_window(t.plain);
  }
  report(state, start, true);
}
BENCHMARK(BM_PlainListUpdate);

// A book of 10 bids and 10 offers around `mid` with volumes from `n`.
std::vector<KelapiPriceRecord> book(int mid, int n) {
  std::vector<KelapiPriceRecord> levels(kLevels);
  for (int i = 0; i < kLevels; ++i) {
    KelapiPriceRecord& r = levels[static_cast<std::size_t>(i)];
    r.price = mid - kLevels / 2 + i;
    (i < kLevels / 2 ? r.positive_volume : r.negative_volume) = 1 + (n * 7 + i * 13) % 97;
  }
  return levels;
}

void BM_QuotesEventToPaint(benchmark::State& state) {
  Terminal& t = terminal();
  MainView& view = t.app->frame()->view();
  for (int i = 0; i < kSlotCount; ++i) {
    if (view.slot(i) == t.quotes) view.activate_slot(i);
  }
  // The books are made beforehand: only the event and the paint are timed.
  std::vector<std::vector<KelapiPriceRecord>> books;
  for (int i = 0; i < 64; ++i) books.push_back(book(1000 + i % 3, i));  // the spread moves now and then
  int n = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    t.client.book = books[static_cast<std::size_t>(n++ % 64)];
    t.app->data().dispatch_client_event(KELAPI_EVENT_NEWPRICE, 1, 1);
    ui::update_window(t.quotes->list());
  }
  report(state, start, false);
}
BENCHMARK(BM_QuotesEventToPaint);

void BM_CurrentParamsEventToPaint(benchmark::State& state) {
  Terminal& t = terminal();
  MainView& view = t.app->frame()->view();
  for (int i = 0; i < kSlotCount; ++i) {
    if (view.slot(i) == t.data) view.activate_slot(i);
  }
  const ParamTableSet& set = t.data->table_set();
  std::vector<uint32_t> securities;
  for (int i = 0; i < set.rows(); ++i) {
    securities.push_back(t.app->data().tables().find_class("TQBR")->find_security(std::string(set.row[i].security_code))
                             ->record.security_number);
  }
  KelapiValueRecord values[4] = {};
  for (int k = 0; k < 4; ++k) std::strcpy(values[k].db_name, FakeClient::kParams[k]);
  std::strcpy(values[3].db_name, "LASTCHANGE");
  int n = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    ++n;
    for (uint32_t sec : securities) {
      for (int k = 0; k < 4; ++k) values[k].value = n + k + sec;
      KelapiDataEvent header{values, 4, 1, 0, 1, sec};
      t.app->data().on_values(header);
    }
    ui::update_window(t.data->list());
  }
  state.counters["cells"] = static_cast<double>(securities.size() * 4);
  report(state, start, false);
}
BENCHMARK(BM_CurrentParamsEventToPaint);

}  // namespace

BENCHMARK_MAIN();
