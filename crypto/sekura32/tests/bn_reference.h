// Conversions between the library's multiprecision words and OpenSSL's BN,
// and random operands with edge values, for the arithmetic tests.
#pragma once

#include <openssl/bn.h>

#include <memory>
#include <random>
#include <vector>

#include "mp.h"

namespace kelda::sekura32::test {

using Bn = std::unique_ptr<BIGNUM, decltype(&BN_free)>;
using Words = std::vector<mp::Word>;

inline Bn to_bn(const Words& x) {
  std::vector<uint8_t> bytes(x.size() * 4);
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[bytes.size() - 1 - k] = uint8_t(x[k / 4] >> (8 * (k % 4)));
  return Bn(BN_bin2bn(bytes.data(), int(bytes.size()), nullptr), BN_free);
}

// The BN's low `words` words (higher words are dropped).
inline Words from_bn(const BIGNUM* value, std::size_t words) {
  std::vector<uint8_t> bytes(std::size_t(BN_num_bytes(value)));
  BN_bn2bin(value, bytes.data());
  Words x(words, 0);
  for (std::size_t k = 0; k < bytes.size() && k / 4 < words; ++k)
    x[k / 4] |= mp::Word(bytes[bytes.size() - 1 - k]) << (8 * (k % 4));
  return x;
}

inline Bn new_bn() { return Bn(BN_new(), BN_free); }

// A random number of exactly `words` words, sometimes an edge value: 0, 1,
// all ones, only the top bit, or a random number with a zero top word (so
// that its significant length is shorter than its length).
inline Words random_words(std::mt19937& random, std::size_t words) {
  Words x(words);
  for (auto& w : x) w = random();
  switch (random() % 12) {
    case 0: std::fill(x.begin(), x.end(), 0); break;
    case 1: std::fill(x.begin(), x.end(), 0); x[0] = 1; break;
    case 2: std::fill(x.begin(), x.end(), 0xFFFFFFFFu); break;
    case 3: std::fill(x.begin(), x.end(), 0); x.back() = 0x80000000u; break;
    case 4: x.back() = 0; break;
    case 5: x.back() |= 0x80000000u; break;
    default: break;
  }
  return x;
}

// A non-zero random number of `words` words with its top word set.
inline Words random_modulus(std::mt19937& random, std::size_t words) {
  Words m = random_words(random, words);
  if (m.back() == 0) m.back() = random() | 1;
  return m;
}

}  // namespace kelda::sekura32::test
