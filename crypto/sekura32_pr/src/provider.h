// The provider's process-wide state (the globals every provider keeps, the
// settings path and the key handlers) and the helpers every entry point uses:
// error texts, library results, code addresses and caller texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cipherhub/provider_globals.h"
#include "sekura32_pr/sekura32_pr.h"

namespace kelda::sekura32_pr {

inline constexpr char kProviderName[] = "Sekura32";
inline constexpr int32_t kProviderId = SEKURA32_PR_PROVIDER_ID;
inline constexpr int32_t kInterfaceVersion = 1;
inline constexpr int32_t kUsageMode = 2;

// The dialog font (parameter 3) is kept and not used.
struct ProviderState : cpapi::ProviderGlobals {
  std::u16string ini_path;  // provider parameter 2, at most 259 characters
  // Registered key handlers, in registration order.
  std::vector<Sekura32KeyLookupHandler> lookup_handlers;
  std::vector<Sekura32KeyTextHandler> key_text_handlers;
  CpapiPeerValidator validator = nullptr;
  bool key_base_installed = false;
};

ProviderState& provider();

using cpapi::kNoMemory;
using cpapi::kWrongContext;
using cpapi::write_error;

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
