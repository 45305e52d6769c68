// Key generation checked with OpenSSL's BN: the key packets are parsed here
// from their byte layout, and the primes, modulus, exponents and CRT parts
// are checked independently of the library's arithmetic.
#include <openssl/bn.h>

#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "sekura32/sekura32.h"

namespace {

using Bn = std::unique_ptr<BIGNUM, decltype(&BN_free)>;
using Ctx = std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)>;

Bn bn(const std::vector<uint8_t>& bytes) {
  return Bn(BN_bin2bn(bytes.data(), int(bytes.size()), nullptr), BN_free);
}

std::vector<uint8_t> stream_bytes(SkStream* s) {
  uint8_t* buffer = nullptr;
  uint32_t capacity = 0, length = 0, position = 0;
  skLookMemStream(s, &buffer, &capacity, &length, &position);
  return std::vector<uint8_t>(buffer, buffer + length);
}

// A key packet as its bytes say: header, version 4, time, validity,
// algorithm, then number fields (bit count + bytes).
struct KeyPacket {
  int type = -1;
  uint32_t time = 0;
  std::vector<std::vector<uint8_t>> numbers;  // n, e[, d, p1, p2, u]
  int protection = -1;
  uint16_t checksum = 0, computed = 0;
};

KeyPacket parse(const std::vector<uint8_t>& p) {
  KeyPacket k;
  std::size_t at = 0;
  uint8_t tag = p.at(at++);
  k.type = (tag >> 2) & 15;
  std::size_t length_bytes = (tag & 3) == 0 ? 1 : (tag & 3) == 1 ? 2 : 4;
  std::size_t length = 0;
  for (std::size_t i = 0; i < length_bytes; ++i) length = length << 8 | p.at(at++);
  EXPECT_EQ(at + length, p.size());
  EXPECT_EQ(p.at(at++), 4);
  for (int i = 0; i < 4; ++i) k.time = k.time << 8 | p.at(at++);
  at += 2;
  EXPECT_EQ(p.at(at++), 1);
  auto number = [&](bool sum) {
    std::size_t bits = std::size_t(p.at(at)) << 8 | p.at(at + 1);
    std::size_t count = (bits + 7) / 8;
    if (sum)
      for (std::size_t i = 0; i < count + 2; ++i) k.computed = uint16_t(k.computed + p.at(at + i));
    k.numbers.emplace_back(p.begin() + long(at) + 2, p.begin() + long(at + 2 + count));
    EXPECT_EQ(BN_num_bits(bn(k.numbers.back()).get()), int(bits));
    at += 2 + count;
  };
  number(false);
  number(false);
  if (k.type == 5) {
    k.protection = p.at(at++);
    for (int i = 0; i < 4; ++i) number(true);
    k.checksum = uint16_t(p.at(at) << 8 | p.at(at + 1));
    at += 2;
  }
  EXPECT_EQ(at, p.size());
  return k;
}

struct Generated {
  uint32_t result = 0, size = 0, time = 99;
  uint8_t id[8] = {};
  std::vector<uint8_t> secret, pub;
};

Generated generate(uint32_t* size, void* progress = nullptr) {
  Generated g;
  SkStream* secret = skTempMemStream();
  SkStream* pub = skTempMemStream();
  g.result = skGenKey(g.id, &g.time, size, secret, pub, "Ivanov", progress);
  g.secret = stream_bytes(secret);
  g.pub = stream_bytes(pub);
  secret->close(secret);
  pub->close(pub);
  return g;
}

TEST(KeyGeneration, KeysOfEverySizeAreSoundRsaKeys) {
  Ctx ctx(BN_CTX_new(), BN_CTX_free);
  for (uint32_t bits : {128u, 130u, 512u, 1024u, 1280u}) {
    SCOPED_TRACE(bits);
    uint32_t size = bits;
    Generated g = generate(&size);
    ASSERT_EQ(g.result, SK_OK);
    EXPECT_EQ(size, bits);
    EXPECT_EQ(g.time, 0u);
    KeyPacket s = parse(g.secret), p = parse(g.pub);
    ASSERT_EQ(s.type, 5);
    ASSERT_EQ(p.type, 6);
    ASSERT_EQ(s.numbers.size(), 6u);
    EXPECT_EQ(s.protection, 0);
    EXPECT_EQ(s.checksum, s.computed);
    EXPECT_EQ(s.numbers[0], p.numbers[0]);
    EXPECT_EQ(s.numbers[1], p.numbers[1]);
    const auto& n_bytes = s.numbers[0];
    EXPECT_EQ(0, std::memcmp(g.id, n_bytes.data() + n_bytes.size() - 8, 8));

    Bn n = bn(s.numbers[0]), e = bn(s.numbers[1]), d = bn(s.numbers[2]);
    Bn p1 = bn(s.numbers[3]), p2 = bn(s.numbers[4]), u = bn(s.numbers[5]);
    EXPECT_EQ(BN_num_bits(n.get()), int(bits));
    EXPECT_EQ(BN_num_bits(p1.get()), int(bits / 2));
    EXPECT_EQ(BN_num_bits(p2.get()), int(bits / 2));
    EXPECT_TRUE(BN_is_bit_set(p1.get(), int(bits / 2 - 2)));
    EXPECT_EQ(BN_check_prime(p1.get(), ctx.get(), nullptr), 1);
    EXPECT_EQ(BN_check_prime(p2.get(), ctx.get(), nullptr), 1);
    EXPECT_LT(BN_cmp(p1.get(), p2.get()), 0);

    Bn t(BN_new(), BN_free), one(BN_new(), BN_free), l(BN_new(), BN_free), g2(BN_new(), BN_free);
    BN_sub(t.get(), p2.get(), p1.get());
    EXPECT_GE(BN_num_bits(t.get()), int(bits / 2 - 6));  // at least 2^(half - 7) apart
    BN_mul(t.get(), p1.get(), p2.get(), ctx.get());
    EXPECT_EQ(BN_cmp(t.get(), n.get()), 0);
    // e * d = 1 mod lcm(p1 - 1, p2 - 1)
    Bn a(BN_new(), BN_free), b(BN_new(), BN_free);
    BN_sub(a.get(), p1.get(), BN_value_one());
    BN_sub(b.get(), p2.get(), BN_value_one());
    BN_gcd(g2.get(), a.get(), b.get(), ctx.get());
    BN_mul(l.get(), a.get(), b.get(), ctx.get());
    BN_div(l.get(), nullptr, l.get(), g2.get(), ctx.get());
    BN_mod_mul(t.get(), e.get(), d.get(), l.get(), ctx.get());
    EXPECT_TRUE(BN_is_one(t.get()));
    EXPECT_GE(BN_get_word(e.get()), 17u);
    BN_gcd(t.get(), e.get(), l.get(), ctx.get());
    EXPECT_TRUE(BN_is_one(t.get()));
    BN_mod_mul(t.get(), u.get(), p1.get(), p2.get(), ctx.get());
    EXPECT_TRUE(BN_is_one(t.get()));
  }
}

TEST(KeyGeneration, NullSizeMakesA128BitKey) {
  Generated g = generate(nullptr);
  ASSERT_EQ(g.result, SK_OK);
  EXPECT_EQ(BN_num_bits(bn(parse(g.pub).numbers[0]).get()), 128);
}

TEST(KeyGeneration, SizesOutsideTheRangeAreRefusedAndNothingIsWritten) {
  for (uint32_t bits : {0u, 64u, 126u, 127u, 1025u, 1282u, 2048u}) {
    uint32_t size = bits;
    Generated g = generate(&size);
    EXPECT_EQ(g.result, SK_BAD_ARGUMENT) << bits;
    EXPECT_EQ(size, bits);
    EXPECT_TRUE(g.secret.empty() && g.pub.empty());
  }
  uint32_t size = 128;
  EXPECT_EQ(skGenKey(nullptr, nullptr, &size, nullptr, nullptr, "x", nullptr), SK_BAD_ARGUMENT);
}

struct Ticks {
  std::string seen;
  char cancel_at = 0;
};

uint32_t record_tick(void* context, const char* text) {
  auto* ticks = static_cast<Ticks*>(context);
  if (ticks == nullptr) return 0;
  ticks->seen += text;
  return ticks->cancel_at != 0 && text[0] == ticks->cancel_at ? 1 : 0;
}

class KeyGenerationProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = skTickActivity;
    skTickActivity = &record_tick;
  }
  void TearDown() override { skTickActivity = saved_; }
  SkTickActivityFunction saved_ = nullptr;
};

TEST_F(KeyGenerationProgress, ProgressIsReportedAndCanCancel) {
  Ticks ticks;
  uint32_t size = 256;
  Generated g = generate(&size, &ticks);
  ASSERT_EQ(g.result, SK_OK);
  EXPECT_EQ(ticks.seen.front(), ':');
  EXPECT_NE(ticks.seen.find('.'), std::string::npos);

  Ticks cancel{"", ':'};
  g = generate(&size, &cancel);
  EXPECT_EQ(g.result, SK_CANCELLED);
  EXPECT_EQ(cancel.seen, ":");
  EXPECT_TRUE(g.secret.empty() && g.pub.empty());

  Ticks cancel_later{"", '.'};
  EXPECT_EQ(generate(&size, &cancel_later).result, SK_CANCELLED);

  // Without a context the ":" marks are not reported and nothing cancels.
  EXPECT_EQ(generate(&size, nullptr).result, SK_OK);
}

}  // namespace
