// Reading key packets (types 5 secret and 6 public) into user records: the
// public part, the protection byte, and the secret part opened with the
// password digest and checked (checksum, p1 * p2 = n), with d1 and d2
// derived. Also the key fingerprint.
//
// Limits: moduli of 64 to 1280 bits (the arithmetic's limit); any other
// size, and any number that does not fit the record, is refused with 266
// before anything is computed. Fields never run past the packet's length.
// Threading: no state. Errors: the library's codes; on failure the caller
// wipes the record (skBurnUser).
#pragma once

#include <cstdint>

#include "packet.h"
#include "sekura32/sekura32.h"

namespace kelda::sekura32 {

inline constexpr uint32_t kUnsupportedKeyVersion = SK_BAD_KEY_VERSION;  // 265
inline constexpr uint32_t kMinReadKeyBits = 64;

class KeyPacketReader {
 public:
  // Reads the packet header and the public part into `user` (n, e, bits,
  // time, keyId). 266 for a packet that is not a key packet.
  uint32_t read_public(SkStream* stream, UserRecord& user) noexcept;
  bool secret() const noexcept { return type_ == kPacketSecretKey; }
  // Secret packets: reads the protection byte (and a version-3 start block).
  uint32_t read_protection(SkStream* stream, bool* protected_key) noexcept;
  // Reads d, p1, p2 and u (deciphered with the password digest when the key
  // is protected), checks the checksum (21 on a mismatch) and p1 * p2 = n
  // (266), and derives d1 and d2.
  uint32_t open_secret(SkStream* stream, UserRecord& user, const uint8_t password_digest[16]) noexcept;

 private:
  uint32_t type_ = 0;
  uint32_t version_ = 0;
  uint8_t protection_ = 0;
  uint8_t start_[8] = {};
  int32_t remaining_ = 0;
};

// Reads a whole key packet from memory into `user` (wiped first): the public part, and the secret part
// too when `password_digest` is given (null for an unprotected key is fine:
// protected keys then give 21).
uint32_t read_key_packet(const uint8_t* packet, uint32_t length, UserRecord& user,
                         const uint8_t* password_digest, bool open_secret) noexcept;

// MD5 of the password's bytes; an empty text gives zeros.
void password_digest(const char* password, uint8_t digest[16]) noexcept;

}  // namespace kelda::sekura32
