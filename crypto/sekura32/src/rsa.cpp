// RSA: y = x^e mod n, and x = y^d mod n through the two primes.
#include "rsa.h"

#include <algorithm>
#include <cstring>

#include "frame.h"

namespace kelda::sekura32 {
namespace {

using mp::ConstNumber;
using mp::kMaxWords;
using mp::Number;
using mp::Word;

bool too_large(const RsaKey& key) noexcept {
  return key.bits > mp::kMaxBits || key.n.empty() || mp::significant_length(key.n) > kMaxWords ||
         mp::significant_length(key.e) > kMaxWords;
}

bool usable(ConstNumber x) noexcept {
  return !x.empty() && mp::significant_length(x) <= kMaxWords && !mp::is_zero(x);
}

uint32_t check_block(const uint8_t* block, const uint32_t* count, uint32_t capacity) noexcept {
  if (block == nullptr || count == nullptr || *count > capacity) return SK_BAD_ARGUMENT;
  return SK_OK;
}

// Writes y back as its minimal big-endian bytes.
uint32_t write_back(uint8_t* block, uint32_t* count, uint32_t capacity, uint32_t* bits_out,
                    ConstNumber y) noexcept {
  std::size_t bytes = (mp::bit_length(y) + 7) / 8;
  if (bytes > capacity) return SK_BAD_ARGUMENT;
  std::size_t bits = mp::to_bytes(block, capacity, y);
  *count = uint32_t(bytes);
  if (bits_out != nullptr) *bits_out = uint32_t(bits);
  return SK_OK;
}

}  // namespace

uint32_t rsa_public(uint8_t* block, uint32_t* count, uint32_t capacity, uint32_t* bits_out,
                    const RsaKey& key) noexcept {
  if (uint32_t check = check_block(block, count, capacity); check != SK_OK) return check;
  if (too_large(key)) return SK_KEY_TOO_LARGE;
  Word x[kMaxWords] = {}, y[kMaxWords] = {};
  uint32_t result = SK_BAD_ARGUMENT;
  if (mp::from_bytes(Number(x), block, *count) == 0 &&
      mp::modular_exponent(Number(y), ConstNumber(x), key.e, key.n) == 0)
    result = write_back(block, count, capacity, bits_out, ConstNumber(y));
  wipe(x, sizeof x);
  wipe(y, sizeof y);
  return result;
}

uint32_t rsa_secret(uint8_t* block, uint32_t* count, uint32_t capacity, uint32_t* bits_out,
                    const RsaKey& key) noexcept {
  if (uint32_t check = check_block(block, count, capacity); check != SK_OK) return check;
  if (too_large(key)) return SK_KEY_TOO_LARGE;
  if (!usable(key.d) || !usable(key.p1) || !usable(key.p2) || !usable(key.u) || !usable(key.d1) ||
      !usable(key.d2))
    return SK_BAD_HANDLE;
  std::size_t k = std::min<std::size_t>(mp::words_for_bits(key.bits), kMaxWords);
  if (k == 0) return SK_BAD_ARGUMENT;

  Word x[kMaxWords] = {}, x1[kMaxWords] = {}, x2[kMaxWords] = {}, h[kMaxWords] = {};
  Word y[2 * kMaxWords + 1] = {};
  uint32_t result = SK_BAD_ARGUMENT;
  bool ok = mp::from_bytes(Number(x, k), block, *count) == 0 &&
            mp::modular_exponent(Number(x1), ConstNumber(x, k), key.d1, key.p1) == 0 &&
            mp::modular_exponent(Number(x2), ConstNumber(x, k), key.d2, key.p2) == 0;
  if (ok) {
    // h = (x2 - x1) * u mod p2; y = x1 + h * p1.
    std::memcpy(h, x2, sizeof h);
    if (mp::subtract(Number(h), ConstNumber(x1)) != 0) mp::add(Number(h), key.p2);
    ok = mp::modular_multiply(Number(h), ConstNumber(h), key.u, key.p2) == 0 &&
         mp::multiply(Number(y), ConstNumber(h), key.p1) == 0;
    if (ok) {
      mp::add(Number(y), ConstNumber(x1));
      result = write_back(block, count, capacity, bits_out, ConstNumber(y));
    }
  }
  for (Word* number : {x, x1, x2, h}) wipe(number, kMaxWords * sizeof(Word));
  wipe(y, sizeof y);
  return result;
}

}  // namespace kelda::sekura32
