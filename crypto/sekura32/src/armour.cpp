// The armour writer, the base64 body decoder, the clear-text reader and the
// armour scan.
#include "armour.h"

#include <cstring>

#include "frame.h"
#include "md5.h"
#include "packet.h"
#include "stream.h"

namespace kelda::sekura32 {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr const char* kBegin = "-----BEGIN ";
constexpr const char* kEnd = "-----END ";
constexpr const char* kName = "SEKURA";
constexpr std::size_t kLineChars = 64;
constexpr std::size_t kMaxLabel = 80;

struct DecodeTable {
  uint8_t value[256];
  constexpr DecodeTable() : value{} {
    for (auto& v : value) v = 255;
    for (int k = 0; k < 64; ++k) value[uint8_t(kAlphabet[k])] = uint8_t(k);
    value[0] = 64;
  }
};
constexpr DecodeTable kDecode;

// Collects output characters and writes them a line at a time.
class ArmourOut {
 public:
  explicit ArmourOut(SkStream* out) : out_(out) {}
  ~ArmourOut() { wipe(buffer_, sizeof buffer_); }
  bool put(const char* text, std::size_t n) {
    while (n > 0) {
      std::size_t room = sizeof buffer_ - used_;
      std::size_t take = n < room ? n : room;
      std::memcpy(buffer_ + used_, text, take);
      used_ += take;
      text += take;
      n -= take;
      if (used_ == sizeof buffer_ && !flush()) return false;
    }
    return true;
  }
  bool put(const char* text) { return put(text, std::strlen(text)); }
  bool flush() {
    if (used_ == 0) return true;
    uint32_t n = uint32_t(used_);
    used_ = 0;
    written_ += n;
    return out_->write(out_, buffer_, n) == n;
  }
  uint32_t written() const { return written_ + uint32_t(used_); }

 private:
  SkStream* out_;
  char buffer_[4096];
  std::size_t used_ = 0;
  uint32_t written_ = 0;
};

bool put_marker(ArmourOut& out, const char* which, const char* label) {
  std::size_t n = std::strlen(label);
  return out.put(which) && out.put(kName) && out.put(label, n < kMaxLabel ? n : kMaxLabel) && out.put("\r\n");
}

void encode_group(const uint8_t* in, std::size_t n, char* out) {
  uint32_t bits = uint32_t(in[0]) << 16 | (n > 1 ? uint32_t(in[1]) << 8 : 0) | (n > 2 ? in[2] : 0);
  out[0] = kAlphabet[bits >> 18 & 63];
  out[1] = kAlphabet[bits >> 12 & 63];
  out[2] = n > 1 ? kAlphabet[bits >> 6 & 63] : '=';
  out[3] = n > 2 ? kAlphabet[bits & 63] : '=';
}

// Encodes the input in groups of three; lines of exactly 64 characters, a
// break only before a further group.
bool encode_body(SkStream* input, ArmourOut& out, const uint32_t* count, bool* read_failed) {
  uint8_t chunk[3 * 1024];
  std::size_t carried = 0, on_line = 0;
  uint64_t left = count != nullptr ? *count : UINT64_MAX;
  bool ok = true;
  for (;;) {
    std::size_t want = sizeof chunk - carried;
    if (want > left) want = std::size_t(left);
    uint32_t got = want == 0 ? 0 : input->read(input, chunk + carried, uint32_t(want));
    left -= got;
    if (count != nullptr && got < want) *read_failed = true;
    std::size_t total = carried + got;
    bool last = got == 0 || left == 0 || *read_failed;
    std::size_t whole = last ? total : total / 3 * 3;
    for (std::size_t at = 0; at < whole && ok; at += 3) {
      char group[4];
      encode_group(chunk + at, whole - at < 3 ? whole - at : 3, group);
      // A line ends only when a further group follows it.
      if (on_line == kLineChars) {
        ok = out.put("\r\n");
        on_line = 0;
      }
      ok = ok && out.put(group, 4);
      on_line += 4;
    }
    carried = total - whole;
    std::memmove(chunk, chunk + whole, carried);
    if (last || !ok) break;
  }
  wipe(chunk, sizeof chunk);
  return ok;
}

uint32_t read_line(SkStream* input, char* line, uint32_t size, bool* ended) {
  *ended = false;
  uint32_t consumed = stream_read_line(input, line, size, ended);
  if (consumed == 0) *ended = true;
  return consumed;
}

// Skips header lines up to and including the first empty one.
uint32_t skip_header(SkStream* input, char* line, uint32_t size) {
  for (;;) {
    bool ended = false;
    uint32_t consumed = read_line(input, line, size, &ended);
    if (skIOerror != 0) return SK_IO_ERROR;
    if (consumed == 0) return thread_status();
    if (line[0] == '\0') return SK_OK;
    if (ended) return thread_status();
  }
}

}  // namespace

uint32_t marker_test(const char* line, uint32_t which, const char* suffix, std::size_t suffix_length) noexcept {
  if (line == nullptr) return 0;
  uint32_t answer = 0;
  if ((which & kMarkerBegin) != 0 && std::strncmp(line, kBegin, std::strlen(kBegin)) == 0) answer = kMarkerBegin;
  if ((which & kMarkerEnd) != 0 && std::strncmp(line, kEnd, std::strlen(kEnd)) == 0) answer = kMarkerEnd;
  if (answer == 0 || suffix == nullptr) return answer;
  std::size_t length = std::strlen(line);
  if (length < suffix_length || std::memcmp(line + length - suffix_length, suffix, suffix_length) != 0) return 0;
  return answer;
}

uint32_t armour_write(SkStream* input, SkStream* output, const uint32_t* count, uint32_t* written,
                      const char* label) noexcept {
  if (input == nullptr || output == nullptr) return SK_BAD_ARGUMENT;
  skIOerror = 0;
  ArmourOut out(output);
  bool ok = label == nullptr || (put_marker(out, kBegin, label) && out.put("\r\n"));
  bool read_failed = false;
  ok = ok && encode_body(input, out, count, &read_failed) && out.put("\r\n");
  if (ok && label != nullptr) ok = put_marker(out, kEnd, label);
  ok = out.flush() && ok;
  if (written != nullptr) *written = out.written();
  return ok && !read_failed && skIOerror == 0 ? SK_OK : SK_IO_ERROR;
}

uint32_t armour_decode_body(SkStream* input, SkStream* output, uint32_t* count, uint32_t which, char* line,
                            uint32_t line_size) noexcept {
  if (input == nullptr || line == nullptr || line_size < 2) return SK_BAD_ARGUMENT;
  char pending[4] = {};
  std::size_t held = 0;
  uint32_t decoded = 0, result = SK_OK;
  for (;;) {
    bool ended = false;
    uint32_t consumed = read_line(input, line, line_size, &ended);
    if (skIOerror != 0) {
      result = SK_IO_ERROR;
      break;
    }
    if (consumed == 0 || marker_test(line, which, nullptr, 0) != 0) {
      result = held != 0 ? SK_BAD_FORMAT : SK_OK;
      break;
    }
    if (line[0] == '=' && held != 0) {
      result = SK_BAD_FORMAT;
      break;
    }
    for (const char* c = line; *c != '\0' && result == SK_OK; ++c) {
      pending[held++] = *c;
      if (held < 4) continue;
      held = 0;
      uint8_t values[4];
      std::size_t chars = 0;
      while (chars < 4 && pending[chars] != '=') {
        values[chars] = kDecode.value[uint8_t(pending[chars])];
        if (values[chars] > 63) result = SK_BAD_FORMAT;
        ++chars;
      }
      if (chars < 2) result = SK_BAD_FORMAT;
      if (result != SK_OK) break;
      uint32_t bits = 0;
      for (std::size_t k = 0; k < 4; ++k) bits = bits << 6 | (k < chars ? values[k] : 0);
      uint8_t bytes[3] = {uint8_t(bits >> 16), uint8_t(bits >> 8), uint8_t(bits)};
      if (output != nullptr && (result = write_exact(output, bytes, uint32_t(chars - 1))) >= 16)
        result = SK_IO_ERROR;
      decoded += uint32_t(chars - 1);
    }
    if (result != SK_OK || ended) {
      if (result == SK_OK && held != 0) result = SK_BAD_FORMAT;
      if (ended && result == SK_OK) line[0] = '\0';
      break;
    }
  }
  wipe(pending, sizeof pending);
  if (count != nullptr) *count = decoded;
  return result;
}

uint32_t read_clear_text(bool copy, SkStream* input, SkStream* output, uint32_t* limit, uint32_t which,
                         SkMd5Context* digest, char* line, uint32_t line_size) noexcept {
  if (input == nullptr || line == nullptr || line_size < 2) return SK_BAD_ARGUMENT;
  bool limited = limit != nullptr && *limit != UINT32_MAX;
  uint32_t left = limited ? *limit : 0, produced = 0, result = SK_OK;
  for (;;) {
    if (limited && left == 0) break;
    bool ended = false;
    uint32_t consumed = read_line(input, line, line_size, &ended);
    if (skIOerror != 0) {
      result = SK_IO_ERROR;
      break;
    }
    if (consumed == 0 || marker_test(line, which, nullptr, 0) != 0) {
      if (consumed == 0) line[0] = '\0';
      result = limited ? SK_BAD_FORMAT : SK_OK;
      break;
    }
    if (limited && consumed > left) {
      result = SK_BAD_FORMAT;
      break;
    }
    left -= limited ? consumed : 0;
    uint32_t n = uint32_t(std::strlen(line));
    if (digest != nullptr) {
      md5_update(*digest, reinterpret_cast<const uint8_t*>(line), n);
      md5_update(*digest, reinterpret_cast<const uint8_t*>("\r\n"), 2);
    }
    if (output != nullptr) {
      if (copy) {
        if (stream_write_line(output, line, n) != n + 2) result = SK_IO_ERROR;
      } else {
        result = write_exact(output, line, n);
        if (result < 16) result = write_exact(output, "\r\n", 2);
      }
      if (result >= 16) break;
    }
    produced += n + 2;
    if (ended) {
      line[0] = '\0';
      if (limited && left != 0) result = SK_BAD_FORMAT;
      break;
    }
  }
  if (limit != nullptr) *limit = produced;
  return result;
}

uint32_t armour_read(uint32_t* flags, SkStream* input, SkStream* message_out, SkStream* clear_out,
                     SkStream* signature_out, SkMd5Context* digest, char* line, uint32_t line_size) noexcept {
  if (flags == nullptr || input == nullptr || line == nullptr || line_size < 2) return SK_BAD_ARGUMENT;
  skIOerror = 0;
  bool ended = false;
  if (read_line(input, line, line_size, &ended) == 0) return skIOerror != 0 ? SK_IO_ERROR : SK_OK;
  uint32_t result = SK_OK;
  const uint32_t both = kMarkerBegin | kMarkerEnd;
  for (;;) {
    bool read_next = true;
    if (marker_test(line, kMarkerBegin, kArmourSignature, std::strlen(kArmourSignature)) != 0) {
      *flags |= kFoundSignature;
      result = skip_header(input, line, line_size);
      if (result < 16) result = armour_decode_body(input, signature_out, nullptr, both, line, line_size);
    } else if (marker_test(line, kMarkerBegin, kArmourSignedMessage, std::strlen(kArmourSignedMessage)) != 0) {
      *flags |= kFoundClearSigned;
      result = read_clear_text(false, input, clear_out, nullptr, both, digest, line, line_size);
      read_next = false;
    } else if (marker_test(line, kMarkerBegin, kArmourMessage, std::strlen(kArmourMessage)) != 0) {
      *flags |= kFoundMessage;
      result = skip_header(input, line, line_size);
      if (result < 16) result = armour_decode_body(input, message_out, nullptr, both, line, line_size);
    }
    if (result >= 16) return result;
    if (skIOerror != 0) return SK_IO_ERROR;
    if (read_next || line[0] == '\0') {
      if (read_line(input, line, line_size, &ended) == 0) return skIOerror != 0 ? SK_IO_ERROR : result;
    }
  }
}

}  // namespace kelda::sekura32
