// Checks of typed field contents (numbers, IPv4 addresses) and the extension
// of a file-dialog filter.
//
// Texts are 8-bit (code page 1251); the messages written back are the
// system's Russian texts in code page 1251. No state; any thread; nothing
// throws.
#pragma once

#include <cstddef>

namespace kelda::kit {

// Room a validation message needs (the longest is 65 bytes).
inline constexpr std::size_t kValidationMessageSize = 128;

// Checks a typed number (with `numeric`) or only the text's width (without).
// Commas count as decimal separators. With `numeric`: digits, one separator
// only when decimals are allowed and followed by at most `decimals` digits,
// and a "-" only first; the width counts every character but the separator,
// with the fraction filled up to `decimals`. Returns 1 when acceptable; else
// 0 and, when `message` is given, the reason copied into it (cut to
// `message_size` bytes, terminated). Negative `decimals` gives 0 without a
// message; so does a null text.
int validate_number_text(const char* text, int decimals, int width, int numeric, char* message,
                         std::size_t message_size = kValidationMessageSize) noexcept;

// 1 when the text is groups of 1-3 digits of value at most 255 joined by at
// most three dots (so "10.1", "10." and "" pass); with `strict` exactly four
// non-empty groups are required. 0 for a null text.
int is_valid_ipv4_text(const char* text, int strict) noexcept;

// The extension of the pattern of the 1-based `pair` of a filter list (pairs
// of NUL-terminated description and pattern, ended by an empty text): the
// pattern after its first two characters ("*.txt" gives "txt"). An empty text
// for the pattern "*.*", when the list ends first, or for a null list.
const char16_t* filter_extension(const char16_t* filters, int pair) noexcept;

}  // namespace kelda::kit
