// Providers built from this one source with a different fault each (see the
// CMake file): a version or usage mode the dispatcher refuses, or one of the
// entry points it requires left out. Built without faults and with usage 3
// it is a provider of both kinds that exports every entry point.
//
// PROVIDER_NAME, PROVIDER_ID, PROVIDER_VERSION and PROVIDER_USAGE come from
// the build; OMIT_<ENTRY> leaves that entry point out.
#include <cstdlib>

#include "cipherhub/cpapi.h"

extern "C" {

int32_t CPAPI_InitializeLib(uint16_t, uint16_t, uint16_t, uintptr_t, int32_t, uintptr_t, uintptr_t,
                            const char*, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return 1;
}
int32_t CPAPI_UninitializeLib(uintptr_t, uintptr_t, uintptr_t, uintptr_t) { return 1; }
int32_t CPAPI_ConfigCryptoProvider(uintptr_t, const char*) { return 0; }

#ifndef OMIT_ID
int32_t CPAPI_GetProviderId(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return PROVIDER_ID;
}
#endif
#ifndef OMIT_USAGE
int32_t CPAPI_GetProviderUsageMode(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return PROVIDER_USAGE;
}
#endif
#ifndef OMIT_NAME
const char* CPAPI_GetProviderName(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return PROVIDER_NAME;
}
#endif
#ifndef OMIT_VERSION
int32_t CPAPI_GetProviderVersion(uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return PROVIDER_VERSION;
}
#endif
int32_t CPAPI_GetProviderParam(int32_t, uintptr_t*, uint32_t*, char*, uint32_t) { return 0; }
#ifndef OMIT_SET_PARAM
int32_t CPAPI_SetProviderParam(int32_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) { return 0; }
#endif
void* CPAPI_AllocMemory(uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
void* CPAPI_ReallocMemory(void* block, uint32_t size) { return std::realloc(block, size == 0 ? 1 : size); }
int32_t CPAPI_FreeMemory(void* block) {
  std::free(block);
  return 1;
}
CpapiContext* CPAPI_NewCryptoContext(const cp_provider_record*, int32_t, uint16_t, uint16_t, uint16_t,
                                     uintptr_t, int32_t, CpapiParamCallback, uintptr_t, const char*,
                                     const void*, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return nullptr;
}
int32_t CPAPI_FreeCryptoContext(CpapiContext*, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return 1;
}
int32_t CPAPI_SetContextParam(CpapiContext*, int32_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return 0;
}
int32_t CPAPI_GetContextParam(CpapiContext*, int32_t, uintptr_t*, uintptr_t, uintptr_t, char*, uint32_t) {
  return 0;
}
int32_t CPAPI_SignData(CpapiContext*, const void*, uint32_t, void**, uint32_t*, uintptr_t, uintptr_t,
                       uintptr_t, uintptr_t, char*, uint32_t) {
  return 0;
}
int32_t CPAPI_IsDataSigned(CpapiContext*, const void*, uint32_t, const CpapiSignedData*, uintptr_t,
                           uintptr_t, uintptr_t, char*, uint32_t) {
  return 0;
}
int32_t CPAPI_CheckData(CpapiContext*, const void*, uint32_t, void**, uint32_t*, CpapiSenderInfo*,
                        uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return 0;
}
int32_t CPAPI_Random(void*, uint32_t, char*, uint32_t) { return 1; }
int32_t CPAPI_EnCryptData(CpapiContext*, const void*, uint32_t, void**, uint32_t*, uintptr_t,
                          uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return CP_CRYPT_ERROR;
}
int32_t CPAPI_DeCryptData(CpapiContext*, const void*, uint32_t, void**, uint32_t*, uintptr_t,
                          uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return CP_CRYPT_ERROR;
}
int32_t CPAPI_HandShake(const cp_provider_record*, CpapiContext*, uintptr_t, const void*, uint32_t,
                        void**, uint32_t*, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t) {
  return CP_HANDSHAKE_ERROR;
}
int32_t CPAPI_SetKeyHandler(int32_t, CpapiKeyHandler, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                            char*, uint32_t) {
  return 0;
}

}  // extern "C"
