// Edge cases of the multiprecision helpers, trial division and the
// strong-pseudoprime test.
#include <gtest/gtest.h>

#include "frame.h"
#include "mp.h"

namespace kelda::sekura32 {
namespace {

using mp::ConstNumber;
using mp::Number;
using mp::Word;

TEST(MpEdges, CopyCompareAndLengths) {
  Word four[4] = {5, 0, 0, 0};
  Word one[1] = {99};
  EXPECT_EQ(mp::copy(Number(one), ConstNumber(four)), 0);
  EXPECT_EQ(one[0], 5u);
  Word big[2] = {0, 1 << 8};  // 2^40
  EXPECT_EQ(mp::copy(Number(one), ConstNumber(big)), 1);

  Word shorter[1] = {7};
  Word longer[3] = {7, 0, 0};
  EXPECT_EQ(mp::compare(ConstNumber(shorter), ConstNumber(longer)), 0);
  longer[2] = 1;
  EXPECT_EQ(mp::compare(ConstNumber(shorter), ConstNumber(longer)), -1);
  EXPECT_EQ(mp::compare(ConstNumber(longer), ConstNumber(shorter)), 1);
  EXPECT_EQ(mp::compare_word(ConstNumber(longer), 7), 1);
  EXPECT_EQ(mp::compare_word(ConstNumber(shorter), 8), -1);

  Word zero[3] = {};
  EXPECT_EQ(mp::significant_length(ConstNumber(zero)), 1u);
  EXPECT_EQ(mp::bit_length(ConstNumber(zero)), 0u);
  EXPECT_EQ(mp::bit_length(ConstNumber(longer)), 65u);
}

TEST(MpEdges, ReciprocalStripTwosNegateAndZeroDivisor) {
  EXPECT_EQ(mp::reciprocal(0x80000000u), 0xFFFFFFFFu);
  EXPECT_EQ(mp::reciprocal(0xFFFFFFFFu), 1u);
  EXPECT_EQ(mp::reciprocal(0x12345u), 0xFFFFFFFFu);

  Word x[2] = {0, 0x30};  // 3 * 2^36
  Word out[2];
  EXPECT_EQ(mp::strip_twos(Number(out), ConstNumber(x)), 36u);
  EXPECT_EQ(out[0], 3u);
  EXPECT_EQ(out[1], 0u);
  Word zero[2] = {};
  EXPECT_EQ(mp::strip_twos(Number(out), ConstNumber(zero)), 0u);
  EXPECT_EQ(out[0], 0u);

  Word n[2] = {1, 0};
  mp::negate(Number(n));
  EXPECT_EQ(n[0], 0xFFFFFFFFu);
  EXPECT_EQ(n[1], 0xFFFFFFFFu);

  EXPECT_EQ(mp::divide_word({}, ConstNumber(x), 0), -1);
  EXPECT_EQ(mp::reduce(Number(x), ConstNumber(zero)), -1);
  Word m1[1] = {1}, base[1] = {5}, e[1] = {0}, r[1] = {9};
  EXPECT_EQ(mp::modular_exponent(Number(r), ConstNumber(base), ConstNumber(e), ConstNumber(m1)), 0);
  EXPECT_EQ(r[0], 0u);  // everything is 0 modulo 1, even x^0
}

TEST(MpEdges, OperandsBeyondTheMaximumAreRefused) {
  Word modulus[mp::kMaxWords + 1] = {};
  modulus[mp::kMaxWords] = 1;
  mp::PreparedModulus m;
  EXPECT_EQ(mp::prepare(m, ConstNumber(modulus)), -1);
  Word x[mp::kMaxWords + 1] = {3}, e[1] = {3}, result[mp::kMaxWords + 1];
  EXPECT_EQ(mp::modular_exponent(Number(result), ConstNumber(x), ConstNumber(e), ConstNumber(modulus)), -1);
  EXPECT_EQ(mp::modular_inverse(Number(result), ConstNumber(x), ConstNumber(modulus)), -1);
}

TEST(MpEdges, TrialDivisionFindsTheSmallFactor) {
  EXPECT_EQ(mp::small_primes()[0], 2);
  Word product[1] = {8191u * 8209u};
  EXPECT_EQ(mp::trial_division(ConstNumber(product), nullptr), 8191);
  Word large[1] = {8209u * 8219u};  // both prime, both above 8191
  EXPECT_EQ(mp::trial_division(ConstNumber(large), nullptr), 0);

  // The progress hook hears "." at a small factor and may cancel.
  static std::string heard;
  heard.clear();
  SkTickActivityFunction saved = skTickActivity;
  skTickActivity = [](void*, const char* text) -> uint32_t {
    heard += text;
    return 1;
  };
  EXPECT_EQ(mp::trial_division(ConstNumber(product), nullptr), -1);
  skTickActivity = saved;
  EXPECT_EQ(heard, ".");
}

TEST(MpEdges, StrongTest) {
  const Word bases[4] = {2, 3, 7, 13};
  Word mersenne61[2] = {0xFFFFFFFFu, 0x1FFFFFFFu};
  EXPECT_EQ(mp::strong_test(ConstNumber(mersenne61), bases, 4, nullptr), 0);
  Word carmichael[1] = {561};
  EXPECT_GT(mp::strong_test(ConstNumber(carmichael), bases, 4, nullptr), 0);
  Word even[1] = {1000};
  EXPECT_EQ(mp::strong_test(ConstNumber(even), bases, 4, nullptr), -4);

  // Each passing base says "+"; a composite says "-".
  static std::string heard;
  heard.clear();
  SkTickActivityFunction saved = skTickActivity;
  skTickActivity = [](void*, const char* text) -> uint32_t {
    heard += text;
    return 0;
  };
  mp::strong_test(ConstNumber(mersenne61), bases, 4, nullptr);
  EXPECT_EQ(heard, "++++");
  heard.clear();
  mp::strong_test(ConstNumber(carmichael), bases, 4, nullptr);
  EXPECT_EQ(heard.back(), '-');
  skTickActivity = saved;
}

}  // namespace
}  // namespace kelda::sekura32
