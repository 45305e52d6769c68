// Plain whole-file reading for the kit's own use. Private to the kit.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kit::detail {

// The file's bytes, or nothing (last error set) when it cannot be read.
std::optional<std::string> read_file(const std::filesystem::path& path);

}  // namespace kit::detail
