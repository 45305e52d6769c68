// Code-page conversion over the kit's own tables.
#include "kit/codepage.h"

#include <cstring>

#include "codepage_tables.h"
#include "platform/last_error.h"

namespace kelda::kit {
namespace {

using detail::kCp1251;
using detail::kCp866;

constexpr const std::array<char16_t, 256>& forward(CodePage page) {
  return page == CodePage::cp866 ? kCp866 : kCp1251;
}

// Byte mapping tables between 1251 and 866, built from the rules.
constexpr std::array<uint8_t, 256> make_1251_to_866() {
  std::array<uint8_t, 256> t{};
  for (unsigned b = 0; b < 256; ++b) {
    if (b < 0x80) t[b] = static_cast<uint8_t>(b);
    else if (b == 0xA8) t[b] = 0xF0;
    else if (b == 0xB8) t[b] = 0xF1;
    else if (b >= 0xC0 && b <= 0xEF) t[b] = static_cast<uint8_t>(b - 0x40);
    else if (b >= 0xF0) t[b] = static_cast<uint8_t>(b - 0x10);
    else t[b] = '~';
  }
  return t;
}

constexpr std::array<uint8_t, 256> make_866_to_1251() {
  std::array<uint8_t, 256> t{};
  for (unsigned b = 0; b < 256; ++b) {
    if (b < 0x80) t[b] = static_cast<uint8_t>(b);
    else if (b == 0xF0) t[b] = 0xA8;
    else if (b == 0xF1) t[b] = 0xB8;
    else if (b <= 0xAF) t[b] = static_cast<uint8_t>(b + 0x40);
    else if (b >= 0xE0 && b <= 0xEF) t[b] = static_cast<uint8_t>(b + 0x10);
    else t[b] = '~';
  }
  return t;
}

constexpr auto k1251To866 = make_1251_to_866();
constexpr auto k866To1251 = make_866_to_1251();

void map_bytes(const std::array<uint8_t, 256>& table, const void* src, void* dst, std::size_t n) {
  const auto* s = static_cast<const uint8_t*>(src);
  auto* d = static_cast<uint8_t*>(dst);
  for (std::size_t i = 0; i < n; ++i) d[i] = table[s[i]];
}

char* map_string(const std::array<uint8_t, 256>& table, const char* src, char* dst) {
  if (src == nullptr || dst == nullptr) return dst;
  map_bytes(table, src, dst, std::strlen(src) + 1);  // table maps NUL to NUL
  return dst;
}

bool is_high_surrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

char16_t byte_to_utf16(CodePage page, uint8_t byte) noexcept { return forward(page)[byte]; }

int utf16_to_byte(CodePage page, char16_t unit) noexcept {
  return page == CodePage::cp866 ? detail::kCp866Reverse.lookup(unit)
                                 : detail::kCp1251Reverse.lookup(unit);
}

std::size_t decode(CodePage page, std::span<const char> bytes, std::span<char16_t> out) noexcept {
  const auto& table = forward(page);
  const std::size_t n = bytes.size() < out.size() ? bytes.size() : out.size();
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  char16_t* d = out.data();
  for (std::size_t i = 0; i < n; ++i) d[i] = table[s[i]];
  return n;
}

std::size_t encode(CodePage page, std::u16string_view text, std::span<char> out) noexcept {
  std::size_t w = 0;
  std::size_t i = 0;
  for (; i < text.size() && w < out.size(); ++i) {
    const char16_t u = text[i];
    int b = u < 0x80 ? u : utf16_to_byte(page, u);
    if (b < 0) {
      b = '?';
      if (is_high_surrogate(u) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) ++i;
    }
    out[w++] = static_cast<char>(b);
  }
  return w;
}

std::u16string decode(CodePage page, std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  decode(page, bytes, out);
  return out;
}

std::string encode(CodePage page, std::u16string_view text) {
  std::string out(text.size(), '\0');
  out.resize(encode(page, text, out));
  return out;
}

uint8_t cp1251_to_cp866(uint8_t byte) noexcept { return k1251To866[byte]; }
uint8_t cp866_to_cp1251(uint8_t byte) noexcept { return k866To1251[byte]; }

char* mbs_cp1251_to_cp866(const char* src, char* dst) noexcept { return map_string(k1251To866, src, dst); }
char* mbs_cp866_to_cp1251(const char* src, char* dst) noexcept { return map_string(k866To1251, src, dst); }

void mem_cp1251_to_cp866(const void* src, void* dst, std::size_t n) noexcept {
  if (src != nullptr && dst != nullptr) map_bytes(k1251To866, src, dst, n);
}
void mem_cp866_to_cp1251(const void* src, void* dst, std::size_t n) noexcept {
  if (src != nullptr && dst != nullptr) map_bytes(k866To1251, src, dst, n);
}

void mbs_cp1251_to_cp866_z(const char* src, char* dst) noexcept { map_string(k1251To866, src, dst); }

char16_t* ansi_to_wide(const char* text, char16_t* dst, std::size_t capacity) noexcept {
  if (dst == nullptr || capacity == 0) return dst;
  // Reads no further than the destination can take (plus one to see the end).
  const std::size_t n = text == nullptr ? 0 : strnlen(text, capacity);
  const std::size_t taken = n < capacity ? n : capacity - 1;
  if (taken < n) kelda::platform::set_last_error(kelda::platform::error::insufficient_buffer);
  if (taken > 0) decode(CodePage::cp1251, std::span<const char>(text, taken), std::span<char16_t>(dst, taken));
  dst[taken] = 0;
  return dst;
}

char* wide_to_ansi(const char16_t* text, char* dst, std::size_t capacity) noexcept {
  if (dst == nullptr || capacity == 0) return dst;
  const char16_t* p = text == nullptr ? u"" : text;
  std::size_t w = 0;
  while (*p != 0 && w < capacity - 1) {
    const char16_t u = *p++;
    int b = u < 0x80 ? u : utf16_to_byte(CodePage::cp1251, u);
    if (b < 0) {
      b = '?';
      if (is_high_surrogate(u) && is_low_surrogate(*p)) ++p;
    }
    dst[w++] = static_cast<char>(b);
  }
  if (*p != 0) kelda::platform::set_last_error(kelda::platform::error::insufficient_buffer);
  dst[w] = 0;
  return dst;
}

char16_t* multibyte_to_wide(const char* text, char16_t* dst, std::size_t capacity) noexcept {
  return ansi_to_wide(text, dst, capacity);
}
char* wide_to_multibyte(const char16_t* text, char* dst, std::size_t capacity) noexcept {
  return wide_to_ansi(text, dst, capacity);
}

}  // namespace kelda::kit
