// Texts of system and socket error codes: our own table in English, standing
// in for the operating system's message tables. Thread-safe; never throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/export.h"

namespace kelda::platform {

// The text of a system or socket error code (no trailing line end), or
// nothing when the table does not know the code.
KELDA_PLATFORM_API std::optional<std::string> system_error_text(uint32_t code);

}  // namespace kelda::platform
