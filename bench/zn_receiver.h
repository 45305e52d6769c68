// Benchmark support: the receive path of the protocol library as the client
// library drives it. The connection's callback counts the blocks the
// transport stored; the caller's thread hands each of them to zn_recvmsg
// until the handlers have seen the messages expected.
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
  int pending = 0;
  std::atomic<bool> permitted{false};

  static int32_t callback(uintptr_t user, int32_t event, int32_t*, void*, uint32_t, const void*, uint32_t) {
    auto* self = reinterpret_cast<Receiver*>(user);
    if (event == ZN_EVENT_PERMISSIONS) self->permitted.store(true);
    if (event == ZN_EVENT_STORED) {
      {
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->pending;
      }
      self->cv.notify_one();
    }
    return 0;
  }

  // Receives stored blocks until `handled` reaches `expected`.
  void drain(zn_connection* connection, const std::atomic<int>& handled, int expected) {
    char error[512] = "";
    while (handled.load(std::memory_order_relaxed) < expected) {
      std::unique_lock<std::mutex> lock(mutex);
      cv.wait(lock, [&] { return pending > 0; });
      const int n = pending;
      pending = 0;
      lock.unlock();
      for (int i = 0; i < n; ++i) zn_recvmsg(connection, error, sizeof error);
    }
  }
};

}  // namespace kelda::bench
