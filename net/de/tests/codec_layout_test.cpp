// Native placement, layout check values and the refusal of unusable layouts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zn_de/codec.h"
#include "zn_de/layout_testing.h"

namespace kelda::de {
namespace {

MessageLayout kInt32[] = {0, ZN_FIELD_INT32, 0};
MessageLayout kInner[] = {0, ZN_FIELD_INT32, ZN_FIELD_BYTE, 0};
MessageLayout kByteNestedByte[] = {0, ZN_FIELD_BYTE, ZN_FIELD_NESTED(kInner), ZN_FIELD_BYTE, 0};
MessageLayout kText[] = {0, ZN_FIELD_ARRAY(17), ZN_FIELD_CHAR, 0};
MessageLayout kCountedBytes[] = {0, ZN_FIELD_BYTE, ZN_FIELD_COUNTED_ARRAY(3), ZN_FIELD_BYTE, 0};
MessageLayout kCountedInt32[] = {0, ZN_FIELD_COUNTED_ARRAY(225), ZN_FIELD_INT32, 0};
MessageLayout kByteInt64[] = {0, ZN_FIELD_BYTE, ZN_FIELD_INT64, ZN_FIELD_INT16, 0};
MessageLayout kEmpty[] = {0, 0};
MessageLayout kByteEmptyByte[] = {0, ZN_FIELD_BYTE, ZN_FIELD_NESTED(kEmpty), ZN_FIELD_BYTE, 0};
// A nested layout with alignment 1 whose count still sits at an even
// offset of its own record.
MessageLayout kByteCountedInNested[] = {0, ZN_FIELD_BYTE, ZN_FIELD_NESTED(kCountedBytes), 0};
MessageLayout kNestedArray[] = {0, ZN_FIELD_INT16, ZN_FIELD_ARRAY(2), ZN_FIELD_NESTED(kInner), 0};

TEST(CodecLayout, PlacesNativeMembers) {
  struct Case {
    const char* name;
    MessageLayout* layout;
    std::vector<NativeMember> members;
    uint32_t native_size;
    uint32_t alignment;
  };
  const Case cases[] = {
      {"byte, nested {int32, byte}, byte", kByteNestedByte, {{0, 1}, {4, 8}, {12, 1}}, 13, 4},
      {"char[17]", kText, {{0, 17}}, 17, 1},
      {"count does not raise the alignment", kCountedBytes, {{0, 1}, {2, 2}, {4, 3}}, 7, 1},
      {"counted int32[225]", kCountedInt32, {{0, 2}, {4, 900}}, 904, 4},
      {"int64 after a byte", kByteInt64, {{0, 1}, {8, 8}, {16, 2}}, 18, 8},
      {"empty layout", kEmpty, {}, 0, 0},
      {"empty nested layout", kByteEmptyByte, {{0, 1}, {1, 0}, {1, 1}}, 2, 1},
      {"count aligned within its own record", kByteCountedInNested, {{0, 1}, {1, 7}}, 8, 1},
      {"array of nested records", kNestedArray, {{0, 2}, {4, 16}}, 20, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto layout = RecordLayout::compile(c.layout);
    ASSERT_TRUE(layout) << layout.error().text;
    EXPECT_EQ(layout.value().members(), c.members);
    EXPECT_EQ(layout.value().native_size(), c.native_size);
    EXPECT_EQ(layout.value().alignment(), c.alignment);
    EXPECT_EQ(c.layout[0], static_cast<MessageLayout>(c.alignment)) << "word 0";
  }
  EXPECT_EQ(kInner[0], 4) << "nested layouts get their alignment too";
}

TEST(CodecLayout, CheckValuesWorkedByHand) {
  MessageLayout int16_int32[] = {0, ZN_FIELD_INT16, ZN_FIELD_INT32, 0};
  MessageLayout counted[] = {0, ZN_FIELD_COUNTED_ARRAY(225), ZN_FIELD_INT32, 0};
  struct Case {
    const char* name;
    MessageLayout* layout;
    uint16_t running;
    uint16_t check;
  };
  // R = rotl16(R, 2) ^ x over 0x0B, the codes (nested: 0x0A, the nested
  // layout's own sequence, 0x0F), 0x0D.
  const Case cases[] = {
      {"int32", kInt32, 0, 0x00AD},
      {"int16, int32", int16_int32, 0, 0x02FD},
      {"byte, nested, byte", kByteNestedByte, 0, 0x2296},
      {"char[17]", kText, 0, 0xFC2E},
      {"counted int32[225]", counted, 0, 0xB1A2},
      {"empty", kEmpty, 0, 0x0021},
      // 0x8001 rotated left by 2 three times is 0x0060, XORed into 0x00AD.
      {"int32 on a running value", kInt32, 0x8001, 0x00CD},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto layout = RecordLayout::compile(c.layout);
    ASSERT_TRUE(layout) << layout.error().text;
    EXPECT_EQ(zn_layout_check(c.running, layout.value()).check, c.check);
  }
}

TEST(CodecLayout, RefusesUnusableLayouts) {
  static MessageLayout self[] = {0, ZN_FIELD_INT32, 0, 0};
  self[2] = ZN_FIELD_NESTED(self);
  static MessageLayout ping[] = {0, 0, 0};
  static MessageLayout pong[] = {0, 0, 0};
  ping[1] = ZN_FIELD_NESTED(pong);
  pong[1] = ZN_FIELD_NESTED(ping);
  static MessageLayout chain[34][3];
  for (int i = 0; i < 34; ++i) {
    chain[i][0] = 0;
    chain[i][1] = i == 33 ? ZN_FIELD_BYTE : ZN_FIELD_NESTED(chain[i + 1]);
    chain[i][2] = 0;
  }
  MessageLayout code3[] = {0, 3, 0};
  MessageLayout low_value[] = {0, 100, 0};
  MessageLayout below_arrays[] = {0, -2000, 0};
  MessageLayout array_at_end[] = {0, ZN_FIELD_ARRAY(4), 0};
  MessageLayout array_of_array[] = {0, ZN_FIELD_ARRAY(4), ZN_FIELD_ARRAY(2), ZN_FIELD_BYTE, 0};
  MessageLayout huge_inner[] = {0, ZN_FIELD_ARRAY(999), ZN_FIELD_INT64, 0};
  MessageLayout huge_middle[] = {0, ZN_FIELD_ARRAY(999), ZN_FIELD_NESTED(huge_inner), 0};
  MessageLayout huge[] = {0, ZN_FIELD_ARRAY(999), ZN_FIELD_NESTED(huge_middle), 0};
  struct Case {
    const char* name;
    MessageLayout* layout;
    const char* text;
  };
  const Case cases[] = {
      {"nested in itself", self, "nested in itself"},
      {"two layouts nested in each other", ping, "nested in itself"},
      {"33 levels of nesting", chain[0], "more than 32 deep"},
      {"unused code 3", code3, "unknown field code 3"},
      {"small number that is no layout", low_value, "unknown field code 100"},
      {"negative code below the arrays", below_arrays, "unknown field code -2000"},
      {"array without element code", array_at_end, "not followed by an element code"},
      {"array of arrays", array_of_array, "not followed by an element code"},
      {"record larger than 16 MiB", huge, "larger than 16 MiB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto layout = RecordLayout::compile(c.layout);
    ASSERT_FALSE(layout);
    EXPECT_EQ(layout.error().status, CodecStatus::bad_layout);
    EXPECT_NE(layout.error().text.find(c.text), std::string::npos) << layout.error().text;
  }
  EXPECT_TRUE(RecordLayout::compile(chain[1])) << "32 levels are fine";
}

TEST(CodecLayout, TestHelperNamesEveryDisagreement) {
  struct Matching {
    uint8_t first;
    struct {
      int32_t value;
      uint8_t flag;
    } inner;
    uint8_t last;
  };
  const RecordField fields[] = {ZN_RECORD_FIELD(Matching, first), ZN_RECORD_FIELD(Matching, inner),
                                ZN_RECORD_FIELD(Matching, last)};
  EXPECT_EQ(layout_mismatches<Matching>(kByteNestedByte, fields), "");

  // A record whose inner member is packed differently, and one member short.
  struct Packed {
    uint8_t first;
    int16_t value;
    uint8_t last;
  };
  const RecordField packed[] = {ZN_RECORD_FIELD(Packed, first), ZN_RECORD_FIELD(Packed, value)};
  EXPECT_EQ(layout_mismatches<Packed>(kByteNestedByte, packed),
            "the layout has 3 native members, the record lists 2\n"
            "value: codec offset 4, offsetof 2\n"
            "value: codec size 8, sizeof 2\n"
            "record size: codec native size 13 (padded to 14), sizeof 6");

  MessageLayout bad[] = {0, 3, 0};
  EXPECT_NE(layout_mismatches<Packed>(bad, packed), "");
}

}  // namespace
}  // namespace kelda::de
