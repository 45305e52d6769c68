// Per-thread state: the stream error word and the random pool of one thread
// are never touched by another.
#include <atomic>
#include <barrier>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "frame.h"
#include "random_pool.h"

namespace kelda::sekura32 {
namespace {

TEST(ThreadState, StreamErrorWordIsPerThread) {
  // One thread fails a write (259) while another succeeds (0); each sees its
  // own outcome at every step.
  constexpr int kRounds = 2000;
  std::barrier step(2);
  std::atomic<int> mismatches{0};
  auto failing = [&] {
    char buffer[4];
    SkStream* s = skMemStream(buffer, sizeof buffer, sizeof buffer, &skDummyRealloc);
    for (int i = 0; i < kRounds; ++i) {
      s->write(s, "x", 1);
      step.arrive_and_wait();
      if (skIOerror != SK_IO_ERROR) ++mismatches;
      step.arrive_and_wait();
    }
    s->close(s);
  };
  auto succeeding = [&] {
    SkStream* s = skDummyStream();
    for (int i = 0; i < kRounds; ++i) {
      step.arrive_and_wait();
      s->write(s, "x", 1);
      if (skIOerror != 0) ++mismatches;
      step.arrive_and_wait();
    }
    s->close(s);
  };
  std::thread a(failing), b(succeeding);
  a.join();
  b.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(ThreadState, EachThreadDrawsFromItsOwnSeededPool) {
  constexpr int kThreads = 4;
  std::vector<std::vector<uint8_t>> draws(kThreads, std::vector<uint8_t>(64));
  std::vector<const RandomPool*> pools(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) ASSERT_EQ(skGetRandomBytes(draws[t].data(), 64, -1, 0), SK_OK);
      pools[t] = thread_random_pool();
      thread_status() = uint32_t(t + 100);
      EXPECT_EQ(thread_status(), uint32_t(t + 100));
    });
  for (auto& thread : threads) thread.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_NE(draws[t], draws[0]);
  EXPECT_EQ(thread_status(), 0u);
}

}  // namespace
}  // namespace kelda::sekura32
