// INI files: the reader and writer that every library of the system uses on
// the one settings file the terminal hands down.
//
// Format on disk: lines of code page 1251 text ended by CR LF (a lone LF is
// accepted on reading). A section header is a line "[" name "]", a key line is
// key "=" value (the key is everything before the first "="), a line whose
// first character is ";" is a comment. Names compare case-sensitively; only
// the space character counts as white space around keys and values. Sections
// and keys may repeat; the first occurrence wins.
//
// Quirks that stored files and callers rely on, kept on purpose:
//  - the readers take the first non-comment line that contains "[" section "]"
//    anywhere (a substring test) as the section's header;
//  - the readers compare the trimmed key, the writer the untrimmed text before
//    the "=" (so "x = 1" is key "x" to a reader but not to the writer, which
//    then adds "x=..." first in the section, where readers find it first);
//  - a line is taken at most 1999 characters at a time; a longer line is seen
//    as several lines, and the writer writes it back unchanged;
//  - a value keeps the spaces that stand just before its line end (the line
//    end is not a space); only the last line of a file without a final line
//    end loses its trailing spaces.
//
// The writer rewrites the whole file through a temporary file in the same
// folder and a rename, so a reader never sees half a file. There is no
// locking: two writers at once may lose one change.
//
// All names, values and paths are wide texts (UTF-16); they are stored as
// code page 1251 ('?' for what it lacks). Threading: no state; functions may
// run on any thread. Nothing throws; null arguments give the documented
// defaults.
#pragma once

#include <cstddef>

namespace kelda::kit {

// Longest line (in characters, its LF included) that the readers take at once.
inline constexpr std::size_t kIniLineLimit = 1999;

// The key's value read as a decimal integer (leading white space, a sign,
// digits; anything else ends the number; an empty value gives 0; the value
// saturates at the int range). `default_value` when the file cannot be read or
// the section or key is missing.
int ini_read_int(const char16_t* section, const char16_t* key, int default_value,
                 const char16_t* path) noexcept;

// Copies at most capacity - 1 characters of the key's value (or of the
// default when the file, section or key is missing) into `dst`, terminates
// it, then cuts one trailing CR or LF. Returns the length of `dst` (0 and
// nothing written for a null `dst` or zero capacity).
int ini_read_string(const char16_t* section, const char16_t* key, const char16_t* default_value,
                    char16_t* dst, std::size_t capacity, const char16_t* path) noexcept;

// Every line of the section (comments included, each with its LF) after the
// header up to the next line starting with "[", concatenated and cut to the
// capacity. An empty text when the file or section is missing. Returns the
// length.
int ini_read_section(const char16_t* section, char16_t* dst, std::size_t capacity,
                     const char16_t* path) noexcept;

// Sets key=value in the section: replaces the first key line of the first
// section whose header line (trimmed) is "[" section "]", else inserts the
// line right after that header, else appends the section at the end (after
// an empty line when the file ends with a complete line). A null value
// rewrites the file unchanged. Returns 1 when the file was written; 0 when it
// could not be (the file is left as it was; a file that exists but cannot be
// read is never rewritten), for a null section, key or path, and for a
// section, key or value holding CR or LF or a key line longer than
// kIniLineLimit (which readers could not take back whole).
int ini_write_string(const char16_t* section, const char16_t* key, const char16_t* value,
                     const char16_t* path) noexcept;

// Removes every line of the key (compared trimmed, as readers do) from every
// section whose header line (trimmed) is "[" section "]". Returns 1 when the
// key is no longer in the file (also when there was nothing to remove, or no
// file), 0 when the file could not be read or rewritten or an argument is
// null.
int ini_delete_key(const char16_t* section, const char16_t* key, const char16_t* path) noexcept;

// Removes every section whose header line (trimmed) is "[" section "]" with
// all its lines up to the next header; a section that ends the file also
// takes the empty line before its header (the one the writer put there).
// Results as ini_delete_key.
int ini_delete_section(const char16_t* section, const char16_t* path) noexcept;

}  // namespace kelda::kit
