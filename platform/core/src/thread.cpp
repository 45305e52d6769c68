// Threads, their message queues and cooperative stop.
#include "platform/thread.h"

#include <pthread.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "fault_points.h"
#include "platform/last_error.h"
#include "wait_lock.h"

namespace kelda::platform {

// A thread's message queue. Its items sit under the wait lock, so a wait for
// "a message or one of these objects" is one atomic check.
class MessageQueue final : public Waitable {
 public:
  // All three with the wait lock held.
  // `always` lets a message past the limit (the quit message, which a
  // thread must see however far behind it is).
  bool push(const ThreadMessage& m, bool always = false) {
    if (closed_) {
      set_last_error(error::invalid_thread_id);
      return false;
    }
    if (!always && items_.size() >= kMessageQueueLimit) {
      set_last_error(error::not_enough_quota);
      return false;
    }
    items_.push_back(m);
    wake_waiters();
    return true;
  }
  bool pop(ThreadMessage& out, bool remove) {
    if (items_.empty()) return false;
    out = items_.front();
    if (remove) items_.pop_front();
    return true;
  }
  void close() {
    closed_ = true;
    items_.clear();
  }

 private:
  bool is_signaled_for(std::thread::id) const override { return !items_.empty(); }
  void consume(std::thread::id) override {}

  std::deque<ThreadMessage> items_;
  bool closed_ = false;
};

namespace {

std::atomic<ThreadId> g_next_thread_id{1};

struct QueueRegistry {
  std::mutex mutex;
  std::unordered_map<ThreadId, std::shared_ptr<MessageQueue>> queues;
};

QueueRegistry& registry() {
  static QueueRegistry* r = new QueueRegistry;  // outlives every thread's exit
  return *r;
}

void register_queue(ThreadId id, std::shared_ptr<MessageQueue> q) {
  std::lock_guard<std::mutex> lock(registry().mutex);
  registry().queues[id] = std::move(q);
}

std::shared_ptr<MessageQueue> find_queue(ThreadId id) {
  std::lock_guard<std::mutex> lock(registry().mutex);
  auto it = registry().queues.find(id);
  return it == registry().queues.end() ? nullptr : it->second;
}

// Per-thread identity, queue and stop event; the queue closes at thread exit.
struct ThreadLocalState {
  ThreadId id = 0;
  std::shared_ptr<MessageQueue> queue;
  Event* stop = nullptr;

  ~ThreadLocalState() {
    if (!queue) return;
    {
      std::lock_guard<std::mutex> lock(registry().mutex);
      registry().queues.erase(id);
    }
    std::lock_guard<std::mutex> lock(wait_lock());
    queue->close();
  }
};

thread_local ThreadLocalState t_state;

MessageQueue& own_queue() {
  if (!t_state.queue) {
    t_state.queue = std::make_shared<MessageQueue>();
    register_queue(current_thread_id(), t_state.queue);
  }
  return *t_state.queue;
}

}  // namespace

ThreadId current_thread_id() noexcept {
  if (t_state.id == 0) t_state.id = g_next_thread_id.fetch_add(1);
  return t_state.id;
}

void ensure_message_queue() { own_queue(); }

namespace {
std::atomic<ThreadId> g_forwarded_thread{0};
std::atomic<ThreadMessageForwarder> g_forwarder{nullptr};
}  // namespace

void set_thread_message_forwarder(ThreadId thread, ThreadMessageForwarder forwarder) noexcept {
  g_forwarder.store(forwarder);
  g_forwarded_thread.store(forwarder ? thread : 0);
}

bool post_thread_message(ThreadId target, uint32_t message, WPARAM wparam, LPARAM lparam) noexcept {
  if (target != 0 && target == g_forwarded_thread.load()) {
    if (ThreadMessageForwarder forward = g_forwarder.load()) return forward(target, message, wparam, lparam);
  }
  std::shared_ptr<MessageQueue> q;
  try {
    q = find_queue(target);
  } catch (...) {
    set_last_error(error::not_enough_memory);
    return false;
  }
  if (!q) {
    set_last_error(error::invalid_thread_id);
    return false;
  }
  std::lock_guard<std::mutex> lock(wait_lock());
  try {
    return q->push(ThreadMessage{message, wparam, lparam});
  } catch (...) {
    set_last_error(error::not_enough_memory);
    return false;
  }
}

void post_quit_message(int exit_code) {
  MessageQueue& q = own_queue();
  std::lock_guard<std::mutex> lock(wait_lock());
  q.push(ThreadMessage{kQuitMessage, static_cast<WPARAM>(exit_code), 0}, true);
}

bool get_message(ThreadMessage& out) {
  MessageQueue& q = own_queue();
  wait_one(q, kInfinite);
  std::lock_guard<std::mutex> lock(wait_lock());
  q.pop(out, true);  // only this thread removes from its own queue
  return out.message != kQuitMessage;
}

bool peek_message(ThreadMessage& out, bool remove) {
  MessageQueue& q = own_queue();
  std::lock_guard<std::mutex> lock(wait_lock());
  return q.pop(out, remove);
}

WaitResult wait_for_message_or(std::span<Waitable* const> objects, uint32_t timeout_ms) {
  if (objects.size() >= kMaxWaitObjects) {
    set_last_error(error::invalid_parameter);
    return {WaitStatus::failed, 0};
  }
  Waitable* list[kMaxWaitObjects];
  std::size_t n = 0;
  for (Waitable* w : objects) list[n++] = w;
  list[n++] = &own_queue();
  WaitResult r = wait_objects(std::span<Waitable* const>(list, n), timeout_ms, false);
  if (r.status == WaitStatus::signaled && r.index == objects.size()) {
    return {WaitStatus::message, r.index};
  }
  return r;
}

Event* current_stop_event() noexcept { return t_state.stop; }

void sleep_ms(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// ---- Thread ----

class ThreadState {
 public:
  ThreadState(std::string n, Thread::Body b)
      : name(std::move(n)), body(std::move(b)), id(g_next_thread_id.fetch_add(1)),
        queue(std::make_shared<MessageQueue>()) {}

  std::string name;
  Thread::Body body;
  ThreadId id;
  std::shared_ptr<MessageQueue> queue;
  Event stop{Event::Reset::manual, false};
  Thread* owner = nullptr;   // under the wait lock; null once the object is gone
  bool finished = false;     // under the wait lock
  uint32_t exit_code = 0;    // valid once finished
  std::mutex join_mutex;
  std::thread handle;
  std::thread::id runner;  // set once by start(), read-only afterwards
};

Thread::Thread(Key, std::string name, Body body)
    : state_(std::make_shared<ThreadState>(std::move(name), std::move(body))) {}

// The body of a started thread, with its identity, queue and stop event.
static void run_thread(const std::shared_ptr<ThreadState>& state) {
  t_state.id = state->id;
  t_state.queue = state->queue;
  t_state.stop = &state->stop;
  std::string short_name = state->name.substr(0, 15);
  pthread_setname_np(pthread_self(), short_name.c_str());
  uint32_t code = 0;
  try {
    code = state->body();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "thread %s ended by an exception: %s\n", state->name.c_str(), e.what());
    code = 0xFFFFFFFFu;
  } catch (...) {
    std::fprintf(stderr, "thread %s ended by an unknown exception\n", state->name.c_str());
    code = 0xFFFFFFFFu;
  }
  state->body = nullptr;  // release captured resources on this thread
  // The queue closes before the thread counts as ended: once a wait sees
  // the end, no post can still report success for a message no one reads.
  {
    std::lock_guard<std::mutex> lock(registry().mutex);
    registry().queues.erase(state->id);
  }
  std::lock_guard<std::mutex> lock(wait_lock());
  state->queue->close();
  state->exit_code = code;
  state->finished = true;
  if (state->owner) WaitAccess::wake(*state->owner);
}

std::unique_ptr<Thread> Thread::start(std::string name, Body body) {
  auto thread = std::make_unique<Thread>(Key{}, std::move(name), std::move(body));
  std::shared_ptr<ThreadState> state = thread->state_;
  register_queue(state->id, state->queue);
  state->owner = thread.get();
  try {
    if (fault_injection::should_fail(fault_injection::Point::thread_create)) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                              "thread creation");
    }
    state->handle = std::thread(run_thread, state);
  } catch (...) {
    // No system thread: the queue leaves the registry (posts to the id fail
    // again) and the object counts as ended, so that its destructor, run as
    // the exception leaves, does not wait for a thread that never ran.
    {
      std::lock_guard<std::mutex> lock(registry().mutex);
      registry().queues.erase(state->id);
    }
    std::lock_guard<std::mutex> lock(wait_lock());
    state->queue->close();
    state->finished = true;
    state->exit_code = 0xFFFFFFFFu;
    throw;
  }
  state->runner = state->handle.get_id();
  return thread;
}

Thread::~Thread() {
  request_stop();
  if (state_->runner == std::this_thread::get_id()) {
    // Destroyed by its own body: it cannot wait for itself, so let it run out.
    std::lock_guard<std::mutex> lock(wait_lock());
    state_->owner = nullptr;
    std::lock_guard<std::mutex> join_lock(state_->join_mutex);
    if (state_->handle.joinable()) state_->handle.detach();
    return;
  }
  join(kInfinite);
}

ThreadId Thread::id() const noexcept { return state_->id; }
const std::string& Thread::name() const noexcept { return state_->name; }
Event& Thread::stop_event() noexcept { return state_->stop; }
void Thread::request_stop() { state_->stop.set(); }
bool Thread::stop_requested() const { return state_->stop.is_set(); }

bool Thread::join(uint32_t timeout_ms) {
  if (state_->runner == std::this_thread::get_id()) {
    set_last_error(error::invalid_parameter);  // a thread cannot wait for its own end
    return false;
  }
  if (wait_one(*this, timeout_ms).status != WaitStatus::signaled) return false;
  std::lock_guard<std::mutex> lock(state_->join_mutex);
  if (state_->handle.joinable()) state_->handle.join();
  return true;
}

bool Thread::finished() const {
  std::lock_guard<std::mutex> lock(wait_lock());
  return state_->finished;
}

std::optional<uint32_t> Thread::exit_code() const {
  std::lock_guard<std::mutex> lock(wait_lock());
  if (!state_->finished) return std::nullopt;
  return state_->exit_code;
}

bool Thread::is_signaled_for(std::thread::id) const { return state_->finished; }

}  // namespace kelda::platform
