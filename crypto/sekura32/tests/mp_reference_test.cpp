// The multiprecision operations against OpenSSL's BN on thousands of random
// operands of every length from 1 word to the library's maximum (40 words),
// with the edge values 0, 1, the modulus minus one, all-ones numbers and
// operands of unequal lengths.
#include <openssl/err.h>

#include <gtest/gtest.h>

#include "bn_reference.h"

namespace kelda::sekura32 {
namespace {

using mp::ConstNumber;
using mp::kMaxWords;
using mp::Number;
using test::Bn;
using test::from_bn;
using test::new_bn;
using test::random_modulus;
using test::random_words;
using test::to_bn;
using test::Words;

struct Fixture : ::testing::Test {
  std::mt19937 random{20261211};
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx{BN_CTX_new(), BN_CTX_free};
};

using MpReference = Fixture;

TEST_F(MpReference, AddAndSubtractWithCarryAndBorrow) {
  for (std::size_t words = 1; words <= kMaxWords; ++words) {
    Bn power = new_bn();
    BN_set_bit(power.get(), int(32 * words));
    for (int round = 0; round < 100; ++round) {
      Words a = random_words(random, words);
      Words b = random_words(random, 1 + random() % words);  // unequal lengths
      Bn sum = new_bn(), difference = new_bn();
      BN_add(sum.get(), to_bn(a).get(), to_bn(b).get());
      bool borrow = BN_cmp(to_bn(a).get(), to_bn(b).get()) < 0;
      BN_sub(difference.get(), to_bn(a).get(), to_bn(b).get());
      if (borrow) BN_add(difference.get(), difference.get(), power.get());

      Words x = a;
      mp::Word carry = mp::add(Number(x), ConstNumber(b));
      ASSERT_EQ(x, from_bn(sum.get(), words));
      ASSERT_EQ(carry, BN_num_bits(sum.get()) > int(32 * words) ? 1u : 0u);
      Words y = a;
      ASSERT_EQ(mp::subtract(Number(y), ConstNumber(b)), borrow ? 1u : 0u);
      ASSERT_EQ(y, from_bn(difference.get(), words));
      ASSERT_EQ(mp::compare(ConstNumber(a), ConstNumber(b)), BN_cmp(to_bn(a).get(), to_bn(b).get()));

      Words z = a;
      mp::Word w = random();
      Bn word_sum = new_bn();
      BN_copy(word_sum.get(), to_bn(a).get());
      BN_add_word(word_sum.get(), w);
      ASSERT_EQ(mp::add_word(Number(z), w), BN_num_bits(word_sum.get()) > int(32 * words) ? 1u : 0u);
      ASSERT_EQ(z, from_bn(word_sum.get(), words));
    }
  }
}

TEST_F(MpReference, MultiplyAndShift) {
  for (std::size_t words = 1; words <= kMaxWords; ++words) {
    for (int round = 0; round < 100; ++round) {
      Words a = random_words(random, words);
      Words b = random_words(random, 1 + random() % kMaxWords);
      Bn product = new_bn();
      BN_mul(product.get(), to_bn(a).get(), to_bn(b).get(), ctx.get());
      Words p(a.size() + b.size());
      ASSERT_EQ(mp::multiply(Number(p), ConstNumber(a), ConstNumber(b)), 0);
      ASSERT_EQ(p, from_bn(product.get(), p.size()));
      // A destination too short for the product answers 1.
      std::size_t product_words = (std::size_t(BN_num_bits(product.get())) + 31) / 32;
      if (product_words > 1) {
        Words short_destination(product_words - 1);
        ASSERT_EQ(mp::multiply(Number(short_destination), ConstNumber(a), ConstNumber(b)), 1);
      }

      int count = int(random() % 32);
      Bn shifted = new_bn();
      BN_lshift(shifted.get(), to_bn(a).get(), count);
      Words s = a;
      mp::Word out = mp::shift(Number(s), count);
      ASSERT_EQ(s, from_bn(shifted.get(), words));
      Bn high = new_bn();
      BN_rshift(high.get(), shifted.get(), int(32 * words));
      ASSERT_EQ(out, from_bn(high.get(), 1)[0]);
      ASSERT_EQ(mp::shift(Number(s), -count), 0u);
      // Back again: the bits shifted out at the top are gone.
      Bn kept = to_bn(from_bn(shifted.get(), words));
      BN_rshift(kept.get(), kept.get(), count);
      ASSERT_EQ(s, from_bn(kept.get(), words));
    }
  }
}

TEST_F(MpReference, DivideByPreparedModulusQuotientAndRemainder) {
  for (std::size_t words = 1; words <= kMaxWords; ++words) {
    for (int round = 0; round < 100; ++round) {
      Words m = random() % 3 == 0 ? random_modulus(random, words) : random_words(random, words);
      if (mp::is_zero(ConstNumber(m))) {
        Words x = random_words(random, words);
        ASSERT_EQ(mp::reduce(Number(x), ConstNumber(m)), -1);
        continue;
      }
      // Dividends up to double length, plus the modulus minus one and the
      // modulus itself.
      Words x = random_words(random, 1 + random() % (2 * words + 1));
      if (round % 10 == 1) {
        x = m;
        mp::subtract_word(Number(x), 1);
      } else if (round % 10 == 2) {
        x = m;
      }
      Bn quotient = new_bn(), remainder = new_bn();
      BN_div(quotient.get(), remainder.get(), to_bn(x).get(), to_bn(m).get(), ctx.get());

      Words r = x;
      r.resize(std::max(r.size(), m.size()), 0);
      Words q(x.size() + 1);
      ASSERT_EQ(mp::reduce(Number(r), ConstNumber(m), Number(q)), 0);
      ASSERT_EQ(r, from_bn(remainder.get(), r.size())) << "words " << words << " round " << round;
      ASSERT_EQ(q, from_bn(quotient.get(), q.size()));
      // A quotient buffer too short for a non-zero quotient word answers 1.
      if (BN_num_bits(quotient.get()) > 32) {
        Words r2 = x;
        r2.resize(std::max(r2.size(), m.size()), 0);
        Words q1(1);
        ASSERT_EQ(mp::reduce(Number(r2), ConstNumber(m), Number(q1)), 1);
        ASSERT_EQ(r2, r);
      }
      // Into a destination shorter than the dividend.
      Words into(m.size());
      ASSERT_EQ(mp::reduce_into(Number(into), ConstNumber(x), ConstNumber(m)), 0);
      ASSERT_EQ(into, from_bn(remainder.get(), m.size()));

      mp::Word d = random() | (round % 2 == 0 ? 0 : 0x80000000u);
      if (d == 0) d = 1;
      Bn word_quotient = new_bn();
      BN_copy(word_quotient.get(), to_bn(x).get());
      BN_ULONG word_remainder = BN_div_word(word_quotient.get(), d);
      Words wq(x.size());
      ASSERT_EQ(mp::divide_word(Number(wq), ConstNumber(x), d), int64_t(word_remainder));
      ASSERT_EQ(wq, from_bn(word_quotient.get(), wq.size()));
    }
  }
}

TEST_F(MpReference, ModularMultiplyAndExponent) {
  for (std::size_t words = 1; words <= kMaxWords; ++words) {
    for (int round = 0; round < 50; ++round) {
      Words m = random_modulus(random, words);
      Words x = random_words(random, words);
      if (round == 0) {
        x = m;
        mp::subtract_word(Number(x), 1);  // the modulus minus one
      }
      // Full-length exponents on a few rounds, short ones on the rest.
      Words e = random_words(random, round < 10 ? words : 1 + random() % 2);
      Bn expected = new_bn();
      ASSERT_EQ(BN_mod_exp(expected.get(), to_bn(x).get(), to_bn(e).get(), to_bn(m).get(), ctx.get()), 1);
      Words result(words);
      ASSERT_EQ(mp::modular_exponent(Number(result), ConstNumber(x), ConstNumber(e), ConstNumber(m)), 0);
      ASSERT_EQ(result, from_bn(expected.get(), words)) << "words " << words << " round " << round;

      Words y = random_words(random, 1 + random() % words);
      Bn product = new_bn();
      BN_mod_mul(product.get(), to_bn(x).get(), to_bn(y).get(), to_bn(m).get(), ctx.get());
      Words z(words);
      ASSERT_EQ(mp::modular_multiply(Number(z), ConstNumber(x), ConstNumber(y), ConstNumber(m)), 0);
      ASSERT_EQ(z, from_bn(product.get(), words));
    }
  }
}

// The windowed Montgomery path against the binary method and BN: odd moduli
// of every size class (one word, the RSA sizes, the maximum), the moduli 1
// and 3 and all ones, exponents 0, 1, 2, a lone top bit, all ones and random
// ones of every length, bases 0, 1, m - 1, m, m + 1 and bases twice the
// modulus' length.
TEST_F(MpReference, WindowedExponentAgreesWithTheBinaryMethod) {
  auto check = [&](const Words& m, const Words& x, const Words& e, const char* what) {
    mp::PreparedModulus prepared;
    ASSERT_EQ(mp::prepare(prepared, ConstNumber(m)), 0);
    Words windowed(m.size(), 0xA5A5A5A5u), binary(m.size(), 0x5A5A5A5Au);
    ASSERT_EQ(mp::modular_exponent(Number(windowed), ConstNumber(x), ConstNumber(e), prepared), 0) << what;
    ASSERT_EQ(mp::modular_exponent_binary(Number(binary), ConstNumber(x), ConstNumber(e), prepared), 0) << what;
    Bn expected = new_bn();
    ASSERT_EQ(BN_mod_exp(expected.get(), to_bn(x).get(), to_bn(e).get(), to_bn(m).get(), ctx.get()), 1);
    ASSERT_EQ(windowed, from_bn(expected.get(), m.size())) << what << " words " << m.size();
    ASSERT_EQ(binary, windowed) << what << " words " << m.size();
  };
  for (std::size_t words : {1u, 2u, 3u, 16u, 17u, 32u, 40u}) {
    SCOPED_TRACE(words);
    std::vector<Words> moduli;
    for (int k = 0; k < 2; ++k) {
      Words m = random_modulus(random, words);
      m[0] |= 1;
      moduli.push_back(m);
    }
    moduli.push_back(Words(words, 0xFFFFFFFFu));  // all ones
    Words shorter = random_modulus(random, words);  // a zero top word: shorter than its length
    shorter[0] |= 1;
    shorter.back() = 0;
    if (words > 1) moduli.push_back(shorter);
    if (words == 1) {
      moduli.push_back({1});
      moduli.push_back({3});
    }
    for (const Words& m : moduli) {
      Words m_minus_one = m, m_plus_one = m;
      mp::subtract_word(Number(m_minus_one), 1);
      m_plus_one.push_back(0);
      mp::add_word(Number(m_plus_one), 1);
      Words twice(2 * words);
      for (auto& w : twice) w = random();
      const std::vector<std::pair<const char*, Words>> bases = {
          {"base 0", Words(words, 0)}, {"base 1", Words{1}}, {"base m - 1", m_minus_one},
          {"base m", m},           {"base m + 1", m_plus_one}, {"base of double length", twice},
          {"random base", random_words(random, words)}};
      Words all_ones(words, 0xFFFFFFFFu), top_bit(words, 0);
      top_bit.back() = 0x80000000u;
      std::vector<std::pair<const char*, Words>> exponents = {
          {"exponent 0", Words{0}},  {"exponent 1", Words{1}},   {"exponent 2", Words{2}},
          {"lone top bit", top_bit}, {"all ones", all_ones},     {"65537", Words{65537}}};
      for (std::size_t length = 1; length <= words; length += 1 + words / 4) {
        exponents.push_back({"random exponent", random_words(random, length)});
      }
      for (const auto& [base_name, x] : bases) {
        for (const auto& [exponent_name, e] : exponents) {
          const std::string what = std::string(base_name) + ", " + exponent_name;
          check(m, x, e, what.c_str());
        }
      }
    }
  }
}

TEST_F(MpReference, GcdAndInverse) {
  for (std::size_t words = 1; words <= kMaxWords; ++words) {
    for (int round = 0; round < 60; ++round) {
      Words m = random_modulus(random, words);
      Words a = random_words(random, 1 + random() % words);
      if (round == 0) {
        a = m;
        mp::subtract_word(Number(a), 1);
      }
      Bn g = new_bn();
      BN_gcd(g.get(), to_bn(a).get(), to_bn(m).get(), ctx.get());
      Words ours(kMaxWords), coefficient(kMaxWords + 1);
      int sign = mp::extended_gcd(Number(ours), Number(coefficient), ConstNumber(a), ConstNumber(m));
      ASSERT_NE(sign, 0);
      ASSERT_EQ(ours, from_bn(g.get(), kMaxWords));
      // a * (sign * c) = g (mod m)
      Bn check = new_bn();
      BN_mod_mul(check.get(), to_bn(a).get(), to_bn(coefficient).get(), to_bn(m).get(), ctx.get());
      if (sign < 0 && !BN_is_zero(check.get())) BN_sub(check.get(), to_bn(m).get(), check.get());
      Bn g_mod = new_bn();
      BN_nnmod(g_mod.get(), g.get(), to_bn(m).get(), ctx.get());
      ASSERT_EQ(BN_cmp(check.get(), g_mod.get()), 0) << "words " << words << " round " << round;

      Words inverse(words);
      int answer = mp::modular_inverse(Number(inverse), ConstNumber(a), ConstNumber(m));
      Bn reference = new_bn();
      bool invertible = BN_mod_inverse(reference.get(), to_bn(a).get(), to_bn(m).get(), ctx.get()) != nullptr;
      ERR_clear_error();
      if (BN_is_one(to_bn(m).get())) continue;  // everything is 0 modulo 1
      ASSERT_EQ(answer, invertible ? 0 : 1);
      if (invertible) {
        ASSERT_EQ(inverse, from_bn(reference.get(), words));
      }
    }
  }
}

TEST_F(MpReference, BytesRoundTripAndBitLength) {
  for (std::size_t words = 1; words <= kMaxWords; ++words) {
    for (int round = 0; round < 50; ++round) {
      Words x = random_words(random, words);
      Bn reference = to_bn(x);
      ASSERT_EQ(mp::bit_length(ConstNumber(x)), std::size_t(BN_num_bits(reference.get())));
      std::vector<uint8_t> bytes(words * 4 + 3, 0xAA);
      std::size_t bits = mp::to_bytes(bytes.data(), bytes.size(), ConstNumber(x));
      std::size_t count = (bits + 7) / 8;
      std::vector<uint8_t> expected(std::size_t(BN_num_bytes(reference.get())));
      BN_bn2bin(reference.get(), expected.data());
      ASSERT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(count)), expected);
      Words back(words);
      ASSERT_EQ(mp::from_bytes(Number(back), bytes.data(), count), 0);
      ASSERT_EQ(back, x);
      if (words > 1 && mp::significant_length(ConstNumber(x)) == words && x.back() != 0) {
        Words too_short(words - 1);
        ASSERT_EQ(mp::from_bytes(Number(too_short), bytes.data(), count), 1);
      }
    }
  }
}

}  // namespace
}  // namespace kelda::sekura32
