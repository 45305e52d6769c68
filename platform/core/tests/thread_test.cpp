#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/last_error.h"
#include "platform/thread.h"

using namespace kelda::platform;

namespace {
constexpr uint32_t kCommand = 1801;
constexpr uint32_t kEnd = 100;
}  // namespace

TEST(ThreadMessages, WorkerTakesNumberedCommandsInOrder) {
  std::vector<WPARAM> seen;  // written by the worker, read after join
  auto worker = Thread::start("worker", [&]() -> uint32_t {
    ThreadMessage m;
    while (get_message(m)) {
      if (m.message != kCommand) continue;
      if (m.wparam == kEnd) return static_cast<uint32_t>(m.lparam);
      seen.push_back(m.wparam);
    }
    return 0;
  });
  // The queue exists as soon as start() returns.
  for (WPARAM cmd : {1, 2, 3}) ASSERT_TRUE(post_thread_message(worker->id(), kCommand, cmd, 0));
  ASSERT_TRUE(post_thread_message(worker->id(), kCommand, kEnd, 42));
  ASSERT_TRUE(worker->join(kInfinite));
  EXPECT_EQ(worker->exit_code(), 42u);
  EXPECT_EQ(seen, (std::vector<WPARAM>{1, 2, 3}));
}

TEST(ThreadMessages, PostFailsForUnknownOrEndedThreads) {
  EXPECT_FALSE(post_thread_message(0xFFFFFF, kCommand, 0, 0));
  EXPECT_EQ(get_last_error(), error::invalid_thread_id);

  auto t = Thread::start("short", [] { return 0u; });
  const ThreadId id = t->id();
  ASSERT_TRUE(t->join(kInfinite));
  t.reset();
  set_last_error(0);
  EXPECT_FALSE(post_thread_message(id, kCommand, 0, 0));
  EXPECT_EQ(get_last_error(), error::invalid_thread_id);
}

namespace {
// Holds a thread in its exit, after its body returned, until the gate opens.
Event* g_exit_gate = nullptr;
struct ExitGate {
  ~ExitGate() {
    if (g_exit_gate) wait_one(*g_exit_gate, kInfinite);
  }
};
}  // namespace

TEST(ThreadMessages, PostFailsAsSoonAsAWaitSeesTheThreadEnded) {
  Event gate(Event::Reset::manual);
  g_exit_gate = &gate;
  auto t = Thread::start("ending", [] {
    thread_local ExitGate held_in_exit;
    (void)held_in_exit;
    return 0u;
  });
  ASSERT_EQ(wait_one(*t, kInfinite).status, WaitStatus::signaled);
  set_last_error(0);
  EXPECT_FALSE(post_thread_message(t->id(), kCommand, 0, 0));
  EXPECT_EQ(get_last_error(), error::invalid_thread_id);
  gate.set();
  EXPECT_TRUE(t->join(kInfinite));
  g_exit_gate = nullptr;
}

TEST(ThreadMessages, FullQueueRefusesWithQuotaError) {
  ensure_message_queue();
  const ThreadId self = current_thread_id();
  for (std::size_t i = 0; i < kMessageQueueLimit; ++i) ASSERT_TRUE(post_thread_message(self, 7, i, 0));
  EXPECT_FALSE(post_thread_message(self, 7, 0, 0));
  EXPECT_EQ(get_last_error(), error::not_enough_quota);
  ThreadMessage m;
  for (std::size_t i = 0; i < kMessageQueueLimit; ++i) {
    ASSERT_TRUE(peek_message(m, true));
    ASSERT_EQ(m.wparam, i);
  }
  EXPECT_FALSE(peek_message(m, true));
}

TEST(ThreadMessages, QuitGetsInEvenWhenTheQueueIsFull) {
  ensure_message_queue();
  const ThreadId self = current_thread_id();
  for (std::size_t i = 0; i < kMessageQueueLimit; ++i) ASSERT_TRUE(post_thread_message(self, 7, i, 0));
  post_quit_message(9);
  ThreadMessage m;
  for (std::size_t i = 0; i < kMessageQueueLimit; ++i) ASSERT_TRUE(peek_message(m, true));
  ASSERT_TRUE(peek_message(m, true));
  EXPECT_EQ(m.message, kQuitMessage);
  EXPECT_EQ(m.wparam, 9u);
}

TEST(ThreadMessages, PeekLeavesOrRemovesAndQuitEndsGet) {
  ensure_message_queue();
  ThreadMessage m;
  EXPECT_FALSE(peek_message(m, false));
  ASSERT_TRUE(post_thread_message(current_thread_id(), 5, 1, 2));
  ASSERT_TRUE(peek_message(m, false));
  ASSERT_TRUE(peek_message(m, true));
  EXPECT_EQ(m.message, 5u);
  EXPECT_EQ(m.lparam, 2);
  EXPECT_FALSE(peek_message(m, false));
  post_quit_message(3);
  EXPECT_FALSE(get_message(m));
  EXPECT_EQ(m.message, kQuitMessage);
  EXPECT_EQ(m.wparam, 3u);
}

TEST(ThreadMessages, WaitForMessageOrObjects) {
  ensure_message_queue();
  Event e(Event::Reset::manual);
  Waitable* list[] = {&e};
  EXPECT_EQ(wait_for_message_or(list, 5).status, WaitStatus::timeout);
  ASSERT_TRUE(post_thread_message(current_thread_id(), 9, 0, 0));
  EXPECT_EQ(wait_for_message_or(list, 0).status, WaitStatus::message);
  e.set();  // an object wins over a waiting message
  WaitResult r = wait_for_message_or(list, 0);
  EXPECT_EQ(r.status, WaitStatus::signaled);
  EXPECT_EQ(r.index, 0u);
  ThreadMessage m;
  EXPECT_TRUE(peek_message(m, true));
}

TEST(Thread, StopsCooperativelyAndReportsAStuckThread) {
  Event never(Event::Reset::manual);
  auto t = Thread::start("cooperative", [&]() -> uint32_t {
    Waitable* list[] = {&never, current_stop_event()};
    WaitResult r = wait_any(list, kInfinite);
    return r.index == 1 ? 7u : 0u;
  });
  EXPECT_FALSE(t->join(10));  // still waiting: a join with a time-out says so
  EXPECT_FALSE(t->finished());
  t->request_stop();
  EXPECT_TRUE(t->join(kInfinite));
  EXPECT_EQ(t->exit_code(), 7u);
  EXPECT_EQ(current_stop_event(), nullptr);  // the test thread was not started by Thread
}

TEST(Thread, IsWaitableAndSurvivesAnExceptionInItsBody) {
  auto t = Thread::start("thrower", []() -> uint32_t { throw std::runtime_error("boom"); });
  Waitable* list[] = {t.get()};
  EXPECT_EQ(wait_any(list, kInfinite).status, WaitStatus::signaled);
  EXPECT_EQ(t->exit_code(), 0xFFFFFFFFu);
}

TEST(Thread, CanBeDestroyedByItsOwnBody) {
  std::unique_ptr<Thread> t;
  Event go(Event::Reset::manual), done(Event::Reset::manual);
  t = Thread::start("self-ending", [&]() -> uint32_t {
    wait_one(go, kInfinite);
    t.reset();  // must not wait for itself
    done.set();
    return 0;
  });
  go.set();
  EXPECT_EQ(wait_one(done, kInfinite).status, WaitStatus::signaled);
}

TEST(Thread, IdsAreUniqueAndStable) {
  const ThreadId mine = current_thread_id();
  EXPECT_NE(mine, 0u);
  EXPECT_EQ(mine, current_thread_id());
  std::atomic<ThreadId> inside{0};
  auto t = Thread::start("ids", [&]() -> uint32_t {
    inside = current_thread_id();
    return 0;
  });
  ASSERT_TRUE(t->join(kInfinite));
  EXPECT_EQ(inside.load(), t->id());
  EXPECT_NE(inside.load(), mine);
}

TEST(Thread, StartThatCannotCreateTheSystemThreadLeavesNoQueueBehind) {
  auto first = Thread::start("first", [] { return 0u; });
  const ThreadId failed_id = first->id() + 1;  // ids are handed out in order
  fault_injection::arm(fault_injection::Point::thread_create, 1);
  EXPECT_THROW(Thread::start("never", [] { return 0u; }), std::system_error)
      << "and the half-made object's destructor did not wait for a thread that never ran";
  set_last_error(0);
  EXPECT_FALSE(post_thread_message(failed_id, kCommand, 0, 0));
  EXPECT_EQ(get_last_error(), error::invalid_thread_id);
  auto again = Thread::start("again", [] { return 7u; });
  ASSERT_TRUE(again->join(kInfinite));
  EXPECT_EQ(again->exit_code(), 7u);
  EXPECT_TRUE(first->join(kInfinite));
}
