// CPAPI_* entry points of the library, parameters, memory and contexts.
#include <cstdlib>
#include <cstring>

#include "cipherhub/cpapi.h"
#include "cipherhub/provider_globals.h"
#include "context.h"
#include "dialogs.h"
#include "kit/kit_state.h"
#include "operations.h"
#include "pkcs7tk/pkcs7tk.h"
#include "provider.h"
#include "settings.h"
#include "sigprov/sigprov.h"

using namespace kelda::sigprov;
namespace tk = kelda::pkcs7tk;

namespace {

using Lock = std::lock_guard<std::mutex>;

// At unload (end_toolkit false) the toolkit's objects are left to the
// process: OpenSSL may already have cleaned up at exit.
void uninitialize(bool end_toolkit = true) {
  ProviderState& p = provider();
  kelda::cpapi::UninitializeScope scope(p);
  if (!scope.entered()) return;
  bool was_initialized;
  {
    Lock lock(p.lock);
    was_initialized = p.initialized;
  }
  if (was_initialized) {
    while (end_toolkit && tk::OpenInitCount() > 0) tk::PKCS7Final();
    kelda::kit::kit_uninit();
  }
}

// Runs at unload: the provider lets go of the kit.
struct DetachGuard {
  ~DetachGuard() { uninitialize(false); }
} detach_guard;

}  // namespace

extern "C" {

int32_t CPAPI_InitializeLib(uint16_t language, uint16_t sub_language, uint16_t dialect, uintptr_t owner,
                            int32_t init_mode, uintptr_t, uintptr_t, const char* ini_path, uintptr_t, uintptr_t,
                            uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  try {
    kelda::kit::kit_init(language, sub_language, dialect, owner);
    if (init_mode != 2 || blank(ini_path)) {
      write_text(error, error_size, "Wrong parameters for provider initialization function was set");
      return 0;
    }
    ProviderState& p = provider();
    Lock lock(p.lock);
    p.owner = owner != 0 ? owner : p.owner;
    p.ini_path = absolute_path(ini_path);
    load_settings(p.ini_path, p);
    p.initialized = true;
    return 1;
  } catch (...) {
    write_text(error, error_size, kNoMemory);
    return 0;
  }
}

int32_t CPAPI_UninitializeLib(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  try {
    uninitialize();
    return 1;
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_ConfigCryptoProvider(uintptr_t owner_window, const char* ini_path) {
  try {
    std::string ini;
    uintptr_t owner;
    {
      Lock lock(provider().lock);
      ini = blank(ini_path) ? provider().ini_path : absolute_path(ini_path);
      if (ini.empty()) ini = provider().module_dir + "/" + kDefaultIniName;
      owner = owner_window != 0 ? owner_window : provider().owner;
    }
    return run_config_dialog(owner, ini);
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_GetProviderId(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) { return kProviderId; }
int32_t CPAPI_GetProviderUsageMode(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) { return kUsageMode; }
const char* CPAPI_GetProviderName(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) { return kProviderName; }
int32_t CPAPI_GetProviderVersion(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return kInterfaceVersion;
}

int32_t CPAPI_GetProviderParam(int32_t param_id, uintptr_t* value, uint32_t* value_size, char* error,
                               uint32_t error_size) {
  return kelda::cpapi::get_provider_param(provider(), param_id, value, value_size, error, error_size);
}

int32_t CPAPI_SetProviderParam(int32_t param_id, uintptr_t value, uintptr_t, uintptr_t, char* error,
                               uint32_t error_size) {
  try {
    if (param_id != 2) return kelda::cpapi::set_provider_param(provider(), param_id, value, error, error_size);
    // The settings path comes as 8-bit text.
    const char* text = reinterpret_cast<const char*>(value);
    ProviderState& p = provider();
    Lock lock(p.lock);
    p.ini_path = text != nullptr ? std::string(text, strnlen(text, 259)) : std::string();
    return 1;
  } catch (...) {
    return 0;
  }
}

void* CPAPI_AllocMemory(uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
void* CPAPI_ReallocMemory(void* block, uint32_t size) { return std::realloc(block, size == 0 ? 1 : size); }
int32_t CPAPI_FreeMemory(void* block) {
  std::free(block);
  return 1;
}

CpapiContext* CPAPI_NewCryptoContext(const cp_provider_record* provider_record, int32_t type, uint16_t language,
                                     uint16_t sub_language, uint16_t dialect, uintptr_t, int32_t init_mode,
                                     CpapiParamCallback callback, uintptr_t callback_value, const char* ini_path,
                                     const void* params, uintptr_t, uintptr_t, uintptr_t, char* error,
                                     uint32_t error_size) {
  try {
    return create_context({provider_record, type, language, sub_language, dialect, init_mode, callback, callback_value,
                           ini_path, params},
                          error, error_size);
  } catch (...) {
    write_text(error, error_size, kNoMemory);
    return nullptr;
  }
}

int32_t CPAPI_FreeCryptoContext(CpapiContext* context, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error,
                                uint32_t error_size) {
  if (context == nullptr) return 1;
  if (free_context(context) == 1) return 1;
  write_text(error, error_size, kWrongContext);
  return 0;
}

int32_t CPAPI_SetContextParam(CpapiContext* context, int32_t, uintptr_t, uintptr_t, uintptr_t, char* error,
                              uint32_t error_size) {
  if (context_of(context) != nullptr) return 1;
  write_text(error, error_size, kWrongContext);
  return 0;
}

int32_t CPAPI_GetContextParam(CpapiContext*, int32_t, uintptr_t*, uintptr_t, uintptr_t, char*, uint32_t) { return 0; }

int32_t CPAPI_SignData(CpapiContext* context, const void* data, uint32_t data_length, void** buffer, uint32_t* length,
                       uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  try {
    return sign_data(context, data, data_length, buffer, length, error, error_size);
  } catch (...) {
    write_text(error, error_size, kNoMemory);
    return 0;
  }
}

int32_t CPAPI_IsDataSigned(CpapiContext* context, const void* data, uint32_t data_length, const CpapiSignedData* split,
                           uintptr_t, uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  try {
    return is_data_signed(context, data, data_length, split, error, error_size);
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_CheckData(CpapiContext* context, const void* data, uint32_t data_length, void** content,
                        uint32_t* content_length, CpapiSenderInfo* sender, uintptr_t, uintptr_t, uintptr_t,
                        char* error, uint32_t error_size) {
  try {
    return check_data(context, data, data_length, content, content_length, sender, error, error_size);
  } catch (...) {
    write_text(error, error_size, kNoMemory);
    return 0;
  }
}

int32_t CPAPI_EnCryptData(CpapiContext* context, const void* input, uint32_t length, void** out, uint32_t* out_length,
                          uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  try {
    return crypt_data(true, context, input, length, out, out_length, error, error_size);
  } catch (...) {
    write_text(error, error_size, "CPAPI_EnCryptData call: Memory allocation error");
    return CP_CRYPT_ERROR;
  }
}

int32_t CPAPI_DeCryptData(CpapiContext* context, const void* input, uint32_t length, void** out, uint32_t* out_length,
                          uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  try {
    return crypt_data(false, context, input, length, out, out_length, error, error_size);
  } catch (...) {
    write_text(error, error_size, "CPAPI_DeCryptData call: Memory allocation error");
    return CP_CRYPT_ERROR;
  }
}

int32_t CPAPI_SetKeyHandler(int32_t, CpapiKeyHandler handler, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error,
                            uint32_t error_size) {
  if (handler != nullptr) return 1;
  write_text(error, error_size, "Wrong key handler function address was set");
  return 0;
}

}  // extern "C"
