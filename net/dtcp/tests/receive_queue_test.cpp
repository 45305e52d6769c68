// The receive queue against the server double: blocks of every size come out
// whole and in order while they are still arriving, and a caller that does not
// take them stops the reading of the socket instead of growing memory.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "harness.h"

namespace sd = kelda::server_double;

namespace kelda::dtcp::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// Block i: its index in the first two bytes, then filler.
Bytes numbered(int i, std::size_t size) {
  Bytes b(size, static_cast<uint8_t>(i * 7));
  b[0] = static_cast<uint8_t>(i >> 8);
  b[1] = static_cast<uint8_t>(i);
  return b;
}

class ReceiveQueue : public TransportTest {
 protected:
  void link(uint32_t check_timeout, uint32_t width) {
    server = std::make_unique<sd::ServerDouble>(0, width);
    connection = connect(upper, server->port(), check_timeout, width);
    ASSERT_NE(connection, nullptr);
    session = server->accept();
    ASSERT_TRUE(session);
    sd::HandshakeScript script;
    script.permissions.reset();
    ASSERT_TRUE(session->handshake(script));
    char error[256] = "";
    // Without the old flow control, only the byte bound holds the reader.
    ASSERT_EQ(zn_tcp_set_connection_param(connection, 8, 0, 0, 0, error, sizeof error), 1);
  }

  // Sends the blocks from a thread of its own, as the peer would while the
  // caller is not reading; joined (after a drop if need be) when the test ends.
  void send_from_peer(int count, std::function<std::size_t(int)> size_of) {
    writer = std::thread([this, count, size_of] {
      for (int i = 0; i < count; ++i) session->send_block(numbered(i, size_of(i)));
    });
  }
  void TearDown() override {
    if (writer.joinable()) {
      if (session) session->drop();
      writer.join();
    }
    TransportTest::TearDown();
  }

  // Takes blocks until `count` came or the time is up; checks order and size.
  void take_all(int count, std::function<std::size_t(int)> size_of, std::size_t bound_check = 0,
                const Connection* c = nullptr) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
    int next = 0;
    while (next < count && Clock::now() < deadline) {
      if (c != nullptr) {
        ASSERT_LE(c->queued_receive_bytes(), bound_check);
      }
      void* block = nullptr;
      uint32_t size = 0;
      char error[256] = "";
      ASSERT_EQ(zn_tcp_recv(connection, &block, &size, error, sizeof error), 1) << error;
      if (block == nullptr) {
        std::this_thread::yield();
        continue;
      }
      const auto* b = static_cast<const uint8_t*>(block);
      const int index = (b[0] << 8) | b[1];
      const Bytes expected = numbered(next, size_of(next));
      const bool same = size == expected.size() && std::equal(b, b + size, expected.begin());
      zn_tcp_free_mem(block);
      ASSERT_EQ(index, next);
      ASSERT_TRUE(same) << "block " << next << " of " << size << " bytes";
      ++next;
    }
    EXPECT_EQ(next, count);
  }

  Upper& upper = make_upper();
  zn_tcp_connection* connection = nullptr;
  std::unique_ptr<sd::ServerDouble> server;
  std::unique_ptr<sd::Session> session;
  std::thread writer;
};

TEST_F(ReceiveQueue, BlocksOfEverySizeComeOutWholeAndInOrderWhileStillArriving) {
  link(0, 4);  // 4-byte prefixes: blocks larger than a storage page too
  const std::size_t sizes[] = {2, 100, 9, 65000, 3, 70000, 1500, 2, 200000, 40};
  auto size_of = [&sizes](int i) { return sizes[i % std::size(sizes)]; };
  send_from_peer(120, size_of);
  take_all(120, size_of);
  writer.join();
}

TEST_F(ReceiveQueue, AnUntakenQueuePausesReadingWithoutLosingTheLinkAndResumesAsItIsTaken) {
  set_second_ms(100);
  link(3, 2);  // a check time-out of 300 ms: 400 ms of silence would lose the link
  std::string text;
  std::shared_ptr<Connection> c = find_connection(connection, text);
  ASSERT_TRUE(c) << text;
  uint32_t written = 0;
  uint32_t read = 0;
  c->link.set_counters(&written, &read);
  constexpr std::size_t kBound = 64 * 1024;
  constexpr std::size_t kSize = 1000;
  constexpr int kBlocks = 1000;  // about fifteen times the bound
  c->receive_bound.store(kBound);
  auto size_of = [](int) { return kSize; };
  send_from_peer(kBlocks, size_of);

  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
  while (!c->receive_paused() && Clock::now() < deadline) std::this_thread::yield();
  ASSERT_TRUE(c->receive_paused());
  // One block may land after the bound was last checked, never more.
  EXPECT_GT(c->queued_receive_bytes(), kBound);
  EXPECT_LE(c->queued_receive_bytes(), kBound + kSize);
  const uint32_t written_at_pause = std::atomic_ref<uint32_t>(written).load();

  // Longer than the silence that loses a link: the pause is the caller's, so
  // the link stays, and keep-alive blocks still go out meanwhile.
  EXPECT_FALSE(upper.wait_for(ZN_TCP_EVENT_CLOSED, 600));
  EXPECT_TRUE(c->receive_paused());
  EXPECT_LE(c->queued_receive_bytes(), kBound + kSize);
  EXPECT_GT(std::atomic_ref<uint32_t>(written).load(), written_at_pause);

  take_all(kBlocks, size_of, kBound + kSize, c.get());
  writer.join();
  EXPECT_FALSE(upper.wait_for(ZN_TCP_EVENT_CLOSED, 0));
  EXPECT_EQ(c->queued_receive_bytes(), 0u);
  c->link.set_counters(nullptr, nullptr);
}

TEST_F(ReceiveQueue, ADisconnectEndsAPausedReaderAtOnce) {
  link(0, 2);
  std::string text;
  std::shared_ptr<Connection> c = find_connection(connection, text);
  ASSERT_TRUE(c) << text;
  c->receive_bound.store(16 * 1024);
  send_from_peer(200, [](int) { return std::size_t{1000}; });
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
  while (!c->receive_paused() && Clock::now() < deadline) std::this_thread::yield();
  ASSERT_TRUE(c->receive_paused());
  c.reset();
  char error[256] = "";
  ASSERT_EQ(zn_tcp_disconnect(connection, 1, error, sizeof error), 1) << error;
  EXPECT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING, 0));
  session->drop();
  writer.join();
}

}  // namespace
}  // namespace kelda::dtcp::testing
