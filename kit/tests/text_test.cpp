#include "kit/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kit/search.h"

namespace {

TEST(Trim, EightBitTable) {
  struct Case { const char* in; const char* right; const char* left; const char* both; };
  const Case cases[] = {
      {"   abc", "   abc", "abc", "abc"},
      {"abc  ", "abc", "abc  ", "abc"},
      {"  a b  ", "  a b", "a b  ", "a b"},
      {"   ", "", "", ""},
      {"", "", "", ""},
      {"\tx\t", "\tx\t", "\tx\t", "\tx\t"},  // tabs are not spaces here
  };
  for (const Case& c : cases) {
    char r[16], l[16], b[16];
    std::strcpy(r, c.in);
    std::strcpy(l, c.in);
    std::strcpy(b, c.in);
    kelda::kit::mbs_trim_right(r);
    kelda::kit::mbs_trim_left(l);
    kelda::kit::mbs_trim(b);
    EXPECT_STREQ(r, c.right) << '"' << c.in << '"';
    EXPECT_STREQ(l, c.left) << '"' << c.in << '"';
    EXPECT_STREQ(b, c.both) << '"' << c.in << '"';
  }
  kelda::kit::mbs_trim(nullptr);
}

TEST(Trim, WideTable) {
  struct Case { std::u16string in, right, left, both; };
  const Case cases[] = {
      {u"   abc", u"   abc", u"abc", u"abc"},
      {u" ёж  ", u" ёж", u"ёж  ", u"ёж"},
      {u"   ", u"", u"", u""},
      {u"", u"", u"", u""},
  };
  for (const Case& c : cases) {
    std::u16string r = c.in, l = c.in, b = c.in;
    kelda::kit::wcs_trim_right(r.data());
    kelda::kit::wcs_trim_left(l.data());
    kelda::kit::wcs_trim(b.data());
    EXPECT_EQ(std::u16string(r.c_str()), c.right);
    EXPECT_EQ(std::u16string(l.c_str()), c.left);
    EXPECT_EQ(std::u16string(b.c_str()), c.both);
  }
  kelda::kit::wcs_trim(nullptr);
}

TEST(Trim, MessageEndsOnItsLastWord) {
  char msg[] = " Order rejected. \r\n";
  kelda::kit::mbs_trim_message(msg);
  EXPECT_STREQ(msg, "Order rejected");
  char only[] = ". .\r\n";
  kelda::kit::mbs_trim_message_end(only);
  EXPECT_STREQ(only, "");
  char keep[] = " a.b";
  kelda::kit::mbs_trim_message_end(keep);
  EXPECT_STREQ(keep, " a.b");
}

TEST(Replace, CharacterEverywhere) {
  char text[] = "1,5,,";
  EXPECT_EQ(kelda::kit::mbs_replace_char(text, ',', '.'), text);
  EXPECT_STREQ(text, "1.5..");
  EXPECT_EQ(kelda::kit::mbs_replace_char(nullptr, 'a', 'b'), nullptr);
}

TEST(Replace, AllSubstringsWithoutRescanning) {
  struct Case { std::u16string in, from, to, out; };
  const Case cases[] = {
      {u"a#b#c", u"#", u"\"", u"a\"b\"c"},
      {u"aaa", u"a", u"aa", u"aaaaaa"},      // inserted text is not searched again
      {u"xabcx", u"abc", u"", u"xx"},
      {u"abab", u"ab", u"b", u"bb"},
      {u"none", u"zz", u"y", u"none"},
      {u"abc", u"", u"y", u"abc"},          // empty pattern: nothing
  };
  for (const Case& c : cases) {
    std::u16string buf = c.in;
    buf.resize(32, u'\0');
    EXPECT_TRUE(kelda::kit::wcs_replace_all(buf.data(), buf.size(), c.from.c_str(), c.to.c_str()));
    EXPECT_EQ(std::u16string(buf.c_str()), c.out);
  }
}

TEST(Replace, AllLeavesTheTextWhenTheResultWouldNotFit) {
  char16_t buf[8] = u"a-b-c";  // 5 characters; "a--b--c" needs 8 with its terminator
  EXPECT_FALSE(kelda::kit::wcs_replace_all(buf, 7, u"-", u"--"));
  EXPECT_EQ(std::u16string(buf), u"a-b-c");
  EXPECT_TRUE(kelda::kit::wcs_replace_all(buf, 8, u"-", u"--"));
  EXPECT_EQ(std::u16string(buf), u"a--b--c");
}

TEST(Tests, WhiteSpaceAndPointers) {
  EXPECT_EQ(kelda::kit::is_space_str(" \t\r\n\v\f"), 1);
  EXPECT_EQ(kelda::kit::is_space_str(""), 1);
  EXPECT_EQ(kelda::kit::is_space_str(" x "), 0);
  EXPECT_EQ(kelda::kit::is_space_str("\xA0"), 0);  // no-break space of 1251 is not white space
  EXPECT_EQ(kelda::kit::is_space_wstr(u" \t\n"), 1);
  EXPECT_EQ(kelda::kit::is_space_wstr(u"\u00A0"), 0);

  EXPECT_EQ(kelda::kit::is_bad_wstr(nullptr), 1);
  EXPECT_EQ(kelda::kit::is_bad_wstr(u"ok"), 0);
  EXPECT_EQ(kelda::kit::is_bad_wstr_range(nullptr, 3), 1);
  EXPECT_EQ(kelda::kit::is_bad_wstr_range(u"ok", 100), 0);
  EXPECT_EQ(kelda::kit::is_bad_code_ptr(nullptr), 1);
  EXPECT_EQ(kelda::kit::is_bad_code_ptr(reinterpret_cast<const void*>(&kelda::kit::is_bad_wstr)), 0);
}

int compare_int(const void* key, const void* element) {
  const int a = *static_cast<const int*>(key);
  const int b = *static_cast<const int*>(element);
  return a < b ? -1 : (a > b ? 1 : 0);
}

TEST(BinarySearch, FindsOrTellsWhereTheKeyBelongs) {
  const std::vector<int> three = {10, 20, 30};
  const std::vector<int> five = {10, 20, 30, 40, 50};
  struct Case { const std::vector<int>* array; int key; int found; int position; };
  const Case cases[] = {
      {&three, 25, -1, 2}, {&three, 5, -1, 0},  {&three, 35, -1, 3}, {&three, 10, 0, 0},
      {&three, 30, 2, 2},  {&five, 5, -1, 0},   {&five, 45, -1, 4},  {&five, 20, 1, 1},
      {&five, 50, 4, 4},   {&five, 35, -1, 3},
  };
  for (const Case& c : cases) {
    int position = -7;
    EXPECT_EQ(kelda::kit::binary_search(&c.key, c.array->data(), c.array->size(), sizeof(int), compare_int,
                                 &position),
              c.found)
        << c.key;
    EXPECT_EQ(position, c.position) << c.key;
  }
  int position = -7;
  const int key = 1;
  EXPECT_EQ(kelda::kit::binary_search(&key, three.data(), 0, sizeof(int), compare_int, &position), -1);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(kelda::kit::binary_search(&key, three.data(), 3, sizeof(int), compare_int, nullptr), -1);
}

TEST(BinarySearch, MiddleRuleDecidesAmongEqualElements) {
  // Four equal elements: the first probe is low + 4/2 - 1 = 1.
  const int same[] = {7, 7, 7, 7};
  const int key = 7;
  EXPECT_EQ(kelda::kit::binary_search(&key, same, 4, sizeof(int), compare_int, nullptr), 1);
  // Five: the first probe is 2.
  const int five[] = {7, 7, 7, 7, 7};
  EXPECT_EQ(kelda::kit::binary_search(&key, five, 5, sizeof(int), compare_int, nullptr), 2);
  // Even range [1, 2, 3, 3]: the first probe (index 1) is below; then the
  // range [2, 3] of two probes index 2.
  const int mixed[] = {1, 2, 3, 3};
  const int three = 3;
  EXPECT_EQ(kelda::kit::binary_search(&three, mixed, 4, sizeof(int), compare_int, nullptr), 2);
}

TEST(TickInterval, CountsAcrossTheWrapOneShort) {
  struct Case { uint32_t start, now, interval; int elapsed; };
  const Case cases[] = {
      {100, 200, 100, 1},       {100, 199, 100, 0},        {5, 5, 0, 1},
      {0xFFFFFF00, 0x10, 0x100, 1},  // elapsed 0x10F
      {0xFFFFFF00, 0x10, 0x110, 0},  // the true distance is 0x110, counted one short
      {0xFFFFFFFF, 0, 1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kelda::kit::tick_interval_elapsed(c.start, c.now, c.interval), c.elapsed)
        << std::hex << c.start << " " << c.now << " " << c.interval;
  }
}

}  // namespace
