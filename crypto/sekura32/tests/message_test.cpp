// Protected messages between lone sessions: round trips of every flag
// combination, the errors the readers give, detached signatures, channel
// mode across split blocks, and hand-made messages written from the byte
// layout (digests from OpenSSL) read correctly.
#include <openssl/evp.h>

#include "message_fixture.h"
#include "table_cipher.h"

namespace kelda::sekura32::testing {
namespace {

Buffer operator+(Buffer a, const Buffer& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The client signs and enciphers for the server; the server reads.
class Messages : public MessageRings {
 protected:
  void SetUp() override {
    writer_from = user("Ivanov", true);
    writer_to = user("Server", false);
    reader_from = user("Ivanov", false);
    reader_to = user("Server", true);
  }
  void share_password(uint32_t with_channel) {
    for (SkSession* s : {writer_from, reader_from}) ASSERT_EQ(ChanPassword(s, "pw", with_channel), SK_OK);
  }
  uint32_t round_trip(uint32_t flags, const Buffer& data, uint32_t* found, Buffer* got) {
    Buffer block;
    uint32_t result = protect(writer_from, writer_to, flags, data, &block);
    if (result >= 16) return result;
    return unprotect(reader_from, reader_to, found, block, got);
  }
  SkSession* writer_from = nullptr;
  SkSession* writer_to = nullptr;
  SkSession* reader_from = nullptr;
  SkSession* reader_to = nullptr;
};

TEST_F(Messages, EveryFlagCombinationRoundTrips) {
  struct Case {
    uint32_t flags, found;
  } cases[] = {
      {0, 0},           {0x1, 0x1},         {0x2, 0x2},   {0x3, 0x3},         {0x8, 0xC},
      {0xB, 0xF},       {0x41, 0x41},       {0x4, 0x4},   {0x46, 0x46},       {0x100, 0x100},
      {0x21, 0x21},     {0x2B, 0x2F},
  };
  share_password(0);
  Buffer data = {'l', 'i', 'n', 'e', '\n', 0x1B, 0, 0xFF};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    uint32_t found = c.flags & ~0x20u;
    Buffer got;
    // Text is lines of characters: no NUL in it.
    Buffer sent = (c.flags & 0x100) != 0 ? Buffer(data.begin(), data.begin() + 6) : data;
    ASSERT_EQ(round_trip(c.flags, sent, &found, &got), SK_OK);
    EXPECT_EQ(found, c.found);
    Buffer text = {'l', 'i', 'n', 'e', '\r', '\n', 0x1B, '\r', '\n'};
    EXPECT_EQ(got, (c.flags & 0x100) != 0 ? text : data);
  }
  // A recipient with a password channel makes message mode use IDEA-CFB:
  // a type-9 data packet with its 10-byte start.
  ASSERT_EQ(ChanPassword(writer_to, "pw", 1), SK_OK);
  Buffer block, got;
  ASSERT_EQ(protect(writer_from, writer_to, 0x4, data, &block), SK_OK);
  EXPECT_EQ(block[0], 0x80 | 9 << 2);
  EXPECT_EQ(block[1], block.size() - 2);
  uint32_t found = 0x4;
  ASSERT_EQ(unprotect(reader_from, reader_to, &found, block, &got), SK_OK);
  EXPECT_EQ(got, data);
}

TEST_F(Messages, ReadersRefuseWhatDoesNotHold) {
  Buffer data = {1, 2, 3}, block, got;
  SkSession* two[2] = {writer_from, writer_from};
  uint8_t* out = nullptr;
  uint32_t capacity = 0, length = 0;
  EXPECT_EQ(Protect(two, 2, &writer_to, 1, 0, data.data(), 3, &out, &capacity, &length), SK_SESSION_BUSY);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(protect(writer_from, writer_to, 0x4, data, &block), SK_BAD_HANDLE);  // no key anywhere

  // Numbered messages out of order; the sequence moves only on acceptance.
  Buffer first, second;
  ASSERT_EQ(protect(writer_from, writer_to, 0x40, data, &first), SK_OK);
  ASSERT_EQ(protect(writer_from, writer_to, 0x40, data, &second), SK_OK);
  uint32_t found = 0x40;
  EXPECT_EQ(unprotect(reader_from, reader_to, &found, second, &got), SK_NUMBER_SKIPPED);
  EXPECT_EQ(unprotect(reader_from, reader_to, &found, first, &got), SK_OK);
  EXPECT_EQ(unprotect(reader_from, reader_to, &found, first, &got), SK_NUMBER_SEEN);
  EXPECT_EQ(unprotect(reader_from, reader_to, &found, second, &got), SK_OK);

  // Expected protection that is not there; damaged signatures and digests.
  ASSERT_EQ(protect(writer_from, writer_to, 0, data, &block), SK_OK);
  found = 0x1;
  EXPECT_EQ(unprotect(reader_from, reader_to, &found, block, &got), SK_NO_SIGNATURE);
  found = 0x2;
  EXPECT_EQ(unprotect(reader_from, reader_to, &found, block, &got), SK_NO_DIGEST);
  for (uint32_t flags : {0x1u, 0x2u}) {
    ASSERT_EQ(protect(writer_from, writer_to, flags, data, &block), SK_OK);
    block.back() ^= 1;
    found = flags;
    EXPECT_EQ(unprotect(reader_from, reader_to, &found, block, &got),
              flags == 1 ? SK_BAD_SIGNATURE : SK_BAD_DIGEST);
  }
  // Signed by another user than the sender named: verified, not counted.
  ASSERT_EQ(protect(writer_from, writer_to, 0x1, data, &block), SK_OK);
  SkSession* server = user("Server", false);
  found = 0x1;
  EXPECT_EQ(unprotect(server, reader_to, &found, block, &got), SK_NO_SIGNATURE);
  found = 0x1;
  EXPECT_EQ(unprotect(reader_from, reader_to, &found, block, &got), SK_OK);
}

TEST_F(Messages, DetachedSignaturesAreCheckedAgainstTheData) {
  Buffer data = {'a', 'b', 'c'};
  SkStream* in = skMemStream(data.data(), 3, 3, &skDummyRealloc);
  SkStream* out = skTempMemStream();
  SkStream* detached = skTempMemStream();
  uint32_t written = 0;
  ASSERT_EQ(ProtectStream(&writer_from, &writer_to, 0x3, in, out, &written, detached), SK_OK);
  EXPECT_EQ(written, out->count);
  for (auto [text, expected] : {std::pair{"abc", SK_OK}, std::pair{"abd", SK_BAD_SIGNATURE}}) {
    SkStream* check = skMemStream(const_cast<char*>(text), 3, 3, &skDummyRealloc);
    detached->rewind_read(detached);
    EXPECT_EQ(CheckSignStream(&reader_from, 0x3, check, detached, nullptr), expected) << text;
    check->close(check);
  }
  EXPECT_EQ(CheckSignStream(&reader_from, 0x4, in, detached, nullptr), SK_FLAGS_NOT_ALLOWED);
  SkStream* empty = skTempMemStream();
  in->rewind_read(in);
  EXPECT_EQ(CheckSignStream(&reader_from, 0x1, in, empty, nullptr), SK_NO_SIGNATURE);
  for (SkStream* s : {in, out, detached, empty}) s->close(s);
}

TEST_F(Messages, ChannelModeDoublesEscapesAndReadsBlocksCutInsideThem) {
  share_password(1);
  Buffer data = {'a', 0x1B, 'b', 0x1B, 0x1B}, block, got;
  ASSERT_EQ(protect(writer_from, writer_to, 0x804, data, &block), SK_OK);
  EXPECT_EQ(block.size(), 10 + data.size() + 3);  // IDEA start, then doubled escapes
  // Cut right behind the first escape byte (start block, 'a', escape); the
  // next block continues the cipher with no start.
  Buffer first = block;
  ASSERT_EQ(protect(writer_from, writer_to, 0x804, data, &block), SK_OK);
  EXPECT_EQ(block.size(), data.size() + 3);
  std::vector<Buffer> pieces = {Buffer(first.begin(), first.begin() + 12), Buffer(first.begin() + 12, first.end()),
                                block};
  Buffer all;
  for (const Buffer& piece : pieces) {
    uint32_t found = 0x804;
    ASSERT_EQ(unprotect(reader_from, reader_to, &found, piece, &got), SK_OK);
    EXPECT_EQ(found, 0x804u);
    all.insert(all.end(), got.begin(), got.end());
  }
  EXPECT_EQ(all, data + data);
  // A signed channel message carries its signature behind an escape byte.
  ASSERT_EQ(protect(writer_from, writer_to, 0x805, data, &block), SK_OK);
  uint32_t found = 0x805;
  ASSERT_EQ(unprotect(reader_from, reader_to, &found, block, &got), SK_OK);
  EXPECT_EQ(found, 0x805u);
  EXPECT_EQ(got, data);
  // No channel on the reading side.
  found = 0x804;
  EXPECT_EQ(unprotect(reader_to, reader_from, &found, block, &got), SK_FLAGS_NOT_ALLOWED);
}

// ---- hand-made messages ----

void md5(const uint8_t* data, std::size_t length, uint8_t* digest) {
  unsigned int size = 0;
  ASSERT_EQ(EVP_Digest(data, length, digest, &size, EVP_md5(), nullptr), 1);
}

Buffer packet(uint8_t type, const Buffer& body) {
  Buffer p;
  if (body.size() < 256) {
    p = {uint8_t(0x80 | type << 2), uint8_t(body.size())};
  } else {
    p = {uint8_t(0x80 | type << 2 | 1), uint8_t(body.size() >> 8), uint8_t(body.size())};
  }
  p.insert(p.end(), body.begin(), body.end());
  return p;
}

Buffer literal(char mode, const std::string& name, const Buffer& data) {
  Buffer body = {uint8_t(mode), uint8_t(name.size())};
  body.insert(body.end(), name.begin(), name.end());
  body.insert(body.end(), {0, 0, 0, 0});
  body.insert(body.end(), data.begin(), data.end());
  return packet(11, body);
}

// A keyless digest packet over the data, class 0 and time 0.
Buffer digest_packet(const Buffer& data) {
  Buffer hashed = data;
  hashed.insert(hashed.end(), {0, 0, 0, 0, 0});
  Buffer body = {3, 5, 0, 0, 0, 0, 0, 1};
  body.resize(24);
  md5(hashed.data(), hashed.size(), body.data() + 8);
  return packet(3, body);
}


TEST_F(Messages, HandMadeMessagesAreReadFromTheirLayout) {
  Buffer hello = {'h', 'e', 'l', 'l', 'o'};
  Buffer big(300, 'x');
  // The table cipher keyed with bytes 0..5 of MD5("pw"), indexes bytes 6, 7.
  uint8_t key[16];
  md5(reinterpret_cast<const uint8_t*>("pw"), 2, key);
  Buffer inner = digest_packet(hello) + literal('b', "", hello);
  TableCipherContext table;
  table_cipher_setup(table, key, 6, key[6], key[7]);
  table_cipher_apply(table, inner.data(), inner.size());
  Buffer enciphered = packet(14, inner);
  const Buffer crlf = {'\r', '\n'};
  Buffer damaged_digest = digest_packet(hello);
  damaged_digest[1] = 23;
  damaged_digest.pop_back();

  struct Case {
    const char* what;
    Buffer block;
    uint32_t expected_in, result, found;
    Buffer data;
  } cases[] = {
      {"literal", literal('b', "", hello), 0, SK_OK, 0, hello},
      {"two-byte length", literal('b', "name", big), 0, SK_OK, 0, big},
      {"text", literal('t', "", hello), 0, SK_OK, 0x100, hello + crlf},
      {"numbered", literal('b', "#1", hello), 0x40, SK_OK, 0x40, hello},
      {"digest", digest_packet(hello) + literal('b', "", hello), 2, SK_OK, 2, hello},
      {"enciphered", enciphered, 6, SK_OK, 6, hello},
      {"wrong digest", digest_packet(big) + literal('b', "", hello), 0, SK_BAD_DIGEST, 0, {}},
      {"15-byte digest", damaged_digest + literal('b', "", hello), 0, SK_BAD_FORMAT, 0, {}},
      {"number skipped", literal('b', "#2", hello), 0, SK_NUMBER_SKIPPED, 0, {}},
      {"trust packet first", packet(12, {1}) + literal('b', "", hello), 0, SK_BAD_FORMAT, 0, {}},
      {"bytes behind the literal", literal('b', "", hello) + Buffer{0}, 0, SK_BAD_FORMAT, 0, {}},
      {"name past its packet", packet(11, {'b', 9, 'a', 0, 0, 0, 0}), 0, SK_BAD_FORMAT, 0, {}},
      {"no literal", digest_packet(hello), 0, SK_BAD_FORMAT, 0, {}},
      {"not a packet", Buffer{0x01, 0x02}, 0, SK_BAD_FORMAT, 0, {}},
      {"data packet cut", Buffer(enciphered.begin(), enciphered.end() - 1), 6, SK_BAD_FORMAT, 0, {}},
  };
  share_password(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t found = c.expected_in;
    Buffer got;
    ASSERT_EQ(unprotect(reader_from, reader_to, &found, c.block, &got), c.result);
    if (c.result != SK_OK) continue;
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(got, c.data);
    reader_to->sequence = 0;
  }
}

// ---- text data (flag 0x100) ----

Buffer bytes(const std::string& text) { return Buffer(text.begin(), text.end()); }

TEST_F(Messages, TextIsWrittenAsLinesEndedByCrLf) {
  // Lines longer than any line buffer go whole.
  std::string long_line(1500, 'x');
  struct Case {
    const char* what;
    uint32_t flags;
    Buffer data, block;
  } cases[] = {
      {"bare line feeds", 0x100, bytes("a\nb"), literal('t', "", bytes("a\r\nb\r\n"))},
      {"already converted", 0x100, bytes("a\r\nb\r\n"), literal('t', "", bytes("a\r\nb\r\n"))},
      {"lone carriage returns stay", 0x100, bytes("one\rtwo\r"), literal('t', "", bytes("one\rtwo\r\r\n"))},
      {"empty lines", 0x100, bytes("\n\r\n"), literal('t', "", bytes("\r\n\r\n"))},
      {"nothing", 0x100, {}, literal('t', "", {})},
      {"byte 26 ends the text", 0x100, bytes("end\n\x1A"), literal('t', "", bytes("end\r\n"))},
      {"long line", 0x100, bytes(long_line + "\nend"), literal('t', "", bytes(long_line + "\r\nend\r\n"))},
      {"digest over the converted text", 0x102, bytes("a\nb"),
       digest_packet(bytes("a\r\nb\r\n")) + literal('t', "", bytes("a\r\nb\r\n"))},
      {"binary keeps its line feeds", 0, bytes("a\nb"), literal('b', "", bytes("a\nb"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Buffer block, got;
    ASSERT_EQ(protect(writer_from, writer_to, c.flags, c.data, &block), SK_OK);
    EXPECT_EQ(block, c.block);
    uint32_t found = c.flags;
    ASSERT_EQ(unprotect(reader_from, reader_to, &found, block, &got), SK_OK);
    EXPECT_EQ(found, c.flags);
    EXPECT_EQ(got, Buffer(c.block.end() - long(got.size()), c.block.end()));  // the literal's data
  }
  // What the conversion could not carry whole is refused, not cut.
  for (const Buffer& not_text : {bytes(std::string("a\0b", 3)), bytes("a\x1A" "b")}) {
    Buffer block = {9};
    EXPECT_EQ(protect(writer_from, writer_to, 0x100, not_text, &block), SK_BAD_FORMAT);
    EXPECT_TRUE(block.empty());
  }
}

TEST_F(Messages, TextIsReadAsLinesEndedByCrLf) {
  struct Case {
    const char* what;
    Buffer block;
    uint32_t expected_in, result, found;
    Buffer data;
  } cases[] = {
      {"bare line feeds", literal('t', "", bytes("a\nb")), 0, SK_OK, 0x100, bytes("a\r\nb\r\n")},
      {"converted text as it is", literal('t', "", bytes("a\r\n\r\n")), 0x100, SK_OK, 0x100, bytes("a\r\n\r\n")},
      {"long line", literal('t', "", Buffer(2000, 'y')), 0, SK_OK, 0x100, Buffer(2000, 'y') + bytes("\r\n")},
      {"nothing", literal('t', "", {}), 0, SK_OK, 0x100, {}},
      {"byte 26 at the end", literal('t', "", bytes("z\x1A")), 0, SK_OK, 0x100, bytes("z\r\n")},
      // The digest is over the literal's bytes as sent, not as converted.
      {"digest over the bytes sent", digest_packet(bytes("a\nb")) + literal('t', "", bytes("a\nb")), 2, SK_OK,
       0x102, bytes("a\r\nb\r\n")},
      {"digest over the converted bytes", digest_packet(bytes("a\r\nb\r\n")) + literal('t', "", bytes("a\nb")), 2,
       SK_BAD_DIGEST, 0, {}},
      {"binary", literal('b', "", bytes("a\nb")), 0, SK_OK, 0, bytes("a\nb")},
      {"NUL in text", literal('t', "", bytes(std::string("a\0b", 3))), 0, SK_BAD_FORMAT, 0, {}},
      {"bytes behind byte 26", literal('t', "", bytes("a\x1A" "b")), 0, SK_BAD_FORMAT, 0, {}},
      {"unknown mode", literal('u', "", bytes("a")), 0, SK_BAD_FORMAT, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t found = c.expected_in;
    Buffer got;
    ASSERT_EQ(unprotect(reader_from, reader_to, &found, c.block, &got), c.result);
    if (c.result != SK_OK) continue;
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(got, c.data);
  }
}

TEST_F(Messages, TextSignaturesAndChannelBlocksCarryTheConvertedLines) {
  // A detached signature over text covers its converted lines, so the check
  // finds it over the text as given (flag 0x100) or as converted (no flag).
  std::string text = std::string(1200, 'q') + "\nlast";
  Buffer converted = bytes(std::string(1200, 'q') + "\r\nlast\r\n");
  SkStream* in = skMemStream(text.data(), uint32_t(text.size()), uint32_t(text.size()), &skDummyRealloc);
  SkStream* out = skTempMemStream();
  SkStream* detached = skTempMemStream();
  ASSERT_EQ(ProtectStream(&writer_from, &writer_to, 0x101, in, out, nullptr, detached), SK_OK);
  struct Check {
    std::string data;
    uint32_t flags, result;
  } checks[] = {
      {text, 0x101, SK_OK},
      {std::string(converted.begin(), converted.end()), 0x1, SK_OK},
      {text, 0x1, SK_BAD_SIGNATURE},
      {text + std::string(1, '\0'), 0x101, SK_BAD_FORMAT},
  };
  for (Check& c : checks) {
    SCOPED_TRACE(c.flags);
    SkStream* data = skMemStream(c.data.data(), uint32_t(c.data.size()), uint32_t(c.data.size()), &skDummyRealloc);
    detached->rewind_read(detached);
    EXPECT_EQ(CheckSignStream(&reader_from, c.flags, data, detached, nullptr), c.result);
    data->close(data);
  }
  for (SkStream* s : {in, out, detached}) s->close(s);

  // Channel mode converts each block on writing; the reader gets the lines.
  share_password(1);
  Buffer block, got;
  ASSERT_EQ(protect(writer_from, writer_to, 0x904, bytes("a\nb"), &block), SK_OK);
  uint32_t found = 0x804;
  ASSERT_EQ(unprotect(reader_from, reader_to, &found, block, &got), SK_OK);
  EXPECT_EQ(found, 0x804u);
  EXPECT_EQ(got, bytes("a\r\nb\r\n"));
}

}  // namespace
}  // namespace kelda::sekura32::testing
