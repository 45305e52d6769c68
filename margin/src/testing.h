// Test-only access to the library's process-wide state. Not exported from
// the shared library (hidden visibility); tests link the static core.
#pragma once

#include <cstdint>

namespace kelda::margin::testing {

// Returns the library to the state of a freshly loaded one: not initialised,
// no callbacks, no tables, no rules, process allocator.
void reset_library() noexcept;

// Rule-set handles currently given out.
uint32_t live_handles() noexcept;

}  // namespace kelda::margin::testing
