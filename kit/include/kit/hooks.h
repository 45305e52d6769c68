// Hooks with fixed answers that stand in for prompts and notifications the
// libraries do not show, and the kit's trivial stubs.
//
// `owner` values are the owner windows of the system's dialogs (opaque,
// pointer-sized). Any thread; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelda::kit {

// Notification hook: keeps at most 1023 bytes of `text` (the fifth argument;
// the other four are not used) in one process-wide buffer; returns 0.
int store_last_text(uintptr_t, uintptr_t, uintptr_t, uintptr_t, const char* text) noexcept;
// What store_last_text kept last.
std::string last_stored_text();

// The user-prompt hook: shows nothing; the prompt counts as accepted (1).
int accept_prompt(uintptr_t owner, uint16_t language) noexcept;
// The text-input hook: shows nothing, leaves the buffer unchanged; 1.
int input_text_dialog(uintptr_t owner, const char* prompt, char* value, std::size_t size) noexcept;
// The default setter of a provider parameter: not supported (0).
int param_not_supported(const void* value) noexcept;

// Stubs answering 0, 0 and their argument.
int stub_zero() noexcept;
int stub_zero_for(const void* value) noexcept;
uintptr_t stub_identity(uintptr_t value) noexcept;

}  // namespace kelda::kit
