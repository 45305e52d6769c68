// CPAPI_* entry points of the library: initialisation, constants,
// parameters, memory, contexts and key handlers.
#include <malloc.h>

#include <cstring>

#include "channel.h"
#include "cipherhub/cpapi.h"
#include "cipherhub/provider_globals.h"
#include "context.h"
#include "dialogs.h"
#include "key_handlers.h"
#include "kit/kit_state.h"
#include "provider.h"

using namespace kelda::sekura32_pr;

namespace {

using Lock = std::lock_guard<std::mutex>;

}  // namespace

extern "C" {

int32_t CPAPI_InitializeLib(uint16_t language, uint16_t sub_language, uint16_t dialect, uintptr_t owner, int32_t,
                            uintptr_t, uintptr_t, const char*, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error,
                            uint32_t error_size) {
  kelda::kit::kit_init(language, sub_language, dialect, owner);
  // Without a buffer the provider has nowhere to say what went wrong.
  if (error == nullptr || error_size == 0) return 0;
  SetRealloc(&skRealloc);
  ProviderState& p = provider();
  Lock lock(p.lock);
  if (owner != 0) p.owner = owner;
  p.initialized = true;
  return 1;
}

int32_t CPAPI_UninitializeLib(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  kelda::cpapi::UninitializeScope scope(provider());
  if (!scope.entered()) return 1;
  release_key_handlers();
  kelda::kit::kit_uninit();
  return 1;
}

int32_t CPAPI_ConfigCryptoProvider(uintptr_t owner_window, const char*) {
  try {
    uintptr_t owner = owner_window;
    if (owner == 0) {
      Lock lock(provider().lock);
      owner = provider().owner;
    }
    return run_config_dialog(owner);
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
    // The settings path comes as wide text.
    const auto* text = reinterpret_cast<const char16_t*>(value);
    std::u16string path;
    for (std::size_t n = 0; text != nullptr && n < 259 && text[n] != u'\0'; ++n) path.push_back(text[n]);
    ProviderState& p = provider();
    Lock lock(p.lock);
    p.ini_path = std::move(path);
    return 1;
  } catch (...) {
    write_error(error, error_size, kNoMemory);
    return 0;
  }
}

void* CPAPI_AllocMemory(uint32_t size) { return skMalloc(size); }

// A fresh block of the new size holding what fits of the old one.
void* CPAPI_ReallocMemory(void* block, uint32_t size) {
  const std::size_t old_size = block != nullptr ? malloc_usable_size(block) : 0;
  return skRealloc(block, size == 0 ? 1 : size, old_size);
}

int32_t CPAPI_FreeMemory(void* block) {
  skFree(block);
  return 1;
}

CpapiContext* CPAPI_NewCryptoContext(const cp_provider_record* provider_record, int32_t usage, uint16_t, uint16_t,
                                     uint16_t, uintptr_t owner, int32_t init_mode, CpapiParamCallback callback,
                                     uintptr_t callback_value, const char* ini_path, const void* params, uintptr_t,
                                     uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  try {
    return create_context({provider_record, usage, owner, init_mode, callback, callback_value, ini_path, params},
                          error, error_size);
  } catch (...) {
    write_error(error, error_size, kNoMemory);
    return nullptr;
  }
}

int32_t CPAPI_FreeCryptoContext(CpapiContext* context, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error,
                                uint32_t error_size) {
  if (context == nullptr) return 1;
  if (free_context(context) == 1) return 1;
  write_error(error, error_size, kWrongContext);
  return 0;
}

int32_t CPAPI_SetContextParam(CpapiContext* handle, int32_t param_id, uintptr_t value, uintptr_t, uintptr_t,
                              char* error, uint32_t error_size) {
  Context* context = context_of(handle);
  if (context == nullptr) {
    write_error(error, error_size, kWrongContext);
    return 0;
  }
  if (param_id != CP_CONTEXT_PARAM_PROTECT_FLAGS) {
    write_error(error, error_size, "Incorrect parameter type '%ld' for chiper crypto context was set",
                static_cast<long>(param_id));
    return 0;
  }
  context->protect_flags.store(static_cast<uint32_t>(value));
  return 1;
}

int32_t CPAPI_GetContextParam(CpapiContext*, int32_t, uintptr_t*, uintptr_t, uintptr_t, char*, uint32_t) { return 0; }

int32_t CPAPI_EnCryptData(CpapiContext* context, const void* input, uint32_t length, void** out, uint32_t* out_length,
                          uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  try {
    return encrypt_block(context, input, length, out, out_length, error, error_size);
  } catch (...) {
    write_error(error, error_size, kNoMemory);
    return CP_CRYPT_ERROR;
  }
}

int32_t CPAPI_DeCryptData(CpapiContext* context, const void* input, uint32_t length, void** out, uint32_t* out_length,
                          uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  try {
    return decrypt_block(context, input, length, out, out_length, error, error_size);
  } catch (...) {
    write_error(error, error_size, kNoMemory);
    return CP_CRYPT_ERROR;
  }
}

int32_t CPAPI_HandShake(const cp_provider_record* provider_record, CpapiContext* context, uintptr_t caller_value,
                        const void* input, uint32_t input_length, void** out, uint32_t* out_length, uintptr_t,
                        uintptr_t, uintptr_t validator_value1, uintptr_t validator_value2, char* error,
                        uint32_t error_size) {
  try {
    return handshake_step(provider_record, context, caller_value, input, input_length, out, out_length,
                          validator_value1, validator_value2, error, error_size);
  } catch (...) {
    write_error(error, error_size, kNoMemory);
    return CP_HANDSHAKE_ERROR;
  }
}

int32_t CPAPI_SetKeyHandler(int32_t type, CpapiKeyHandler handler, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                            char* error, uint32_t error_size) {
  try {
    return set_key_handler(type, handler, error, error_size);
  } catch (...) {
    write_error(error, error_size, kNoMemory);
    return 0;
  }
}

}  // extern "C"
