// A connection's registry: lookup, per-version check values and whole
// messages with their envelope, against bytes worked out by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "zn_de/codec.h"
#include "zn_de/layout_testing.h"

namespace kelda::de {
namespace {

using Bytes = std::vector<uint8_t>;

MessageLayout kInt32[] = {0, ZN_FIELD_INT32, 0};
MessageLayout kInt16Int32[] = {0, ZN_FIELD_INT16, ZN_FIELD_INT32, 0};
MessageLayout kText17[] = {0, ZN_FIELD_ARRAY(17), ZN_FIELD_CHAR, 0};
MessageLayout kEmpty[] = {0, 0};
MessageLayout kLayoutCheck[] = {0, ZN_FIELD_INT16, ZN_FIELD_INT16, ZN_FIELD_INT32,
                                ZN_FIELD_INT16, ZN_FIELD_INT16, ZN_FIELD_INT32, 0};

// Unsorted, as a client may list it. Checks worked by hand: int32 0x00AD,
// {int16, int32} 0x02FD, char[17] 0xFC2E, empty 0x0021, the layout check
// message's layout 0xECBF.
const MessageLayoutEntry kTable[] = {
    {0x20, kText17, 3}, {0x10, kInt32, 1},         {0x05, kInt16Int32, 3},
    {78, kEmpty, 2},    {0xF003, kLayoutCheck, 0}, {0, nullptr, 0},
};

struct LayoutCheckMessage {
  int16_t three;
  int16_t version;
  uint32_t check_word;
  int16_t zero1;
  int16_t zero2;
  int32_t tail;
};

TEST(CodecRegistry, CheckValuesPerVersion) {
  auto registry = LayoutRegistry::build(kTable, "main");
  ASSERT_TRUE(registry) << registry.error().text;
  const LayoutRegistry& r = registry.value();
  EXPECT_EQ(r.size(), 5u);
  EXPECT_EQ(r.highest_version(), 3);
  // Version v holds the XOR of every layout of version v or lower.
  EXPECT_EQ(r.check_value(0), 0xECBF);
  EXPECT_EQ(r.check_value(1), 0xECBF ^ 0x00AD);
  EXPECT_EQ(r.check_value(2), 0xECBF ^ 0x00AD ^ 0x0021);
  EXPECT_EQ(r.check_value(3), 0xECBF ^ 0x00AD ^ 0x0021 ^ 0x02FD ^ 0xFC2E);
  EXPECT_EQ(r.check_value(4), 0);
  EXPECT_EQ(r.check_value(-1), 0);
  EXPECT_EQ(layout_check_word(r, 3), 0x212E0u);
  for (uint32_t id : {0x05u, 0x10u, 0x20u, 78u, 0xF003u}) EXPECT_NE(r.find(id), nullptr) << id;
  for (uint32_t id : {0x00u, 0x06u, 0xF004u, 0x10010u}) EXPECT_EQ(r.find(id), nullptr) << id;
  EXPECT_EQ(r.find(0x05)->native_size(), 8u);
}

TEST(CodecRegistry, WholeMessagesByHand) {
  auto registry = LayoutRegistry::build(kTable, "main");
  ASSERT_TRUE(registry);
  const LayoutRegistry& r = registry.value();

  const LayoutCheckMessage check{3, r.highest_version(), layout_check_word(r, r.highest_version()), 0, 0, 3};
  int32_t number = -2;
  char text[17] = "AB";
  struct Case {
    const char* name;
    uint32_t id;
    const void* record;
    bool with_check_word;
    Bytes bytes;
  };
  const Case cases[] = {
      {"logout: id and check word only", 78, nullptr, true, {0x00, 0x4E, 0x61, 0x29}},
      {"layout check, without check word", 0xF003, &check, false,
       {0xF0, 0x03, 0x00, 0x03, 0x00, 0x03, 0x00, 0x02, 0x12, 0xE0, 0, 0, 0, 0, 0, 0, 0, 3}},
      {"int32", 0x10, &number, true, {0x00, 0x10, 0xFF, 0xFF, 0xFF, 0xFE, 0x61, 0x29}},
      {"text", 0x20, text, true, {0x00, 0x20, 0x41, 0x42, 0x00, 0x61, 0x29}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out(kWorkAreaSize);
    auto length = pack_message(r, c.id, c.record, c.with_check_word, out);
    ASSERT_TRUE(length) << length.error().text;
    out.resize(length.value());
    EXPECT_EQ(out, c.bytes);

    if (!c.with_check_word) continue;
    auto message = decode_message(r, c.bytes);
    ASSERT_TRUE(message) << message.error().text;
    ASSERT_TRUE(message.value().has_value());
    EXPECT_EQ(message.value()->id, c.id);
    const uint32_t size = message.value()->size;
    ASSERT_EQ(size, r.find(c.id)->native_size());
    if (size > 0) {
      EXPECT_EQ(std::memcmp(message.value()->record.get(), c.record, size), 0);
    }

    Bytes body(kWorkAreaSize);
    auto body_length = encode_message(r, c.id, c.record, body);
    ASSERT_TRUE(body_length);
    EXPECT_EQ(body_length.value(), c.bytes.size() - 4);
    Bytes native(size + 1, 0xEE);
    auto decoded = decode_message_body(r, c.id, Bytes(c.bytes.begin() + 2, c.bytes.end() - 2), native);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded.value(), size);
  }
}

TEST(CodecRegistry, DecodedRecordsArePaddedToTheirAlignment) {
  // {int32, int16}: 6 native bytes, 8 with the tail padding a C++ record has.
  MessageLayout int32_int16[] = {0, ZN_FIELD_INT32, ZN_FIELD_INT16, 0};
  const MessageLayoutEntry table[] = {{0x30, int32_int16, 1}, {0, nullptr, 0}};
  struct Record {
    int32_t a;
    int16_t b;
  };
  static_assert(sizeof(Record) == 8);
  auto registry = LayoutRegistry::build(table, "padded");
  ASSERT_TRUE(registry) << registry.error().text;
  const Bytes block = {0x00, 0x30, 0x00, 0x00, 0x01, 0x02, 0xFF, 0xFE, ZN_CHECK_WORD_BYTE0, ZN_CHECK_WORD_BYTE1};
  auto message = decode_message(registry.value(), block);
  ASSERT_TRUE(message && message.value()) << (message ? "" : message.error().text);
  Record copy;
  std::memcpy(&copy, message.value()->record.get(), sizeof copy);  // a handler's whole-record copy
  EXPECT_EQ(copy.a, 0x0102);
  EXPECT_EQ(copy.b, -2);
  const uint8_t* tail = message.value()->record.get() + 6;
  EXPECT_EQ(tail[0] | tail[1], 0);
}

TEST(CodecRegistry, DecodedRecordsHoldTheirWholeCxxRecord) {
  // A counted array of bytes: the layout's alignment is 1 (its count does not
  // raise it), yet the C++ record is aligned for its 16-bit count and has a
  // tail byte the 5 native bytes do not cover.
  MessageLayout counted_bytes[] = {0, ZN_FIELD_COUNTED_ARRAY(3), ZN_FIELD_BYTE, 0};
  struct Record {
    uint16_t count;
    uint8_t items[3];
  };
  static_assert(sizeof(Record) == 6);
  const RecordField fields[] = {ZN_RECORD_FIELD(Record, count), ZN_RECORD_FIELD(Record, items)};
  EXPECT_EQ(layout_mismatches<Record>(counted_bytes, fields), "");
  const MessageLayoutEntry table[] = {{0x31, counted_bytes, 1}, {0, nullptr, 0}};
  auto registry = LayoutRegistry::build(table, "counted");
  ASSERT_TRUE(registry) << registry.error().text;
  const Bytes block = {0x00, 0x31, 0x00, 0x03, 7, 8, 9, ZN_CHECK_WORD_BYTE0, ZN_CHECK_WORD_BYTE1};
  auto message = decode_message(registry.value(), block);
  ASSERT_TRUE(message && message.value()) << (message ? "" : message.error().text);
  EXPECT_EQ(message.value()->size, 5u);
  Record copy;
  std::memcpy(&copy, message.value()->record.get(), sizeof copy);  // a handler's whole-record copy
  EXPECT_EQ(copy.count, 3);
  EXPECT_EQ(copy.items[2], 9);
  EXPECT_EQ(message.value()->record.get()[5], 0) << "the tail is zero";
}

// Decoding into a reused buffer gives what decoding into a fresh record
// gives, whatever the buffer held before: the same record, its zeroed tail,
// the same refusals.
TEST(CodecRegistry, ARecordBufferReusedAcrossMessagesDecodesAsAFreshRecord) {
  MessageLayout int32_int16[] = {0, ZN_FIELD_INT32, ZN_FIELD_INT16, 0};
  MessageLayout counted_bytes[] = {0, ZN_FIELD_COUNTED_ARRAY(40), ZN_FIELD_BYTE, 0};
  const MessageLayoutEntry table[] = {{0x30, int32_int16, 1}, {0x31, counted_bytes, 1}, {0, nullptr, 0}};
  auto registry = LayoutRegistry::build(table, "reused");
  ASSERT_TRUE(registry) << registry.error().text;
  Bytes large = {0x00, 0x31, 0x00, 40};
  for (int i = 0; i < 40; ++i) large.push_back(static_cast<uint8_t>(0xA0 + i));
  large.insert(large.end(), {ZN_CHECK_WORD_BYTE0, ZN_CHECK_WORD_BYTE1});
  const Bytes small = {0x00, 0x30, 0x00, 0x00, 0x01, 0x02, 0xFF, 0xFE, ZN_CHECK_WORD_BYTE0, ZN_CHECK_WORD_BYTE1};
  const Bytes bad_check = {0x00, 0x30, 0, 0, 0, 0, 0, 0, 0x00, 0x00};
  const Bytes unknown = {0x00, 0x77, ZN_CHECK_WORD_BYTE0, ZN_CHECK_WORD_BYTE1};
  RecordBuffer buffer;
  // Large first, so the small records land in a buffer full of its bytes.
  const Bytes* blocks[] = {&large, &small, &bad_check, &unknown, &small, &large, &small};
  for (const Bytes* block : blocks) {
    auto fresh = decode_message(registry.value(), *block);
    auto reused = decode_message_into(registry.value(), *block, buffer);
    ASSERT_EQ(static_cast<bool>(fresh), static_cast<bool>(reused));
    if (!fresh) {
      EXPECT_EQ(fresh.error().status, reused.error().status);
      EXPECT_EQ(fresh.error().text, reused.error().text);
      continue;
    }
    ASSERT_TRUE(fresh.value() && reused.value());
    EXPECT_EQ(fresh.value()->id, reused.value()->id);
    ASSERT_EQ(fresh.value()->size, reused.value()->size);
    // The record and its tail up to the widest alignment.
    const std::size_t padded = (fresh.value()->size + 15) / 16 * 16;
    EXPECT_EQ(Bytes(fresh.value()->record.get(), fresh.value()->record.get() + padded),
              Bytes(reused.value()->record, reused.value()->record + padded));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(reused.value()->record) % alignof(std::max_align_t), 0u);
  }
}

TEST(CodecRegistry, RefusesUnknownIdsAndUnusableTables) {
  auto registry = LayoutRegistry::build(kTable, "main");
  ASSERT_TRUE(registry);
  Bytes out(kWorkAreaSize);
  int32_t value = 0;
  for (uint32_t id : {0x1234u, 0x10010u}) {
    auto packed = pack_message(registry.value(), id, &value, true, out);
    ASSERT_FALSE(packed);
    EXPECT_EQ(packed.error().status, CodecStatus::unknown_id);
    EXPECT_EQ(packed.error().text, "Can't encode network message with id " + std::to_string(id));
  }
  auto body = encode_message(registry.value(), 0x1234, &value, out);
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().text, "Can't encode network message with id 4660");
  auto decoded = decode_message_body(registry.value(), 0x1234, Bytes{}, out);
  ASSERT_FALSE(decoded);
  EXPECT_EQ(decoded.error().text, "Can't decode network message with id 4660");

  MessageLayout bad[] = {0, 5, 0};
  struct Case {
    const char* name;
    std::vector<MessageLayoutEntry> table;
    const char* text;
  };
  const Case cases[] = {
      {"version 150", {{1, kInt32, 150}, {0, nullptr, 0}},
       "Protocol version 150 of network message with id 1 is outside 0..149"},
      {"negative version", {{2, kInt32, 0xFFFF}, {0, nullptr, 0}},
       "Protocol version -1 of network message with id 2 is outside 0..149"},
      {"bad layout", {{3, bad, 1}, {0, nullptr, 0}},
       "Wrong layout of network message with id 3: unknown field code 5"},
      {"no layout", {{4, nullptr, 1}, {0, nullptr, 0}},
       "Wrong layout of network message with id 4: a nested layout is null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto built = LayoutRegistry::build(c.table.data(), "main");
    ASSERT_FALSE(built);
    EXPECT_EQ(built.error().status, CodecStatus::bad_layout);
    EXPECT_EQ(built.error().text, c.text);
  }
  auto none = LayoutRegistry::build(nullptr, "main");
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().text, "Not set messages table for connection \"main\"");

  // Only the low 16 bits of the version word count.
  const MessageLayoutEntry high_bits[] = {{1, kInt32, 0x10005}, {0, nullptr, 0}};
  auto built = LayoutRegistry::build(high_bits, "main");
  ASSERT_TRUE(built);
  EXPECT_EQ(built.value().highest_version(), 5);

  const MessageLayoutEntry empty[] = {{0, nullptr, 0}};
  auto nothing = LayoutRegistry::build(empty, "main");
  ASSERT_TRUE(nothing);
  EXPECT_EQ(nothing.value().highest_version(), 0);
  EXPECT_EQ(layout_check_word(nothing.value(), 0), 0x20000u);
}

}  // namespace
}  // namespace kelda::de
