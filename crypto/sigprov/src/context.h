// Crypto contexts: the record the caller holds, the registry of live
// contexts by which every call checks a handle, creation and release.
#pragma once

#include <cstdint>
#include <string>

#include "cipherhub/cpapi.h"
#include "pkcs7tk/pkcs7tk.h"

namespace kelda::sigprov {

struct Context {
  uint32_t tag;  // SIGPROV_CONTEXT_TAG
  int32_t type;  // 1 sign, 2 verify, 5 decrypt, 6 encrypt
  uint16_t language;
  uint16_t sub_language;
  uint16_t dialect;
  pkcs7tk::SignCTX* sign = nullptr;
  pkcs7tk::CipherCTX* cipher = nullptr;
};

// The live context behind a handle, or null (nothing is read through a
// handle that is not live).
Context* context_of(CpapiContext* handle);

struct CreateRequest {
  const cp_provider_record* provider;
  int32_t type;
  uint16_t language, sub_language, dialect;
  int32_t init_mode;
  CpapiParamCallback callback;
  uintptr_t callback_value;
  const char* ini_path;
  const void* params;
};
CpapiContext* create_context(const CreateRequest& request, char* error, uint32_t error_size);
// 1, or 0 for a handle that is not a live context.
int32_t free_context(CpapiContext* handle);

// The expiry check of a certificate file (1251 path).
int32_t check_validity_period(const std::string& cert_file, int32_t warning_days, char* error, uint32_t error_size);

}  // namespace kelda::sigprov
