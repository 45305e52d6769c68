// The table windows: rows filled from the data manager's tables and from
// later records, cell texts by column code, state colours and the filled
// beep, cancelling from the menu, column layouts read from and written to the
// window-table file, the limits windows' row indexes and transposed view, and
// a new trade or order update whose cost does not grow with the rows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "fake_client.h"
#include "terminal/layout_files.h"
#include "terminal/limit_windows.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "testsupport/test_dir.h"
#include "ui/menu.h"
#include "ui/testing.h"
#include "ui/window.h"

namespace kelda::terminal {
namespace {

// Reaches the protected menu hooks of an orders window.
class OrdersProbe : public OrdersWnd {
 public:
  using OrdersWnd::add_menu_entries;
  using OrdersWnd::on_menu_command;
  using OrdersWnd::row_color;
};

std::u16string w(const char* utf8) { return to_wide(cp1251(utf8)); }

class TerminalTables : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
    reset_log();
    register_table_windows();
  }
  void start() {
    app = std::make_unique<TerminalApp>(client);
    ASSERT_TRUE(app->init_instance());
    auto cls = std::make_unique<ClassRecord>();
    cls->record.class_number = 7;
    std::strcpy(cls->record.code, "TQBR");
    std::strcpy(cls->record.name, "Shares");
    auto sec = std::make_unique<SecurityRecord>();
    sec->record.security_number = 3;
    sec->record.scale = 2;
    std::strcpy(sec->record.code, "GAZP");
    std::strcpy(sec->record.name, "Gazprom");
    cls->security_by_number[3] = sec.get();
    cls->securities["GAZP"] = std::move(sec);
    t().class_by_number[7] = cls.get();
    t().classes["TQBR"] = std::move(cls);
  }
  Tables& t() { return app->data().tables(); }
  MainView& view() { return app->frame()->view(); }
  TableWnd& table(UINT command) {
    const int slot = view().create_window_for_command(command);
    return *dynamic_cast<TableWnd*>(view().slot(slot));
  }
  KelapiTradeRecord& add_trade(double number, uint32_t security = 3) {
    auto r = std::make_unique<KelapiTradeRecord>();
    r->trade_number = number;
    r->class_number = 7;
    r->security_number = security;
    r->time = 93005;
    r->price = 123.4;
    r->quantity = 1500;
    r->value = 185100;
    r->sell = 1;
    std::strcpy(r->account, "L01");
    t().trades.push_back(std::move(r));
    return *t().trades.back();
  }
  KelapiOrderRecord& add_order(uint32_t row, uint32_t flags) {
    auto r = std::make_unique<KelapiOrderRecord>();
    r->row_number = row;
    r->order_number = 5000 + row;
    r->class_number = 7;
    r->security_number = 3;
    r->flags = flags;
    t().orders.push_back(std::move(r));
    return *t().orders.back();
  }
  static std::u16string cell(const TableWnd& wnd, int row, int column) { return wnd.list().item_text(row, column); }

  ui::HeadlessUi ui;
  FakeClient client;
  std::unique_ptr<TerminalApp> app;
};

TEST_F(TerminalTables, TradesFillFromTheTableAndFollowNewTrades) {
  start();
  add_trade(11);
  add_trade(12, 99);  // a security nobody knows: not shown
  app->data().settings().class_names = true;
  app->data().settings().digit_grouping = true;
  TableWnd& trades = table(cmd::trades);
  ASSERT_EQ(trades.list().item_count(), 1);
  ASSERT_EQ(trades.list().column_count(), 10);
  EXPECT_EQ(trades.list().column_title(1), w("N Сделки"));
  EXPECT_EQ(cell(trades, 0, 0), u"1");
  EXPECT_EQ(cell(trades, 0, 1), u"11");
  EXPECT_EQ(cell(trades, 0, 2), u"09:30:05");
  EXPECT_EQ(cell(trades, 0, 3), u"Gazprom [Shares]");
  EXPECT_EQ(cell(trades, 0, 4), w("Продажа"));
  EXPECT_EQ(cell(trades, 0, 5), u"123.40");
  EXPECT_EQ(cell(trades, 0, 6), u"1 500");
  EXPECT_EQ(cell(trades, 0, 7), u"185 100.00");
  EXPECT_EQ(cell(trades, 0, 8), u"L01");

  view().fan_out_trade(add_trade(13));
  ASSERT_EQ(trades.list().item_count(), 2);
  EXPECT_EQ(cell(trades, 1, 0), u"2");
  EXPECT_EQ(cell(trades, 1, 1), u"13");
  app->data().settings().class_names = false;
  ui::send_message(trades.hwnd(), UM_CLASSNAME, 0);
  EXPECT_EQ(cell(trades, 1, 3), u"Gazprom");
  app->data().clear_tables();
  EXPECT_EQ(trades.list().item_count(), 0);
}

TEST_F(TerminalTables, AnOrderChangesInPlaceWithItsColourAndBeepsWhenFilled) {
  start();
  auto owned = std::make_unique<OrdersProbe>();
  OrdersProbe& probe = *owned;
  ui::CreateParams p;
  p.style = ui::ws::child;
  p.parent = view().hwnd();
  ASSERT_TRUE(probe.create(p));
  const int beeps = ui::beep_count();
  KelapiOrderRecord& first = add_order(1, 0x1);
  probe.on_order(first);
  EXPECT_EQ(probe.row_color(probe.list().item_data(0)), 0x0000FFu);
  KelapiOrderRecord& filled = add_order(1, 0x0);
  probe.on_order(filled);
  probe.on_order(filled);
  EXPECT_EQ(probe.list().item_count(), 1);
  EXPECT_EQ(ui::beep_count() - beeps, 2) << "every update of a filled order beeps";
  EXPECT_EQ(probe.row_color(probe.list().item_data(0)), 0xFF0000u);
  EXPECT_EQ(cell(probe, 0, 11), w("Исполнена"));
  probe.on_order(add_order(2, 0x0));  // new and filled: no beep
  probe.on_order(add_order(3, 0x3));
  EXPECT_EQ(ui::beep_count() - beeps, 2);
  EXPECT_EQ(probe.row_color(probe.list().item_data(2)), 0x0000FFu);
  EXPECT_EQ(cell(probe, 2, 11), w("Активна"));

  // Disconnected: the cancel entry is greyed even for an active order.
  probe.list().set_item_state(2, ui::lvis::selected, ui::lvis::selected);
  const ui::Hmenu menu = ui::create_popup_menu();
  probe.add_menu_entries(menu);
  EXPECT_NE(ui::get_menu_state(menu, kKillOrderCommand, ui::mf::by_command) & ui::mf::grayed, 0);
  ui::destroy_menu(menu);

  client.kill_result = KELAPI_E_INVALIDARG;
  ui.script().answer_message_box(ui::id::yes, w("Снять заявку\nс номером 5003?"));
  ui.script().answer_message_box(ui::id::ok);
  probe.on_menu_command(kKillOrderCommand);
  EXPECT_EQ(client.killed, "TQBR 5003");
  EXPECT_TRUE(ui.script().all_used());
  probe.destroy();
}

// A new trade and an order found again by its number cost their lists as many
// messages among 2,000 rows as among 1,000: no event walks the rows.
TEST_F(TerminalTables, ANewTradeOrAnOrderUpdateCostsTheListTheSameWhateverItsRows) {
  start();
  TableWnd& trades = table(cmd::trades);
  TableWnd& orders = table(cmd::orders);
  // Every message the two lists are sent from now on is counted.
  auto sent = std::make_shared<int>(0);
  for (const ui::Hwnd list : {trades.list().hwnd, orders.list().hwnd}) {
    auto previous = std::make_shared<ui::WindowProcedure>();
    *previous = ui::set_window_procedure(list, [sent, previous](ui::Hwnd h, UINT m, WPARAM wp, LPARAM lp) {
      ++*sent;
      return (*previous)(h, m, wp, lp);
    });
  }
  uint32_t rows = 0;
  // Messages of one new trade and of one update of the order in the middle.
  auto cost_at = [&](uint32_t count) {
    for (; rows < count; ++rows) {
      view().fan_out_trade(add_trade(rows + 1));
      view().fan_out_order(add_order(rows + 1, 0x1));
    }
    *sent = 0;
    view().fan_out_trade(add_trade(0));
    view().fan_out_order(add_order(count / 2, 0x3));
    return *sent;
  };
  const int at_1000 = cost_at(1000);
  const int at_2000 = cost_at(2000);
  EXPECT_EQ(trades.list().item_count(), 2002);
  EXPECT_EQ(orders.list().item_count(), 2000);
  EXPECT_EQ(at_2000, at_1000);
  EXPECT_LT(at_1000, 100);
}

TEST_F(TerminalTables, StopOrderCellsShowOnlyTheirKindsConditions) {
  start();
  auto take_profit = std::make_unique<KelapiStopOrderRecord>();
  take_profit->row_number = 1;
  take_profit->class_number = 7;
  take_profit->security_number = 3;
  take_profit->kind = 6;
  take_profit->offset = 1.5;
  take_profit->spread = 0.25;
  take_profit->options = 0x8;
  take_profit->expiry_date = 20240131;
  auto limit = std::make_unique<KelapiStopOrderRecord>(*take_profit);
  limit->row_number = 2;
  limit->kind = 1;
  limit->expiry_date = 0;
  t().stop_orders.push_back(std::move(take_profit));
  t().stop_orders.push_back(std::move(limit));
  TableWnd& stops = table(cmd::stop_orders);
  ASSERT_EQ(stops.list().item_count(), 2);
  // Default order: ... 15 "Цена связ. заявки", 14, 16 "Отступ", 17 "Спрэд", 11, 19 "Срок".
  EXPECT_EQ(stops.list().column_title(16), w("Отступ"));
  EXPECT_EQ(cell(stops, 0, 3), u"TakeProfit");
  EXPECT_EQ(cell(stops, 0, 16), u"1.50%");
  EXPECT_EQ(cell(stops, 0, 17), u"0.25");
  EXPECT_EQ(cell(stops, 0, 19), u"31.01.2024");
  for (int column : {14, 15, 16, 17}) EXPECT_EQ(cell(stops, 1, column), u"") << column;
  EXPECT_EQ(cell(stops, 1, 3), u"Limit");
  EXPECT_EQ(cell(stops, 1, 19), w("До отмены"));
}

TEST_F(TerminalTables, ColumnLayoutsAreReadCheckedAndWrittenBack) {
  std::string section = "[TradesWnd]\nnumpars=3\npar0width=25\npar1width=0\npar2width=70\npar3width=99999999\n"
                        "par1code=5\npar2code=1\npar3code=9\n\n[OrdersWnd]\nnumpars=40\n";
  test::write_file_bytes(test::test_dir() / "pdainfo.tcf", section);
  start();
  TableWnd& trades = table(cmd::trades);
  ASSERT_EQ(trades.list().column_count(), 4);
  EXPECT_EQ(trades.list().column_title(1), w("Цена"));
  EXPECT_EQ(trades.list().column_title(2), w("N Сделки"));
  EXPECT_EQ(trades.list().column_title(3), w("Комментарий"));
  EXPECT_EQ(trades.list().column_width(0), 25);
  EXPECT_EQ(trades.list().column_width(1), 60) << "a stored 0 reads as 60";
  EXPECT_EQ(trades.list().column_width(2), 70);
  EXPECT_EQ(trades.list().column_width(3), 60) << "an absurd width is refused";
  TableWnd& orders = table(cmd::orders);
  EXPECT_EQ(orders.layout().shown_count, 30);
  EXPECT_EQ(orders.list().column_count(), 31);
  EXPECT_EQ(orders.list().column_title(1), w("N Заявки"));
  EXPECT_EQ(orders.list().column_title(12), w("N Заявки")) << "code 12 is no orders column: the first shows";

  trades.list().set_column_width(2, 111);  // the user drags a column
  view().activate_slot(0);
  view().close_active_window();
  const SavedSection saved((test::test_dir() / "pdainfo.tcf").string(), "TradesWnd");
  EXPECT_EQ(saved.get_int("numpars", 0), 3);
  EXPECT_EQ(saved.get_int("par2width", 0), 111);
  EXPECT_EQ(saved.get_int("par1code", 0), 5);
  const std::string log = test::read_file_bytes(test::test_dir() / "infolog.txt");
  EXPECT_NE(log.find("numpars 40"), std::string::npos) << log;
}

TEST_F(TerminalTables, LimitRowsFollowTheirIndexesAndTurnIntoColumns) {
  start();
  app->data().settings().vertical_limits = false;
  auto limit = [&](const char* client, double balance) {
    auto r = std::make_unique<KelapiMoneyLimitRecordEx>();
    std::strcpy(r->client, client);
    r->current_balance = balance;
    r->current_limit = 50;
    r->locked = 20;
    r->opening_limit = 30;
    return r;
  };
  t().money_limits.push_back(limit("A", 100));
  t().money_limits.push_back(limit("B", 200));
  t().money_limits.push_back(limit("C", 300));
  auto& money = dynamic_cast<MoneyLimitsWnd&>(table(cmd::money_limits));
  ASSERT_EQ(money.list().item_count(), 3);
  EXPECT_EQ(cell(money, 0, 10), u"150.00");
  EXPECT_EQ(cell(money, 0, 11), u"130.00");
  EXPECT_EQ(cell(money, 0, 12), u"120.00");

  t().money_limits.insert(t().money_limits.begin(), limit("0", 1));
  view().fan_out_money_limit(*t().money_limits[0], 0, true);
  ASSERT_EQ(money.list().item_count(), 4);
  EXPECT_EQ(cell(money, 0, 4), u"0");
  for (int row = 0; row < 4; ++row) EXPECT_EQ(cell(money, row, 0), to_wide(std::to_string(row + 1)));
  view().fan_out_money_limit(*t().money_limits[0], 9, false);  // outside: ignored
  view().fan_out_remove_row(kind::money_limits, 0);
  t().money_limits.erase(t().money_limits.begin());
  EXPECT_EQ(cell(money, 0, 0), u"1");
  EXPECT_EQ(cell(money, 0, 4), u"A");

  money.list().set_column_width(1, 77);
  app->data().settings().vertical_limits = true;
  ui::send_message(money.hwnd(), UM_VERTLIMITS, 1);
  ASSERT_TRUE(money.transposed());
  EXPECT_EQ(money.list().column_count(), 4);
  EXPECT_EQ(money.list().column_title(3), u"3");
  EXPECT_EQ(money.list().item_count(), 12) << "one row per shown parameter";
  EXPECT_EQ(cell(money, 3, 2), u"B");
  view().fan_out_remove_row(kind::money_limits, 0);
  EXPECT_EQ(money.list().column_count(), 3);
  EXPECT_EQ(money.list().column_title(1), u"1");

  app->data().settings().vertical_limits = false;
  ui::send_message(money.hwnd(), UM_VERTLIMITS, 0);
  EXPECT_FALSE(money.transposed());
  EXPECT_EQ(money.list().column_width(1), 77) << "the normal widths come back";
  EXPECT_EQ(money.list().item_count(), 3);
}

TEST_F(TerminalTables, FuturesCellsNameTheirLimitTypes) {
  start();
  auto r = std::make_unique<KelapiFuturesLimitRecordEx>();
  r->type = 1;
  r->l2 = 1000;
  auto odd = std::make_unique<KelapiFuturesLimitRecordEx>(*r);
  odd->type = 9;
  t().futures_limits.push_back(std::move(r));
  t().futures_limits.push_back(std::move(odd));
  TableWnd& futures = table(cmd::futures_limits);
  EXPECT_EQ(cell(futures, 0, 3), w("Залоговые рубли"));
  EXPECT_EQ(cell(futures, 0, 5), u"1000.00");
  EXPECT_EQ(cell(futures, 1, 3), u"");
}

}  // namespace
}  // namespace kelda::terminal
