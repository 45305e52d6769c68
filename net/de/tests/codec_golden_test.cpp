// Hand-written wire encodings: each record encodes to exactly these bytes,
// and the bytes decode to exactly the expected native record.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "zn_de/codec.h"
#include "zn_de/layout_testing.h"

namespace kelda::de {
namespace {

using Bytes = std::vector<uint8_t>;

// A record built in zeroed bytes, so that padding compares equal.
template <typename R>
Bytes native(const std::function<void(R&)>& fill) {
  Bytes bytes(sizeof(R), 0);
  fill(*reinterpret_cast<R*>(bytes.data()));
  return bytes;
}

struct Text17Int16 {
  char text[17];
  int16_t value;
};
MessageLayout kText17Int16[] = {0, ZN_FIELD_ARRAY(17), ZN_FIELD_CHAR, ZN_FIELD_INT16, 0};

struct Chars {
  char a;
  char b;
  char text[6];
};
MessageLayout kChars[] = {0, ZN_FIELD_CHAR, ZN_FIELD_CHAR, ZN_FIELD_ARRAY(6), ZN_FIELD_CHAR, 0};

struct Counted64 {
  uint16_t count;
  int32_t items[64];
};
MessageLayout kCounted64[] = {0, ZN_FIELD_COUNTED_ARRAY(64), ZN_FIELD_INT32, 0};

struct Wide {
  int64_t integer;
  double real;
};
MessageLayout kWide[] = {0, ZN_FIELD_INT64, ZN_FIELD_INT64, 0};

struct ShortInt {
  int16_t a;
  int32_t b;
};
MessageLayout kShortInt[] = {0, ZN_FIELD_INT16, ZN_FIELD_INT32, 0};

struct Inner {
  int32_t value;
  uint8_t flag;
};
MessageLayout kInner[] = {0, ZN_FIELD_INT32, ZN_FIELD_BYTE, 0};
struct Outer {
  uint8_t first;
  Inner inner;
  uint8_t last;
};
MessageLayout kOuter[] = {0, ZN_FIELD_BYTE, ZN_FIELD_NESTED(kInner), ZN_FIELD_BYTE, 0};

struct Named {
  int32_t id;
  char name[5];
};
MessageLayout kNamed[] = {0, ZN_FIELD_INT32, ZN_FIELD_ARRAY(5), ZN_FIELD_CHAR, 0};
struct NamedList {
  uint16_t count;
  Named items[3];
};
MessageLayout kNamedList[] = {0, ZN_FIELD_COUNTED_ARRAY(3), ZN_FIELD_NESTED(kNamed), 0};

struct Shorts {
  int16_t values[3];
  uint8_t bytes[2];
};
MessageLayout kShorts[] = {0, ZN_FIELD_ARRAY(3), ZN_FIELD_INT16, ZN_FIELD_ARRAY(2), ZN_FIELD_BYTE, 0};

MessageLayout kEmpty[] = {0, 0};

struct Golden {
  const char* name;
  MessageLayout* layout;
  Bytes record;   // the native record to encode
  Bytes wire;     // its wire form, written by hand
  Bytes decoded;  // the native record that decoding the wire gives
};

std::vector<Golden> golden_cases() {
  std::vector<Golden> cases;
  {
    // Text "AB": the two characters and the NUL; the bytes behind the NUL
    // are not sent and come back as zeros.
    auto fill = [](Text17Int16& r) {
      std::memcpy(r.text, "AB\0XYZ", 6);
      r.value = 0x0102;
    };
    auto clean = [](Text17Int16& r) {
      std::memcpy(r.text, "AB", 3);
      r.value = 0x0102;
    };
    cases.push_back({"text AB", kText17Int16, native<Text17Int16>(fill),
                     {0x41, 0x42, 0x00, 0x01, 0x02}, native<Text17Int16>(clean)});
  }
  {
    // Seventeen characters: all seventeen, no NUL.
    auto fill = [](Text17Int16& r) {
      std::memcpy(r.text, "ABCDEFGHIJKLMNOPQ", 17);
      r.value = -2;
    };
    Bytes wire = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I',
                  'J', 'K', 'L', 'M', 'N', 'O', 'P', 'Q', 0xFF, 0xFE};
    cases.push_back({"text of 17 characters", kText17Int16, native<Text17Int16>(fill), wire,
                     native<Text17Int16>(fill)});
  }
  {
    // 1251 to 866 and back: capital A 0xC0 travels as 0x80; 0x96 has no 866
    // form and travels as "~", which comes back as "~".
    auto fill = [](Chars& r) {
      r.a = static_cast<char>(0xC0);
      r.b = static_cast<char>(0x96);
      std::memcpy(r.text, "\xA8\xB8\xF0\xFFz", 6);
    };
    auto back = [](Chars& r) {
      r.a = static_cast<char>(0xC0);
      r.b = '~';
      std::memcpy(r.text, "\xA8\xB8\xF0\xFFz", 6);
    };
    cases.push_back({"code pages", kChars, native<Chars>(fill),
                     {0x80, 0x7E, 0xF0, 0xF1, 0xE0, 0xEF, 0x7A, 0x00}, native<Chars>(back)});
  }
  {
    // Capacity 64, count 3: the count and three elements travel; elements
    // 4 to 64 come back as zeros.
    auto fill = [](Counted64& r) {
      r.count = 3;
      for (int i = 0; i < 64; ++i) r.items[i] = static_cast<int32_t>(0x11111111u * static_cast<uint32_t>(i + 1));
    };
    auto three = [](Counted64& r) {
      r.count = 3;
      for (int i = 0; i < 3; ++i) r.items[i] = 0x11111111 * (i + 1);
    };
    cases.push_back({"counted array", kCounted64, native<Counted64>(fill),
                     {0x00, 0x03, 0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x22, 0x22, 0x33, 0x33, 0x33, 0x33},
                     native<Counted64>(three)});
  }
  {
    // 64-bit values: the most significant byte first; a double by its bits.
    auto fill = [](Wide& r) {
      r.integer = 0x0102030405060708;
      r.real = 1.0;
    };
    cases.push_back({"64-bit values", kWide, native<Wide>(fill),
                     {1, 2, 3, 4, 5, 6, 7, 8, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0}, native<Wide>(fill)});
  }
  {
    auto fill = [](ShortInt& r) {
      r.a = 0x0102;
      r.b = 0x03040506;
    };
    cases.push_back({"int16 then int32", kShortInt, native<ShortInt>(fill),
                     {0x01, 0x02, 0x03, 0x04, 0x05, 0x06}, native<ShortInt>(fill)});
  }
  {
    auto fill = [](Outer& r) {
      r.first = 0xAA;
      r.inner.value = 0x01020304;
      r.inner.flag = 0xBB;
      r.last = 0xCC;
    };
    cases.push_back({"nested record", kOuter, native<Outer>(fill),
                     {0xAA, 0x01, 0x02, 0x03, 0x04, 0xBB, 0xCC}, native<Outer>(fill)});
  }
  {
    // Each element's text stops at its own NUL.
    auto fill = [](NamedList& r) {
      r.count = 2;
      r.items[0].id = 1;
      std::strcpy(r.items[0].name, "a");
      r.items[1].id = 2;
      std::strcpy(r.items[1].name, "bc");
    };
    cases.push_back({"counted nested records", kNamedList, native<NamedList>(fill),
                     {0x00, 0x02, 0, 0, 0, 1, 'a', 0, 0, 0, 0, 2, 'b', 'c', 0},
                     native<NamedList>(fill)});
  }
  {
    auto fill = [](Shorts& r) {
      r.values[0] = 1;
      r.values[1] = -1;
      r.values[2] = 0x7F80;
      r.bytes[0] = 0x00;
      r.bytes[1] = 0xFF;
    };
    cases.push_back({"fixed arrays", kShorts, native<Shorts>(fill),
                     {0x00, 0x01, 0xFF, 0xFF, 0x7F, 0x80, 0x00, 0xFF}, native<Shorts>(fill)});
  }
  cases.push_back({"empty layout", kEmpty, {}, {}, {}});
  return cases;
}

TEST(CodecGolden, EncodesAndDecodesHandWrittenBytes) {
  for (const Golden& c : golden_cases()) {
    SCOPED_TRACE(c.name);
    auto layout = RecordLayout::compile(c.layout);
    ASSERT_TRUE(layout) << layout.error().text;

    Bytes wire(kWorkAreaSize);
    auto encoded = encode_record(layout.value(), c.record.data(), wire);
    ASSERT_TRUE(encoded) << encoded.error().text;
    wire.resize(encoded.value());
    EXPECT_EQ(wire, c.wire);

    Bytes decoded(layout.value().native_size(), 0xEE);
    auto size = decode_record(layout.value(), c.wire, decoded);
    ASSERT_TRUE(size) << size.error().text;
    EXPECT_EQ(size.value(), layout.value().native_size());
    const Bytes expected(c.decoded.begin(), c.decoded.begin() + layout.value().native_size());
    EXPECT_EQ(decoded, expected);
  }
}

// The records above are the ones a client would declare for these layouts.
TEST(CodecGolden, RecordsMatchTheirLayouts) {
  const RecordField text17[] = {ZN_RECORD_FIELD(Text17Int16, text), ZN_RECORD_FIELD(Text17Int16, value)};
  const RecordField chars[] = {ZN_RECORD_FIELD(Chars, a), ZN_RECORD_FIELD(Chars, b),
                               ZN_RECORD_FIELD(Chars, text)};
  const RecordField counted[] = {ZN_RECORD_FIELD(Counted64, count), ZN_RECORD_FIELD(Counted64, items)};
  const RecordField wide[] = {ZN_RECORD_FIELD(Wide, integer), ZN_RECORD_FIELD(Wide, real)};
  const RecordField short_int[] = {ZN_RECORD_FIELD(ShortInt, a), ZN_RECORD_FIELD(ShortInt, b)};
  const RecordField outer[] = {ZN_RECORD_FIELD(Outer, first), ZN_RECORD_FIELD(Outer, inner),
                               ZN_RECORD_FIELD(Outer, last)};
  const RecordField named[] = {ZN_RECORD_FIELD(NamedList, count), ZN_RECORD_FIELD(NamedList, items)};
  const RecordField shorts[] = {ZN_RECORD_FIELD(Shorts, values), ZN_RECORD_FIELD(Shorts, bytes)};
  EXPECT_EQ(layout_mismatches<Text17Int16>(kText17Int16, text17), "");
  EXPECT_EQ(layout_mismatches<Chars>(kChars, chars), "");
  EXPECT_EQ(layout_mismatches<Counted64>(kCounted64, counted), "");
  EXPECT_EQ(layout_mismatches<Wide>(kWide, wide), "");
  EXPECT_EQ(layout_mismatches<ShortInt>(kShortInt, short_int), "");
  EXPECT_EQ(layout_mismatches<Outer>(kOuter, outer), "");
  EXPECT_EQ(layout_mismatches<NamedList>(kNamedList, named), "");
  EXPECT_EQ(layout_mismatches<Shorts>(kShorts, shorts), "");
}

}  // namespace
}  // namespace kelda::de

namespace kelda::de {
namespace {

// Arrays long enough for every copying path (blocks of 16 and 32 bytes and
// the values left over), in each integer width: the wire holds each value
// most significant byte first.
TEST(CodecGolden, LongArraysInEveryWidth) {
  static MessageLayout layouts[3][4] = {
      {0, ZN_FIELD_COUNTED_ARRAY(64), ZN_FIELD_INT16, 0},
      {0, ZN_FIELD_COUNTED_ARRAY(64), ZN_FIELD_INT32, 0},
      {0, ZN_FIELD_COUNTED_ARRAY(64), ZN_FIELD_INT64, 0},
  };
  const std::size_t widths[3] = {2, 4, 8};
  for (int w = 0; w < 3; ++w) {
    const std::size_t width = widths[w];
    auto layout = RecordLayout::compile(layouts[w]);
    ASSERT_TRUE(layout);
    const std::size_t items = layout.value().members()[1].offset;  // element 0, natively
    for (uint16_t count : {1, 7, 8, 15, 16, 17, 33, 64}) {
      SCOPED_TRACE("width " + std::to_string(width) + ", count " + std::to_string(count));
      Bytes native(layout.value().native_size(), 0);
      std::memcpy(native.data(), &count, 2);
      Bytes wire = {static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
      for (std::size_t i = 0; i < count; ++i) {
        const uint64_t value = 0x0102030405060708ull * (i + 1) + i;
        std::memcpy(native.data() + items + i * width, &value, width);  // the low bytes, natively
        for (std::size_t b = width; b-- > 0;) wire.push_back(static_cast<uint8_t>(value >> (8 * b)));
      }
      Bytes out(kWorkAreaSize);
      auto encoded = encode_record(layout.value(), native.data(), out);
      ASSERT_TRUE(encoded);
      out.resize(encoded.value());
      EXPECT_EQ(out, wire);
      Bytes decoded(native.size(), 0xEE);
      ASSERT_TRUE(decode_record(layout.value(), wire, decoded));
      EXPECT_EQ(decoded, native);
    }
  }
}

}  // namespace
}  // namespace kelda::de
