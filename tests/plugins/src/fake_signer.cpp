// FakeSigner: a signing provider (usage 1) for tests. A signature is the
// text "|signed" appended to the data. It exports the encryption pair and a
// key-handler setter as a signing provider may, which the dispatcher must
// not bind; it has no parameter getter. It records every call (probe.h).
// Signing the text "HOLD" waits inside the provider until the test releases
// it (FakeSigner_WaitHeld, FakeSigner_Release), so that a test can act while
// a call runs.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "cipherhub/cpapi.h"
#include "probe_record.h"

using testplugins::record_call;
using testplugins::word;
using testplugins::write_error;

namespace {

constexpr uint32_t kTag = 0x5349474E;  // "SIGN"
constexpr char kSignature[] = "|signed";
constexpr uint32_t kSignatureLength = sizeof kSignature - 1;

struct SignContext {
  uint32_t tag;
  int32_t type;
};

SignContext* context_of(CpapiContext* context) {
  auto* c = reinterpret_cast<SignContext*>(context);
  return c != nullptr && c->tag == kTag ? c : nullptr;
}

bool is_signed(const void* data, uint32_t length) {
  return data != nullptr && length >= kSignatureLength &&
         std::memcmp(static_cast<const char*>(data) + length - kSignatureLength, kSignature,
                     kSignatureLength) == 0;
}

// Copies bytes into a caller-kept provider buffer, growing it when short.
bool put(void** buffer, uint32_t* length, const void* first, uint32_t first_length,
         const void* second, uint32_t second_length) {
  const uint32_t total = first_length + second_length;
  if (*buffer == nullptr || *length < total) {
    void* grown = std::realloc(*buffer, total == 0 ? 1 : total);
    if (grown == nullptr) return false;
    *buffer = grown;
  }
  if (first_length > 0) std::memcpy(*buffer, first, first_length);
  if (second_length > 0) std::memcpy(static_cast<char*>(*buffer) + first_length, second, second_length);
  *length = total;
  return true;
}

struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  bool held = false;
  bool released = false;
};
Gate& gate() {
  static Gate g;
  return g;
}

void hold_if_asked(const void* data, uint32_t length) {
  if (data == nullptr || length != 4 || std::memcmp(data, "HOLD", 4) != 0) return;
  Gate& g = gate();
  std::unique_lock<std::mutex> lock(g.mutex);
  g.held = true;
  g.cv.notify_all();
  g.cv.wait(lock, [&] { return g.released; });
  g.held = false;
  g.released = false;
}

}  // namespace

extern "C" {

// Waits until a signing call is held; 1, or 0 after five seconds.
KELDA_EXPORT int32_t FakeSigner_WaitHeld() {
  Gate& g = gate();
  std::unique_lock<std::mutex> lock(g.mutex);
  return g.cv.wait_for(lock, std::chrono::seconds(5), [&] { return g.held; }) ? 1 : 0;
}

// Lets the held signing call go on.
KELDA_EXPORT void FakeSigner_Release() {
  Gate& g = gate();
  std::lock_guard<std::mutex> lock(g.mutex);
  g.released = true;
  g.cv.notify_all();
}

TESTPLUGIN_COMMON_ENTRY_POINTS(40, CP_USAGE_SIGN, "FakeSigner")

int32_t CPAPI_InitializeLib(uint16_t language, uint16_t sub_language, uint16_t dialect,
                            uintptr_t owner, int32_t init_mode, uintptr_t value1, uintptr_t value2,
                            const char* ini_path, uintptr_t value3, uintptr_t value4,
                            uintptr_t value5, uintptr_t value6, char* error, uint32_t) {
  record_call("CPAPI_InitializeLib",
              {language, sub_language, dialect, owner, word(init_mode), value1, value2,
               word(ini_path), value3, value4, value5, value6},
              ini_path, error);
  return 1;
}

int32_t CPAPI_ConfigCryptoProvider(uintptr_t owner_window, const char* ini_path) {
  record_call("CPAPI_ConfigCryptoProvider", {owner_window, word(ini_path)}, ini_path, nullptr);
  return 1;
}

int32_t CPAPI_SetProviderParam(int32_t param_id, uintptr_t value, uintptr_t value2, uintptr_t value3,
                               char* error, uint32_t) {
  record_call("CPAPI_SetProviderParam", {word(param_id), value, value2, value3}, nullptr, error);
  return param_id == CP_PARAM_LOCALE ? 0 : 1;
}

int32_t CPAPI_FreeMemory(void* block) {
  std::free(block);
  return 1;
}

CpapiContext* CPAPI_NewCryptoContext(const cp_provider_record* provider, int32_t type_or_usage,
                                     uint16_t, uint16_t, uint16_t, uintptr_t, int32_t init_mode,
                                     CpapiParamCallback, uintptr_t, const char* ini_path,
                                     const void*, uintptr_t, uintptr_t, uintptr_t, char* error,
                                     uint32_t) {
  record_call("CPAPI_NewCryptoContext", {word(provider), word(type_or_usage), word(init_mode)},
              ini_path, error);
  if (type_or_usage != 1 && type_or_usage != 2) return nullptr;
  return reinterpret_cast<CpapiContext*>(new SignContext{kTag, type_or_usage});
}

int32_t CPAPI_FreeCryptoContext(CpapiContext* context, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                char* error, uint32_t error_size) {
  return testplugins::free_context(context, context_of, error, error_size);
}

int32_t CPAPI_SetContextParam(CpapiContext* context, int32_t, uintptr_t, uintptr_t, uintptr_t,
                              char* error, uint32_t error_size) {
  if (context_of(context) == nullptr) {
    write_error(error, error_size, "Wrong crypto context info");
    return 0;
  }
  return 1;
}

int32_t CPAPI_GetContextParam(CpapiContext*, int32_t, uintptr_t*, uintptr_t, uintptr_t, char*, uint32_t) {
  return 0;
}

int32_t CPAPI_SignData(CpapiContext* context, const void* data, uint32_t data_length, void** buffer,
                       uint32_t* length, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error,
                       uint32_t error_size) {
  record_call("CPAPI_SignData", {word(context), word(data), data_length}, nullptr, error);
  hold_if_asked(data, data_length);
  SignContext* c = context_of(context);
  if (c == nullptr || c->type != 1) {
    write_error(error, error_size, "Wrong input data - can not use context for digital signature generation");
    return 0;
  }
  if (buffer == nullptr || length == nullptr ||
      !put(buffer, length, data, data_length, kSignature, kSignatureLength)) {
    write_error(error, error_size, "Memory allocation error");
    return 0;
  }
  return 1;
}

int32_t CPAPI_IsDataSigned(CpapiContext* context, const void* data, uint32_t data_length,
                           const CpapiSignedData* split, uintptr_t, uintptr_t, uintptr_t,
                           char* error, uint32_t) {
  record_call("CPAPI_IsDataSigned", {word(context), word(data), data_length, word(split)}, nullptr, error);
  return is_signed(data, data_length) ? 1 : 0;
}

int32_t CPAPI_CheckData(CpapiContext* context, const void* data, uint32_t data_length, void** content,
                        uint32_t* content_length, CpapiSenderInfo* sender, uintptr_t, uintptr_t,
                        uintptr_t, char* error, uint32_t error_size) {
  record_call("CPAPI_CheckData", {word(context), word(data), data_length, word(sender)}, nullptr, error);
  if (!is_signed(data, data_length)) {
    write_error(error, error_size, "Input data not contain digital_signature");
    return 0;
  }
  if (content == nullptr || content_length == nullptr ||
      !put(content, content_length, data, data_length - kSignatureLength, nullptr, 0)) {
    write_error(error, error_size, "Memory allocation error");
    return 0;
  }
  return 1;
}

// Exported, never bound for a signing provider.
int32_t CPAPI_EnCryptData(CpapiContext*, const void*, uint32_t, void**, uint32_t*, uintptr_t,
                          uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  std::abort();
}

int32_t CPAPI_DeCryptData(CpapiContext*, const void*, uint32_t, void**, uint32_t*, uintptr_t,
                          uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  std::abort();
}

int32_t CPAPI_SetKeyHandler(int32_t, CpapiKeyHandler, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                            char*, uint32_t) {
  std::abort();
}

}  // extern "C"
