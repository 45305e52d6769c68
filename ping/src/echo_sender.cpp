#include "ping/echo_sender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <random>

#include "ping/echo_packet.h"

namespace kelda::ping {
namespace {

using Clock = std::chrono::steady_clock;

std::uint16_t random_id() {
  std::random_device device;
  return static_cast<std::uint16_t>(device());
}

}  // namespace

IcmpEchoSender::IcmpEchoSender() = default;

IcmpEchoSender::~IcmpEchoSender() {
  if (fd_ >= 0) ::close(fd_);
}

bool IcmpEchoSender::open() {
  if (tried_) return fd_ >= 0;
  tried_ = true;
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd_ >= 0) {
    // The kernel puts the socket's port into the identifier of every request
    // and hands this socket only the replies that carry it.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    socklen_t size = sizeof local;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size) == 0) {
      id_ = ntohs(local.sin_port);
      return true;
    }
    ::close(fd_);
    fd_ = -1;
  }
  const int datagram_error = errno;
  fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd_ >= 0) {
    raw_ = true;
    id_ = random_id();
    return true;
  }
  const int raw_error = errno;
  error_text_ = std::string("Cannot send ICMP echo requests: the system allows neither an ICMP "
                            "datagram socket (") +
                std::strerror(datagram_error) + ", see net.ipv4.ping_group_range) nor a raw socket (" +
                std::strerror(raw_error) + ", needs CAP_NET_RAW).";
  return false;
}

EchoResult IcmpEchoSender::send_echo(std::uint32_t destination, std::chrono::milliseconds timeout) {
  if (!open()) return {};
  const std::uint16_t sequence = ++sequence_;
  const std::vector<std::uint8_t> request = build_echo_request(id_, sequence, {});
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = destination;
  const Clock::time_point sent = Clock::now();
  if (::sendto(fd_, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
    return {};
  const Clock::time_point deadline = sent + timeout;
  std::array<std::uint8_t, 1500> buffer{};
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() < 0) return {};
    pollfd wait{fd_, POLLIN, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return {};
    sockaddr_in from{};
    socklen_t from_size = sizeof from;
    const ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &from_size);
    if (got <= 0) continue;
    const auto reply = parse_echo_reply(std::span(buffer.data(), static_cast<std::size_t>(got)), raw_);
    if (!reply || !reply_matches(*reply, id_, sequence)) continue;
    if (from.sin_addr.s_addr != destination) continue;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
    return {true, static_cast<int>(elapsed.count())};
  }
}

}  // namespace kelda::ping
