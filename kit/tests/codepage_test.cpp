#include "kit/codepage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/last_error.h"
#include "testsupport/test_dir.h"

namespace {

using kelda::kit::CodePage;

// Every byte of both code pages against the table written once by Python's
// codecs (tests/data/kit/gen_codepages.py).
TEST(CodePage, EveryByteMatchesTheIndependentTable) {
  std::ifstream in(kelda::test::test_data("kit/codepages.txt"));
  ASSERT_TRUE(in) << "missing tests/data/kit/codepages.txt";
  std::string line;
  int checked = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string page_name, byte_hex, unit_hex;
    fields >> page_name >> byte_hex >> unit_hex;
    const CodePage page = page_name == "866" ? CodePage::cp866 : CodePage::cp1251;
    const auto byte = static_cast<uint8_t>(std::stoul(byte_hex, nullptr, 16));
    // The one byte Python leaves undefined (1251's 0x98) stands for U+0098.
    const char16_t expected =
        unit_hex == "-" ? char16_t{byte} : static_cast<char16_t>(std::stoul(unit_hex, nullptr, 16));
    EXPECT_EQ(kelda::kit::byte_to_utf16(page, byte), expected) << line;
    EXPECT_EQ(kelda::kit::utf16_to_byte(page, expected), byte) << line;
    ++checked;
  }
  EXPECT_EQ(checked, 512);
}

TEST(CodePage, UnitsOutsideTheCodePageAreRefused) {
  for (char16_t unit : {u'\u00C0', u'\u20AC', u'\uFFFD', char16_t{0xD800}}) {
    EXPECT_EQ(kelda::kit::utf16_to_byte(CodePage::cp866, unit), -1);
  }
  EXPECT_EQ(kelda::kit::utf16_to_byte(CodePage::cp1251, u'\u2591'), -1);
  EXPECT_EQ(kelda::kit::utf16_to_byte(CodePage::cp1251, u'\u20AC'), 0x88);
}

TEST(CodePage, ByteMappingsFollowTheRules) {
  struct Case { uint8_t from, to; };
  const Case to866[] = {{0x00, 0x00}, {0x41, 0x41}, {0x7F, 0x7F}, {0xA8, 0xF0}, {0xB8, 0xF1},
                        {0xC0, 0x80}, {0xEF, 0xAF}, {0xF0, 0xE0}, {0xFF, 0xEF}, {0x80, '~'},
                        {0xB0, '~'},  {0xBF, '~'},  {0xA9, '~'}};
  for (const Case& c : to866) EXPECT_EQ(kelda::kit::cp1251_to_cp866(c.from), c.to) << int(c.from);
  const Case to1251[] = {{0x00, 0x00}, {0x7F, 0x7F}, {0xF0, 0xA8}, {0xF1, 0xB8}, {0x80, 0xC0},
                         {0xAF, 0xEF}, {0xE0, 0xF0}, {0xEF, 0xFF}, {0xB0, '~'},  {0xDF, '~'},
                         {0xF2, '~'},  {0xFF, '~'}};
  for (const Case& c : to1251) EXPECT_EQ(kelda::kit::cp866_to_cp1251(c.from), c.to) << int(c.from);
}

// Where a byte maps to something other than '~', both bytes stand for the
// same character, and mapping back returns the original byte.
TEST(CodePage, ByteMappingsKeepTheCharacter) {
  for (unsigned b = 0; b < 256; ++b) {
    const uint8_t m = kelda::kit::cp1251_to_cp866(static_cast<uint8_t>(b));
    if (m == '~' && b != '~') continue;
    EXPECT_EQ(kelda::kit::byte_to_utf16(CodePage::cp1251, b), kelda::kit::byte_to_utf16(CodePage::cp866, m)) << b;
    EXPECT_EQ(kelda::kit::cp866_to_cp1251(m), b);
  }
  for (unsigned b = 0; b < 256; ++b) {
    const uint8_t m = kelda::kit::cp866_to_cp1251(static_cast<uint8_t>(b));
    if (m == '~' && b != '~') continue;
    EXPECT_EQ(kelda::kit::byte_to_utf16(CodePage::cp866, b), kelda::kit::byte_to_utf16(CodePage::cp1251, m)) << b;
  }
}

TEST(CodePage, StringAndMemoryFormsWorkInPlace) {
  const std::string hello = kelda::kit::cp1251_from_utf8("Привет, Ёлка!");
  char buf[32];
  std::strcpy(buf, hello.c_str());
  kelda::kit::mbs_cp1251_to_cp866(buf, buf);
  EXPECT_EQ(std::string(buf), kelda::kit::encode(CodePage::cp866, kelda::kit::decode(CodePage::cp1251, hello)));
  kelda::kit::mbs_cp866_to_cp1251(buf, buf);
  EXPECT_EQ(std::string(buf), hello);

  char raw[4] = {'\xC0', '\0', '\xE0', 'x'};  // n bytes: an inner NUL does not stop it
  kelda::kit::mem_cp1251_to_cp866(raw, raw, 3);
  EXPECT_EQ(std::string(raw, 4), std::string("\x80\0\xA0x", 4));

  char z[4] = {'\xC0', '\0', 'q', 'q'};
  char out[4] = {'w', 'w', 'w', 'w'};
  kelda::kit::mbs_cp1251_to_cp866_z(z, out);
  EXPECT_EQ(std::string(out, 4), std::string("\x80\0ww", 4));
  kelda::kit::mbs_cp1251_to_cp866_z(nullptr, out);  // null: nothing happens
  kelda::kit::mbs_cp1251_to_cp866_z(z, nullptr);
  kelda::kit::mem_cp866_to_cp1251(nullptr, out, 4);
}

TEST(CodePage, AnsiToWideConvertsAndCutsToCapacity) {
  const std::string text = kelda::kit::cp1251_from_utf8("Счёт №5");
  char16_t wide[16];
  EXPECT_EQ(kelda::kit::ansi_to_wide(text.c_str(), wide, 16), wide);
  EXPECT_EQ(std::u16string(wide), u"Счёт №5");

  kelda::platform::set_last_error(0);
  std::fill(std::begin(wide), std::end(wide), u'#');
  kelda::kit::ansi_to_wide(text.c_str(), wide, 4);  // too small: cut, terminated, error set
  EXPECT_EQ(std::u16string(wide), u"Счё");
  EXPECT_EQ(wide[4], u'#');
  EXPECT_EQ(kelda::platform::get_last_error(), kelda::platform::error::insufficient_buffer);

  // A source without terminator is read no further than the destination takes.
  const char raw[4] = {'a', 'b', 'c', 'd'};
  kelda::kit::ansi_to_wide(raw, wide, 4);
  EXPECT_EQ(std::u16string(wide), u"abc");

  kelda::kit::multibyte_to_wide(nullptr, wide, 16);
  EXPECT_EQ(wide[0], 0);
  EXPECT_EQ(kelda::kit::ansi_to_wide("x", nullptr, 16), nullptr);
}

TEST(CodePage, WideToAnsiReplacesWhatThePageLacks) {
  char out[16];
  // a Latin letter with accent, an emoji (one surrogate pair), a lone surrogate
  kelda::kit::wide_to_ansi(u"Ёж é \U0001F600 \xD800!", out, sizeof out);
  EXPECT_EQ(std::string(out), kelda::kit::cp1251_from_utf8("Ёж ? ? ?!"));

  kelda::platform::set_last_error(0);
  std::memset(out, '#', sizeof out);
  kelda::kit::wide_to_multibyte(u"abcdef", out, 4);
  EXPECT_EQ(std::string(out), "abc");
  EXPECT_EQ(out[4], '#');
  const char16_t raw[4] = {u'w', u'x', u'y', u'z'};
  kelda::kit::wide_to_ansi(raw, out, 4);
  EXPECT_EQ(std::string(out), "wxy");
  EXPECT_EQ(kelda::platform::get_last_error(), kelda::platform::error::insufficient_buffer);
}

TEST(CodePage, Utf8BridgesReplaceInvalidInput) {
  EXPECT_EQ(kelda::kit::utf16_from_utf8("a\xC3\xA9\xF0\x9F\x98\x80"), u"aé\U0001F600");
  EXPECT_EQ(kelda::kit::utf8_from_utf16(u"aé\U0001F600"), "a\xC3\xA9\xF0\x9F\x98\x80");
  // bad lead byte, truncated sequence, overlong form, encoded surrogate
  EXPECT_EQ(kelda::kit::utf16_from_utf8("\xFF|\xE2\x82|\xC0\xAF|\xED\xA0\x80"),
            u"\uFFFD|\uFFFD\uFFFD|\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(kelda::kit::utf8_from_utf16(u"\xDC00x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(kelda::kit::utf8_from_cp1251(kelda::kit::cp1251_from_utf8("Ёлка №1")), "Ёлка №1");
}

}  // namespace
