// Number theory over the multiprecision words: extended Euclid and the
// modular inverse, trial division by the small primes, and the
// strong-pseudoprime test.
#include <array>
#include <cstring>

#include "frame.h"
#include "mp.h"

namespace kelda::sekura32::mp {
namespace {

constexpr std::size_t kSmallPrimeCount = 1028;  // every prime below 8192

constexpr std::array<uint16_t, kSmallPrimeCount + 1> make_small_primes() {
  std::array<uint16_t, kSmallPrimeCount + 1> primes{};
  std::size_t count = 0;
  for (uint32_t candidate = 2; candidate < 8192; ++candidate) {
    bool prime = true;
    for (uint32_t d = 2; d * d <= candidate; ++d)
      if (candidate % d == 0) {
        prime = false;
        break;
      }
    if (prime) primes[count++] = uint16_t(candidate);
  }
  return primes;
}

constexpr auto kSmallPrimes = make_small_primes();
static_assert(kSmallPrimes[kSmallPrimeCount - 1] == 8191 && kSmallPrimes[kSmallPrimeCount] == 0);

constexpr std::size_t kWork = kMaxWords + 1;

// Wipes a set of work numbers when the scope ends.
template <std::size_t N>
struct Wiper {
  std::array<Word*, N> numbers;
  std::size_t words;
  ~Wiper() {
    for (Word* number : numbers) wipe(number, words * sizeof(Word));
  }
};

}  // namespace

const uint16_t* small_primes() noexcept { return kSmallPrimes.data(); }

int extended_gcd(Number g, Number coefficient, ConstNumber a, ConstNumber b) noexcept {
  if (significant_length(a) > kMaxWords || significant_length(b) > kMaxWords) return 0;
  Word r0[kWork] = {}, r1[kWork] = {}, s0[kWork] = {}, s1[kWork] = {}, q[kWork] = {};
  Word product[2 * kWork + 1] = {};
  Wiper<6> wiper{{r0, r1, s0, s1, q, product}, kWork};
  copy(Number(r0), a);
  copy(Number(r1), b);
  s0[0] = 1;
  int sign = 1;
  while (!is_zero(ConstNumber(r1))) {
    // r0, r1 = r1, r0 mod r1 with the quotient q; s0, s1 = s1, s0 + q * s1.
    if (reduce(Number(r0), ConstNumber(r1), Number(q)) != 0) return 0;
    std::swap(r0, r1);
    std::fill(std::begin(product), std::end(product), 0);
    multiply(Number(product), ConstNumber(q), ConstNumber(s1));
    add(Number(product), ConstNumber(s0));
    if (significant_length(ConstNumber(product)) > kWork) return 0;
    std::memcpy(s0, s1, sizeof s0);
    std::memcpy(s1, product, sizeof s1);
    sign = -sign;
  }
  if (copy(g, ConstNumber(r0)) != 0) return 0;
  if (!coefficient.empty() && copy(coefficient, ConstNumber(s0)) != 0) return 0;
  return sign;
}

int modular_inverse(Number destination, ConstNumber a, ConstNumber modulus) noexcept {
  if (is_zero(modulus) || significant_length(modulus) > kMaxWords) return -1;
  Word g[kWork] = {}, c[kWork] = {};
  Wiper<2> wiper{{g, c}, kWork};
  int sign = extended_gcd(Number(g), Number(c), a, modulus);
  if (sign == 0) return -1;
  if (compare_word(ConstNumber(g), 1) != 0) return 1;
  if (reduce(Number(c), modulus) < 0) return -1;
  if (sign < 0 && !is_zero(ConstNumber(c))) {
    Word m[kWork] = {};
    copy(Number(m), modulus);
    subtract(Number(m), ConstNumber(c));
    std::memcpy(c, m, sizeof c);
    wipe(m, sizeof m);
  }
  return copy(destination, ConstNumber(c)) != 0 ? -1 : 0;
}

int trial_division(ConstNumber x, void* progress_context) noexcept {
  for (const uint16_t* prime = small_primes(); *prime != 0; ++prime) {
    if (divide_word({}, x, *prime) != 0) continue;
    if (tick_cancelled(progress_context, ".")) return -1;
    return *prime;
  }
  return 0;
}

int strong_test(ConstNumber n, const Word* bases, std::size_t base_count, void* progress_context) noexcept {
  std::size_t k = significant_length(n);
  if (k > kMaxWords) return -3;
  Word d[kMaxWords] = {}, x[kMaxWords] = {}, base[1] = {};
  Word product[2 * kMaxWords + 1] = {};
  Wiper<3> wiper{{d, x, product}, kMaxWords};
  copy(Number(d, k), n);
  if (subtract_word(Number(d, k), 1) != 0) return -4;
  unsigned s = strip_twos(Number(d, k), ConstNumber(d, k));
  if (s == 0) return -4;
  PreparedModulus m;
  if (prepare(m, n) != 0) return -3;

  for (std::size_t index = 0; index < base_count; ++index) {
    base[0] = bases[index];
    if (modular_exponent(Number(x, k), ConstNumber(base), ConstNumber(d, k), m) != 0) return -2;
    int composite = 0;
    if (compare_word(ConstNumber(x, k), 1) != 0) {
      for (unsigned r = 1;; ++r) {
        if (r > s) {
          composite = 1;
          break;
        }
        std::fill(product, product + 2 * k + 1, 0);
        multiply(Number(product, 2 * k + 1), ConstNumber(x, k), ConstNumber(x, k));
        if (reduce(Number(product, 2 * k + 1), m) != 0) return -2;
        if (compare_word(ConstNumber(product, k), 1) == 0) {
          add_word(Number(x, k), 1);
          if (compare(ConstNumber(x, k), n) != 0) composite = int(r);
          break;
        }
        std::memcpy(x, product, k * sizeof(Word));
      }
    }
    if (composite != 0) {
      if (tick_cancelled(progress_context, "-")) return -1;
      // A square root of 1 other than +/-1 names its step; running past s
      // (Fermat's test failed) does not.
      bool at_root = compare_word(ConstNumber(product, k), 1) == 0 && unsigned(composite) <= s;
      return int(index + 1) * 4096 + (at_root ? composite : 0);
    }
    if (tick_cancelled(progress_context, "+")) return -1;
  }
  wipe(&m, sizeof m);
  return 0;
}

}  // namespace kelda::sekura32::mp
