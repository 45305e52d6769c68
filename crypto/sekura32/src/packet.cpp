// Packet headers, exact reads and writes, big-endian integers.
#include "packet.h"

#include "frame.h"

namespace kelda::sekura32 {

uint32_t read_exact(SkStream* stream, void* buffer, uint32_t n) noexcept {
  if (stream == nullptr || (buffer == nullptr && n != 0)) return SK_BAD_ARGUMENT;
  if (n == 0) return SK_OK;
  if (stream->read(stream, buffer, n) == n) return SK_OK;
  return skIOerror != 0 ? SK_IO_ERROR : thread_status();
}

uint32_t write_exact(SkStream* stream, const void* buffer, uint32_t n) noexcept {
  if (stream == nullptr || (buffer == nullptr && n != 0)) return SK_BAD_ARGUMENT;
  if (n == 0) return SK_OK;
  if (stream->write(stream, buffer, n) == n) return SK_OK;
  return skIOerror != 0 ? skIORet(skIOerror) : SK_IO_ERROR;
}

uint32_t read_int(SkStream* stream, uint32_t* value, uint32_t count) noexcept {
  if (count > 4) return SK_BAD_ARGUMENT;
  uint8_t bytes[4] = {};
  if (uint32_t result = read_exact(stream, bytes, count); result >= 16) return result;
  uint32_t v = 0;
  for (uint32_t k = 0; k < count; ++k) v = v << 8 | bytes[k];
  if (value != nullptr) *value = v;
  return SK_OK;
}

uint32_t write_int(SkStream* stream, uint32_t value, uint32_t count) noexcept {
  if (count > 4 || (count < 4 && (uint64_t(value) >> (8 * count)) != 0)) return SK_BAD_ARGUMENT;
  uint8_t bytes[4];
  for (uint32_t k = 0; k < count; ++k) bytes[k] = uint8_t(value >> (8 * (count - 1 - k)));
  return write_exact(stream, bytes, count);
}

uint32_t read_packet_header(SkStream* stream, uint32_t* type, int32_t* length, uint32_t* header_size) noexcept {
  uint8_t tag = 0;
  if (uint32_t result = read_exact(stream, &tag, 1); result >= 16) return result;
  if (tag < 0x80) return SK_BAD_FORMAT;
  uint32_t code = tag & 3u;
  uint32_t bytes = code == 3 ? 0 : (code == 2 ? 4 : code + 1);
  int32_t size = kLengthToEnd;
  if (code != 3) {
    uint32_t value = 0;
    if (uint32_t result = read_int(stream, &value, bytes); result >= 16) return result;
    if (value > uint32_t(INT32_MAX)) return SK_BAD_FORMAT;
    size = int32_t(value);
  }
  if (type != nullptr) *type = (tag >> 2) & 31u;
  if (length != nullptr) *length = size;
  if (header_size != nullptr) *header_size = bytes + 1;
  return SK_OK;
}

uint32_t write_packet_header(SkStream* stream, uint32_t type, int32_t length, uint32_t minimum_length_bytes,
                             uint32_t* header_size) noexcept {
  if (minimum_length_bytes > 4) return SK_BAD_ARGUMENT;
  uint32_t code = 3, bytes = 0;
  if (length != kLengthToEnd) {
    if (length < 0) return SK_BAD_ARGUMENT;
    uint32_t needed = 0;
    for (uint32_t v = uint32_t(length); v != 0; v >>= 8) ++needed;
    if (needed < minimum_length_bytes) needed = minimum_length_bytes;
    code = needed <= 1 ? 0 : (needed == 2 ? 1 : 2);
    bytes = code == 2 ? 4 : code + 1;
  }
  uint8_t tag = uint8_t(0x80 | (type & 15u) << 2 | code);
  if (uint32_t result = write_exact(stream, &tag, 1); result >= 16) return result;
  if (code != 3) {
    if (uint32_t result = write_int(stream, uint32_t(length), bytes); result >= 16) return result;
  }
  if (header_size != nullptr) *header_size = bytes + 1;
  return SK_OK;
}

uint16_t key_checksum(const uint8_t* bytes, uint32_t n) noexcept {
  uint32_t sum = 0;
  for (uint32_t k = 0; k < n; ++k) sum += bytes[k];
  return uint16_t(sum);
}

}  // namespace kelda::sekura32
