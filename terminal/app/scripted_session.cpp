// The scripted session of the program.
#include "scripted_session.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "platform/host_addresses.h"
#include "terminal/data_wnd.h"
#include "terminal/instrument_pickers.h"
#include "terminal/main_view.h"
#include "terminal/quotes_wnd.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "terminal_chart/chart_window.h"
#include "terminal_dialogs/order_entry.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/scripted_services.h"
#include "ui/services.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

constexpr UINT kPollMs = 250;
// How long the chart is left to collect the market's bars before its picture.
constexpr uint64_t kChartSettleMs = 5000;

// One step of the session: what it does once, what it then waits for, and
// the name of the picture taken when that holds (none: no picture).
struct Step {
  const char* shot;
  std::function<void()> act;
  std::function<bool()> ready;
};

struct SessionState {
  TerminalApp* app = nullptr;
  ui::QtUi* qt = nullptr;
  ScriptedSessionOptions options;
  std::shared_ptr<ui::ScriptedServices> script;
  std::vector<Step> steps;
  std::size_t step = 0;
  bool acted = false;
  bool done = false;
  uint64_t started_at = 0;
  uint64_t step_started_at = 0;
  int shots = 0;
  bool succeeded = false;
};

SessionState& state() {
  static SessionState s;
  return s;
}

DataFeedManager& data() { return state().app->data(); }
MainView& view() { return state().app->frame()->view(); }

std::size_t value_cells(const DataFeedManager& m) {
  std::size_t n = 0;
  for (const auto& [code, cls] : m.tables().classes) {
    for (const auto& [sec_code, sec] : cls->securities) n += sec->values.size();
  }
  return n;
}

// The open window of the type, brought to the front; null when none is open.
template <typename W>
W* show(bool activate = true) {
  for (int i = 0; i < kSlotCount; ++i) {
    if (auto* w = dynamic_cast<W*>(view().slot(i))) {
      if (activate && view().active_slot() != i) view().activate_slot(i);
      return w;
    }
  }
  return nullptr;
}

template <typename W>
W* active() {
  return dynamic_cast<W*>(view().slot(view().active_slot()));
}

void command(UINT id) { ui::send_message(state().app->frame()->hwnd(), ui::wm::command, id); }

// The new-window picker answers with the first share of the demo market.
void pick_gazprom() {
  state().script->on_dialog(kNewMarketWindowDialogId, [](ui::DialogDriver& d) {
    d.choose(picker_id::class_list, u"Shares");
    d.choose(picker_id::security_list, u"Gazprom");
    d.click(ui::id::ok);
  });
}

int rows(ui::Hwnd list) { return ui::ListViewControl{list}.item_count(); }

// Every row of the list has text in the column.
bool column_filled(ui::Hwnd list, int column) {
  const ui::ListViewControl lv{list};
  if (lv.item_count() == 0) return false;
  for (int i = 0; i < lv.item_count(); ++i) {
    if (lv.item_text(i, column).empty()) return false;
  }
  return true;
}

void shoot(const char* name) {
  SessionState& s = state();
  const std::string path = s.options.screenshot_folder + "/" + std::to_string(++s.shots) + "-" + name + ".png";
  ui::process_pending();
  if (s.qt->save_screenshot(path)) std::printf("KeldaMobile: screenshot %s\n", path.c_str());
  std::fflush(stdout);
}

void finish() {
  SessionState& s = state();
  s.done = true;
  s.script->answer_message_box(ui::id::yes, u"завершить работу");
  ui::post_message(s.app->frame()->hwnd(), ui::wm::command, cmd::exit, 0);
}

// What the session does, in order: it waits for the market and the firm's
// accounts, opens the order book, the current parameters and a chart of
// GAZP, places a buy from the order book through the order window, and
// shows the order and its trade in their tables; each with its picture.
std::vector<Step> session_steps() {
  std::vector<Step> steps;
  steps.push_back({nullptr, [] {}, [] {
                     const DataFeedManager& m = data();
                     return m.started() && m.tables().classes.size() == 2 && value_cells(m) > 0 &&
                            !m.tables().accounts.empty();
                   }});
  steps.push_back({"order-book",
                   [] {
                     pick_gazprom();
                     command(cmd::quotes);
                   },
                   [] {
                     const QuotesWnd* q = show<QuotesWnd>();
                     return q != nullptr && rows(q->list()) >= 4;
                   }});
  steps.push_back({"current-parameters",
                   [] {
                     state().script->on_dialog(kAddTableItemDialogId, [](ui::DialogDriver& d) {
                       d.choose(picker_id::class_list, u"Shares");
                       const ui::ListBoxControl items{d.item(picker_id::items)};
                       for (int i = 0; i < items.count(); ++i) items.set_sel(i, true);
                       d.click(ui::id::ok);
                     });
                     command(cmd::current_params);
                   },
                   [] {
                     const DataWnd* w = show<DataWnd>();
                     return w != nullptr && column_filled(w->list(), 1);
                   }});
  steps.push_back({"chart",
                   [] {
                     pick_gazprom();
                     command(cmd::chart);
                   },
                   [] {
                     const PriceChartWnd* c = show<PriceChartWnd>();
                     return c != nullptr && c->line_id() != -1 &&
                            ui::now_ms() - state().step_started_at >= kChartSettleMs;
                   }});
  // A double tap on the order book's top row (the highest offer shown): the
  // order window opens with a buy at that price, the firm's account and the
  // client. The buy crosses the book unless the market climbs past that
  // offer before the order reaches it (the demo market's default pace
  // leaves room for several moves).
  steps.push_back({"order-window",
                   [] {
                     QuotesWnd* q = show<QuotesWnd>();
                     if (q == nullptr) return;
                     ui::process_pending();
                     const RECT r = ui::ListViewControl{q->list()}.item_rect(0);
                     const POINT at{r.left + 5, (r.top + r.bottom) / 2};
                     ui::scripted::tap_at(q->list(), at);
                     ui::scripted::double_tap_at(q->list(), at);
                   },
                   [] {
                     OrderEntryWnd* w = active<OrderEntryWnd>();
                     return w != nullptr && ui::DialogDriver(w->dialog().hwnd()).enabled(ui::id::ok);
                   }});
  // "Подать заявку": the confirmation is answered yes, the server's reply
  // acknowledged; the orders table shows the order once it has traded.
  steps.push_back({"orders",
                   [] {
                     OrderEntryWnd* w = active<OrderEntryWnd>();
                     if (w == nullptr) return;
                     state().script->answer_message_box(ui::id::yes, u"Подать заявку");
                     state().script->answer_message_box(ui::id::ok);
                     ui::DialogDriver(w->dialog().hwnd()).click(ui::id::ok);
                     command(cmd::orders);
                   },
                   [] {
                     const OrdersWnd* w = show<OrdersWnd>();
                     return w != nullptr && w->list().item_count() >= 1 && state().script->all_used();
                   }});
  steps.push_back({"trades", [] { command(cmd::trades); },
                   [] {
                     const TradesWnd* w = show<TradesWnd>();
                     return w != nullptr && w->list().item_count() >= 1;
                   }});
  return steps;
}

void poll(ui::Hwnd, UINT, uintptr_t, DWORD) {
  SessionState& s = state();
  if (s.done) return;
  DataFeedManager& m = s.app->data();
  if (ui::now_ms() - s.started_at > static_cast<uint64_t>(s.options.timeout_ms)) {
    std::printf("KeldaMobile: the scripted session timed out at step %zu\n", s.step + 1);
    finish();
    return;
  }
  if (!m.started() && !m.connected() && !m.connecting() &&
      !s.script->asked(ui::ScriptedServices::Asked::Kind::modal_dialog).empty()) {
    std::printf("KeldaMobile: the connect failed (see infolog.txt)\n");
    finish();
    return;
  }
  Step& step = s.steps[s.step];
  if (!s.acted) {
    s.acted = true;
    s.step_started_at = ui::now_ms();
    step.act();
    return;
  }
  if (m.batch || !step.ready()) return;  // while the lamp is lit, wait for a quiet moment
  if (step.shot != nullptr) shoot(step.shot);
  s.acted = false;
  if (++s.step == s.steps.size()) {
    s.succeeded = m.connected() && s.script->problems().empty();
    for (const std::string& p : s.script->problems()) std::printf("KeldaMobile: %s\n", p.c_str());
    finish();
  }
}

}  // namespace

bool start_scripted_session(TerminalApp& app, ui::QtUi& qt, ScriptedSessionOptions options) {
  std::error_code ec;
  std::filesystem::create_directories(options.screenshot_folder, ec);
  if (ec) return false;
  SessionState& s = state();
  s.app = &app;
  s.qt = &qt;
  s.options = std::move(options);
  s.script = std::make_shared<ui::ScriptedServices>();
  ui::set_services(s.script);
  s.started_at = ui::now_ms();
  s.steps = session_steps();
  const std::u16string user = to_wide(s.options.user);
  const std::u16string password = to_wide(s.options.password);
  s.script->on_dialog(130, [user, password](ui::DialogDriver& d) {
    d.set_text(1002, user);
    d.set_text(1001, password);
    d.click(ui::id::ok);
  });
  // On a machine without a network address the connect asks whether to
  // bring a GPRS link up: the session agrees, as its user would.
  const std::vector<platform::Ipv4Address> addresses = platform::host_ipv4_addresses();
  if (std::none_of(addresses.begin(), addresses.end(),
                   [](const platform::Ipv4Address& a) { return a[0] != 127 && a[0] != 255; })) {
    s.script->answer_message_box(ui::id::yes, u"GPRS");
  }
  ui::post_message(app.frame()->hwnd(), ui::wm::command, cmd::connect, 0);
  ui::set_timer(ui::Hwnd{}, 0, kPollMs, &poll);
  return true;
}

int scripted_session_result() { return state().succeeded ? 0 : 1; }

}  // namespace kelda::terminal
