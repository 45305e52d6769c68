// Text key rings (".txk"): sections of KEY=value lines, one key each.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame.h"
#include "key_packet.h"
#include "key_ring.h"

namespace kelda::sekura32 {
namespace {

constexpr const char* kTextSuffix = ".txk";
constexpr std::size_t kMaxName = 255;
// Lines hold a key packet in hexadecimal: room for the largest secret key.
constexpr uint32_t kLineRoom = 4096;

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = char(c | 0x20);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// A whole decimal (or, for USERID, C-style) number: 266 on a bad digit.
bool parse_number(const char* value, int base, long* out) {
  while (*value == ' ' || *value == '\t') ++value;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(value, &end, base);
  if (end == value || errno != 0) return false;
  *out = v;
  return true;
}

struct TextParse {
  const uint8_t* bytes;
  std::size_t size;
  RingIndex* index;
  bool open = false;  // a section is open
  uint32_t result = SK_OK;
};

std::size_t line_end(const TextParse& p, std::size_t at) {
  const void* nl = std::memchr(p.bytes + at, '\n', p.size - at);
  return nl != nullptr ? std::size_t(static_cast<const uint8_t*>(nl) - p.bytes) + 1 : p.size;
}

bool parse_key_id(const char* value, uint8_t id[8]) {
  for (int k = 0; k < 8; ++k) {
    while (*value == ' ' || *value == '\t') ++value;
    int high = hex_digit(value[0]), low = high >= 0 ? hex_digit(value[1]) : -1;
    if (high < 0 || low < 0) return false;
    id[k] = uint8_t(high << 4 | low);
    value += 2;
  }
  while (*value == ' ' || *value == '\t') ++value;
  return *value == '\0';
}

// The KEY value: hexadecimal pairs after blanks; checked by reading the key.
uint32_t check_key_value(const char* value, RingEntry& entry) {
  while (*value == ' ' || *value == '\t') ++value;
  std::size_t length = std::strlen(value);
  if (length == 0 || length % 2 != 0) return SK_KEY_TOO_LARGE;
  std::vector<uint8_t> packet(length / 2);
  for (std::size_t k = 0; k < packet.size(); ++k) {
    int high = hex_digit(value[2 * k]), low = hex_digit(value[2 * k + 1]);
    if (high < 0 || low < 0) return SK_KEY_TOO_LARGE;
    packet[k] = uint8_t(high << 4 | low);
  }
  UserRecord user;
  skIniUser(&user);
  uint32_t result = read_key_packet(packet.data(), uint32_t(packet.size()), user, nullptr, false);
  uint32_t type = (packet[0] >> 2) & 31u;
  if (result < 16 && (type == 5) != entry.secret) result = SK_KEY_TOO_LARGE;
  skBurnUser(&user);
  wipe(packet.data(), packet.size());
  if (result == SK_BAD_KEY_VERSION || result == SK_NO_MEMORY) return result;
  return result < 16 ? SK_OK : SK_KEY_TOO_LARGE;
}

uint32_t take_line(TextParse& p, uint32_t offset, const char* name, const char* value) {
  std::vector<RingEntry>& entries = p.index->entries;
  if (name != nullptr && std::strcmp(name, skCfgHeading) == 0) {
    if (value[0] == '\0') return SK_KEY_TOO_LARGE;
    if (p.open) entries.back().end = offset;
    RingEntry entry;
    entry.name.assign(value, strnlen(value, kMaxName));
    entry.start = offset;
    entries.push_back(std::move(entry));
    p.open = true;
    return SK_OK;
  }
  if (!p.open || name == nullptr) return SK_KEY_TOO_LARGE;
  RingEntry& entry = entries.back();
  long number = 0;
  if (skStrNICmp(name, "USERID", 7) == 0) {
    if (!parse_number(value, 0, &number)) return SK_KEY_TOO_LARGE;
    entry.user_id = int32_t(number);
  } else if (skStrNICmp(name, "KEYID", 6) == 0) {
    if (!parse_key_id(value, entry.key_id)) return SK_KEY_TOO_LARGE;
  } else if (skStrNICmp(name, "TIME", 5) == 0) {
    if (!parse_number(value, 10, &number)) return SK_KEY_TOO_LARGE;
    entry.time = uint32_t(number);
  } else if (skStrNICmp(name, "SECRET", 7) == 0) {
    if (!parse_number(value, 10, &number)) return SK_KEY_TOO_LARGE;
    entry.secret = number != 0;
  } else if (skStrNICmp(name, "BITS", 5) == 0) {
    if (!parse_number(value, 10, &number)) return SK_KEY_TOO_LARGE;
    entry.bits = uint32_t(number);
  } else if (skStrNICmp(name, "KEY", 4) == 0) {
    if (uint32_t result = check_key_value(value, entry); result >= 16) return result;
    entry.key_at = offset;
    entry.key_length = uint32_t(line_end(p, offset) - offset);
  } else {
    return SK_KEY_TOO_LARGE;
  }
  return SK_OK;
}

int text_handler(uint32_t offset, const char* name, const char* value, void* context) {
  auto& p = *static_cast<TextParse*>(context);
  p.result = take_line(p, offset, name, value);
  return p.result < 16 ? 0 : 1;
}

std::string hex(const uint8_t* bytes, std::size_t n) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(2 * n);
  for (std::size_t k = 0; k < n; ++k) {
    out += kDigits[bytes[k] >> 4];
    out += kDigits[bytes[k] & 15];
  }
  return out;
}

}  // namespace

uint32_t index_text_ring(const uint8_t* bytes, std::size_t size, RingIndex* index) noexcept {
  try {
    index->text = true;
    index->size = size;
    if (size > UINT32_MAX / 2) return SK_KEY_TOO_LARGE;
    SkStream* stream = skMemStream(const_cast<uint8_t*>(bytes), uint32_t(size), uint32_t(size), nullptr);
    if (stream == nullptr) return SK_NO_MEMORY;
    stream->rewind_read(stream);
    std::vector<char> line(kLineRoom), name(64), value(kLineRoom);
    TextParse parse{bytes, size, index};
    int answer = skParseCfg(stream, line.data(), kLineRoom, name.data(), 64, value.data(), kLineRoom, &text_handler,
                            &parse, '=', '|', 0, 0, 0, 0, 0, '\\', 0, '[', ']');
    stream->close(stream);
    wipe(line.data(), line.size());
    wipe(value.data(), value.size());
    if (answer != 0) return parse.result >= 16 ? parse.result : SK_KEY_TOO_LARGE;
    if (parse.open) index->entries.back().end = size;
    for (const RingEntry& entry : index->entries)
      if (entry.key_length == 0) return SK_KEY_TOO_LARGE;  // a section without its key
    return SK_OK;
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
}

uint32_t text_ring_lookup(SkKeySearch* search, const char* base, const char* const* texts, uint32_t text_count,
                          const uint8_t* key_id, int32_t user_id) {
  if (!ends_with_suffix(base, kTextSuffix)) return SK_NOT_MY_BASE;
  std::shared_ptr<const RingIndex> index;
  RingFile file;
  uint32_t result = load_ring(base, true, search->promptFlags, false, &index, &file);
  if (result >= 16) return result;
  return offer_candidates(search, file, *index, texts, text_count, key_id, user_id);
}

uint32_t text_ring_store(const char* base, const char* name, const uint8_t* key_id, int32_t user_id, uint32_t time,
                         int32_t secret, uint32_t bits, const uint8_t* packet, uint32_t length) {
  if (!ends_with_suffix(base, kTextSuffix)) return SK_NOT_MY_BASE;
  if (name == nullptr || packet == nullptr || length == 0 || std::strlen(name) > kMaxName) return SK_BAD_ARGUMENT;
  if (((packet[0] >> 2) & 31u) != (secret != 0 ? 5u : 6u)) return SK_KEY_TOO_LARGE;
  std::shared_ptr<const RingIndex> index;
  RingFile file;
  uint32_t result = load_ring(base, true, 0, true, &index, &file);
  const RingEntry* found = nullptr;
  if (result < 16) result = check_existing(*index, file, name, key_id, secret != 0, packet, length, &found);
  if (result >= 16) return result;
  uint8_t id[8] = {};
  if (key_id != nullptr) {
    std::memcpy(id, key_id, 8);
  } else {
    UserRecord user;
    skIniUser(&user);
    read_key_packet(packet, length, user, nullptr, false);
    std::memcpy(id, user.keyId, 8);
    skBurnUser(&user);
  }
  std::string old, ring, entry;
  try {
    char head[400];
    std::snprintf(head, sizeof head, "[%s]\r\nUSERID=%li\r\nKEYID=%s\r\nTIME=%ld\r\nSECRET=%d\r\nBITS=%d\r\nKEY=", name,
                  long(user_id), hex(id, 8).c_str(), long(time), secret != 0 ? 1 : 0, int(bits));
    entry = head;
    entry += hex(packet, length);
    entry += "\r\n\r\n";
    result = read_ring_bytes(file, &old);
    if (result < 16) {
      std::size_t cut = found != nullptr ? found->start : old.size();
      std::size_t resume = found != nullptr ? found->end : old.size();
      ring.reserve(old.size() + entry.size());
      ring.append(old, 0, cut);
      ring += entry;
      ring.append(old, resume, std::string::npos);
      result = write_ring(base, ring);
    }
  } catch (const std::bad_alloc&) {
    result = SK_NO_MEMORY;
  }
  for (std::string* s : {&old, &ring, &entry}) wipe(s->data(), s->size());
  return result;
}

uint32_t text_ring_delete(const char* base, const char* name, int32_t user_id, const uint8_t* key_id, int32_t) {
  if (!ends_with_suffix(base, kTextSuffix)) return SK_NOT_MY_BASE;
  if (name == nullptr) return SK_BAD_ARGUMENT;
  std::shared_ptr<const RingIndex> index;
  RingFile file;
  uint32_t result = load_ring(base, true, 0, false, &index, &file);
  if (result >= 16) return result;
  std::string old, ring;
  uint32_t dropped = 0;
  try {
    result = read_ring_bytes(file, &old);
    std::size_t kept_from = 0;
    for (const RingEntry& entry : index->entries) {
      if (result >= 16) break;
      bool same_user = user_id <= 0 || entry.user_id <= 0 || user_id == entry.user_id;
      if (entry.name != name || !same_user || (key_id != nullptr && std::memcmp(key_id, entry.key_id, 8) != 0))
        continue;
      ring.append(old, kept_from, entry.start - kept_from);
      kept_from = entry.end;
      ++dropped;
    }
    if (result < 16 && dropped > 0) {
      ring.append(old, kept_from, std::string::npos);
      result = write_ring(base, ring);
    }
  } catch (const std::bad_alloc&) {
    result = SK_NO_MEMORY;
  }
  wipe(old.data(), old.size());
  wipe(ring.data(), ring.size());
  if (result >= 16) return result;
  return dropped > 0 ? SK_STOP_SEARCH : SK_OK;
}

}  // namespace kelda::sekura32
