// A connect whose transport set-up stalls (as it does while a provider's
// dialog is open) holds up no other connection: calls and events of other
// connections go on, and the library's end during the stall neither waits
// for it nor leaves a freed context to the link it started.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <shared_mutex>
#include <thread>

#include "event_log.h"
#include "fake_crypto.h"
#include "context.h"
#include "library.h"
#include "server_double/server_double.h"
#include "zn_de/zn_de.h"

namespace sd = kelda::server_double;

namespace kelda::de::testing {
namespace {

constexpr uint32_t kValueMessage = 0x0201;
MessageLayout g_int32_layout[] = {0, ZN_FIELD_INT32, 0};
MessageLayout g_empty_layout[] = {0, 0};
MessageLayoutEntry g_registry[] = {
    {SN_PERMS, g_int32_layout, 3},     {ZN_MSG_PING, g_empty_layout, 0},
    {ZN_MSG_PONG, g_empty_layout, 0},  {ZN_MSG_LOGOUT, g_empty_layout, 0},
    {kValueMessage, g_int32_layout, 1}, {0, nullptr, 0},
};
std::atomic<int> g_handled{0};
void on_value(uint16_t, const void*) { g_handled.fetch_add(1); }
MessageHandlerEntry g_handlers[] = {{kValueMessage, &on_value}, {0, nullptr}};

constexpr auto kWait = std::chrono::seconds(30);

// The fake provider, whose context opening can be held (a dialog the user
// has not answered yet) for one connect.
class StallingCrypto final : public dtcp::CryptoPort {
 public:
  void arm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = true;
  }
  bool wait_stalled() {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, kWait, [this] { return stalled_; });
  }
  void release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    cv_.notify_all();
  }

  bool initialize(const std::string& a, const dtcp::Locale& b, uintptr_t c,
                  std::string& e) override {
    return fake_.initialize(a, b, c, e);
  }
  void finish() override { fake_.finish(); }
  bool cipher_provider_name(const zn_crypto_params& p, const std::string& ini, uintptr_t owner,
                            std::string& name, std::string& e) override {
    return fake_.cipher_provider_name(p, ini, owner, name, e);
  }
  bool open(dtcp::CryptoSession& s, const zn_crypto_params& p, const dtcp::Locale& l,
            uintptr_t owner, std::string& e) override {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (armed_) {
        armed_ = false;
        stalled_ = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return released_; });
      }
    }
    return fake_.open(s, p, l, owner, e);
  }
  int32_t provider_id(const std::string& n, std::string& e) override {
    return fake_.provider_id(n, e);
  }
  uint32_t handshake(dtcp::CryptoSession& s, std::span<const uint8_t> in,
                     std::span<const uint8_t>& out, const uintptr_t words[4],
                     std::string& e) override {
    return fake_.handshake(s, in, out, words, e);
  }
  bool encrypt(dtcp::CryptoSession& s, std::span<const uint8_t> in, std::vector<uint8_t>& out,
               std::string& e) override {
    return fake_.encrypt(s, in, out, e);
  }
  bool decrypt(dtcp::CryptoSession& s, std::span<const uint8_t> in, std::vector<uint8_t>& out,
               std::string& e) override {
    return fake_.decrypt(s, in, out, e);
  }
  bool set_context_param(dtcp::CryptoSession& s, uint32_t param, uintptr_t value,
                         std::string& e) override {
    return fake_.set_context_param(s, param, value, e);
  }
  void close(dtcp::CryptoSession& s) override { fake_.close(s); }

 private:
  dtcp::testing::FakeCrypto fake_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool armed_ = false;
  bool stalled_ = false;
  bool released_ = false;
};

// What one zn_connect_ex call gave back.
struct Connected {
  zn_connection* handle = nullptr;
  std::string error;
};

class ConnectStall : public ::testing::Test {
 protected:
  void SetUp() override {
    g_handled.store(0);
    crypto = std::make_shared<StallingCrypto>();
    dtcp::set_crypto_port(crypto);
    char error[256] = "";
    if (!zn_is_initialized()) {
      ASSERT_EQ(zn_init("", g_registry, g_handlers, 0, 0, 0, 0, 0, 0, 0, 0, error, sizeof error),
                1)
          << error;
    }
  }
  void TearDown() override {
    crypto->release();  // never leave a connect held
    zn_tcp_fin();
    dtcp::set_crypto_port(nullptr);
  }

  Connected connect(EventLog& log, uint16_t port) {
    zn_conn_params params{1, 0, sd::ServerDouble::address(), port, nullptr};
    zn_conn_setup setup{};
    setup.mode = ZN_SETUP_RECORD;
    setup.params = &params;
    zn_crypto_params crypto_params{};
    crypto_params.version = 1;
    crypto_params.open_context = 1;
    crypto_params.selection_mode = 1;
    char error[512] = "";
    Connected out;
    out.handle = zn_connect_ex(g_handlers, g_registry, "stall", nullptr, &crypto_params, 0, 0, 0, 0,
                               &setup, &EventLog::callback, reinterpret_cast<uintptr_t>(&log), 0,
                               0, 0, 0, error, sizeof error);
    out.error = error;
    return out;
  }
  // A connect on its own thread, held in the provider's context opening.
  std::future<Connected> connect_stalled(EventLog& log) {
    crypto->arm();
    auto held = std::async(std::launch::async, [this, &log] { return connect(log, server.port()); });
    EXPECT_TRUE(crypto->wait_stalled());
    return held;
  }
  // Opens a connection and takes it through the negotiation to the permissions.
  zn_connection* open_session(EventLog& log, std::unique_ptr<sd::Session>& session) {
    Connected c = connect(log, server.port());
    EXPECT_NE(c.handle, nullptr) << c.error;
    session = server.accept();
    EXPECT_TRUE(session && session->handshake());
    EXPECT_TRUE(log.wait_for(ZN_EVENT_PERMISSIONS));
    return c.handle;
  }

  // The callbacks' logs outlive the library's end in TearDown.
  EventLog& make_log() { return *logs_.emplace_back(std::make_unique<EventLog>()); }

  std::shared_ptr<StallingCrypto> crypto;
  sd::ServerDouble server;
  std::deque<std::unique_ptr<EventLog>> logs_;
};

TEST_F(ConnectStall, OtherConnectionsGoOnWhileAConnectIsHeld) {
  EventLog& first_log = make_log();
  std::unique_ptr<sd::Session> first_session;
  zn_connection* first = open_session(first_log, first_session);
  ASSERT_NE(first, nullptr);

  EventLog& held_log = make_log();
  std::future<Connected> held = connect_stalled(held_log);

  // Everything another connection does while the connect is held, on a
  // thread of its own so that a regression fails the wait instead of hanging.
  EventLog& second_log = make_log();
  std::unique_ptr<sd::Session> second_session;
  auto others = std::async(std::launch::async, [&] {
    char error[512] = "";
    EXPECT_NE(zn_getstataddr(first, error, sizeof error), nullptr) << error;
    int32_t value = 7;
    EXPECT_EQ(zn_sendmsg(first, kValueMessage, &value, error, sizeof error), 1) << error;
    std::optional<sd::Message> m = first_session->read_message();
    EXPECT_TRUE(m && m->id == kValueMessage);
    // Received: the transport's events for the first connection get through.
    const uint8_t body[4] = {0, 0, 0, 9};
    first_session->send_message(kValueMessage, body);
    EXPECT_TRUE(first_log.wait_for(ZN_EVENT_STORED));
    EXPECT_EQ(zn_recvmsg(first, error, sizeof error), 1) << error;
    EXPECT_EQ(zn_get_last_error(first, error, sizeof error), 1);
    // A new connection is set up and negotiated meanwhile.
    EXPECT_NE(open_session(second_log, second_session), nullptr);
  });
  const bool went_on = others.wait_for(kWait) == std::future_status::ready;
  crypto->release();
  others.get();
  EXPECT_TRUE(went_on) << "calls of other connections waited for the held connect";
  EXPECT_EQ(g_handled.load(), 1);

  // The held connect completes normally once its provider answers.
  Connected c = held.get();
  ASSERT_NE(c.handle, nullptr) << c.error;
  std::unique_ptr<sd::Session> held_session = server.accept();
  ASSERT_TRUE(held_session && held_session->handshake());
  EXPECT_TRUE(held_log.wait_for(ZN_EVENT_PERMISSIONS));
}

TEST_F(ConnectStall, TheLibraryEndDuringAHeldConnectFreesItCleanly) {
  EventLog& log = make_log();
  std::future<Connected> held = connect_stalled(log);
  auto fin = std::async(std::launch::async, [] { zn_fin(); });
  const bool ended = fin.wait_for(kWait) == std::future_status::ready;
  crypto->release();
  fin.get();
  EXPECT_TRUE(ended) << "the library's end waited for the held connect";

  // The connect finds its context freed: no handle, and the link it had
  // started is closed without a word to the caller's callback.
  Connected c = held.get();
  EXPECT_EQ(c.handle, nullptr);
  EXPECT_EQ(c.error, "Net library was finished while the connection was set up");
  EXPECT_TRUE(dtcp::wait_connections_gone(30000));
  EXPECT_TRUE(log.empty());
}

// The transport's first events may come before zn_connect_ex has returned:
// they wait until the context is published. Here the link fails at once
// while the test holds the library mutex shared, so that the connect cannot
// publish: its close must not reach the caller before the connect returns.
TEST_F(ConnectStall, EventsOfALinkWaitForTheConnectToReturn) {
  // A bound socket that does not listen refuses the connection.
  const int refusing = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(refusing, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = sd::ServerDouble::address();
  ASSERT_EQ(::bind(refusing, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  ASSERT_EQ(::getsockname(refusing, reinterpret_cast<sockaddr*>(&address), &length), 0);

  EventLog& log = make_log();
  crypto->arm();
  auto held = std::async(std::launch::async,
                         [&] { return connect(log, ntohs(address.sin_port)); });
  ASSERT_TRUE(crypto->wait_stalled());
  bool reached_early = false;
  {
    std::shared_lock<std::shared_mutex> lock(library().mutex);
    crypto->release();
    // Until a lookup holds the context beside the list and the connect (the
    // close waiting for it), or the close has been reported.
    const auto until = std::chrono::steady_clock::now() + kWait;
    for (;;) {
      {
        std::lock_guard<std::mutex> seen(log.mutex);
        if (!log.seen.empty()) {
          reached_early = true;
          break;
        }
      }
      if (library().contexts.size() == 1 && library().contexts.begin()->second.use_count() == 3) {
        break;
      }
      ASSERT_LT(std::chrono::steady_clock::now(), until);
      std::this_thread::yield();
    }
  }
  EXPECT_FALSE(reached_early) << "the close was reported before the connect returned";
  Connected c = held.get();
  ASSERT_NE(c.handle, nullptr) << c.error;
  ASSERT_TRUE(log.wait_for(ZN_EVENT_FREEING));
  std::lock_guard<std::mutex> lock(log.mutex);
  EXPECT_EQ(log.seen, (std::vector<int32_t>{ZN_EVENT_CLOSED, ZN_EVENT_FREEING}));
  ::close(refusing);
}

}  // namespace
}  // namespace kelda::de::testing
