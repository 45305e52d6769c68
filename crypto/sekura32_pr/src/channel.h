// The channel of a context: one step of the key exchange per block, and the
// protection of each data block in either direction.
#pragma once

#include <cstdint>

#include "cipherhub/cpapi.h"

namespace kelda::sekura32_pr {

// CP_HANDSHAKE_* flags (1 with the text written).
int32_t handshake_step(const cp_provider_record* provider, CpapiContext* handle, uintptr_t caller_value,
                       const void* input, uint32_t input_length, void** out, uint32_t* out_length,
                       uintptr_t validator_value1, uintptr_t validator_value2, char* error, uint32_t error_size);

// CP_CRYPT_DONE with the output in *out, or CP_CRYPT_ERROR with the text.
int32_t encrypt_block(CpapiContext* handle, const void* input, uint32_t length, void** out, uint32_t* out_length,
                      char* error, uint32_t error_size);
int32_t decrypt_block(CpapiContext* handle, const void* input, uint32_t length, void** out, uint32_t* out_length,
                      char* error, uint32_t error_size);

}  // namespace kelda::sekura32_pr
