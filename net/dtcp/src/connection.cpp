#include "connection.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "library.h"
#include "texts.h"

namespace kelda::dtcp {

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
  Lock lock(error_mutex_);
  if (keeps_first_cause()) return;
  error_class_ = error_class;
  system_code_ = system_code;
  error_text_ = compose_error(error_class, system_code, text);
}

int Connection::fail(std::string& error, Failure failure) {
  error = std::move(failure.text);
  record_error(failure.error_class, failure.system_code, error);
  return 0;
}

int Connection::end_link(Failure failure) {
  record_error(failure.error_class, failure.system_code, failure.text);
  std::string ignored;
  start_disconnect(false, ignored);
  return failure.error_class;
}

void Connection::record_server_error(int32_t code, const std::string& text) {
  Lock lock(error_mutex_);
  if (keeps_first_cause()) return;
  error_class_ = code;
  system_code_ = 0;
  error_text_ = text.substr(0, kMaxErrorText);
}

void Connection::clear_error() {
  Lock lock(error_mutex_);
  error_class_ = -1;
  system_code_ = 0;
  error_text_.clear();
}

int32_t Connection::error_class() {
  Lock lock(error_mutex_);
  return error_class_;
}

std::string Connection::error_text(uint32_t* system_code) {
  Lock lock(error_mutex_);
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
  if (!connected.load()) return fail(error, {kApplicationError, "Connection not established"});
  if (!data_mode.load()) {
    uint32_t code = 0;
    int r = link.send_all(bytes, code);
    if (r != kOk) return fail(error, {r, "Can't send data to net", code});
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
    return fail(error, {kCryptoError, crypto_error});
  }
  // A longer block would go out with a cut length and break the stream.
  if (encrypt_buffer.size() > largest_block()) {
    return fail(error, {kApplicationError,
                        format("Data block of %zu bytes is longer than a block of the connection "
                               "can be",
                               encrypt_buffer.size())});
  }
  // The protect flags change right after the first message encrypted with the
  // old ones (the layout check), before that message can reach the socket, so
  // the receive thread never decrypts the server's answer with stale flags.
  if (protect_switch_pending.exchange(false)) {
    if (!crypto_port().set_context_param(crypto, ZN_CP_CONTEXT_PARAM_PROTECT_FLAGS,
                                         ZN_CP_PROTECT_FLAGS_CHANNEL, crypto_error)) {
      return fail(error, {kCryptoError, crypto_error});
    }
  }
  try {
    send_queue.emplace_back(encrypt_buffer.begin(), encrypt_buffer.end());
  } catch (const std::bad_alloc&) {
    return fail(error, {kApplicationError, "Can't create net data object"});
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
    // The wait ends when room comes, the link stops, or the limit (which
    // may be lowered meanwhile) has passed since the wait began.
    const auto began = std::chrono::steady_clock::now();
    auto deadline = [&] { return began + std::chrono::milliseconds(send_wait_ms.load()); };
    sends_waiting_.fetch_add(1);
    while (!stop_sending.load() && full() && std::chrono::steady_clock::now() < deadline()) {
      send_cv.wait_until(lock, deadline());
    }
    sends_waiting_.fetch_sub(1);
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
    if (r != kOk) return fail(error, {r, error});
    if (length > 0) out = make_block({read_buffer.data(), static_cast<std::size_t>(length)});
    return 1;
  }
  switch (received_.take(out)) {
    case ReceiveQueue::Taken::block:
    case ReceiveQueue::Taken::empty:
      return 1;
    case ReceiveQueue::Taken::stopped:
      error = ZN_TCP_TEXT_SHUTDOWN;
      return 0;
    case ReceiveQueue::Taken::no_memory:
      break;
  }
  error = "Can't create net data object";  // the block stays for the next call
  return 0;
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

void Connection::arm_protect_switch() {
  if (crypto.provider_name == "Sekura32") protect_switch_pending.store(true);
}

bool Connection::set_param(uint32_t number, uintptr_t value, std::string& error) {
  switch (number) {
    case ZN_TCP_PARAM_RECEIVE_THRESHOLD:
      receive_threshold.store(static_cast<uint32_t>(value));
      return true;
    case ZN_TCP_PARAM_SEND_WAIT_MS: {
      send_wait_ms.store(static_cast<uint32_t>(std::min<uintptr_t>(value, UINT32_MAX)));
      // A send already waiting ends its wait under the new limit.
      { std::lock_guard<std::mutex> l(send_mutex); }
      send_cv.notify_all();
      return true;
    }
    default:
      error = format("Unknown connection parameter %u", number);
      return false;
  }
}

bool Connection::request_disconnect(bool synchronous, std::string& error) {
  if (!disconnecting.load()) graceful.store(true);
  return start_disconnect(synchronous, error);
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
    return fail(error, {kSystemError, "Can't create connection disconnecting thread."});
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
  received_.stop();
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
  received_.clear();
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
  received_.clear();
  release_resources();
}

}  // namespace kelda::dtcp
