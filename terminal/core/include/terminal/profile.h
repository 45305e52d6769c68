// Profile files: the terminal's settings file and layout files, plain 8-bit
// text of "[section]" header lines and "key=value" entry lines.
//
// Every call opens, reads and closes the file itself and keeps no state, so a
// value written by one caller is seen at once by the next. Keys and section
// names are compared case-sensitively; lines beginning with ';' are comments.
// The reader trims keys and values (trailing blanks, CR and LF; leading
// blanks; never tabs); the writer compares the text before the first '=' of
// a trimmed line exactly. Files are rewritten whole (temporary file and
// rename): a file that cannot be written keeps its old contents, and the
// failure is reported to the user (save_failures.h).
//
// Threading: any thread, no shared state. Errors: a missing file reads as
// empty (defaults); nothing throws.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelda::terminal {

// The value of the key converted like atoi, or `fallback` when the file,
// section or key is missing.
int profile_get_int(std::string_view section, std::string_view key, int fallback, const std::string& path);
// The value of the key (or `fallback`), at most `limit` characters.
std::string profile_get_string(std::string_view section, std::string_view key, std::string_view fallback,
                               const std::string& path, std::size_t limit = 1999);
// Whether the key is in the section (the reader's rules): its trimmed value,
// or nothing when the file, the section or the key is missing.
std::optional<std::string> profile_find(std::string_view section, std::string_view key, const std::string& path);

// What a reader finds of a section: the file cannot be opened because it
// does not exist, or exists but cannot be read; the section is missing from
// the file, or present (header found by the reader's rule).
enum class ProfileSection { no_file, unreadable_file, missing, present };
ProfileSection profile_section_state(std::string_view section, const std::string& path);

// Writes "key=value" into the section, creating both as needed. Answers
// false only when the file could not be rewritten.
bool profile_set_string(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path);
bool profile_set_int(std::string_view section, std::string_view key, int value, const std::string& path);
// Removes a section's header and lines. A file that cannot be opened is left
// alone (logged).
void profile_delete_section(std::string_view section, const std::string& path);
// Removes every section whose header line ("[Name]") is in the list.
void profile_delete_sections(const std::vector<std::string>& headers, const std::string& path);

}  // namespace kelda::terminal
