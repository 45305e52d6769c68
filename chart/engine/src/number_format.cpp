// Price texts with the user's separators.
#include "chart/number_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "platform/locale.h"

namespace kelda::chart {

namespace {

constexpr size_t kFallbackSize = 2048;

// First character of a separator, or 0 for none.
char16_t firstOf(const std::u16string& s) { return s.empty() ? u'\0' : s.front(); }

// Inserts `sep` before every third integer digit counted leftwards from the
// last one; stops at a sign or when the text would pass `limit` characters.
size_t groupThousands(char16_t* text, size_t length, size_t limit, char16_t decimalSep, char16_t sep) {
  size_t end = 0;  // one past the last integer digit
  while (end < length && text[end] != decimalSep) ++end;
  size_t digits = 0;
  for (size_t i = end; i > 0; --i) {
    const char16_t c = text[i - 1];
    if (c < u'0' || c > u'9') break;
    if (++digits <= 3) continue;
    // Digit i - 1 begins the next group: the separator goes after it.
    if (length + 1 > limit) break;
    std::copy_backward(text + i, text + length, text + length + 1);
    text[i] = sep;
    ++length;
    digits = 1;
  }
  return length;
}

}  // namespace

std::u16string_view formatNumber(double value, int32_t decimals, std::span<char16_t> buffer, bool trim) {
  thread_local std::array<char16_t, kFallbackSize> fallback{};
  if (buffer.empty()) buffer = fallback;
  const size_t limit = buffer.size() - 1;
  // printf with a bounded precision never writes more than this.
  std::array<char, 400> narrow{};
  const int precision = std::clamp(decimals, 0, 40);
  const int printed = std::snprintf(narrow.data(), narrow.size(), "%.*f", precision,
                                    std::isfinite(value) ? value : 0.0);
  size_t length = std::min<size_t>(static_cast<size_t>(std::max(printed, 0)), std::min(limit, narrow.size() - 1));
  const platform::NumberSeparators separators = platform::user_number_separators();
  const char16_t decimalSep = firstOf(separators.decimal) != u'\0' ? firstOf(separators.decimal) : u'.';
  for (size_t i = 0; i < length; ++i) {
    const char c = narrow[i];
    buffer[i] = c == '.' ? decimalSep : static_cast<char16_t>(c);
  }
  const char16_t thousands = firstOf(separators.thousands);
  if (thousands != u'\0') length = groupThousands(buffer.data(), length, limit, decimalSep, thousands);
  if (trim) {
    const auto sep = std::find(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(length), decimalSep);
    if (sep != buffer.begin() + static_cast<ptrdiff_t>(length)) {
      while (length > 0 && buffer[length - 1] == u'0') --length;
      if (length > 0 && buffer[length - 1] == decimalSep) --length;
    }
  }
  buffer[length] = u'\0';
  return std::u16string_view(buffer.data(), length);
}

std::u16string formatNumberText(double value, int32_t decimals, bool trim) {
  std::array<char16_t, 128> buffer{};
  return std::u16string(formatNumber(value, decimals, buffer, trim));
}

}  // namespace kelda::chart
