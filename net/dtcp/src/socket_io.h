// The socket of one connection: non-blocking connect, exact reads through a
// read-ahead buffer, complete writes, all with waits that also watch the
// connection's stop signal (an eventfd) so that no call outlives a stop.
//
// Threading: writes are serialised by the caller (the send mutex or the send
// thread alone); reads by the one thread that owns reading at a time (the
// connection thread while negotiating, then the receive thread). stop() and
// shutdown() may be called from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace kelda::dtcp {

// Socket results shared by all transport code.
inline constexpr int kOk = 1024;
inline constexpr int kStopped = 1;
inline constexpr int kTimedOut = 2;
inline constexpr int kPeerClosed = 4;
inline constexpr int kSocketError = -5;
inline constexpr int kApplicationError = -3;
inline constexpr int kSystemError = -4;
inline constexpr int kCryptoError = -7;

class Link {
 public:
  Link();
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Creates the socket; false with the socket error code.
  bool create(uint32_t& socket_code);
  // Adopts an already connected socket (tests and fuzzing).
  void adopt(int fd);
  // Connects to an IPv4 address (network order) and port, waiting at most
  // timeout_ms (0: no limit) and watching the stop signal.
  int connect_to(uint32_t address, uint16_t port, uint32_t timeout_ms, uint32_t& socket_code);

  // Writes every byte. Unwritable for more than two thirds of the check
  // time-out gives kTimedOut (no limit when it is 0).
  int send_all(std::span<const uint8_t> bytes, uint32_t& socket_code);
  // Reads exactly out.size() bytes; more than the check time-out waited gives
  // kTimedOut (no limit when it is 0).
  int recv_exact(std::span<uint8_t> out, uint32_t& socket_code);
  // Waits up to timeout_ms for readable data (buffered or on the socket).
  // kOk readable, kTimedOut nothing yet, kStopped, kSocketError.
  int wait_readable(uint32_t timeout_ms, uint32_t& socket_code);
  bool has_buffered() const { return read_pos_ < read_end_; }

  void set_check_timeout_ms(uint32_t ms) { check_timeout_ms_.store(ms); }
  uint32_t check_timeout_ms() const { return check_timeout_ms_.load(); }
  // The caller's byte counters (null: none). Once this returns, the counters
  // it replaced are no longer written, so their owner may free them.
  void set_counters(uint32_t* written, uint32_t* read);

  // Sets the stop signal: every wait ends with kStopped.
  void stop();
  bool stopped() const { return stopped_.load(); }
  void shutdown_send();
  void shutdown_both();
  void close();
  bool is_open() const { return fd_.load() >= 0; }

 private:
  int wait_for(short events, int timeout_ms, uint32_t& socket_code);  // kOk, kTimedOut, kStopped, kSocketError
  void add_counter(uint32_t* Link::*counter, std::size_t n);

  std::atomic<int> fd_{-1};
  int wake_fd_ = -1;
  std::atomic<bool> stopped_{false};
  std::atomic<uint32_t> check_timeout_ms_{0};
  std::mutex counters_mutex_;  // held while a counter is written or replaced
  uint32_t* written_ = nullptr;
  uint32_t* read_ = nullptr;
  std::vector<uint8_t> read_buffer_;
  std::size_t read_pos_ = 0;
  std::size_t read_end_ = 0;
};

}  // namespace kelda::dtcp
