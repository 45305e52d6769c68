// The packets of protected messages other than the data packets: session key
// (type 1), signature (type 2), keyless digest (type 3) and the literal
// packet's header (type 11). Writers put the header and the body; readers
// take a body of known length (after read_packet_header) and check every
// field against it.
//
// Readers accept versions 2 to 4, the hashed-part length 5 and algorithm
// bytes 1 (else 17); a digest packet carries exactly 16 digest bytes; a
// literal name is read within its length byte and kept up to 31 characters.
// Threading: no state. Number fields are wiped after use.
#pragma once

#include <cstdint>

#include "message_blocks.h"
#include "packet.h"

namespace kelda::sekura32 {

struct SessionKeyPacket {
  uint8_t key_id[8] = {};
  uint8_t block[kMaxBlock] = {};
  uint32_t count = 0;  // bytes of the enciphered block
};

struct SignaturePacket {
  uint8_t signature_class = 0;
  uint32_t time = 0;
  uint8_t key_id[8] = {};
  uint8_t check[2] = {};
  uint8_t block[kMaxBlock] = {};
  uint32_t count = 0;
};

struct DigestPacket {
  uint8_t signature_class = 0;
  uint32_t time = 0;
  uint8_t digest[16] = {};
};

struct LiteralHeader {
  char mode = 'b';  // 'b' binary, 't' text
  char name[32] = {};
  uint32_t time = 0;
  uint32_t data_length = 0;  // the body's bytes after the header fields
};

uint32_t write_session_key_packet(SkStream* out, const SessionKeyPacket& packet) noexcept;
uint32_t write_signature_packet(SkStream* out, const SignaturePacket& packet) noexcept;
uint32_t write_digest_packet(SkStream* out, const DigestPacket& packet) noexcept;
// The literal packet's header and fields; `data_length` bytes of data follow
// (the caller writes them). A name longer than 255 bytes is refused (272).
uint32_t write_literal_header(SkStream* out, char mode, const char* name, uint32_t time,
                              uint32_t data_length) noexcept;

uint32_t read_session_key_body(SkStream* in, int32_t length, SessionKeyPacket* packet) noexcept;
uint32_t read_signature_body(SkStream* in, int32_t length, SignaturePacket* packet) noexcept;
uint32_t read_digest_body(SkStream* in, int32_t length, DigestPacket* packet) noexcept;
// Reads the literal fields; the data (header->data_length bytes, or to the
// end for a packet without a length) is left in the stream.
uint32_t read_literal_header(SkStream* in, int32_t length, LiteralHeader* header) noexcept;

}  // namespace kelda::sekura32
