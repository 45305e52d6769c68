// Benchmark support: the receive path of the protocol library as the client
// library drives it. The connection's callback counts the blocks the
// transport stored, as the client library does, in an atomic count, and wakes
// the caller's thread only when it sleeps; that thread hands every block
// counted to zn_recvmsg until the handlers have seen the messages expected.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "zn_de/zn_de.h"

namespace kelda::bench {

struct Receiver {
  std::mutex mutex;
  std::condition_variable cv;
  std::atomic<int> pending{0};
  std::atomic<bool> sleeping{false};
  std::atomic<bool> permitted{false};

  static int32_t callback(uintptr_t user, int32_t event, int32_t*, void*, uint32_t, const void*, uint32_t) {
    auto* self = reinterpret_cast<Receiver*>(user);
    if (event == ZN_EVENT_PERMISSIONS) self->permitted.store(true);
    if (event == ZN_EVENT_STORED) {
      self->pending.fetch_add(1);
      // One wake-up for the blocks counted while the caller's thread sleeps.
      if (self->sleeping.exchange(false)) {
        { std::lock_guard<std::mutex> lock(self->mutex); }
        self->cv.notify_one();
      }
    }
    return 0;
  }

  // Receives stored blocks until `handled` reaches `expected`.
  void drain(zn_connection* connection, const std::atomic<int>& handled, int expected) {
    char error[512] = "";
    while (handled.load(std::memory_order_relaxed) < expected) {
      int n = pending.exchange(0);
      if (n == 0) {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
          // Set before each look at the count (a callback clears it when it
          // wakes this thread): a block counted after the look sees the
          // flag and wakes the wait through the mutex.
          sleeping.store(true);
          if (pending.load() > 0) break;
          cv.wait(lock);
        }
        sleeping.store(false);
        continue;
      }
      for (int i = 0; i < n; ++i) zn_recvmsg(connection, error, sizeof error);
    }
  }
};

}  // namespace kelda::bench
