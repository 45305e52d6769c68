// Packet framing of every binary format of the library: a tag byte with the
// packet type and the width of the length, a big-endian length, the body;
// exact reads and writes over streams, big-endian integers and the 16-bit key
// checksum.
//
// Short reads report the calling thread's status word (frame.h), so that a
// caller decides per read whether the end of the data is an error or the end
// of the packets. Threading: no state of its own.
#pragma once

#include <cstdint>

#include "idea.h"
#include "md5.h"
#include "sekura32/sekura32.h"
#include "table_cipher.h"

namespace kelda::sekura32 {

inline constexpr uint32_t kNoMorePackets = 128;
inline constexpr int32_t kLengthToEnd = -1;

enum PacketType : uint32_t {
  kPacketSessionKey = 1,
  kPacketSignature = 2,
  kPacketDigest = 3,
  kPacketSecretKey = 5,
  kPacketPublicKey = 6,
  kPacketIdeaData = 9,
  kPacketLiteral = 11,
  kPacketTrust = 12,
  kPacketUserId = 13,
  kPacketTableData = 14,
};

uint32_t read_exact(SkStream* stream, void* buffer, uint32_t n) noexcept;
uint32_t write_exact(SkStream* stream, const void* buffer, uint32_t n) noexcept;
uint32_t read_int(SkStream* stream, uint32_t* value, uint32_t count) noexcept;
uint32_t write_int(SkStream* stream, uint32_t value, uint32_t count) noexcept;
// Type, length (-1 for a packet running to the end) and header size may be
// null.
uint32_t read_packet_header(SkStream* stream, uint32_t* type, int32_t* length, uint32_t* header_size) noexcept;
uint32_t write_packet_header(SkStream* stream, uint32_t type, int32_t length, uint32_t minimum_length_bytes,
                             uint32_t* header_size) noexcept;
uint16_t key_checksum(const uint8_t* bytes, uint32_t n) noexcept;

// Reads and discards n bytes (short reads as in read_exact).
uint32_t skip_bytes(SkStream* stream, uint32_t n) noexcept;

// Writes a text up to its first NUL or max_length bytes, then "\r\n"; adds
// the bytes to *count and feeds them to the digest when given. A null stream
// only counts and digests.
uint32_t write_text_field(SkStream* stream, const char* text, uint32_t max_length, uint32_t* count,
                          SkMd5Context* digest) noexcept;

// The cipher over the number bytes of a protected secret key: IDEA-CFB with a
// resync before each field (version-3 keys) or the table cipher (version 4).
// Wipes itself.
struct KeyProtection {
  bool idea = false;
  IdeaCfbContext idea_context{};
  TableCipherContext table{};
  KeyProtection() = default;
  KeyProtection(const KeyProtection&) = delete;
  KeyProtection& operator=(const KeyProtection&) = delete;
  ~KeyProtection();
  // Version 4: the table cipher keyed with the password digest's bytes 4..9
  // and the start indices digest[1] and digest[15].
  void use_table(const uint8_t digest[16]) noexcept;
  // Version 3: IDEA-CFB keyed with the digest; the 8 enciphered start bytes
  // are deciphered first.
  void use_idea(const uint8_t digest[16], const uint8_t start[8]) noexcept;
  void encipher(uint8_t* bytes, uint32_t n) noexcept;
  void decipher(uint8_t* bytes, uint32_t n) noexcept;
};

// A number field: a 16-bit bit count, then (bits + 7) / 8 bytes, most
// significant first. read_number_field reads one into `buffer` (room bytes, at
// least 3, else 272): a bit count of 0 or more bytes than room - 2 gives 266;
// when *remaining is given and not -1, a field longer than it gives 17 and
// otherwise is taken from it. The number bytes are deciphered with
// `protection` when given; the plain field's checksum is added to *checksum;
// with `out`, a number of `words` words is allocated (skMalloc) from it (257,
// or 266 when it does not fit). The buffer is wiped in every case.
uint32_t read_number_field(SkStream* stream, uint32_t** out, uint32_t words, KeyProtection* protection,
                           uint16_t* checksum, int32_t* remaining, uint8_t* buffer, uint32_t room) noexcept;
// Writes the number's significant bytes as a field (272 when they do not fit
// room - 2 or the number is 0); with key_id, copies the field's last 8 bytes
// there (272 for a number of fewer than 8 bytes). Adds the plain field's
// checksum to *checksum and its size to *length; enciphers the number bytes
// with `protection` when given. The buffer is wiped.
uint32_t write_number_field(SkStream* stream, const uint32_t* number, uint32_t words, KeyProtection* protection,
                            uint16_t* checksum, uint8_t* key_id, uint32_t* length, uint8_t* buffer,
                            uint32_t room) noexcept;

}  // namespace kelda::sekura32
