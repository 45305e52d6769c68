#include "socket_io.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/last_error.h"

namespace kelda::dtcp {

namespace {

constexpr std::size_t kReadAhead = 64 * 1024;

using Clock = std::chrono::steady_clock;

int64_t elapsed_ms(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

uint32_t socket_code_of(int err) { return platform::socket_error_from_errno(err); }

}  // namespace

Link::Link() : read_buffer_(kReadAhead) {
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

Link::~Link() {
  close();
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

bool Link::create(uint32_t& socket_code) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0 || wake_fd_ < 0) {
    socket_code = socket_code_of(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  fd_.store(fd);
  return true;
}

void Link::adopt(int fd) {
  int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  fd_.store(fd);
}

void Link::set_counters(uint32_t* written, uint32_t* read) {
  std::lock_guard<std::mutex> lock(counters_mutex_);
  written_ = written;
  read_ = read;
}

void Link::add_counter(uint32_t* Link::*counter, std::size_t n) {
  std::lock_guard<std::mutex> lock(counters_mutex_);
  if (uint32_t* p = this->*counter) {
    // The owner reads its counters while they grow.
    std::atomic_ref<uint32_t>(*p).fetch_add(static_cast<uint32_t>(n), std::memory_order_relaxed);
  }
}

int Link::wait_for(short events, int timeout_ms, uint32_t& socket_code) {
  if (stopped_.load()) return kStopped;
  pollfd fds[2] = {{fd_.load(), events, 0}, {wake_fd_, POLLIN, 0}};
  int n = ::poll(fds, 2, timeout_ms);
  if (n < 0) {
    if (errno == EINTR) return kTimedOut;
    socket_code = socket_code_of(errno);
    return kSocketError;
  }
  if (stopped_.load() || (fds[1].revents & POLLIN)) return kStopped;
  if (n == 0) return kTimedOut;
  return kOk;  // ready, or an error/hang-up that the next call reports
}

int Link::connect_to(uint32_t address, uint16_t port, uint32_t timeout_ms, uint32_t& socket_code) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = address;
  if (::connect(fd_.load(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return kOk;
  if (errno != EINPROGRESS) {
    socket_code = socket_code_of(errno);
    return kSocketError;
  }
  Clock::time_point start = Clock::now();
  for (;;) {
    int wait = -1;
    if (timeout_ms > 0) {
      int64_t left = static_cast<int64_t>(timeout_ms) - elapsed_ms(start);
      if (left <= 0) return kTimedOut;
      wait = static_cast<int>(left);
    }
    int r = wait_for(POLLOUT, wait, socket_code);
    if (r == kTimedOut) continue;
    if (r != kOk) return r;
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd_.load(), SOL_SOCKET, SO_ERROR, &err, &len);
    if (err != 0) {
      socket_code = socket_code_of(err);
      return kSocketError;
    }
    return kOk;
  }
}

int Link::send_all(std::span<const uint8_t> bytes, uint32_t& socket_code) {
  const uint32_t t = check_timeout_ms_.load();
  const int64_t limit = t > 0 ? (static_cast<int64_t>(t) / 3) * 2 : -1;
  std::size_t done = 0;
  int64_t waited = 0;
  while (done < bytes.size()) {
    if (stopped_.load()) return kStopped;
    ssize_t n = ::send(fd_.load(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      add_counter(&Link::written_, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      socket_code = socket_code_of(errno);
      return kSocketError;
    }
    Clock::time_point start = Clock::now();
    int wait = -1;
    if (limit >= 0) {
      if (waited >= limit) return kTimedOut;
      wait = static_cast<int>(limit - waited);
    }
    int r = wait_for(POLLOUT, wait, socket_code);
    waited += elapsed_ms(start);
    if (r == kTimedOut) {
      if (limit >= 0 && waited >= limit) return kTimedOut;
      continue;
    }
    if (r != kOk) return r;
  }
  return kOk;
}

int Link::recv_exact(std::span<uint8_t> out, uint32_t& socket_code) {
  const uint32_t t = check_timeout_ms_.load();
  std::size_t done = 0;
  int64_t waited = 0;
  while (done < out.size()) {
    if (read_pos_ < read_end_) {
      std::size_t n = std::min(out.size() - done, read_end_ - read_pos_);
      std::memcpy(out.data() + done, read_buffer_.data() + read_pos_, n);
      read_pos_ += n;
      done += n;
      continue;
    }
    if (stopped_.load()) return kStopped;
    read_pos_ = read_end_ = 0;
    // Large remainders go straight to the caller; small reads fill the buffer.
    std::size_t want = out.size() - done;
    bool direct = want >= read_buffer_.size();
    ssize_t n = direct ? ::recv(fd_.load(), out.data() + done, want, 0)
                       : ::recv(fd_.load(), read_buffer_.data(), read_buffer_.size(), 0);
    if (n > 0) {
      add_counter(&Link::read_, static_cast<std::size_t>(n));
      if (direct) {
        done += static_cast<std::size_t>(n);
      } else {
        read_end_ = static_cast<std::size_t>(n);
      }
      continue;
    }
    if (n == 0) return kPeerClosed;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      socket_code = socket_code_of(errno);
      return kSocketError;
    }
    Clock::time_point start = Clock::now();
    int wait = -1;
    if (t > 0) {
      if (waited > static_cast<int64_t>(t)) return kTimedOut;
      wait = static_cast<int>(static_cast<int64_t>(t) - waited + 1);
    }
    int r = wait_for(POLLIN, wait, socket_code);
    waited += elapsed_ms(start);
    if (r == kTimedOut) {
      if (t > 0 && waited > static_cast<int64_t>(t)) return kTimedOut;
      continue;
    }
    if (r != kOk) return r;
  }
  return kOk;
}

int Link::wait_readable(uint32_t timeout_ms, uint32_t& socket_code) {
  if (read_pos_ < read_end_) return kOk;
  return wait_for(POLLIN, static_cast<int>(timeout_ms), socket_code);
}

void Link::stop() {
  stopped_.store(true);
  if (wake_fd_ >= 0) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
  }
}

void Link::shutdown_send() {
  int fd = fd_.load();
  if (fd >= 0) ::shutdown(fd, SHUT_WR);
}

void Link::shutdown_both() {
  int fd = fd_.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void Link::close() {
  int fd = fd_.exchange(-1);
  if (fd >= 0) ::close(fd);
}

}  // namespace kelda::dtcp
