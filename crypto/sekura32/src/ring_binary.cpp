// Binary key rings (".bkr"): for each key a key packet, a trust packet after
// a public one, then user-id packets, each (for a public key) followed by
// trust and signature packets that readers pass over.
#include <cstring>

#include "frame.h"
#include "key_packet.h"
#include "key_ring.h"
#include "packet.h"

namespace kelda::sekura32 {
namespace {

constexpr const char* kBinarySuffix = ".bkr";

// The header of the packet at `at`: type, header size and body size (a
// packet running to the end takes the rest). 266 when it does not fit.
uint32_t packet_at(const uint8_t* bytes, std::size_t size, std::size_t at, uint32_t* type, uint32_t* header,
                   std::size_t* body) {
  SkStream* stream = skMemStream(const_cast<uint8_t*>(bytes + at), uint32_t(size - at), uint32_t(size - at), nullptr);
  if (stream == nullptr) return SK_NO_MEMORY;
  int32_t length = 0;
  uint32_t saved = thread_status();
  thread_status() = SK_KEY_TOO_LARGE;
  uint32_t result = read_packet_header(stream, type, &length, header);
  thread_status() = saved;
  stream->close(stream);
  if (result >= 16) return SK_KEY_TOO_LARGE;
  *body = length == kLengthToEnd ? size - at - *header : std::size_t(length);
  if (*body > size - at - *header) return SK_KEY_TOO_LARGE;
  return SK_OK;
}

// The key packet's id, time and bits (and the size check).
uint32_t describe_key(const uint8_t* packet, std::size_t length, RingEntry* entry) {
  UserRecord user;
  skIniUser(&user);
  uint32_t result = read_key_packet(packet, uint32_t(length), user, nullptr, false);
  if (result < 16) {
    std::memcpy(entry->key_id, user.keyId, 8);
    entry->time = user.time;
    entry->bits = user.bits;
  }
  skBurnUser(&user);
  if (result == SK_BAD_KEY_VERSION || result == SK_NO_MEMORY) return result;
  return result < 16 ? SK_OK : SK_KEY_TOO_LARGE;
}

// Header bytes of a packet of `type` and `length`.
std::string header_bytes(uint32_t type, std::size_t length) {
  SkStream* stream = skTempMemStream();
  if (stream == nullptr) throw std::bad_alloc();
  write_packet_header(stream, type, int32_t(length), 0, nullptr);
  uint8_t* buffer = nullptr;
  uint32_t written = 0;
  skLookMemStream(stream, &buffer, nullptr, &written, nullptr);
  std::string out(reinterpret_cast<const char*>(buffer), written);
  stream->close(stream);
  return out;
}

}  // namespace

uint32_t index_binary_ring(const uint8_t* bytes, std::size_t size, RingIndex* index) noexcept {
  try {
    index->text = false;
    index->size = size;
    RingEntry key;  // the current key group's template
    bool in_group = false;
    std::size_t group_first = index->entries.size();
    auto close_group = [&](std::size_t end) {
      for (std::size_t k = group_first; k < index->entries.size(); ++k) index->entries[k].end = end;
    };
    for (std::size_t at = 0; at < size;) {
      uint32_t type = 0, header = 0;
      std::size_t body = 0;
      if (uint32_t result = packet_at(bytes, size, at, &type, &header, &body); result >= 16) return result;
      if (type == kPacketSecretKey || type == kPacketPublicKey) {
        if (in_group) close_group(at);
        key = RingEntry{};
        key.secret = type == kPacketSecretKey;
        key.start = key.key_at = at;
        key.key_length = uint32_t(header + body);
        if (uint32_t result = describe_key(bytes + at, header + body, &key); result >= 16) return result;
        in_group = true;
        group_first = index->entries.size();
      } else if (type == kPacketUserId) {
        if (!in_group) return SK_KEY_TOO_LARGE;
        RingEntry entry = key;
        const char* text = reinterpret_cast<const char*>(bytes + at + header);
        entry.name.assign(text, strnlen(text, body));
        index->entries.push_back(std::move(entry));
      } else if (type != kPacketTrust && type != kPacketSignature) {
        return SK_KEY_TOO_LARGE;
      } else if (!in_group) {
        return SK_KEY_TOO_LARGE;
      }
      at += header + body;
    }
    if (in_group) close_group(size);
    return SK_OK;
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
}

uint32_t binary_ring_lookup(SkKeySearch* search, const char* base, const char* const* texts, uint32_t text_count,
                            const uint8_t* key_id, int32_t user_id) {
  if (!ends_with_suffix(base, kBinarySuffix)) return SK_NOT_MY_BASE;
  std::shared_ptr<const RingIndex> index;
  RingFile file;
  uint32_t result = load_ring(base, false, search->promptFlags, false, &index, &file);
  if (result >= 16) return result;
  return offer_candidates(search, file, *index, texts, text_count, key_id, user_id);
}

uint32_t binary_ring_store(const char* base, const char* name, const uint8_t* key_id, int32_t, uint32_t,
                           int32_t secret, uint32_t, const uint8_t* packet, uint32_t length) {
  if (!ends_with_suffix(base, kBinarySuffix)) return SK_NOT_MY_BASE;
  if (name == nullptr || packet == nullptr || length == 0) return SK_BAD_ARGUMENT;
  uint32_t type = (packet[0] >> 2) & 31u;
  if (type != (secret != 0 ? kPacketSecretKey : kPacketPublicKey)) return SK_KEY_TOO_LARGE;
  std::shared_ptr<const RingIndex> index;
  RingFile file;
  uint32_t result = load_ring(base, false, 0, true, &index, &file);
  const RingEntry* found = nullptr;
  if (result < 16) result = check_existing(*index, file, name, key_id, secret != 0, packet, length, &found);
  if (result >= 16) return result;
  std::string old, ring;
  try {
    result = read_ring_bytes(file, &old);
    if (result < 16) {
      std::size_t cut = found != nullptr ? found->start : old.size();
      std::size_t resume = found != nullptr ? found->end : old.size();
      static const std::string kTrust("\xB0\x01\x00", 3);
      std::size_t name_length = std::strlen(name);
      ring.reserve(old.size() + length + name_length + 16);
      ring.append(old, 0, cut);
      ring.append(reinterpret_cast<const char*>(packet), length);
      if (secret == 0) ring += kTrust;
      ring += header_bytes(kPacketUserId, name_length);
      ring.append(name, name_length);
      if (secret == 0) ring += kTrust;
      ring.append(old, resume, std::string::npos);
      result = write_ring(base, ring);
    }
  } catch (const std::bad_alloc&) {
    result = SK_NO_MEMORY;
  }
  wipe(old.data(), old.size());
  wipe(ring.data(), ring.size());
  return result;
}

}  // namespace kelda::sekura32
