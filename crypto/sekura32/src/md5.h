// MD5 (RFC 1321): the streaming digest over the exported context record, a
// one-call buffer digest, and the bare 64-byte block transform that the
// random pool uses as a block cipher.
//
// Threading: no shared state; a context belongs to one caller at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <array>

#include "sekura32/sekura32.h"

namespace kelda::sekura32 {

using Md5Digest = std::array<uint8_t, 16>;

void md5_init(SkMd5Context& context) noexcept;
void md5_update(SkMd5Context& context, const uint8_t* data, std::size_t length) noexcept;
// Writes the digest and clears the context.
void md5_final(uint8_t digest[16], SkMd5Context& context) noexcept;

// MD5 of one buffer; returns 1.
int md5_buffer(const void* data, std::size_t length, uint8_t digest[16]) noexcept;

// One compression step: the four-word state absorbs a 64-byte block.
void md5_transform(uint32_t state[4], const uint8_t block[64]) noexcept;

}  // namespace kelda::sekura32
