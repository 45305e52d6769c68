// The readers of message packets over arbitrary bytes: session-key,
// signature, digest and literal packets in any order, other bodies skipped;
// then the protected-message reader over the same bytes, between sessions
// that share a password key and a password channel, with expected flags
// taken from the input.
#include <cstdint>

#include "frame.h"
#include "message_packets.h"
#include "sekura32_sessions.h"

namespace {

void read_protected(const uint8_t* data, size_t size) {
  using namespace kelda::sekura32::fuzzing;
  const FuzzKeys& keys = FuzzKeys::get();
  uint32_t flags = read_u32(data, size);
  SkSession* from = keys.session(0, false);
  SkSession* to = keys.session(1, true);
  if (from != nullptr && to != nullptr && ChanPassword(from, "pw", (flags >> 31) & 1) == SK_OK)
    read_block(from, to, flags & 0xFFFF, data, size);
  LogOut(from);
  LogOut(to);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelda::sekura32;
  if (size > UINT32_MAX / 2) return 0;
  SkStream* in = skMemStream(const_cast<uint8_t*>(data), uint32_t(size), uint32_t(size), &skDummyRealloc);
  if (in == nullptr) return 0;
  for (int packets = 0; packets < 64; ++packets) {
    uint32_t type = 0;
    int32_t length = 0;
    thread_status() = kNoMorePackets;
    uint32_t result = read_packet_header(in, &type, &length, nullptr);
    thread_status() = SK_BAD_FORMAT;
    if (result >= 16) break;
    if (type == kPacketSessionKey) {
      SessionKeyPacket packet;
      result = read_session_key_body(in, length, &packet);
    } else if (type == kPacketSignature) {
      SignaturePacket packet;
      result = read_signature_body(in, length, &packet);
    } else if (type == kPacketDigest) {
      DigestPacket packet;
      result = read_digest_body(in, length, &packet);
    } else if (type == kPacketLiteral) {
      LiteralHeader header;
      result = read_literal_header(in, length, &header);
      if (result < 16) result = skip_bytes(in, header.data_length);
    } else {
      result = skip_bytes(in, length == kLengthToEnd ? in->remaining(in) : uint32_t(length));
    }
    if (result >= 16) break;
  }
  thread_status() = 0;
  in->close(in);
  read_protected(data, size);
  return 0;
}
