// Formatting into bounded buffers: 8-bit printf formats and wide (UTF-16)
// printf formats.
//
// The wide formats follow the conventions of the wide printf family of the
// platform the system comes from, which its message texts are written for:
//   %s %ls %ws  wide text (const char16_t*)     %S %hs  8-bit text (code page 1251)
//   %c %lc      wide character (char16_t)       %C %hc  8-bit character
//   %d %i %u %x %X %o  32-bit integers, also with h, hh, l or I32 ("long" is
//   32 bits there, so %ld reads an int32_t/uint32_t);
//   ll, I64, j  64-bit integers;  z, t  size_t and ptrdiff_t;
//   %e %E %f %F %g %G %a %A  double (L: long double);  %p pointer;  %% percent.
// Flags - + space # 0, widths and precisions (also *) as in C. %n writes
// nothing (its argument is skipped). An unknown conversion is copied as it
// stands and ends the formatting of arguments. A null string prints "(null)".
// The compiler cannot check wide formats against their arguments: callers
// pass exactly the types above.
//
// Threading: no state, re-entrant (work buffers are on the stack).
// Errors: nothing throws; a bad argument gives the documented result.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace kelda::kit {

// Formats through a 4096-byte work buffer and copies at most `capacity` bytes
// into `dst`, always terminating at capacity - 1. Returns `dst`. A null
// destination, a zero capacity or a null format returns `dst` untouched; an
// empty format returns null.
char* mbs_format(char* dst, std::size_t capacity, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));

// The same with a wide format and a work buffer of 4096 wide characters.
char16_t* wcs_format(char16_t* dst, std::size_t capacity, const char16_t* format, ...) noexcept;
char16_t* wcs_vformat(char16_t* dst, std::size_t capacity, const char16_t* format,
                      va_list args) noexcept;

// The wide formatting engine: writes at most capacity - 1 characters and a
// terminator (nothing when capacity is 0) and returns the length the whole
// result would have.
std::size_t wide_vsnprintf(char16_t* dst, std::size_t capacity, const char16_t* format,
                           va_list args) noexcept;

// Formats through a 4096-byte work buffer, then mbs_dup_realloc into
// *buffer / *size. 0 when the format is null or empty or a pointer is null.
int mbs_printf_realloc(char** buffer, std::size_t* size, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));

// Reallocates *buffer (std::realloc; release it with std::free) to the text's
// length plus one, copies the text and stores that size in *size. 1 on
// success; 0 for a null or empty text, a null pointer or a failed
// reallocation (the buffer is then left as it was).
int mbs_dup_realloc(const char* text, char** buffer, std::size_t* size) noexcept;

}  // namespace kelda::kit
