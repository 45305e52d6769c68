// Sending one ICMP echo request and waiting for its reply.
//
// EchoSender is the seam the dialog uses; IcmpEchoSender is the real one. It
// opens an unprivileged ICMP datagram socket where the system allows it, else
// a raw ICMP socket; when neither can be opened, open() answers false and
// error_text() says why. A reply counts only when it parses (lengths and
// checksum), is an echo reply and carries the request's identifier and
// sequence; other packets that arrive meanwhile are skipped.
//
// Threading: one object per thread; no shared state. No exceptions.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace kelda::ping {

struct EchoResult {
  bool answered = false;
  int round_trip_ms = -1;  // when answered
};

class EchoSender {
 public:
  virtual ~EchoSender() = default;
  // `destination` in network byte order; waits at most `timeout`.
  virtual EchoResult send_echo(std::uint32_t destination, std::chrono::milliseconds timeout) = 0;
  // Why no request can be sent at all (empty when requests can be sent).
  virtual std::u16string unavailable_reason() { return {}; }
};

class IcmpEchoSender final : public EchoSender {
 public:
  IcmpEchoSender();
  ~IcmpEchoSender() override;
  IcmpEchoSender(const IcmpEchoSender&) = delete;
  IcmpEchoSender& operator=(const IcmpEchoSender&) = delete;

  // Opens the socket (once; later calls answer the first result).
  bool open();
  // Why open() failed (empty when it did not).
  const std::string& error_text() const { return error_text_; }
  // True when the socket is a raw one (replies carry the IP header).
  bool raw() const { return raw_; }

  EchoResult send_echo(std::uint32_t destination, std::chrono::milliseconds timeout) override;
  std::u16string unavailable_reason() override {
    return open() ? std::u16string() : std::u16string(error_text_.begin(), error_text_.end());
  }

 private:
  int fd_ = -1;
  bool tried_ = false;
  bool raw_ = false;
  std::uint16_t id_ = 0;
  std::uint16_t sequence_ = 0;
  std::string error_text_;
};

}  // namespace kelda::ping
