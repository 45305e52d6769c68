#include "receive_queue.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kelda::dtcp {

namespace {

constexpr std::size_t kPageSize = 64 * 1024;  // larger blocks get a page of their own
constexpr std::size_t kSparePages = 4;        // emptied pages kept for reuse

}  // namespace

void Block::Free::operator()(uint8_t* p) const noexcept { std::free(p); }

Block make_block(std::span<const uint8_t> bytes) {
  Block b;
  // Never a zero-byte allocation, so that a keep-alive-sized block is not null.
  auto* p = static_cast<uint8_t*>(std::malloc(bytes.size() ? bytes.size() : 1));
  if (p == nullptr) throw std::bad_alloc();
  if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
  b.data.reset(p);
  b.size = static_cast<uint32_t>(bytes.size());
  return b;
}

bool ReceiveQueue::store(std::span<const uint8_t> bytes) {
  const uint32_t size = static_cast<uint32_t>(bytes.size());
  const std::size_t need = sizeof size + bytes.size();
  Lock lock(store_mutex_);
  if (stopped_.load()) return false;
  if (stored_pages_.empty() || stored_pages_.back().capacity - stored_pages_.back().end < need) {
    Page page;
    if (need <= kPageSize && !spare_pages_.empty()) {
      page = std::move(spare_pages_.back());
      spare_pages_.pop_back();
    } else {
      page.capacity = std::max(kPageSize, need);
      page.bytes = std::make_unique_for_overwrite<uint8_t[]>(page.capacity);
    }
    stored_pages_.push_back(std::move(page));
  }
  Page& tail = stored_pages_.back();
  std::memcpy(tail.bytes.get() + tail.end, &size, sizeof size);
  if (size > 0) std::memcpy(tail.bytes.get() + tail.end + sizeof size, bytes.data(), size);
  tail.end += need;
  // Counted before a taker can see the block (takers take the pages over
  // under the store mutex), so taken never passes stored.
  stored_bytes_.store(stored_bytes_.load(std::memory_order_relaxed) + size,
                      std::memory_order_release);
  stored_blocks_.store(stored_blocks_.load(std::memory_order_relaxed) + 1,
                       std::memory_order_release);
  return true;
}

bool ReceiveQueue::blocks_over(uint64_t limit) {
  const uint64_t stored = stored_blocks_.load(std::memory_order_relaxed);
  if (stored - taken_blocks_seen_ <= limit) return false;
  taken_blocks_seen_ = taken_blocks_.load();
  return stored - taken_blocks_seen_ > limit;
}

bool ReceiveQueue::bytes_over(uint64_t limit) {
  const uint64_t stored = stored_bytes_.load(std::memory_order_relaxed);
  if (stored - taken_bytes_seen_ <= limit) return false;
  taken_bytes_seen_ = taken_bytes_.load();
  return stored - taken_bytes_seen_ > limit;
}

bool ReceiveQueue::wait_for_takers(std::size_t bytes, std::chrono::milliseconds timeout) {
  auto reached = [this, bytes] {
    return stopped_.load() || blocks() == 0 || (bytes > 0 && this->bytes() <= bytes);
  };
  Lock lock(store_mutex_);
  wake_at_bytes_.store(bytes);
  // Set before the counts are looked at: a taker that lowers them afterwards
  // sees the flag and wakes this wait through the mutex.
  storer_waiting_.store(true);
  const bool done = stored_cv_.wait_for(lock.native(), timeout, reached);
  storer_waiting_.store(false);
  return done;
}

void ReceiveQueue::take_over_stored_pages() {
  // Everything stored so far comes over in one go; the storing thread goes
  // on filling new pages meanwhile and gets the emptied ones back.
  Lock lock(store_mutex_);
  for (Page& page : stored_pages_) taken_pages_.push_back(std::move(page));
  stored_pages_.clear();
  for (Page& page : used_pages_) {
    if (spare_pages_.size() < kSparePages) spare_pages_.push_back(std::move(page));
  }
  used_pages_.clear();
}

ReceiveQueue::Taken ReceiveQueue::take(Block& out) {
  out = Block{};
  Lock take(take_mutex_);
  if (stopped_.load()) return Taken::stopped;
  if (taken_pages_.empty()) {
    if (taken_blocks_.load(std::memory_order_relaxed) == stored_blocks_.load()) return Taken::empty;
    take_over_stored_pages();
  }
  if (taken_pages_.empty()) return Taken::empty;
  Page& page = taken_pages_.front();
  uint32_t size = 0;
  std::memcpy(&size, page.bytes.get() + page.pos, sizeof size);
  try {
    out = make_block({page.bytes.get() + page.pos + sizeof size, size});
  } catch (const std::bad_alloc&) {
    return Taken::no_memory;  // the block stays for the next call
  }
  page.pos += sizeof size + size;
  if (page.pos == page.end) {
    page.pos = page.end = 0;
    if (page.capacity == kPageSize) used_pages_.push_back(std::move(page));
    taken_pages_.pop_front();
  }
  const uint64_t taken_blocks = taken_blocks_.load(std::memory_order_relaxed) + 1;
  const uint64_t taken_bytes = taken_bytes_.load(std::memory_order_relaxed) + size;
  taken_blocks_.store(taken_blocks);
  taken_bytes_.store(taken_bytes);
  wake_storer(taken_blocks, taken_bytes);
  return Taken::block;
}

void ReceiveQueue::wake_storer(uint64_t taken_blocks, uint64_t taken_bytes) {
  if (!storer_waiting_.load()) return;
  const std::size_t wake_at = wake_at_bytes_.load();
  if (stored_blocks_.load() == taken_blocks ||
      (wake_at > 0 && stored_bytes_.load() - taken_bytes <= wake_at)) {
    { Lock lock(store_mutex_); }
    stored_cv_.notify_all();
  }
}

std::size_t ReceiveQueue::blocks() const {
  const uint64_t taken = taken_blocks_.load();  // first: never more than stored
  return static_cast<std::size_t>(stored_blocks_.load() - taken);
}

std::size_t ReceiveQueue::bytes() const {
  const uint64_t taken = taken_bytes_.load();
  return static_cast<std::size_t>(stored_bytes_.load() - taken);
}

void ReceiveQueue::stop() {
  stopped_.store(true);
  // Taking the mutex once orders the flag before the wake-up.
  { Lock lock(store_mutex_); }
  stored_cv_.notify_all();
}

void ReceiveQueue::clear() {
  Lock take(take_mutex_);
  Lock lock(store_mutex_);
  taken_pages_.clear();
  used_pages_.clear();
  stored_pages_.clear();
  spare_pages_.clear();
  taken_blocks_.store(stored_blocks_.load());
  taken_bytes_.store(stored_bytes_.load());
}

}  // namespace kelda::dtcp
