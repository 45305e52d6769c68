// Bounded texts and list texts of the client library.
//
// Text fields of records and messages are fixed-size char arrays that may
// arrive without a terminator; everything here reads at most the stated
// capacity and always terminates what it writes. Pure functions, any thread,
// never throw.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace kelda::kelapi {

// Copies at most n characters of src (which need not be terminated within
// n), fills the rest of the first n bytes with zeros and stores a zero at
// position n: dst holds n + 1 bytes. A null src copies nothing. Returns dst.
char* copy_bounded(char* dst, const char* src, std::size_t n) noexcept;

// copy_bounded into a whole array: at most N - 1 characters and a zero.
template <std::size_t N>
char* copy_field(char (&dst)[N], const char* src) noexcept {
  return copy_bounded(dst, src, N - 1);
}

// The text of a field of N bytes: up to its first zero, at most N bytes.
template <std::size_t N>
std::string_view field_text(const char (&field)[N]) noexcept {
  return std::string_view(field, strnlen(field, N));
}

// Removes trailing blanks (0x20) of a field of `capacity` bytes in place; a
// field without a terminator is terminated at its last byte first.
void trim_right_field(char* text, std::size_t capacity) noexcept;
template <std::size_t N>
void trim_right_field(char (&field)[N]) noexcept {
  trim_right_field(field, N);
}
// Removes leading blanks of a terminated text in place.
void trim_left(char* text) noexcept;

// 1 when one of the items of `list` (separated by `separator`), with blanks
// removed at both ends, equals `word` without regard to case (Latin letters);
// an empty or null list gives 0.
int in_list(const char* word, char separator, const char* list) noexcept;

// Appends each item of `source` (blanks removed at both ends) to `dest` as the
// separator followed by the item, when the item is not empty, not already in
// dest and dest's length plus the item plus 1 stays within `capacity`.
void merge_list(const char* source, char* dest, std::size_t capacity, char separator) noexcept;

// Compares two texts without regard to case (Latin letters), like strcasecmp
// in the C locale.
bool equal_nocase(std::string_view a, std::string_view b) noexcept;

}  // namespace kelda::kelapi
