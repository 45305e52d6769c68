// Binding a provider module: loading it by name, looking up its CPAPI_*
// entry points, and the checks of its version and usage mode.
#pragma once

#include <string>
#include <string_view>

#include "provider_table.h"

namespace kelda::cipherhub {

struct BindRequest {
  std::string_view module_path;  // "X.DLL" (beside anchor's module) or a path
  std::string_view section;      // kept when not empty
  std::string_view ini_file;     // kept when not empty
  const void* anchor = nullptr;  // an address inside the loading module
  const void* locale = nullptr;  // handed to the provider as CP_PARAM_LOCALE
};

// Binds entry (a fresh entry) to the module; on failure the module is
// unloaded, error holds the message (empty for failures without one) and
// the record stays invalid.
bool bind_provider_module(ProviderEntry& entry, const BindRequest& request, std::string& error);

// Marks the record invalid, clears its entry points and initialised flag,
// and unloads the module.
void unbind_provider(ProviderEntry& entry);

// Copies text into a fixed field, cut to its size less one, terminated.
void copy_field(char* field, std::size_t size, std::string_view text);

}  // namespace kelda::cipherhub
