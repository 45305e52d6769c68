#include "text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kelda::margin {
namespace {

constexpr std::array<unsigned char, 256> make_upper_table() {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned char>(c - 32);
  for (int c = 0xE0; c <= 0xFF; ++c) t[c] = static_cast<unsigned char>(c - 32);  // а-я
  constexpr unsigned char pairs[][2] = {
      {0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D},
      {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1}, {0xBC, 0xA3}, {0xB4, 0xA5},
      {0xB8, 0xA8}, {0xBA, 0xAA}, {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD},
  };
  for (const auto& p : pairs) t[p[0]] = p[1];
  return t;
}

constexpr auto kUpper = make_upper_table();

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Decimal exponent of the leading significant digit of a plain decimal
// number text ("123.4e5" gives 7, "0.05" gives -2), used to tell overflow
// from underflow when a number is out of the double range.
int64_t leading_exponent(std::string_view s) {
  std::size_t i = 0;
  int64_t significant = 0;  // integer digits from the first non-zero one
  for (; i < s.size() && is_digit(s[i]); ++i) {
    if (significant > 0 || s[i] != '0') ++significant;
  }
  int64_t lead = significant - 1;
  if (i < s.size() && s[i] == '.') {
    ++i;
    int64_t zeros = 0;
    for (; i < s.size() && s[i] == '0'; ++i) ++zeros;
    if (significant == 0) lead = -(zeros + 1);
    while (i < s.size() && is_digit(s[i])) ++i;
  }
  int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    for (; i < s.size() && is_digit(s[i]); ++i) {
      if (exponent < 100000000) exponent = exponent * 10 + (s[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return lead + exponent;
}

}  // namespace

unsigned char upper_1251(unsigned char c) noexcept { return kUpper[c]; }

std::string_view clean(std::string_view s) noexcept {
  while (!s.empty()) {
    const char c = s.back();
    if (c != ' ' && c != '\r' && c != '\n' && c != '.') break;
    s.remove_suffix(1);
  }
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

std::string_view trim_spaces(std::string_view s) noexcept {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

int32_t read_int(std::string_view s) noexcept {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int64_t value = 0;
  for (; i < s.size() && is_digit(s[i]); ++i) {
    value = value * 10 + (s[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

double read_decimal(std::string_view s) noexcept {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::string_view rest = s.substr(i);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
  if (ec == std::errc::invalid_argument) {
    value = 0.0;
  } else if (ec == std::errc::result_out_of_range) {
    const std::string_view text(rest.data(), static_cast<std::size_t>(end - rest.data()));
    value = leading_exponent(text) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

int compare_folded(std::string_view a, std::string_view b) noexcept {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(fold_ascii(a[i]));
    const auto y = static_cast<unsigned char>(fold_ascii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::optional<Code> Code::from(std::string_view s) noexcept {
  if (s.size() > kMax || s.find('\0') != std::string_view::npos) return std::nullopt;
  Code c;
  std::memcpy(c.bytes.data(), s.data(), s.size());
  return c;
}

std::optional<Code> Code::folded(std::string_view s) noexcept {
  auto c = from(s);
  if (c) {
    for (auto& ch : c->bytes) ch = fold_ascii(ch);
  }
  return c;
}

}  // namespace kelda::margin
