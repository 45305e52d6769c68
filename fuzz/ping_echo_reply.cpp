// Feeds arbitrary bytes to the ICMP echo-reply parser, with and without an IP
// header in front, and checks what it answers against the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "ping/echo_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  for (const bool with_ip_header : {false, true}) {
    const auto reply = kelda::ping::parse_echo_reply(bytes, with_ip_header);
    if (reply && reply->payload_size + kelda::ping::icmp_header_size > size) std::abort();
  }
  return 0;
}
