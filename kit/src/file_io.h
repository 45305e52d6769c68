// Plain whole-file reading for the kit's own use. Private to the kit.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kelda::kit::detail {

// The file's bytes, or nothing (last error set) when it cannot be read;
// `missing` (when given) then tells whether there is no such file at all.
std::optional<std::string> read_file(const std::filesystem::path& path, bool* missing = nullptr);

}  // namespace kelda::kit::detail
