// The provider's process-wide state (owner window, settings path, dialog
// font, key handlers) and the helpers every entry point uses: error texts,
// library results, code addresses and caller texts.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sekura32_pr/sekura32_pr.h"

namespace kelda::sekura32_pr {

inline constexpr char kProviderName[] = "Sekura32";
inline constexpr int32_t kProviderId = SEKURA32_PR_PROVIDER_ID;
inline constexpr int32_t kInterfaceVersion = 1;
inline constexpr int32_t kUsageMode = 2;

struct ProviderState {
  std::mutex lock;
  bool initialized = false;
  bool uninitializing = false;
  uintptr_t owner = 0;
  uintptr_t font = 0;       // kept, not used
  std::u16string ini_path;  // provider parameter 2, at most 259 characters
  // Registered key handlers, in registration order.
  std::vector<Sekura32KeyLookupHandler> lookup_handlers;
  std::vector<Sekura32KeyTextHandler> key_text_handlers;
  CpapiPeerValidator validator = nullptr;
  bool key_base_installed = false;
};

ProviderState& provider();

// Writes the formatted text into the caller's buffer, cut and terminated
// (nothing for a null buffer or size 0).
void write_error(char* error, uint32_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

// A library result of 16 or more as the provider's text; false for success
// (nothing written).
bool library_failed(uint32_t result, char* error, uint32_t size);

// Whether the address lies in the code of a loaded module.
bool is_code_address(const void* address);

// A caller's text field read within its size (a field without a NUL is taken
// whole).
template <std::size_t N>
std::string field_text(const char (&field)[N]) {
  std::size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string(field, n);
}

}  // namespace kelda::sekura32_pr
