// Text helpers of the rule-text parser and the record readers: bounded reads
// of fixed text fields, code page 1251 upper case, line cleaning, number
// reading, ASCII case folding, and Code, a fixed-size key for class, security
// and other short codes. Pure functions; no allocation, no state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace kelda::margin {

// The text of a fixed field of n bytes: up to its first NUL, never past n.
inline std::string_view field_text(const char* field, std::size_t n) noexcept {
  return {field, ::strnlen(field, n)};
}

// Upper case of a byte of code page 1251 (Latin and Cyrillic letters).
unsigned char upper_1251(unsigned char c) noexcept;

// Cuts the trailing run of spaces, CR, LF and full stops, then leading spaces.
std::string_view clean(std::string_view s) noexcept;
// Cuts leading and trailing spaces.
std::string_view trim_spaces(std::string_view s) noexcept;

// Decimal integer: leading spaces and one sign, then digits up to the first
// other character; no digits reads 0. Saturates at the 32-bit range.
int32_t read_int(std::string_view s) noexcept;
// Decimal number with optional fraction and exponent, or INF/NAN; leading
// spaces and one sign accepted; no number reads 0. Overflow gives infinity,
// underflow 0. Independent of the process locale.
double read_decimal(std::string_view s) noexcept;

// ASCII letters A-Z folded to a-z, nothing else.
inline char fold_ascii(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
int compare_folded(std::string_view a, std::string_view b) noexcept;
inline bool equal_folded(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && compare_folded(a, b) == 0;
}

// A short code (at most 19 bytes, no NUL) held by value, usable as a hash key.
struct Code {
  static constexpr std::size_t kMax = 19;
  std::array<char, kMax + 1> bytes{};

  std::string_view view() const noexcept { return {bytes.data(), ::strnlen(bytes.data(), bytes.size())}; }
  bool empty() const noexcept { return bytes[0] == '\0'; }
  bool operator==(const Code&) const = default;

  // nullopt when s is longer than kMax or holds a NUL.
  static std::optional<Code> from(std::string_view s) noexcept;
  // Like from(), with ASCII letters folded to lower case.
  static std::optional<Code> folded(std::string_view s) noexcept;
};

// A NUL-terminated copy of a short text (cut to 23 bytes), for callbacks
// that take C strings.
class CText {
 public:
  explicit CText(std::string_view s) noexcept {
    std::memcpy(bytes_.data(), s.data(), s.size() < bytes_.size() ? s.size() : bytes_.size() - 1);
  }
  const char* c_str() const noexcept { return bytes_.data(); }

 private:
  std::array<char, 24> bytes_{};
};

// Hash of a Code's 20 bytes read as three words, mixed by multiplication.
struct CodeHash {
  std::size_t operator()(const Code& c) const noexcept {
    uint64_t a = 0, b = 0;
    uint32_t d = 0;
    std::memcpy(&a, c.bytes.data(), 8);
    std::memcpy(&b, c.bytes.data() + 8, 8);
    std::memcpy(&d, c.bytes.data() + 16, 4);
    uint64_t h = a * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 31) ^ b) * 0xC2B2AE3D27D4EB4Full;
    h = (h ^ (h >> 29) ^ d) * 0x165667B19E3779F9ull;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }
};

}  // namespace kelda::margin
