// Packet headers and integers written and read against hand-made bytes.
#include <vector>

#include <gtest/gtest.h>

#include "frame.h"
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

}  // namespace
}  // namespace kelda::sekura32
