// File helpers: status, reading and writing through descriptors, existence
// tests, whole-file reading, and the whole-file writer (temporary file and
// rename) that every file the system rewrites goes through.
//
// A "handle" is a POSIX file descriptor. 8-bit paths are code page 1251 and
// wide paths UTF-16; both are converted to the operating system's UTF-8 names
// (see paths.h). Failures set the thread's last error (platform/last_error.h).
// Threading: no state; any thread. Nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace kelda::kit {

inline constexpr uint16_t kFileKindDirectory = 0x4000;
inline constexpr uint16_t kFileKindOther = 0x8000;

// Status of a file: size, kind and last-write time (seconds since 1970, UTC,
// truncated to 32 bits).
struct FileStatInfo {
  uint32_t size_low;
  uint32_t size_high;
  uint16_t kind;  // kFileKindDirectory or kFileKindOther
  uint32_t last_write;
};
static_assert(sizeof(FileStatInfo) == 16);
static_assert(offsetof(FileStatInfo, kind) == 8 && offsetof(FileStatInfo, last_write) == 12);

// Fills `info` for an 8-bit path of up to 259 characters; 0, or -1 when the
// file is not found (or the path is null or too long).
int file_stat(const char* path, FileStatInfo* info) noexcept;
// Fills `info` from an open descriptor; 0, or -1.
int file_stat_handle(int handle, FileStatInfo* info) noexcept;

// Reads up to `count` bytes (stopping early only at the end of the file) or
// writes all `count` bytes; returns the bytes moved, or -1.
int32_t file_read(int handle, void* buffer, uint32_t count) noexcept;
int32_t file_write(int handle, const void* buffer, uint32_t count) noexcept;

// Creates one directory; 1, or 0 (also when it exists already).
int make_directory(const char16_t* path) noexcept;
// Moves a file or directory; fails (0) when the destination exists. A file
// moves across file systems by copy and delete. 1 on success.
int move_file(const char16_t* from, const char16_t* to) noexcept;

// Low 32 bits of the size of an 8-bit path, 0 when it is not found.
uint32_t file_size(const char* path) noexcept;
// 1 when the path names an existing entry that is not a directory, else 0.
int file_exists(const char16_t* path) noexcept;
// 1 when the path exists and is a directory, else 0.
int directory_exists(const char16_t* path) noexcept;

// Reads a whole file (8-bit path, binary) into a heap block. 1 with the block
// and its size; the block has one more byte, a NUL, after the data, and an
// empty file gives a block of just that NUL and size 0. 0 with a null block
// and size 0 when the file cannot be opened or read or memory runs out.
// Release the block with free_file_buffer.
int read_whole_file(const char* path, char** buffer, std::size_t* size) noexcept;
// Frees a block from read_whole_file, nulls the pointer and zeroes the size;
// 1, or 0 when there was nothing to free.
int free_file_buffer(char** buffer, std::size_t* size) noexcept;

// Replaces the file at `path` with `bytes` as a whole: writes a temporary file
// in the same folder, flushes it to disk and renames it over the target (a
// symbolic link is followed to its target). An existing file keeps its owner
// (where this process may give it) and its permissions; one that this process
// may not write to is not replaced (access denied). On failure the old file is
// untouched, the temporary file is removed, the last error is set and the
// result is false.
bool write_whole_file(const std::filesystem::path& path, std::string_view bytes) noexcept;

}  // namespace kelda::kit
