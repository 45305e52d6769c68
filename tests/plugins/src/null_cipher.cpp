// NullCipher: a cipher provider (usage 2) for tests. Its key exchange is
// done at once with nothing to send; encryption and decryption copy the
// bytes. It records every call (probe.h).
//
// Contexts: usage 3 or 4, as a channel cipher takes. Initialisation mode 99
// makes CPAPI_InitializeLib fail, so that tests can see a refused provider.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cipherhub/cpapi.h"
#include "probe_record.h"

using testplugins::record_call;
using testplugins::word;
using testplugins::write_error;

namespace {

constexpr uint32_t kTag = 0x4E554C4C;  // "NULL"

struct NullContext {
  uint32_t tag;
  int32_t usage;
  std::atomic<uintptr_t> protect_flags;
};

uintptr_t g_owner = 0;

NullContext* context_of(CpapiContext* context) {
  auto* c = reinterpret_cast<NullContext*>(context);
  return c != nullptr && c->tag == kTag ? c : nullptr;
}

// Encryption and decryption alike: the bytes copied into the caller-kept
// provider buffer, grown when short.
int32_t copy_out(CpapiContext* context, const void* input, uint32_t length, void** out,
                 uint32_t* out_length, char* error, uint32_t error_size) {
  if (context_of(context) == nullptr) {
    write_error(error, error_size, "Wrong crypto context info");
    return CP_CRYPT_ERROR;
  }
  if (out == nullptr || out_length == nullptr || (input == nullptr && length > 0)) return CP_CRYPT_ERROR;
  if (*out == nullptr || *out_length < length) {
    void* grown = std::realloc(*out, length == 0 ? 1 : length);
    if (grown == nullptr) return CP_CRYPT_ERROR;
    *out = grown;
  }
  if (length > 0) std::memcpy(*out, input, length);
  *out_length = length;
  return CP_CRYPT_DONE;
}

}  // namespace

extern "C" {

TESTPLUGIN_COMMON_ENTRY_POINTS(100, CP_USAGE_CIPHER, "NullCipher")

int32_t CPAPI_InitializeLib(uint16_t language, uint16_t sub_language, uint16_t dialect,
                            uintptr_t owner, int32_t init_mode, uintptr_t value1, uintptr_t value2,
                            const char* ini_path, uintptr_t value3, uintptr_t value4,
                            uintptr_t value5, uintptr_t value6, char* error, uint32_t error_size) {
  record_call("CPAPI_InitializeLib",
              {language, sub_language, dialect, owner, word(init_mode), value1, value2,
               word(ini_path), value3, value4, value5, value6, word(error), error_size},
              ini_path, error);
  if (init_mode == 99) {
    write_error(error, error_size, "Wrong parameters for provider initialization function was set");
    return 0;
  }
  return 1;
}

int32_t CPAPI_GetProviderParam(int32_t param_id, uintptr_t* value, uint32_t* value_size, char* error,
                               uint32_t error_size) {
  record_call("CPAPI_GetProviderParam", {word(param_id), word(value), word(value_size)}, nullptr, error);
  if (param_id == 1 && value != nullptr && value_size != nullptr) {
    *value = g_owner;
    *value_size = sizeof g_owner;
    return 1;
  }
  char text[96];
  std::snprintf(text, sizeof text, "Provider parameter with identifier '%ld' not supported",
                static_cast<long>(param_id));
  write_error(error, error_size, text);
  return 0;
}

int32_t CPAPI_SetProviderParam(int32_t param_id, uintptr_t value, uintptr_t value2, uintptr_t value3,
                               char* error, uint32_t error_size) {
  record_call("CPAPI_SetProviderParam", {word(param_id), value, value2, value3}, nullptr, error);
  switch (param_id) {
    case 1: g_owner = value; return 1;
    case 2:
    case 3: return 1;
    case CP_PARAM_LOCALE: return 0;  // taken note of, kept nowhere
    default: break;
  }
  char text[96];
  std::snprintf(text, sizeof text, "It's impossible to get parameter with identifier '%u'",
                static_cast<unsigned>(param_id));
  write_error(error, error_size, text);
  return 0;
}

int32_t CPAPI_FreeMemory(void* block) {
  record_call("CPAPI_FreeMemory", {word(block)}, nullptr, nullptr);
  std::free(block);
  return 1;
}

CpapiContext* CPAPI_NewCryptoContext(const cp_provider_record* provider, int32_t type_or_usage,
                                     uint16_t language, uint16_t sub_language, uint16_t dialect,
                                     uintptr_t owner, int32_t init_mode, CpapiParamCallback callback,
                                     uintptr_t callback_value, const char* ini_path,
                                     const void* params, uintptr_t value1, uintptr_t value2,
                                     uintptr_t value3, char* error, uint32_t error_size) {
  record_call("CPAPI_NewCryptoContext",
              {word(provider), word(type_or_usage), language, sub_language, dialect, owner,
               word(init_mode), word(callback), callback_value, word(ini_path), word(params),
               value1, value2, value3},
              ini_path, error);
  if (type_or_usage != 3 && type_or_usage != 4) {
    char text[96];
    std::snprintf(text, sizeof text, "Crypto context usage mode '%ld' not supported",
                  static_cast<long>(type_or_usage));
    write_error(error, error_size, text);
    return nullptr;
  }
  auto* context = new NullContext{kTag, type_or_usage, 70};
  return reinterpret_cast<CpapiContext*>(context);
}

int32_t CPAPI_FreeCryptoContext(CpapiContext* context, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                char* error, uint32_t error_size) {
  return testplugins::free_context(context, context_of, error, error_size);
}

int32_t CPAPI_SetContextParam(CpapiContext* context, int32_t param_id, uintptr_t value, uintptr_t,
                              uintptr_t, char* error, uint32_t error_size) {
  record_call("CPAPI_SetContextParam", {word(context), word(param_id), value}, nullptr, error);
  NullContext* c = context_of(context);
  if (c == nullptr || param_id != CP_CONTEXT_PARAM_PROTECT_FLAGS) {
    write_error(error, error_size, c == nullptr ? "Wrong crypto context info"
                                                : "Incorrect parameter type for chiper crypto context");
    return 0;
  }
  c->protect_flags.store(value);
  return 1;
}

int32_t CPAPI_GetContextParam(CpapiContext* context, int32_t param_id, uintptr_t* value, uintptr_t,
                              uintptr_t, char* error, uint32_t) {
  record_call("CPAPI_GetContextParam", {word(context), word(param_id), word(value)}, nullptr, error);
  return 0;
}

int32_t CPAPI_EnCryptData(CpapiContext* context, const void* input, uint32_t length, void** out,
                          uint32_t* out_length, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                          char* error, uint32_t error_size) {
  return copy_out(context, input, length, out, out_length, error, error_size);
}

int32_t CPAPI_DeCryptData(CpapiContext* context, const void* input, uint32_t length, void** out,
                          uint32_t* out_length, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                          char* error, uint32_t error_size) {
  return copy_out(context, input, length, out, out_length, error, error_size);
}

int32_t CPAPI_HandShake(const cp_provider_record* provider, CpapiContext* context,
                        uintptr_t caller_value, const void* input, uint32_t input_length, void** out,
                        uint32_t* out_length, uintptr_t value1, uintptr_t value2,
                        uintptr_t validator_value1, uintptr_t validator_value2, char* error,
                        uint32_t error_size) {
  record_call("CPAPI_HandShake",
              {word(provider), word(context), caller_value, word(input), input_length, word(out),
               word(out_length), value1, value2, validator_value1, validator_value2},
              nullptr, error);
  if (context_of(context) == nullptr) {
    write_error(error, error_size, "Wrong crypto context info");
    return CP_HANDSHAKE_ERROR;
  }
  return CP_HANDSHAKE_DONE;
}

int32_t CPAPI_SetKeyHandler(int32_t type, CpapiKeyHandler handler, uintptr_t user_value,
                            uintptr_t value1, uintptr_t value2, uintptr_t value3, char* error,
                            uint32_t error_size) {
  record_call("CPAPI_SetKeyHandler",
              {word(type), word(handler), user_value, value1, value2, value3}, nullptr, error);
  if (handler == nullptr) {
    write_error(error, error_size, "Wrong key handler function address was set");
    return 0;
  }
  if (type < CP_KEY_HANDLER_LOOKUP || type > CP_KEY_HANDLER_KEY_TEXT) {
    char text[64];
    std::snprintf(text, sizeof text, "Key handler type '%ld' not supported", static_cast<long>(type));
    write_error(error, error_size, text);
    return 0;
  }
  return 1;
}

}  // extern "C"
