// Reads and writes of the proxy negotiation: every read watches one deadline
// for the whole answer, so a proxy that stalls or trickles is cut off.
// Used by the connection thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "connection.h"

namespace kelda::dtcp {

class ProxyIo {
 public:
  // The deadline is the check time-out, 150 seconds when that is 0.
  explicit ProxyIo(Connection& c);

  // Reads exactly out.size() bytes before the deadline: kOk, kTimedOut,
  // kPeerClosed, kStopped or kSocketError.
  int read(std::span<uint8_t> out);
  // Writes every byte (send_all): kOk or the socket result.
  int write(std::span<const uint8_t> bytes);
  int write(const std::string& text);

  Connection& connection() { return c_; }
  // "a.b.c.d:port" of the proxy.
  const std::string& endpoint() const { return endpoint_; }

 private:
  Connection& c_;
  std::chrono::steady_clock::time_point deadline_;
  std::string endpoint_;
};

int negotiate_http(ProxyIo& io, std::string& error);
int negotiate_socks5(ProxyIo& io, std::string& error);

}  // namespace kelda::dtcp
