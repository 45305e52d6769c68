// The one lock under which every waitable object's state changes, so that a
// wait on several objects sees them consistently and takes them atomically.
#pragma once

#include <mutex>
#include <span>

#include "platform/sync.h"

namespace kelda::platform {

std::mutex& wait_lock();

// Privileged access to Waitable internals for the wait functions.
struct WaitAccess {
  static bool signaled(const Waitable& w, std::thread::id me) { return w.is_signaled_for(me); }
  static void consume(Waitable& w, std::thread::id me) { w.consume(me); }
  static void wake(Waitable& w) { w.wake_waiters(); }
  static std::unique_ptr<WaitList>& waiters(Waitable& w) { return w.waiters_; }
};

// Waits with `all` = false (any) or true (all) semantics.
WaitResult wait_objects(std::span<Waitable* const> objects, uint32_t timeout_ms, bool all);

}  // namespace kelda::platform
