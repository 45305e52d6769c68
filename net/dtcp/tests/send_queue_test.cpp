// The send queue against a peer that never reads: the queue fills only up to
// its bound, a send then waits for room or fails with its text, a waiting
// send goes out once the peer reads again, and the stop gives the memory back.
#include <thread>

#include "harness.h"

namespace sd = kelda::server_double;

namespace kelda::dtcp::testing {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr std::size_t kBound = 256 * 1024;
constexpr std::size_t kBlock = 16000;
// A send is taken while the queue is under the bound: it may pass it by one block.
constexpr std::size_t kMostQueued = kBound + kBlock + kSendBlockCost;

class SendQueue : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    server = std::make_unique<sd::ServerDouble>(0, 2);
    connection = connect(upper, server->port());
    ASSERT_NE(connection, nullptr);
    session = server->accept();
    ASSERT_TRUE(session);
    sd::HandshakeScript script;
    script.permissions.reset();
    ASSERT_TRUE(session->handshake(script));
    std::string text;
    c = find_connection(connection, text);
    ASSERT_TRUE(c) << text;
    c->send_bound.store(kBound);
    c->send_wait_ms.store(10);
  }
  void TearDown() override {
    if (reader.joinable()) {
      session->drop();
      reader.join();
    }
    c.reset();
    TransportTest::TearDown();
  }

  int send(const Bytes& block, std::string& text) {
    char error[256] = "";
    const int r = zn_tcp_send(connection, block.data(), static_cast<uint32_t>(block.size()), error,
                              sizeof error);
    text = error;
    return r;
  }

  // Sends until a send is refused (the socket's buffers take megabytes first);
  // the queue never holds more than its bound allows on the way.
  std::string fill() {
    const Bytes block(kBlock, 0x5A);
    std::string text;
    for (int i = 0; i < 100000; ++i) {
      if (send(block, text) == 0) break;
      EXPECT_LE(c->queued_send_cost(), kMostQueued);
    }
    return text;
  }

  // The peer reads everything from now on, on a thread of its own.
  void start_reading() {
    reader = std::thread([this] {
      while (session->read_block(30000).kind != sd::Session::Kind::closed) {
      }
    });
  }

  Upper& upper = make_upper();
  zn_tcp_connection* connection = nullptr;
  std::unique_ptr<sd::ServerDouble> server;
  std::unique_ptr<sd::Session> session;
  std::shared_ptr<Connection> c;
  std::thread reader;
};

TEST_F(SendQueue, APeerThatNeverReadsFillsTheQueueOnlyToItsBound) {
  EXPECT_EQ(fill(), ZN_TCP_TEXT_SEND_QUEUE_FULL);
  // (The socket's buffers may still grow and take some of the queue.)
  EXPECT_LE(c->queued_send_cost(), kMostQueued);
  // Refusing is not a failure of the link.
  EXPECT_EQ(last_error(connection), "");
  EXPECT_FALSE(upper.wait_for(ZN_TCP_EVENT_CLOSED, 0));

  // A send waiting for room goes out once the peer reads again.
  c->send_wait_ms.store(30000);
  start_reading();
  std::string text;
  EXPECT_EQ(send(Bytes(kBlock, 1), text), 1) << text;

  // The stop empties the queue and gives its memory back.
  char error[256] = "";
  ASSERT_EQ(zn_tcp_disconnect(connection, 1, error, sizeof error), 1) << error;
  EXPECT_EQ(c->queued_send_count(), 0u);
  EXPECT_EQ(c->queued_send_cost(), 0u);
}

TEST_F(SendQueue, ASendWaitingForRoomEndsWithTheLink) {
  ASSERT_EQ(fill(), ZN_TCP_TEXT_SEND_QUEUE_FULL);
  // No room at all from now on, however the socket's buffers grow: only the
  // stop ends the wait.
  c->send_bound.store(0);
  c->send_wait_ms.store(30000);
  std::string text;
  int sent = -1;
  std::thread sender([&] { sent = send(Bytes(kBlock, 2), text); });
  // The stop must find the send waiting, not come before it.
  while (c->sends_waiting_for_room() == 0) std::this_thread::yield();
  char error[256] = "";
  ASSERT_EQ(zn_tcp_disconnect(connection, 1, error, sizeof error), 1) << error;
  sender.join();
  EXPECT_EQ(sent, 0);
  EXPECT_EQ(text, ZN_TCP_TEXT_SHUTDOWN);
  EXPECT_EQ(c->queued_send_cost(), 0u);
}

// Closing the link sends its last message under the caller's locks: with the
// wait set to 0 that send, and one already waiting, end at once, and so does
// the disconnect after them.
TEST_F(SendQueue, WithTheSendWaitAtZeroNothingWaitsForAPeerThatNeverReads) {
  ASSERT_EQ(fill(), ZN_TCP_TEXT_SEND_QUEUE_FULL);
  c->send_bound.store(0);
  c->send_wait_ms.store(600000);
  std::string waited_text;
  int waited = -1;
  std::thread sender([&] { waited = send(Bytes(kBlock, 3), waited_text); });
  while (c->sends_waiting_for_room() == 0) std::this_thread::yield();

  char error[256] = "";
  ASSERT_EQ(zn_tcp_set_connection_param(connection, ZN_TCP_PARAM_SEND_WAIT_MS, 0, 0, 0, error,
                                        sizeof error),
            1)
      << error;
  sender.join();  // (without the wake-up, ten minutes)
  EXPECT_EQ(waited, 0);
  EXPECT_EQ(waited_text, ZN_TCP_TEXT_SEND_QUEUE_FULL);
  std::string text;
  EXPECT_EQ(send(Bytes(4, 4), text), 0);
  EXPECT_EQ(text, ZN_TCP_TEXT_SEND_QUEUE_FULL);
  EXPECT_EQ(c->sends_waiting_for_room(), 0u);

  ASSERT_EQ(zn_tcp_disconnect(connection, 1, error, sizeof error), 1) << error;
  EXPECT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
  EXPECT_EQ(c->queued_send_cost(), 0u);
}

}  // namespace
}  // namespace kelda::dtcp::testing
