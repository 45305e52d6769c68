// The packet reader over arbitrary bytes: headers under the end-of-data rule,
// key packets read (and their secret part opened with a fixed password),
// other bodies read as number fields or skipped.
#include <cstdint>
#include <vector>

#include "frame.h"
#include "key_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelda::sekura32;
  if (size > UINT32_MAX / 2) return 0;
  SkStream* in = skMemStream(const_cast<uint8_t*>(data), uint32_t(size), uint32_t(size), &skDummyRealloc);
  if (in == nullptr) return 0;
  uint8_t digest[16];
  password_digest("fuzz", digest);
  for (int packets = 0; packets < 64; ++packets) {
    uint32_t start = 0, type = 0, header = 0;
    skLookMemStream(in, nullptr, nullptr, nullptr, &start);
    int32_t length = 0;
    thread_status() = kNoMorePackets;
    uint32_t result = read_packet_header(in, &type, &length, &header);
    thread_status() = SK_BAD_FORMAT;
    if (result >= 16) break;
    uint32_t body = length == kLengthToEnd ? in->remaining(in) : uint32_t(length);
    if (body > in->remaining(in)) break;
    if (type == kPacketSecretKey || type == kPacketPublicKey) {
      UserRecord user;
      skIniUser(&user);
      read_key_packet(data + start, header + body, user, digest, type == kPacketSecretKey);
      skBurnUser(&user);
      if (skip_bytes(in, body) >= 16) break;
    } else if (type == kPacketSignature || type == kPacketSessionKey) {
      int32_t remaining = int32_t(body);
      uint8_t room[200];
      uint16_t sum = 0;
      while (remaining > 0) {
        uint32_t* number = nullptr;
        if (read_number_field(in, &number, 8, nullptr, &sum, &remaining, room, sizeof room) >= 16) break;
        skFree(number);
      }
      break;  // the stream position is wherever the fields stopped
    } else {
      SkMd5Context md5;
      md5_init(md5);
      if (skCopyStream(in, nullptr, int32_t(body), &md5) >= 16) break;
    }
  }
  thread_status() = 0;
  in->close(in);
  return 0;
}
