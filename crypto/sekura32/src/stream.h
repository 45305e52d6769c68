// Streams as seen from inside the library: the helpers shared by the stream
// kinds, and the text helpers over any stream that the configuration parser,
// the key rings and the armour use.
//
// Threading: a stream belongs to one caller at a time; skIOerror is per
// thread. Errors: slots report through skIOerror and a zero count.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sekura32/sekura32.h"

namespace kelda::sekura32 {

// A zeroed stream record from the library allocator (large enough for every
// kind, so that a memory stream can become a file stream in place).
SkStream* new_stream_record(uint32_t kind) noexcept;
// Frees the name and the record.
void free_stream_record(SkStream* stream) noexcept;
// Sets skIOerror to the system error number, or 259 when there is none.
void set_io_error_from_errno() noexcept;

// Turns an existing record into a file stream on `name` (a heap copy the
// record owns); used by the constructors and by the spill of a memory stream.
void become_file_stream(SkStream* stream) noexcept;
// The library's private temporary folder, made (mode 0700) on first use;
// empty when it cannot be made.
const char* temporary_folder() noexcept;
// Removes the private temporary folder when it was made and is empty (at
// unload).
void remove_temporary_folder() noexcept;

// Writes a text up to its first NUL or n bytes; returns the bytes written.
uint32_t stream_write_text(SkStream* stream, const char* text, uint32_t n) noexcept;
// The same followed by "\r\n"; returns the total written.
uint32_t stream_write_line(SkStream* stream, const char* text, uint32_t n) noexcept;
// Returns the byte, or -1 when nothing was written.
int stream_write_byte(SkStream* stream, uint8_t byte) noexcept;
// Reads one line (up to and including a line feed, which is not stored; a
// carriage return directly before it is dropped; the byte 26 ends the line
// like the end of the stream and is not counted). The stored line is cut to
// size - 1 bytes and NUL-ended. Returns the bytes consumed (0 at the end or
// on an error); *ended becomes true at the end of the stream or at byte 26.
uint32_t stream_read_line(SkStream* stream, char* buffer, std::size_t size, bool* ended = nullptr) noexcept;

}  // namespace kelda::sekura32
