// Whole text at the default settings, offscreen on the Qt backend against the
// server double's demo market and trading desk: every cell of every table
// window (the seven trading tables, the order book, the current parameters,
// the news and the client portfolio) fits its column at the default table
// font and column widths, in portrait and landscape, measured with the faces
// the screen draws them in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "demo_server.h"
#include "demo_session.h"
#include "demo_terminal.h"
#include "end_to_end_support.h"
#include "offscreen_terminal_ui.h"
#include "keldaapi/keldaapi.h"
#include "terminal/data_wnd.h"
#include "terminal/instrument_pickers.h"
#include "terminal/limit_windows.h"
#include "terminal/news_wnd.h"
#include "terminal/portfolio_wnd.h"
#include "terminal/quotes_wnd.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "terminal_dialogs/order_entry.h"
#include "testsupport/test_dir.h"
#include "text_fit.h"
#include "ui/controls.h"
#include "ui/screen.h"
#include "ui/scripted_services.h"
#include "ui/services.h"
#include "ui/testing.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {
namespace {

using test_e2e::wait_for;
using test_fit::Cut;

std::u16string w(const char* utf8) { return to_wide(cp1251(utf8)); }

// Cells the default column widths cannot hold at the default font size in
// any sans face, each named by its window, the column's title ("" for the
// leading column; null: any) and the label of its row (null: any): words and
// names, the limits' money amounts of seven digits and two decimals, dates,
// and account codes of eight characters and more. Every other cell (prices,
// quantities, times, numbers, the other codes) must show whole.
struct Beyond {
  const char* window;
  const char* column;
  const char* row;
};
constexpr Beyond kBeyondTheDefaults[] = {
    {"trades", "Бумага", nullptr},
    {"orders", "Бумага", nullptr},
    {"orders", "Состояние", nullptr},
    {"stop orders", "Бумага", nullptr},
    {"stop orders", "Состояние", nullptr},
    {"stop orders", "Срок", nullptr},
    // The limits are transposed by default: the leading column names the
    // parameters, each further column is a record.
    {"money limits", "", nullptr},
    {"money limits", nullptr, "Вход. остаток"},
    {"money limits", nullptr, "Вход. лимит"},
    {"money limits", nullptr, "Тек. остаток"},
    {"money limits", nullptr, "Тек. лимит"},
    {"money limits", nullptr, "Заблокировано"},
    {"money limits", nullptr, "Всего"},
    {"money limits", nullptr, "Доступно"},
    {"money limits", nullptr, "Баланс"},
    {"depo limits", "", nullptr},
    {"depo limits", nullptr, "Счет"},
    {"futures limits", "Торговый счет", nullptr},
    {"futures limits", "Пред. откр. лимит", nullptr},
    {"futures limits", "Открыт. лимит", nullptr},
    {"futures limits", "Тек.чист.поз.", nullptr},
    {"futures limits", "План.чист.поз.", nullptr},
    {"futures limits", "Вариац. маржа", nullptr},
    {"futures holdings", "Торговый счет", nullptr},
    {"futures holdings", "Вариац. маржа", nullptr},
    {"current parameters", "", nullptr},
};

bool beyond_the_defaults(const std::string& window, ui::Hwnd list, const Cut& cut) {
  const ui::ListViewControl lv{list};
  for (const Beyond& b : kBeyondTheDefaults) {
    if (window != b.window) continue;
    if (b.column != nullptr && lv.column_title(cut.column) != w(b.column)) continue;
    if (b.row != nullptr && lv.item_text(cut.row, 0) != w(b.row)) continue;
    return true;
  }
  return false;
}

int items(ui::Hwnd list) { return ui::ListViewControl{list}.item_count(); }
bool all_filled(ui::Hwnd list, int column) {
  const ui::ListViewControl lv{list};
  for (int i = 0; i < lv.item_count(); ++i) {
    if (lv.item_text(i, column).empty()) return false;
  }
  return lv.item_count() > 0;
}

TEST(TextFitEndToEnd, EveryTableCellShowsWholeAtTheDefaults) {
  DemoSession server;
  write_demo_connection(server.port(), "global_filter=0\n");
  test_e2e::OffscreenTerminalUi offscreen;
  const std::shared_ptr<ui::ScriptedServices>& script = offscreen.script;
  DemoTerminal run(*script);
  ASSERT_TRUE(run.app().init_instance());
  DataFeedManager& m = run.m();
  test_e2e::connect_to_demo(run.app(), *script);
  ASSERT_TRUE(m.connected());
  ASSERT_TRUE(wait_for([&] { return m.started() && m.tables().classes.size() == 2; }));
  run.add_account();

  // The trading tables, each in a slot of its own.
  struct Table {
    const char* name;
    UINT command;
    int kind;
  };
  constexpr Table kTables[] = {{"trades", cmd::trades, kind::trades},
                               {"orders", cmd::orders, kind::orders},
                               {"stop orders", cmd::stop_orders, kind::stop_orders},
                               {"money limits", cmd::money_limits, kind::money_limits},
                               {"depo limits", cmd::depo_limits, kind::depo_limits},
                               {"futures limits", cmd::futures_limits, kind::futures_limits},
                               {"futures holdings", cmd::futures_holdings, kind::futures_holdings}};
  std::vector<std::pair<std::string, TerminalWindow*>> windows;
  std::vector<std::pair<std::string, ui::Hwnd>> lists;
  for (const Table& t : kTables) {
    auto* table = test_e2e::open_window<TableWnd>(run.app(), t.command);
    ASSERT_NE(table, nullptr) << t.name;
    windows.emplace_back(t.name, table);
    lists.emplace_back(t.name, table->list().hwnd);
  }

  // A buy far above the book trades at once, a buy far below it rests.
  for (const double price : {999.0, 1.0}) {
    OrderPrefill buy;
    buy.set_class("TQBR");
    buy.set_security("GAZP");
    buy.set_client("C1");
    buy.set_price(price, 2);
    buy.set_quantity(3);
    ASSERT_TRUE(open_order_window(buy));
    auto* window = dynamic_cast<OrderEntryWnd*>(run.active());
    ASSERT_NE(window, nullptr);
    const ui::DialogDriver d(window->dialog().hwnd());
    script->answer_message_box(ui::id::yes, u"бумага [");
    script->answer_message_box(ui::id::ok, u"registered");
    d.click(ui::id::ok);
    ASSERT_TRUE(wait_for([&] { return script->all_used(); }));
  }
  ui::send_message(run.frame(), ui::wm::command, cmd::close_window);
  // A stop order the market has passed (it trades) and one it never reaches.
  uint32_t trans_id = 100;
  for (const char* stop_price : {"1", "9999"}) {
    script->answer_message_box(ui::id::ok, u"registered");
    ASSERT_EQ(KelapiDoTransactionNewStopOrder(++trans_id, "TQBR", "GAZP", "L01", stop_price, "999", "2", "C1", 0x1),
              KELAPI_OK);
    ASSERT_TRUE(wait_for([&] { return script->all_used(); }));
  }

  // The market windows: the order book of GAZP, every share's parameters,
  // the news and the demo client's portfolio.
  test_e2e::pick_gazprom_and_every_share(*script);
  auto* quotes = test_e2e::open_window<QuotesWnd>(run.app(), cmd::quotes);
  auto* data = test_e2e::open_window<DataWnd>(run.app(), cmd::current_params);
  auto* news = test_e2e::open_window<NewsWnd>(run.app(), cmd::news);
  auto* portfolio = test_e2e::open_window<MarginalRowsWnd>(run.app(), cmd::portfolio);
  ASSERT_TRUE(quotes != nullptr && data != nullptr && news != nullptr && portfolio != nullptr);
  for (const auto& [name, window] : std::initializer_list<std::pair<const char*, TerminalWindow*>>{
           {"order book", quotes}, {"current parameters", data}, {"news", news}, {"portfolio", portfolio}}) {
    windows.emplace_back(name, window);
  }
  lists.emplace_back("order book", quotes->list());
  lists.emplace_back("current parameters", data->list());
  lists.emplace_back("news", news->list());
  lists.emplace_back("portfolio", portfolio->list());

  TableWnd& trades = *dynamic_cast<TableWnd*>(windows[0].second);
  TableWnd& orders = *dynamic_cast<TableWnd*>(windows[1].second);
  TableWnd& stops = *dynamic_cast<TableWnd*>(windows[2].second);
  ASSERT_TRUE(wait_for([&] {
    return trades.list().item_count() == 2 && orders.list().item_count() == 3 && stops.list().item_count() == 2 &&
           items(lists[3].second) > 0 && items(lists[4].second) > 0 && items(lists[5].second) == 1 &&
           items(lists[6].second) == 1 && items(quotes->list()) == 10 && all_filled(data->list(), 1) &&
           all_filled(data->list(), 3) && items(news->list()) >= 2 && all_filled(portfolio->list(), 1);
  })) << trades.list().item_count() << " trades, " << orders.list().item_count() << " orders, "
        << stops.list().item_count() << " stop orders, " << items(lists[3].second) << "/" << items(lists[4].second) << "/"
        << items(lists[5].second) << "/" << items(lists[6].second) << " limits and positions, " << items(quotes->list())
        << " levels, " << all_filled(data->list(), 1) << all_filled(data->list(), 3) << " parameters, "
        << items(news->list()) << " news, " << all_filled(portfolio->list(), 1) << " portfolio";

  for (const bool landscape : {false, true}) {
    ui::set_screen_size(landscape ? 320 : 240, landscape ? 240 : 320);
    for (std::size_t i = 0; i < windows.size(); ++i) {
      run.show(*windows[i].second);
      const std::string where = lists[i].first + (landscape ? " (landscape)" : " (portrait)");
      std::vector<Cut> cuts = test_fit::cut_cells(lists[i].second, where);
      std::erase_if(cuts, [&](const Cut& c) { return beyond_the_defaults(lists[i].first, lists[i].second, c); });
      EXPECT_TRUE(cuts.empty()) << test_fit::describe(cuts);
    }
  }
  ui::set_screen_size(240, 320);
  wait_for([] { return false; }, 0);
}

}  // namespace
}  // namespace kelda::terminal
