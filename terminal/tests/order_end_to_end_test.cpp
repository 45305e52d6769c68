// The order window against the server double's demo desk, offscreen on the
// Qt backend: a stop order typed into the order window reaches the desk as
// the client library formats the window's text, stays active in the
// stop-orders window while the market is held, and triggers once the market
// moves again, placing an order that trades; the orders and trades windows
// show both.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "end_to_end_support.h"
#include "offscreen_terminal_ui.h"
#include "demo_server.h"
#include "terminal/login_dialog.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "terminal_dialogs/order_entry.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/scripted_services.h"
#include "ui/testing.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {
namespace {

using test_e2e::wait_for;
using test_e2e::open_window;

// The text of a table's cell by the column's parameter code.
std::u16string cell(const TableWnd& w, int row, int code) {
  const TableLayout& l = w.layout();
  for (int k = 0; k < l.shown_count; ++k) {
    if (l.code[static_cast<std::size_t>(k)] == code) return w.list().item_text(row, k + 1);
  }
  return u"<no column>";
}

int rows(const TableWnd& w) { return w.list().item_count(); }

// A text field as the library sends it: blank-filled to its width.
std::string text_field(const std::string& value, std::size_t width) { return value + std::string(width - value.size(), ' '); }

TEST(OrderWindowEndToEnd, AStopOrderTypedInTheWindowRestsThenTriggersWhenTheMarketMoves) {
  DemoServer server(true);
  write_demo_work_folder(server.port());
  test_e2e::OffscreenTerminalUi offscreen;
  const std::shared_ptr<ui::ScriptedServices>& script = offscreen.script;
  TerminalApp app;
  register_table_windows();
  register_order_window();
  ASSERT_TRUE(app.init_instance());
  DataFeedManager& m = app.data();

  test_e2e::connect_to_demo(app, *script);
  ASSERT_TRUE(m.connected());
  ASSERT_TRUE(wait_for([&] { return m.started() && m.tables().classes.size() == 2; }));
  ClassRecord* shares = m.tables().find_class("TQBR");
  ASSERT_NE(shares, nullptr);
  // The demo firm's trading accounts come with the start.
  ASSERT_TRUE(wait_for([&] { return m.tables().accounts.size() == 2; }));
  const std::u16string account = to_wide(server_double::DemoAccounts::kShareAccount);

  auto* stops = open_window<StopOrdersWnd>(app, cmd::stop_orders);
  auto* orders = open_window<OrdersWnd>(app, cmd::orders);
  auto* trades = open_window<TradesWnd>(app, cmd::trades);
  auto* window = open_window<OrderEntryWnd>(app, cmd::new_order);
  ASSERT_TRUE(stops != nullptr && orders != nullptr && trades != nullptr && window != nullptr);

  // A buy stop at 100.50 with a limit of 300.00: GAZP trades near 160, so
  // the condition (price >= stop) holds at the market's next move, and the
  // order it places crosses the offers. The market is held until the stop
  // order has been seen active.
  server.hold(true);
  const ui::DialogDriver d(window->dialog().hwnd());
  ASSERT_TRUE(d.choose(order_id::class_list, u"Shares"));
  ASSERT_TRUE(d.choose(order_id::security, u"Gazprom"));
  ASSERT_TRUE(d.choose(order_id::account, account));
  d.set_text(order_id::client, u"C7");
  d.click(order_id::buy);
  d.set_text(order_id::price, u"300");
  d.set_text(order_id::quantity, u"4");
  d.click(order_id::stop);
  d.set_text(order_id::stop_price, u"100.5");
  EXPECT_EQ(d.text(order_id::condition), u">=");
  ASSERT_TRUE(d.enabled(ui::id::ok));
  script->answer_message_box(ui::id::yes,
                             u"Подать стоп-заявку с параметрами: класс [Shares], бумага [Gazprom], счет [" + account + u"], "
                             u"[ПОКУПКА], цена [300], кол-во [4], стоп-цена [100.5], клиент [C7], срок [СЕГОДНЯ]?");
  script->answer_message_box(ui::id::ok, u"registered");
  d.click(ui::id::ok);
  ASSERT_TRUE(wait_for([&] { return rows(*stops) == 1 && script->all_used(); }))
      << test::read_file_bytes(test::test_dir() / "infolog.txt");
  EXPECT_EQ(cell(*stops, 0, 11), u"Активна");
  EXPECT_EQ(cell(*stops, 0, 18), u"Limit");
  EXPECT_EQ(cell(*stops, 0, 5), u"100.50");
  EXPECT_EQ(cell(*stops, 0, 6), u"300.00");
  EXPECT_EQ(cell(*stops, 0, 7), u"4");
  EXPECT_EQ(cell(*stops, 0, 9), u"C7");
  EXPECT_EQ(cell(*stops, 0, 19), u"До отмены") << "no expiry date was chosen";
  EXPECT_EQ(rows(*orders), 0);

  // What the desk received: the window's values at the widths of the stop
  // kind's fields, in the kind's order, with no keys.
  const std::vector<server_double::DemoTransaction> received = server.transactions();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].trans_id, 2);
  const std::string zeros(12, '0');
  EXPECT_EQ(received[0].text, "1-0000001" + text_field(server_double::DemoAccounts::kShareAccount, 12) + "B4000000010050" + "0037" + text_field("TQBR", 12) +
                                  text_field("GAZP", 12) + std::string(24, ' ') + "000000030000" + "0000000004" +
                                  text_field("C7", 20) + zeros + zeros + zeros + zeros);
  const std::vector<server_double::DemoStopOrder> resting = server.stop_orders();
  ASSERT_EQ(resting.size(), 1u);
  EXPECT_EQ(resting[0].flags & 0x1u, 0x1u);

  // The market moves: the stop order triggers and its order trades.
  server.hold(false);
  ASSERT_TRUE(wait_for([&] { return cell(*stops, 0, 11) == u"Исполнена" && rows(*orders) == 1 && rows(*trades) == 1; }))
      << "stop " << to_narrow(cell(*stops, 0, 11)) << ", orders " << rows(*orders) << ", trades " << rows(*trades);
  const std::vector<server_double::DemoStopOrder> done = server.stop_orders();
  ASSERT_EQ(done.size(), 1u);
  ASSERT_NE(done[0].placed_order, 0);
  const std::u16string placed = to_wide(std::to_string(done[0].placed_order));
  EXPECT_EQ(cell(*stops, 0, 10), placed) << "the order it placed";
  EXPECT_EQ(cell(*stops, 0, 13), u"4") << "filled";
  EXPECT_EQ(cell(*orders, 0, 1), placed);
  EXPECT_EQ(cell(*orders, 0, 4), u"Покупка");
  EXPECT_EQ(cell(*orders, 0, 5), u"300.00");
  EXPECT_EQ(cell(*orders, 0, 11), u"Исполнена");
  EXPECT_EQ(cell(*trades, 0, 6), u"4");
  EXPECT_EQ(cell(*trades, 0, 8), account);
  const std::vector<server_double::DemoTrade> desk_trades = server.trades();
  ASSERT_EQ(desk_trades.size(), 1u);
  EXPECT_EQ(desk_trades[0].order_number, done[0].placed_order);
  EXPECT_TRUE(script->problems().empty());

  // Leave as a user does: the link closes before the terminal goes.
  test_e2e::exit_through_menu(app, *script);
  EXPECT_FALSE(m.connected());
}

}  // namespace
}  // namespace kelda::terminal
