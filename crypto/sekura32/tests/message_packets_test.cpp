// Session-key, signature, digest and literal packets: hand-made packets
// (bytes written from the format, not by the library) read correctly, the
// library's own written and read back, damaged ones refused.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "frame.h"
#include "message_packets.h"

namespace kelda::sekura32 {
namespace {

using Bytes = std::vector<uint8_t>;

struct Stream {
  explicit Stream(const Bytes& bytes = {}) : s(skTempMemStream()) {
    s->write(s, bytes.data(), uint32_t(bytes.size()));
    s->rewind_read(s);
  }
  ~Stream() { s->close(s); }
  Bytes written() const {
    uint8_t* buffer = nullptr;
    uint32_t length = 0;
    skLookMemStream(s, &buffer, nullptr, &length, nullptr);
    return Bytes(buffer, buffer + length);
  }
  SkStream* s;
};

// Reads the header, then the body with `read`; the status word says 17 at an
// early end.
template <typename Packet, typename Read>
uint32_t read_packet(const Bytes& bytes, uint32_t type, Packet* packet, Read read) {
  Stream in(bytes);
  uint32_t saved = thread_status();
  thread_status() = SK_BAD_FORMAT;
  uint32_t found = 0;
  int32_t length = 0;
  uint32_t result = read_packet_header(in.s, &found, &length, nullptr);
  if (result < 16 && found != type) result = SK_BAD_FORMAT;
  if (result < 16) result = read(in.s, length, packet);
  thread_status() = saved;
  return result;
}

const Bytes kKeyId = {1, 2, 3, 4, 5, 6, 7, 8};

TEST(MessagePackets, HandMadePacketsAreRead) {
  // Session key: version 3, key id, algorithm 1, a 9-bit number 0x01FF.
  SessionKeyPacket key;
  ASSERT_EQ(read_packet(Bytes{0x84, 14, 3, 1, 2, 3, 4, 5, 6, 7, 8, 1, 0x00, 0x09, 0x01, 0xFF}, 1, &key,
                        read_session_key_body),
            SK_OK);
  EXPECT_EQ(Bytes(key.key_id, key.key_id + 8), kKeyId);
  EXPECT_EQ(Bytes(key.block, key.block + key.count), (Bytes{0x01, 0xFF}));

  // Signature: version 2, 5, class 0x10, time 0x01020304, key id, 1, 1,
  // check bytes AB CD, a 16-bit number.
  SignaturePacket sig;
  ASSERT_EQ(read_packet(Bytes{0x88, 23, 2, 5, 0x10, 1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8, 1, 1, 0xAB, 0xCD, 0x00,
                              0x10, 0x80, 0x01},
                        2, &sig, read_signature_body),
            SK_OK);
  EXPECT_EQ(sig.signature_class, 0x10);
  EXPECT_EQ(sig.time, 0x01020304u);
  EXPECT_EQ(Bytes(sig.key_id, sig.key_id + 8), kKeyId);
  EXPECT_EQ(sig.check[0], 0xAB);
  EXPECT_EQ(Bytes(sig.block, sig.block + sig.count), (Bytes{0x80, 0x01}));

  // Keyless digest: version 4, 5, class 0, time 0, algorithm 1, 16 bytes.
  DigestPacket digest;
  Bytes body = {4, 5, 0, 0, 0, 0, 0, 1};
  for (int k = 0; k < 16; ++k) body.push_back(uint8_t(k));
  Bytes packet = {0x8C, 24};
  packet.insert(packet.end(), body.begin(), body.end());
  ASSERT_EQ(read_packet(packet, 3, &digest, read_digest_body), SK_OK);
  EXPECT_EQ(digest.digest[15], 15);

  // Literal: "t", name "#12", time 7, then the data "hi".
  LiteralHeader literal;
  ASSERT_EQ(read_packet(Bytes{0xAC, 11, 't', 3, '#', '1', '2', 0, 0, 0, 7, 'h', 'i'}, 11, &literal,
                        read_literal_header),
            SK_OK);
  EXPECT_EQ(literal.mode, 't');
  EXPECT_STREQ(literal.name, "#12");
  EXPECT_EQ(literal.time, 7u);
  EXPECT_EQ(literal.data_length, 2u);
}

TEST(MessagePackets, WrittenPacketsReadBack) {
  SessionKeyPacket key;
  std::memcpy(key.key_id, kKeyId.data(), 8);
  key.count = 64;
  for (uint32_t k = 0; k < 64; ++k) key.block[k] = uint8_t(k + 1);
  SignaturePacket sig;
  sig.time = 9;
  sig.check[0] = 0x12;
  sig.count = 128;
  std::memset(sig.block, 0x77, 128);
  DigestPacket digest;
  std::memset(digest.digest, 0x42, 16);
  Stream out;
  ASSERT_EQ(write_session_key_packet(out.s, key), SK_OK);
  ASSERT_EQ(write_signature_packet(out.s, sig), SK_OK);
  ASSERT_EQ(write_digest_packet(out.s, digest), SK_OK);
  ASSERT_EQ(write_literal_header(out.s, 'b', "data.bin", 0, 300), SK_OK);
  Bytes bytes = out.written();
  // The literal packet's 314-byte length takes two length bytes.
  std::size_t literal_at = bytes.size() - 2 - 8 - 4 - 3;
  EXPECT_EQ(Bytes(bytes.begin() + long(literal_at), bytes.begin() + long(literal_at) + 3), (Bytes{0xAD, 0x01, 0x3A}));

  Stream in(bytes);
  uint32_t type = 0;
  int32_t length = 0;
  SessionKeyPacket key2;
  SignaturePacket sig2;
  DigestPacket digest2;
  LiteralHeader literal;
  ASSERT_EQ(read_packet_header(in.s, &type, &length, nullptr), SK_OK);
  ASSERT_EQ(read_session_key_body(in.s, length, &key2), SK_OK);
  EXPECT_EQ(Bytes(key2.block, key2.block + key2.count), Bytes(key.block, key.block + 64));
  ASSERT_EQ(read_packet_header(in.s, &type, &length, nullptr), SK_OK);
  ASSERT_EQ(read_signature_body(in.s, length, &sig2), SK_OK);
  EXPECT_EQ(sig2.count, 128u);
  EXPECT_EQ(sig2.check[0], 0x12);
  ASSERT_EQ(read_packet_header(in.s, &type, &length, nullptr), SK_OK);
  ASSERT_EQ(read_digest_body(in.s, length, &digest2), SK_OK);
  EXPECT_EQ(0, std::memcmp(digest2.digest, digest.digest, 16));
  ASSERT_EQ(read_packet_header(in.s, &type, &length, nullptr), SK_OK);
  EXPECT_EQ(type, uint32_t(kPacketLiteral));
  uint32_t saved = thread_status();
  thread_status() = SK_BAD_FORMAT;
  ASSERT_EQ(read_literal_header(in.s, length, &literal), SK_OK);
  thread_status() = saved;
  EXPECT_STREQ(literal.name, "data.bin");
  EXPECT_EQ(literal.data_length, 300u);
  EXPECT_EQ(write_literal_header(out.s, 'x', "a", 0, 0), SK_BAD_ARGUMENT);
}

TEST(MessagePackets, DamagedPacketsAreRefused) {
  Bytes digest15 = {0x8C, 23, 3, 5, 0, 0, 0, 0, 0, 1};
  digest15.insert(digest15.end(), 15, 0x42);
  Bytes digest17 = {0x8C, 25, 3, 5, 0, 0, 0, 0, 0, 1};
  digest17.insert(digest17.end(), 17, 0x42);
  Bytes long_name = {0xAC, 46, 'b', 40};
  long_name.insert(long_name.end(), 40, 'n');
  long_name.insert(long_name.end(), {0, 0, 0, 0});
  DigestPacket digest;
  SessionKeyPacket key;
  SignaturePacket sig;
  LiteralHeader literal;
  EXPECT_EQ(read_packet(digest15, 3, &digest, read_digest_body), SK_BAD_FORMAT);
  EXPECT_EQ(read_packet(digest17, 3, &digest, read_digest_body), SK_BAD_FORMAT);
  // Version 5, algorithm 2, a number field of bit count 0, a field longer
  // than its packet, bytes left over.
  EXPECT_EQ(read_packet(Bytes{0x84, 14, 5, 1, 2, 3, 4, 5, 6, 7, 8, 1, 0x00, 0x09, 0x01, 0xFF}, 1, &key,
                        read_session_key_body),
            SK_BAD_FORMAT);
  EXPECT_EQ(read_packet(Bytes{0x84, 14, 3, 1, 2, 3, 4, 5, 6, 7, 8, 2, 0x00, 0x09, 0x01, 0xFF}, 1, &key,
                        read_session_key_body),
            SK_BAD_FORMAT);
  EXPECT_EQ(read_packet(Bytes{0x84, 12, 3, 1, 2, 3, 4, 5, 6, 7, 8, 1, 0x00, 0x00}, 1, &key, read_session_key_body),
            SK_BAD_FORMAT);
  EXPECT_EQ(read_packet(Bytes{0x84, 13, 3, 1, 2, 3, 4, 5, 6, 7, 8, 1, 0x00, 0x09, 0x01, 0xFF}, 1, &key,
                        read_session_key_body),
            SK_BAD_FORMAT);
  EXPECT_EQ(read_packet(Bytes{0x84, 15, 3, 1, 2, 3, 4, 5, 6, 7, 8, 1, 0x00, 0x09, 0x01, 0xFF, 0x00}, 1, &key,
                        read_session_key_body),
            SK_BAD_FORMAT);
  EXPECT_EQ(read_packet(Bytes{0x88, 23, 3, 4, 0x10, 1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8, 1, 1, 0xAB, 0xCD, 0x00,
                              0x10, 0x80, 0x01},
                        2, &sig, read_signature_body),
            SK_BAD_FORMAT);  // hashed-part length 4
  // A name longer than its packet; a long name kept to 31 characters.
  EXPECT_EQ(read_packet(Bytes{0xAC, 6, 'b', 9, 'a', 'b', 0, 0}, 11, &literal, read_literal_header), SK_BAD_FORMAT);
  ASSERT_EQ(read_packet(long_name, 11, &literal, read_literal_header), SK_OK);
  EXPECT_EQ(std::strlen(literal.name), 31u);
  EXPECT_EQ(literal.data_length, 0u);
}

}  // namespace
}  // namespace kelda::sekura32
