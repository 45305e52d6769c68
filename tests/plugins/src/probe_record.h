// Recording the calls a test plug-in receives (probe.h), and writing its
// error texts.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <type_traits>

#include "cipherhub/cpapi.h"
#include "testplugins/probe.h"

namespace testplugins {

template <typename T>
uintptr_t word(T value) {
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<uintptr_t>(value);
  } else {
    return static_cast<uintptr_t>(value);
  }
}

// Records one call; text is copied when not null, error is the call's error
// buffer (to see whether the caller cleared it).
void record_call(const char* entry, std::initializer_list<uintptr_t> args, const char* text,
                 const char* error);

void write_error(char* error, uint32_t size, const char* text);

// CPAPI_FreeCryptoContext of a plug-in whose contexts are Context records
// (heap, tagged; context_of gives null for a foreign or freed one): recorded,
// a null context is success, a foreign one is refused with a message.
template <typename Context>
int32_t free_context(CpapiContext* context, Context* (*context_of)(CpapiContext*), char* error,
                     uint32_t error_size) {
  record_call("CPAPI_FreeCryptoContext", {word(context)}, nullptr, error);
  if (context == nullptr) return 1;
  Context* c = context_of(context);
  if (c == nullptr) {
    write_error(error, error_size, "Wrong crypto context info");
    return 0;
  }
  c->tag = 0;
  delete c;
  return 1;
}

}  // namespace testplugins

// The entry points every test plug-in answers alike: the four the dispatcher
// calls at binding (every argument zero), the recorded uninitialisation, and
// allocation from the C heap. Used inside extern "C".
#define TESTPLUGIN_COMMON_ENTRY_POINTS(id, usage, name)                                          \
  int32_t CPAPI_GetProviderId(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {     \
    return id;                                                                                   \
  }                                                                                              \
  int32_t CPAPI_GetProviderUsageMode(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*,          \
                                     uint32_t) {                                                 \
    return usage;                                                                                \
  }                                                                                              \
  const char* CPAPI_GetProviderName(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*,           \
                                    uint32_t) {                                                  \
    return name;                                                                                 \
  }                                                                                              \
  int32_t CPAPI_GetProviderVersion(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) { \
    return CP_PROTOCOL_VERSION;                                                                  \
  }                                                                                              \
  int32_t CPAPI_UninitializeLib(uintptr_t value1, uintptr_t value2, uintptr_t value3,            \
                                uintptr_t value4) {                                              \
    testplugins::record_call("CPAPI_UninitializeLib", {value1, value2, value3, value4}, nullptr, \
                             nullptr);                                                           \
    return 1;                                                                                    \
  }                                                                                              \
  void* CPAPI_AllocMemory(uint32_t size) { return std::malloc(size == 0 ? 1 : size); }           \
  void* CPAPI_ReallocMemory(void* block, uint32_t size) {                                        \
    return std::realloc(block, size == 0 ? 1 : size);                                            \
  }
