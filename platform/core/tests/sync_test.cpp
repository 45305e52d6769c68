#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/fault_injection.h"
#include "platform/last_error.h"
#include "platform/sync.h"
#include "platform/thread.h"

using namespace kelda::platform;

TEST(Event, ManualResetReleasesEveryWaitUntilReset) {
  Event e(Event::Reset::manual);
  EXPECT_EQ(wait_one(e, 0).status, WaitStatus::timeout);
  e.set();
  EXPECT_EQ(wait_one(e, 0).status, WaitStatus::signaled);
  EXPECT_EQ(wait_one(e, 0).status, WaitStatus::signaled);
  e.reset();
  EXPECT_EQ(wait_one(e, 0).status, WaitStatus::timeout);
}

TEST(Event, AutomaticResetReleasesExactlyOneWaiter) {
  Event e(Event::Reset::automatic);
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (wait_one(e, kInfinite).status == WaitStatus::signaled) ++woken;
  };
  std::thread a(waiter), b(waiter);
  e.set();
  // One waiter took the event; it is reset again, so a third wait times out
  // until the second set releases the other waiter.
  while (woken.load() < 1) std::this_thread::yield();
  EXPECT_EQ(wait_one(e, 0).status, WaitStatus::timeout);
  e.set();
  a.join();
  b.join();
  EXPECT_EQ(woken.load(), 2);
  EXPECT_FALSE(e.is_set());
}

TEST(Wait, AnyReportsTheLowestSignalledIndexAndTimesOut) {
  Event a(Event::Reset::manual), b(Event::Reset::automatic), c(Event::Reset::manual);
  Waitable* list[] = {&a, &b, &c};
  EXPECT_EQ(wait_any(list, 5).status, WaitStatus::timeout);
  b.set();
  c.set();
  WaitResult r = wait_any(list, 0);
  EXPECT_EQ(r.status, WaitStatus::signaled);
  EXPECT_EQ(r.index, 1u);
  r = wait_any(list, 0);  // b reset itself
  EXPECT_EQ(r.index, 2u);
}

TEST(Wait, BadListsFail) {
  Event a(Event::Reset::manual);
  Waitable* with_null[] = {&a, nullptr};
  EXPECT_EQ(wait_any(with_null, 0).status, WaitStatus::failed);
  EXPECT_EQ(get_last_error(), error::invalid_parameter);
  EXPECT_EQ(wait_any(std::span<Waitable* const>(), 0).status, WaitStatus::failed);

  // An all-wait cannot take one object twice: a semaphore listed twice is
  // refused and keeps its count.
  Semaphore one(1, 5);
  Waitable* twice[] = {&one, &a, &one};
  a.set();
  set_last_error(0);
  EXPECT_EQ(wait_all(twice, 0).status, WaitStatus::failed);
  EXPECT_EQ(get_last_error(), error::invalid_parameter);
  EXPECT_EQ(wait_one(one, 0).status, WaitStatus::signaled);
  EXPECT_EQ(wait_one(one, 0).status, WaitStatus::timeout);
  const WaitResult any = wait_any(twice, 0);  // any-waits may repeat an object
  EXPECT_EQ(any.status, WaitStatus::signaled);
  EXPECT_EQ(any.index, 1u);
}

TEST(Wait, RunningOutOfMemoryWhileRegisteringFailsAndLeavesNoWaitBehind) {
  Event a(Event::Reset::manual), b(Event::Reset::manual), c(Event::Reset::manual);
  Waitable* list[] = {&a, &b, &c};
  // The wait registers with `a`, then finds no memory for `b`.
  fault_injection::arm(fault_injection::Point::wait_registration, 2);
  set_last_error(0);
  EXPECT_EQ(wait_any(list, kInfinite).status, WaitStatus::failed);
  EXPECT_EQ(get_last_error(), error::not_enough_memory);
  // `a` wakes only live waits now: a sleeping wait on it from another thread
  // is released by set(), which would otherwise also touch the failed wait's
  // vanished context.
  std::atomic<bool> woke{false};
  std::thread waiter([&] {
    Waitable* one[] = {&a};
    woke = wait_any(one, kInfinite).status == WaitStatus::signaled;
  });
  a.set();
  waiter.join();
  EXPECT_TRUE(woke.load());
  EXPECT_EQ(wait_any(list, 0).status, WaitStatus::signaled);
}

TEST(Wait, AllTakesAnEventAndAMutexTogether) {
  Event ready(Event::Reset::automatic);
  Mutex m;
  Waitable* both[] = {&ready, &m};

  std::atomic<bool> holder_locked{false};
  Event release(Event::Reset::manual);
  std::thread holder([&] {
    m.lock();
    holder_locked = true;
    wait_one(release, kInfinite);
    m.unlock();
  });
  while (!holder_locked) std::this_thread::yield();

  ready.set();
  // The mutex is held elsewhere: an all-wait must not take the event alone.
  EXPECT_EQ(wait_all(both, 10).status, WaitStatus::timeout);
  EXPECT_TRUE(ready.is_set());

  std::thread releaser([&] { release.set(); });
  EXPECT_EQ(wait_all(both, kInfinite).status, WaitStatus::signaled);
  EXPECT_FALSE(ready.is_set());
  EXPECT_TRUE(m.held_by_current_thread());
  EXPECT_TRUE(m.unlock());
  releaser.join();
  holder.join();
}

TEST(Mutex, IsRecursiveOwnedAndTimed) {
  Mutex m;
  ASSERT_TRUE(m.lock());
  ASSERT_TRUE(m.lock(0));  // recursion
  std::thread other([&] {
    EXPECT_FALSE(m.lock(20));  // times out while held
    EXPECT_FALSE(m.unlock());  // not the owner
    EXPECT_EQ(get_last_error(), error::not_owner);
  });
  other.join();
  EXPECT_TRUE(m.unlock());
  EXPECT_TRUE(m.held_by_current_thread());
  EXPECT_TRUE(m.unlock());
  EXPECT_FALSE(m.held_by_current_thread());
  EXPECT_FALSE(m.unlock());
  std::thread taker([&] {
    EXPECT_TRUE(m.try_lock());
    EXPECT_TRUE(m.unlock());
  });
  taker.join();
}

TEST(Mutex, ExcludesUnderContention) {
  Mutex m;
  int counter = 0;  // protected by m; TSan checks the exclusion
  auto work = [&] {
    for (int i = 0; i < 2000; ++i) {
      MutexGuard g(m);
      ++counter;
    }
  };
  std::thread a(work), b(work), c(work);
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(counter, 6000);
}

TEST(Mutex, AThreadThatEndsHoldingItAbandonsItToTheNextWait) {
  Mutex m;
  std::thread quitter([&] {
    ASSERT_TRUE(m.lock());
    ASSERT_TRUE(m.lock());
  });
  quitter.join();
  // The time-out only keeps a failure from hanging the run.
  ASSERT_TRUE(m.lock(60000));
  EXPECT_TRUE(m.held_by_current_thread());
  EXPECT_TRUE(m.unlock());
  EXPECT_FALSE(m.unlock());  // taken once: the quitter's depth is gone

  // A held mutex destroyed before its owner ends is forgotten by the owner.
  auto doomed = std::make_unique<Mutex>();
  Event locked(Event::Reset::manual), destroyed(Event::Reset::manual);
  std::thread owner([&] {
    doomed->lock();
    locked.set();
    wait_one(destroyed, kInfinite);
  });
  wait_one(locked, kInfinite);
  doomed.reset();
  destroyed.set();
  owner.join();
}

TEST(Semaphore, CountsAndRefusesOverflow) {
  Semaphore s(1, 2);
  EXPECT_EQ(wait_one(s, 0).status, WaitStatus::signaled);
  EXPECT_EQ(wait_one(s, 0).status, WaitStatus::timeout);
  EXPECT_TRUE(s.release(2));
  EXPECT_FALSE(s.release(1));
  EXPECT_EQ(wait_one(s, 0).status, WaitStatus::signaled);
  EXPECT_EQ(wait_one(s, 0).status, WaitStatus::signaled);
  EXPECT_EQ(wait_one(s, 0).status, WaitStatus::timeout);
}

TEST(Interlocked, ReturnsNewAndPreviousValues) {
  std::atomic<int32_t> v{5};
  EXPECT_EQ(interlocked_increment(v), 6);
  EXPECT_EQ(interlocked_decrement(v), 5);
  EXPECT_EQ(interlocked_exchange(v, 9), 5);
  EXPECT_EQ(interlocked_compare_exchange(v, 1, 7), 9);  // no match: unchanged
  EXPECT_EQ(interlocked_compare_exchange(v, 1, 9), 9);
  EXPECT_EQ(v.load(), 1);
}
