// MD5 as RFC 1321 defines it, with the block transform unrolled.
#include "md5.h"

#include <cstring>

#include "frame.h"

namespace kelda::sekura32 {
namespace {

inline uint32_t load_le32(const uint8_t* p) noexcept {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void store_le32(uint8_t* p, uint32_t v) noexcept {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

inline uint32_t rotl(uint32_t x, int n) noexcept { return (x << n) | (x >> (32 - n)); }

#define MD5_STEP(f, a, b, c, d, x, t, s) \
  a += f(b, c, d) + (x) + (t);           \
  a = rotl(a, s) + b

#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))

}  // namespace

void md5_transform(uint32_t state[4], const uint8_t block[64]) noexcept {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = load_le32(block + 4 * i);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

  MD5_STEP(MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
  MD5_STEP(MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
  MD5_STEP(MD5_F, c, d, a, b, x[2], 0x242070db, 17);
  MD5_STEP(MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
  MD5_STEP(MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
  MD5_STEP(MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
  MD5_STEP(MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
  MD5_STEP(MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
  MD5_STEP(MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
  MD5_STEP(MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
  MD5_STEP(MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
  MD5_STEP(MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
  MD5_STEP(MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
  MD5_STEP(MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
  MD5_STEP(MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
  MD5_STEP(MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

  MD5_STEP(MD5_G, a, b, c, d, x[1], 0xf61e2562, 5);
  MD5_STEP(MD5_G, d, a, b, c, x[6], 0xc040b340, 9);
  MD5_STEP(MD5_G, c, d, a, b, x[11], 0x265e5a51, 14);
  MD5_STEP(MD5_G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
  MD5_STEP(MD5_G, a, b, c, d, x[5], 0xd62f105d, 5);
  MD5_STEP(MD5_G, d, a, b, c, x[10], 0x02441453, 9);
  MD5_STEP(MD5_G, c, d, a, b, x[15], 0xd8a1e681, 14);
  MD5_STEP(MD5_G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
  MD5_STEP(MD5_G, a, b, c, d, x[9], 0x21e1cde6, 5);
  MD5_STEP(MD5_G, d, a, b, c, x[14], 0xc33707d6, 9);
  MD5_STEP(MD5_G, c, d, a, b, x[3], 0xf4d50d87, 14);
  MD5_STEP(MD5_G, b, c, d, a, x[8], 0x455a14ed, 20);
  MD5_STEP(MD5_G, a, b, c, d, x[13], 0xa9e3e905, 5);
  MD5_STEP(MD5_G, d, a, b, c, x[2], 0xfcefa3f8, 9);
  MD5_STEP(MD5_G, c, d, a, b, x[7], 0x676f02d9, 14);
  MD5_STEP(MD5_G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

  MD5_STEP(MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
  MD5_STEP(MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
  MD5_STEP(MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
  MD5_STEP(MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
  MD5_STEP(MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
  MD5_STEP(MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
  MD5_STEP(MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
  MD5_STEP(MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
  MD5_STEP(MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
  MD5_STEP(MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
  MD5_STEP(MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
  MD5_STEP(MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
  MD5_STEP(MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
  MD5_STEP(MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
  MD5_STEP(MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
  MD5_STEP(MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

  MD5_STEP(MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
  MD5_STEP(MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
  MD5_STEP(MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
  MD5_STEP(MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
  MD5_STEP(MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
  MD5_STEP(MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
  MD5_STEP(MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
  MD5_STEP(MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
  MD5_STEP(MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
  MD5_STEP(MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
  MD5_STEP(MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
  MD5_STEP(MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
  MD5_STEP(MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
  MD5_STEP(MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
  MD5_STEP(MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
  MD5_STEP(MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  wipe(x, sizeof x);
}

void md5_init(SkMd5Context& context) noexcept {
  context.state[0] = 0x67452301;
  context.state[1] = 0xefcdab89;
  context.state[2] = 0x98badcfe;
  context.state[3] = 0x10325476;
  context.count[0] = context.count[1] = 0;
  std::memset(context.buffer, 0, sizeof context.buffer);
}

void md5_update(SkMd5Context& context, const uint8_t* data, std::size_t length) noexcept {
  if (data == nullptr || length == 0) return;
  std::size_t used = (context.count[0] >> 3) & 63;
  uint64_t bits = (uint64_t(context.count[1]) << 32 | context.count[0]) + (uint64_t(length) << 3);
  context.count[0] = uint32_t(bits);
  context.count[1] = uint32_t(bits >> 32);

  if (used != 0) {
    std::size_t room = 64 - used;
    if (length < room) {
      std::memcpy(context.buffer + used, data, length);
      return;
    }
    std::memcpy(context.buffer + used, data, room);
    md5_transform(context.state, context.buffer);
    data += room;
    length -= room;
  }
  for (; length >= 64; data += 64, length -= 64) md5_transform(context.state, data);
  std::memcpy(context.buffer, data, length);
}

void md5_final(uint8_t digest[16], SkMd5Context& context) noexcept {
  uint8_t length_bytes[8];
  store_le32(length_bytes, context.count[0]);
  store_le32(length_bytes + 4, context.count[1]);
  std::size_t used = (context.count[0] >> 3) & 63;
  static const uint8_t padding[64] = {0x80};
  md5_update(context, padding, used < 56 ? 56 - used : 120 - used);
  md5_update(context, length_bytes, 8);
  for (int i = 0; i < 4; ++i) store_le32(digest + 4 * i, context.state[i]);
  wipe(&context, sizeof context);
}

int md5_buffer(const void* data, std::size_t length, uint8_t digest[16]) noexcept {
  SkMd5Context context;
  md5_init(context);
  md5_update(context, static_cast<const uint8_t*>(data), length);
  md5_final(digest, context);
  return 1;
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

extern "C" {

SK_API void MD5Init(SkMd5Context* context) {
  if (context != nullptr) md5_init(*context);
}

SK_API void MD5Update(SkMd5Context* context, const void* data, uint32_t length) {
  if (context != nullptr) md5_update(*context, static_cast<const uint8_t*>(data), length);
}

SK_API void MD5Final(uint8_t digest[16], SkMd5Context* context) {
  if (context == nullptr) return;
  if (digest == nullptr) {
    wipe(context, sizeof *context);
    return;
  }
  md5_final(digest, *context);
}

}  // extern "C"
