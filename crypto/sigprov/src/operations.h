// Signing, recognising, checking, encrypting and decrypting with a context.
#pragma once

#include <cstdint>

#include "cipherhub/cpapi.h"

namespace kelda::sigprov {

int32_t sign_data(CpapiContext* handle, const void* data, uint32_t length, void** buffer, uint32_t* capacity,
                  char* error, uint32_t size);
int32_t is_data_signed(CpapiContext* handle, const void* data, uint32_t length, const CpapiSignedData* descriptor,
                       char* error, uint32_t size);
int32_t check_data(CpapiContext* handle, const void* data, uint32_t length, void** content, uint32_t* capacity,
                   CpapiSenderInfo* sender, char* error, uint32_t size);
int32_t crypt_data(bool encrypt, CpapiContext* handle, const void* input, uint32_t length, void** out,
                   uint32_t* out_length, char* error, uint32_t size);

}  // namespace kelda::sigprov
