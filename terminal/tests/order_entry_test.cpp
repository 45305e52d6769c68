// The order window: the margin client code, the stop-order kinds and text,
// stepping and the keypad on their own; then the dialog over the fake
// client: prefills, the checks before sending, the confirmations, what the
// client library is asked to send and how a refusal is shown; the window's
// hold on the arrow keys and its place in the saved layout.
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/window_kinds.h"
#include "terminal_dialogs/order_entry.h"
#include "ui/controls.h"
#include "ui/loop.h"

namespace kelda::terminal {
namespace {

TEST(TerminalOrderPieces, MarginClientCodeStopKindsAndStepping) {
  struct CodeCase {
    const char* typed;
    uint32_t flags;
    const char* code;
  };
  for (const CodeCase& c : {CodeCase{"ABC/1", 0, "ABC"}, CodeCase{"ABC/1", 0x8, "ABC/1"}, CodeCase{"ABC/", 0, "ABC"},
                            CodeCase{"ABC/", 0x8, "ABC"}, CodeCase{"ABC/1/2", 0x8, "ABC/1"},
                            CodeCase{"ABC comment/x", 0x8, "ABC"}, CodeCase{"", 0, ""}}) {
    EXPECT_EQ(margin_client_code(c.typed, c.flags), c.code) << c.typed << " " << c.flags;
  }
  EXPECT_EQ(stop_order_kind(false, false, true, 0), 1);   // buy ">="
  EXPECT_EQ(stop_order_kind(false, false, false, 1), 1);  // sell "<="
  EXPECT_EQ(stop_order_kind(false, false, true, 1), 2);
  EXPECT_EQ(stop_order_kind(true, true, true, 0), 3);
  EXPECT_EQ(stop_order_kind(false, true, false, 0), 6);

  struct StepCase {
    const char* text;
    int delta, decimals;
    const char* result;
  };
  for (const StepCase& c : {StepCase{"0.01", 1, 2, "0.00"}, StepCase{"0.00", 1, 2, "0.00"},
                            StepCase{"12,5", -1, 1, "12.6"}, StepCase{"x", -1, 2, "0.01"}, StepCase{"7", -3, 0, "10"},
                            StepCase{"", 1, 0, "0"}}) {
    EXPECT_EQ(step_number(c.text, c.delta, c.decimals), c.result) << c.text;
  }

  const std::vector<KeypadKey> keys = layout_keypad(240, 300, 1.0, 1.0);
  ASSERT_EQ(keys.size(), 13u);
  EXPECT_EQ(keys[0].rect.left, 240 - 72);
  EXPECT_EQ(keys[0].rect.top, 300 - 44 - 63);
  EXPECT_EQ(keys[4].rect.right, 240 - 72 + 5 * 14);
  EXPECT_EQ(keys[12].code, -1);
  EXPECT_EQ(keys[12].rect.right - keys[12].rect.left, 28);
  EXPECT_EQ(keys[12].rect.top, 300 - 44 - 21);
}

TEST(TerminalOrderPieces, StopOrderTexts) {
  StopOrderFields f;
  f.kind = 2;
  f.account = "L01";
  f.class_code = "TQBR";
  f.security_code = "SBER";
  f.stop_price = "101.5";
  f.price = "102";
  f.quantity = "3";
  f.client_code = "C1";
  f.linked_price = "99";
  EXPECT_EQ(stop_order_text(f),
            "STOPORDERTYPE=2|EXPIREDDATE=-1|ACCOUNT=L01|BUYSELL=B|CONDITION=4|STOPPRICE=101.5|TRANSFLAGS=37|"
            "SECBOARD=TQBR|SECCODE=SBER|CO_SECCODE=SBER|CO_SECBOARD=TQBR|PRICE=102|QUANTITY=3|BROKERREF=C1|"
            "STOP_CO_PRICE=|OFFSET=|SPREAD=|ORDERNUM=0");
  f.kind = 6;
  f.buy = false;
  f.price.clear();
  f.offset = "1";
  f.spread = "0.5";
  f.expiry = 20240131;
  EXPECT_EQ(stop_order_text(f),
            "STOPORDERTYPE=6|EXPIREDDATE=20240131|ACCOUNT=L01|BUYSELL=S|CONDITION=4|STOPPRICE=101.5|TRANSFLAGS=5|"
            "SECBOARD=TQBR|SECCODE=SBER|CO_SECCODE=|CO_SECBOARD=|PRICE=|QUANTITY=3|BROKERREF=C1|"
            "STOP_CO_PRICE=|OFFSET=1|SPREAD=0.5|ORDERNUM=0");
}

// Records what the dialog sends; a non-zero `refuse` is answered instead.
class OrderClient : public FakeClient {
 public:
  using FakeClient::FakeClient;
  struct Sent {
    uint32_t trans_id;
    std::string class_code, text;
    uint32_t kind_or_options;
  };
  std::vector<Sent> sent;
  KelapiResult refuse = KELAPI_OK;
  KelapiResult do_transaction_new_order(uint32_t id, const char* cls, const char* sec, const char* account,
                                        const char* price, const char* quantity, const char* client,
                                        uint32_t options) override {
    sent.push_back({id, cls, std::string(sec) + "|" + account + "|" + price + "|" + quantity + "|" + client, options});
    return refuse;
  }
  KelapiResult do_transaction_ex(uint32_t id, const char* cls, uint32_t kind, const char* text) override {
    sent.push_back({id, cls, text, kind});
    return refuse;
  }
  KelapiResult get_error_desc(char* buffer, KelapiResult) override {
    std::strcpy(buffer, "Not enough money");
    return 0;
  }
};

class TerminalOrderEntry : public DialogFixture {
 protected:
  void SetUp() override {
    app_client = std::make_unique<OrderClient>(10);
    ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
    reset_log();
    app = std::make_unique<TerminalApp>(*app_client);
    ASSERT_TRUE(app->init_instance());
    register_order_window();
    ClassRecord& shares = add_class(1, "TQBR", "Акции", "F1");
    add_security(shares, 10, "SBER", "Сбербанк", 2);
    add_security(shares, 11, "GAZP", "Газпром", 2);
    ClassRecord& bonds = add_class(2, "TQOB", "Облигации", "F2");
    add_security(bonds, 20, "SU26", "ОФЗ 26", 4);
    add_account(1, "F1", "L01");
    add_account(2, "F1", "L02");
    add_account(3, "F2", "B01");
  }
  void TearDown() override {
    app.reset();
    for (const int k : {kind::order_entry, kind::trades, kind::orders}) unregister_window_kind(k);
  }
  OrderDlg& open(const OrderPrefill& record) {
    EXPECT_TRUE(open_order_window(record));
    MainView& view = app->frame()->view();
    auto* w = dynamic_cast<OrderEntryWnd*>(view.slot(view.active_slot()));
    return w->dialog();
  }
  static OrderPrefill sber(const char* price, const char* quantity) {
    OrderPrefill p;
    p.set_class("TQBR");
    p.set_security("SBER");
    p.set_account("L02");
    p.set_client("C1");
    copy_text(p.price, price);
    copy_text(p.quantity, quantity);
    p.flags |= prefill::price | prefill::quantity;
    return p;
  }
  std::unique_ptr<OrderClient> app_client;
};

TEST_F(TerminalOrderEntry, APrefilledPlainOrderIsCheckedConfirmedAndSent) {
  OrderDlg& dlg = open(sber("250.5", "10"));
  const ui::DialogDriver d(dlg.hwnd());
  EXPECT_EQ(d.text(order_id::class_list), u"Акции");
  EXPECT_EQ(d.text(order_id::security), u"Сбербанк");
  EXPECT_EQ(d.text(order_id::account), u"L02");
  EXPECT_EQ(ui::ComboBoxControl{d.item(order_id::account)}.count(), 2) << "only the class's firm";
  EXPECT_EQ(d.text(order_id::stop_price), u"250.5") << "the price goes into the stop price too";
  EXPECT_TRUE(d.enabled(ui::id::ok));

  // A price with three places is refused by the check: nothing is sent.
  d.set_text(order_id::price, u"250.555");
  ui.script().answer_message_box(ui::id::ok, u"знаков после запятой");
  d.click(ui::id::ok);
  d.set_text(order_id::price, u"250.55");
  d.set_text(order_id::quantity, u"1.5");
  ui.script().answer_message_box(ui::id::ok, u"целым числом");
  d.click(ui::id::ok);
  EXPECT_TRUE(app_client->sent.empty());

  d.set_text(order_id::quantity, u"10");
  d.click(order_id::sell);
  ui.script().answer_message_box(ui::id::no, u"[ПРОДАЖА], цена [250.55], кол-во [10], клиент [C1]");
  d.click(ui::id::ok);
  EXPECT_TRUE(app_client->sent.empty()) << "a refused confirmation sends nothing";
  ui.script().answer_message_box(ui::id::yes, u"класс [Акции], бумага [Сбербанк], счет [L02]");
  d.click(ui::id::ok);
  ASSERT_EQ(app_client->sent.size(), 1u);
  EXPECT_EQ(app_client->sent[0].trans_id, 1u);
  EXPECT_EQ(app_client->sent[0].class_code, "TQBR");
  EXPECT_EQ(app_client->sent[0].text, "SBER|L02|250.55|10|C1");
  EXPECT_EQ(app_client->sent[0].kind_or_options, 0x10Eu);

  // A refusal shows the library's text and keeps the dialog's contents.
  app_client->refuse = KELAPI_E_INVALIDARG;
  d.click(order_id::buy);
  ui.script().answer_message_box(ui::id::yes, u"[ПОКУПКА]");
  ui.script().answer_message_box(ui::id::ok, u"Not enough money");
  d.click(ui::id::ok);
  EXPECT_EQ(app_client->sent.back().kind_or_options, 0x10Fu);
  EXPECT_EQ(d.text(order_id::price), u"250.55");
  EXPECT_TRUE(ui.script().all_used());
  EXPECT_TRUE(ui.script().problems().empty());
}

// Switching the open window to another instrument: a row's prefill (an
// order-book level) brings its own price and quantity; a prefill of class and
// security only (a tap below the book's last row) and a choice in the
// security list change the instrument and keep what the user typed.
TEST_F(TerminalOrderEntry, AnotherInstrumentsRowBringsItsPriceWhileAPlainSwitchKeepsTheTypedOne) {
  OrderDlg& dlg = open(sber("250.5", "10"));
  const ui::DialogDriver d(dlg.hwnd());
  OrderPrefill level;
  level.set_class("TQOB");
  level.set_security("SU26");
  copy_text(level.price, "99.1234");
  copy_text(level.quantity, "3");
  level.flags |= prefill::price | prefill::quantity;
  ASSERT_TRUE(open_order_window(level));
  EXPECT_EQ(d.text(order_id::security), u"ОФЗ 26");
  EXPECT_EQ(d.text(order_id::account), u"B01") << "the accounts of the new class's firm";
  EXPECT_EQ(d.text(order_id::price), u"99.1234");
  EXPECT_EQ(d.text(order_id::quantity), u"3");
  EXPECT_TRUE(d.enabled(ui::id::ok));

  OrderPrefill bare;
  bare.set_class("TQBR");
  bare.set_security("GAZP");
  ASSERT_TRUE(open_order_window(bare));
  EXPECT_EQ(d.text(order_id::security), u"Газпром");
  EXPECT_EQ(d.text(order_id::price), u"99.1234");
  d.choose(order_id::security, u"Сбербанк");
  EXPECT_EQ(d.text(order_id::price), u"99.1234");
  EXPECT_EQ(app->frame()->view().open_count(), 1) << "one order window throughout";
}

TEST_F(TerminalOrderEntry, UnmatchedPrefillsLeaveSubmitDisabledAndSteppingFollowsTheDecimals) {
  OrderPrefill p = sber("1", "1");
  copy_text(p.security_code, "NONE");
  OrderDlg& dlg = open(p);
  const ui::DialogDriver d(dlg.hwnd());
  EXPECT_EQ(ui::ComboBoxControl{d.item(order_id::security)}.cur_sel(), -1);
  EXPECT_FALSE(d.enabled(ui::id::ok));

  OrderPrefill q = sber("0.01", "3");
  copy_text(q.account, "NONE");
  dlg.apply_prefill(q);
  EXPECT_EQ(d.text(order_id::security), u"Сбербанк");
  EXPECT_EQ(ui::ComboBoxControl{d.item(order_id::account)}.cur_sel(), -1);
  EXPECT_FALSE(d.enabled(ui::id::ok));
  d.choose(order_id::account, u"L01");
  EXPECT_TRUE(d.enabled(ui::id::ok));

  auto spin = [&](int id, int delta) {
    ui::UpDownNotify n;
    n.hdr.from = d.item(id);
    n.hdr.id_from = static_cast<uintptr_t>(id);
    n.hdr.code = ui::udn::delta_pos;
    n.delta = delta;
    ui::send_message(d.dialog(), ui::wm::notify, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&n));
  };
  spin(order_id::price_spin, 1);
  EXPECT_EQ(d.text(order_id::price), u"0.00");
  spin(order_id::price_spin, 1);
  EXPECT_EQ(d.text(order_id::price), u"0.00");
  spin(order_id::quantity_spin, -1);
  EXPECT_EQ(d.text(order_id::quantity), u"4") << "quantity steps by whole units";
  d.choose(order_id::class_list, u"Облигации");
  d.set_text(order_id::price, u"99");
  spin(order_id::price_spin, -1);
  EXPECT_EQ(d.text(order_id::price), u"99.0001");
  // "Макс" without a margin row shows 0 and copies it.
  d.click(order_id::max);
  EXPECT_EQ(d.text(order_id::quantity), u"0");
}

TEST_F(TerminalOrderEntry, StopOrdersChooseTheirKindAndSendTheirText) {
  OrderPrefill p = sber("250", "5");
  p.set_stop_price(249, 2);
  OrderDlg& dlg = open(p);
  const ui::DialogDriver d(dlg.hwnd());
  ASSERT_TRUE(dlg.stop_order());
  EXPECT_EQ(d.text(order_id::stop_price), u"249.00");
  EXPECT_EQ(d.text(order_id::condition), u">=");
  d.click(order_id::sell);
  EXPECT_EQ(d.text(order_id::condition), u"<=") << "the direction resets the condition";
  d.click(order_id::buy);
  d.click(order_id::condition);  // buy with "<=": the reversed kind
  EXPECT_EQ(d.text(order_id::condition), u"<=");
  d.set_text(order_id::quantity, u"6");
  EXPECT_EQ(d.text(order_id::condition), u"<=") << "a text change keeps the user's condition";
  ui.script().answer_message_box(ui::id::yes, u"с условием [<=], клиент [C1], срок [СЕГОДНЯ]");
  d.click(ui::id::ok);
  ASSERT_EQ(app_client->sent.size(), 1u);
  EXPECT_EQ(app_client->sent[0].trans_id, 2u);
  EXPECT_EQ(app_client->sent[0].kind_or_options, 8192u);
  EXPECT_NE(app_client->sent[0].text.find("STOPORDERTYPE=2|EXPIREDDATE=-1|ACCOUNT=L02|BUYSELL=B|"),
            std::string::npos);
  EXPECT_NE(app_client->sent[0].text.find("|CO_SECCODE=SBER|CO_SECBOARD=TQBR|PRICE=250|QUANTITY=6|"),
            std::string::npos);

  // Expiry on, then the linked box: it clears expiry and take-profit and
  // restores the direction's condition.
  d.click(order_id::expiry);
  d.click(order_id::take_profit);
  EXPECT_EQ(d.checked(order_id::expiry), 1) << "take-profit keeps the expiry";
  d.click(order_id::linked);
  EXPECT_EQ(d.checked(order_id::take_profit), 0);
  EXPECT_EQ(d.checked(order_id::expiry), 0);
  EXPECT_EQ(d.text(order_id::condition), u">=");
  EXPECT_FALSE(d.enabled(ui::id::ok)) << "a linked order needs its price";
  d.set_text(order_id::linked_price, u"251");
  ui.script().answer_message_box(ui::id::yes, u"цена связ. заявки [251]");
  d.click(ui::id::ok);
  EXPECT_NE(app_client->sent.back().text.find("STOPORDERTYPE=3|"), std::string::npos);
  EXPECT_NE(app_client->sent.back().text.find("|STOP_CO_PRICE=251|"), std::string::npos);

  // Take-profit with an empty price; a client code with "|" is refused.
  d.set_text(order_id::price, u"");
  d.click(order_id::take_profit);
  d.click(order_id::expiry);
  d.set_text(order_id::offset, u"1");
  d.set_text(order_id::spread, u"0.5");
  EXPECT_FALSE(d.enabled(order_id::price));
  d.set_text(order_id::client, u"C1|ORDERNUM=5");
  ui.script().answer_message_box(ui::id::ok, u"Код");
  d.click(ui::id::ok);
  EXPECT_EQ(app_client->sent.size(), 2u);
  d.set_text(order_id::client, u"C1");
  ui.script().answer_message_box(ui::id::yes, u"Take-Profit");
  d.click(ui::id::ok);
  ASSERT_EQ(app_client->sent.size(), 3u);
  const std::string& tp = app_client->sent.back().text;
  EXPECT_NE(tp.find("STOPORDERTYPE=6|EXPIREDDATE=20240105|"), std::string::npos) << tp;
  EXPECT_NE(tp.find("|TRANSFLAGS=5|"), std::string::npos);
  EXPECT_NE(tp.find("|PRICE=|"), std::string::npos);
  EXPECT_NE(tp.find("|OFFSET=1|SPREAD=0.5|"), std::string::npos);
  EXPECT_TRUE(ui.script().all_used());
  EXPECT_TRUE(ui.script().problems().empty());
}

TEST_F(TerminalOrderEntry, TheWindowHoldsTheArrowKeysAndComesBackAfterARestart) {
  for (const auto& [k, command] : {std::pair{kind::trades, cmd::trades}, std::pair{kind::orders, cmd::orders}}) {
    register_window_kind({k, command, true, "w" + std::to_string(k), {},
                          [k = k] { return std::make_unique<TerminalWindow>(k); }});
  }
  MainView& view = app->frame()->view();
  ui::send_message(app->frame()->hwnd(), ui::wm::command, cmd::trades);
  ui::send_message(app->frame()->hwnd(), ui::wm::command, cmd::orders);
  ui::scripted::press_key(ui::vk::right);
  ASSERT_EQ(view.active_slot(), 0) << "the arrows switch windows";

  // Open, the order window keeps the arrows for its fields: no switching.
  ui::send_message(app->frame()->hwnd(), ui::wm::command, cmd::new_order);
  ASSERT_EQ(view.active_slot(), 2);
  ui::scripted::press_key(ui::vk::left);
  ui::scripted::press_key(ui::vk::right);
  EXPECT_EQ(view.active_slot(), 2);

  // Saved with the others and restored in its place after a restart, where
  // it takes the arrows again.
  view.save_window_layout(false);
  const std::string awf = test::read_file_bytes(test::test_dir() / "pdainfo.awf");
  EXPECT_NE(awf.find("num=3\nactive=3\n"), std::string::npos) << awf;
  EXPECT_NE(awf.find("[ActiveWnd3]\ntype=10\ncaption=" + cp1251("Новая заявка") + "\n\n"), std::string::npos) << awf;
  app->frame()->destroy();
  ui::run_message_loop();  // the first run's loop ends with the frame's quit
  auto second = std::make_unique<CMainFrame>();
  ASSERT_TRUE(second->create_frame());
  MainView& again = second->view();
  again.activate_restored_window();
  ASSERT_EQ(again.open_count(), 3);
  ASSERT_NE(dynamic_cast<OrderEntryWnd*>(again.slot(2)), nullptr);
  EXPECT_EQ(again.active_slot(), 2);
  EXPECT_EQ(again.header_caption(), u"Новая заявка");
  ui::scripted::press_key(ui::vk::right);
  EXPECT_EQ(again.active_slot(), 2);

  // Closed, it gives them back.
  ui::send_message(second->hwnd(), ui::wm::command, cmd::close_window);
  ASSERT_EQ(again.active_slot(), 1);
  ui::scripted::press_key(ui::vk::right);
  EXPECT_EQ(again.active_slot(), 0);
  ui::scripted::press_key(ui::vk::left);
  EXPECT_EQ(again.active_slot(), 1);
}

}  // namespace
}  // namespace kelda::terminal
