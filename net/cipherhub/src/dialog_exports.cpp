// CPDAPI_* exports of the providers dialog: configuring the providers, and
// choosing the cipher or sign provider of a settings file (and the default).
#include "binding.h"
#include "cipherhub/cipherhub.h"
#include "dispatcher.h"
#include "provider_dialogs.h"
#include "settings_io.h"

namespace kelda::cipherhub {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

UsageFilter filter_of(int32_t value) {
  switch (value) {
    case 1: return UsageFilter::sign;
    case 2: return UsageFilter::cipher;
    default: return UsageFilter::all;
  }
}

uintptr_t owner_or_default(uintptr_t owner) {
  if (owner != 0) return owner;
  Dispatcher& d = dispatcher();
  Lock lock(d.lock);
  return d.owner;
}

std::string preselected(const char* name, uint32_t name_size) {
  if (name == nullptr || name_size == 0) return {};
  return std::string(name, strnlen(name, name_size));
}

// The providers dialog for one usage; on a choice, the keys of the settings
// file (and, with `as_default`, the dispatcher's default) name its section.
int32_t select_provider(uintptr_t owner, const char* ini_path, char* name, uint32_t name_size,
                        int32_t as_default, bool cipher) {
  const std::optional<DialogTexts> chosen =
      run_providers_dialog(owner_or_default(owner), preselected(name, name_size),
                           cipher ? UsageFilter::cipher : UsageFilter::sign);
  if (!chosen) return 0;
  // A choice that could not be stored is a failure, not a success.
  bool stored = true;
  if (as_default) {
    Dispatcher& d = dispatcher();
    std::string own_file;
    {
      Lock lock(d.lock);
      char* remembered = cipher ? d.default_cipher : d.default_sign;
      copy_field(remembered, sizeof d.default_cipher, chosen->provider_name);
      own_file = d.ini_path;
    }
    if (!own_file.empty()) {
      stored = write_ini_string(own_file, "CryptoProvidersSettings",
                       cipher ? "DefaultCipherCryptoProvider" : "DefaultSignCryptoProvider",
                       chosen->section);
    }
  }
  if (ini_path != nullptr && ini_path[0] != '\0') {
    stored = write_ini_string(ini_path, "CryptoProvidersSettings",
                              cipher ? "CipherCryptoProvider" : "SignCryptoProvider",
                              chosen->section) &&
             stored;
  }
  if (!stored) return 0;
  if (name != nullptr && name_size > 0) copy_field(name, name_size, chosen->provider_name);
  return 1;
}

}  // namespace
}  // namespace kelda::cipherhub

using namespace kelda::cipherhub;

extern "C" {

int32_t CPDAPI_ConfigCryptoProviders(uintptr_t owner_window, char* name, uint32_t name_size,
                                     int32_t usage_filter) {
  try {
    const std::optional<DialogTexts> chosen = run_providers_dialog(
        owner_or_default(owner_window), preselected(name, name_size), filter_of(usage_filter));
    if (!chosen) return 0;
    if (name != nullptr && name_size > 0) copy_field(name, name_size, chosen->provider_name);
    return 1;
  } catch (...) {
    return 0;
  }
}

int32_t CPDAPI_SelectCipherCryptoProvider(uintptr_t owner_window, const char* ini_path, char* name,
                                          uint32_t name_size, int32_t store_as_default) {
  try {
    return select_provider(owner_window, ini_path, name, name_size, store_as_default, true);
  } catch (...) {
    return 0;
  }
}

int32_t CPDAPI_SelectSignCryptoProvider(uintptr_t owner_window, const char* ini_path, char* name,
                                        uint32_t name_size, int32_t store_as_default) {
  try {
    return select_provider(owner_window, ini_path, name, name_size, store_as_default, false);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
