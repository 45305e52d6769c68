// Waitable synchronisation objects: events, recursive timed mutexes, and waits
// on one or several objects with a time-out.
//
// Threading: every object may be used from any thread. Waits never spin; they
// sleep until an object they watch changes or the time-out passes. A wait on a
// mutex acquires it; a wait satisfied by an automatic-reset event resets it.
// Ownership: objects are plain C++ values (not copyable, not movable); a waiter
// must not destroy an object that other threads still wait on.
// Errors: waits report a WaitStatus; nothing here throws except std::bad_alloc.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <thread>

#include "platform/export.h"

namespace kelda::platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitStatus {
  signaled,   // an object was signalled (index says which)
  timeout,    // the time-out passed first
  message,    // a thread message arrived (wait_for_message_or only)
  failed,     // bad arguments (empty or oversized list, null entry)
};

struct WaitResult {
  WaitStatus status;
  std::size_t index;  // with signaled: the first signalled object of the list
};

class WaitList;

// Base of every object a thread can wait for. Its state lives under the
// layer's one wait lock, which keeps multi-object waits atomic.
class KELDA_PLATFORM_API Waitable {
 public:
  Waitable(const Waitable&) = delete;
  Waitable& operator=(const Waitable&) = delete;
  virtual ~Waitable();

 protected:
  Waitable();
  // Both called with the wait lock held.
  virtual bool is_signaled_for(std::thread::id waiter) const = 0;
  virtual void consume(std::thread::id waiter) = 0;  // the wait took the object
  void wake_waiters();                                // wait lock held

  friend struct WaitAccess;

 private:
  std::unique_ptr<WaitList> waiters_;  // sleeping waits, under the wait lock
};

// Manual-reset events stay set until reset; automatic-reset events release one
// waiter and reset themselves.
class KELDA_PLATFORM_API Event final : public Waitable {
 public:
  enum class Reset { manual, automatic };
  explicit Event(Reset mode, bool initially_set = false);
  void set();
  void reset();
  bool is_set() const;

 private:
  bool is_signaled_for(std::thread::id) const override;
  void consume(std::thread::id) override;
  Reset mode_;
  bool set_;
};

struct MutexOwnership;

// Recursive mutex with time-outs, usable in multi-object waits. Only the
// owning thread may unlock it; unlock() by another thread returns false. A
// thread that ends while holding it abandons it: the next wait takes it.
class KELDA_PLATFORM_API Mutex final : public Waitable {
 public:
  Mutex() = default;
  ~Mutex() override;
  // true when acquired within the time-out (kInfinite waits for ever).
  bool lock(uint32_t timeout_ms = kInfinite);
  bool try_lock() { return lock(0); }
  bool unlock();
  bool held_by_current_thread() const;

 private:
  bool is_signaled_for(std::thread::id waiter) const override;
  void consume(std::thread::id waiter) override;
  friend struct MutexOwnership;
  std::thread::id owner_{};
  uint32_t depth_ = 0;
  MutexOwnership* ownership_ = nullptr;  // the owner thread's list of held mutexes
};

// Counting semaphore usable in multi-object waits.
class KELDA_PLATFORM_API Semaphore final : public Waitable {
 public:
  Semaphore(uint32_t initial, uint32_t maximum);
  // false (count unchanged) when the release would pass the maximum.
  bool release(uint32_t count = 1);

 private:
  bool is_signaled_for(std::thread::id) const override;
  void consume(std::thread::id) override;
  uint32_t count_;
  uint32_t maximum_;
};

// RAII guard for Mutex (waits without limit).
class MutexGuard {
 public:
  explicit MutexGuard(Mutex& m) : m_(m) { m_.lock(); }
  ~MutexGuard() { m_.unlock(); }
  MutexGuard(const MutexGuard&) = delete;
  MutexGuard& operator=(const MutexGuard&) = delete;

 private:
  Mutex& m_;
};

// Waits for one object.
KELDA_PLATFORM_API WaitResult wait_one(Waitable& object, uint32_t timeout_ms);
// Waits until any object is signalled; takes only that one (the lowest index).
KELDA_PLATFORM_API WaitResult wait_any(std::span<Waitable* const> objects, uint32_t timeout_ms);
// Waits until all objects are signalled at once and takes them all together;
// a list naming one object twice fails (invalid_parameter).
KELDA_PLATFORM_API WaitResult wait_all(std::span<Waitable* const> objects, uint32_t timeout_ms);

inline constexpr std::size_t kMaxWaitObjects = 64;

// Interlocked counters: atomic read-modify-write returning the new value.
inline int32_t interlocked_increment(std::atomic<int32_t>& v) { return v.fetch_add(1) + 1; }
inline int32_t interlocked_decrement(std::atomic<int32_t>& v) { return v.fetch_sub(1) - 1; }
inline int32_t interlocked_exchange(std::atomic<int32_t>& v, int32_t x) { return v.exchange(x); }
inline int32_t interlocked_compare_exchange(std::atomic<int32_t>& v, int32_t x, int32_t comparand) {
  v.compare_exchange_strong(comparand, x);
  return comparand;  // the previous value
}

}  // namespace kelda::platform
