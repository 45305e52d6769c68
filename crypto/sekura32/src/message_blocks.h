// The RSA blocks inside protected messages: the signature block (PKCS #1
// v1.5 block type 1 with the MD5 DigestInfo, through the signer's secret
// operation) and the session-key block (block type 2 with the key and its
// byte sum, through the recipient's public operation), made and opened.
//
// Small keys fail where the block is made, never at the peer: a modulus that
// cannot hold a signature block and is not above the digest (or a digest
// whose first byte is 0, which the checker could not read back at its full
// length), or one that cannot carry the whole session key, gives 272. Opening checks every length
// before it reads: a signature block of neither 16 nor at least 37 bytes, or
// a session key of 0 or more than 16 bytes, is refused.
//
// Threading: no state; every intermediate block is wiped.
#pragma once

#include <cstdint>

#include "rsa.h"
#include "sekura32/sekura32.h"

namespace kelda::sekura32 {

inline constexpr uint32_t kSignatureMismatch = 20;
inline constexpr uint32_t kMaxBlock = 160;  // 1280 bits
inline constexpr uint32_t kMaxSessionKey = 16;

// A view of a user record's key (secret parts empty when absent).
RsaKey rsa_key_of(const UserRecord& user) noexcept;

// Signs a 16-byte MD5 digest: *count receives the signature's byte count in
// `block` (room for kMaxBlock bytes).
uint32_t make_signature_block(const RsaKey& signer, const uint8_t digest[16], uint8_t block[kMaxBlock],
                              uint32_t* count) noexcept;
// 0 when the signature (count bytes) carries `digest` and its first two bytes
// equal `check`; 20 when it does not; other codes for bad input.
uint32_t check_signature_block(const RsaKey& signer, const uint8_t* signature, uint32_t count,
                               const uint8_t digest[16], const uint8_t check[2]) noexcept;

// Carries `key` (1..16 bytes) for the recipient: random non-zero padding from
// the thread's random pool.
uint32_t make_session_key_block(const RsaKey& recipient, const uint8_t* key, uint32_t key_length,
                                uint8_t block[kMaxBlock], uint32_t* count) noexcept;
// Opens a session-key block with the recipient's secret key: the key (1..16
// bytes, its byte sum checked) into `key`, its length into *key_length.
uint32_t open_session_key_block(const RsaKey& recipient, const uint8_t* block, uint32_t count,
                                uint8_t key[kMaxSessionKey], uint32_t* key_length) noexcept;

}  // namespace kelda::sekura32
