#include "connection.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "library.h"
#include "texts.h"

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

Connection::Connection() { connection_born(); }

Connection::~Connection() {
  // The last user may be one of the connection's own threads, which cannot
  // wait for itself: the library joins them at its end.
  std::vector<std::unique_ptr<platform::Thread>> threads;
  threads.push_back(std::move(connection_thread_));
  threads.push_back(std::move(send_thread_));
  threads.push_back(std::move(receive_thread_));
  threads.push_back(std::move(disconnect_thread_));
  retire_threads(std::move(threads));
  connection_died();
}

void Connection::release_resources() { crypto_port().close(crypto); }

int32_t Connection::raise(int32_t event, int32_t* result, void* event_data, const void* block,
                          uint32_t size) {
  if (callback == nullptr || freed.load()) return 0;
  return callback(user_data, event, result, event_data, block, size);
}

void Connection::record_error(int32_t error_class, uint32_t system_code, const std::string& text) {
  std::lock_guard<std::mutex> lock(error_mutex_);
  if (keeps_first_cause()) return;
  error_class_ = error_class;
  system_code_ = system_code;
  error_text_ = compose_error(error_class, system_code, text);
}

void Connection::record_server_error(int32_t code, const std::string& text) {
  std::lock_guard<std::mutex> lock(error_mutex_);
  if (keeps_first_cause()) return;
  error_class_ = code;
  system_code_ = 0;
  error_text_ = text.substr(0, kMaxErrorText);
}

void Connection::clear_error() {
  std::lock_guard<std::mutex> lock(error_mutex_);
  error_class_ = -1;
  system_code_ = 0;
  error_text_.clear();
}

int32_t Connection::error_class() {
  std::lock_guard<std::mutex> lock(error_mutex_);
  return error_class_;
}

std::string Connection::error_text(uint32_t* system_code) {
  std::lock_guard<std::mutex> lock(error_mutex_);
  if (system_code) *system_code = system_code_;
  return error_text_;
}

int Connection::send(std::span<const uint8_t> bytes, std::string& error) {
  if (!send_allowed.load() || disconnecting.load()) {
    // Refused with a text, so that a message sent while the link closes is
    // never taken for sent.
    error = disconnecting.load() ? ZN_TCP_TEXT_SHUTDOWN : "Connection not established";
    return 0;
  }
  std::unique_lock<std::mutex> lock(send_mutex);
  if (!connected.load()) {
    error = "Connection not established";
    record_error(kApplicationError, 0, error);
    return 0;
  }
  if (!data_mode.load()) {
    uint32_t code = 0;
    int r = link.send_all(bytes, code);
    if (r != kOk) {
      error = "Can't send data to net";
      record_error(r, code, error);
      return 0;
    }
    return 1;
  }
  if (stop_sending.load()) {
    error = ZN_TCP_TEXT_SHUTDOWN;
    return 0;
  }
  // Room first: the wait lets go of the send mutex, and the encryption below
  // must stay in the order of the queue.
  if (!wait_for_send_room(lock, error)) return 0;
  std::string crypto_error;
  if (!crypto_port().encrypt(crypto, bytes, encrypt_buffer, crypto_error)) {
    error = crypto_error;
    record_error(kCryptoError, 0, crypto_error);
    return 0;
  }
  // A longer block would go out with a cut length and break the stream.
  if (encrypt_buffer.size() > largest_block()) {
    error = format("Data block of %zu bytes is longer than a block of the connection can be",
                   encrypt_buffer.size());
    record_error(kApplicationError, 0, error);
    return 0;
  }
  // The protect flags change right after the first message encrypted with the
  // old ones (the layout check), before that message can reach the socket, so
  // the receive thread never decrypts the server's answer with stale flags.
  if (protect_switch_pending.exchange(false)) {
    if (!crypto_port().set_context_param(crypto, ZN_CP_CONTEXT_PARAM_PROTECT_FLAGS,
                                         ZN_CP_PROTECT_FLAGS_CHANNEL, crypto_error)) {
      error = crypto_error;
      record_error(kCryptoError, 0, crypto_error);
      return 0;
    }
  }
  try {
    send_queue.emplace_back(encrypt_buffer.begin(), encrypt_buffer.end());
  } catch (const std::bad_alloc&) {
    error = "Can't create net data object";
    record_error(kApplicationError, 0, error);
    return 0;
  }
  send_count_.fetch_add(1);
  send_cost_.store(send_cost_.load() + encrypt_buffer.size() + kSendBlockCost);
  lock.unlock();
  send_cv.notify_all();
  return 1;
}

bool Connection::wait_for_send_room(std::unique_lock<std::mutex>& lock, std::string& error) {
  auto full = [this] { return send_cost_.load() >= send_bound.load(); };
  // The receive thread never waits: while it waits nothing is read, and what
  // it sends there (answers to pings) is not worth holding the link for.
  if (full() && !on_receive_thread()) {
    send_cv.wait_for(lock, std::chrono::milliseconds(send_wait_ms.load()),
                     [&] { return stop_sending.load() || !full(); });
  }
  if (stop_sending.load()) {
    error = ZN_TCP_TEXT_SHUTDOWN;
    return false;
  }
  if (full()) {
    error = ZN_TCP_TEXT_SEND_QUEUE_FULL;
    return false;
  }
  return true;
}

void Connection::clear_send_queue() {
  std::deque<std::vector<uint8_t>> dropped;
  {
    std::lock_guard<std::mutex> l(send_mutex);
    dropped.swap(send_queue);
    std::vector<uint8_t>().swap(encrypt_buffer);
    send_count_.store(0);
    send_cost_.store(0);
  }
  send_cv.notify_all();
}

int Connection::receive(Block& out, std::string& error) {
  out = Block{};
  if (!receive_allowed.load()) {
    error = disconnecting.load() ? ZN_TCP_TEXT_SHUTDOWN : "Connection not established";
    return 0;
  }
  if (!data_mode.load()) {
    std::lock_guard<std::mutex> lock(receive_mutex);
    int64_t length = 0;
    int r = read_block(read_buffer, length, error);
    if (r != kOk) {
      record_error(r, 0, error);
      return 0;
    }
    if (length > 0) out = make_block({read_buffer.data(), static_cast<std::size_t>(length)});
    return 1;
  }
  std::lock_guard<std::mutex> take(take_mutex_);
  if (stop_receiving.load()) {
    error = ZN_TCP_TEXT_SHUTDOWN;
    return 0;
  }
  if (taken_pages_.empty()) {
    if (taken_blocks_.load(std::memory_order_relaxed) == stored_blocks_.load()) return 1;
    // Everything stored so far comes over in one go; the receive thread goes
    // on filling new pages meanwhile and gets the emptied ones back.
    std::lock_guard<std::mutex> lock(receive_mutex);
    for (Page& page : receive_pages_) taken_pages_.push_back(std::move(page));
    receive_pages_.clear();
    for (Page& page : used_pages_) {
      if (spare_pages_.size() < kSparePages) spare_pages_.push_back(std::move(page));
    }
    used_pages_.clear();
  }
  if (taken_pages_.empty()) return 1;
  Page& page = taken_pages_.front();
  uint32_t size = 0;
  std::memcpy(&size, page.bytes.get() + page.pos, sizeof size);
  try {
    out = make_block({page.bytes.get() + page.pos + sizeof size, size});
  } catch (const std::bad_alloc&) {
    error = "Can't create net data object";  // the block stays for the next call
    return 0;
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
  // Wakes the receive thread only when it waits and what it waits for came.
  if (receive_waiting_.load()) {
    const std::size_t wake_at = wake_at_bytes_.load();
    if (stored_blocks_.load() == taken_blocks ||
        (wake_at > 0 && stored_bytes_.load() - taken_bytes <= wake_at)) {
      { std::lock_guard<std::mutex> lock(receive_mutex); }
      receive_cv.notify_all();
    }
  }
  return 1;
}

std::size_t Connection::queued_receive_blocks() const {
  const uint64_t taken = taken_blocks_.load();  // first: never more than stored
  return static_cast<std::size_t>(stored_blocks_.load() - taken);
}

std::size_t Connection::queued_receive_bytes() const {
  const uint64_t taken = taken_bytes_.load();
  return static_cast<std::size_t>(stored_bytes_.load() - taken);
}

bool Connection::blocks_over(uint64_t limit) {
  const uint64_t stored = stored_blocks_.load(std::memory_order_relaxed);
  if (stored - taken_blocks_seen_ <= limit) return false;
  taken_blocks_seen_ = taken_blocks_.load();
  return stored - taken_blocks_seen_ > limit;
}

bool Connection::bytes_over(uint64_t limit) {
  const uint64_t stored = stored_bytes_.load(std::memory_order_relaxed);
  if (stored - taken_bytes_seen_ <= limit) return false;
  taken_bytes_seen_ = taken_bytes_.load();
  return stored - taken_bytes_seen_ > limit;
}

bool Connection::store_block(std::span<const uint8_t> bytes) {
  const uint32_t size = static_cast<uint32_t>(bytes.size());
  const std::size_t need = sizeof size + bytes.size();
  std::lock_guard<std::mutex> lock(receive_mutex);
  if (stop_receiving.load()) return false;
  if (receive_pages_.empty() || receive_pages_.back().capacity - receive_pages_.back().end < need) {
    Page page;
    if (need <= kPageSize && !spare_pages_.empty()) {
      page = std::move(spare_pages_.back());
      spare_pages_.pop_back();
    } else {
      page.capacity = std::max(kPageSize, need);
      page.bytes = std::make_unique_for_overwrite<uint8_t[]>(page.capacity);
    }
    receive_pages_.push_back(std::move(page));
  }
  Page& tail = receive_pages_.back();
  std::memcpy(tail.bytes.get() + tail.end, &size, sizeof size);
  if (size > 0) std::memcpy(tail.bytes.get() + tail.end + sizeof size, bytes.data(), size);
  tail.end += need;
  // Counted before a taker can see the block (takers read the pages under
  // the receive mutex), so taken never passes stored.
  stored_bytes_.store(stored_bytes_.load(std::memory_order_relaxed) + size,
                      std::memory_order_release);
  stored_blocks_.store(stored_blocks_.load(std::memory_order_relaxed) + 1,
                       std::memory_order_release);
  return true;
}

bool Connection::wait_for_takers(std::size_t bytes, std::chrono::milliseconds timeout) {
  auto reached = [this, bytes] {
    return stop_receiving.load() || queued_receive_blocks() == 0 ||
           (bytes > 0 && queued_receive_bytes() <= bytes);
  };
  std::unique_lock<std::mutex> lock(receive_mutex);
  wake_at_bytes_.store(bytes);
  // Set before the counts are looked at: a taker that lowers them afterwards
  // sees the flag and wakes this wait through the mutex.
  receive_waiting_.store(true);
  const bool done = receive_cv.wait_for(lock, timeout, reached);
  receive_waiting_.store(false);
  return done;
}

void Connection::clear_received() {
  std::lock_guard<std::mutex> take(take_mutex_);
  std::lock_guard<std::mutex> lock(receive_mutex);
  taken_pages_.clear();
  used_pages_.clear();
  receive_pages_.clear();
  spare_pages_.clear();
  taken_blocks_.store(stored_blocks_.load());
  taken_bytes_.store(stored_bytes_.load());
}

std::unique_ptr<platform::Thread> Connection::spawn(const char* thread_name,
                                                    uint32_t (Connection::*body)()) {
  std::shared_ptr<Connection> self = shared_from_this();
  return platform::Thread::start(thread_name, [self, body]() { return ((*self).*body)(); });
}

void Connection::start_connection_thread() {
  std::lock_guard<std::mutex> lock(threads_mutex_);
  connection_thread_ = spawn("zn connect", &Connection::connection_thread_main);
}

bool Connection::is_own_thread(const std::unique_ptr<platform::Thread>& t) const {
  return t && t->id() == platform::current_thread_id();
}

bool Connection::start_disconnect(bool synchronous, std::string& error) {
  if (disconnecting.exchange(true)) return true;
  if (synchronous) {
    run_stop();
    return true;
  }
  try {
    std::lock_guard<std::mutex> lock(threads_mutex_);
    disconnect_thread_ = spawn("zn disconnect", &Connection::run_stop_thread);
  } catch (const std::exception&) {
    error = "Can't create connection disconnecting thread.";
    record_error(kSystemError, 0, error);
    return false;
  }
  return true;
}

uint32_t Connection::run_stop_thread() {
  run_stop();
  return 0;
}

namespace {

// Waits for a thread of the connection to end; it never kills it. A thread
// that has not ended in time is logged and waited for until it ends.
void join_logged(platform::Thread* t, uint32_t timeout_ms, const std::string& connection) {
  if (t == nullptr || t->id() == platform::current_thread_id()) return;
  if (t->join(timeout_ms)) return;
  std::fprintf(stderr, "zn_dtcp: connection \"%s\": thread \"%s\" still runs after %u ms\n",
               connection.c_str(), t->name().c_str(), timeout_ms);
  t->join(platform::kInfinite);
}

}  // namespace

void Connection::stop_threads() {
  platform::Thread* connect = nullptr;
  platform::Thread* sender = nullptr;
  platform::Thread* receiver = nullptr;
  {
    std::lock_guard<std::mutex> lock(threads_mutex_);
    connect = connection_thread_.get();
    sender = send_thread_.get();
    receiver = receive_thread_.get();
  }
  join_logged(connect, 1000, name);
  join_logged(sender, 3000, name);
  join_logged(receiver, 3000, name);
}

void Connection::stop_io() {
  stop_sending.store(true);
  stop_receiving.store(true);
  link.stop();
  // Taking each mutex once orders the flags before the wake-ups.
  { std::lock_guard<std::mutex> l(send_mutex); }
  send_cv.notify_all();
  { std::lock_guard<std::mutex> l(receive_mutex); }
  receive_cv.notify_all();
}

void Connection::run_stop() {
  std::shared_ptr<Connection> keep = shared_from_this();
  if (graceful.load()) {
    send_allowed.store(false);
    platform::Thread* connect = nullptr;
    platform::Thread* sender = nullptr;
    platform::Thread* receiver = nullptr;
    {
      std::lock_guard<std::mutex> lock(threads_mutex_);
      connect = connection_thread_.get();
      sender = send_thread_.get();
      receiver = receive_thread_.get();
    }
    if (connect != nullptr && !connect->finished()) {
      // Still negotiating: its waits end on the stop signal.
      stop_io();
      join_logged(connect, 1000, name);
    }
    if (sender != nullptr && !link.stopped()) {
      // Let the send thread write what is queued (the logout), then tell the
      // peer that nothing more comes and give it a moment to close its side.
      std::unique_lock<std::mutex> lock(send_mutex);
      send_cv.wait_for(lock, std::chrono::milliseconds(100),
                       [this] { return send_queue.empty() && !send_in_flight; });
    }
    link.shutdown_send();
    if (receiver != nullptr && receiver->id() != platform::current_thread_id()) {
      receiver->join(100);
    }
    stop_io();
    join_logged(sender, 3000, name);
    join_logged(receiver, 3000, name);
    link.close();
    clear_error();
  } else {
    send_allowed.store(false);
    receive_allowed.store(false);
    stop_io();
    stop_threads();
    link.shutdown_both();
    link.close();
  }
  int32_t result = 0;
  raise(ZN_TCP_EVENT_CLOSED, &result, nullptr, nullptr, 0);
  connected.store(false);
  clear_send_queue();
  clear_received();
  result = 0;
  raise(ZN_TCP_EVENT_FREEING, &result, nullptr, nullptr, 0);
  freed.store(true);
  unlink_connection(this);
  release_resources();
}

void Connection::stop_quietly() {
  freed.store(true);  // no more events
  disconnecting.store(true);
  send_allowed.store(false);
  receive_allowed.store(false);
  stop_io();
  stop_threads();
  platform::Thread* disconnect = nullptr;
  {
    std::lock_guard<std::mutex> lock(threads_mutex_);
    disconnect = disconnect_thread_.get();
  }
  join_logged(disconnect, 3000, name);
  link.shutdown_both();
  link.close();
  clear_send_queue();
  clear_received();
  release_resources();
}

}  // namespace kelda::dtcp
