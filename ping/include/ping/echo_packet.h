// ICMP echo packets: building a request and reading a reply.
//
// A request is an ICMP echo header (type 8) with an identifier, a sequence
// number and an optional payload, checksummed. A reply is read from the bytes
// a socket delivered: with an IPv4 header in front (raw sockets) or without
// (ICMP datagram sockets). A reply counts only when every length is in range,
// the checksum is right, the type is echo reply (0) and the identifier and
// sequence are the ones expected; anything else (a foreign, short or damaged
// packet) is ignored by the caller.
//
// Pure functions, no state: any thread. No exceptions.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kelda::ping {

inline constexpr std::size_t icmp_header_size = 8;
inline constexpr std::uint8_t icmp_echo_request = 8;
inline constexpr std::uint8_t icmp_echo_reply = 0;

// The Internet checksum (ones' complement of the ones' complement sum).
std::uint16_t internet_checksum(std::span<const std::uint8_t> bytes);

std::vector<std::uint8_t> build_echo_request(std::uint16_t id, std::uint16_t sequence,
                                             std::span<const std::uint8_t> payload);

struct EchoReply {
  std::uint16_t id = 0;
  std::uint16_t sequence = 0;
  std::uint32_t source = 0;  // network byte order; 0 when no IP header was seen
  std::size_t payload_size = 0;
};

// Reads one echo reply. `with_ip_header`: the bytes start with an IPv4
// header (raw socket). Answers nothing for anything that is not a complete,
// well-formed echo reply.
std::optional<EchoReply> parse_echo_reply(std::span<const std::uint8_t> bytes,
                                          bool with_ip_header);

// True when `reply` answers the request (id, sequence).
inline bool reply_matches(const EchoReply& reply, std::uint16_t id, std::uint16_t sequence) {
  return reply.id == id && reply.sequence == sequence;
}

}  // namespace kelda::ping
