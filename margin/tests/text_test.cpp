// Text helpers of the rule parser: line cleaning, numbers, case folding.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "text.h"

namespace kelda::margin {
namespace {

TEST(MarginText, CleanCutsTrailingRunThenLeadingSpaces) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"  KEY=1 .\r", "KEY=1"}, {"0.", "0"}, {"A. .\r\n", "A"}, {"\tX ", "\tX"}, {" . ", ""}, {"1.5", "1.5"},
  };
  for (const auto& c : cases) EXPECT_EQ(clean(c.in), c.out) << '"' << c.in << '"';
}

TEST(MarginText, ReadIntStopsAtFirstOtherCharacterAndSaturates) {
  const struct {
    const char* in;
    int32_t out;
  } cases[] = {
      {"  -12x", -12}, {"+7", 7}, {"abc", 0}, {"", 0}, {"--1", 0}, {"99999999999", INT32_MAX},
      {"-99999999999", INT32_MIN}, {"0 1", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(read_int(c.in), c.out) << '"' << c.in << '"';
}

TEST(MarginText, ReadDecimalIsLocaleFreeAndBounded) {
  const struct {
    const char* in;
    double out;
  } cases[] = {
      {" 0.5", 0.5}, {"+1.25e1", 12.5}, {"-.5", -0.5}, {"1.", 1.0}, {"x", 0.0}, {"1e400", INFINITY},
      {"-1e400", -INFINITY}, {"1e-400", 0.0}, {"0.0000001e-400", 0.0}, {"123,5", 123.0}, {"INF", INFINITY},
  };
  for (const auto& c : cases) EXPECT_EQ(read_decimal(c.in), c.out) << '"' << c.in << '"';
  EXPECT_TRUE(std::isnan(read_decimal("NAN")));
}

TEST(MarginText, UpperCaseCoversCyrillicOfCodePage1251) {
  // а-я -> А-Я, ё -> Ё, і -> І, ў -> Ў; µ (0xB5) and digits stay.
  const std::string lower = "az\xE0\xFF\xB8\xB3\xA2\xB5" "09";
  const std::string upper = "AZ\xC0\xDF\xA8\xB2\xA1\xB5" "09";
  std::string out;
  for (char c : lower) out.push_back(static_cast<char>(upper_1251(static_cast<unsigned char>(c))));
  EXPECT_EQ(out, upper);
}

TEST(MarginText, FoldedCompareTouchesAsciiLettersOnly) {
  EXPECT_EQ(compare_folded("abc", "ABC"), 0);
  EXPECT_LT(compare_folded("AB", "abc"), 0);
  EXPECT_LT(compare_folded("_", "A"), 0);  // folded to lower case: '_' sorts before 'a'
  EXPECT_FALSE(equal_folded("\xE0", "\xC0"));  // Cyrillic is not folded
  EXPECT_FALSE(Code::from(std::string(20, 'X')).has_value());
  EXPECT_EQ(Code::folded("AbC")->view(), "abc");
}

}  // namespace
}  // namespace kelda::margin
