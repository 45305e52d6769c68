// Marshalling and dispatch of client events with a stand-in library: events
// that arrive while a connect waits are handled after it, the copy rules,
// the status event's two kinds, the tables' order and value handlers, and
// the margin library's parameter callback.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fake_client.h"
#include "terminal/login_dialog.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "testsupport/test_dir.h"
#include "ui/loop.h"
#include "ui/menu.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

class TerminalDispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
    reset_log();
    app = std::make_unique<TerminalApp>(client);
    ASSERT_TRUE(app->init_instance());
  }
  DataFeedManager& m() { return app->data(); }
  void post(uint32_t code, uintptr_t w, uintptr_t l) {
    DataFeedManager::on_client_event(code, w, l);
    ui::process_pending();
  }
  void login() {
    ui.script().on_dialog(kLoginDialogId, [](ui::DialogDriver& d) { d.click(ui::id::ok); });
    ASSERT_TRUE(m().connect_to_server(false));
  }
  void start() {
    KelapiStartInfo info{};
    info.trade_date = 20240105;
    post(KELAPI_EVENT_START, reinterpret_cast<uintptr_t>(&info), 0);
    post(KELAPI_EVENT_NEWCLASS, 0, 1);
  }
  std::string log() { return test::read_file_bytes(test::test_dir() / "infolog.txt"); }

  ui::HeadlessUi ui;
  FakeClient client{100};
  std::unique_ptr<TerminalApp> app;
};

TEST_F(TerminalDispatch, EventsPostedWhileTheConnectWaitsAreHandledAfterIt) {
  client.during_connect = [] {
    KelapiStartInfo info{};
    info.trade_date = 20240105;
    DataFeedManager::on_client_event(KELAPI_EVENT_START, reinterpret_cast<uintptr_t>(&info), 0);
    ui::process_pending();  // the library's wait keeps the loop running
  };
  login();
  ui::process_pending();
  EXPECT_TRUE(m().connected());
  EXPECT_TRUE(m().started()) << "the start event was not lost to the connect's clearing";
  EXPECT_EQ(m().trade_date_text(), "05.01.2024");
}

TEST_F(TerminalDispatch, TablesKeepOrdersInPlaceAndValuesByName) {
  login();
  start();
  ASSERT_NE(m().tables().find_class("TQBR"), nullptr);
  EXPECT_EQ(client.filters, 1);
  post(KELAPI_EVENT_NEWORDER, 0, 7);
  const KelapiOrderRecord* held = m().tables().orders.at(0).get();
  post(KELAPI_EVENT_NEWORDER, 0, 107);  // the same order (row 8) again
  ASSERT_EQ(m().tables().orders.size(), 1u);
  EXPECT_EQ(m().tables().orders.at(0).get(), held);
  EXPECT_EQ(held->quantity, 107);
  post(KELAPI_EVENT_NEWTRADE, 0, 1);
  post(KELAPI_EVENT_NEWTRADE, 0, 1);
  EXPECT_EQ(m().tables().trades.size(), 2u) << "trades are never replaced";

  KelapiValueRecord values[2] = {};
  values[0].value = 12.5;
  std::strcpy(values[0].db_name, "last");
  values[1].value = 1.0;
  std::strcpy(values[1].db_name, "NOSUCH");
  KelapiDataEvent header{values, 2, 1, 0, 1, 5};
  post(KELAPI_EVENT_NEWDATAEX, reinterpret_cast<uintptr_t>(&header), 0);
  const SecurityRecord* sec = m().tables().find_security(1, 5);
  ASSERT_NE(sec, nullptr);
  EXPECT_EQ(sec->values.at(1), 12.5);
  const int32_t last = MarginBinding::find_param_column("LAST");
  EXPECT_EQ(MarginBinding::get_param_value(1, 5, last), 12.5);
  EXPECT_EQ(MarginBinding::get_param_value(1, 6, last), 0.0);
  EXPECT_EQ(MarginBinding::get_param_value(9, 5, last), 0.0) << "an unknown class is missing, not a price";
  KelapiDataEvent empty{nullptr, 0, 2, 0, 1, 5};
  post(KELAPI_EVENT_NEWDATAEX, reinterpret_cast<uintptr_t>(&empty), 0);
}

TEST_F(TerminalDispatch, NewSessionClearsTablesAndStaysConnected) {
  login();
  start();
  post(KELAPI_EVENT_NEWSTATUS, 2, 0);
  EXPECT_TRUE(m().connected());
  EXPECT_FALSE(m().started());
  EXPECT_TRUE(m().tables().classes.empty());
  EXPECT_NE(log().find("Received new session event."), std::string::npos);
}

TEST_F(TerminalDispatch, ABrokenLinkWithoutAutoreconnectShowsTheReasonAndAsksToLogInAgain) {
  login();
  start();
  ui.script().answer_message_box(ui::id::ok);
  ui.script().on_dialog(kLoginDialogId, [](ui::DialogDriver& d) { d.click(ui::id::cancel); });
  post(KELAPI_EVENT_NEWSTATUS, 1, 0);  // a null text arrives as an empty one
  EXPECT_FALSE(m().connected());
  const auto boxes = ui.script().asked(ui::ScriptedServices::Asked::Kind::message_box);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Connection broken");
  EXPECT_EQ(boxes[0].text, u"");
  EXPECT_EQ(ui.script().asked(ui::ScriptedServices::Asked::Kind::modal_dialog).size(), 2u);
  EXPECT_TRUE(ui.script().all_used());
}

TEST_F(TerminalDispatch, MinuteBarsNeverReachTheUserInterfaceThread) {
  login();
  ui::process_pending();
  m().batch = false;
  post(KELAPI_EVENT_NEWMINUTES, 1, 1);
  EXPECT_FALSE(m().batch);
  post(KELAPI_EVENT_NEWTRADE, 0, 1);
  EXPECT_TRUE(m().batch);
}

TEST_F(TerminalDispatch, MenuRulesAndTheFilterTimerRunOnce) {
  const ui::Hwnd frame = app->frame()->hwnd();
  auto greyed = [&](UINT command) {
    return (ui::get_menu_state(frame_menu(frame), command, ui::mf::by_command) & ui::mf::grayed) != 0;
  };
  EXPECT_TRUE(greyed(cmd::new_order));
  login();
  EXPECT_TRUE(greyed(cmd::current_params)) << "not before the start event";
  start();
  EXPECT_FALSE(greyed(cmd::current_params));
  EXPECT_TRUE(greyed(cmd::new_order)) << "no class offers new orders";
  EXPECT_FALSE(greyed(cmd::trades));

  const int before = client.filters;
  ui::set_timer(frame, kFilterTimer, 5000);
  ui.advance(5000);
  EXPECT_EQ(client.filters, before + 1);
  ui.advance(5000);
  EXPECT_EQ(client.filters, before + 1) << "timer 2 is killed when it fires";
}

class PortfolioProbe : public TerminalWindow {
 public:
  explicit PortfolioProbe(std::vector<std::string>& seen) : TerminalWindow(kind::portfolio), seen_(seen) {}
  void on_margin_row(const std::string& firm, const std::string& client, bool added) override {
    seen_.push_back((added ? "+" : "-") + firm + "/" + client);
  }

 private:
  std::vector<std::string>& seen_;
};

TEST_F(TerminalDispatch, MarginRowsCountTheirLimitsAndTellThePortfolio) {
  std::vector<std::string> seen;
  register_window_kind({kind::portfolio, cmd::portfolio, true, "p", {},
                        [&seen] { return std::make_unique<PortfolioProbe>(seen); }});
  app->frame()->view().create_window_for_command(cmd::portfolio);
  MarginBinding& margin = m().margin();
  margin.register_client("F2", "C", true);
  margin.register_client("F1", "C", true);
  margin.register_client("F1", "C", true);
  ASSERT_EQ(margin.row_count(), 2);
  EXPECT_EQ(margin.find_row("F1", "C"), 0) << "rows are sorted by firm, then client";
  EXPECT_EQ(margin.row_references(0), 2);
  EXPECT_EQ(margin.row(0)->size, 280);
  margin.register_client("F1", "C", false);
  EXPECT_EQ(margin.row_count(), 2) << "one of two limits removed: the row stays";
  margin.register_client("F1", "C", false);
  margin.register_client("F9", "C", false);  // not held: nothing
  EXPECT_EQ(margin.row_count(), 1);
  int at = -1;
  EXPECT_EQ(margin.find_row("F0", "C", &at), -1);
  EXPECT_EQ(at, 0);
  m().clear_tables();
  EXPECT_EQ(margin.row_count(), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"+F2/C", "+F1/C", "-F1/C", "-F2/C"}));
  unregister_window_kind(kind::portfolio);
}

KelapiMoneyLimitRecordEx money(const char* firm, const char* client, const char* currency, double balance) {
  KelapiMoneyLimitRecordEx r{};
  std::strcpy(r.firm, firm);
  std::strcpy(r.client, client);
  std::strcpy(r.currency, currency);
  std::strcpy(r.tag, "EQTV");
  r.current_balance = balance;
  return r;
}

// The 88-byte record a money-limit deletion carries.
void delete_money_limit(const char* firm, const char* client, const char* currency) {
  KelapiMoneyLimitRecord r{};
  std::strcpy(r.firm, firm);
  std::strcpy(r.client, client);
  std::strcpy(r.currency, currency);
  std::strcpy(r.tag, "EQTV");
  DataFeedManager::on_client_event(KELAPI_EVENT_KILLMONEYLIMIT, reinterpret_cast<uintptr_t>(&r), 1);
  ui::process_pending();
}

TEST_F(TerminalDispatch, LimitsCountAgainstTheirMarginRowOnlyWhileHeld) {
  login();
  start();
  client.money_limit = money("F", "C", "RUB", 1234.56);
  post(KELAPI_EVENT_NEWMONEYLIMIT, 0, 1);
  client.depo_limit = {};
  std::strcpy(client.depo_limit.firm, "F");
  std::strcpy(client.depo_limit.client, "C");
  std::strcpy(client.depo_limit.security, "NOWHERE");
  client.depo_limit.quantity3 = 10.9;
  post(KELAPI_EVENT_NEWDEPOLIMIT, 0, 1);
  MarginBinding& margin = m().margin();
  ASSERT_EQ(margin.row_count(), 1);
  EXPECT_EQ(margin.row_references(0), 2);
  EXPECT_EQ(m().tables().depo_limits.at(0)->name, "NOWHERE") << "a security in no class shows its code";

  // What the margin library reads: money in hundredths, quantities truncated.
  const MargoMoneyLimit* ml = MarginBinding::get_money_limit(0);
  ASSERT_NE(ml, nullptr);
  EXPECT_DOUBLE_EQ(ml->amountC, 123456.0);
  const MargoDepoLimit* dl = MarginBinding::get_depo_limit(0);
  ASSERT_NE(dl, nullptr);
  EXPECT_EQ(dl->currentQuantity, 10);
  EXPECT_EQ(MarginBinding::get_money_limit(1), nullptr);
  int32_t position = -1;
  EXPECT_EQ(MarginBinding::find_money_limit("F", "C", "EQTV", "RUB", &position), 0);
  EXPECT_EQ(MarginBinding::find_money_limit("F", "C", "EQTV", "USD", &position), -1);
  EXPECT_EQ(position, 1);

  delete_money_limit("F", "C", "USD");  // not held
  EXPECT_EQ(margin.row_references(0), 2);
  delete_money_limit("F", "C", "RUB");
  EXPECT_EQ(margin.row_references(0), 1);
  EXPECT_TRUE(m().tables().money_limits.empty());
}

TEST_F(TerminalDispatch, AChangedNewsItemIsStoredOverTheHeldOne) {
  login();
  start();
  client.news.date = 20240105;
  client.news.time = 100000;
  client.news.number = 3;
  std::strcpy(client.news.headline, "first");
  post(KELAPI_EVENT_NEWNEWS, 0, 3);
  const KelapiNewsRecord* held = m().tables().news.at(0).get();
  std::strcpy(client.news.headline, "second");
  post(KELAPI_EVENT_NEWNEWS, 0, 3);
  ASSERT_EQ(m().tables().news.size(), 1u);
  EXPECT_EQ(m().tables().news.at(0).get(), held);
  EXPECT_STREQ(held->headline, "second");
  post(KELAPI_EVENT_NEWNEWS, 1, 3);  // other change kinds are not handled
  EXPECT_EQ(m().tables().news.size(), 1u);
}

TEST_F(TerminalDispatch, AFailedRuleFileIsOnlyLogged) {
  login();
  const std::string text = "no rules";  // the library's text: copied by the callback
  DataFeedManager::on_client_event(KELAPI_EVENT_DLIFILE, (1u << 16) | 3u, reinterpret_cast<uintptr_t>(text.c_str()));
  ui::process_pending();
  EXPECT_NE(log().find("ERROR: EventDlinifile \"no rules\"."), std::string::npos);
}

TEST_F(TerminalDispatch, AFailedConnectShowsTheErrorAndLeavesTheTerminalIdle) {
  client.connect_result = KELAPI_E_CONNECT_FAILED;
  ui.script().on_dialog(kLoginDialogId, [](ui::DialogDriver& d) { d.click(ui::id::ok); });
  ui.script().answer_message_box(ui::id::ok, u"no server");
  EXPECT_FALSE(m().connect_to_server(false));
  EXPECT_FALSE(m().connected());
  EXPECT_NE(log().find("ERROR: no server"), std::string::npos);
  EXPECT_TRUE(ui.script().all_used());
}

}  // namespace
}  // namespace kelda::terminal
