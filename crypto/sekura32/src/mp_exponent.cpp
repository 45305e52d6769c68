// Modular exponentiation on 64-bit limbs (two words each, which quarters the
// number of word multiplications).
//
// An odd modulus (every RSA modulus and prime candidate) takes Montgomery
// multiplication, R = 2^(64n) for n limbs, with a sliding window over the
// exponent: the odd powers of the base up to 2^w - 1 are made once, and each
// window of up to w bits that starts and ends with a set bit costs one
// multiplication after its squarings. An even modulus takes the left-to-right
// binary method with a long division after every product. Both give the
// number x^e mod m exactly.
#include <algorithm>
#include <cstring>

#include "frame.h"
#include "mp.h"

namespace kelda::sekura32::mp {
namespace {

using Limb = uint64_t;
using Wide = unsigned __int128;

constexpr std::size_t kMaxLimbs = (kMaxWords + 1) / 2;

// The modulus in limbs, shifted until the top bit of its top limb is set.
struct LimbModulus {
  Limb v[kMaxLimbs];
  std::size_t n;
  unsigned shift;
};

void pack(Limb* out, std::size_t limbs, const Word* in, std::size_t words) noexcept {
  for (std::size_t i = 0; i < limbs; ++i) {
    Limb low = 2 * i < words ? in[2 * i] : 0;
    Limb high = 2 * i + 1 < words ? in[2 * i + 1] : 0;
    out[i] = high << 32 | low;
  }
}

void unpack(Word* out, std::size_t words, const Limb* in) noexcept {
  for (std::size_t i = 0; i < words; ++i) out[i] = Word(in[i / 2] >> (32 * (i % 2)));
}

Limb shift_left(Limb* x, std::size_t n, unsigned s) noexcept {
  if (s == 0) return 0;
  Limb out = x[n - 1] >> (64 - s);
  for (std::size_t i = n - 1; i > 0; --i) x[i] = x[i] << s | x[i - 1] >> (64 - s);
  x[0] <<= s;
  return out;
}

void shift_right(Limb* x, std::size_t n, unsigned s) noexcept {
  if (s == 0) return;
  for (std::size_t i = 0; i + 1 < n; ++i) x[i] = x[i] >> s | x[i + 1] << (64 - s);
  x[n - 1] >>= s;
}

void limb_modulus(LimbModulus& m, const PreparedModulus& prepared) noexcept {
  Word raw[kMaxWords];
  std::memcpy(raw, prepared.normalised, prepared.words * sizeof(Word));
  shift(Number(raw, prepared.words), -int(prepared.shift));
  m.n = (prepared.words + 1) / 2;
  pack(m.v, m.n, raw, prepared.words);
  m.shift = unsigned(__builtin_clzll(m.v[m.n - 1]));
  shift_left(m.v, m.n, m.shift);
}

// out[0..2n) = a * b.
void multiply_limbs(Limb* out, const Limb* a, const Limb* b, std::size_t n) noexcept {
  std::fill(out, out + 2 * n, 0);
  for (std::size_t j = 0; j < n; ++j) {
    Limb carry = 0;
    for (std::size_t i = 0; i < n; ++i) {
      Wide t = Wide(a[i]) * b[j] + out[i + j] + carry;
      out[i + j] = Limb(t);
      carry = Limb(t >> 64);
    }
    out[j + n] = carry;
  }
}

// out[0..2n) = a * a: the cross products once, doubled, plus the squares.
void square_limbs(Limb* out, const Limb* a, std::size_t n) noexcept {
  std::fill(out, out + 2 * n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    Limb carry = 0;
    for (std::size_t j = i + 1; j < n; ++j) {
      Wide t = Wide(a[i]) * a[j] + out[i + j] + carry;
      out[i + j] = Limb(t);
      carry = Limb(t >> 64);
    }
    out[i + n] = carry;
  }
  shift_left(out, 2 * n, 1);
  Limb carry = 0;
  for (std::size_t i = 0; i < n; ++i) {
    Wide t = Wide(a[i]) * a[i] + out[2 * i] + carry;
    out[2 * i] = Limb(t);
    Wide high = Wide(out[2 * i + 1]) + Limb(t >> 64);
    out[2 * i + 1] = Limb(high);
    carry = Limb(high >> 64);
  }
}

// u[j..j+n] -= q * v; true when the result went negative.
bool subtract_multiple(Limb* u, const Limb* v, std::size_t n, Limb q) noexcept {
  Limb carry = 0, borrow = 0;
  for (std::size_t i = 0; i < n; ++i) {
    Wide p = Wide(q) * v[i] + carry;
    carry = Limb(p >> 64);
    Limb low = Limb(p);
    Limb before = u[i];
    Limb d = before - low;
    Limb b1 = before < low;
    u[i] = d - borrow;
    borrow = b1 | (d < borrow);
  }
  Limb before = u[n];
  Limb d = before - carry;
  Limb b1 = before < carry;
  u[n] = d - borrow;
  return (b1 | (d < borrow)) != 0;
}

void add_back(Limb* u, const Limb* v, std::size_t n) noexcept {
  Limb carry = 0;
  for (std::size_t i = 0; i < n; ++i) {
    Wide s = Wide(u[i]) + v[i] + carry;
    u[i] = Limb(s);
    carry = Limb(s >> 64);
  }
  u[n] += carry;
}

// r[0..n) = t[0..2n) mod m (schoolbook long division on normalised limbs).
void reduce_limbs(Limb* r, const Limb* t, const LimbModulus& m) noexcept {
  const std::size_t n = m.n;
  Limb u[2 * kMaxLimbs + 1];
  std::memcpy(u, t, 2 * n * sizeof(Limb));
  u[2 * n] = shift_left(u, 2 * n, m.shift);
  const Limb top = m.v[n - 1];
  const Limb below = n > 1 ? m.v[n - 2] : 0;
  for (std::size_t j = n + 1; j-- > 0;) {
    Wide numerator = Wide(u[j + n]) << 64 | u[j + n - 1];
    Wide q = numerator / top;
    Wide rest = numerator - q * top;
    Limb low = n > 1 ? u[j + n - 2] : 0;
    while ((q >> 64) != 0 || Wide(Limb(q)) * below > (rest << 64 | low)) {
      --q;
      rest += top;
      if ((rest >> 64) != 0) break;
    }
    if (q != 0 && subtract_multiple(u + j, m.v, n, Limb(q))) add_back(u + j, m.v, n);
  }
  shift_right(u, n, m.shift);
  std::memcpy(r, u, n * sizeof(Limb));
  wipe(u, sizeof u);
}

// ---- Montgomery arithmetic for an odd modulus ----

constexpr unsigned kMaxWindow = 6;

struct Montgomery {
  Limb m[kMaxLimbs];  // the modulus, not shifted
  std::size_t n;
  Limb inverse;  // -m^-1 mod 2^64
};

// -m0^-1 mod 2^64 for an odd m0 (Newton's iteration doubles the correct bits
// from the 3 that m0 itself gives).
Limb negated_inverse(Limb m0) noexcept {
  Limb x = m0;
  for (int round = 0; round < 5; ++round) x *= 2 - m0 * x;
  return Limb(0) - x;
}

// The column sums of the product-scanning multiplications: a 192-bit
// accumulator (acc the low 128 bits, high the top word). The products of one
// column do not depend on each other, so the multiplications overlap.
inline void multiply_accumulate(Wide& acc, Limb& high, Limb x, Limb y) noexcept {
  Wide sum;
  high += Limb(__builtin_add_overflow(acc, Wide(x) * y, &sum));
  acc = sum;
}

// Moves the accumulator down one limb, handing out the limb that leaves it.
inline Limb next_column(Wide& acc, Limb& high) noexcept {
  const Limb out = Limb(acc);
  acc = acc >> 64 | Wide(high) << 64;
  high = 0;
  return out;
}

// Adds a second accumulator into the first.
inline void merge(Wide& acc, Limb& high, Wide other, Limb other_high) noexcept {
  Wide sum;
  high += other_high + Limb(__builtin_add_overflow(acc, other, &sum));
  acc = sum;
}

// Scratch of the Montgomery operations, wiped once by their caller.
struct MontgomeryScratch {
  Limb q[kMaxLimbs];  // the reduction multiples, one per low column
  Limb t[kMaxLimbs];  // the result before the final subtraction
  Limb difference[kMaxLimbs];
};

// r[0..n) = a - m when a (n limbs and a carry bit) is at least m, else a.
template <std::size_t N>
void final_subtract(Limb* r, const Limb* a, Limb carry, const Montgomery& mm, Limb* difference) noexcept {
  const std::size_t n = N != 0 ? N : mm.n;
  Limb borrow = 0;
  for (std::size_t i = 0; i < n; ++i) {
    Limb d = a[i] - mm.m[i];
    Limb b1 = a[i] < mm.m[i];
    difference[i] = d - borrow;
    borrow = b1 | (d < borrow);
  }
  // a >= m exactly when the carry is set or the subtraction did not borrow.
  const bool keep_difference = carry != 0 || borrow == 0;
  std::memcpy(r, keep_difference ? difference : a, n * sizeof(Limb));
}

// Adds x[0] * y[0] + x[1] * y[-1] + ... (count terms) to the accumulator:
// one column's terms, with y walked down.
inline void column_terms(Wide& acc, Limb& high, const Limb* x, const Limb* y, std::size_t count) noexcept {
  for (std::size_t k = 0; k < count; ++k) multiply_accumulate(acc, high, x[k], *(y - k));
}

// Both kinds of terms of a column over the same count, in two accumulators
// so that their additions run side by side; the second is merged at the end.
inline void paired_terms(Wide& acc, Limb& high, const Limb* x, const Limb* y, const Limb* u, const Limb* v,
                         std::size_t count) noexcept {
  Wide other = 0;
  Limb other_high = 0;
  for (std::size_t k = 0; k < count; ++k) {
    multiply_accumulate(acc, high, x[k], *(y - k));
    multiply_accumulate(other, other_high, u[k], *(v - k));
  }
  merge(acc, high, other, other_high);
}

// Ends low column i (below n): q[i] is chosen so that the column's low limb
// becomes zero (interleaved Montgomery reduction), and the column moves out.
inline void end_low_column(Wide& acc, Limb& high, const Montgomery& mm, MontgomeryScratch& s, std::size_t i) noexcept {
  s.q[i] = Limb(acc) * mm.inverse;
  multiply_accumulate(acc, high, s.q[i], mm.m[0]);
  next_column(acc, high);
}

// r = a * b * R^-1 mod m for a, b below m (r may be a or b): the product and
// its reduction column by column (Montgomery multiplication by product
// scanning), then one conditional subtraction.
template <std::size_t N>
void montgomery_multiply(Limb* r, const Limb* a, const Limb* b, const Montgomery& mm, MontgomeryScratch& s) noexcept {
  const std::size_t n = N != 0 ? N : mm.n;
  Wide acc = 0;
  Limb high = 0;
  for (std::size_t i = 0; i < n; ++i) {
    // a[j] * b[i - j] for j = 0..i, q[j] * m[i - j] for j = 0..i-1.
    paired_terms(acc, high, a, b + i, s.q, mm.m + i, i);
    multiply_accumulate(acc, high, a[i], b[0]);
    end_low_column(acc, high, mm, s, i);
  }
  for (std::size_t i = n; i < 2 * n - 1; ++i) {
    const std::size_t from = i - n + 1;
    paired_terms(acc, high, a + from, b + n - 1, s.q + from, mm.m + n - 1, n - from);
    s.t[i - n] = next_column(acc, high);
  }
  s.t[n - 1] = Limb(acc);
  final_subtract<N>(r, s.t, Limb(acc >> 64), mm, s.difference);
}

// The doubled cross products a[j] * a[i - j], j from `from` while j < i - j,
// and the square a[i / 2]^2 of an even column i.
inline void square_terms(Wide& acc, Limb& high, const Limb* a, std::size_t i, std::size_t from) noexcept {
  Wide cross = 0;
  Limb cross_high = 0;
  const std::size_t half = (i + 1) / 2;
  if (half > from) column_terms(cross, cross_high, a + from, a + i - from, half - from);
  cross_high = cross_high << 1 | Limb(cross >> 127);
  cross <<= 1;
  merge(acc, high, cross, cross_high);
  if (i % 2 == 0) multiply_accumulate(acc, high, a[i / 2], a[i / 2]);
}

// r = a^2 * R^-1 mod m for a below m (r may be a): as the multiplication, with
// each cross product of a column taken once and doubled.
template <std::size_t N>
void montgomery_square(Limb* r, const Limb* a, const Montgomery& mm, MontgomeryScratch& s) noexcept {
  const std::size_t n = N != 0 ? N : mm.n;
  Wide acc = 0;
  Limb high = 0;
  for (std::size_t i = 0; i < n; ++i) {
    square_terms(acc, high, a, i, 0);
    column_terms(acc, high, s.q, mm.m + i, i);
    end_low_column(acc, high, mm, s, i);
  }
  for (std::size_t i = n; i < 2 * n - 1; ++i) {
    const std::size_t from = i - n + 1;
    square_terms(acc, high, a, i, from);
    column_terms(acc, high, s.q + from, mm.m + n - 1, n - from);
    s.t[i - n] = next_column(acc, high);
  }
  s.t[n - 1] = Limb(acc);
  final_subtract<N>(r, s.t, Limb(acc >> 64), mm, s.difference);
}

// Window width for an exponent of `bits` bits (fewer multiplications against
// the cost of the table of odd powers).
unsigned window_bits(std::size_t bits) noexcept {
  if (bits > 671) return 6;
  if (bits > 239) return 5;
  if (bits > 79) return 4;
  if (bits > 23) return 3;
  return 1;
}

bool exponent_bit(ConstNumber e, std::size_t bit) noexcept { return ((e[bit / 32] >> (bit % 32)) & 1) != 0; }

// out[0..k words) = base^e mod m for base below m, both as limbs of the
// prepared modulus' length; m odd and above 1. N is the number of limbs when
// it is known when compiling (the loops then unroll), else 0.
template <std::size_t N>
void montgomery_exponent(Limb* out, const Limb* base, ConstNumber e, const LimbModulus& normalised,
                         const Limb* modulus) noexcept {
  Montgomery mm;
  mm.n = normalised.n;
  std::memcpy(mm.m, modulus, mm.n * sizeof(Limb));
  mm.inverse = negated_inverse(mm.m[0]);
  const std::size_t n = N != 0 ? N : mm.n;

  Limb work[2 * kMaxLimbs];
  Limb table[1u << (kMaxWindow - 1)][kMaxLimbs];  // base^1, base^3, ... in Montgomery form
  Limb result[kMaxLimbs], square[kMaxLimbs];
  MontgomeryScratch scratch;

  // base * R mod m by long division; then base^2 for the odd powers.
  std::fill(work, work + 2 * n, 0);
  std::memcpy(work + n, base, n * sizeof(Limb));
  reduce_limbs(table[0], work, normalised);

  const std::size_t bits = bit_length(e);
  const unsigned w = window_bits(bits);
  const std::size_t powers = std::size_t(1) << (w - 1);
  if (powers > 1) {
    montgomery_square<N>(square, table[0], mm, scratch);
    for (std::size_t k = 1; k < powers; ++k) montgomery_multiply<N>(table[k], table[k - 1], square, mm, scratch);
  }

  // result = R mod m (1 in Montgomery form) until the first window.
  std::fill(work, work + 2 * n, 0);
  work[n] = 1;
  reduce_limbs(result, work, normalised);

  bool one = true;  // result still 1: its squarings are skipped
  std::size_t i = bits;
  while (i > 0) {
    if (!exponent_bit(e, i - 1)) {
      if (!one) montgomery_square<N>(result, result, mm, scratch);
      --i;
      continue;
    }
    // The longest window of at most w bits from bit i - 1 down that ends
    // with a set bit.
    std::size_t low = i > w ? i - w : 0;
    while (!exponent_bit(e, low)) ++low;
    std::size_t value = 0;
    for (std::size_t b = i; b-- > low;) value = value << 1 | (exponent_bit(e, b) ? 1 : 0);
    if (one) {
      std::memcpy(result, table[value >> 1], n * sizeof(Limb));
      one = false;
    } else {
      for (std::size_t b = low; b < i; ++b) montgomery_square<N>(result, result, mm, scratch);
      montgomery_multiply<N>(result, result, table[value >> 1], mm, scratch);
    }
    i = low;
  }

  // Out of Montgomery form: result * 1 * R^-1.
  Limb unit[kMaxLimbs] = {1};
  montgomery_multiply<N>(out, result, unit, mm, scratch);

  wipe(work, sizeof work);
  wipe(table, sizeof table);
  wipe(result, sizeof result);
  wipe(square, sizeof square);
  wipe(&scratch, sizeof scratch);
  wipe(&mm, sizeof mm);
}

// The common sizes: 256, 512, 640, 1024 and 1280 bits (the moduli of the
// library's keys and their primes).
void montgomery_exponent_any(Limb* out, const Limb* base, ConstNumber e, const LimbModulus& normalised,
                             const Limb* modulus) noexcept {
  switch (normalised.n) {
    case 4: return montgomery_exponent<4>(out, base, e, normalised, modulus);
    case 8: return montgomery_exponent<8>(out, base, e, normalised, modulus);
    case 10: return montgomery_exponent<10>(out, base, e, normalised, modulus);
    case 16: return montgomery_exponent<16>(out, base, e, normalised, modulus);
    case 20: return montgomery_exponent<20>(out, base, e, normalised, modulus);
    default: return montgomery_exponent<0>(out, base, e, normalised, modulus);
  }
}

// out = base^e mod m, left to right, one bit at a time.
void binary_exponent(Limb* out, const Limb* base, ConstNumber e, const LimbModulus& modulus, bool modulus_one) noexcept {
  const std::size_t n = modulus.n;
  Limb result[kMaxLimbs] = {}, product[2 * kMaxLimbs];
  // result = 1 mod m (0 for the modulus 1)
  result[0] = modulus_one ? 0 : 1;
  std::size_t ne = significant_length(e);
  bool started = false;  // leading zero bits only square 1
  for (std::size_t w = ne; w-- > 0;) {
    for (int bit = 31; bit >= 0; --bit) {
      bool set = ((e[w] >> bit) & 1) != 0;
      if (!started && !set) continue;
      started = true;
      square_limbs(product, result, n);
      reduce_limbs(result, product, modulus);
      if (set) {
        multiply_limbs(product, result, base, n);
        reduce_limbs(result, product, modulus);
      }
    }
  }
  std::memcpy(out, result, n * sizeof(Limb));
  wipe(result, sizeof result);
  wipe(product, sizeof product);
}

int exponent(Number destination, ConstNumber x, ConstNumber e, const PreparedModulus& m, bool windowed) noexcept {
  const std::size_t k = m.words;
  std::size_t nx = significant_length(x);
  if (nx > kMaxDoubleWords || k == 0 || k > kMaxWords) return -1;

  LimbModulus modulus;
  limb_modulus(modulus, m);
  const std::size_t n = modulus.n;
  Word words[kMaxDoubleWords] = {};
  Limb base[kMaxLimbs] = {}, result[kMaxLimbs] = {}, raw[kMaxLimbs] = {};

  // base = x mod m
  std::memcpy(words, x.data(), nx * sizeof(Word));
  int answer = reduce(Number(words, std::max(nx, k)), m) < 0 ? -1 : 0;
  pack(base, n, words, k);
  // The modulus as it is (the prepared one is normalised).
  std::memcpy(words, m.normalised, k * sizeof(Word));
  shift(Number(words, k), -int(m.shift));
  pack(raw, n, words, k);
  const bool modulus_one = k == 1 && words[0] == 1;
  if (answer == 0) {
    if (windowed && (raw[0] & 1) != 0 && !modulus_one) {
      montgomery_exponent_any(result, base, e, modulus, raw);
    } else {
      binary_exponent(result, base, e, modulus, modulus_one);
    }
    std::fill(words, words + kMaxDoubleWords, 0);
    unpack(words, k, result);
    answer = copy(destination, ConstNumber(words, k)) != 0 ? -1 : 0;
  }
  wipe(words, sizeof words);
  wipe(base, sizeof base);
  wipe(result, sizeof result);
  wipe(raw, sizeof raw);
  wipe(&modulus, sizeof modulus);
  return answer;
}

}  // namespace

int modular_exponent(Number destination, ConstNumber x, ConstNumber e, const PreparedModulus& m) noexcept {
  return exponent(destination, x, e, m, true);
}

int modular_exponent_binary(Number destination, ConstNumber x, ConstNumber e, const PreparedModulus& m) noexcept {
  return exponent(destination, x, e, m, false);
}

int modular_exponent(Number destination, ConstNumber x, ConstNumber e, ConstNumber modulus) noexcept {
  PreparedModulus m;
  if (prepare(m, modulus) != 0) return -1;
  int answer = modular_exponent(destination, x, e, m);
  wipe(&m, sizeof m);
  return answer;
}

}  // namespace kelda::sekura32::mp
