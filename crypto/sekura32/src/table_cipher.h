// The library's table stream cipher: two 256-byte tables filled from a chain
// of MD5 digests of the key, stepped with two indexes in alternating phases.
// Keys are as peers and stored files use them (the message layer keys it with
// six bytes and two start indexes).
//
// Threading: no shared state; a context belongs to one caller at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelda::sekura32 {

struct TableCipherContext {
  uint8_t a[256];
  uint8_t b[256];
  uint32_t i;  // used modulo 256
  uint32_t j;  // used modulo 256
  uint32_t counter;
  uint32_t phase;  // 0 or 1
};

// Returns 1.
int table_cipher_setup(TableCipherContext& context, const uint8_t* key, std::size_t key_length, uint32_t start_i,
                       uint32_t start_j) noexcept;
uint8_t table_cipher_next(TableCipherContext& context) noexcept;
// XORs the buffer in place with the key stream (both directions); returns 1.
int table_cipher_apply(TableCipherContext& context, uint8_t* buffer, std::size_t length) noexcept;

}  // namespace kelda::sekura32
