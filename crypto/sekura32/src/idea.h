// IDEA in 64-bit cipher-feedback mode with the resynchronisation step.
//
// Only the encryption direction of the block cipher is needed: cipher
// feedback enciphers the feedback register for both directions. The context
// record keeps the field order that the library's own records embed.
//
// Threading: no shared state; a context serves one direction of one stream
// and one caller at a time. The owner wipes it (idea_cfb_wipe).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelda::sekura32 {

struct IdeaCfbContext {
  uint8_t previous[8];   // the register just before it was last enciphered
  uint8_t register_[8];  // the feedback register
  uint16_t subkeys[52];  // encryption subkeys
  uint32_t unused;       // bytes at the end of the register not yet used (0..8)
};

// Expands a 16-byte key; zeroes the register and the unused count.
void idea_cfb_key(IdeaCfbContext& context, const uint8_t key[16]) noexcept;
// Any length, in place when source == destination; a partial block carries
// over to the next call.
void idea_cfb_encrypt(IdeaCfbContext& context, const uint8_t* source, uint8_t* destination,
                      std::size_t length) noexcept;
void idea_cfb_decrypt(IdeaCfbContext& context, const uint8_t* source, uint8_t* destination,
                      std::size_t length) noexcept;
// Makes the last 8 ciphertext bytes the register and the unused count 0.
void idea_cfb_resync(IdeaCfbContext& context) noexcept;
void idea_cfb_wipe(IdeaCfbContext& context) noexcept;

// The bare block cipher (encryption) on one 8-byte block, in place.
void idea_encrypt_block(const uint16_t subkeys[52], uint8_t block[8]) noexcept;

}  // namespace kelda::sekura32
