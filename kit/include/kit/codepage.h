// Code pages of the system's 8-bit text: 1251 (every text inside the
// libraries) and 866 (text on the wire), to and from UTF-16, and the byte
// mappings between the two Cyrillic code pages.
//
// The tables are the kit's own; the operating system's locale plays no part.
// Decisions on bytes and characters without a counterpart:
//  - 1251 leaves byte 0x98 undefined; it decodes to U+0098 and U+0098 encodes
//    back to 0x98, so that every byte survives a round trip.
//  - A UTF-16 character that the code page lacks encodes as '?'; a valid
//    surrogate pair counts as one such character, a lone surrogate too.
//
// Threading: no state; every function is re-entrant. Errors: none thrown.
// Functions taking a destination and a capacity never write past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kelda::kit {

enum class CodePage { cp1251, cp866 };

// The UTF-16 code unit of one byte.
char16_t byte_to_utf16(CodePage page, uint8_t byte) noexcept;
// The byte of one UTF-16 code unit, or -1 when the code page lacks it.
int utf16_to_byte(CodePage page, char16_t unit) noexcept;

// Decodes `bytes` into `out` (one code unit per byte); returns how many were
// written (at most out.size()).
std::size_t decode(CodePage page, std::span<const char> bytes, std::span<char16_t> out) noexcept;
// Encodes `text` into `out` ('?' for what the page lacks); returns how many
// bytes were written (at most out.size()).
std::size_t encode(CodePage page, std::u16string_view text, std::span<char> out) noexcept;

std::u16string decode(CodePage page, std::string_view bytes);
std::string encode(CodePage page, std::u16string_view text);

// UTF-8 (source literals, file names of the operating system) to code page
// 1251 and back. Russian literals of the source that become 8-bit text go
// through cp1251_from_utf8. Invalid UTF-8 sequences become '?'.
std::string cp1251_from_utf8(std::string_view utf8);
std::string utf8_from_cp1251(std::string_view cp1251);
// UTF-16 to UTF-8 and back; an unpaired surrogate or invalid sequence becomes
// U+FFFD.
std::string utf8_from_utf16(std::u16string_view text);
std::u16string utf16_from_utf8(std::string_view utf8);

// Byte mappings between 1251 and 866. Cyrillic letters (with Yo) map to each
// other, bytes below 0x80 stay, every other byte from 0x80 becomes '~'.
uint8_t cp1251_to_cp866(uint8_t byte) noexcept;
uint8_t cp866_to_cp1251(uint8_t byte) noexcept;

// The same over NUL-terminated text (terminator written) and over exactly n
// bytes (no terminator). Destination and source may be the same buffer; a
// null pointer makes the call do nothing. The string forms return `dst`.
char* mbs_cp1251_to_cp866(const char* src, char* dst) noexcept;
char* mbs_cp866_to_cp1251(const char* src, char* dst) noexcept;
void mem_cp1251_to_cp866(const void* src, void* dst, std::size_t n) noexcept;
void mem_cp866_to_cp1251(const void* src, void* dst, std::size_t n) noexcept;
// As mbs_cp1251_to_cp866, the terminator included.
void mbs_cp1251_to_cp866_z(const char* src, char* dst) noexcept;

// Wide and 8-bit conversion with the system code page (1251). The whole text
// and its terminator are converted into `dst`; `capacity` counts wide
// characters (ansi_to_wide) or bytes (wide_to_ansi). A text that does not fit
// is cut so that the terminator still fits, and the thread's last error is
// set to insufficient_buffer. A null text gives an empty destination. Both
// return `dst`; a null `dst` or a zero capacity writes nothing.
char16_t* ansi_to_wide(const char* text, char16_t* dst, std::size_t capacity) noexcept;
char* wide_to_ansi(const char16_t* text, char* dst, std::size_t capacity) noexcept;
// Second entry points doing exactly the same.
char16_t* multibyte_to_wide(const char* text, char16_t* dst, std::size_t capacity) noexcept;
char* wide_to_multibyte(const char16_t* text, char* dst, std::size_t capacity) noexcept;

}  // namespace kelda::kit
