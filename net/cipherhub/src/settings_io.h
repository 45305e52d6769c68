// The dispatcher's access to INI files, through the kit's reader and writer.
// Paths and texts are 8-bit (code page 1251); a missing file, section or key
// reads as an empty text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelda::cipherhub {

// The lines of a section, each with its line end, at most capacity - 1
// characters.
std::string read_ini_section(std::string_view ini_path, std::string_view section,
                             std::size_t capacity);
// A key's value, at most capacity - 1 characters.
std::string read_ini_string(std::string_view ini_path, std::string_view section,
                            std::string_view key, std::size_t capacity);
// Sets the key; false when the file could not be written.
bool write_ini_string(std::string_view ini_path, std::string_view section, std::string_view key,
                      std::string_view value);

// The locale record handed to every provider (version 1 and the kit's
// language, sub-language and dialect).
const void* locale_record();

}  // namespace kelda::cipherhub
