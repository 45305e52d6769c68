// The RSA operations on keys built with OpenSSL's BN from its own primes.
#include <openssl/bn.h>

#include <random>

#include <gtest/gtest.h>

#include "bn_reference.h"
#include "rsa.h"

namespace kelda::sekura32 {
namespace {

using test::Bn;
using test::from_bn;
using test::new_bn;
using test::to_bn;
using test::Words;

struct TestKey {
  Words n, e, d, p1, p2, u, d1, d2;
  uint32_t bits = 0;

  RsaKey view(bool secret = true) const {
    RsaKey key{n, e};
    if (secret) {
      key.d = d;
      key.p1 = p1;
      key.p2 = p2;
      key.u = u;
      key.d1 = d1;
      key.d2 = d2;
    }
    key.bits = bits;
    return key;
  }
};

// A key with a modulus of about `bits` bits from two primes of half the size.
TestKey make_key(int bits) {
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
  Bn p = new_bn(), q = new_bn(), n = new_bn(), e = new_bn(), d = new_bn(), l = new_bn();
  Bn p1m = new_bn(), q1m = new_bn(), u = new_bn(), d1 = new_bn(), d2 = new_bn();
  BN_set_word(e.get(), 17);
  for (;;) {
    BN_generate_prime_ex(p.get(), bits / 2, 0, nullptr, nullptr, nullptr);
    BN_generate_prime_ex(q.get(), bits - bits / 2, 0, nullptr, nullptr, nullptr);
    if (BN_cmp(p.get(), q.get()) > 0) std::swap(p, q);
    BN_sub(p1m.get(), p.get(), BN_value_one());
    BN_sub(q1m.get(), q.get(), BN_value_one());
    BN_mul(l.get(), p1m.get(), q1m.get(), ctx.get());
    if (BN_cmp(p.get(), q.get()) != 0 && BN_mod_inverse(d.get(), e.get(), l.get(), ctx.get()) != nullptr) break;
  }
  BN_mul(n.get(), p.get(), q.get(), ctx.get());
  BN_mod(d1.get(), d.get(), p1m.get(), ctx.get());
  BN_mod(d2.get(), d.get(), q1m.get(), ctx.get());
  BN_mod_inverse(u.get(), p.get(), q.get(), ctx.get());
  std::size_t words = (std::size_t(BN_num_bits(n.get())) + 31) / 32;
  TestKey key{from_bn(n.get(), words), from_bn(e.get(), words), from_bn(d.get(), words), from_bn(p.get(), words),
              from_bn(q.get(), words), from_bn(u.get(), words), from_bn(d1.get(), words), from_bn(d2.get(), words)};
  key.bits = uint32_t(BN_num_bits(n.get()));
  return key;
}

TEST(Rsa, SecretThenPublicRestoresTheBlockAndPublicMatchesOpenSsl) {
  std::mt19937 random(1024);
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
  for (int bits : {128, 512, 1024, 1280}) {
    TestKey key = make_key(bits);
    for (int round = 0; round < 4; ++round) {
      std::vector<uint8_t> block(key.bits / 8 - 1);  // smaller than n
      for (auto& byte : block) byte = uint8_t(random());
      block[0] = round == 0 ? 0 : block[0];  // a leading zero byte is dropped
      std::vector<uint8_t> buffer(160, 0);
      std::copy(block.begin(), block.end(), buffer.begin());
      uint32_t count = uint32_t(block.size());
      ASSERT_EQ(rsa_secret(buffer.data(), &count, uint32_t(buffer.size()), nullptr, key.view()), SK_OK);

      // The public operation agrees with BN_mod_exp on the signature.
      Bn x = Bn(BN_bin2bn(buffer.data(), int(count), nullptr), BN_free), expected = new_bn();
      BN_mod_exp(expected.get(), x.get(), to_bn(key.e).get(), to_bn(key.n).get(), ctx.get());
      uint32_t bits_out = 0;
      ASSERT_EQ(rsa_public(buffer.data(), &count, uint32_t(buffer.size()), &bits_out, key.view(false)), SK_OK);
      std::vector<uint8_t> reference(std::size_t(BN_num_bytes(expected.get())));
      BN_bn2bin(expected.get(), reference.data());
      ASSERT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + count), reference);
      EXPECT_EQ(bits_out, uint32_t(BN_num_bits(expected.get())));

      std::size_t skip = 0;
      while (skip < block.size() && block[skip] == 0) ++skip;
      ASSERT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + count),
                std::vector<uint8_t>(block.begin() + std::ptrdiff_t(skip), block.end()))
          << bits << " bits";
    }
  }
}

TEST(Rsa, RefusalsOfKeysAndBlocks) {
  TestKey key = make_key(512);
  std::vector<uint8_t> buffer(160, 1);
  uint32_t count = 20;
  // A public key has no secret parts.
  EXPECT_EQ(rsa_secret(buffer.data(), &count, 160, nullptr, key.view(false)), SK_BAD_HANDLE);
  // A result longer than the capacity.
  count = 20;
  EXPECT_EQ(rsa_public(buffer.data(), &count, 20, nullptr, key.view()), SK_BAD_ARGUMENT);
  // A count beyond the capacity.
  count = 200;
  EXPECT_EQ(rsa_public(buffer.data(), &count, 160, nullptr, key.view()), SK_BAD_ARGUMENT);
  // A block that does not fit the key's words.
  count = 160;
  std::vector<uint8_t> long_block(160, 0xFF);
  EXPECT_EQ(rsa_secret(long_block.data(), &count, 160, nullptr, key.view()), SK_BAD_ARGUMENT);

  // A modulus over 1280 bits is refused before anything is computed.
  TestKey big = key;
  big.n.resize(41, 0);
  big.n[40] = 1;
  big.bits = 1281;
  count = 20;
  EXPECT_EQ(rsa_public(buffer.data(), &count, 160, nullptr, big.view()), SK_KEY_TOO_LARGE);
  EXPECT_EQ(rsa_secret(buffer.data(), &count, 160, nullptr, big.view()), SK_KEY_TOO_LARGE);
}

}  // namespace
}  // namespace kelda::sekura32
