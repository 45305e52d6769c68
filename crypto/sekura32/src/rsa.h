// The RSA public and secret operations on big-endian byte blocks, over the
// library's multiprecision words. The secret operation goes through the
// Chinese remainder theorem.
//
// Limits: moduli up to 1280 bits (mp::kMaxBits); a key with a longer modulus
// is refused with SK_KEY_TOO_LARGE and nothing is computed.
// Results: 0; SK_BAD_ARGUMENT (272) for a block that does not fit or a result
// longer than the capacity, or an arithmetic failure; SK_BAD_HANDLE (262)
// for a secret operation on a key without its secret parts.
// Threading: no state; every intermediate number is wiped before return.
#pragma once

#include <cstdint>

#include "mp.h"
#include "sekura32/sekura32.h"

namespace kelda::sekura32 {

// A view of an RSA key's components; each number with its own length. The
// secret parts are empty spans for a public key.
struct RsaKey {
  mp::ConstNumber n, e;
  mp::ConstNumber d, p1, p2, u, d1, d2;
  uint32_t bits = 0;  // bit length of the modulus
};

// The block (count bytes, most significant first, in a buffer of `capacity`
// bytes) is replaced by its image; count becomes the image's minimal byte
// count and *bits_out (when given) its bit length.
uint32_t rsa_public(uint8_t* block, uint32_t* count, uint32_t capacity, uint32_t* bits_out, const RsaKey& key) noexcept;
uint32_t rsa_secret(uint8_t* block, uint32_t* count, uint32_t capacity, uint32_t* bits_out, const RsaKey& key) noexcept;

}  // namespace kelda::sekura32
