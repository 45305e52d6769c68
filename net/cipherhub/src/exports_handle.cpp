// CPDAPI_* exports by provider handle: the provider's entry point with the
// arguments unchanged. Each clears the caller's error buffer first, checks
// the handle's valid mark and the entry point, and answers a bad handle
// itself. No lock: these run on the transport's threads at once; each is
// counted as a call by handle (CallByHandle) from before its check until the
// provider returns, so that no module is unloaded under it.
#include "cipherhub/cipherhub.h"
#include "dispatcher.h"

namespace kelda::cipherhub {
namespace {

// The bound entry point, or null for a bad handle or a missing entry point.
template <typename Fn>
Fn* entry_point(const cp_provider_record* provider, Fn* cp_provider_entry_points::*slot, char* error,
                uint32_t error_size) {
  ErrorText(error, error_size).clear();
  if (!record_valid(provider)) return nullptr;
  return provider->entry.*slot;
}

// The entry point in slot called with args and the error buffer, or
// `invalid` for a bad handle or a missing entry point.
template <typename Fn, typename R, typename... Args>
R forward(const cp_provider_record* provider, Fn* cp_provider_entry_points::*slot, R invalid,
          char* error, uint32_t error_size, Args... args) {
  CallByHandle call;
  Fn* fn = entry_point(provider, slot, error, error_size);
  return fn != nullptr ? fn(args..., error, error_size) : invalid;
}

// Opened and freed contexts count against removing their provider.
void count_context(const cp_provider_record* provider, int delta) noexcept {
  try {
    Dispatcher& d = dispatcher();
    std::lock_guard<std::recursive_mutex> lock(d.lock);
    ProviderEntry* entry = d.table.find_by_record(provider);
    if (entry == nullptr) return;
    if (delta > 0) {
      ++entry->open_contexts;
    } else if (entry->open_contexts > 0) {
      --entry->open_contexts;
    }
  } catch (...) {
  }
}

}  // namespace
}  // namespace kelda::cipherhub

using namespace kelda::cipherhub;
using EP = cp_provider_entry_points;

extern "C" {

CpapiContext* CPDAPI_NewCryptoContext(cp_provider_record* provider, int32_t type_or_usage,
                                      uint16_t language, uint16_t sub_language, uint16_t dialect,
                                      uintptr_t owner, int32_t init_mode, CpapiParamCallback callback,
                                      uintptr_t callback_value, const char* ini_path,
                                      const void* params, uintptr_t value1, uintptr_t value2,
                                      uintptr_t value3, char* error, uint32_t error_size) {
  CpapiContext* context = nullptr;
  {
    CallByHandle call;
    auto* fn = entry_point(provider, &EP::new_crypto_context, error, error_size);
    if (fn == nullptr) return nullptr;
    const char* ini = ini_path != nullptr && ini_path[0] != '\0' ? ini_path : provider->ini_file;
    context = fn(provider, type_or_usage, language, sub_language, dialect, owner, init_mode, callback,
                 callback_value, ini, params, value1, value2, value3, error, error_size);
  }
  if (context != nullptr) count_context(provider, +1);
  return context;
}

int32_t CPDAPI_FreeCryptoContext(cp_provider_record* provider, CpapiContext* context,
                                 uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                 uintptr_t value4, char* error, uint32_t error_size) {
  int32_t result = 0;
  {
    CallByHandle call;
    auto* fn = entry_point(provider, &EP::free_crypto_context, error, error_size);
    if (fn == nullptr) return 0;
    if (context == nullptr) return 1;
    result = fn(context, value1, value2, value3, value4, error, error_size);
  }
  if (result == 1) count_context(provider, -1);
  return result;
}

int32_t CPDAPI_SignData(cp_provider_record* provider, CpapiContext* context, const void* data,
                        uint32_t data_length, void** buffer, uint32_t* length, uintptr_t value1,
                        uintptr_t value2, uintptr_t value3, uintptr_t value4, char* error,
                        uint32_t error_size) {
  return forward(provider, &EP::sign_data, 0, error, error_size, context, data, data_length, buffer,
                 length, value1, value2, value3, value4);
}

int32_t CPDAPI_IsDataSigned(cp_provider_record* provider, CpapiContext* context, const void* data,
                            uint32_t data_length, const CpapiSignedData* split, uintptr_t value1,
                            uintptr_t value2, uintptr_t value3, char* error, uint32_t error_size) {
  return forward(provider, &EP::is_data_signed, 0, error, error_size, context, data, data_length, split,
                 value1, value2, value3);
}

int32_t CPDAPI_CheckData(cp_provider_record* provider, CpapiContext* context, const void* data,
                         uint32_t data_length, void** content, uint32_t* content_length,
                         CpapiSenderInfo* sender, uintptr_t value1, uintptr_t value2,
                         uintptr_t value3, char* error, uint32_t error_size) {
  return forward(provider, &EP::check_data, 0, error, error_size, context, data, data_length, content,
                 content_length, sender, value1, value2, value3);
}

int32_t CPDAPI_Random(cp_provider_record* provider, void* buffer, uint32_t length, char* error,
                      uint32_t error_size) {
  return forward(provider, &EP::random, 0, error, error_size, buffer, length);
}

int32_t CPDAPI_EnCryptData(cp_provider_record* provider, CpapiContext* context, const void* input,
                           uint32_t length, void** out, uint32_t* out_length, uintptr_t value1,
                           uintptr_t value2, uintptr_t value3, uintptr_t value4, char* error,
                           uint32_t error_size) {
  return forward(provider, &EP::encrypt_data, CP_CRYPT_ERROR, error, error_size, context, input,
                 length, out, out_length, value1, value2, value3, value4);
}

int32_t CPDAPI_DeCryptData(cp_provider_record* provider, CpapiContext* context, const void* input,
                           uint32_t length, void** out, uint32_t* out_length, uintptr_t value1,
                           uintptr_t value2, uintptr_t value3, uintptr_t value4, char* error,
                           uint32_t error_size) {
  return forward(provider, &EP::decrypt_data, CP_CRYPT_ERROR, error, error_size, context, input,
                 length, out, out_length, value1, value2, value3, value4);
}

int32_t CPDAPI_HandShake(cp_provider_record* provider, CpapiContext* context, uintptr_t caller_value,
                         const void* input, uint32_t input_length, void** out, uint32_t* out_length,
                         uintptr_t value1, uintptr_t value2, uintptr_t validator_value1,
                         uintptr_t validator_value2, char* error, uint32_t error_size) {
  // The provider gets its handle back first.
  return forward(provider, &EP::hand_shake, CP_HANDSHAKE_ERROR, error, error_size, provider, context,
                 caller_value, input, input_length, out, out_length, value1, value2,
                 validator_value1, validator_value2);
}

int32_t CPDAPI_SetKeyHandler(cp_provider_record* provider, int32_t type, CpapiKeyHandler handler,
                             uintptr_t user_value, uintptr_t value1, uintptr_t value2,
                             uintptr_t value3, char* error, uint32_t error_size) {
  return forward(provider, &EP::set_key_handler, 0, error, error_size, type, handler, user_value,
                 value1, value2, value3);
}

int32_t CPDAPI_SetContextParam(cp_provider_record* provider, CpapiContext* context, int32_t param_id,
                               uintptr_t value, uintptr_t value2, uintptr_t value3, char* error,
                               uint32_t error_size) {
  return forward(provider, &EP::set_context_param, 0, error, error_size, context, param_id, value,
                 value2, value3);
}

int32_t CPDAPI_GetContextParam(cp_provider_record* provider, CpapiContext* context, int32_t param_id,
                               uintptr_t* value, uintptr_t value2, uintptr_t value3, char* error,
                               uint32_t error_size) {
  return forward(provider, &EP::get_context_param, -1, error, error_size, context, param_id, value,
                 value2, value3);
}

int32_t CPDAPI_SetProviderParamByHandle(cp_provider_record* provider, int32_t param_id,
                                        uintptr_t value, uintptr_t value2, uintptr_t value3,
                                        char* error, uint32_t error_size) {
  return forward(provider, &EP::set_provider_param, 0, error, error_size, param_id, value, value2,
                 value3);
}

int32_t CPDAPI_GetProviderParamByHandle(cp_provider_record* provider, int32_t param_id,
                                        uintptr_t* value, uint32_t* value_size, char* error,
                                        uint32_t error_size) {
  return forward(provider, &EP::get_provider_param, 0, error, error_size, param_id, value,
                 value_size);
}

void* CPDAPI_AllocMemory(cp_provider_record* provider, uint32_t size) {
  CallByHandle call;
  auto* fn = entry_point(provider, &EP::alloc_memory, nullptr, 0);
  return fn ? fn(size) : nullptr;
}

void* CPDAPI_ReallocMemory(cp_provider_record* provider, void* block, uint32_t size) {
  CallByHandle call;
  auto* fn = entry_point(provider, &EP::realloc_memory, nullptr, 0);
  return fn ? fn(block, size) : nullptr;
}

void CPDAPI_FreeMemory(cp_provider_record* provider, void* block) {
  if (block == nullptr) return;
  CallByHandle call;
  auto* fn = entry_point(provider, &EP::free_memory, nullptr, 0);
  if (fn != nullptr) fn(block);
}

}  // extern "C"
