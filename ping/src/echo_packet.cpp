#include "ping/echo_packet.h"

namespace kelda::ping {
namespace {

std::uint16_t read_be16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

constexpr std::size_t ip_min_header = 20;
constexpr std::uint8_t ip_protocol_icmp = 1;

}  // namespace

std::uint16_t internet_checksum(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) sum += read_be16(bytes, i);
  if (i < bytes.size()) sum += static_cast<std::uint32_t>(bytes[i]) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::vector<std::uint8_t> build_echo_request(std::uint16_t id, std::uint16_t sequence,
                                             std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> packet(icmp_header_size + payload.size(), 0);
  packet[0] = icmp_echo_request;
  packet[4] = static_cast<std::uint8_t>(id >> 8);
  packet[5] = static_cast<std::uint8_t>(id);
  packet[6] = static_cast<std::uint8_t>(sequence >> 8);
  packet[7] = static_cast<std::uint8_t>(sequence);
  for (std::size_t i = 0; i < payload.size(); ++i) packet[icmp_header_size + i] = payload[i];
  const std::uint16_t sum = internet_checksum(packet);
  packet[2] = static_cast<std::uint8_t>(sum >> 8);
  packet[3] = static_cast<std::uint8_t>(sum);
  return packet;
}

std::optional<EchoReply> parse_echo_reply(std::span<const std::uint8_t> bytes,
                                          bool with_ip_header) {
  EchoReply reply;
  std::span<const std::uint8_t> icmp = bytes;
  if (with_ip_header) {
    if (bytes.size() < ip_min_header || (bytes[0] >> 4) != 4) return std::nullopt;
    const std::size_t header_size = static_cast<std::size_t>(bytes[0] & 0x0F) * 4;
    const std::size_t total = read_be16(bytes, 2);
    if (header_size < ip_min_header || total < header_size || total > bytes.size())
      return std::nullopt;
    if (bytes[9] != ip_protocol_icmp) return std::nullopt;
    reply.source = static_cast<std::uint32_t>(bytes[12]) | static_cast<std::uint32_t>(bytes[13]) << 8 |
                   static_cast<std::uint32_t>(bytes[14]) << 16 |
                   static_cast<std::uint32_t>(bytes[15]) << 24;
    icmp = bytes.subspan(header_size, total - header_size);
  }
  if (icmp.size() < icmp_header_size) return std::nullopt;
  if (icmp[0] != icmp_echo_reply || icmp[1] != 0) return std::nullopt;
  if (internet_checksum(icmp) != 0) return std::nullopt;
  reply.id = read_be16(icmp, 4);
  reply.sequence = read_be16(icmp, 6);
  reply.payload_size = icmp.size() - icmp_header_size;
  return reply;
}

}  // namespace kelda::ping
