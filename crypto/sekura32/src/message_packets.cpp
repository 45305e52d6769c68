// Session-key, signature, digest and literal packets.
#include "message_packets.h"

#include <algorithm>
#include <cstring>

#include "frame.h"

namespace kelda::sekura32 {
namespace {

constexpr uint8_t kVersion = 3;
constexpr uint8_t kHashedLength = 5;
constexpr uint8_t kAlgorithm = 1;

// A body under construction in a temporary memory stream, written out with
// its header once complete.
class Body {
 public:
  Body() : stream_(skTempMemStream()) {}
  ~Body() {
    if (stream_ != nullptr) stream_->close(stream_);
  }
  Body(const Body&) = delete;
  Body& operator=(const Body&) = delete;
  SkStream* stream() { return stream_; }
  uint32_t put(const void* bytes, uint32_t n) { return stream_ == nullptr ? SK_NO_MEMORY : write_exact(stream_, bytes, n); }
  uint32_t put_number(const uint8_t* block, uint32_t count) {
    if (count == 0 || count > kMaxBlock) return SK_BAD_ARGUMENT;
    uint32_t skip = 0;
    while (skip < count && block[skip] == 0) ++skip;
    if (skip == count) return SK_BAD_ARGUMENT;
    uint32_t bits = (count - skip - 1) * 8;
    for (uint8_t top = block[skip]; top != 0; top >>= 1) ++bits;
    uint8_t head[2] = {uint8_t(bits >> 8), uint8_t(bits)};
    uint32_t result = put(head, 2);
    return result < 16 ? put(block + skip, count - skip) : result;
  }
  uint32_t finish(SkStream* out, uint32_t type) {
    if (stream_ == nullptr) return SK_NO_MEMORY;
    uint32_t size = stream_->count;
    uint32_t result = write_packet_header(out, type, int32_t(size), 0, nullptr);
    if (result < 16 && stream_->rewind_read(stream_) != 0) result = SK_IO_ERROR;
    return result < 16 ? skCopyStream(stream_, out, int32_t(size), nullptr) : result;
  }

 private:
  SkStream* stream_;
};

// Reads n bytes of a body of known length (17 when they run past it).
uint32_t take(SkStream* in, int32_t* left, void* bytes, uint32_t n) {
  if (*left != kLengthToEnd) {
    if (int64_t(n) > *left) return SK_BAD_FORMAT;
    *left -= int32_t(n);
  }
  return read_exact(in, bytes, n);
}

// The number field of a block into `block`, its byte count into *count.
uint32_t take_number(SkStream* in, int32_t* left, uint8_t* block, uint32_t* count) {
  uint8_t room[kMaxBlock + 2];
  uint32_t result = take(in, left, room, 2);
  uint32_t bits = uint32_t(room[0]) << 8 | room[1];
  uint32_t n = (bits + 7) / 8;
  if (result < 16 && (bits == 0 || n > kMaxBlock)) result = SK_BAD_FORMAT;
  if (result < 16) result = take(in, left, block, n);
  if (result < 16) *count = n;
  wipe(room, sizeof room);
  return result;
}

uint32_t big_endian(const uint8_t* b) { return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]; }

void put_big_endian(uint8_t* b, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[k] = uint8_t(v >> (24 - 8 * k));
}

bool version_ok(uint8_t version) { return version >= 2 && version <= 4; }

// A body must be used up exactly when its length is known.
uint32_t ended(int32_t left) { return left == 0 || left == kLengthToEnd ? SK_OK : SK_BAD_FORMAT; }

}  // namespace

uint32_t write_session_key_packet(SkStream* out, const SessionKeyPacket& packet) noexcept {
  Body body;
  uint8_t head[10] = {kVersion};
  std::memcpy(head + 1, packet.key_id, 8);
  head[9] = kAlgorithm;
  uint32_t result = body.put(head, sizeof head);
  if (result < 16) result = body.put_number(packet.block, packet.count);
  return result < 16 ? body.finish(out, kPacketSessionKey) : result;
}

uint32_t write_signature_packet(SkStream* out, const SignaturePacket& packet) noexcept {
  Body body;
  uint8_t head[19] = {kVersion, kHashedLength, packet.signature_class};
  put_big_endian(head + 3, packet.time);
  std::memcpy(head + 7, packet.key_id, 8);
  head[15] = kAlgorithm;
  head[16] = kAlgorithm;
  head[17] = packet.check[0];
  head[18] = packet.check[1];
  uint32_t result = body.put(head, sizeof head);
  if (result < 16) result = body.put_number(packet.block, packet.count);
  return result < 16 ? body.finish(out, kPacketSignature) : result;
}

uint32_t write_digest_packet(SkStream* out, const DigestPacket& packet) noexcept {
  Body body;
  uint8_t bytes[24] = {kVersion, kHashedLength, packet.signature_class};
  put_big_endian(bytes + 3, packet.time);
  bytes[7] = kAlgorithm;
  std::memcpy(bytes + 8, packet.digest, 16);
  uint32_t result = body.put(bytes, sizeof bytes);
  return result < 16 ? body.finish(out, kPacketDigest) : result;
}

uint32_t write_literal_header(SkStream* out, char mode, const char* name, uint32_t time,
                              uint32_t data_length) noexcept {
  std::size_t name_length = name != nullptr ? std::strlen(name) : 0;
  if (name_length > 255 || (mode != 'b' && mode != 't')) return SK_BAD_ARGUMENT;
  uint64_t size = 2 + name_length + 4 + uint64_t(data_length);
  if (size > uint64_t(INT32_MAX)) return SK_BAD_ARGUMENT;
  uint32_t result = write_packet_header(out, kPacketLiteral, int32_t(size), 0, nullptr);
  uint8_t head[2] = {uint8_t(mode), uint8_t(name_length)};
  if (result < 16) result = write_exact(out, head, 2);
  if (result < 16) result = write_exact(out, name, uint32_t(name_length));
  uint8_t stamp[4];
  put_big_endian(stamp, time);
  return result < 16 ? write_exact(out, stamp, 4) : result;
}

uint32_t read_session_key_body(SkStream* in, int32_t length, SessionKeyPacket* packet) noexcept {
  if (packet == nullptr) return SK_BAD_ARGUMENT;
  uint8_t head[10];
  uint32_t result = take(in, &length, head, sizeof head);
  if (result < 16 && (!version_ok(head[0]) || head[9] != kAlgorithm)) result = SK_BAD_FORMAT;
  if (result < 16) {
    std::memcpy(packet->key_id, head + 1, 8);
    result = take_number(in, &length, packet->block, &packet->count);
  }
  return result < 16 ? ended(length) : result;
}

uint32_t read_signature_body(SkStream* in, int32_t length, SignaturePacket* packet) noexcept {
  if (packet == nullptr) return SK_BAD_ARGUMENT;
  uint8_t head[19];
  uint32_t result = take(in, &length, head, sizeof head);
  if (result < 16 && (!version_ok(head[0]) || head[1] != kHashedLength || head[15] != kAlgorithm ||
                      head[16] != kAlgorithm))
    result = SK_BAD_FORMAT;
  if (result < 16) {
    packet->signature_class = head[2];
    packet->time = big_endian(head + 3);
    std::memcpy(packet->key_id, head + 7, 8);
    packet->check[0] = head[17];
    packet->check[1] = head[18];
    result = take_number(in, &length, packet->block, &packet->count);
  }
  return result < 16 ? ended(length) : result;
}

uint32_t read_digest_body(SkStream* in, int32_t length, DigestPacket* packet) noexcept {
  if (packet == nullptr) return SK_BAD_ARGUMENT;
  // Exactly the eight fixed bytes and a 16-byte digest.
  if (length != 24) return SK_BAD_FORMAT;
  uint8_t bytes[24];
  uint32_t result = take(in, &length, bytes, sizeof bytes);
  if (result < 16 && (!version_ok(bytes[0]) || bytes[1] != kHashedLength || bytes[7] != kAlgorithm))
    result = SK_BAD_FORMAT;
  if (result < 16) {
    packet->signature_class = bytes[2];
    packet->time = big_endian(bytes + 3);
    std::memcpy(packet->digest, bytes + 8, 16);
  }
  return result;
}

uint32_t read_literal_header(SkStream* in, int32_t length, LiteralHeader* header) noexcept {
  if (header == nullptr) return SK_BAD_ARGUMENT;
  uint8_t head[2];
  uint32_t result = take(in, &length, head, 2);
  if (result < 16 && head[0] != 'b' && head[0] != 't') result = SK_BAD_FORMAT;
  char name[256] = {};
  if (result < 16) result = take(in, &length, name, head[1]);
  uint8_t stamp[4];
  if (result < 16) result = take(in, &length, stamp, 4);
  if (result >= 16) return result;
  header->mode = char(head[0]);
  std::size_t kept = strnlen(name, std::min<std::size_t>(head[1], sizeof header->name - 1));
  std::memcpy(header->name, name, kept);
  header->name[kept] = '\0';
  header->time = big_endian(stamp);
  header->data_length = length == kLengthToEnd ? in->remaining(in) : uint32_t(length);
  return SK_OK;
}

}  // namespace kelda::sekura32
