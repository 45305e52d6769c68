// The receive queue on its own: blocks of every size come out whole and in
// order across pages, the counts the flow control reads, the wait for
// takers, the stop and the clear, and one storer against a taker thread.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "receive_queue.h"

namespace kelda::dtcp::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// Block i of `size` bytes: its index in the first bytes, then filler.
Bytes numbered(uint32_t i, std::size_t size) {
  Bytes b(size, static_cast<uint8_t>(i * 13 + 1));
  for (std::size_t k = 0; k < std::min<std::size_t>(size, 4); ++k) {
    b[k] = static_cast<uint8_t>(i >> (8 * k));
  }
  return b;
}

Bytes bytes_of(const Block& b) { return Bytes(b.data.get(), b.data.get() + b.size); }

TEST(ReceiveQueueUnit, BlocksOfEverySizeComeOutWholeAndInOrder) {
  // Empty blocks, blocks that fill a 64 KB page exactly or just miss it, and
  // blocks larger than a page, stored in rounds and taken in between so that
  // emptied pages are filled again.
  const std::size_t sizes[] = {0, 1, 5, 65532, 65531, 3, 70000, 200, 65536, 0, 1000};
  ReceiveQueue q;
  uint32_t stored = 0;
  uint32_t taken = 0;
  for (int round = 0; round < 6; ++round) {
    std::size_t bytes = 0;
    for (std::size_t size : sizes) {
      ASSERT_TRUE(q.store(numbered(stored++, size)));
      bytes += size;
    }
    EXPECT_EQ(q.blocks(), std::size(sizes));
    EXPECT_EQ(q.bytes(), bytes);
    for (std::size_t size : sizes) {
      Block b;
      ASSERT_EQ(q.take(b), ReceiveQueue::Taken::block);
      ASSERT_NE(b.data, nullptr);  // an empty block is handed out too
      ASSERT_EQ(bytes_of(b), numbered(taken++, size)) << "block " << taken - 1;
    }
    Block none;
    EXPECT_EQ(q.take(none), ReceiveQueue::Taken::empty);
    EXPECT_EQ(none.data, nullptr);
    EXPECT_EQ(q.blocks(), 0u);
    EXPECT_EQ(q.bytes(), 0u);
  }
}

TEST(ReceiveQueueUnit, TheLimitsCountWhatIsStoredAndNotTaken) {
  ReceiveQueue q;
  for (uint32_t i = 0; i < 3; ++i) ASSERT_TRUE(q.store(numbered(i, 100)));
  EXPECT_TRUE(q.blocks_over(2));
  EXPECT_FALSE(q.blocks_over(3));
  EXPECT_TRUE(q.bytes_over(299));
  EXPECT_FALSE(q.bytes_over(300));
  Block b;
  ASSERT_EQ(q.take(b), ReceiveQueue::Taken::block);
  EXPECT_FALSE(q.blocks_over(2));
  EXPECT_FALSE(q.bytes_over(200));
  EXPECT_TRUE(q.bytes_over(199));
}

TEST(ReceiveQueueUnit, TheWaitForTakersEndsWhenReachedStoppedOrTimedOut) {
  ReceiveQueue q;
  EXPECT_TRUE(q.wait_for_takers(0, 0ms));  // nothing stored
  for (uint32_t i = 0; i < 4; ++i) ASSERT_TRUE(q.store(numbered(i, 100)));
  EXPECT_TRUE(q.wait_for_takers(400, 0ms));    // no more than 400 bytes
  EXPECT_FALSE(q.wait_for_takers(300, 10ms));  // nobody takes
  EXPECT_FALSE(q.wait_for_takers(0, 10ms));

  // A taker wakes the wait once it has taken enough.
  std::thread taker([&q] {
    for (int i = 0; i < 4; ++i) {
      Block b;
      while (q.take(b) != ReceiveQueue::Taken::block) std::this_thread::yield();
    }
  });
  EXPECT_TRUE(q.wait_for_takers(0, 30s));
  taker.join();
  EXPECT_EQ(q.blocks(), 0u);

  // The stop ends a wait at once and refuses stores and takes from then on.
  ASSERT_TRUE(q.store(numbered(9, 10)));
  std::thread stopper([&q] { q.stop(); });
  EXPECT_TRUE(q.wait_for_takers(0, 30s));
  stopper.join();
  EXPECT_FALSE(q.store(numbered(10, 10)));
  Block b;
  EXPECT_EQ(q.take(b), ReceiveQueue::Taken::stopped);
  q.clear();
  EXPECT_EQ(q.blocks(), 0u);
  EXPECT_EQ(q.bytes(), 0u);
}

TEST(ReceiveQueueUnit, AStorerAndATakerOnTwoThreadsLoseAndReorderNothing) {
  ReceiveQueue q;
  constexpr uint32_t kBlocks = 20000;
  auto size_of = [](uint32_t i) { return static_cast<std::size_t>((i * 7919) % 3000); };
  std::thread storer([&] {
    for (uint32_t i = 0; i < kBlocks; ++i) {
      ASSERT_TRUE(q.store(numbered(i, size_of(i))));
      // Flow control as the receive thread does it: waits for the taker.
      if (q.blocks_over(500)) q.wait_for_takers(0, 1000ms);
    }
  });
  uint32_t next = 0;
  while (next < kBlocks) {
    Block b;
    const ReceiveQueue::Taken t = q.take(b);
    ASSERT_NE(t, ReceiveQueue::Taken::stopped);
    if (t == ReceiveQueue::Taken::empty) {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(bytes_of(b), numbered(next, size_of(next))) << "block " << next;
    ++next;
  }
  storer.join();
  EXPECT_EQ(q.blocks(), 0u);
}

}  // namespace
}  // namespace kelda::dtcp::testing
