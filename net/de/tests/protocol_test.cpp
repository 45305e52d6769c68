// The protocol library over the real transport and loopback sockets against
// the server double: the negotiation up to the permissions, messages both
// ways through the codec, pings, handlers, closing, and every failure text
// of the negotiation and the receive dispatch.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "fake_crypto.h"
#include "library.h"
#include "server_double/server_double.h"
#include "zn_de/zn_de.h"

namespace sd = kelda::server_double;

namespace kelda::de::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// A small message set: permissions, pong, logout, and one message carrying
// a 32-bit value that the server sends and the client sends back.
constexpr uint32_t kValueMessage = 0x0201;
constexpr uint32_t kUnhandledMessage = 0x0202;
MessageLayout g_int32_layout[] = {0, ZN_FIELD_INT32, 0};
MessageLayout g_empty_layout[] = {0, 0};
MessageLayoutEntry g_registry[] = {
    {SN_PERMS, g_int32_layout, 3},
    {ZN_MSG_PING, g_empty_layout, 0},
    {ZN_MSG_PONG, g_empty_layout, 0},
    {ZN_MSG_LOGOUT, g_empty_layout, 0},
    {kValueMessage, g_int32_layout, 1},
    {kUnhandledMessage, g_int32_layout, 1},
    {0, nullptr, 0},
};

std::mutex g_handled_mutex;
std::vector<int32_t> g_handled;
void on_value(uint16_t id, const void* record) {
  ASSERT_EQ(id, kValueMessage);
  int32_t v = 0;
  std::memcpy(&v, record, 4);
  std::lock_guard<std::mutex> lock(g_handled_mutex);
  g_handled.push_back(v);
}
MessageHandlerEntry g_handlers[] = {{kValueMessage, &on_value}, {0, nullptr}};

struct Client {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<int32_t> events;
  uint32_t permissions = 0;
  std::vector<uint32_t> message_ids;
  std::string error_at_close;
  int32_t answer_to_negotiated = 0;
  std::function<void()> on_closed;  // runs inside event 3, before the link is marked down
  std::function<void()> before_close_text;  // runs inside event 3, before the text is read
  zn_connection* connection = nullptr;

  static int32_t callback(uintptr_t user, int32_t event, int32_t*, void* data, uint32_t id,
                          const void*, uint32_t) {
    auto* self = reinterpret_cast<Client*>(user);
    std::unique_lock<std::mutex> lock(self->mutex);
    self->events.push_back(event);
    if (event == ZN_EVENT_PERMISSIONS) self->permissions = *static_cast<uint32_t*>(data);
    if (event == ZN_EVENT_MESSAGE) self->message_ids.push_back(id);
    int32_t answer = event == ZN_EVENT_NEGOTIATED ? self->answer_to_negotiated : 0;
    if (event == ZN_EVENT_CLOSED) {
      char text[1024] = "";
      zn_connection* c = self->connection;
      std::function<void()> hook = self->on_closed;
      std::function<void()> first = self->before_close_text;
      lock.unlock();
      if (first) first();
      zn_get_last_error(c, text, sizeof text);
      if (hook) hook();
      lock.lock();
      self->error_at_close = text;
    }
    lock.unlock();
    self->cv.notify_all();
    return answer;
  }
  bool wait_for(int32_t event, int timeout_ms = 30000) {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
      return std::find(events.begin(), events.end(), event) != events.end();
    });
  }
  int count(int32_t event) {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }
};

class Protocol : public ::testing::Test {
 protected:
  void SetUp() override {
    crypto = std::make_shared<dtcp::testing::FakeCrypto>();
    dtcp::set_crypto_port(crypto);
    char error[256] = "";
    if (!zn_is_initialized()) {
      ASSERT_EQ(zn_init("", g_registry, g_handlers, 0, 0, 0, 0, 0, 0, 0, 0, error, sizeof error),
                1)
          << error;
    }
    std::lock_guard<std::mutex> lock(g_handled_mutex);
    g_handled.clear();
  }
  void TearDown() override {
    zn_tcp_fin();
    dtcp::set_crypto_port(nullptr);
  }

  // Opens a connection to the server double and accepts it there.
  zn_connection* open(Client& client, uint32_t check_timeout = 0) {
    params = zn_conn_params{1, check_timeout, sd::ServerDouble::address(), server.port(), nullptr};
    setup = zn_conn_setup{};
    setup.mode = ZN_SETUP_RECORD;
    setup.params = &params;
    crypto_params = zn_crypto_params{};
    crypto_params.version = 1;
    crypto_params.open_context = 1;
    crypto_params.selection_mode = 1;
    char error[512] = "";
    std::lock_guard<std::mutex> lock(client.mutex);
    client.connection = zn_connect_ex(nullptr, nullptr, "test", nullptr, &crypto_params, 0, 0, 0,
                                      0, &setup, &Client::callback,
                                      reinterpret_cast<uintptr_t>(&client), 0, 0, 0, 0, error,
                                      sizeof error);
    EXPECT_NE(client.connection, nullptr) << error;
    session = server.accept();
    EXPECT_TRUE(session);
    return client.connection;
  }

  Client& make_client() { return *clients_.emplace_back(std::make_unique<Client>()); }

  std::shared_ptr<dtcp::testing::FakeCrypto> crypto;
  std::deque<std::unique_ptr<Client>> clients_;  // outlive the library's end
  sd::ServerDouble server;
  std::unique_ptr<sd::Session> session;
  zn_conn_params params{};
  zn_conn_setup setup{};
  zn_crypto_params crypto_params{};
};

Bytes int32_body(int32_t v) {
  Bytes b;
  sd::put32(b, static_cast<uint32_t>(v));
  return b;
}

TEST_F(Protocol, SessionFromNegotiationToDisconnect) {
  Client& client = make_client();
  zn_connection* c = open(client);
  sd::HandshakeScript script;
  script.permissions = 0x4000;
  std::optional<sd::HandshakeResult> hs = session->handshake(script);
  ASSERT_TRUE(hs);
  EXPECT_FALSE(hs->layout_check.has_check_word);
  EXPECT_EQ(hs->check_timeout, 0);
  ASSERT_TRUE(client.wait_for(ZN_EVENT_PERMISSIONS));
  EXPECT_EQ(client.permissions, 0x4000u);

  // Server to client: stored, announced, then handled on zn_recvmsg.
  session->send_ping();
  session->send_message(kValueMessage, int32_body(-7));
  std::optional<sd::Message> pong = session->read_message();
  ASSERT_TRUE(pong);
  EXPECT_EQ(pong->id, sd::kPong);
  EXPECT_TRUE(pong->has_check_word);
  ASSERT_TRUE(client.wait_for(ZN_EVENT_STORED));
  EXPECT_EQ(client.message_ids, (std::vector<uint32_t>{kValueMessage}));  // the ping is not passed on
  char error[512] = "";
  ASSERT_EQ(zn_recvmsg(c, error, sizeof error), 1) << error;
  EXPECT_EQ(g_handled, (std::vector<int32_t>{-7}));
  EXPECT_EQ(zn_recvmsg(c, error, sizeof error), 1);  // empty queue: nothing to handle
  EXPECT_EQ(g_handled.size(), 1u);

  // Client to server, counted.
  int32_t value = 0x01020304;
  ASSERT_EQ(zn_sendmsg(c, kValueMessage, &value, error, sizeof error), 1) << error;
  std::optional<sd::Message> m = session->read_message();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->id, kValueMessage);
  EXPECT_EQ(m->body, (Bytes{1, 2, 3, 4}));
  EXPECT_TRUE(m->has_check_word);
  zn_statistics* stats = zn_getstataddr(c, error, sizeof error);
  ASSERT_NE(stats, nullptr);
  // The transport's threads add to the counters while they are read.
  auto load = [](uint32_t& counter) { return std::atomic_ref<uint32_t>(counter).load(); };
  EXPECT_EQ(load(stats->messages_sent), 1u);
  EXPECT_EQ(load(stats->message_bytes_sent), 8u);
  EXPECT_EQ(load(stats->messages_received), 1u);
  EXPECT_EQ(load(stats->message_bytes_received), 6u);  // the block less 2
  EXPECT_GT(load(stats->bytes_written), 0u);
  EXPECT_GT(load(stats->bytes_read), 0u);

  // Logout, then disconnect.
  ASSERT_EQ(zn_sendmsg(c, ZN_MSG_LOGOUT, nullptr, error, sizeof error), 1);
  ASSERT_EQ(zn_disconnect(c, 0, error, sizeof error), 1);
  std::optional<sd::Message> logout = session->read_message();
  ASSERT_TRUE(logout);
  EXPECT_EQ(logout->id, sd::kLogout);
  EXPECT_TRUE(session->wait_closed());
  ASSERT_TRUE(client.wait_for(ZN_EVENT_FREEING));
  EXPECT_EQ(client.count(ZN_EVENT_CLOSED), 1);
  EXPECT_EQ(client.count(ZN_EVENT_NEGOTIATED), 1);
  zn_tcp_fin();  // every event has returned
  EXPECT_EQ(zn_sendmsg(c, kValueMessage, &value, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong connection handle info was set.");
}

TEST_F(Protocol, TheLayoutCheckCarriesTheHighestVersionAndItsCheckWord) {
  Client& client = make_client();
  open(client);
  sd::HandshakeScript script;
  script.permissions.reset();
  std::optional<sd::HandshakeResult> hs = session->handshake(script);
  ASSERT_TRUE(hs);
  // By hand: each layout's check starts at 0 and mixes (rotate left by 2
  // within 16 bits, then XOR) 0x0B, its codes, 0x0D. {INT32}: 0x0B, then
  // 0x2C^4 = 0x28, then 0xA0^0x0D = 0xAD. {}: 0x0B, then 0x2C^0x0D = 0x21.
  // Version 3 XORs every layout of version 3 or lower: three {INT32} (0xAD)
  // and three {} (0x21) give 0xAD ^ 0x21 = 0x8C.
  EXPECT_EQ(hs->layout_check.body,
            (Bytes{0x00, 0x03, 0x00, 0x03, 0x00, 0x02, 0x00, 0x8C, 0, 0, 0, 0, 0, 0, 0, 3}));
}

TEST_F(Protocol, AMessageWithoutHandlerIsRefusedAndTheNextIsStillHandled) {
  Client& client = make_client();
  zn_connection* c = open(client);
  ASSERT_TRUE(session->handshake());
  session->send_message(kUnhandledMessage, int32_body(1));
  session->send_message(kValueMessage, int32_body(2));
  ASSERT_TRUE(client.wait_for(ZN_EVENT_STORED));
  while (client.count(ZN_EVENT_STORED) < 2) client.wait_for(-1, 50);
  char error[512] = "";
  EXPECT_EQ(zn_recvmsg(c, error, sizeof error), 0);
  EXPECT_STREQ(error,
               "Unknown message 514. May be program version expired. Contact technical support.");
  EXPECT_EQ(zn_recvmsg(c, error, sizeof error), 1);
  EXPECT_EQ(g_handled, (std::vector<int32_t>{2}));
}

TEST_F(Protocol, NegotiationAndDispatchFailuresCloseWithTheirTexts) {
  struct Case {
    const char* what;
    int32_t answer_to_negotiated;
    std::function<void(dtcp::testing::FakeCrypto&)> prepare;
    std::function<void(sd::Session&)> script;
    std::string text;
  };
  auto to_permissions = [](sd::Session& s) {
    sd::HandshakeScript script;
    script.permissions.reset();
    s.handshake(script);
  };
  const std::vector<Case> cases = {
      {"a ping before the permissions", 0, nullptr,
       [&](sd::Session& s) {
         to_permissions(s);
         s.send_ping();
       },
       "Application error: Wait for SN_PERMS message, but receive network message with id 61441"},
      {"the server refuses the user", 0, nullptr,
       [&](sd::Session& s) {
         to_permissions(s);
         s.send_message(sd::kAccessRefused, {});
       },
       "Application error: Connection not established because the user description contain "
       "option <Access server>."},
      {"a block without the check word", 0, nullptr,
       [&](sd::Session& s) {
         to_permissions(s);
         s.send_message(SN_PERMS, int32_body(1), false);
       },
       "Application error: Security check asserted"},
      {"the key exchange fails", 0,
       [](dtcp::testing::FakeCrypto& f) { f.steps = {{dtcp::kHandshakeError, {}}}; },
       [&](sd::Session& s) {
         sd::HandshakeScript script;
         script.expect_layout_check = false;
         script.permissions.reset();
         s.handshake(script);
       },
       "Crypto error: Connection not established. Possibly you try to connect with unregistered "
       "cipher keys. Error message: \"provider refused the key exchange\""},
      {"the caller refuses the negotiated link", -1, nullptr,
       [&](sd::Session& s) {
         sd::HandshakeScript script;
         script.expect_layout_check = false;
         script.permissions.reset();
         s.handshake(script);
         // No layout check follows: the next thing is the close.
         EXPECT_EQ(s.read_block(2000).kind, sd::Session::Kind::closed);
       },
       "Application error: When notify about receiving new data from net, TCP callback return "
       "negative value."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    crypto->steps.clear();
    if (k.prepare) k.prepare(*crypto);
    Client& client = make_client();
    client.answer_to_negotiated = k.answer_to_negotiated;
    open(client);
    k.script(*session);
    ASSERT_TRUE(client.wait_for(ZN_EVENT_FREEING));
    EXPECT_EQ(client.error_at_close, k.text);
    EXPECT_EQ(client.count(ZN_EVENT_CLOSED), 1);
  }
}

// The transport connection under a protocol connection (there is one).
std::shared_ptr<dtcp::Connection> only_link() {
  dtcp::Library& lib = dtcp::library();
  std::shared_lock<std::shared_mutex> lock(lib.mutex);
  return lib.connections.size() == 1 ? lib.connections.begin()->second : nullptr;
}

TEST_F(Protocol, EachFailureOfTheLinkIsReportedWithItsOwnCause) {
  // While the link closes, the caller still sends and receives (as it does in
  // the middle of the class descriptions): those refusals say so to the
  // caller, but the text of the failure names the attack's own cause.
  struct Case {
    const char* what;
    bool permitted;                // the attack comes after the permissions
    uint16_t check_timeout;        // in "seconds" of 30 ms
    bool earlier_call_failure;     // a call failed before the attack
    std::function<void(sd::Session&)> attack;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"an unknown message id", true, 0, false,
       [](sd::Session& s) { s.send_message(0x7777, {}); },
       "Application error: Can't decode network message with id 30583"},
      {"an unknown message id before the permissions", false, 0, false,
       [](sd::Session& s) { s.send_message(0x7777, {}); },
       "Application error: Can't decode network message with id 30583"},
      {"a block without its check word", true, 0, false,
       [](sd::Session& s) { s.send_message(kValueMessage, int32_body(1), false); },
       "Application error: Security check asserted"},
      {"a server text longer than any accepted", true, 0, false,
       [](sd::Session& s) { s.send_server_frame(1, 3, 5, 100000, {}); },
       "Application error: Read error message: Wait for error message size but received wrong "
       "value - 100000"},
      {"a wrong answer id after the frame marker", true, 0, false,
       [](sd::Session& s) { s.send_server_frame(1, 9, 0, 0, {}); },
       "Application error: Read request answer: Wait for request answer identifier but wrong "
       "value received - 9"},
      {"a close in the middle of a block: no cause to name", true, 0, false,
       [](sd::Session& s) {
         const Bytes half = {0x00, 0x10, 0xF0, 0x01};
         s.write(half);
         s.drop();
       },
       ""},
      {"silence after an earlier call failed", true, 3, true, [](sd::Session&) {},
       "Timeout has expired. Connection with server was lost."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    dtcp::set_second_ms(30);
    Client& client = make_client();
    zn_connection* c = open(client, k.check_timeout);
    sd::HandshakeScript script;
    if (!k.permitted) script.permissions.reset();
    ASSERT_TRUE(session->handshake(script));
    if (k.permitted) {
      ASSERT_TRUE(client.wait_for(ZN_EVENT_PERMISSIONS));
    }
    char error[512] = "";
    if (k.earlier_call_failure) {
      session->send_message(kUnhandledMessage, int32_body(1));
      ASSERT_TRUE(client.wait_for(ZN_EVENT_STORED));
      ASSERT_EQ(zn_recvmsg(c, error, sizeof error), 0);
    }
    std::string sent_text;
    std::string received_text;
    client.before_close_text = [&] {
      int32_t value = 1;
      char text[512] = "";
      EXPECT_EQ(zn_sendmsg(c, kValueMessage, &value, text, sizeof text), 0);
      sent_text = text;
      EXPECT_EQ(zn_recvmsg(c, text, sizeof text), 0);
      received_text = text;
    };
    k.attack(*session);
    ASSERT_TRUE(client.wait_for(ZN_EVENT_FREEING));
    EXPECT_EQ(client.error_at_close, k.text);
    EXPECT_EQ(sent_text, ZN_TCP_TEXT_SHUTDOWN);  // the message was not sent, and says so
    EXPECT_EQ(received_text, ZN_TCP_TEXT_SHUTDOWN);
    dtcp::set_second_ms(1000);
  }
}

TEST_F(Protocol, WhileTheSendQueueIsFullPingAnswersAreDroppedAndOtherSendsFailWithAText) {
  Client& client = make_client();
  zn_connection* c = open(client);
  ASSERT_TRUE(session->handshake());
  ASSERT_TRUE(client.wait_for(ZN_EVENT_PERMISSIONS));
  std::shared_ptr<dtcp::Connection> link = only_link();
  ASSERT_TRUE(link);
  link->send_bound.store(64 * 1024);
  link->send_wait_ms.store(10);
  // The server reads nothing: once the socket's buffers are full, the queue
  // fills up to its bound.
  const Bytes filler(16000, 0x55);
  char error[512] = "";
  for (int i = 0; i < 100000; ++i) {
    if (zn_tcp_send(dtcp::handle_of(link.get()), filler.data(), filler.size(), error,
                    sizeof error) == 0) {
      break;
    }
  }
  ASSERT_STREQ(error, ZN_TCP_TEXT_SEND_QUEUE_FULL);
  // The socket's buffers may still grow and take some of the queue: from
  // here on the queue counts as full whatever it holds.
  link->send_bound.store(0);
  const uint32_t queued = link->queued_send_count();
  // Pings, then a message: once the message is stored every ping was handled.
  for (int i = 0; i < 3; ++i) session->send_ping();
  session->send_message(kValueMessage, int32_body(9));
  ASSERT_TRUE(client.wait_for(ZN_EVENT_STORED));
  EXPECT_LE(link->queued_send_count(), queued);  // no answer was queued
  EXPECT_EQ(client.count(ZN_EVENT_CLOSED), 0);   // nor did a dropped answer end the link
  int32_t value = 3;
  EXPECT_EQ(zn_sendmsg(c, kValueMessage, &value, error, sizeof error), 0);
  EXPECT_STREQ(error, ZN_TCP_TEXT_SEND_QUEUE_FULL);
  ASSERT_EQ(zn_recvmsg(c, error, sizeof error), 1) << error;
  EXPECT_EQ(g_handled, (std::vector<int32_t>{9}));

  // Closing the link: with the send wait at 0 the logout is refused at once
  // rather than waited for, and the disconnect follows at once.
  link->send_wait_ms.store(600000);
  ASSERT_EQ(zn_set_connection_param(c, ZN_TCP_PARAM_SEND_WAIT_MS, 0, 0, 0, error, sizeof error), 1)
      << error;
  const uint8_t no_fields[8] = {};
  EXPECT_EQ(zn_sendmsg(c, ZN_MSG_LOGOUT, no_fields, error, sizeof error), 0);
  EXPECT_STREQ(error, ZN_TCP_TEXT_SEND_QUEUE_FULL);
  ASSERT_EQ(zn_disconnect(c, 0, error, sizeof error), 1) << error;
  EXPECT_TRUE(client.wait_for(ZN_EVENT_FREEING));
}

TEST_F(Protocol, ArgumentAndStateRefusals) {
  char error[512] = "";
  EXPECT_EQ(zn_init("", g_registry, g_handlers, 0, 0, 0, 0, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Net library already was initialized");

  Client& client = make_client();
  zn_crypto_params version2{};
  version2.version = 2;
  uint32_t number = 0;
  EXPECT_EQ(zn_connect_ex(nullptr, nullptr, "x", &number, &version2, 0, 0, 0, 0, &setup,
                          &Client::callback, reinterpret_cast<uintptr_t>(&client), 0, 0, 0, 0,
                          error, sizeof error),
            nullptr);
  EXPECT_STREQ(error,
               "\xCD\xE5\xE2\xE5\xF0\xED\xEE \xF3\xEA\xE0\xE7\xE0\xED\xFB \xEF\xE0\xF0\xE0\xEC\xE5"
               "\xF2\xF0\xFB \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xE8 \xF1\xEE\xE5\xE4"
               "\xE8\xED\xE5\xED\xE8\xFF");
  EXPECT_EQ(number, 0u);

  zn_connection* c = open(client);
  ASSERT_TRUE(session->handshake());
  ASSERT_TRUE(client.wait_for(ZN_EVENT_PERMISSIONS));
  EXPECT_EQ(zn_set_connection_param(c, 7, 2, 0, 0, error, sizeof error), 0);
  uint32_t flag = 9;
  EXPECT_EQ(zn_get_connection_param(c, 7, &flag, 0, 0, error, sizeof error), 1);
  EXPECT_EQ(flag, 0u);
  EXPECT_EQ(zn_sendmsg(c, 0x7777, &flag, error, sizeof error), 0);
  EXPECT_NE(std::string(error), "");
  // A message with fields needs its record; one without fields does not.
  EXPECT_EQ(zn_sendmsg(c, kValueMessage, nullptr, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong input params was set.");
  EXPECT_EQ(zn_sendmsg(c, ZN_MSG_LOGOUT, nullptr, error, sizeof error), 1) << error;
  EXPECT_EQ(zn_get_last_error(nullptr, error, sizeof error), 0);
  EXPECT_STREQ(error, "KeldaGetLastError: wrong connection info was set.");
}

TEST_F(Protocol, AMessageSentWhileTheLinkClosesIsReportedAsFailedWithAText) {
  Client& client = make_client();
  zn_connection* c = open(client);
  ASSERT_TRUE(session->handshake());
  ASSERT_TRUE(client.wait_for(ZN_EVENT_PERMISSIONS));
  // The link counts as up until the closing event returns; a transaction sent
  // meanwhile must not be taken for sent.
  int32_t sent = -1;
  std::string text;
  client.on_closed = [&] {
    int32_t value = 5;
    char error[512] = "";
    sent = zn_sendmsg(c, kValueMessage, &value, error, sizeof error);
    text = error;
  };
  char error[512] = "";
  ASSERT_EQ(zn_disconnect(c, 0, error, sizeof error), 1);
  ASSERT_TRUE(client.wait_for(ZN_EVENT_FREEING));
  EXPECT_EQ(sent, 0);
  EXPECT_NE(text, "");
}

TEST_F(Protocol, TheParameterCallbackMayCallTheLibrary) {
  // Mode 5: the caller's callback gives the parameters and asks the library
  // something on the way.
  struct Given {
    zn_conn_params params;
    int32_t initialized = -1;
  } given{{1, 0, sd::ServerDouble::address(), server.port(), nullptr}};
  setup = zn_conn_setup{};
  setup.mode = ZN_SETUP_CALLBACK;
  setup.user_data = reinterpret_cast<uintptr_t>(&given);
  setup.callback = [](uintptr_t user, zn_conn_params** out) -> int32_t {
    auto* g = reinterpret_cast<Given*>(user);
    g->initialized = zn_is_initialized();
    *out = &g->params;
    return 1;
  };
  crypto_params = zn_crypto_params{};
  crypto_params.version = 1;
  crypto_params.selection_mode = 1;
  Client& client = make_client();
  char error[512] = "";
  {
    std::lock_guard<std::mutex> lock(client.mutex);
    client.connection = zn_connect_ex(nullptr, nullptr, "cb", nullptr, &crypto_params, 0, 0, 0, 0,
                                      &setup, &Client::callback,
                                      reinterpret_cast<uintptr_t>(&client), 0, 0, 0, 0, error,
                                      sizeof error);
  }
  ASSERT_NE(client.connection, nullptr) << error;
  EXPECT_EQ(given.initialized, 1);
  session = server.accept();
  ASSERT_TRUE(session);
  ASSERT_TRUE(session->handshake());
  EXPECT_TRUE(client.wait_for(ZN_EVENT_PERMISSIONS));
}

TEST_F(Protocol, TheLibraryEndLeavesNoCounterOfAFreedContextToALiveLink) {
  Client& client = make_client();
  zn_connection* c = open(client);
  ASSERT_TRUE(session->handshake());
  ASSERT_TRUE(client.wait_for(ZN_EVENT_PERMISSIONS));
  char error[512] = "";
  zn_tcp_connection* link = nullptr;
  {
    dtcp::Library& lib = dtcp::library();
    std::shared_lock<std::shared_mutex> lock(lib.mutex);
    ASSERT_EQ(lib.connections.size(), 1u);
    link = dtcp::handle_of(lib.connections.begin()->second.get());
  }
  // The contexts go; the transport's link stays up and keeps counting bytes.
  zn_fin();
  session->send_keep_alive();
  const uint8_t block[4] = {0xF0, 0x02, 0x61, 0x29};
  EXPECT_EQ(zn_tcp_send(link, block, sizeof block, error, sizeof error), 1) << error;
  EXPECT_TRUE(session->read_data_block());
  EXPECT_EQ(zn_sendmsg(c, kValueMessage, block, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong connection handle info was set.");
}

TEST_F(Protocol, AfterTheLibraryEndAMessageReachesNoFreedContextAndTheLinkCloses) {
  Client& client = make_client();
  zn_connection* c = open(client);
  ASSERT_TRUE(session->handshake());
  ASSERT_TRUE(client.wait_for(ZN_EVENT_PERMISSIONS));
  // A first message while the context lives: the receive thread has found it.
  session->send_message(kValueMessage, int32_body(1));
  ASSERT_TRUE(client.wait_for(ZN_EVENT_STORED));
  char error[512] = "";
  ASSERT_EQ(zn_recvmsg(c, error, sizeof error), 1) << error;
  zn_fin();
  session->send_message(kValueMessage, int32_body(2));
  EXPECT_TRUE(session->wait_closed());
  std::lock_guard<std::mutex> lock(client.mutex);
  EXPECT_EQ(client.message_ids, (std::vector<uint32_t>{kValueMessage}));
}

}  // namespace
}  // namespace kelda::de::testing
