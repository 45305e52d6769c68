// The receive queue of a connection in data mode: blocks the receive thread
// stored and the caller has not yet taken, with the counts the receive
// thread's flow control and back-pressure look at.
//
// Layout: blocks lie one after another in pages (a 32-bit size in native
// order, then the bytes). The receive thread appends to the newer pages under
// the store mutex; takers read, under the take mutex, from the older pages
// they took over all at once when they had read everything before, so the two
// sides meet on a lock once per batch rather than once per block. Emptied
// pages go back to the receive thread for reuse (a few of them).
// Threading: one storing thread (store, blocks_over, bytes_over,
// wait_for_takers); any number of takers (take), serialised by the take
// mutex; stop and clear from any thread. The take mutex is taken before the
// store mutex. Counts only grow; their difference is what waits in the pages.
// Errors: store and take throw nothing but std::bad_alloc from store; take
// reports a failed copy as a result and keeps the block.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "annotated_mutex.h"

namespace kelda::dtcp {

// A block handed out to the caller: malloc'ed, freed with std::free (the
// caller frees it through zn_tcp_free_mem).
struct Block {
  struct Free {
    void operator()(uint8_t* p) const noexcept;
  };
  std::unique_ptr<uint8_t, Free> data;
  uint32_t size = 0;
};
Block make_block(std::span<const uint8_t> bytes);  // throws std::bad_alloc

class ReceiveQueue {
 public:
  enum class Taken { block, empty, stopped, no_memory };

  // --- the storing thread ---
  // Stores a block at the tail; false once stopped. Throws std::bad_alloc.
  bool store(std::span<const uint8_t> bytes);
  // More than `limit` blocks (bytes) stored and not taken. The takers' counts
  // are only read when the last look at them says so, which keeps the
  // storing thread off their cache line.
  bool blocks_over(uint64_t limit);
  bool bytes_over(uint64_t limit);
  // Waits until no more than `bytes` are stored (0: until none is), the stop,
  // or the time-out. true when reached.
  bool wait_for_takers(std::size_t bytes, std::chrono::milliseconds timeout);

  // --- takers ---
  // The oldest block into `out` (block), none (empty), or a refusal: the
  // queue is stopped, or the copy could not be allocated (the block stays).
  Taken take(Block& out);

  // Blocks and bytes stored and not yet taken.
  std::size_t blocks() const;
  std::size_t bytes() const;

  // Refuses stores and takes from now on and ends a wait for takers.
  void stop();
  // Empties the queue and frees its pages.
  void clear();

 private:
  struct Page {
    std::unique_ptr<uint8_t[]> bytes;
    std::size_t capacity = 0;
    std::size_t end = 0;  // filled up to here
    std::size_t pos = 0;  // taken up to here
  };
  // Under the take mutex: moves every stored page to the takers' side.
  void take_over_stored_pages() KELDA_REQUIRES(take_mutex_);
  // Wakes the storing thread when it waits and what it waits for came.
  void wake_storer(uint64_t taken_blocks, uint64_t taken_bytes);

  alignas(64) AnnotatedMutex store_mutex_;
  std::condition_variable stored_cv_;
  std::deque<Page> stored_pages_ KELDA_GUARDED_BY(store_mutex_);  // the newer blocks
  std::vector<Page> spare_pages_ KELDA_GUARDED_BY(store_mutex_);  // emptied, to fill again
  alignas(64) AnnotatedMutex take_mutex_;  // taken before the store mutex
  std::deque<Page> taken_pages_ KELDA_GUARDED_BY(take_mutex_);  // the older blocks, in order
  std::vector<Page> used_pages_ KELDA_GUARDED_BY(take_mutex_);  // emptied, to hand back
  // The storing thread writes the stored pair (under the store mutex),
  // takers the taken pair (under the take mutex), each on a line of its own.
  alignas(64) std::atomic<uint64_t> stored_blocks_{0};
  std::atomic<uint64_t> stored_bytes_{0};
  uint64_t taken_blocks_seen_ = 0;  // the storing thread's last look at the taken pair
  uint64_t taken_bytes_seen_ = 0;
  alignas(64) std::atomic<uint64_t> taken_blocks_{0};
  std::atomic<uint64_t> taken_bytes_{0};
  alignas(64) std::atomic<bool> storer_waiting_{false};
  std::atomic<std::size_t> wake_at_bytes_{0};  // ... until this many bytes (0: empty)
  std::atomic<bool> stopped_{false};
};

}  // namespace kelda::dtcp
