// Number and date formatting and the checks of numbers typed into dialogs.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "terminal/text_log.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

// Inserts group separators into the integer digits of `text` (a buffer of
// `size` bytes) and replaces the decimal point; stops when the text would no
// longer fit.
void group_digits(char* text, std::size_t size, char decimal, char group) {
  std::size_t len = std::strlen(text);
  char* point = std::strchr(text, '.');
  std::ptrdiff_t pos;
  if (point != nullptr) {
    *point = decimal;
    pos = point - text - 1;
  } else {
    pos = static_cast<std::ptrdiff_t>(len) - 1;
  }
  int counted = 0;
  for (; pos >= 0 && text[pos] != '-'; --pos) {
    if (counted > 0 && counted % 3 == 0) {
      if (len + 1 >= size) return;
      std::memmove(text + pos + 2, text + pos + 1, len - static_cast<std::size_t>(pos));
      text[pos + 1] = group;
      ++len;
    }
    ++counted;
  }
}

char separator_or(int value, char fallback) { return value == -1 ? fallback : static_cast<char>(value); }

void show_field_error(std::u16string_view field, const std::u16string& message) {
  ui::message_box(ui::Hwnd{}, message, field, ui::mb::ok | ui::mb::icon_error);
}

std::u16string number16(int value) {
  const std::string s = std::to_string(value);
  return std::u16string(s.begin(), s.end());
}

}  // namespace

char* format_real(char* out, std::size_t size, double value, int precision, int decimal_separator,
                  int group_separator, bool grouping) {
  if (out == nullptr || size == 0) return out;
  std::snprintf(out, size, "%.*f", precision, value);
  if (grouping) group_digits(out, size, separator_or(decimal_separator, '.'), separator_or(group_separator, ' '));
  return out;
}

char* format_integer(char* out, std::size_t size, int value, int decimal_separator, int group_separator,
                     bool grouping) {
  if (out == nullptr || size == 0) return out;
  std::snprintf(out, size, "%d", value);
  if (grouping) group_digits(out, size, separator_or(decimal_separator, '.'), separator_or(group_separator, ' '));
  return out;
}

std::string format_date_ymd(long date) {
  char text[32];
  std::snprintf(text, sizeof text, "%02ld.%02ld.%04ld", date % 100, date / 100 % 100, date / 10000);
  return text;
}

bool parse_number_w(std::u16string_view text, double& value) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  std::string ascii;
  for (std::size_t j = i; j < text.size(); ++j) {
    if (text[j] > 0x7F) return false;
    ascii += static_cast<char>(text[j]);
  }
  if (ascii.empty()) return false;
  char* end = nullptr;
  const double parsed = std::strtod(ascii.c_str(), &end);
  if (end == ascii.c_str()) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  if (parsed == 0.0 && ascii[0] != '0') return false;
  value = parsed;
  return true;
}

bool check_number(std::u16string_view text, int decimals, std::u16string_view field_name, int digits) {
  const std::u16string in_field = u"В поле \"" + std::u16string(field_name) + u"\" значение ";
  auto not_a_number = [&] {
    show_field_error(field_name, in_field + u"не является числом");
    return false;
  };
  if (text.empty()) return not_a_number();
  int integer_digits = 0;
  std::string fraction;
  bool separator = false;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u',' || c == u'.') {
      if (separator) break;
      separator = true;
    } else if (c == u'-' && i == 0) {
    } else if (c >= u'0' && c <= u'9') {
      if (separator) fraction += static_cast<char>(c);
      else ++integer_digits;
    } else {
      break;
    }
  }
  if (i < text.size() || (integer_digits == 0 && fraction.empty())) return not_a_number();
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  const int fraction_digits = static_cast<int>(fraction.size());
  if (integer_digits + fraction_digits > digits) {
    show_field_error(field_name, in_field + u"не должно содержать больше " + number16(digits) + u" разрядов");
    return false;
  }
  if (fraction_digits > decimals) {
    if (decimals == 0) {
      show_field_error(field_name, in_field + u"должно быть целым числом");
    } else {
      show_field_error(field_name,
                       in_field + u"не должно содержать больше " + number16(decimals) + u" знаков после запятой");
    }
    return false;
  }
  return true;
}

bool doubles_equal(double a, double b) { return std::fabs(a - b) < 1e-6; }
bool doubles_near(double a, double b, double epsilon) { return std::fabs(a - b) < epsilon; }

}  // namespace kelda::terminal
