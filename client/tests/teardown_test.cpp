// Lifetime of the library against its threads, the network stack's threads
// and the caller's callback: exports called from inside an event, the
// library going away while the stack still raises events, and uninitialise
// racing with a connect.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "library_fixture.h"
#include "testsupport/test_dir.h"

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
  // The child of a death test starts in the folder the program was started
  // in: it works in this test's folder instead, named by the parent.
  static void share_test_dir_with_child() {
    // Only the parent has a folder of its own (the child runs the body again).
    if (!kelda::test::test_dir().empty()) ::setenv("KELAPI_TEST_DIR", kelda::test::test_dir().c_str(), 1);
  }
  static void enter_shared_test_dir() {
    if (const char* dir = std::getenv("KELAPI_TEST_DIR")) std::filesystem::current_path(dir);
  }
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

TEST_F(TeardownTest, TheLibraryGoesWhileTheStackRaisesEvents) {
  // The stack's threads may raise an event at any moment, also while the
  // library is being destroyed; none may touch it once it is gone. Here the
  // receive thread holds the lock in the start event while the stack reports
  // a broken link and the library is destroyed: both wait for the lock.
  for (int round = 0; round < 40; ++round) {
    make_library(default_options());
    ASSERT_EQ(init(0, /*fresh_start=*/1), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA"}, {"last"});
    ASSERT_FALSE(HasFatalFailure());
    std::atomic<bool> in_event{false};
    std::atomic<bool> stack_raising{false};
    std::atomic<bool> destroying{false};
    use_callback([&](uint32_t code, uintptr_t, uintptr_t) {
      if (code != KELAPI_EVENT_START) return;
      in_event.store(true);
      while (!stack_raising.load() || !destroying.load()) std::this_thread::yield();
      for (int k = 0; k < 2000; ++k) std::this_thread::yield();  // both reach the lock
    });
    const uint8_t none = 0;
    net->deliver(0x4A, &none, 0);
    while (!in_event.load()) std::this_thread::yield();
    std::thread stack([&, n = net] {
      stack_raising.store(true);
      n->raise(kNetEventClosed);
      n->raise(kNetEventStored);
    });
    set_current_library(nullptr);  // as the process library does before it goes
    destroying.store(true);
    lib.reset();
    stack.join();
  }
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

TEST_F(TeardownTest, AConnectEndedByUninitialiseSaysSo) {
  ASSERT_EQ(init(), KELAPI_OK);
  auto call = std::async(std::launch::async, [] {
    std::string text(256, '\0');
    const KelapiResult result = KelapiConnect("user", "secret", text.data());
    return std::make_pair(result, std::string(text.c_str()));
  });
  ASSERT_TRUE(net->wait_connects(1));  // the attempt waits for the permissions
  EXPECT_EQ(KelapiUninitialize(), KELAPI_OK);
  const auto [result, text] = call.get();
  EXPECT_EQ(result, KELAPI_E_CONNECT_FAILED);
  EXPECT_EQ(text, "KelapiConnect was ended by the caller: KelapiUninitialize ended the connection attempt.");
}

TEST_F(TeardownTest, ALinkBrokenRightAfterThePermissionsEndsTheConnectCallOnly) {
  // The permissions come and the link breaks before the waiting connect call
  // has run again: the call reports the reason, and no status event comes.
  ASSERT_EQ(init(), KELAPI_OK);
  auto call = std::async(std::launch::async, [] {
    std::string text(256, '\0');
    const KelapiResult result = KelapiConnect("user", "secret", text.data());
    return std::make_pair(result, std::string(text.c_str()));
  });
  ASSERT_TRUE(net->wait_connects(1));
  net->last_error_text = "Timeout has expired. Connection with server was lost.";
  {
    LibraryLock hold(*lib);  // the connect call cannot run between the two events
    const uint32_t permissions = 0xC000;
    net->raise(kNetEventPermissions, &permissions);
    net->raise(kNetEventClosed);
  }
  const auto [result, text] = call.get();
  EXPECT_EQ(result, KELAPI_E_CONNECT_FAILED);
  EXPECT_EQ(text, "Timeout has expired. Connection with server was lost.");
  EXPECT_TRUE(events(KELAPI_EVENT_NEWSTATUS).empty());
  EXPECT_EQ(connect(), KELAPI_OK);  // a new attempt works
}

TEST_F(TeardownTest, ReadsBookingsAndLinkDropsTogether) {
  // Readers on two threads while the server describes the market, the link
  // drops and comes back, and the caller disconnects: every read answers
  // with one of its codes and writes only what the class record announced.
  ASSERT_EQ(init(0, /*fresh_start=*/1), KELAPI_OK);
  use_callback([](uint32_t code, uintptr_t, uintptr_t lparam) {
    if (code != KELAPI_EVENT_NEWCLASS) return;
    KelapiClassRecord c{};
    if (KelapiGetClassEx3(static_cast<uint32_t>(lparam), &c, sizeof c) != KELAPI_OK) return;
    std::vector<KelapiSecurityRecord> s(c.security_count);
    KelapiGetClassSecuritiesEx3(c.class_number, s.data(), sizeof(KelapiSecurityRecord));
  });
  std::atomic<bool> done{false};
  auto reader = [&] {
    while (!done.load()) {
      for (uint32_t n = 1; n <= 17; ++n) {
        KelapiClassRecordEx4 c{};
        const KelapiResult r = KelapiGetClassEx4(n, &c, sizeof c);
        ASSERT_TRUE(r == KELAPI_OK || r == KELAPI_E_INVALIDARG || r == KELAPI_E_START_EVENT_NOT_FIRED) << r;
        if (r != KELAPI_OK) continue;
        std::vector<KelapiSecurityRecordEx4> s(c.security_count + 1);
        s.back().security_number = 0xABCD;
        KelapiGetClassSecuritiesEx4(n, s.data(), sizeof s[0]);
        ASSERT_EQ(s.back().security_number, 0xABCDu) << "written past the announced count";
        std::vector<KelapiClassParamRecord> p(static_cast<std::size_t>(c.param_count) + 1);
        p.back().param_number = 0xBEEF;
        KelapiGetClassParamsEx(n, p.data());
        ASSERT_EQ(p.back().param_number, 0xBEEF) << "written past the announced count";
      }
      KelapiBookClasses();
    }
  };
  std::thread r1(reader);
  std::thread r2(reader);
  for (int round = 0; round < 8; ++round) {
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session(7, round % 2 == 0 ? "KEY1" : "KEY2");
    std::vector<std::string> codes;
    for (int k = 0; k <= round; ++k) codes.push_back("S" + std::to_string(k));
    describe_market(10 + round, ("C" + std::to_string(round)).c_str(), codes, {"last", "bid"}, 1000 + round * 10);
    describe_market(50 + round, ("D" + std::to_string(round)).c_str(), {"X"}, {"last"}, 5000 + round);
    end_class_lists();
    if (round % 2 == 0) {
      net->raise(kNetEventClosed);
    } else {
      ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
    }
  }
  done.store(true);
  r1.join();
  r2.join();
}

TEST_F(TeardownTest, TheProcessMayEndInsideAnEventOfTheStack) {
  // A caller that ends the process from the status event: the library's
  // owner goes at exit on the stack's thread, inside that thread's own
  // event, and the exit completes.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  share_test_dir_with_child();
  EXPECT_EXIT(
      {
        ::alarm(20);  // a hang ends the child by a signal
        enter_shared_test_dir();
        static std::unique_ptr<Library> owned;
        if (init() != KELAPI_OK || connect() != KELAPI_OK) std::exit(2);
        owned = std::move(lib);
        use_callback([](uint32_t code, uintptr_t wparam, uintptr_t) {
          if (code == KELAPI_EVENT_NEWSTATUS && wparam == 1) std::exit(0);
        });
        std::thread stack([n = net] { n->raise(kNetEventClosed); });
        stack.join();
        std::exit(3);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(TeardownTest, TheProcessMayEndInsideAnEventWhileTheStackWaitsForTheLock) {
  // The start event runs on the receive thread with the lock held; the stack
  // reports a broken link meanwhile (its event waits for the lock) and the
  // caller ends the process from the start event: the exit completes.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  share_test_dir_with_child();
  EXPECT_EXIT(
      {
        ::alarm(20);  // a hang ends the child by a signal
        enter_shared_test_dir();
        static std::unique_ptr<Library> owned;
        if (init(0, 1) != KELAPI_OK || connect() != KELAPI_OK) std::exit(2);
        open_session();
        describe_market(5, "CLS", {"AAA"}, {"last"});
        owned = std::move(lib);
        static std::atomic<bool> in_start{false};
        static std::atomic<bool> stack_raising{false};
        use_callback([](uint32_t code, uintptr_t, uintptr_t) {
          if (code != KELAPI_EVENT_START) return;
          in_start.store(true);
          while (!stack_raising.load()) std::this_thread::yield();
          for (int k = 0; k < 20000; ++k) std::this_thread::yield();  // the stack reaches the lock
          std::exit(0);
        });
        const uint8_t none = 0;
        net->deliver(0x4A, &none, 0);
        std::thread stack([n = net] {
          while (!in_start.load()) std::this_thread::yield();
          stack_raising.store(true);
          n->raise(kNetEventClosed);
        });
        stack.join();
        ::pause();
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kelda::kelapi::test
