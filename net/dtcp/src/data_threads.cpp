// The send and receive threads of a connection in data mode: packing queued
// blocks into socket writes, keep-alive blocks, loss-of-link detection,
// decryption and the hand-over of received blocks to the upper layer.
#include <chrono>

#include "frames.h"
#include "library.h"
#include "texts.h"

namespace kelda::dtcp {

namespace {

using Clock = std::chrono::steady_clock;

// The connection whose receive thread this is (null on any other thread).
thread_local const Connection* t_receiving_for = nullptr;

void append_block(std::vector<uint8_t>& out, uint32_t width, std::span<const uint8_t> bytes) {
  const uint32_t n = static_cast<uint32_t>(bytes.size());
  if (width == 2) {
    out.push_back(static_cast<uint8_t>(n >> 8));
    out.push_back(static_cast<uint8_t>(n));
  } else {
    uint8_t b[4];
    store_be32(b, n);
    out.insert(out.end(), b, b + 4);
  }
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

uint32_t Connection::send_thread_main() {
  std::vector<uint8_t> packed;
  Clock::time_point last_write = Clock::now();
  auto write_failed = [this](int r, uint32_t code) {
    if (r != kStopped) end_link({r, r == kTimedOut ? "" : "Can't send data to net", code});
    std::lock_guard<std::mutex> l(send_mutex);
    send_in_flight = false;
    send_cv.notify_all();
    return 0u;
  };
  std::unique_lock<std::mutex> lock(send_mutex);
  for (;;) {
    if (stop_sending.load()) return 0;
    const int32_t packets = packets_size.load();
    const int32_t tmo = packets_tmo.load();
    bool stopped_by_node = false;
    bool took = false;
    while (!send_queue.empty()) {
      std::vector<uint8_t>& head = send_queue.front();
      if (packets > 0 && !packed.empty() &&
          packed.size() + width + head.size() > static_cast<std::size_t>(packets)) {
        stopped_by_node = true;
        break;
      }
      if (packed.capacity() < packed.size() + width + head.size()) {
        packed.reserve(std::max(packed.size() + width + head.size(), packed.capacity() * 2));
      }
      append_block(packed, width, head);
      send_cost_.store(send_cost_.load() - head.size() - kSendBlockCost);
      send_queue.pop_front();
      send_count_.fetch_sub(1);
      took = true;
      if (packets <= 0) {
        stopped_by_node = true;  // without packing every block leaves at once
        break;
      }
    }
    send_in_flight = took || !packed.empty();
    lock.unlock();
    if (took) send_cv.notify_all();  // senders waiting for room in the queue

    uint32_t code = 0;
    bool wrote = false;
    const bool flush_now =
        !packed.empty() &&
        (stopped_by_node || tmo <= 0 ||
         Clock::now() - last_write >= std::chrono::milliseconds(tmo));
    if (flush_now) {
      int r = link.send_all(packed, code);
      if (r != kOk) return write_failed(r, code);
      packed.clear();
      last_write = Clock::now();
      wrote = true;
    }
    if (!stopped_by_node && keep_alive_requests.load() > 0) {
      keep_alive_requests.fetch_sub(1);
      if (!wrote) {
        int r = write_block_length(0, code);
        if (r != kOk) return write_failed(r, code);
      }
    }
    lock.lock();
    send_in_flight = !packed.empty();
    send_cv.notify_all();
    if (stopped_by_node) continue;
    auto ready = [this] {
      return stop_sending.load() || !send_queue.empty() || keep_alive_requests.load() > 0;
    };
    if (packed.empty() || tmo <= 0) {
      send_cv.wait(lock, ready);
    } else {
      send_cv.wait_until(lock, last_write + std::chrono::milliseconds(tmo), ready);
    }
  }
}

bool Connection::on_receive_thread() const { return t_receiving_for == this; }

uint32_t Connection::receive_thread_main() {
  t_receiving_for = this;
  Clock::time_point mark = Clock::now();  // last data or last keep-alive request
  int requests = 0;
  bool handled = false;  // blocks handled since the mark was last set
  auto ask_keep_alive = [this] {
    keep_alive_requests.fetch_add(1);
    { std::lock_guard<std::mutex> l(send_mutex); }
    send_cv.notify_all();
  };
  for (;;) {
    if (stop_receiving.load()) return 0;
    const int64_t t = link.check_timeout_ms();
    const int64_t third = t > 0 ? std::max<int64_t>(t / 3, 1) : 0;
    if (received_.bytes_over(receive_bound.load())) {
      if (announce_stored() != kOk) return 0;
      // Back-pressure: the socket is not read until the caller has taken the
      // stored bytes down to the bound; the peer's writes then wait in TCP.
      // The silence is ours, not the peer's, so it never counts as a lost
      // link; keep-alive blocks still go out each third of the check time-out
      // so that the server does not take the client for gone either.
      receive_paused_.store(true);
      while (!received_.wait_for_takers(receive_bound.load(),
                              std::chrono::milliseconds(third > 0 ? third : 1000))) {
        if (stop_receiving.load()) break;
        if (third > 0) ask_keep_alive();
      }
      receive_paused_.store(false);
      mark = Clock::now();
      requests = 0;
      continue;
    }
    int64_t wait = 1000;
    const bool buffered = link.has_buffered();
    // A burst ends with the blocks read ahead: what it stored is announced
    // at once, so the caller wakes once per burst rather than per block.
    if (!buffered && announce_stored() != kOk) return 0;
    if (!buffered && handled) {
      // The blocks just handled count as data received now.
      mark = Clock::now();
      handled = false;
    }
    if (t > 0 && !buffered) {
      const int64_t since =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - mark).count();
      if (since >= third) {
        if (requests < 3) {
          ++requests;
          ask_keep_alive();
          mark = Clock::now();
          continue;
        }
        end_link({kTimedOut, ""});
        return 0;
      }
      wait = third - since;
    }
    if (!buffered) {
      uint32_t code = 0;
      int r = link.wait_readable(static_cast<uint32_t>(wait), code);
      if (r == kStopped) return 0;
      if (r == kTimedOut) continue;
      if (r != kOk) {
        end_link({kSocketError, "Can't wait for data from net", code});
        return 0;
      }
      mark = Clock::now();
      requests = 0;
      keep_alive_requests.store(0);
    }
    // Blocks already read ahead are handled one after another without a
    // clock or a poll each.
    if (receive_one() != kOk) return 0;
    handled = true;
  }
}

int Connection::receive_one() {
  std::string error;
  int64_t length = 0;
  int r = read_block(read_buffer, length, error);
  // Anything but a data block (a frame, a keep-alive, the end) comes after
  // the blocks stored before it have been announced.
  if (r != kOk || length <= 0) {
    const int announced = r == kStopped ? kOk : announce_stored();
    if (announced != kOk) return announced;
  }
  if (r == kStopped) return r;
  if (r == kPeerClosed) {
    std::string ignored;
    start_disconnect(false, ignored);  // the peer's close has no text of its own
    return r;
  }
  if (r != kOk) return end_link({r, error});
  if (length == 0) return kOk;
  if (length == -1) {
    int32_t answer = 0;
    r = read_server_message(answer, error);
    if (r == kStopped || r == kOk) return r;
    return end_link({r, error});
  }
  std::string crypto_error;
  if (!crypto_port().decrypt(crypto, {read_buffer.data(), static_cast<std::size_t>(length)},
                             decrypt_buffer, crypto_error)) {
    return end_link({kCryptoError, crypto_error});
  }
  // The upper layer sees the decrypted bytes in place; a kept block is
  // copied into the receive pages afterwards.
  static const uint8_t kNoBytes = 0;
  const uint8_t* bytes = decrypt_buffer.empty() ? &kNoBytes : decrypt_buffer.data();
  const uint32_t size = static_cast<uint32_t>(decrypt_buffer.size());
  int32_t result = ZN_KEEP_BLOCK;
  if (raise(ZN_TCP_EVENT_DATA, &result, nullptr, bytes, size) < 0) {
    return end_link({kApplicationError,
                     "When notify about receiving new data from net, TCP callback return "
                     "negative value."});
  }
  if (result != ZN_KEEP_BLOCK) return kOk;
  try {
    if (!received_.store({bytes, size})) return kStopped;
  } catch (const std::bad_alloc&) {
    return end_link({kApplicationError, "Can't create net data object"});
  }
  // The stored block is announced when the burst it came in ends.
  unannounced_.push_back(size);
  const uint32_t threshold = receive_threshold.load();
  if (threshold > 0 && received_.blocks_over(threshold)) {
    // Flow control: give the reader up to a second to empty the queue.
    const int r = announce_stored();
    if (r != kOk) return r;
    received_.wait_for_takers(0, std::chrono::milliseconds(1000));
  }
  return kOk;
}

int Connection::announce_stored() {
  // A stored block may be taken and freed by another thread at once, so the
  // event names its size only.
  for (const uint32_t size : unannounced_) {
    int32_t result = ZN_KEEP_BLOCK;
    if (raise(ZN_TCP_EVENT_STORED, &result, nullptr, nullptr, size) < 0) {
      unannounced_.clear();
      return end_link({kApplicationError,
                       "When notify about storing new data from net, TCP callback return "
                       "negative value."});
    }
  }
  unannounced_.clear();
  return kOk;
}

}  // namespace kelda::dtcp
