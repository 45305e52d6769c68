// The shipped client library against the server double's demo accounts:
// limits that follow the demo client's trades, a limit change and its
// reply, the firm and its accounts, futures, positions, news with bodies in
// parts kept across a restart, and a rule file. Only the C interface is
// used.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "keldaapi/keldaapi.h"
#include "server_double/demo_accounts.h"
#include "server_double/demo_feeds.h"
#include "server_double/demo_market.h"
#include "server_double/market_messages.h"
#include "server_double/demo_traders.h"
#include "server_double/server_double.h"
#include "testsupport/test_dir.h"

namespace sd = kelda::server_double;

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<std::pair<uint32_t, uintptr_t>> g_events;  // code and wparam

int on_event(uint32_t code, uintptr_t wparam, uintptr_t) {
  std::lock_guard lock(g_mutex);
  g_events.emplace_back(code, wparam);
  g_changed.notify_all();
  return 0;
}

// The bars of the data lines, by date and time (the latest of each).
std::map<std::pair<uint32_t, uint32_t>, KelapiDataLineBar> g_bars;

int on_bar(int32_t, const KelapiDataLineBar* bar, uintptr_t, const void*) {
  std::lock_guard lock(g_mutex);
  g_bars[{bar->date, bar->time}] = *bar;
  return 0;
}

std::map<std::pair<uint32_t, uint32_t>, KelapiDataLineBar> bars() {
  std::lock_guard lock(g_mutex);
  return g_bars;
}

// Waits until n events of the code have come; true when they did.
bool wait_events(uint32_t code, std::size_t n) {
  std::unique_lock lock(g_mutex);
  return g_changed.wait_for(lock, std::chrono::seconds(30), [&] {
    std::size_t found = 0;
    for (const auto& e : g_events) found += e.first == code ? 1 : 0;
    return found >= n;
  });
}

class EndToEndAccounts : public ::testing::Test {
 protected:
  // The network stack reads its crypto-provider settings from the file it
  // was first initialised with (one settings file serves a process): every
  // test of the suite writes its port into the same one.
  static void SetUpTestSuite() {
    char folder[] = "/tmp/kelapi-e2e-accounts-XXXXXX";
    settings_folder_ = ::mkdtemp(folder);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(settings_folder_); }

  void SetUp() override {
    {
      std::lock_guard lock(g_mutex);
      g_events.clear();
      g_bars.clear();
    }
    settings_ = settings_folder_ + "/KeldaMobile.txt";
    kelda::test::write_file_bytes(
        settings_, "[connect]\r\ntrade-server-ip-address=127.0.0.1\r\nport=" + std::to_string(server_.port()) +
                       "\r\nauth-name=\r\n"
                       "[CryptoProviders]\r\nNullCipher=1\r\n"
                       "[NullCipher]\r\nModule=NullCipher.DLL\r\nIniFile=\r\n"
                       "[CryptoProvidersSettings]\r\nCipherCryptoProvider=NullCipher\r\n");
    ASSERT_EQ(KelapiSetEventCallback(&on_event), KELAPI_OK);
    ASSERT_EQ(KelapiInitializeEx3(1, kelda::test::test_dir().c_str(), settings_.c_str(), 0), KELAPI_OK);
  }
  void TearDown() override {
    KelapiUninitialize();
    KelapiSetEventCallback(nullptr);
  }

  std::unique_ptr<sd::Session> connect() {
    auto result = std::async(std::launch::async, [] {
      char error[256] = "";
      return KelapiConnect("trader", "secret", error);
    });
    std::unique_ptr<sd::Session> session = server_.accept();
    if (!session) return nullptr;
    sd::HandshakeScript script;
    script.permissions = 0xC000;
    if (!session->handshake(script)) return nullptr;
    EXPECT_EQ(result.get(), KELAPI_OK);
    market_.attach(*session);
    accounts_.attach(*session);
    traders_.attach(*session);
    session->serve();
    market_.open(*session);
    return session;
  }

  static inline std::string settings_folder_;
  std::string settings_;
  sd::ServerDouble server_;
  sd::DemoMarket market_{7};
  sd::DemoAccounts accounts_;
  sd::DemoTraders traders_;
};

TEST_F(EndToEndAccounts, TheDemoClientsTablesReachTheCallerExactly) {
  std::unique_ptr<sd::Session> s = connect();
  ASSERT_TRUE(s);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_START, 1));

  // Limits, then a trade that moves them.
  ASSERT_EQ(KelapiBookLimits(), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWMONEYLIMIT, 1));
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWDEPOLIMIT, 2));
  accounts_.trade(*s, "GAZP", 10, 160.25);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWDEPOLIMIT, 3));
  KelapiMoneyLimitRecordEx money;
  ASSERT_EQ(KelapiGetMoneyLimitEx(1, &money, sizeof money), KELAPI_OK);
  EXPECT_DOUBLE_EQ(money.current_balance, accounts_.money_balance());
  EXPECT_DOUBLE_EQ(money.leverage, -1.0);
  EXPECT_STREQ(money.client, sd::DemoAccounts::kClient);
  KelapiDepoLimitRecordEx depo;
  ASSERT_EQ(KelapiGetDepoLimitEx2(1, &depo, sizeof depo), KELAPI_OK);
  EXPECT_STREQ(depo.security, "GAZP");
  EXPECT_DOUBLE_EQ(depo.quantity1, accounts_.depo_quantity("GAZP"));
  EXPECT_DOUBLE_EQ(depo.quantity1, 1010.0);

  ASSERT_EQ(KelapiSetMoneyLimitR(77, "SUR", "EQTV", sd::DemoAccounts::kClient, sd::DemoAccounts::kFirm, 1, 2),
            KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_LIMITREPLY, 1));
  {
    std::lock_guard lock(g_mutex);
    for (const auto& e : g_events) {
      if (e.first == KELAPI_EVENT_LIMITREPLY) {
        EXPECT_EQ(e.second, 77u);
      }
    }
  }

  // The firm, its accounts, futures and positions.
  ASSERT_EQ(KelapiBookFirms(), KELAPI_OK);
  ASSERT_EQ(KelapiBookDepoAccounts(), KELAPI_OK);
  ASSERT_EQ(KelapiBookFutures(), KELAPI_OK);
  ASSERT_EQ(KelapiBookAccountPositions(), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWFIRM, 1));
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWFIRMDEPOACCOUNT, 1));
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWSECDEPOACCOUNT, 1));
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWFUTURESHOLDING, 1));
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWACCOUNTPOSITION, 2));
  KelapiFirmRecordEx3 firm;
  ASSERT_EQ(KelapiGetFirmEx3(1, &firm, sizeof firm), KELAPI_OK);
  EXPECT_STREQ(firm.firm_id, sd::DemoAccounts::kFirm);
  ASSERT_NE(firm.text, nullptr);
  EXPECT_STREQ(firm.text, "|EQTV|SPBFUT");
  KelapiSecDepoAccountRecordEx sec;
  ASSERT_EQ(KelapiGetSecDepoAccountEx(1, &sec, sizeof sec), KELAPI_OK);
  EXPECT_STREQ(sec.code2, "GAZP");
  EXPECT_DOUBLE_EQ(sec.d8, 80.0);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWFUTURESLIMIT, 1));
  KelapiFuturesLimitRecordEx limit;
  ASSERT_EQ(KelapiGetFuturesLimitEx(1, &limit, sizeof limit), KELAPI_OK);
  EXPECT_DOUBLE_EQ(limit.l2, 50000.0);
  EXPECT_EQ(limit.w3, 1);
  KelapiFuturesHoldingRecordEx holding;
  ASSERT_EQ(KelapiGetFuturesHoldingEx(1, &holding, sizeof holding), KELAPI_OK);
  EXPECT_DOUBLE_EQ(holding.h8, 110000.0) << "RIH7 has scale 0";
  EXPECT_EQ(holding.h5, 3);
  KelapiAccountPositionRecordEx2 position;
  ASSERT_EQ(KelapiGetAccountPositionEx2(1, &position, sizeof position), KELAPI_OK);
  EXPECT_DOUBLE_EQ(position.values[0], 100.0) << "P1";
  EXPECT_DOUBLE_EQ(position.values[10], 1000.0) << "P10";
  EXPECT_STREQ(position.code4, "Demo client account");

  // News: headlines, a body in parts, and the rule file; the trade date.
  for (int i = 0; i < 3; ++i) accounts_.publish_news(*s);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWNEWS, 3));
  ASSERT_EQ(KelapiBookNews(), KELAPI_OK);
  ASSERT_TRUE(s->wait_for(0x59));
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWNEWS, 6)) << "the items held, announced";
  ASSERT_EQ(KelapiBookNewsBody(2), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWNEWS, 7)) << "the body is complete";
  char* body = nullptr;
  ASSERT_EQ(KelapiGetNewsBody(2, &body), KELAPI_OK);
  EXPECT_EQ(std::string(body), accounts_.news()[1].body);
  EXPECT_GT(std::strlen(body), 1000u) << "joined from three parts";
  KelapiFree(body);
  KelapiNewsRecord news;
  ASSERT_EQ(KelapiGetNews(1, &news), KELAPI_OK);
  EXPECT_EQ(std::string(news.headline), accounts_.news()[0].headline);

  uint16_t request = 0;
  ASSERT_EQ(KelapiBookDliFile(sd::DemoAccounts::kFirm, &request), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_DLIFILE, 1));
  char firm_id[13];
  char* name = nullptr;
  char* text = nullptr;
  ASSERT_EQ(KelapiGetDliFile(request, firm_id, &name, &text), KELAPI_OK);
  EXPECT_STREQ(name, "margin.dli");
  EXPECT_EQ(std::string(text), accounts_.rule_text()) << "back in code page 1251, whole";
  KelapiFree(name);
  KelapiFree(text);
  uint32_t date = 0;
  ASSERT_EQ(KelapiGetTradeDate(&date), KELAPI_OK);
  EXPECT_EQ(date, 20240105u);

  // news.log keeps the day's news across a restart.
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(KelapiInitializeEx3(0, kelda::test::test_dir().c_str(), settings_.c_str(), 0), KELAPI_OK);
  ASSERT_EQ(KelapiGetNews(2, &news), KELAPI_OK);
  EXPECT_EQ(std::string(news.headline), accounts_.news()[1].headline);
  ASSERT_EQ(KelapiGetNewsBody(2, &body), KELAPI_OK);
  EXPECT_EQ(std::string(body), accounts_.news()[1].body);
  KelapiFree(body);
}

}  // namespace

TEST_F(EndToEndAccounts, TradeAccountsTradersAndTheirMessagesFollowTheDemoDesk) {
  std::unique_ptr<sd::Session> s = connect();
  ASSERT_TRUE(s);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_START, 1));

  // Three account messages, of which the third repeats the first.
  ASSERT_EQ(KelapiBookTrdAccounts(), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWTRDACCOUNT, 3));
  KelapiTrdAccountRecordEx main_account;
  ASSERT_EQ(KelapiGetTrdAccountEx(1, &main_account, sizeof main_account), KELAPI_OK);
  EXPECT_STREQ(main_account.code, "L01-00000F00");
  EXPECT_STREQ(main_account.description, "Main account|Shares|Bonds") << "each item once, trimmed";
  KelapiTrdAccountRecord futures_account;
  ASSERT_EQ(KelapiGetTrdAccount(2, &futures_account), KELAPI_OK);
  EXPECT_STREQ(futures_account.code, "SPBFUT00A1B");
  EXPECT_STREQ(futures_account.code2, "SPBFUT");
  EXPECT_EQ(KelapiGetTrdAccount(3, &futures_account), KELAPI_E_INVALIDARG);
  EXPECT_EQ(traders_.account_requests(), 1);

  // The traders, one of them on line.
  ASSERT_EQ(KelapiBookTraders(), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWTRADER, 4));
  KelapiTraderRecord trader;
  ASSERT_EQ(KelapiGetTraderEx(2, &trader, sizeof trader), KELAPI_OK);
  EXPECT_STREQ(trader.name, "Broker desk");
  EXPECT_STREQ(trader.code, "BRK");
  EXPECT_EQ(trader.on_line, 1u);
  ASSERT_EQ(KelapiGetTraderEx(3, &trader, sizeof trader), KELAPI_OK);
  EXPECT_EQ(trader.on_line, 0u);

  // A note between two others is neither kept nor receipted; the user's
  // message is kept with the recipient's receipt, and the answer is kept and
  // receipted by the library.
  traders_.pass_note(*s, "between others");
  ASSERT_EQ(KelapiSendTraderMsgEx(2, 0, 0, "Hello"), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWTRADERMSG, 3));
  KelapiTraderMsgRecord message;
  EXPECT_EQ(KelapiGetTraderMsgEx(1, &message, sizeof message), KELAPI_E_INVALIDARG);
  ASSERT_EQ(KelapiGetTraderMsgEx(2, &message, sizeof message), KELAPI_OK);
  EXPECT_EQ(message.sent_by_user, 1u);
  EXPECT_EQ(message.recipient, 2u);
  EXPECT_STREQ(message.text, "Hello");
  EXPECT_EQ(message.received_date, static_cast<uint32_t>(sd::DemoTraders::kDate)) << "the recipient's receipt";
  ASSERT_EQ(KelapiGetTraderMsgEx(3, &message, sizeof message), KELAPI_OK);
  EXPECT_EQ(message.sent_by_user, 0u);
  EXPECT_EQ(message.sender, 2u);
  EXPECT_STREQ(message.text, "Re: Hello");
  for (int tries = 0; tries < 3000 && !traders_.messages().at(2).receipted; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(traders_.messages().at(2).receipted) << "the library receipted the answer";
  EXPECT_FALSE(traders_.messages().at(0).receipted) << "nor the note";
}

TEST_F(EndToEndAccounts, AParameterLineFollowsTheLastPriceOnTopOfItsArchive) {
  std::unique_ptr<sd::Session> s = connect();
  ASSERT_TRUE(s);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_START, 1));
  // SBER (server id 1001, scale 2) is security 2 of class 1; LAST is its
  // first parameter, a double of scale 0 that the demo sets to the price.
  const int16_t wanted[] = {1};
  const uint32_t chosen[] = {2};
  ASSERT_EQ(KelapiSetClassFilterEx(1, 1, wanted, 1, chosen), KELAPI_OK);
  ASSERT_TRUE(s->wait_for(0x8045));
  int32_t line = 0;
  ASSERT_EQ(KelapiRegisterDataLineParam(1, 2, 1, "LAST", on_bar, 0, &line), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineStart(line), KELAPI_OK);
  const auto request = s->wait_for(0x8031);
  ASSERT_TRUE(request);
  EXPECT_EQ(sd::market::get32(request->body, 4), 0) << "the parameter's number in its class";

  constexpr int kSteps = 130;  // 10:00:01 to 10:02:10, one value a second
  for (int step = 0; step < kSteps; ++step) market_.step(*s);
  const auto archived = market_.feeds().history(1001, 1);
  const auto minutes = market_.feeds().minutes(1001);
  ASSERT_EQ(minutes.size(), 3u);
  const std::pair<uint32_t, uint32_t> last_minute{20240105u, static_cast<uint32_t>(minutes.back().time)};
  for (int tries = 0; tries < 1000; ++tries) {
    const auto now = bars();
    if (now.size() == archived.size() + 3 && now.at(last_minute).volume == 11) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto got = bars();
  ASSERT_EQ(got.size(), archived.size() + 3) << "the previous day's archive and today's three minutes";
  EXPECT_EQ(got.begin()->first.first, 20240104u);
  EXPECT_TRUE(std::filesystem::exists(kelda::test::test_dir() / "archive" / "TQBR_SBER_LAST_1.dat"));
  // The later minutes, whole in the values: the prices of the minute bars,
  // one unit of volume per value.
  const double volumes[] = {60, 11};
  for (std::size_t i = 1; i < minutes.size(); ++i) {
    const sd::DemoMinute& m = minutes[i];
    const KelapiDataLineBar& b = got.at({20240105u, static_cast<uint32_t>(m.time)});
    EXPECT_NEAR(b.open, m.open * 0.01, 1e-9) << m.time;
    EXPECT_NEAR(b.high, m.high * 0.01, 1e-9) << m.time;
    EXPECT_NEAR(b.low, m.low * 0.01, 1e-9) << m.time;
    EXPECT_NEAR(b.close, m.close * 0.01, 1e-9) << m.time;
    EXPECT_EQ(b.volume, volumes[i - 1]) << m.time;
  }
  ASSERT_EQ(KelapiUnregisterDataLine(line), KELAPI_OK);
}

