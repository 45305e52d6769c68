#include "kit/format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/codepage.h"

namespace {

TEST(MbsFormat, CutsToCapacityAndAlwaysTerminates) {
  char out[16];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(kelda::kit::mbs_format(out, 8, "%s-%d", "abcdefghijklmno", 12345), out);
  EXPECT_STREQ(out, "abcdefg");
  EXPECT_EQ(out[8], '#');

  kelda::kit::mbs_format(out, sizeof out, "%d%%", 42);
  EXPECT_STREQ(out, "42%");

  // The 4096-byte work buffer bounds the result even for a larger destination.
  std::string big(5000, '\0');
  kelda::kit::mbs_format(big.data(), big.size(), "%s", std::string(4500, 'x').c_str());
  EXPECT_EQ(std::strlen(big.c_str()), 4095u);
}

TEST(MbsFormat, BadArguments) {
  char out[4] = "abc";
  EXPECT_EQ(kelda::kit::mbs_format(nullptr, 4, "x"), nullptr);
  EXPECT_EQ(kelda::kit::mbs_format(out, 0, "x"), out);
  EXPECT_EQ(kelda::kit::mbs_format(out, 4, nullptr), out);
  EXPECT_STREQ(out, "abc");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-zero-length"
  EXPECT_EQ(kelda::kit::mbs_format(out, 4, ""), nullptr);
#pragma GCC diagnostic pop
}

std::u16string wide(const char16_t* format, ...) {
  char16_t out[256];
  va_list args;
  va_start(args, format);
  kelda::kit::wcs_vformat(out, 256, format, args);
  va_end(args);
  return out;
}

TEST(WcsFormat, Conversions) {
  const std::string ansi = kelda::kit::cp1251_from_utf8("Ёлка");
  EXPECT_EQ(wide(u"[%s|%ls|%S|%hs]", u"ш", u"w", ansi.c_str(), "h"), u"[ш|w|Ёлка|h]");
  EXPECT_EQ(wide(u"[%5s|%-5s|%.2s|%s]", u"ab", u"ab", u"abcd", static_cast<char16_t*>(nullptr)),
            u"[   ab|ab   |ab|(null)]");
  EXPECT_EQ(wide(u"[%c|%C|%hc|%3c]", u'ж', '\xB8', 'q', u'z'), u"[ж|ё|q|  z]");
  EXPECT_EQ(wide(u"[%d|%i|%u|%x|%X|%o]", -5, 7, 4000000000u, 255, 255, 8), u"[-5|7|4000000000|ff|FF|10]");
  // long is 32 bits in these formats; ll and I64 are 64 bits
  EXPECT_EQ(wide(u"[%ld|%lu|%lx|%lld|%I64u|%zu]", int32_t{-1}, uint32_t{1}, uint32_t{0xABCD},
                 int64_t{-5000000000}, uint64_t{5000000000}, size_t{9}),
            u"[-1|1|abcd|-5000000000|5000000000|9]");
  EXPECT_EQ(wide(u"[%hd|%hhu|%05d|%-4d|%+d|% d|%#x|%*d|%.*d]", 70000, 300, 42, 7, 3, 3, 255, 4, 1, 3, 5),
            u"[4464|44|00042|7   |+3| 3|0xff|   1|005]");
  EXPECT_EQ(wide(u"[%.2f|%g|%e|%8.3f]", 3.14159, 0.5, 1500.0, -2.5), u"[3.14|0.5|1.500000e+03|  -2.500]");
  EXPECT_EQ(wide(u"100%%"), u"100%");
  EXPECT_FALSE(wide(u"%p", static_cast<void*>(nullptr)).empty());
}

TEST(WcsFormat, OddFormatsAreCopiedNotTrusted) {
  EXPECT_EQ(wide(u"a%"), u"a%");
  EXPECT_EQ(wide(u"a%5"), u"a%5");
  EXPECT_EQ(wide(u"a%y %d b", 5), u"a%y %d b");  // unknown conversion: rest copied
  int ignored = 0;
  EXPECT_EQ(wide(u"x%ny", &ignored), u"xy");
  EXPECT_EQ(ignored, 0);
  // Huge widths are bounded, not trusted.
  EXPECT_EQ(wide(u"%99999999999d", 1).size(), 255u);
}

TEST(WcsFormat, BoundedLikeMbsFormat) {
  char16_t out[16];
  std::fill(std::begin(out), std::end(out), u'#');
  EXPECT_EQ(kelda::kit::wcs_format(out, 8, u"%s-%d", u"abcdefghijklmno", 1), out);
  EXPECT_EQ(std::u16string(out), u"abcdefg");
  EXPECT_EQ(out[8], u'#');
  EXPECT_EQ(kelda::kit::wcs_format(out, 8, u""), nullptr);
  EXPECT_EQ(kelda::kit::wcs_format(out, 0, u"x"), out);
  EXPECT_EQ(kelda::kit::wcs_format(nullptr, 8, u"x"), nullptr);

  char16_t tiny[4];
  EXPECT_EQ(kelda::kit::wcs_format(tiny, 4, u"%s", u"abcdef"), tiny);
  EXPECT_EQ(std::u16string(tiny), u"abc");
}

TEST(WcsFormat, EngineReportsTheFullLength) {
  char16_t out[4];
  auto run = [&](const char16_t* f, ...) {
    va_list args;
    va_start(args, f);
    const std::size_t n = kelda::kit::wide_vsnprintf(out, 4, f, args);
    va_end(args);
    return n;
  };
  EXPECT_EQ(run(u"%d-%s", 12345, u"xy"), 8u);
  EXPECT_EQ(std::u16string(out), u"123");
}

TEST(PrintfRealloc, GrowsTheHeapBuffer) {
  char* buffer = nullptr;
  std::size_t size = 0;
  EXPECT_EQ(kelda::kit::mbs_printf_realloc(&buffer, &size, "%s=%d", "port", 15100), 1);
  EXPECT_STREQ(buffer, "port=15100");
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(kelda::kit::mbs_dup_realloc("a much longer text than before", &buffer, &size), 1);
  EXPECT_STREQ(buffer, "a much longer text than before");
  EXPECT_EQ(size, 31u);

  EXPECT_EQ(kelda::kit::mbs_dup_realloc("", &buffer, &size), 0);
  EXPECT_EQ(kelda::kit::mbs_dup_realloc(nullptr, &buffer, &size), 0);
  EXPECT_EQ(kelda::kit::mbs_printf_realloc(&buffer, nullptr, "x"), 0);
  EXPECT_EQ(kelda::kit::mbs_printf_realloc(&buffer, &size, nullptr), 0);
  EXPECT_STREQ(buffer, "a much longer text than before");
  std::free(buffer);
}

}  // namespace
