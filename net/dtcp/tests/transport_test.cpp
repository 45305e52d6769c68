// The transport over real loopback sockets against the server double: the
// negotiation, data both ways, keep-alives and loss of link, the key-exchange
// flag protocol, server frames, closing, and handles in use while closing.
#include <algorithm>
#include <atomic>
#include <thread>

#include "harness.h"

namespace sd = kelda::server_double;

namespace kelda::dtcp::testing {
namespace {

using Bytes = std::vector<uint8_t>;

class DataPath : public TransportTest {
 protected:
  // Connects to a fresh server double and completes the negotiation.
  void link(uint32_t check_timeout = 0, uint32_t width = 2) { link_with(upper, check_timeout, width); }
  void link_with(Upper& u, uint32_t check_timeout, uint32_t width) {
    session.reset();
    server = std::make_unique<sd::ServerDouble>(0, width == 0 ? 2 : width);
    connection = connect(u, server->port(), check_timeout, width);
    ASSERT_NE(connection, nullptr);
    session = server->accept();
    ASSERT_TRUE(session);
    sd::HandshakeScript script;
    script.permissions.reset();
    handshake = session->handshake(script);
    ASSERT_TRUE(handshake);
    // The connection thread announces the end of the negotiation after the
    // receive thread has started: wait for it, so that what the tests count
    // from here on is what the link carried.
    ASSERT_TRUE(u.wait_for(ZN_TCP_EVENT_NEGOTIATE));
  }

  Upper& upper = make_upper();
  zn_tcp_connection* connection = nullptr;
  std::unique_ptr<sd::ServerDouble> server;
  std::unique_ptr<sd::Session> session;
  std::optional<sd::HandshakeResult> handshake;
};

TEST_F(DataPath, NegotiatesAndCarriesBlocksBothWaysWithEitherPrefixWidth) {
  for (uint32_t width : {0u, 2u, 4u}) {
    SCOPED_TRACE(width);
    Upper& upper = make_upper();
    link_with(upper, 0, width);
    EXPECT_EQ(handshake->provider_id, 4u);
    EXPECT_EQ(handshake->locale, (std::array<uint32_t, 3>{9, 1, 1}));
    EXPECT_EQ(handshake->check_timeout, 3);
    EXPECT_EQ(handshake->layout_check.body.size(), 16u);

    session->send_block(Bytes{1, 2, 3});
    ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_STORED));
    void* block = nullptr;
    uint32_t size = 0;
    char error[256] = "";
    ASSERT_EQ(zn_tcp_recv(connection, &block, &size, error, sizeof error), 1);
    ASSERT_EQ(size, 3u);
    EXPECT_EQ(Bytes(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + 3),
              (Bytes{1, 2, 3}));
    zn_tcp_free_mem(block);
    // An empty queue gives success and no block.
    ASSERT_EQ(zn_tcp_recv(connection, &block, &size, error, sizeof error), 1);
    EXPECT_EQ(block, nullptr);

    // Many blocks, one large, arrive whole and in order.
    for (int i = 0; i < 50; ++i) {
      Bytes b(i == 25 ? 20000 : 100, static_cast<uint8_t>(i));
      ASSERT_EQ(zn_tcp_send(connection, b.data(), static_cast<uint32_t>(b.size()), error,
                            sizeof error), 1) << error;
    }
    for (int i = 0; i < 50; ++i) {
      std::optional<Bytes> b = session->read_data_block();
      ASSERT_TRUE(b);
      EXPECT_EQ(b->size(), i == 25 ? 20000u : 100u);
      EXPECT_EQ(b->front(), i);
    }
    EXPECT_EQ(upper.event_codes().front(), ZN_TCP_EVENT_CONNECTED);
    zn_tcp_disconnect(connection, 1, error, sizeof error);
    EXPECT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
  }
}

TEST_F(DataPath, ABlockLongerThanItsLengthPrefixCanTellIsRefused) {
  link(0, 2);  // 2-byte prefixes: at most 65534 bytes, 0xFFFF announces a frame
  char error[256] = "";
  for (uint32_t size : {65535u, 70000u}) {
    const Bytes big(size, 1);
    EXPECT_EQ(zn_tcp_send(connection, big.data(), size, error, sizeof error), 0) << size;
    EXPECT_STRNE(error, "");
  }
  const Bytes largest(65534, 2);
  ASSERT_EQ(zn_tcp_send(connection, largest.data(), 65534, error, sizeof error), 1) << error;
  EXPECT_EQ(session->read_data_block(), largest);
}

TEST_F(DataPath, KeepAlivesGoOutAfterEachThirdAndSilenceLosesTheLink) {
  set_second_ms(100);
  link(3);  // 300 ms: keep-alives after 100, 200, 300 ms; lost at 400 ms
  ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
  EXPECT_EQ(upper.closing_error(), "Timeout has expired. Connection with server was lost.");
  while (session->read_block(500).kind == sd::Session::Kind::keep_alive) {
  }
  EXPECT_EQ(session->keep_alives(), 3);
}

TEST_F(DataPath, DataKeepsTheLinkAlive) {
  set_second_ms(100);
  link(3);  // lost after 400 ms of silence
  for (int i = 0; i < 10; ++i) {
    session->send_keep_alive();
    session->read_block(50);  // paces the loop: 500 ms in all, never 400 ms silent
  }
  EXPECT_FALSE(upper.wait_for(ZN_TCP_EVENT_CLOSED, 0));
}

TEST_F(DataPath, AnUpperLayerThatConsumesTheBlockPreventsStoring) {
  upper.answers[ZN_TCP_EVENT_DATA] = [](int32_t& result, const void*, uint32_t) {
    result = ZN_DROP_BLOCK;
    return 0;
  };
  link();
  session->send_block(Bytes{9});
  session->send_info_frame(7, "note");  // a later marker to wait for
  ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_SERVER_INFO));
  EXPECT_FALSE(upper.wait_for(ZN_TCP_EVENT_STORED, 0));
  void* block = nullptr;
  uint32_t size = 0;
  char error[64];
  EXPECT_EQ(zn_tcp_recv(connection, &block, &size, error, sizeof error), 1);
  EXPECT_EQ(block, nullptr);
}

TEST_F(DataPath, ServerFramesRaiseEventsAndAnErrorBecomesTheLastError) {
  link();
  session->send_info_frame(6, "maintenance at noon");
  session->send_error_frame(5, "account blocked");
  ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_SERVER_ERROR));
  std::vector<Event> events = upper.events();
  const Event* info = nullptr;
  const Event* err = nullptr;
  for (const Event& e : events) {
    if (e.event == ZN_TCP_EVENT_SERVER_INFO) info = &e;
    if (e.event == ZN_TCP_EVENT_SERVER_ERROR) err = &e;
  }
  ASSERT_TRUE(info && err);
  EXPECT_EQ(info->code, 6);
  EXPECT_STREQ(reinterpret_cast<const char*>(info->block.data()), "maintenance at noon");
  EXPECT_EQ(err->code, 5);
  // An empty text raises nothing and the frame is still read whole.
  session->send_server_frame(1, 4, 1, 0, {});
  session->send_block(Bytes{1});
  ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_STORED));
  EXPECT_EQ(upper.event_codes().size(), events.size() + 2);  // data and stored only
  EXPECT_EQ(last_error(connection), "account blocked");
}

// Stored blocks are announced once a burst read ahead is handled: each of
// them once and in order, and before what came after them on the link (a
// server frame, the peer's close).
TEST_F(DataPath, EveryStoredBlockIsAnnouncedOnceBeforeWhatFollowsIt) {
  link();
  constexpr int kBlocks = 90;  // under the receive-queue threshold: no flow control
  for (int i = 0; i < kBlocks; ++i) session->send_block(Bytes(1 + i % 7, static_cast<uint8_t>(i)));
  session->send_info_frame(6, "after the blocks");
  session->drop();
  ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_CLOSED));
  const std::vector<int32_t> codes = upper.event_codes();
  const auto info = std::find(codes.begin(), codes.end(), ZN_TCP_EVENT_SERVER_INFO);
  const auto closed = std::find(codes.begin(), codes.end(), ZN_TCP_EVENT_CLOSED);
  ASSERT_NE(info, codes.end());
  EXPECT_LT(info, closed);
  EXPECT_EQ(std::count(codes.begin(), info, ZN_TCP_EVENT_STORED), kBlocks);
  EXPECT_EQ(std::count(info, codes.end(), ZN_TCP_EVENT_STORED), 0);
  std::vector<uint32_t> sizes;
  for (const Event& e : upper.events()) {
    if (e.event == ZN_TCP_EVENT_STORED) sizes.push_back(e.size);
  }
  ASSERT_EQ(sizes.size(), static_cast<std::size_t>(kBlocks));
  for (int i = 0; i < kBlocks; ++i) EXPECT_EQ(sizes[static_cast<std::size_t>(i)], 1u + i % 7) << i;
}

TEST_F(DataPath, TheProtectFlagsSwitchRightAfterTheLayoutCheckIsEncrypted) {
  link();
  std::lock_guard<std::mutex> lock(crypto->mutex_);
  EXPECT_EQ(crypto->encrypted_before_switch, 1);
  ASSERT_EQ(crypto->context_params.size(), 1u);
  EXPECT_EQ(crypto->context_params[0],
            (std::pair<uint32_t, uintptr_t>{ZN_CP_CONTEXT_PARAM_PROTECT_FLAGS, 0x804}));
}

TEST_F(DataPath, GracefulDisconnectSendsWhatIsQueuedThenClosesOnce) {
  link();
  session->serve();
  char error[256] = "";
  const uint8_t logout[] = {0x00, 0x4E, 0x61, 0x29};
  ASSERT_EQ(zn_tcp_send(connection, logout, sizeof logout, error, sizeof error), 1);
  ASSERT_EQ(zn_tcp_disconnect(connection, 0, error, sizeof error), 1);
  EXPECT_EQ(zn_tcp_disconnect(connection, 0, error, sizeof error), 1);  // changes nothing
  // A send while the link closes is refused with a text.
  EXPECT_EQ(zn_tcp_send(connection, logout, sizeof logout, error, sizeof error), 0);
  EXPECT_STRNE(error, "");
  ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
  EXPECT_TRUE(session->wait_for(sd::kLogout));
  std::vector<int32_t> codes = upper.event_codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), ZN_TCP_EVENT_CLOSED), 1);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), ZN_TCP_EVENT_FREEING), 1);
  EXPECT_EQ(upper.closing_error(), "");
  // The handle is gone once the freeing event has returned.
  zn_tcp_fin();
  EXPECT_EQ(zn_tcp_send(connection, logout, sizeof logout, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong tcp connection handle info was set.");
}

TEST_F(DataPath, CallsInProgressKeepTheConnectionAliveWhileItIsFreed) {
  link();
  session->serve();
  std::atomic<bool> go{true};
  std::vector<std::thread> users;
  for (int i = 0; i < 3; ++i) {
    users.emplace_back([&] {
      const uint8_t b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
      char error[256];
      void* block = nullptr;
      uint32_t size = 0;
      while (go.load()) {
        zn_tcp_send(connection, b, sizeof b, error, sizeof error);
        if (zn_tcp_recv(connection, &block, &size, error, sizeof error) && block) {
          zn_tcp_free_mem(block);
        }
        uint32_t count = 0;
        zn_tcp_get_buffered_send_msg_count(connection, &count, error, sizeof error);
      }
    });
  }
  for (int i = 0; i < 20; ++i) session->send_block(Bytes{static_cast<uint8_t>(i)});
  session->drop();  // the peer goes away while the users keep calling
  ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
  go.store(false);
  for (std::thread& t : users) t.join();
}

TEST_F(DataPath, ASecondKeyExchangeIsRefusedAndTheLinkGoesOn) {
  link();
  char error[256] = "";
  EXPECT_EQ(zn_tcp_handshake(connection, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STRNE(error, "");
  session->send_block(Bytes{7});
  ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_STORED));
  const uint8_t b[1] = {8};
  ASSERT_EQ(zn_tcp_send(connection, b, 1, error, sizeof error), 1) << error;
  EXPECT_EQ(session->read_data_block(), (Bytes{8}));
}

TEST_F(DataPath, ASynchronousDisconnectFromTheReceiveThreadDoesNotWaitForItself) {
  upper.answers[ZN_TCP_EVENT_DATA] = [this](int32_t&, const void*, uint32_t) {
    char error[64];
    zn_tcp_disconnect(upper.connection, 1, error, sizeof error);
    return 0;
  };
  link();
  session->send_block(Bytes{1});
  EXPECT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
}

TEST_F(TransportTest, KeyExchangeWritesAndReadsBlocksByTheProviderFlags) {
  crypto->steps = {{kHandshakeOutput | kHandshakeNeedInput, {'a', 'b', 'c'}},
                   {kHandshakeOutput | kHandshakeDone, {'d'}}};
  sd::ServerDouble server;
  Upper& upper = make_upper();
  zn_tcp_connection* c = connect(upper, server.port());
  ASSERT_NE(c, nullptr);
  auto session = server.accept();
  ASSERT_TRUE(session);
  sd::HandshakeScript script;
  script.key_exchange = [](sd::Session& s) {
    std::optional<Bytes> first = s.read_data_block();
    if (!first || *first != Bytes{'a', 'b', 'c'}) return false;
    s.send_info_frame(1, "keys are being checked");  // lets the exchange go on
    s.send_block(Bytes{'x', 'y', 'z'});
    std::optional<Bytes> last = s.read_data_block();
    return last && *last == Bytes{'d'};
  };
  ASSERT_TRUE(session->handshake(script));
  std::lock_guard<std::mutex> lock(crypto->mutex_);
  ASSERT_EQ(crypto->handshake_inputs.size(), 1u);
  EXPECT_EQ(crypto->handshake_inputs[0], (Bytes{'x', 'y', 'z'}));
}

TEST_F(TransportTest, AServerMessageDuringTheKeyExchangeMayCloseTheLinkAtOnce) {
  // The upper layer answers a server message of the key exchange with a
  // synchronous disconnect on the connection thread, which stops the reads.
  crypto->steps = {{kHandshakeNeedInput, {}}};
  sd::ServerDouble server;
  Upper& upper = make_upper();
  upper.answers[ZN_TCP_EVENT_SERVER_INFO] = [&upper](int32_t&, const void*, uint32_t) {
    char error[256] = "";
    EXPECT_EQ(zn_tcp_disconnect(upper.connection, 1, error, sizeof error), 1) << error;
    return 0;
  };
  ASSERT_NE(connect(upper, server.port()), nullptr);
  auto session = server.accept();
  ASSERT_TRUE(session);
  sd::HandshakeScript script;
  script.key_exchange = [](sd::Session& s) {
    s.send_info_frame(1, "keys are being checked");
    return true;
  };
  session->handshake(script);
  ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
  const std::vector<int32_t> codes = upper.event_codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), ZN_TCP_EVENT_CLOSED), 1);
}

TEST_F(TransportTest, TheNegotiatedProviderMayBeAskedForWhileTheLinkIsMade) {
  sd::ServerDouble server;
  Upper& upper = make_upper();
  zn_tcp_connection* c = connect(upper, server.port());
  ASSERT_NE(c, nullptr);
  auto ask = [c] {
    int32_t id = 0;
    char name[64] = "";
    char error[256] = "";
    zn_tcp_get_connection_cipher_crypto_provider_info(c, &id, name, sizeof name, 0, 0, 0, 0, 0,
                                                      0, 0, 0, 0, 0, error, sizeof error);
    return id;
  };
  std::atomic<bool> go{true};
  std::thread asker([&] {
    while (go.load()) ask();
  });
  auto session = server.accept();
  ASSERT_TRUE(session);
  EXPECT_TRUE(session->handshake());
  EXPECT_TRUE(upper.wait_for(ZN_TCP_EVENT_NEGOTIATE));
  go.store(false);
  asker.join();
  EXPECT_EQ(ask(), 4);
}

TEST_F(TransportTest, HandshakeModeZeroSendsNoRequest) {
  sd::ServerDouble server;
  Upper& upper = make_upper();
  zn_tcp_connection* c = connect(upper, server.port(), 0, 2, 0);
  ASSERT_NE(c, nullptr);
  auto session = server.accept();
  ASSERT_TRUE(session);
  std::optional<uint16_t> timeout = session->read_check_timeout();
  ASSERT_TRUE(timeout);
  EXPECT_EQ(*timeout, 3);
}

}  // namespace
}  // namespace kelda::dtcp::testing
