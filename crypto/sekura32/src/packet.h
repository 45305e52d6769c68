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

#include "sekura32/sekura32.h"

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

}  // namespace kelda::sekura32
