// The shipped client library over the real network stack and the dispatcher
// with the real Sekura32_Pr, against the server double running the server's
// side of the key exchange with its own user: the encrypted link to the
// start event and beyond, and a server that breaks the exchange at each step.
// Only the client library's C interface is used.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "keldaapi/keldaapi.h"
#include "server_double/demo_accounts.h"
#include "server_double/demo_market.h"
#include "server_double/sekura_channel.h"
#include "server_double/server_double.h"
#include "testsupport/test_dir.h"

namespace sd = kelda::server_double;

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<uint32_t> g_events;

int on_event(uint32_t code, uintptr_t, uintptr_t) {
  std::lock_guard lock(g_mutex);
  g_events.push_back(code);
  g_changed.notify_all();
  return 0;
}

bool wait_events(uint32_t code, std::size_t n) {
  std::unique_lock lock(g_mutex);
  return g_changed.wait_for(lock, std::chrono::seconds(60), [&] {
    return static_cast<std::size_t>(std::count(g_events.begin(), g_events.end(), code)) >= n;
  });
}

class EncryptedEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    sd::use_test_key_rings(kelda::test::test_data("sekura32"), kelda::test::test_dir());
    settings_ = (kelda::test::test_dir() / "KeldaMobile.txt").string();
    kelda::test::write_file_bytes(
        settings_, "[connect]\r\ntrade-server-ip-address=127.0.0.1\r\nport=" + std::to_string(server_.port()) +
                       "\r\nauth-name=KeldaServer\r\n"
                       "[CryptoProviders]\r\nSekura32=1\r\n"
                       "[Sekura32]\r\nModule=Sekura32_Pr.DLL\r\nIniFile=\r\n"
                       "[CryptoProvidersSettings]\r\nCipherCryptoProvider=Sekura32\r\n");
    ASSERT_EQ(KelapiSetEventCallback(&on_event), KELAPI_OK);
    ASSERT_EQ(KelapiInitializeEx3(1, kelda::test::test_dir().c_str(), settings_.c_str(), 0), KELAPI_OK);
  }
  void TearDown() override {
    KelapiUninitialize();
    KelapiSetEventCallback(nullptr);
  }

  // KelapiConnect as "demo" while the server runs the exchange (breaking it
  // as asked); the session serving the demo market, or null with the
  // client's text in *error.
  std::unique_ptr<sd::Session> connect(sd::ExchangeFault fault, std::string* error) {
    auto result = std::async(std::launch::async, [] {
      char text[256] = "";
      const KelapiResult r = KelapiConnect("demo", "demo", text);
      return std::make_pair(r, std::string(text));
    });
    channel_ = sd::SekuraChannel::open("KeldaServer", "server");
    std::unique_ptr<sd::Session> session = server_.accept();
    if (!channel_ || !session) {
      ADD_FAILURE() << "no server channel or no connection";
      return nullptr;
    }
    sd::HandshakeScript script;
    script.permissions = 0xC000;
    script.key_exchange = [&](sd::Session& s) { return channel_->exchange(s, fault); };
    const bool exchanged = session->handshake(script).has_value();
    if (!exchanged) session->drop();
    const auto [code, text] = result.get();
    *error = text;
    if (!exchanged || code != KELAPI_OK) return nullptr;
    market_.attach(*session);
    accounts_.attach(*session);
    session->serve();
    market_.open(*session);
    return session;
  }

  std::string settings_;
  sd::ServerDouble server_;
  std::unique_ptr<sd::SekuraChannel> channel_;
  sd::DemoMarket market_{7};
  sd::DemoAccounts accounts_;
};

TEST_F(EncryptedEndToEnd, TheEncryptedLinkCarriesTheSessionToTheStartAndBeyond) {
  std::string error;
  std::unique_ptr<sd::Session> s = connect(sd::ExchangeFault::none, &error);
  ASSERT_TRUE(s) << error;
  EXPECT_EQ(channel_->peer_user_id(), 1) << "the server learnt the client from its signed answer";
  ASSERT_TRUE(wait_events(KELAPI_EVENT_START, 1));
  ASSERT_EQ(KelapiBookLimits(), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWDEPOLIMIT, 2));
  for (int i = 0; i < 20; ++i) accounts_.trade(*s, "GAZP", 10, 160.25);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWDEPOLIMIT, 22));
  KelapiDepoLimitRecordEx depo;
  ASSERT_EQ(KelapiGetDepoLimitEx2(1, &depo, sizeof depo), KELAPI_OK);
  EXPECT_DOUBLE_EQ(depo.quantity1, accounts_.depo_quantity("GAZP"));
  ASSERT_EQ(KelapiSetMoneyLimitR(77, "SUR", "EQTV", sd::DemoAccounts::kClient, sd::DemoAccounts::kFirm, 1, 2),
            KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_LIMITREPLY, 1));
}

TEST_F(EncryptedEndToEnd, AServerThatBreaksTheExchangeGivesItsTextAndTheClientConnectsAgain) {
  struct Case {
    sd::ExchangeFault fault;
    std::string text;  // the provider's or the server's text within the client's
  };
  const Case cases[] = {
      {sd::ExchangeFault::garbage_opening, "\"Protection violation 11\""},  // bad format
      {sd::ExchangeFault::forged_opening, "\"Protection violation "},
      {sd::ExchangeFault::error_frame, "\"Key exchange refused\""},
      {sd::ExchangeFault::silent_after_opening, ""},
      {sd::ExchangeFault::broken_closing, "\"Protection violation "},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(static_cast<int>(k.fault));
    std::string error;
    EXPECT_FALSE(connect(k.fault, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(error.find(k.text), std::string::npos) << error;
  }
  std::string error;
  std::unique_ptr<sd::Session> s = connect(sd::ExchangeFault::none, &error);
  ASSERT_TRUE(s) << error;
  ASSERT_TRUE(wait_events(KELAPI_EVENT_START, 1));
}

}  // namespace
