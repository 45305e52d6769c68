#include "kit/validation.h"

#include <gtest/gtest.h>

#include <string>

#include "kit/codepage.h"
#include "kit/hooks.h"

namespace {

TEST(ValidateNumber, AcceptsOrSaysWhy) {
  const std::string none;
  const std::string separator = kelda::kit::cp1251_from_utf8("Число не может содержать знак разделителя дробной части");
  const std::string decimals = kelda::kit::cp1251_from_utf8("Превышено допустимое число знаков после разделителя дробной части");
  const std::string bad = kelda::kit::cp1251_from_utf8("Недопустимый символ");
  const std::string size = kelda::kit::cp1251_from_utf8("Превышен размер поля ввода");
  struct Case { const char* text; int decimals, width, numeric, result; const std::string* message; };
  const Case cases[] = {
      {"12,5", 2, 5, 1, 1, &none},
      {"12.555", 2, 10, 1, 0, &decimals},
      {"1.5", 0, 5, 1, 0, &separator},
      {"1-2", 2, 5, 1, 0, &bad},
      {"-12", 0, 3, 1, 1, &none},
      {"1.2.3", 3, 9, 1, 0, &bad},      {"1.2.3", 2, 9, 1, 0, &decimals},  // the first dot is checked first
      {"12a", 2, 9, 1, 0, &bad},
      {"1234.5", 2, 5, 1, 0, &size},   // 4 digits + 2 decimals exceed 5
      {"123", 2, 5, 1, 1, &none},      // 3 + 2 fit
      {"1234", 2, 5, 1, 0, &size},
      {"", 2, 5, 1, 1, &none},
      {"abc", 0, 2, 0, 0, &size},
      {"abc", 0, 3, 0, 1, &none},
      {"1", -1, 5, 1, 0, &none},       // negative decimals: no message
  };
  for (const Case& c : cases) {
    char message[kelda::kit::kValidationMessageSize] = "untouched";
    EXPECT_EQ(kelda::kit::validate_number_text(c.text, c.decimals, c.width, c.numeric, message), c.result)
        << c.text;
    EXPECT_EQ(std::string(message), c.message->empty() ? "untouched" : *c.message) << c.text;
    EXPECT_EQ(kelda::kit::validate_number_text(c.text, c.decimals, c.width, c.numeric, nullptr), c.result);
  }
  char small[6];
  EXPECT_EQ(kelda::kit::validate_number_text("x", 0, 5, 1, small, sizeof small), 0);
  EXPECT_EQ(std::string(small), bad.substr(0, 5));
  EXPECT_EQ(kelda::kit::validate_number_text(nullptr, 0, 5, 1, small, sizeof small), 0);
}

TEST(Ipv4Text, GroupsAndDots) {
  struct Case { const char* text; int loose, strict; };
  const Case cases[] = {
      {"192.168.0.1", 1, 1}, {"192.168.0", 1, 0}, {"10.1", 1, 0},    {"10.", 1, 0},
      {"", 1, 0},            {"256.1.1.1", 0, 0}, {"1..2", 0, 0},    {".1.2.3", 0, 0},
      {"1.2.3.4.5", 0, 0},   {"1.2.3.", 1, 0},    {"0001.2.3.4", 0, 0}, {"1.2.3.4 ", 0, 0},
      {"255.255.255.255", 1, 1}, {"1a.2.3.4", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kelda::kit::is_valid_ipv4_text(c.text, 0), c.loose) << c.text;
    EXPECT_EQ(kelda::kit::is_valid_ipv4_text(c.text, 1), c.strict) << c.text;
  }
  EXPECT_EQ(kelda::kit::is_valid_ipv4_text(nullptr, 0), 0);
}

TEST(FilterExtension, PatternAfterItsFirstTwoCharacters) {
  const char16_t filters[] = u"Text files\0*.txt\0All files\0*.*\0";
  EXPECT_EQ(std::u16string(kelda::kit::filter_extension(filters, 1)), u"txt");
  EXPECT_EQ(std::u16string(kelda::kit::filter_extension(filters, 2)), u"");
  EXPECT_EQ(std::u16string(kelda::kit::filter_extension(filters, 3)), u"");
  EXPECT_EQ(std::u16string(kelda::kit::filter_extension(filters, 0)), u"");
  EXPECT_EQ(std::u16string(kelda::kit::filter_extension(nullptr, 1)), u"");
}

TEST(Hooks, FixedAnswers) {
  EXPECT_EQ(kelda::kit::store_last_text(1, 2, 3, 4, "notified"), 0);
  EXPECT_EQ(kelda::kit::last_stored_text(), "notified");
  const std::string long_text(2000, 'n');
  kelda::kit::store_last_text(0, 0, 0, 0, long_text.c_str());
  EXPECT_EQ(kelda::kit::last_stored_text(), long_text.substr(0, 1023));
  kelda::kit::store_last_text(0, 0, 0, 0, nullptr);
  EXPECT_EQ(kelda::kit::last_stored_text(), "");

  EXPECT_EQ(kelda::kit::accept_prompt(0, 0x19), 1);
  char value[8] = "keep";
  EXPECT_EQ(kelda::kit::input_text_dialog(0, "Name?", value, sizeof value), 1);
  EXPECT_STREQ(value, "keep");
  EXPECT_EQ(kelda::kit::param_not_supported(value), 0);
  EXPECT_EQ(kelda::kit::stub_zero(), 0);
  EXPECT_EQ(kelda::kit::stub_zero_for(value), 0);
  EXPECT_EQ(kelda::kit::stub_identity(42), 42u);
}

}  // namespace
