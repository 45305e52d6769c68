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
#include <mutex>
#include <string>
#include <vector>

#include "keldaapi/keldaapi.h"
#include "server_double/demo_accounts.h"
#include "server_double/demo_market.h"
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
  void SetUp() override {
    char folder[] = "/tmp/kelapi-e2e-accounts-XXXXXX";
    settings_folder_ = ::mkdtemp(folder);
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
    std::filesystem::remove_all(settings_folder_);
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
    session->serve();
    market_.open(*session);
    return session;
  }

  std::string settings_folder_;
  std::string settings_;
  sd::ServerDouble server_;
  sd::DemoMarket market_{7};
  sd::DemoAccounts accounts_;
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
