// IDEA: 8 rounds and an output transformation over four 16-bit words, with
// multiplication modulo 65537 in which 0 stands for 65536.
#include "idea.h"

#include <cstring>

#include "frame.h"

namespace kelda::sekura32 {
namespace {

// a * b mod 65537 with 0 standing for 65536.
inline uint16_t mul(uint32_t a, uint32_t b) noexcept {
  if (a == 0) return uint16_t(65537 - b);
  if (b == 0) return uint16_t(65537 - a);
  uint32_t p = a * b;
  uint32_t lo = p & 0xFFFF;
  uint32_t hi = p >> 16;
  return uint16_t(lo - hi + (lo < hi ? 1 : 0));
}

void expand_key(uint16_t subkeys[52], const uint8_t key[16]) noexcept {
  for (int i = 0; i < 8; ++i) subkeys[i] = uint16_t(key[2 * i] << 8 | key[2 * i + 1]);
  // Each further group of eight is the 128-bit key rotated left by 25 bits:
  // word i of a group takes 9 bits of word i+1 and 7 bits of word i+2 of the
  // group before (indexes wrap within the group).
  for (int i = 8; i < 52; ++i) {
    int group = (i / 8 - 1) * 8;
    int j = i % 8;
    subkeys[i] = uint16_t(subkeys[group + (j + 1) % 8] << 9 | subkeys[group + (j + 2) % 8] >> 7);
  }
}

// Enciphers the register into the previous register first, then in place.
inline void advance(IdeaCfbContext& c) noexcept {
  std::memcpy(c.previous, c.register_, 8);
  idea_encrypt_block(c.subkeys, c.register_);
}

}  // namespace

void idea_encrypt_block(const uint16_t k[52], uint8_t block[8]) noexcept {
  uint32_t x1 = uint32_t(block[0] << 8 | block[1]);
  uint32_t x2 = uint32_t(block[2] << 8 | block[3]);
  uint32_t x3 = uint32_t(block[4] << 8 | block[5]);
  uint32_t x4 = uint32_t(block[6] << 8 | block[7]);
  for (int round = 0; round < 8; ++round, k += 6) {
    x1 = mul(x1, k[0]);
    x2 = (x2 + k[1]) & 0xFFFF;
    x3 = (x3 + k[2]) & 0xFFFF;
    x4 = mul(x4, k[3]);
    uint32_t t0 = mul(x1 ^ x3, k[4]);
    uint32_t t1 = mul((t0 + (x2 ^ x4)) & 0xFFFF, k[5]);
    t0 = (t0 + t1) & 0xFFFF;
    x1 ^= t1;
    x4 ^= t0;
    uint32_t middle = x2 ^ t0;
    x2 = x3 ^ t1;
    x3 = middle;
  }
  // Output transformation (the last round's swap of the middle words undone).
  uint32_t y1 = mul(x1, k[0]);
  uint32_t y2 = (x3 + k[1]) & 0xFFFF;
  uint32_t y3 = (x2 + k[2]) & 0xFFFF;
  uint32_t y4 = mul(x4, k[3]);
  block[0] = uint8_t(y1 >> 8);
  block[1] = uint8_t(y1);
  block[2] = uint8_t(y2 >> 8);
  block[3] = uint8_t(y2);
  block[4] = uint8_t(y3 >> 8);
  block[5] = uint8_t(y3);
  block[6] = uint8_t(y4 >> 8);
  block[7] = uint8_t(y4);
}

void idea_cfb_key(IdeaCfbContext& context, const uint8_t key[16]) noexcept {
  expand_key(context.subkeys, key);
  std::memset(context.register_, 0, 8);
  context.unused = 0;
}

void idea_cfb_encrypt(IdeaCfbContext& c, const uint8_t* src, uint8_t* dst, std::size_t n) noexcept {
  if (n == 0) return;
  uint32_t u = c.unused > 8 ? 0 : c.unused;
  if (n <= u) {
    uint8_t* r = c.register_ + 8 - u;
    for (std::size_t i = 0; i < n; ++i) dst[i] = r[i] ^= src[i];
    c.unused = uint32_t(u - n);
    return;
  }
  uint8_t* r = c.register_ + 8 - u;
  for (uint32_t i = 0; i < u; ++i) dst[i] = r[i] ^= src[i];
  src += u;
  dst += u;
  n -= u;
  while (n > 8) {
    advance(c);
    for (int i = 0; i < 8; ++i) dst[i] = c.register_[i] ^= src[i];
    src += 8;
    dst += 8;
    n -= 8;
  }
  advance(c);
  for (std::size_t i = 0; i < n; ++i) dst[i] = c.register_[i] ^= src[i];
  c.unused = uint32_t(8 - n);
}

void idea_cfb_decrypt(IdeaCfbContext& c, const uint8_t* src, uint8_t* dst, std::size_t n) noexcept {
  if (n == 0) return;
  auto take = [](uint8_t* r, const uint8_t* s, uint8_t* d, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      uint8_t cipher = s[i];
      d[i] = uint8_t(cipher ^ r[i]);
      r[i] = cipher;
    }
  };
  uint32_t u = c.unused > 8 ? 0 : c.unused;
  if (n <= u) {
    take(c.register_ + 8 - u, src, dst, n);
    c.unused = uint32_t(u - n);
    return;
  }
  take(c.register_ + 8 - u, src, dst, u);
  src += u;
  dst += u;
  n -= u;
  while (n > 8) {
    advance(c);
    take(c.register_, src, dst, 8);
    src += 8;
    dst += 8;
    n -= 8;
  }
  advance(c);
  take(c.register_, src, dst, n);
  c.unused = uint32_t(8 - n);
}

void idea_cfb_resync(IdeaCfbContext& c) noexcept {
  uint32_t u = c.unused;
  if (u == 0 || u > 8) return;
  std::memmove(c.register_ + u, c.register_, 8 - u);
  std::memcpy(c.register_, c.previous + 8 - u, u);
  c.unused = 0;
}

void idea_cfb_wipe(IdeaCfbContext& context) noexcept { wipe(&context, sizeof context); }

}  // namespace kelda::sekura32
