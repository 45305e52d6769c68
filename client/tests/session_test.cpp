// Connecting, the connection's events, disconnecting and the session
// messages, with a stand-in network stack.
#include <gtest/gtest.h>

#include <cstring>
#include <atomic>
#include <future>
#include <thread>
#include <string>

#include "library_fixture.h"
#include "messages/records_limits.h"
#include "messages/records_services.h"
#include "testsupport/test_dir.h"
#include "ui/loop.h"
#include "ui/testing.h"

namespace kelda::kelapi::test {
namespace {

class SessionTest : public LibraryTest {
 protected:
  // KelapiConnect on another thread; the test then plays the network.
  std::future<std::pair<KelapiResult, std::string>> connect_async() {
    return std::async(std::launch::async, [] {
      char error[256] = "untouched";
      const KelapiResult r = KelapiConnect("user", "secret", error);
      return std::make_pair(r, std::string(error));
    });
  }
  void start() {
    ASSERT_EQ(init(), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA"}, {"last"});
    end_class_lists();
    ASSERT_EQ(events(KELAPI_EVENT_START).size(), 1u);
  }
};

TEST_F(SessionTest, AFailedStepEndsTheAttemptAtOnceWithItsText) {
  struct Case {
    const char* what;
    void (*arrange)(FakeNet&);
    uint32_t sign_mode;
  };
  const Case cases[] = {
      {"protocol library", [](FakeNet& n) { n.init_result = 0; }, 0},
      {"signing context", [](FakeNet& n) { n.sign_context = 0; }, 1},
      {"connection", [](FakeNet& n) { n.connect_fails = true; }, 0},
      {"character mode", [](FakeNet& n) { n.character_mode_fails = true; }, 0},
  };
  for (const Case& c : cases) {
    LibraryOptions options = default_options();
    options.connect_timeout_ms = 600000;  // a hang would show as a time-out of the test
    make_library(std::move(options));
    c.arrange(*net);
    net->error_text = std::string("failed: ") + c.what;
    ASSERT_EQ(init(), KELAPI_OK);
    ASSERT_EQ(KelapiSetTransSignMode(c.sign_mode, nullptr), KELAPI_OK);
    char error[256];
    EXPECT_EQ(KelapiConnect("user", "secret", error), KELAPI_E_CONNECT_FAILED) << c.what;
    EXPECT_EQ(std::string(error), net->error_text) << c.what;
    EXPECT_TRUE(events(KELAPI_EVENT_NEWSTATUS).empty()) << c.what;
    EXPECT_EQ(KelapiDisconnect(), KELAPI_E_NOT_CONNECTED) << c.what;
  }
  // The character mode is set on a live connection, which is closed again.
  const auto calls = net->calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "disconnect"), 1);
}

TEST_F(SessionTest, ConnectOnTheUserInterfaceThreadKeepsItsLoopRunning) {
  ui::HeadlessUi ui_session;  // this thread is the user-interface thread
  ASSERT_EQ(init(), KELAPI_OK);
  std::atomic<bool> ran{false};
  std::thread network([&] {
    ASSERT_TRUE(net->wait_connects(1));
    // The network side needs the user-interface thread (a dialog) before
    // the permissions can come.
    EXPECT_TRUE(ui::run_on_ui_thread([&] { ran = true; }));
    const uint32_t permissions = 0;
    net->raise(kNetEventPermissions, &permissions);
  });
  char error[256];
  EXPECT_EQ(KelapiConnect("user", "secret", error), KELAPI_OK) << error;
  network.join();
  EXPECT_TRUE(ran);
}

TEST_F(SessionTest, TheCipherProviderDecidesWhatConnectPasses) {
  kelda::test::write_file_bytes("settings.ini", "[connect]\r\nauth-name=desk7\r\n");
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  NetConnectParams p = net->last_params();
  EXPECT_EQ(p.cipher_kind, 4u);
  EXPECT_EQ(p.cipher_path, "settings.ini");
  const NetCredentials c = net->last_credentials();
  EXPECT_EQ(c.version, 1u);
  EXPECT_STREQ(c.user, "user");
  EXPECT_STREQ(c.password, "secret");
  EXPECT_STREQ(c.auth_name, "desk7");

  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  net->provider = "NullCipher";
  ASSERT_EQ(connect(), KELAPI_OK);
  p = net->last_params();
  EXPECT_EQ(p.cipher_kind, 2u);
  EXPECT_EQ(p.cipher_path, "provider.ini");
  EXPECT_EQ(net->last_credentials().version, 0u) << "no credentials for another provider";
  const auto params = net->connection_params();
  ASSERT_GE(params.size(), 2u);
  EXPECT_EQ(params[0], (std::pair<uint32_t, uint32_t>{8, 0}));
  EXPECT_EQ(params[1], (std::pair<uint32_t, uint32_t>{7, 0}));
}

TEST_F(SessionTest, PermissionsThatNeverComeEndInATimeOut) {
  LibraryOptions options = default_options();
  options.connect_timeout_ms = 50;
  make_library(std::move(options));
  ASSERT_EQ(init(), KELAPI_OK);
  char error[256];
  EXPECT_EQ(KelapiConnect("user", "secret", error), KELAPI_E_CONNECT_FAILED);
  EXPECT_STREQ(error, "KelapiConnect timeout (1 minutes)\n");
  const auto calls = net->calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "disconnect"), 1);
  // Events of the abandoned connection are refused.
  EXPECT_EQ(net->raise(kNetEventPermissions, &calls), -1);
  EXPECT_EQ(KelapiDisconnect(), KELAPI_E_NOT_CONNECTED);
  EXPECT_TRUE(events(KELAPI_EVENT_NEWSTATUS).empty());
}

TEST_F(SessionTest, OneConnectAtATime) {
  ASSERT_EQ(init(), KELAPI_OK);
  auto first = connect_async();
  ASSERT_TRUE(net->wait_connects(1));
  char error[256];
  EXPECT_EQ(KelapiConnect("user", "secret", error), KELAPI_E_ALREADY_CONNECTED)
      << "a second call while the first waits for its connection";
  const uint32_t permissions = 0;
  EXPECT_EQ(net->raise(kNetEventPermissions, &permissions), 0);
  EXPECT_EQ(first.get().first, KELAPI_OK);
  EXPECT_EQ(net->connects(), 1) << "no second connection left open behind the first";
}

TEST_F(SessionTest, AConnectCommandThatOutlivedItsCallOpensNoConnection) {
  // The worker may take a connect command only after its call has ended (a
  // time-out) or after the library was uninitialised meanwhile.
  for (const bool uninitialise : {false, true}) {
    make_library(default_options());
    ASSERT_EQ(init(), KELAPI_OK);
    if (uninitialise) {
      ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
    }
    ASSERT_TRUE(lib->post_command(kCommandConnect, 0));
    lib.reset();  // the worker serves what is queued before it quits
    EXPECT_EQ(net->connects(), 0) << uninitialise;
  }
}

TEST_F(SessionTest, ALinkBrokenWhileConnectingEndsTheCallWithTheReason) {
  ASSERT_EQ(init(), KELAPI_OK);
  auto result = connect_async();
  ASSERT_TRUE(net->wait_connects(1));
  net->last_error_text = "Transport level error:\nno route";
  EXPECT_EQ(net->raise(kNetEventClosed), 0);
  const auto [code, text] = result.get();
  EXPECT_EQ(code, KELAPI_E_CONNECT_FAILED);
  EXPECT_EQ(text, "Transport level error:\nno route");
  EXPECT_TRUE(events(KELAPI_EVENT_NEWSTATUS).empty());
}

TEST_F(SessionTest, ABrokenLinkRaisesTheStatusEventAndConnectingAgainWorks) {
  ASSERT_EQ(init(), KELAPI_OK);
  for (const std::string reason : {"socket closed", ""}) {
    ASSERT_EQ(connect(), KELAPI_OK) << reason;
    net->last_error_text = reason;
    EXPECT_EQ(net->raise(kNetEventClosed), 0);
    const auto status = events(KELAPI_EVENT_NEWSTATUS);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.back().wparam, 1u);
    EXPECT_EQ(status.back().text, reason.empty() ? "Connection was broken!" : reason);
    EXPECT_EQ(net->raise(kNetEventClosed), -1) << "the closed connection is no longer the library's";
  }
  EXPECT_EQ(events(KELAPI_EVENT_NEWSTATUS).size(), 2u);
  ASSERT_EQ(connect(), KELAPI_OK);
  EXPECT_EQ(net->raise_stale(kNetEventClosed), -1);
  EXPECT_EQ(KelapiDisconnect(), KELAPI_OK);
  EXPECT_EQ(events(KELAPI_EVENT_NEWSTATUS).size(), 2u) << "a requested disconnect raises no status event";
  EXPECT_EQ(net->sent(0x4E).size(), 1u) << "the logout goes before the disconnect";
}

// The logout is sent under the library lock: were the server to read nothing,
// a send that waits for room in the full send queue would hold every export.
TEST_F(SessionTest, TheLogoutOfAStopNeverWaitsForRoomInTheSendQueue) {
  const struct {
    const char* what;
    KelapiResult (*stop)();
  } stops[] = {{"disconnect", &KelapiDisconnect}, {"uninitialise", &KelapiUninitialize}};
  for (const auto& c : stops) {
    net->clear_sent();
    ASSERT_EQ(init(), KELAPI_OK) << c.what;
    ASSERT_EQ(connect(), KELAPI_OK) << c.what;
    ASSERT_FALSE(net->sent().empty()) << c.what;
    EXPECT_EQ(net->sent().front().send_wait_ms, -1) << c.what << ": other sends keep their wait";
    ASSERT_EQ(c.stop(), KELAPI_OK) << c.what;
    if (c.stop == &KelapiDisconnect) {
      ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
    }
    const auto logout = net->sent(0x4E);
    ASSERT_EQ(logout.size(), 1u) << c.what;
    EXPECT_EQ(logout[0].send_wait_ms, 0) << c.what;
  }
}

TEST_F(SessionTest, EveryMessageOfABurstAfterAReconnectIsHandled) {
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  open_session();
  {
    // A message is stored while the receive thread waits for the lock, and
    // the link goes before it is handled.
    LibraryLock lock(*lib);
    net->deliver(0x803C, class_description(1, "OLD"));
    ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  }
  ASSERT_EQ(connect(), KELAPI_OK);
  for (int round = 0; round < 20; ++round) {
    net->deliver(0x803C, class_description(10 + round, ("N" + std::to_string(round)).c_str()));
  }
  ASSERT_TRUE(net->wait_handled());
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->classes.size(), 20u);
  EXPECT_EQ(lib->classes.find_by_code("N19"), 19);
}

TEST_F(SessionTest, TheConnectionIsAnnouncedToTheServer) {
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(KelapiSetLanguage(7, 2), KELAPI_OK);
  const uint32_t mode = 1004;
  ASSERT_EQ(KelapiSetApplicationMode(&mode), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  EXPECT_EQ(KelapiSetLanguage(1, 1), KELAPI_E_ALREADY_CONNECTED);
  EXPECT_EQ(KelapiSetApplicationMode(&mode), KELAPI_E_ALREADY_CONNECTED);

  const auto language = net->sent(0x91);
  ASSERT_EQ(language.size(), 1u);
  EXPECT_EQ(language[0].as<Msg0091_Language>().language, 7);
  EXPECT_EQ(language[0].as<Msg0091_Language>().sub_language, 2);
  const auto limits = net->sent(0x8008);
  ASSERT_EQ(limits.size(), 1u);
  EXPECT_EQ(limits[0].as<Msg8008_LimitStartWord>().value, 255);
  const auto report = net->sent(0x1A);
  ASSERT_EQ(report.size(), 20u) << "19 pairs without VERSION, then the empty end";
  EXPECT_STREQ(report.front().as<Msg001A_EnvironmentPair>().name, "LOCAL_TIME");
  EXPECT_STREQ(report[13].as<Msg001A_EnvironmentPair>().name, "HOST IP-ADDRESS");
  EXPECT_STREQ(report[13].as<Msg001A_EnvironmentPair>().value, "10.0.0.5");
  EXPECT_STREQ(report.back().as<Msg001A_EnvironmentPair>().name, "");

  open_session();
  const auto answer = net->sent(0xA5);
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_EQ(answer[0].as<Msg00A5_SessionAnswer>().application_mode, 1004);

  // A later initialise speaks the default language again.
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(init(), KELAPI_OK);
  net->clear_sent();
  ASSERT_EQ(connect(), KELAPI_OK);
  EXPECT_EQ(net->sent(0x91).at(0).as<Msg0091_Language>().language, 25);
}

TEST_F(SessionTest, ANewTradingSessionStartsOver) {
  start();
  ASSERT_EQ(KelapiBookClasses(), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWCLASS, 1));
  Msg0022_TradingSession next{};
  std::strcpy(next.key, "KEY2");
  next.trade_date = 20240108;
  net->deliver(0x22, next);
  ASSERT_TRUE(net->wait_handled());
  const auto status = events(KELAPI_EVENT_NEWSTATUS);
  ASSERT_EQ(status.size(), 1u);
  EXPECT_EQ(status[0].wparam, 2u);
  EXPECT_EQ(status[0].lparam, 0u);
  // The journal starts anew for the new day.
  const std::string journal = kelda::test::read_file_bytes("info.log");
  ASSERT_GE(journal.size(), 20u);
  uint32_t date;
  std::memcpy(&date, journal.data() + 16, 4);
  EXPECT_EQ(date, 20240108u);
  EXPECT_EQ(journal[20], 6) << "the trading-session key comes first";
  EXPECT_EQ(std::string(journal.data() + 21), "KEY2");

  // The class is confirmed again (same versions: only its server ids are
  // refreshed) and the start comes again.
  net->clear_sent();
  net->deliver(0x803C, class_description(5, "CLS"));
  ASSERT_TRUE(net->wait_handled());
  Msg8038_ServerIds ids{};
  ids.request = last_request(0x8039);
  ids.flags = 4;
  ids.count = 1;
  ids.server_ids[0] = 1000;
  net->deliver(0x8038, ids);
  end_class_lists();
  const auto starts = events(KELAPI_EVENT_START);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1].start.trade_date, 20240108u);
  EXPECT_STREQ(starts[1].start.trading_session, "KEY2");
  EXPECT_EQ(KelapiBookClasses(), KELAPI_OK) << "the booked flags went with the old session";
}

TEST_F(SessionTest, ClassesAreAnnouncedWhenBookedAndWhenTheyCompleteLater) {
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  EXPECT_EQ(KelapiBookClasses(), KELAPI_E_START_EVENT_NOT_FIRED);
  open_session();
  describe_market(5, "CLS", {"AAA"}, {"last"});
  end_class_lists();
  ASSERT_EQ(KelapiBookClasses(), KELAPI_OK);
  EXPECT_EQ(KelapiBookClasses(), KELAPI_E_ALREADY_BOOKED) << "also before the worker has served the first";
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWCLASS, 1));
  describe_market(6, "NEW", {"BBB"}, {"last"});  // its NEWCLASS comes as it completes
  const auto announced = events(KELAPI_EVENT_NEWCLASS);
  ASSERT_EQ(announced.size(), 2u);
  EXPECT_EQ(announced[0].lparam, 1u);
  EXPECT_EQ(announced[1].lparam, 2u);
}

TEST_F(SessionTest, TheCharacterModeFollowsTheServersWord) {
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  for (int32_t word : {0x800, 0x800, 0x1}) net->deliver(0x85, Msg0085_CharacterMode{word});
  ASSERT_TRUE(net->wait_handled());
  const auto params = net->connection_params();
  ASSERT_EQ(params.size(), 4u) << "the repeated word changes nothing";
  EXPECT_EQ(params[2], (std::pair<uint32_t, uint32_t>{7, 1}));
  EXPECT_EQ(params[3], (std::pair<uint32_t, uint32_t>{7, 0}));
}

}  // namespace
}  // namespace kelda::kelapi::test
