// CPDAPI_* exports for the settings keys: which provider signs and which
// encrypts, per settings file and as the dispatcher's defaults.
#include "binding.h"
#include "cipherhub/cipherhub.h"
#include "dispatcher.h"
#include "settings_io.h"

namespace kelda::cipherhub {
namespace {

const char* key_of(int32_t cipher, int32_t is_default) {
  if (is_default) return cipher ? "DefaultCipherCryptoProvider" : "DefaultSignCryptoProvider";
  return cipher ? "CipherCryptoProvider" : "SignCryptoProvider";
}

const char* copy_default(const char* remembered, char* name, uint32_t name_size) {
  if (name != nullptr) copy_field(name, name_size, remembered);
  return remembered;
}

}  // namespace
}  // namespace kelda::cipherhub

using namespace kelda::cipherhub;

extern "C" {

int32_t CPDAPI_GetCryptoProviderName(const char* ini_path, char* name, uint32_t name_size,
                                     int32_t cipher, int32_t is_default) {
  try {
    if (name == nullptr || name_size == 0) return 0;
    name[0] = '\0';
    Dispatcher& d = dispatcher();
    std::lock_guard<std::recursive_mutex> lock(d.lock);
    const std::string file = is_default ? d.ini_path : std::string(ini_path ? ini_path : "");
    const std::string found = provider_name_for_key(d, file, key_of(cipher, is_default));
    copy_field(name, name_size, found);
    return found.empty() ? 0 : 1;
  } catch (...) {
    return 0;
  }
}

int32_t CPDAPI_SetCryptoProviderName(const char* ini_path, const char* section_name, int32_t cipher,
                                     int32_t is_default) {
  try {
    Dispatcher& d = dispatcher();
    std::lock_guard<std::recursive_mutex> lock(d.lock);
    const std::string file = is_default ? d.ini_path : std::string(ini_path ? ini_path : "");
    if (file.empty() || section_name == nullptr) return 0;
    return write_ini_string(file, "CryptoProvidersSettings", key_of(cipher, is_default),
                            section_name)
               ? 1
               : 0;
  } catch (...) {
    return 0;
  }
}

const char* CPDAPI_GetDefaultCipherCryptoProvider(char* name, uint32_t name_size) {
  try {
    Dispatcher& d = dispatcher();
    std::lock_guard<std::recursive_mutex> lock(d.lock);
    return copy_default(d.default_cipher, name, name_size);
  } catch (...) {
    return nullptr;
  }
}

const char* CPDAPI_GetDefaultSignCryptoProvider(char* name, uint32_t name_size) {
  try {
    Dispatcher& d = dispatcher();
    std::lock_guard<std::recursive_mutex> lock(d.lock);
    return copy_default(d.default_sign, name, name_size);
  } catch (...) {
    return nullptr;
  }
}

}  // extern "C"
