// Modular exponentiation, left-to-right binary: for each exponent bit from
// the top, square, and multiply by the base when the bit is set. The products
// and their reductions run on 64-bit limbs (two words each), which quarters
// the number of word multiplications; the results are those of the 32-bit
// reduction by the prepared modulus.
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

}  // namespace

int modular_exponent(Number destination, ConstNumber x, ConstNumber e, const PreparedModulus& m) noexcept {
  const std::size_t k = m.words;
  std::size_t nx = significant_length(x);
  if (nx > kMaxDoubleWords || k == 0 || k > kMaxWords) return -1;

  LimbModulus modulus;
  limb_modulus(modulus, m);
  const std::size_t n = modulus.n;
  Word words[kMaxDoubleWords] = {};
  Limb base[kMaxLimbs] = {}, result[kMaxLimbs] = {}, product[2 * kMaxLimbs];

  // base = x mod m
  std::memcpy(words, x.data(), nx * sizeof(Word));
  int answer = reduce(Number(words, std::max(nx, k)), m) < 0 ? -1 : 0;
  pack(base, n, words, k);
  // result = 1 mod m (0 for the modulus 1)
  bool modulus_one = k == 1 && m.normalised[0] == 0x80000000u && m.shift == 31;
  result[0] = modulus_one ? 0 : 1;

  std::size_t ne = significant_length(e);
  bool started = false;  // leading zero bits only square 1
  for (std::size_t w = ne; w-- > 0 && answer == 0;) {
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
  if (answer == 0) {
    std::fill(words, words + kMaxDoubleWords, 0);
    unpack(words, k, result);
    answer = copy(destination, ConstNumber(words, k)) != 0 ? -1 : 0;
  }
  wipe(words, sizeof words);
  wipe(base, sizeof base);
  wipe(result, sizeof result);
  wipe(product, sizeof product);
  wipe(&modulus, sizeof modulus);
  return answer;
}

int modular_exponent(Number destination, ConstNumber x, ConstNumber e, ConstNumber modulus) noexcept {
  PreparedModulus m;
  if (prepare(m, modulus) != 0) return -1;
  int answer = modular_exponent(destination, x, e, m);
  wipe(&m, sizeof m);
  return answer;
}

}  // namespace kelda::sekura32::mp
