// Path helpers for 8-bit (code page 1251) and wide (UTF-16) paths, and the
// bridge from those paths to the operating system's file names (UTF-8).
//
// The system's paths used backslashes; here '/' is the separator, and the
// helpers accept both '/' and '\\' wherever a separator is looked for. A path
// starting with '/' is absolute and is never joined to a base. Threading: no
// state; any thread. Nothing throws.
#pragma once

#include <cstddef>
#include <filesystem>

namespace kelda::kit {

inline constexpr std::size_t kMaxPath = 260;  // characters, terminator included

// Operating-system paths of 8-bit and wide texts (null gives an empty path).
std::filesystem::path path_from_ansi(const char* path);
std::filesystem::path path_from_wide(const char16_t* path);

// Makes a relative path absolute in place: base, a '/' unless the rest starts
// with a separator, then the rest (a leading "." dropped). Returns `path`, or
// an empty text with `path` left as it was when refused: a null or empty path
// or base; a path starting with a dot that is not followed by a separator or
// its end; a result longer than 259 characters or than the buffer. A drive
// path ("X:" and a separator), a network path (two leading backslashes) and
// an absolute path are returned unchanged.
const char* make_full_path(char* path, const char* base, std::size_t size) noexcept;

// Cuts `path` in place at its last separator (the separator becomes its
// terminator) and copies the directory part and the name after it, each cut
// to its buffer. Without a separator the directory is empty and the name is
// the whole path. Null or zero-sized buffers are skipped.
void split_path(char* path, char* directory, std::size_t directory_size, char* name,
                std::size_t name_size) noexcept;

// Joins a wide path (in a buffer of kMaxPath characters) to a base: base, a
// '/' unless the base ends with a separator, then the path without a leading
// "./" (or ".\\") or a leading separator. Network, drive and absolute paths
// stay unchanged. Returns 1, or 0 with the path unchanged when the result
// would not fit in kMaxPath characters or an argument is null.
int wpath_make_full(char16_t* path, const char16_t* base) noexcept;

// The text after the last ':' or separator (the whole path without either).
const char16_t* wpath_file_name(const char16_t* path) noexcept;
// Cuts the path at its last separator; a path without one (also "X:")
// becomes empty.
void wpath_remove_file_name(char16_t* path) noexcept;
// The text after the last '.' of the file name, or the end of the path.
const char16_t* wpath_extension(const char16_t* path) noexcept;

}  // namespace kelda::kit
