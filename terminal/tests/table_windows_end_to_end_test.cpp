// The seven table windows against the server double's demo market and
// trading desk, offscreen on the Qt backend: opened from their menu
// commands, filled by orders entered in the order window and stop orders
// sent through the client library, compared row by row with the library's
// own tables, cancelled from their tap-and-hold menus, re-columned through
// the column setup dialog, and found again with the same columns after the
// program exits and starts once more from the same work folder. The second
// start is a process of its own (this test program run again with the work
// folder in KELDA_TABLES_RESTART_HOME), as a restart of the program is: the
// margin library it binds at start-up is bound once per process. Each window
// kind is photographed in portrait and landscape (PNG files in the build
// folder's "screenshots").
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "end_to_end_support.h"
#include "offscreen_terminal_ui.h"
#include "demo_server.h"
#include "keldaapi/keldaapi.h"
#include "terminal/column_setup_dialog.h"
#include "terminal/limit_windows.h"
#include "terminal/login_dialog.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "terminal_dialogs/order_entry.h"
#include "testsupport/test_dir.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/screen.h"
#include "ui/scripted_services.h"
#include "ui/services.h"
#include "ui/testing.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {
namespace {

using test_e2e::wait_for;

std::u16string w(const char* utf8) { return to_wide(cp1251(utf8)); }

// The list column titled `utf8_title` (-1: none).
int column_of(const TableWnd& t, const char* utf8_title) {
  const std::u16string title = w(utf8_title);
  for (int c = 0; c < t.list().column_count(); ++c) {
    if (t.list().column_title(c) == title) return c;
  }
  return -1;
}

std::u16string cell(const TableWnd& t, int row, const char* utf8_title) {
  const int c = column_of(t, utf8_title);
  return c < 0 ? u"<no column>" : t.list().item_text(row, c);
}

// A transposed limits table: the cell of parameter `utf8_name` in record
// column `column`.
std::u16string transposed_cell(const TableWnd& t, int column, const char* utf8_name) {
  const std::u16string name = w(utf8_name);
  for (int row = 0; row < t.list().item_count(); ++row) {
    if (t.list().item_text(row, 0) == name) return t.list().item_text(row, column);
  }
  return u"<no row>";
}

// A table's caption and columns (titles and pixel widths) as one line.
std::string describe(const TableWnd& t) {
  std::string out = t.caption();
  for (int c = 0; c < t.list().column_count(); ++c) {
    out += "|" + to_narrow(t.list().column_title(c)) + ":" + std::to_string(t.list().column_width(c));
  }
  return out + "\n";
}

// The records the client library answers for the numbers 0..63.
template <typename Record, typename Get>
std::vector<Record> library_rows(Get get) {
  std::vector<Record> out;
  for (uint32_t n = 0; n < 64; ++n) {
    Record r{};
    if (get(n, &r) == KELAPI_OK) out.push_back(r);
  }
  return out;
}

std::u16string number_text(double n) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", n);
  return to_wide(text);
}

std::u16string state_of(uint32_t flags) {
  return (flags & 0x1) != 0 ? w("Активна") : (flags & 0x2) != 0 ? w("Снята") : w("Исполнена");
}

struct Kind {
  const char* name;  // of the screenshots
  UINT command;
  int kind;
};
constexpr Kind kKinds[] = {{"trades", cmd::trades, kind::trades},
                           {"orders", cmd::orders, kind::orders},
                           {"stop_orders", cmd::stop_orders, kind::stop_orders},
                           {"money_limits", cmd::money_limits, kind::money_limits},
                           {"depo_limits", cmd::depo_limits, kind::depo_limits},
                           {"futures_limits", cmd::futures_limits, kind::futures_limits},
                           {"futures_holdings", cmd::futures_holdings, kind::futures_holdings}};

// One run of the terminal program in the test folder: the application with
// the table windows and the order window, logged in to the double.
class Program {
 public:
  explicit Program(ui::ScriptedServices& script) : script_(script) {
    register_table_windows();
    register_order_window();
  }
  // A test that stops early still leaves through the exit command, so that
  // the library's receive thread never meets a terminal being destroyed.
  ~Program() {
    if (app_.frame() != nullptr && ui::is_window(frame()) && m().connected()) exit();
  }
  bool start() { return app_.init_instance(); }
  DataFeedManager& m() { return app_.data(); }
  MainView& view() { return app_.frame()->view(); }
  ui::Hwnd frame() { return app_.frame()->hwnd(); }

  bool connect() {
    test_e2e::connect_to_demo(app_, script_);
    return m().connected() && wait_for([&] { return m().started() && m().tables().classes.size() == 2; });
  }
  // The open table window of a kind (null: none).
  TableWnd* table(int window_kind) {
    for (int i = 0; i < kSlotCount; ++i) {
      TerminalWindow* t = view().slot(i);
      if (t != nullptr && t->kind() == window_kind) return dynamic_cast<TableWnd*>(t);
    }
    return nullptr;
  }
  void show(const TerminalWindow& window) {
    for (int i = 0; i < kSlotCount; ++i) {
      if (view().slot(i) == &window) view().activate_slot(i);
    }
    wait_for([] { return false; }, 0);
  }
  // A tap-and-hold on a row, choosing `command` from the menu.
  void hold_row(TableWnd& t, int row, UINT command) {
    show(t);
    const RECT r = t.list().item_rect(row);
    script_.choose_menu_command(command);
    ui::scripted::tap_and_hold_at(t.list().hwnd, POINT{r.left + 10, (r.top + r.bottom) / 2});
  }
  // Leaves through the exit command, answering its question.
  void exit() {
    script_.answer_message_box(ui::id::yes, u"завершить работу");
    ui::send_message(frame(), ui::wm::command, cmd::exit);
  }

 private:
  ui::ScriptedServices& script_;
  TerminalApp app_;
};

constexpr char kRestartHome[] = "KELDA_TABLES_RESTART_HOME";
constexpr char kRestoredFile[] = "restored_tables.txt";

// The second start, in a process of its own over the work folder `home`:
// the seven windows come back with the orders window active; once a new
// session of the double has filled them (the transposed limits tables have a
// column per record) their captions and columns go to kRestoredFile.
void run_restarted(const std::string& home) {
  test_e2e::OffscreenTerminalUi offscreen(home);
  const std::shared_ptr<ui::ScriptedServices>& script = offscreen.script;
  Program again(*script);
  ASSERT_TRUE(again.start()) << test::read_file_bytes(std::filesystem::path(home) / "infolog.txt");
  ASSERT_EQ(again.view().open_count(), 7) << test::read_file_bytes(std::filesystem::path(home) / "pdainfo.awf");
  for (const Kind& k : kKinds) ASSERT_NE(again.table(k.kind), nullptr) << k.name;
  ASSERT_NE(again.view().slot(again.view().active_slot()), nullptr);
  EXPECT_EQ(again.view().slot(again.view().active_slot())->kind(), kind::orders);

  ASSERT_TRUE(again.connect());
  TableWnd& money = *again.table(kind::money_limits);
  TableWnd& depo = *again.table(kind::depo_limits);
  TableWnd& holdings = *again.table(kind::futures_holdings);
  ASSERT_TRUE(wait_for([&] {
    return money.list().column_count() == 2 && depo.list().column_count() == 3 && holdings.list().item_count() == 1;
  }));
  EXPECT_EQ(transposed_cell(money, 1, "Код клиента"), u"DEMO1");
  std::string restored;
  for (const Kind& k : kKinds) restored += describe(*again.table(k.kind));
  test::write_file_bytes(std::filesystem::path(home) / kRestoredFile, restored);
  again.exit();
  EXPECT_FALSE(again.m().connected());
  EXPECT_TRUE(script->problems().empty());
}

// Runs this test again in a new process of this program with kRestartHome
// set to `home`; answers its exit status, or -1 when it could not be started
// or did not end within `seconds` (it is then killed).
int run_restart_process(const std::string& home, int seconds) {
  const std::string filter = std::string("--gtest_filter=") +
                             ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "." +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::string program = "/proc/self/exe";
  std::vector<char*> argv = {program.data(), const_cast<char*>(filter.c_str()), nullptr};
  const std::string key = std::string(kRestartHome) + "=";
  std::string restart = key + home;
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e) {
    if (!std::string_view(*e).starts_with(key)) envp.push_back(*e);
  }
  envp.push_back(restart.data());
  envp.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TableWindowsEndToEnd, WindowsFollowTheDeskAndKeepTheirColumnsOverARestart) {
  if (const char* home = std::getenv(kRestartHome)) return run_restarted(home);
  DemoServer server(true);
  write_demo_work_folder(server.port());
  test_e2e::OffscreenTerminalUi offscreen;
  ui::QtUi& qt = offscreen.qt;
  const std::shared_ptr<ui::ScriptedServices>& script = offscreen.script;
  std::string before_exit;

  {
    Program run(*script);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.connect()) << test::read_file_bytes(test::test_dir() / "infolog.txt");
    DataFeedManager& m = run.m();

    // Every table from its menu command, each in a slot of its own.
    for (const Kind& k : kKinds) {
      ui::send_message(run.frame(), ui::wm::command, k.command);
      ASSERT_NE(run.table(k.kind), nullptr) << k.name;
    }
    ASSERT_EQ(run.view().open_count(), 7);
    TableWnd& trades = *run.table(kind::trades);
    TableWnd& orders = *run.table(kind::orders);
    TableWnd& stops = *run.table(kind::stop_orders);
    TableWnd& money = *run.table(kind::money_limits);
    TableWnd& depo = *run.table(kind::depo_limits);
    TableWnd& futures = *run.table(kind::futures_limits);
    TableWnd& holdings = *run.table(kind::futures_holdings);

    // The demo client's limits and positions arrive without any order. The
    // money and securities limits are transposed by default: one column per
    // record.
    ASSERT_TRUE(wait_for([&] {
      return money.list().column_count() == 2 && depo.list().column_count() == 3 &&
             futures.list().item_count() == 1 && holdings.list().item_count() == 1;
    })) << test::read_file_bytes(test::test_dir() / "infolog.txt");
    const auto money_rows = library_rows<KelapiMoneyLimitRecordEx>([](uint32_t n, KelapiMoneyLimitRecordEx* r) {
      return kelapi_client().get_money_limit(n, r);
    });
    ASSERT_EQ(money_rows.size(), 1u);
    EXPECT_EQ(transposed_cell(money, 1, "Фирма"), u"MC0001");
    EXPECT_EQ(transposed_cell(money, 1, "Код клиента"), u"DEMO1");
    EXPECT_EQ(transposed_cell(money, 1, "Валюта"), u"SUR");
    char balance[64];
    std::snprintf(balance, sizeof balance, "%.2f", money_rows[0].current_balance);
    EXPECT_EQ(transposed_cell(money, 1, "Тек. остаток"), to_wide(balance));
    const auto depo_rows = library_rows<KelapiDepoLimitRecordEx>([](uint32_t n, KelapiDepoLimitRecordEx* r) {
      return kelapi_client().get_depo_limit(n, r);
    });
    EXPECT_EQ(depo_rows.size(), 2u);
    for (int c = 1; c <= 2; ++c) {
      EXPECT_EQ(transposed_cell(depo, c, "Счет"), u"L01-DEMO");
      EXPECT_EQ(transposed_cell(depo, c, "Код клиента"), u"DEMO1");
    }
    const auto futures_rows = library_rows<KelapiFuturesLimitRecordEx>(
        [](uint32_t n, KelapiFuturesLimitRecordEx* r) { return kelapi_client().get_futures_limit(n, r); });
    EXPECT_EQ(futures_rows.size(), 1u);
    EXPECT_EQ(cell(futures, 0, "Торговый счет"), u"SPBFUT00D01");
    EXPECT_EQ(cell(futures, 0, "Тип лимита"), w("Рубли"));
    const auto holding_rows = library_rows<KelapiFuturesHoldingRecordEx>(
        [](uint32_t n, KelapiFuturesHoldingRecordEx* r) { return kelapi_client().get_futures_holding(n, r); });
    EXPECT_EQ(holding_rows.size(), 1u);
    EXPECT_EQ(cell(holdings, 0, "Бумага"), u"RIH7");
    EXPECT_EQ(cell(holdings, 0, "Фирма"), u"MC0001");

    // The demo firm's trading accounts arrive with the start: the order
    // window offers them for the share class.
    ASSERT_TRUE(wait_for([&] { return m.tables().accounts.size() == 2; }));
    const std::string account = server_double::DemoAccounts::kShareAccount;

    // Two orders from the order window: a buy far above the book trades at
    // once, a buy far below it rests.
    for (const double price : {999.0, 1.0}) {
      OrderPrefill buy;
      buy.set_class("TQBR");
      buy.set_security("GAZP");
      buy.set_client("C1");
      buy.set_price(price, 2);
      buy.set_quantity(3);
      ASSERT_TRUE(open_order_window(buy));
      auto* window = dynamic_cast<OrderEntryWnd*>(run.view().slot(run.view().active_slot()));
      ASSERT_NE(window, nullptr);
      const ui::DialogDriver d(window->dialog().hwnd());
      ASSERT_TRUE(d.enabled(ui::id::ok));
      const std::size_t sent = server.orders().size();
      script->answer_message_box(ui::id::yes, u"бумага [");
      script->answer_message_box(ui::id::ok, u"registered");
      d.click(ui::id::ok);
      ASSERT_TRUE(wait_for([&] { return server.orders().size() == sent + 1 && script->all_used(); }));
    }
    // The order window goes: the restart is about the tables.
    ui::send_message(run.frame(), ui::wm::command, cmd::close_window);
    ASSERT_EQ(run.view().open_count(), 7);

    // Two stop orders through the client library: one whose stop the market
    // has passed (it places its order at once, which trades), one it never
    // reaches.
    uint32_t trans_id = 100;
    for (const char* stop_price : {"1", "9999"}) {
      script->answer_message_box(ui::id::ok, u"registered");
      ASSERT_EQ(KelapiDoTransactionNewStopOrder(++trans_id, "TQBR", "GAZP", account.c_str(), stop_price, "999", "2", "C1", 0x1),
                KELAPI_OK);
      ASSERT_TRUE(wait_for([&] { return script->all_used(); }));
    }

    // The market trades the first stop order: two trades, three orders, two
    // stop orders in all.
    ASSERT_TRUE(wait_for([&] {
      return trades.list().item_count() == 2 && orders.list().item_count() == 3 && stops.list().item_count() == 2 &&
             stops.list().item_text(0, column_of(stops, "Состояние")) == w("Исполнена");
    })) << trades.list().item_count() << " " << orders.list().item_count() << " " << stops.list().item_count();

    // Cancel the resting order and the waiting stop order from their menus.
    ASSERT_EQ(cell(orders, 1, "Состояние"), w("Активна"));
    script->answer_message_box(ui::id::yes, u"Снять заявку");
    script->answer_message_box(ui::id::ok, u"cancelled");
    run.hold_row(orders, 1, kKillOrderCommand);
    ASSERT_TRUE(wait_for([&] { return script->all_used() && cell(orders, 1, "Состояние") == w("Снята"); }));
    ASSERT_EQ(cell(stops, 1, "Состояние"), w("Активна"));
    script->answer_message_box(ui::id::yes, u"Снять стоп-заявку");
    script->answer_message_box(ui::id::ok, u"cancelled");
    run.hold_row(stops, 1, kKillOrderCommand);
    ASSERT_TRUE(wait_for([&] { return script->all_used() && cell(stops, 1, "Состояние") == w("Снята"); }));

    // Every row against the library's tables.
    const auto lib_trades = library_rows<KelapiTradeRecord>(
        [](uint32_t n, KelapiTradeRecord* r) { return kelapi_client().get_trade(n, r); });
    ASSERT_EQ(static_cast<int>(lib_trades.size()), trades.list().item_count());
    for (int i = 0; i < trades.list().item_count(); ++i) {
      const KelapiTradeRecord& t = lib_trades[static_cast<std::size_t>(i)];
      EXPECT_EQ(cell(trades, i, "N Сделки"), number_text(t.trade_number));
      EXPECT_EQ(cell(trades, i, "Операция"), w("Покупка"));
      char price[32];
      std::snprintf(price, sizeof price, "%.2f", t.price);
      EXPECT_EQ(cell(trades, i, "Цена"), to_wide(price));
      EXPECT_EQ(cell(trades, i, "Бумага"), u"Gazprom");
      EXPECT_EQ(cell(trades, i, "Счет"), to_wide(account));
    }
    const auto lib_orders = library_rows<KelapiOrderRecord>(
        [](uint32_t n, KelapiOrderRecord* r) { return kelapi_client().get_order(n, r); });
    ASSERT_EQ(static_cast<int>(lib_orders.size()), orders.list().item_count());
    for (int i = 0; i < orders.list().item_count(); ++i) {
      const KelapiOrderRecord& o = lib_orders[static_cast<std::size_t>(i)];
      EXPECT_EQ(cell(orders, i, "N Заявки"), number_text(o.order_number));
      EXPECT_EQ(cell(orders, i, "Состояние"), state_of(o.flags));
    }
    EXPECT_EQ(cell(orders, 0, "Состояние"), w("Исполнена"));
    EXPECT_EQ(cell(orders, 0, "Остаток"), u"0");
    EXPECT_EQ(cell(orders, 1, "Цена"), u"1.00");
    EXPECT_EQ(cell(orders, 1, "Остаток"), u"3");
    const auto lib_stops = library_rows<KelapiStopOrderRecord>(
        [](uint32_t n, KelapiStopOrderRecord* r) { return kelapi_client().get_stop_order(n, r); });
    ASSERT_EQ(static_cast<int>(lib_stops.size()), stops.list().item_count());
    for (int i = 0; i < stops.list().item_count(); ++i) {
      const KelapiStopOrderRecord& o = lib_stops[static_cast<std::size_t>(i)];
      EXPECT_EQ(cell(stops, i, "N Стоп-заявки"), number_text(o.stop_order_number));
      EXPECT_EQ(cell(stops, i, "Состояние"), state_of(o.flags));
      EXPECT_EQ(cell(stops, i, "Тип"), u"Limit");
    }
    EXPECT_EQ(cell(stops, 0, "Цена усл."), u"1.00");
    EXPECT_EQ(cell(stops, 1, "Цена усл."), u"9999.00");
    EXPECT_EQ(cell(stops, 0, "N Заявки"), cell(orders, 2, "N Заявки")) << "the order the stop order placed";

    // The user widens two columns of the trades table and one of the orders
    // table; then the trades table shows four columns chosen in the column
    // dialog, the widths staying with their positions.
    trades.list().set_column_width(1, 41);
    trades.list().set_column_width(2, 72);
    orders.list().set_column_width(3, 90);
    script->on_dialog(kColumnSetupPortraitId, [](ui::DialogDriver& d) {
      d.click(column_setup_id::remove_all);
      const ui::ListBoxControl available{d.item(column_setup_id::available)};
      for (const int row : {4, 0, 1, 3}) {  // "Цена", "N Сделки", "Время", "Операция": listed in order
        available.set_sel(row, true);
      }
      d.click(column_setup_id::add);
      d.click(ui::id::ok);
    });
    run.hold_row(trades, 0, kTableSettingsCommand);
    ASSERT_TRUE(script->all_used());
    ASSERT_EQ(trades.list().column_count(), 5);
    EXPECT_EQ(trades.list().column_title(1), w("N Сделки"));
    EXPECT_EQ(trades.list().column_title(4), w("Цена"));
    EXPECT_EQ(trades.list().column_width(2), 72);
    ASSERT_EQ(trades.list().item_count(), 2);
    EXPECT_EQ(cell(trades, 1, "N Сделки"), number_text(lib_trades[1].trade_number));

    // Photographs of each kind, portrait then landscape.
    const std::filesystem::path dir = KELDA_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    for (const bool landscape : {false, true}) {
      if (landscape) ui::set_screen_size(320, 240);
      for (const Kind& k : kKinds) {
        run.show(*run.table(k.kind));
        EXPECT_EQ(ui::get_client_rect(run.table(k.kind)->hwnd()).right, landscape ? 320 : 240)
            << k.name << ": the table fills the turned screen";
        const std::filesystem::path path =
            dir / (std::string(k.name) + (landscape ? "_landscape.png" : "_portrait.png"));
        EXPECT_TRUE(qt.save_screenshot(path.string())) << path;
      }
    }
    ui::set_screen_size(240, 320);
    wait_for([] { return false; }, 0);

    for (const Kind& k : kKinds) before_exit += describe(*run.table(k.kind));
    run.show(orders);
    run.exit();
    EXPECT_FALSE(m.connected());
    EXPECT_FALSE(ui::is_window(run.frame()));
  }
  EXPECT_TRUE(script->problems().empty());

  // The program starts again from the same folder and finds every table as
  // it was left.
  ASSERT_EQ(run_restart_process(test::test_dir().string(), 240), 0);
  EXPECT_EQ(test::read_file_bytes(test::test_dir() / kRestoredFile), before_exit);
}

}  // namespace
}  // namespace kelda::terminal
