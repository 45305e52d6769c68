// Field checks and filter extensions.
#include "kit/validation.h"

#include <cstring>
#include <string>
#include <string_view>

#include "kit/codepage.h"

namespace kelda::kit {
namespace {

// The reasons, in code page 1251.
const std::string& text_1251(const char* utf8) {
  thread_local std::string converted;
  converted = cp1251_from_utf8(utf8);
  return converted;
}

int fail(const char* reason_utf8, char* message, std::size_t size) {
  if (message != nullptr && size > 0) {
    const std::string& reason = text_1251(reason_utf8);
    const std::size_t n = reason.size() < size - 1 ? reason.size() : size - 1;
    std::memcpy(message, reason.data(), n);
    message[n] = 0;
  }
  return 0;
}

constexpr const char* kNoSeparator = "Число не может содержать знак разделителя дробной части";
constexpr const char* kTooManyDecimals = "Превышено допустимое число знаков после разделителя дробной части";
constexpr const char* kBadCharacter = "Недопустимый символ";
constexpr const char* kTooWide = "Превышен размер поля ввода";

}  // namespace

int validate_number_text(const char* text, int decimals, int width, int numeric, char* message,
                         std::size_t message_size) noexcept {
  if (decimals < 0 || text == nullptr) return 0;
  try {
    std::string copy(text);
    for (char& c : copy) {
      if (c == ',') c = '.';
    }
    const long long len = static_cast<long long>(copy.size());
    if (numeric == 0) return len > width ? fail(kTooWide, message, message_size) : 1;

    std::size_t dot = std::string::npos;
    for (std::size_t i = 0; i < copy.size(); ++i) {
      const char c = copy[i];
      if (c == '.') {
        if (decimals == 0) return fail(kNoSeparator, message, message_size);
        if (dot != std::string::npos) return fail(kBadCharacter, message, message_size);
        dot = i;
        if (static_cast<long long>(copy.size() - i - 1) > decimals) {
          return fail(kTooManyDecimals, message, message_size);
        }
      } else if (c == '-') {
        if (i != 0) return fail(kBadCharacter, message, message_size);
      } else if (c < '0' || c > '9') {
        return fail(kBadCharacter, message, message_size);
      }
    }
    const long long length = dot == std::string::npos ? len : len - 1;
    const long long fraction = dot == std::string::npos ? 0 : len - static_cast<long long>(dot) - 1;
    if (decimals - fraction < 0) return fail(kTooManyDecimals, message, message_size);
    if (width - length < decimals - fraction) return fail(kTooWide, message, message_size);
    return 1;
  } catch (...) {
    return 0;
  }
}

int is_valid_ipv4_text(const char* text, int strict) noexcept {
  if (text == nullptr) return 0;
  int dots = 0;
  int digits = 0;  // in the current group
  int value = 0;
  for (const char* p = text; *p != 0; ++p) {
    if (*p == '.') {
      if (digits == 0 || ++dots > 3) return 0;
      digits = 0;
      value = 0;
    } else if (*p >= '0' && *p <= '9') {
      value = value * 10 + (*p - '0');
      if (digits == 3 || value > 255) return 0;
      ++digits;
    } else {
      return 0;
    }
  }
  if (strict == 0) return 1;
  return dots == 3 && digits > 0 ? 1 : 0;
}

const char16_t* filter_extension(const char16_t* filters, int pair) noexcept {
  static const char16_t kEmpty[] = u"";
  if (filters == nullptr || pair < 1) return kEmpty;
  const char16_t* p = filters;
  for (int k = 1;; ++k) {
    if (*p == 0) return kEmpty;  // the list ended
    p += std::u16string_view(p).size() + 1;  // the description
    const std::u16string_view pattern(p);
    if (pattern.empty()) return kEmpty;
    if (k == pair) {
      if (pattern.size() < 2 || pattern.substr(2) == u"*") return kEmpty;
      return p + 2;
    }
    p += pattern.size() + 1;
  }
}

}  // namespace kelda::kit
