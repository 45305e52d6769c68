// Input the codec must refuse without reading or writing out of bounds:
// short blocks and bodies, counts above capacity, output beyond the work
// area. Every input is copied into a buffer of exactly its size, so that a
// read past its end is caught by AddressSanitizer.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "zn_de/codec.h"

namespace kelda::de {
namespace {

using Bytes = std::vector<uint8_t>;

struct Mixed {
  int64_t stamp;
  char text[8];
  uint16_t count;
  int32_t items[4];
};
MessageLayout kMixed[] = {0,
                          ZN_FIELD_INT64,
                          ZN_FIELD_ARRAY(8), ZN_FIELD_CHAR,
                          ZN_FIELD_COUNTED_ARRAY(4), ZN_FIELD_INT32,
                          0};
MessageLayout kEmpty[] = {0, 0};
MessageLayout kInt64x999[] = {0, ZN_FIELD_ARRAY(999), ZN_FIELD_INT64, 0};
MessageLayout kExactly8192[] = {0, ZN_FIELD_NESTED(kInt64x999), ZN_FIELD_ARRAY(25), ZN_FIELD_INT64, 0};
MessageLayout kOver8192[] = {0, ZN_FIELD_NESTED(kInt64x999), ZN_FIELD_ARRAY(26), ZN_FIELD_INT64, 0};
MessageLayout kBytes999[] = {0, ZN_FIELD_ARRAY(999), ZN_FIELD_BYTE, 0};
// 2 + 8 * 999 + 196 + 2 = 8192 bytes with the id and the check word.
MessageLayout kBodyFits[] = {0,
                             ZN_FIELD_ARRAY(8), ZN_FIELD_NESTED(kBytes999),
                             ZN_FIELD_ARRAY(196), ZN_FIELD_BYTE,
                             0};
MessageLayout kBodyTooLong[] = {0,
                                ZN_FIELD_ARRAY(8), ZN_FIELD_NESTED(kBytes999),
                                ZN_FIELD_ARRAY(197), ZN_FIELD_BYTE,
                                0};

const MessageLayoutEntry kTable[] = {
    {0x10, kMixed, 1},       {0x11, kEmpty, 1},        {0x12, kExactly8192, 1},
    {0x13, kOver8192, 1},    {0x14, kBodyFits, 1},     {0x15, kBodyTooLong, 1},
    {0, nullptr, 0},
};

const LayoutRegistry& registry() {
  static const LayoutRegistry r = LayoutRegistry::build(kTable, "limits").value();
  return r;
}

auto decode_exact(const Bytes& block) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[block.size() + 1]);
  if (!block.empty()) std::memcpy(copy.get(), block.data(), block.size());
  return decode_message(registry(), std::span<const uint8_t>(copy.get(), block.size()));
}

// id 0x10, stamp 1, text "ABCDEFGH" (no NUL), two items 5 and 6, check word.
const Bytes kMixedBlock = {0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 1, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H',
                           0x00, 0x02, 0, 0, 0, 5, 0, 0, 0, 6, 0x61, 0x29};

TEST(CodecLimits, DecodesTheWholeMessageAndIgnoresTrailingBytes) {
  for (int extra : {0, 1, 5}) {
    Bytes block = kMixedBlock;
    block.insert(block.end() - 2, extra, 0x77);
    auto message = decode_exact(block);
    ASSERT_TRUE(message) << message.error().text;
    ASSERT_TRUE(message.value().has_value());
    const auto& m = *message.value();
    EXPECT_EQ(m.id, 0x10);
    ASSERT_EQ(m.size, 36u);
    Mixed record;
    std::memcpy(&record, m.record.get(), m.size);
    EXPECT_EQ(record.stamp, 1);
    EXPECT_EQ(std::string(record.text, 8), "ABCDEFGH");
    EXPECT_EQ(record.count, 2);
    EXPECT_EQ(record.items[1], 6);
    EXPECT_EQ(record.items[2], 0);
  }
}

TEST(CodecLimits, RefusesEveryTruncatedBody) {
  // Every body shorter than the one above, with id and check word intact.
  const std::size_t body = kMixedBlock.size() - 4;
  for (std::size_t keep = 0; keep < body; ++keep) {
    SCOPED_TRACE("body bytes kept: " + std::to_string(keep));
    Bytes block(kMixedBlock.begin(), kMixedBlock.begin() + 2 + static_cast<long>(keep));
    block.push_back(0x61);
    block.push_back(0x29);
    auto message = decode_exact(block);
    ASSERT_FALSE(message);
    EXPECT_EQ(message.error().status, CodecStatus::short_body);
    EXPECT_EQ(message.error().text,
              "Can't decode network message with id 16: the body is shorter than its layout");
    EXPECT_EQ(message.error().error_class, -3);
  }
}

TEST(CodecLimits, RefusesMalformedBlocks) {
  struct Case {
    const char* name;
    Bytes block;
    CodecStatus status;
    const char* text;
  };
  const Case cases[] = {
      {"one byte", {0x61}, CodecStatus::short_block,
       "Can't decode network message: a block of 1 bytes has no room for an id and the check word"},
      {"check word alone", {0x61, 0x29}, CodecStatus::short_block,
       "Can't decode network message: a block of 2 bytes has no room for an id and the check word"},
      {"three bytes", {0x00, 0x61, 0x29}, CodecStatus::short_block,
       "Can't decode network message: a block of 3 bytes has no room for an id and the check word"},
      {"check word reversed", {0x00, 0x11, 0x29, 0x61}, CodecStatus::bad_check_word,
       "Security check asserted"},
      {"unknown id", {0x12, 0x34, 0x61, 0x29}, CodecStatus::unknown_id,
       "Can't decode network message with id 4660"},
      {"server refusal", {0x41, 0x66, 0x61, 0x29}, CodecStatus::access_refused,
       "Connection not established because the user description at server contain option "
       "<Access server>."},
      {"count above capacity", {0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0x00, 0x05, 0x61, 0x29},
       CodecStatus::count_over_capacity,
       "Can't decode network message with id 16: counted array of 5 elements exceeds its "
       "capacity of 4"},
      {"record longer than the work area", {0x00, 0x13, 0x61, 0x29}, CodecStatus::too_long,
       "Can't decode network message with id 19: the record is longer than 8192 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto message = decode_exact(c.block);
    ASSERT_FALSE(message);
    EXPECT_EQ(message.error().status, c.status);
    EXPECT_EQ(message.error().text, c.text);
  }

  auto empty = decode_exact({});
  ASSERT_TRUE(empty);
  EXPECT_FALSE(empty.value().has_value()) << "an empty block carries no message";

  Bytes largest = {0x00, 0x12};
  largest.resize(2 + 8192, 0);
  largest.insert(largest.end(), {0x61, 0x29});
  auto fits = decode_exact(largest);
  ASSERT_TRUE(fits) << fits.error().text;
  EXPECT_EQ(fits.value()->size, 8192u);
}

TEST(CodecLimits, RefusesCountsAboveCapacityWhenEncoding) {
  Mixed record{};
  record.count = 5;
  Bytes out(kWorkAreaSize);
  auto packed = pack_message(registry(), 0x10, &record, true, out);
  ASSERT_FALSE(packed);
  EXPECT_EQ(packed.error().status, CodecStatus::count_over_capacity);
  EXPECT_EQ(packed.error().text,
            "Can't encode network message with id 16: counted array of 5 elements exceeds its "
            "capacity of 4");

  record.count = 4;
  EXPECT_TRUE(pack_message(registry(), 0x10, &record, true, out));
}

TEST(CodecLimits, MessagesFillTheWorkAreaAndNoMore) {
  const Bytes record(8 * 999 + 197, 0x5A);
  Bytes out(2 * kWorkAreaSize);

  auto fits = pack_message(registry(), 0x14, record.data(), true, out);
  ASSERT_TRUE(fits) << fits.error().text;
  EXPECT_EQ(fits.value(), 8192u);
  EXPECT_EQ(out[8190], 0x61);

  auto without_check = pack_message(registry(), 0x15, record.data(), false, out);
  ASSERT_TRUE(without_check) << "the check word's room is free without it";
  EXPECT_EQ(without_check.value(), 8191u);

  auto too_long = pack_message(registry(), 0x15, record.data(), true, out);
  ASSERT_FALSE(too_long);
  EXPECT_EQ(too_long.error().status, CodecStatus::too_long);
  EXPECT_EQ(too_long.error().text,
            "Can't encode network message with id 21: the message is longer than 8192 bytes");

  // A smaller buffer is honoured too, never written past its end.
  std::unique_ptr<uint8_t[]> small(new uint8_t[100]);
  auto short_out = pack_message(registry(), 0x14, record.data(), true, std::span(small.get(), 100));
  ASSERT_FALSE(short_out);
  EXPECT_EQ(short_out.error().status, CodecStatus::too_long);
  EXPECT_FALSE(pack_message(registry(), 0x11, nullptr, true, std::span(small.get(), 3)));
  EXPECT_TRUE(pack_message(registry(), 0x11, nullptr, true, std::span(small.get(), 4)));
}

TEST(CodecLimits, RecordBuffersAreHonoured) {
  auto layout = RecordLayout::compile(kMixed);
  ASSERT_TRUE(layout);
  const Bytes body(kMixedBlock.begin() + 2, kMixedBlock.end() - 2);
  Bytes native(layout.value().native_size() - 1);
  auto decoded = decode_record(layout.value(), body, native);
  ASSERT_FALSE(decoded);
  EXPECT_EQ(decoded.error().status, CodecStatus::too_long);
  auto body_decoded = decode_message_body(registry(), 0x10, body, native);
  ASSERT_FALSE(body_decoded);
  EXPECT_EQ(body_decoded.error().status, CodecStatus::too_long);
}

}  // namespace
}  // namespace kelda::de
