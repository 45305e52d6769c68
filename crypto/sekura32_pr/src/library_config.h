// The cryptographic library's configuration file ("SEKURA.CFG"): lines
// "KEY=path" with "#" comments, written by the configuration dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kelda::sekura32_pr {

inline constexpr char kDefaultConfigName[] = "SEKURA.CFG";

// Where a key's value lies in the text, or why the text is refused.
struct ConfigScan {
  bool wrong_format = false;
  bool found = false;
  std::size_t value_begin = 0;  // the trimmed value of the first line with the key
  std::size_t value_end = 0;
};
// Scans 8-bit text: "#" starts a comment to the end of the line, "=" ends a
// key name (trimmed; empty is a format error), a line end ends the value
// (trimmed); "[" with a "]" later marks a sectioned file and ends the scan, a
// "]" without "[" is a format error. Keys compare without case.
ConfigScan scan_library_config(std::string_view text, std::string_view key);

// The buffer a configuration file is read into: `size` bytes, or null when
// memory runs out.
using ConfigBufferAllocator = std::unique_ptr<char[]> (*)(std::size_t size);

// Sets `key` to `value` in the file (an empty name is "SEKURA.CFG"; a missing
// file is made): the value of an existing line is replaced, otherwise the
// line "KEY=value\r\n" goes in front of the whole previous content. The file
// is replaced whole. SECRING and PUBRING are also stored in the library's
// settings (the secret and public ring paths). 1 done, 0 with the text of the
// step that failed: opening the file for update, taking its size (a file that
// is not a regular file has none), the buffer for its content (`allocate`,
// null for the heap), reading or writing it, or the format of its text.
int32_t write_library_config(const std::string& file, const std::string& key, const std::string& value,
                             char* error, uint32_t error_size, ConfigBufferAllocator allocate = nullptr);

}  // namespace kelda::sekura32_pr
