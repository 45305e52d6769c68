// Packet headers and integers written and read against hand-made bytes.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "frame.h"
#include "md5.h"
#include "packet.h"

namespace kelda::sekura32 {
namespace {

std::vector<uint8_t> written(SkStream* s) {
  uint8_t* buffer = nullptr;
  uint32_t capacity = 0, length = 0, position = 0;
  skLookMemStream(s, &buffer, &capacity, &length, &position);
  return std::vector<uint8_t>(buffer, buffer + length);
}

struct Stream {
  Stream() : s(skTempMemStream()) {}
  explicit Stream(std::vector<uint8_t> bytes) : s(skTempMemStream()) {
    s->write(s, bytes.data(), uint32_t(bytes.size()));
    s->rewind_read(s);
  }
  ~Stream() { s->close(s); }
  SkStream* s;
};

TEST(PacketHeader, WrittenBytesAndReadBack) {
  struct Case {
    uint32_t type;
    int32_t length;
    uint32_t minimum;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {11, 300, 0, {0xAD, 0x01, 0x2C}},
      {11, 0, 0, {0xAC, 0x00}},
      {11, -1, 0, {0xAF}},
      {5, 70000, 0, {0x96, 0x00, 0x01, 0x11, 0x70}},
      {6, 200, 2, {0x99, 0x00, 0xC8}},
      {13, 5, 3, {0xB6, 0x00, 0x00, 0x00, 0x05}},
      {2, 255, 0, {0x88, 0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    Stream out;
    uint32_t header = 0;
    ASSERT_EQ(write_packet_header(out.s, c.type, c.length, c.minimum, &header), SK_OK);
    EXPECT_EQ(written(out.s), c.bytes);
    EXPECT_EQ(header, c.bytes.size());
    Stream in(c.bytes);
    uint32_t type = 99, size = 0;
    int32_t length = 0;
    ASSERT_EQ(read_packet_header(in.s, &type, &length, &size), SK_OK);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(size, c.bytes.size());
  }
}

TEST(PacketHeader, BadTagsAndTheEndOfTheData) {
  Stream low({0x7F, 0x00});
  EXPECT_EQ(read_packet_header(low.s, nullptr, nullptr, nullptr), SK_BAD_FORMAT);

  Stream high({0xC0, 0x00});  // bit 6 set: a type no reader accepts
  uint32_t type = 0;
  ASSERT_EQ(read_packet_header(high.s, &type, nullptr, nullptr), SK_OK);
  EXPECT_GE(type, 16u);

  Stream empty;
  uint32_t saved = thread_status();
  thread_status() = kNoMorePackets;
  EXPECT_EQ(read_packet_header(empty.s, nullptr, nullptr, nullptr), kNoMorePackets);
  thread_status() = SK_BAD_FORMAT;
  Stream cut({0xAD, 0x01});
  EXPECT_EQ(read_packet_header(cut.s, nullptr, nullptr, nullptr), SK_BAD_FORMAT);
  thread_status() = saved;
}

TEST(PacketIntegers, WidthsAndLimits) {
  Stream out;
  EXPECT_EQ(write_int(out.s, 256, 1), SK_BAD_ARGUMENT);
  EXPECT_EQ(write_int(out.s, 1, 5), SK_BAD_ARGUMENT);
  EXPECT_EQ(write_int(out.s, 0x0102, 2), SK_OK);
  EXPECT_EQ(write_int(out.s, 0xA1B2C3D4, 4), SK_OK);
  EXPECT_EQ(written(out.s), (std::vector<uint8_t>{1, 2, 0xA1, 0xB2, 0xC3, 0xD4}));
  out.s->rewind_read(out.s);
  uint32_t value = 0;
  EXPECT_EQ(read_int(out.s, &value, 5), SK_BAD_ARGUMENT);
  ASSERT_EQ(read_int(out.s, &value, 2), SK_OK);
  EXPECT_EQ(value, 0x0102u);
  ASSERT_EQ(read_int(out.s, &value, 4), SK_OK);
  EXPECT_EQ(value, 0xA1B2C3D4u);
  EXPECT_EQ(key_checksum(std::vector<uint8_t>(300, 0xFF).data(), 300), uint16_t(300 * 255));
}

TEST(PacketFields, NumberFieldsReadAndWritten) {
  struct Case {
    std::vector<uint8_t> field;
    uint32_t result;  // of reading it into a two-word number
  };
  const Case cases[] = {
      {{0x00, 0x09, 0x01, 0x23}, SK_OK},                      // 9 bits, 2 bytes
      {{0x00, 0x00}, SK_KEY_TOO_LARGE},                       // bit count 0
      {{0x00, 0x41, 1, 0, 0, 0, 0, 0, 0, 0, 0}, SK_KEY_TOO_LARGE},  // 65 bits in 2 words
      {{0x00, 0x10, 0xAB}, SK_BAD_FORMAT},                    // cut short
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field.size());
    Stream in(c.field);
    uint32_t* number = nullptr;
    uint16_t sum = 0;
    uint8_t room[64];
    uint32_t saved = thread_status();
    thread_status() = SK_BAD_FORMAT;
    EXPECT_EQ(read_number_field(in.s, &number, 2, nullptr, &sum, nullptr, room, sizeof room), c.result);
    thread_status() = saved;
    if (c.result != SK_OK) continue;
    EXPECT_EQ(number[0], 0x123u);
    EXPECT_EQ(sum, key_checksum(c.field.data(), uint32_t(c.field.size())));
    Stream out;
    uint32_t length = 0;
    EXPECT_EQ(write_number_field(out.s, number, 2, nullptr, nullptr, nullptr, &length, room, sizeof room), SK_OK);
    EXPECT_EQ(written(out.s), c.field);
    EXPECT_EQ(length, c.field.size());
    skFree(number);
  }
}

TEST(PacketFields, FieldLimitsAndProtection) {
  // A 1024-bit field is 2 + 128 bytes and carries the key id in its last 8.
  std::vector<uint32_t> big(33, 0);
  for (uint32_t k = 0; k < 32; ++k) big[k] = 0x01020304u * (k + 1);
  big[31] |= 0x80000000u;
  uint8_t room[200], id[8];
  Stream out;
  uint32_t length = 0;
  ASSERT_EQ(write_number_field(out.s, big.data(), 33, nullptr, nullptr, id, &length, room, sizeof room), SK_OK);
  std::vector<uint8_t> field = written(out.s);
  ASSERT_EQ(field.size(), 130u);
  EXPECT_EQ(std::vector<uint8_t>(id, id + 8), std::vector<uint8_t>(field.end() - 8, field.end()));
  EXPECT_EQ(write_number_field(out.s, big.data(), 33, nullptr, nullptr, nullptr, nullptr, room, 100), SK_BAD_ARGUMENT);
  uint32_t small = 5;
  EXPECT_EQ(write_number_field(out.s, &small, 1, nullptr, nullptr, id, nullptr, room, sizeof room), SK_BAD_ARGUMENT);

  // A field longer than what is left of its packet.
  Stream in(field);
  int32_t remaining = 100;
  EXPECT_EQ(read_number_field(in.s, nullptr, 33, nullptr, nullptr, &remaining, room, sizeof room), SK_BAD_FORMAT);

  // Enciphered number bytes: the bit count stays plain, the checksum is of
  // the plain field, and deciphering gives the number back.
  uint8_t digest[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  for (bool idea : {false, true}) {
    SCOPED_TRACE(idea);
    uint8_t start[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    KeyProtection writer, reader;
    idea ? writer.use_idea(digest, start) : writer.use_table(digest);
    idea ? reader.use_idea(digest, start) : reader.use_table(digest);
    Stream sealed;
    uint16_t written_sum = 0, read_sum = 0;
    for (int k = 0; k < 2; ++k)
      ASSERT_EQ(write_number_field(sealed.s, big.data(), 33, &writer, &written_sum, nullptr, nullptr, room, sizeof room),
                SK_OK);
    std::vector<uint8_t> bytes = written(sealed.s);
    EXPECT_EQ(bytes[0], field[0]);
    EXPECT_NE(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 130), field);
    sealed.s->rewind_read(sealed.s);
    for (int k = 0; k < 2; ++k) {
      uint32_t* number = nullptr;
      ASSERT_EQ(read_number_field(sealed.s, &number, 33, &reader, &read_sum, nullptr, room, sizeof room), SK_OK);
      EXPECT_EQ(std::vector<uint32_t>(number, number + 33), big);
      skFree(number);
    }
    EXPECT_EQ(read_sum, written_sum);
    EXPECT_EQ(written_sum, uint16_t(2 * key_checksum(field.data(), 130)));
  }
}

TEST(PacketFields, TextFieldsSkipsAndCopies) {
  Stream out;
  uint32_t count = 1;
  SkMd5Context md5;
  MD5Init(&md5);
  ASSERT_EQ(write_text_field(out.s, "abc", 10, &count, &md5), SK_OK);
  ASSERT_EQ(write_text_field(nullptr, "abcdef", 2, &count, nullptr), SK_OK);
  EXPECT_EQ(written(out.s), (std::vector<uint8_t>{'a', 'b', 'c', '\r', '\n'}));
  EXPECT_EQ(count, 1u + 5u + 4u);
  uint8_t digest[16], expected[16];
  MD5Final(digest, &md5);
  md5_buffer("abc\r\n", 5, expected);
  EXPECT_EQ(0, std::memcmp(digest, expected, 16));

  std::vector<uint8_t> data(1500);
  for (std::size_t k = 0; k < data.size(); ++k) data[k] = uint8_t(k * 7);
  Stream source(data);
  ASSERT_EQ(skip_bytes(source.s, 700), SK_OK);
  Stream copy;
  MD5Init(&md5);
  ASSERT_EQ(skCopyStream(source.s, copy.s, -1, &md5), SK_OK);
  EXPECT_EQ(written(copy.s), std::vector<uint8_t>(data.begin() + 700, data.end()));
  MD5Final(digest, &md5);
  md5_buffer(data.data() + 700, 800, expected);
  EXPECT_EQ(0, std::memcmp(digest, expected, 16));

  source.s->rewind_read(source.s);
  EXPECT_EQ(skCopyStream(source.s, nullptr, 0, nullptr), SK_OK);
  uint32_t saved = thread_status();
  thread_status() = SK_BAD_FORMAT;
  EXPECT_EQ(skCopyStream(source.s, nullptr, 1501, nullptr), SK_BAD_FORMAT);
  source.s->rewind_read(source.s);
  EXPECT_EQ(skip_bytes(source.s, 1501), SK_BAD_FORMAT);
  thread_status() = saved;
}

}  // namespace
}  // namespace kelda::sekura32
