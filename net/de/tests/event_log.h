// Test support: the events a zn_de connection reports to its caller's
// callback, kept for the test to wait on. The callback runs on the
// transport's threads; wait_for() on the test's thread.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kelda::de::testing {

struct EventLog {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<int32_t> seen;

  // The zn_event_callback; the user data is the log.
  static int32_t callback(uintptr_t user, int32_t event, int32_t*, void*, uint32_t, const void*,
                          uint32_t) {
    auto* self = reinterpret_cast<EventLog*>(user);
    // Notified under the lock: a test that saw the last event may end the
    // log as soon as it has the lock again.
    std::lock_guard<std::mutex> lock(self->mutex);
    self->seen.push_back(event);
    self->cv.notify_all();
    return 0;
  }
  // true when the event has been seen within five seconds.
  bool wait_for(int32_t event) {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, std::chrono::seconds(30), [&] {
      return std::find(seen.begin(), seen.end(), event) != seen.end();
    });
  }
  bool empty() {
    std::lock_guard<std::mutex> lock(mutex);
    return seen.empty();
  }
};

}  // namespace kelda::de::testing
