// String helpers over NUL-terminated 8-bit (code page 1251) and wide (UTF-16)
// text: trimming, replacing, white-space tests and pointer checks.
//
// "Space" in the trimming functions is the character 0x20 only, never a tab.
// All functions work in place, keep no state and are re-entrant. A null text
// is accepted everywhere and left alone. Nothing throws.
#pragma once

#include <cstddef>

namespace kelda::kit {

// Trailing spaces cut; leading spaces removed by moving the rest (with its
// terminator) to the start; both (right, then left).
void wcs_trim_right(char16_t* text) noexcept;
void wcs_trim_left(char16_t* text) noexcept;
void wcs_trim(char16_t* text) noexcept;
void mbs_trim_right(char* text) noexcept;
void mbs_trim_left(char* text) noexcept;
void mbs_trim(char* text) noexcept;

// Cuts the trailing run of spaces, CR, LF and full stops, so that a message
// ends on its last word; mbs_trim_message then also removes leading spaces.
void mbs_trim_message_end(char* text) noexcept;
void mbs_trim_message(char* text) noexcept;

// Replaces every `from` by `to`; returns the text.
char* mbs_replace_char(char* text, char from, char to) noexcept;

// Replaces, left to right and without rescanning inserted text, every `from`
// by `to` in a text whose buffer holds `capacity` wide characters. When the
// result (with its terminator) would not fit, the text is left unchanged and
// the result is false. An empty or null `from` replaces nothing.
bool wcs_replace_all(char16_t* text, std::size_t capacity, const char16_t* from,
                     const char16_t* to) noexcept;

// 1 when every character is white space (space, tab, CR, LF, vertical tab,
// form feed); an empty or null text too. Else 0.
int is_space_str(const char* text) noexcept;
int is_space_wstr(const char16_t* text) noexcept;

// Pointer checks. The process cannot probe whether memory is readable or
// executable without risking the very fault these checks guard against, so
// they test for null only and never read through the pointer: 1 for null,
// else 0. `n` is accepted for the callers' sake and not used.
int is_bad_wstr_range(const char16_t* text, std::size_t n) noexcept;
int is_bad_wstr(const char16_t* text) noexcept;
int is_bad_code_ptr(const void* function) noexcept;

}  // namespace kelda::kit
