// Packet fields: skipping, text lines, stream copies and multiprecision
// number fields with their key checksum and protection.
#include <algorithm>
#include <cstring>

#include "frame.h"
#include "mp.h"
#include "packet.h"

namespace kelda::sekura32 {
namespace {

constexpr uint32_t kPiece = 512;

}  // namespace

KeyProtection::~KeyProtection() { wipe(this, sizeof *this); }

void KeyProtection::use_table(const uint8_t digest[16]) noexcept {
  idea = false;
  table_cipher_setup(table, digest + 4, 6, digest[1], digest[15]);
}

void KeyProtection::use_idea(const uint8_t digest[16], const uint8_t start[8]) noexcept {
  idea = true;
  idea_cfb_key(idea_context, digest);
  uint8_t scratch[8];
  idea_cfb_decrypt(idea_context, start, scratch, 8);
  wipe(scratch, sizeof scratch);
}

void KeyProtection::encipher(uint8_t* bytes, uint32_t n) noexcept {
  if (!idea) {
    table_cipher_apply(table, bytes, n);
    return;
  }
  idea_cfb_resync(idea_context);
  idea_cfb_encrypt(idea_context, bytes, bytes, n);
}

void KeyProtection::decipher(uint8_t* bytes, uint32_t n) noexcept {
  if (!idea) {
    table_cipher_apply(table, bytes, n);
    return;
  }
  idea_cfb_resync(idea_context);
  idea_cfb_decrypt(idea_context, bytes, bytes, n);
}

uint32_t skip_bytes(SkStream* stream, uint32_t n) noexcept {
  uint8_t scratch[kPiece];
  uint32_t result = SK_OK;
  while (n > 0 && result < 16) {
    uint32_t piece = std::min(n, kPiece);
    result = read_exact(stream, scratch, piece);
    n -= piece;
  }
  wipe(scratch, sizeof scratch);
  return result;
}

uint32_t write_text_field(SkStream* stream, const char* text, uint32_t max_length, uint32_t* count,
                          SkMd5Context* digest) noexcept {
  if (text == nullptr) return SK_BAD_ARGUMENT;
  uint32_t length = uint32_t(strnlen(text, max_length));
  static constexpr uint8_t kLineEnd[2] = {'\r', '\n'};
  if (stream != nullptr) {
    uint32_t result = write_exact(stream, text, length);
    if (result < 16) result = write_exact(stream, kLineEnd, 2);
    if (result >= 16) return result;
  }
  if (digest != nullptr) {
    md5_update(*digest, reinterpret_cast<const uint8_t*>(text), length);
    md5_update(*digest, kLineEnd, 2);
  }
  if (count != nullptr) *count += length + 2;
  return SK_OK;
}

uint32_t read_number_field(SkStream* stream, uint32_t** out, uint32_t words, KeyProtection* protection,
                           uint16_t* checksum, int32_t* remaining, uint8_t* buffer, uint32_t room) noexcept {
  if (buffer == nullptr || room < 3) return SK_BAD_ARGUMENT;
  uint32_t result = read_exact(stream, buffer, 2);
  uint32_t bits = uint32_t(buffer[0]) << 8 | buffer[1];
  uint32_t count = (bits + 7) / 8;
  if (result < 16 && (bits == 0 || count > room - 2)) result = SK_KEY_TOO_LARGE;
  if (result < 16 && remaining != nullptr && *remaining != kLengthToEnd) {
    if (int64_t(count) + 2 > *remaining)
      result = SK_BAD_FORMAT;
    else
      *remaining -= int32_t(count + 2);
  }
  if (result < 16) result = read_exact(stream, buffer + 2, count);
  if (result < 16 && protection != nullptr) protection->decipher(buffer + 2, count);
  if (result < 16 && checksum != nullptr) *checksum = uint16_t(*checksum + key_checksum(buffer, count + 2));
  if (result < 16 && out != nullptr) {
    if (count > words * 4) {
      result = SK_KEY_TOO_LARGE;
    } else {
      *out = mp::allocate(words);
      if (*out == nullptr)
        result = SK_NO_MEMORY;
      else
        mp::from_bytes(mp::Number(*out, words), buffer + 2, count);
    }
  }
  wipe(buffer, room);
  return result;
}

uint32_t write_number_field(SkStream* stream, const uint32_t* number, uint32_t words, KeyProtection* protection,
                            uint16_t* checksum, uint8_t* key_id, uint32_t* length, uint8_t* buffer,
                            uint32_t room) noexcept {
  if (number == nullptr || buffer == nullptr || room < 3) return SK_BAD_ARGUMENT;
  mp::ConstNumber x(number, words);
  std::size_t bits = mp::bit_length(x);
  std::size_t count = (bits + 7) / 8;
  uint32_t result = SK_OK;
  if (bits == 0 || bits > 0xFFFF || count > room - 2 || (key_id != nullptr && count < 8)) result = SK_BAD_ARGUMENT;
  if (result < 16) {
    buffer[0] = uint8_t(bits >> 8);
    buffer[1] = uint8_t(bits);
    mp::to_bytes(buffer + 2, count, x);
    if (key_id != nullptr) std::memcpy(key_id, buffer + 2 + count - 8, 8);
    if (checksum != nullptr) *checksum = uint16_t(*checksum + key_checksum(buffer, uint32_t(count + 2)));
    if (protection != nullptr) protection->encipher(buffer + 2, uint32_t(count));
    result = write_exact(stream, buffer, uint32_t(count + 2));
    if (result < 16 && length != nullptr) *length += uint32_t(count + 2);
  }
  wipe(buffer, room);
  return result;
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t skCopyStream(SkStream* source, SkStream* destination, int32_t n, SkMd5Context* digest) {
  if (source == nullptr || n < kLengthToEnd) return SK_BAD_ARGUMENT;
  uint8_t piece[kPiece];
  uint32_t result = SK_OK;
  bool to_end = n == kLengthToEnd;
  uint32_t left = to_end ? 0 : uint32_t(n);
  while (result < 16 && (to_end || left > 0)) {
    uint32_t want = to_end ? kPiece : std::min(left, kPiece);
    uint32_t got = source->read(source, piece, want);
    if (!to_end && got != want) {
      result = skIOerror != 0 ? SK_IO_ERROR : thread_status();
      break;
    }
    if (got == 0) break;
    if (digest != nullptr) md5_update(*digest, piece, got);
    if (destination != nullptr) result = write_exact(destination, piece, got);
    left -= to_end ? 0 : got;
  }
  wipe(piece, sizeof piece);
  if (result < 16 && skIOerror != 0) return skIORet(skIOerror);
  return result;
}
