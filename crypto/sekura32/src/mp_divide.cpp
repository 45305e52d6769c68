// Division by a prepared modulus (schoolbook long division on normalised
// words), modular multiplication, division by one word.
#include <algorithm>
#include <cstring>

#include "frame.h"
#include "mp.h"

namespace kelda::sekura32::mp {
namespace {

// Estimates the quotient word from the top two words of the remainder and
// the top two words of the divisor, corrected to at most one too large.
Word estimate_quotient(Word high, Word middle, Word low, const PreparedModulus& m) noexcept {
  uint64_t numerator = uint64_t(high) << 32 | middle;
  uint64_t qhat = numerator / m.top;
  uint64_t rhat = numerator % m.top;
  while (qhat > 0xFFFFFFFFull || qhat * m.below > (rhat << 32 | low)) {
    --qhat;
    rhat += m.top;
    if (rhat > 0xFFFFFFFFull) break;
  }
  return Word(qhat);
}

// u[0..k] -= q * v[0..k-1]; returns true when the result went negative.
bool multiply_subtract(Word* u, const Word* v, std::size_t k, Word q) noexcept {
  uint64_t carry = 0;
  Word borrow = 0;
  for (std::size_t i = 0; i < k; ++i) {
    carry += uint64_t(v[i]) * q;
    uint64_t d = uint64_t(u[i]) - Word(carry) - borrow;
    u[i] = Word(d);
    borrow = Word(d >> 63);
    carry >>= 32;
  }
  uint64_t d = uint64_t(u[k]) - carry - borrow;
  u[k] = Word(d);
  return (d >> 63) != 0;
}

void add_back(Word* u, const Word* v, std::size_t k) noexcept {
  uint64_t carry = 0;
  for (std::size_t i = 0; i < k; ++i) {
    carry += uint64_t(u[i]) + v[i];
    u[i] = Word(carry);
    carry >>= 32;
  }
  u[k] += Word(carry);
}

}  // namespace

int prepare(PreparedModulus& m, ConstNumber modulus) noexcept {
  std::size_t k = significant_length(modulus);
  if (modulus.empty() || k > kMaxWords || (k == 1 && modulus[0] == 0)) return -1;
  std::memcpy(m.normalised, modulus.data(), k * sizeof(Word));
  m.shift = unsigned(__builtin_clz(m.normalised[k - 1]));
  shift(Number(m.normalised, k), int(m.shift));
  m.words = k;
  m.top = m.normalised[k - 1];
  m.below = k > 1 ? m.normalised[k - 2] : 0;
  m.top_reciprocal = reciprocal(m.top);
  return 0;
}

int reduce(Number x, const PreparedModulus& m, Number quotient) noexcept {
  std::size_t n = significant_length(x);
  if (n > kMaxDoubleWords) return -1;
  std::size_t k = m.words;
  if (!quotient.empty()) set_zero(quotient);
  if (n < k) return 0;

  Word u[kMaxDoubleWords + 1];
  std::memcpy(u, x.data(), n * sizeof(Word));
  u[n] = shift(Number(u, n), int(m.shift));
  int overflow = 0;
  for (std::size_t j = n - k + 1; j-- > 0;) {
    Word low = k > 1 ? u[j + k - 2] : 0;
    Word q = estimate_quotient(u[j + k], u[j + k - 1], low, m);
    if (q != 0 && multiply_subtract(u + j, m.normalised, k, q)) {
      --q;
      add_back(u + j, m.normalised, k);
    }
    if (j < quotient.size())
      quotient[j] = q;
    else if (q != 0 && !quotient.empty())
      overflow = 1;
  }
  shift(Number(u, k), -int(m.shift));
  set_zero(x);
  std::memcpy(x.data(), u, k * sizeof(Word));
  wipe(u, sizeof u);
  return overflow;
}

int reduce(Number x, ConstNumber modulus, Number quotient) noexcept {
  PreparedModulus m;
  if (prepare(m, modulus) != 0) return -1;
  int answer = reduce(x, m, quotient);
  wipe(&m, sizeof m);
  return answer;
}

int reduce_into(Number destination, ConstNumber x, ConstNumber modulus) noexcept {
  std::size_t n = significant_length(x);
  if (n > kMaxDoubleWords) return -1;
  Word work[kMaxDoubleWords];
  std::memcpy(work, x.data(), n * sizeof(Word));
  int answer = reduce(Number(work, n), modulus);
  if (answer >= 0) answer = copy(destination, ConstNumber(work, n));
  wipe(work, sizeof work);
  return answer;
}

int modular_multiply(Number destination, ConstNumber a, ConstNumber b, ConstNumber modulus) noexcept {
  Word product[kMaxDoubleWords];
  if (significant_length(a) + significant_length(b) > kMaxDoubleWords) return -1;
  multiply(Number(product), a, b);
  int answer = reduce(Number(product), modulus);
  if (answer >= 0) answer = copy(destination, ConstNumber(product, kMaxWords));
  wipe(product, sizeof product);
  return answer < 0 ? -1 : answer;
}

int64_t divide_word(Number quotient, ConstNumber x, Word divisor) noexcept {
  if (divisor == 0) return -1;
  if (!quotient.empty()) set_zero(quotient);
  uint64_t remainder = 0;
  for (std::size_t i = x.size(); i-- > 0;) {
    uint64_t current = remainder << 32 | x[i];
    Word q = Word(current / divisor);
    remainder = current % divisor;
    if (i < quotient.size()) quotient[i] = q;
  }
  return int64_t(remainder);
}

}  // namespace kelda::sekura32::mp
