// String helpers: trimming, replacing, white-space and pointer tests.
#include "kit/text.h"

#include <cstring>
#include <string_view>


namespace kelda::kit {
namespace {

template <typename Char>
std::size_t length(const Char* text) {
  return std::basic_string_view<Char>(text).size();
}

template <typename Char>
void trim_right(Char* text) {
  if (text == nullptr) return;
  std::size_t n = length(text);
  while (n > 0 && text[n - 1] == Char(' ')) --n;
  text[n] = 0;
}

template <typename Char>
void trim_left(Char* text) {
  if (text == nullptr) return;
  std::size_t skip = 0;
  while (text[skip] == Char(' ')) ++skip;
  if (skip == 0) return;
  const std::size_t rest = length(text + skip);
  std::memmove(text, text + skip, (rest + 1) * sizeof(Char));
}

template <typename Char>
bool is_white(Char c) {
  return c == Char(' ') || c == Char('\t') || c == Char('\r') || c == Char('\n') ||
         c == Char('\v') || c == Char('\f');
}

template <typename Char>
int all_white(const Char* text) {
  if (text == nullptr) return 1;
  for (; *text != 0; ++text) {
    if (!is_white(*text)) return 0;
  }
  return 1;
}

}  // namespace

void wcs_trim_right(char16_t* text) noexcept { trim_right(text); }
void wcs_trim_left(char16_t* text) noexcept { trim_left(text); }
void wcs_trim(char16_t* text) noexcept {
  trim_right(text);
  trim_left(text);
}
void mbs_trim_right(char* text) noexcept { trim_right(text); }
void mbs_trim_left(char* text) noexcept { trim_left(text); }
void mbs_trim(char* text) noexcept {
  trim_right(text);
  trim_left(text);
}

void mbs_trim_message_end(char* text) noexcept {
  if (text == nullptr) return;
  std::size_t n = std::strlen(text);
  while (n > 0 && std::strchr(" \r\n.", text[n - 1]) != nullptr) --n;
  text[n] = 0;
}

void mbs_trim_message(char* text) noexcept {
  mbs_trim_message_end(text);
  mbs_trim_left(text);
}

char* mbs_replace_char(char* text, char from, char to) noexcept {
  if (text == nullptr) return text;
  for (char* p = text; *p != 0; ++p) {
    if (*p == from) *p = to;
  }
  return text;
}

bool wcs_replace_all(char16_t* text, std::size_t capacity, const char16_t* from,
                     const char16_t* to) noexcept {
  if (text == nullptr || from == nullptr || *from == 0) return true;
  const std::u16string_view needle(from);
  const std::u16string_view with(to == nullptr ? u"" : to);
  const std::u16string_view source(text);

  // First pass: the length of the result, so that nothing is touched when it
  // would not fit.
  std::size_t result = source.size();
  std::size_t hits = 0;
  for (std::size_t at = source.find(needle); at != std::u16string_view::npos;
       at = source.find(needle, at + needle.size())) {
    ++hits;
    result = result - needle.size() + with.size();
  }
  if (hits == 0) return true;
  if (result + 1 > capacity) return false;

  // Second pass, moving the tail with its terminator at each hit. Positions
  // are tracked in the changing text; inserted text is never rescanned.
  std::size_t len = source.size();
  std::size_t at = std::u16string_view(text, len).find(needle);
  while (at != std::u16string_view::npos) {
    const std::size_t tail = len - at - needle.size();
    std::memmove(text + at + with.size(), text + at + needle.size(), (tail + 1) * sizeof(char16_t));
    std::memcpy(text + at, with.data(), with.size() * sizeof(char16_t));
    len = len - needle.size() + with.size();
    at = std::u16string_view(text, len).find(needle, at + with.size());
  }
  return true;
}

int is_space_str(const char* text) noexcept { return all_white(text); }
int is_space_wstr(const char16_t* text) noexcept { return all_white(text); }

int is_bad_wstr_range(const char16_t* text, std::size_t) noexcept { return text == nullptr ? 1 : 0; }
int is_bad_wstr(const char16_t* text) noexcept { return text == nullptr ? 1 : 0; }
int is_bad_code_ptr(const void* function) noexcept { return function == nullptr ? 1 : 0; }

}  // namespace kelda::kit
