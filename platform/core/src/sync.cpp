// Waitable objects and the wait functions.
//
// All object state sits under one process-wide lock. A sleeping wait registers
// a condition variable with each object it watches; any state change wakes the
// registered waits, which then re-check under the lock. This keeps multi-object
// waits (including "all" waits that take a mutex and an event together) atomic
// without lock ordering problems.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <new>
#include <vector>

#include "fault_points.h"
#include "platform/last_error.h"
#include "wait_lock.h"

namespace kelda::platform {

struct WaitContext {
  std::condition_variable cv;
};

class WaitList {
 public:
  std::vector<WaitContext*> items;
};

std::mutex& wait_lock() {
  // Never destroyed: objects with static storage may still be used while
  // other statics are torn down.
  static std::mutex* lock = new std::mutex;
  return *lock;
}

Waitable::Waitable() = default;
Waitable::~Waitable() = default;

void Waitable::wake_waiters() {
  if (waiters_) {
    for (WaitContext* ctx : waiters_->items) ctx->cv.notify_all();
  }
}

namespace {

void unregister_wait(std::span<Waitable* const> objects, WaitContext* ctx) {
  for (Waitable* w : objects) {
    auto& items = WaitAccess::waiters(*w)->items;
    auto it = std::find(items.begin(), items.end(), ctx);
    if (it != items.end()) items.erase(it);
  }
}

// Registers the wait with every object, or with none: out of memory part-way,
// the objects already done forget it again (the context lives on the waiter's
// stack and must not stay behind in any list). False then.
bool register_wait(std::span<Waitable* const> objects, WaitContext* ctx) {
  std::size_t done = 0;
  try {
    for (Waitable* w : objects) {
      if (fault_injection::should_fail(fault_injection::Point::wait_registration)) throw std::bad_alloc();
      auto& list = WaitAccess::waiters(*w);
      if (!list) list = std::make_unique<WaitList>();
      list->items.push_back(ctx);
      ++done;
    }
    return true;
  } catch (const std::bad_alloc&) {
    unregister_wait(objects.first(done), ctx);
    return false;
  }
}

// Checks (and takes) the objects; returns the index taken or -1.
std::ptrdiff_t try_take(std::span<Waitable* const> objects, bool all, std::thread::id me) {
  if (all) {
    for (Waitable* w : objects) {
      if (!WaitAccess::signaled(*w, me)) return -1;
    }
    for (Waitable* w : objects) WaitAccess::consume(*w, me);
    return 0;
  }
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (WaitAccess::signaled(*objects[i], me)) {
      WaitAccess::consume(*objects[i], me);
      return static_cast<std::ptrdiff_t>(i);
    }
  }
  return -1;
}

}  // namespace

WaitResult wait_objects(std::span<Waitable* const> objects, uint32_t timeout_ms, bool all) {
  if (objects.empty() || objects.size() > kMaxWaitObjects ||
      std::any_of(objects.begin(), objects.end(), [](Waitable* w) { return w == nullptr; })) {
    set_last_error(error::invalid_parameter);
    return {WaitStatus::failed, 0};
  }
  // An object listed twice in an all-wait would be taken twice (a semaphore
  // counted down past zero, a mutex locked twice): refused.
  if (all) {
    for (std::size_t i = 0; i < objects.size(); ++i) {
      if (std::find(objects.begin() + static_cast<std::ptrdiff_t>(i) + 1, objects.end(), objects[i]) !=
          objects.end()) {
        set_last_error(error::invalid_parameter);
        return {WaitStatus::failed, 0};
      }
    }
  }
  const auto me = std::this_thread::get_id();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  std::unique_lock<std::mutex> lock(wait_lock());
  WaitContext ctx;
  bool registered = false;
  for (;;) {
    std::ptrdiff_t taken = try_take(objects, all, me);
    if (taken >= 0) {
      if (registered) unregister_wait(objects, &ctx);
      return {WaitStatus::signaled, static_cast<std::size_t>(taken)};
    }
    if (timeout_ms != kInfinite && std::chrono::steady_clock::now() >= deadline) {
      if (registered) unregister_wait(objects, &ctx);
      return {WaitStatus::timeout, 0};
    }
    if (!registered) {
      if (!register_wait(objects, &ctx)) {
        set_last_error(error::not_enough_memory);
        return {WaitStatus::failed, 0};
      }
      registered = true;
    }
    if (timeout_ms == kInfinite) {
      ctx.cv.wait(lock);
    } else {
      ctx.cv.wait_until(lock, deadline);
    }
  }
}

WaitResult wait_one(Waitable& object, uint32_t timeout_ms) {
  Waitable* list[] = {&object};
  return wait_objects(list, timeout_ms, false);
}

WaitResult wait_any(std::span<Waitable* const> objects, uint32_t timeout_ms) {
  return wait_objects(objects, timeout_ms, false);
}

WaitResult wait_all(std::span<Waitable* const> objects, uint32_t timeout_ms) {
  return wait_objects(objects, timeout_ms, true);
}

// ---- Event ----

Event::Event(Reset mode, bool initially_set) : mode_(mode), set_(initially_set) {}

void Event::set() {
  std::lock_guard<std::mutex> lock(wait_lock());
  set_ = true;
  wake_waiters();
}

void Event::reset() {
  std::lock_guard<std::mutex> lock(wait_lock());
  set_ = false;
}

bool Event::is_set() const {
  std::lock_guard<std::mutex> lock(wait_lock());
  return set_;
}

bool Event::is_signaled_for(std::thread::id) const { return set_; }

void Event::consume(std::thread::id) {
  if (mode_ == Reset::automatic) set_ = false;
}

// ---- Mutex ----

// The mutexes a thread holds, so that its end can release them for the next
// waiter instead of leaving them owned by a thread that is gone (whose id a
// new thread may even take over).
struct MutexOwnership {
  std::vector<Mutex*> held;  // under the wait lock

  ~MutexOwnership();
  void remove(Mutex* m) {
    auto it = std::find(held.begin(), held.end(), m);
    if (it != held.end()) held.erase(it);
  }
};

namespace {
thread_local MutexOwnership t_ownership;
thread_local bool t_ownership_gone = false;  // trivially destroyed: readable to the very end
}  // namespace

MutexOwnership::~MutexOwnership() {
  t_ownership_gone = true;
  std::lock_guard<std::mutex> lock(wait_lock());
  for (Mutex* m : held) {
    m->owner_ = std::thread::id{};
    m->depth_ = 0;
    m->ownership_ = nullptr;
    m->wake_waiters();
  }
  held.clear();
}

Mutex::~Mutex() {
  std::lock_guard<std::mutex> lock(wait_lock());
  if (ownership_ != nullptr) ownership_->remove(this);
}

bool Mutex::lock(uint32_t timeout_ms) { return wait_one(*this, timeout_ms).status == WaitStatus::signaled; }

bool Mutex::unlock() {
  std::lock_guard<std::mutex> lock(wait_lock());
  if (depth_ == 0 || owner_ != std::this_thread::get_id()) {
    set_last_error(error::not_owner);
    return false;
  }
  if (--depth_ == 0) {
    if (ownership_ != nullptr) ownership_->remove(this);
    ownership_ = nullptr;
    owner_ = std::thread::id{};
    wake_waiters();
  }
  return true;
}

bool Mutex::held_by_current_thread() const {
  std::lock_guard<std::mutex> lock(wait_lock());
  return depth_ > 0 && owner_ == std::this_thread::get_id();
}

bool Mutex::is_signaled_for(std::thread::id waiter) const { return depth_ == 0 || owner_ == waiter; }

void Mutex::consume(std::thread::id waiter) {
  // Called on the waiting thread itself, so its own list records the mutex.
  if (depth_ == 0 && !t_ownership_gone) {
    t_ownership.held.push_back(this);
    ownership_ = &t_ownership;
  }
  owner_ = waiter;
  ++depth_;
}

// ---- Semaphore ----

Semaphore::Semaphore(uint32_t initial, uint32_t maximum)
    : count_(std::min(initial, maximum)), maximum_(maximum) {}

bool Semaphore::release(uint32_t count) {
  std::lock_guard<std::mutex> lock(wait_lock());
  if (count == 0 || count > maximum_ - count_) {
    set_last_error(error::invalid_parameter);
    return false;
  }
  count_ += count;
  wake_waiters();
  return true;
}

bool Semaphore::is_signaled_for(std::thread::id) const { return count_ > 0; }

void Semaphore::consume(std::thread::id) { --count_; }

}  // namespace kelda::platform
