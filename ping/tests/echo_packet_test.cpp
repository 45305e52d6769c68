#include "ping/echo_packet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kelda::ping {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An echo reply as a peer sends it: the request with type 0 and a fresh checksum.
Bytes reply_packet(std::uint16_t id, std::uint16_t sequence, const Bytes& payload = {}) {
  Bytes packet = build_echo_request(id, sequence, payload);
  packet[0] = icmp_echo_reply;
  packet[2] = packet[3] = 0;
  const std::uint16_t sum = internet_checksum(packet);
  packet[2] = static_cast<std::uint8_t>(sum >> 8);
  packet[3] = static_cast<std::uint8_t>(sum);
  return packet;
}

Bytes with_ip_header(const Bytes& icmp, std::uint8_t protocol = 1) {
  Bytes packet = {0x45, 0, 0, 0, 0, 0, 0, 0, 64, protocol, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1};
  const std::size_t total = packet.size() + icmp.size();
  packet[2] = static_cast<std::uint8_t>(total >> 8);
  packet[3] = static_cast<std::uint8_t>(total);
  packet.insert(packet.end(), icmp.begin(), icmp.end());
  return packet;
}

TEST(EchoPacket, RequestCarriesIdSequenceAndAValidChecksum) {
  const Bytes request = build_echo_request(0xBEEF, 7, Bytes{1, 2, 3});
  ASSERT_EQ(request.size(), 11u);
  EXPECT_EQ(request[0], icmp_echo_request);
  EXPECT_EQ(request[4], 0xBE);
  EXPECT_EQ(request[5], 0xEF);
  EXPECT_EQ(request[7], 7);
  EXPECT_EQ(internet_checksum(request), 0);  // a packet with its checksum sums to zero
}

TEST(EchoPacket, ReplyIsReadWithAndWithoutTheIpHeader) {
  const Bytes icmp = reply_packet(0x1234, 3, Bytes{9, 9, 9, 9});
  for (const bool ip : {false, true}) {
    const auto reply = parse_echo_reply(ip ? with_ip_header(icmp) : icmp, ip);
    ASSERT_TRUE(reply) << ip;
    EXPECT_TRUE(reply_matches(*reply, 0x1234, 3));
    EXPECT_FALSE(reply_matches(*reply, 0x1234, 4));
    EXPECT_FALSE(reply_matches(*reply, 0x1235, 3));
    EXPECT_EQ(reply->payload_size, 4u);
  }
  EXPECT_EQ(parse_echo_reply(with_ip_header(icmp), true)->source, 0x0100007Fu);
}

TEST(EchoPacket, ForeignShortAndDamagedPacketsAreRefused) {
  const Bytes good = reply_packet(1, 1);
  Bytes bad_checksum = good;
  bad_checksum[3] ^= 1;
  Bytes request = build_echo_request(1, 1, {});
  Bytes short_ip = with_ip_header(good);
  short_ip.resize(24);
  Bytes long_total = with_ip_header(good);
  long_total[3] = 200;
  Bytes big_header_length = with_ip_header(good);
  big_header_length[0] = 0x4F;
  Bytes tiny_header_length = with_ip_header(good);
  tiny_header_length[0] = 0x44;
  const struct {
    const char* what;
    Bytes bytes;
    bool ip;
  } cases[] = {
      {"empty", {}, false},
      {"short icmp", Bytes(good.begin(), good.begin() + 7), false},
      {"bad checksum", bad_checksum, false},
      {"echo request", request, false},
      {"not icmp", with_ip_header(good, 17), true},
      {"ip header cut", Bytes(short_ip.begin(), short_ip.begin() + 19), true},
      {"icmp cut after ip", short_ip, true},
      {"ip total beyond bytes", long_total, true},
      {"ip header length beyond bytes", big_header_length, true},
      {"ip header length below 20", tiny_header_length, true},
      {"ipv6 version", [&] { Bytes b = with_ip_header(good); b[0] = 0x65; return b; }(), true},
  };
  for (const auto& c : cases) EXPECT_FALSE(parse_echo_reply(c.bytes, c.ip)) << c.what;
}

}  // namespace
}  // namespace kelda::ping
