// Lifetime of the library against its threads, the network stack's threads
// and the caller's callback: exports called from inside an event and
// uninitialise racing with a connect.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "library_fixture.h"

namespace kelda::kelapi::test {
namespace {

// What the caller's callback does, for the test that sets it.
std::function<void(uint32_t, uintptr_t, uintptr_t)> g_on_event;

int forward_event(uint32_t code, uintptr_t wparam, uintptr_t lparam) {
  if (g_on_event) g_on_event(code, wparam, lparam);
  return 0;
}

class TeardownTest : public LibraryTest {
 protected:
  ~TeardownTest() override {
    lib.reset();
    g_on_event = nullptr;
  }
  // The test's own callback in place of the fixture's recorder.
  void use_callback(std::function<void(uint32_t, uintptr_t, uintptr_t)> f) {
    g_on_event = std::move(f);
    ASSERT_EQ(KelapiSetEventCallback(&forward_event), KELAPI_OK);
  }
  void start() {
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
    end_class_lists();
  }
};

TEST_F(TeardownTest, ConnectInsideTheEventCallbackFailsAtOnce) {
  // The callback runs with the library lock held (here on the stack's thread
  // that reports the broken link); a connect there could never be served.
  LibraryOptions options = default_options();
  options.connect_timeout_ms = 3000;  // a wait shows as the time-out text
  make_library(std::move(options));
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  KelapiResult inside = KELAPI_OK;
  std::string text;
  use_callback([&](uint32_t code, uintptr_t wparam, uintptr_t) {
    if (code != KELAPI_EVENT_NEWSTATUS || wparam != 1) return;
    char error[256] = "untouched";
    inside = KelapiConnect("user", "secret", error);
    text = error;
  });
  EXPECT_EQ(net->raise(kNetEventClosed), 0);
  EXPECT_EQ(inside, KELAPI_E_CONNECT_FAILED);
  EXPECT_EQ(text.find("timeout"), std::string::npos) << text;
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(net->connects(), 1);
  // Outside the callback connecting again works.
  use_callback(nullptr);
  EXPECT_EQ(connect(), KELAPI_OK);
}

TEST_F(TeardownTest, ReadsAndDisconnectInsideTheEventCallback) {
  ASSERT_EQ(init(), KELAPI_OK);
  KelapiResult read = 1;
  KelapiResult disconnected = 1;
  KelapiClassRecord record{};
  use_callback([&](uint32_t code, uintptr_t, uintptr_t) {
    if (code != KELAPI_EVENT_START) return;
    read = KelapiGetClassEx3(1, &record, sizeof record);
    disconnected = KelapiDisconnect();
  });
  start();
  EXPECT_EQ(read, KELAPI_OK);
  EXPECT_STREQ(record.code, "CLS");
  EXPECT_EQ(disconnected, KELAPI_OK);
  EXPECT_EQ(KelapiDisconnect(), KELAPI_E_NOT_CONNECTED);
  EXPECT_EQ(connect(), KELAPI_OK);
}

TEST_F(TeardownTest, UninitialiseInsideTheNewSessionEventWritesNoMoreFiles) {
  // A new trading session raises its status event and then starts the day's
  // files; after an uninitialise in that event no file may be written (the
  // work folder is gone, so they would land in the current folder).
  std::filesystem::create_directory("work");
  ASSERT_EQ(KelapiInitializeEx3(0, "work", "settings.ini", 0), KELAPI_OK);
  KelapiResult uninitialised = 1;
  use_callback([&](uint32_t code, uintptr_t wparam, uintptr_t) {
    if (code == KELAPI_EVENT_NEWSTATUS && wparam == 2) uninitialised = KelapiUninitialize();
  });
  start();
  ASSERT_TRUE(std::filesystem::exists("work/info.log"));
  Msg0022_TradingSession session{};
  std::strcpy(session.key, "KEY2");
  session.trade_date = 20240106;
  net->deliver(0x22, session);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(uninitialised, KELAPI_OK);
  EXPECT_FALSE(std::filesystem::exists("info.log"));
  EXPECT_FALSE(std::filesystem::exists("alltrades.dat"));
  // A later initialise in the work folder reads back the first day's tables.
  ASSERT_EQ(KelapiInitializeEx3(0, "work", "settings.ini", 0), KELAPI_OK);
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->classes.size(), 1u);
  EXPECT_EQ(lib->trade_date(), 20240105u);
}

TEST_F(TeardownTest, UninitialiseRacesWithConnect) {
  // Uninitialise from another thread at any point of a connect attempt: the
  // connect call ends, nothing stays connected, and the library can start over.
  for (int round = 0; round < 100; ++round) {
    ASSERT_EQ(init(), KELAPI_OK);
    auto call = std::async(std::launch::async, [] {
      char error[256];
      return KelapiConnect("user", "secret", error);
    });
    std::thread stack([n = net] {
      const uint32_t permissions = 0;
      n->raise(kNetEventPermissions, &permissions);
    });
    EXPECT_EQ(KelapiUninitialize(), KELAPI_OK);
    stack.join();
    const KelapiResult result = call.get();
    EXPECT_TRUE(result == KELAPI_OK || result == KELAPI_E_CONNECT_FAILED || result == KELAPI_E_NOT_INITIALIZED)
        << std::hex << result;
    LibraryLock lock(*lib);
    ASSERT_FALSE(lib->initialised());
    ASSERT_FALSE(lib->connected()) << round;
    ASSERT_EQ(lib->connection(), 0u) << round;
  }
}

}  // namespace
}  // namespace kelda::kelapi::test
