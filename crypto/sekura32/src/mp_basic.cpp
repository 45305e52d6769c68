// Multiprecision basics: lengths, comparison, addition and subtraction,
// shifts, multiplication, byte conversion.
#include <algorithm>
#include <cstring>

#include "frame.h"
#include "mp.h"

namespace kelda::sekura32::mp {

Word* allocate(std::size_t words) noexcept {
  return static_cast<Word*>(skCalloc(words != 0 ? words : 1, sizeof(Word)));
}

std::size_t significant_length(ConstNumber x) noexcept {
  std::size_t n = x.size();
  while (n > 1 && x[n - 1] == 0) --n;
  return n;
}

std::size_t bit_length(ConstNumber x) noexcept {
  if (x.empty()) return 0;
  std::size_t n = significant_length(x);
  Word top = x[n - 1];
  return 32 * (n - 1) + (top == 0 ? 0 : 32 - std::size_t(__builtin_clz(top)));
}

bool is_zero(ConstNumber x) noexcept {
  return std::all_of(x.begin(), x.end(), [](Word w) { return w == 0; });
}

void set_zero(Number x) noexcept { std::fill(x.begin(), x.end(), 0); }

void set_word(Number x, Word value) noexcept {
  set_zero(x);
  if (!x.empty()) x[0] = value;
}

int copy(Number destination, ConstNumber source) noexcept {
  std::size_t n = std::min(destination.size(), source.size());
  std::memmove(destination.data(), source.data(), n * sizeof(Word));
  std::fill(destination.begin() + n, destination.end(), 0);
  for (std::size_t i = n; i < source.size(); ++i)
    if (source[i] != 0) return 1;
  return 0;
}

int compare_word(ConstNumber x, Word value) noexcept {
  for (std::size_t i = x.size(); i > 1; --i)
    if (x[i - 1] != 0) return 1;
  Word low = x.empty() ? 0 : x[0];
  return low > value ? 1 : low < value ? -1 : 0;
}

int compare(ConstNumber a, ConstNumber b) noexcept {
  for (std::size_t i = std::max(a.size(), b.size()); i > 0; --i) {
    Word x = i <= a.size() ? a[i - 1] : 0;
    Word y = i <= b.size() ? b[i - 1] : 0;
    if (x != y) return x > y ? 1 : -1;
  }
  return 0;
}

Word add_word(Number x, Word value) noexcept {
  uint64_t carry = value;
  for (std::size_t i = 0; i < x.size() && carry != 0; ++i) {
    carry += x[i];
    x[i] = Word(carry);
    carry >>= 32;
  }
  return Word(carry != 0);
}

Word subtract_word(Number x, Word value) noexcept {
  Word borrow = value;
  for (std::size_t i = 0; i < x.size() && borrow != 0; ++i) {
    Word before = x[i];
    x[i] = before - borrow;
    borrow = before < borrow ? 1 : 0;
  }
  return borrow != 0 ? 1 : 0;
}

Word add(Number destination, ConstNumber source) noexcept {
  uint64_t carry = 0;
  std::size_t n = std::min(destination.size(), source.size());
  std::size_t i = 0;
  for (; i < n; ++i) {
    carry += uint64_t(destination[i]) + source[i];
    destination[i] = Word(carry);
    carry >>= 32;
  }
  for (; i < destination.size() && carry != 0; ++i) {
    carry += destination[i];
    destination[i] = Word(carry);
    carry >>= 32;
  }
  return Word(carry);
}

Word subtract(Number destination, ConstNumber source) noexcept {
  Word borrow = 0;
  std::size_t n = std::min(destination.size(), source.size());
  std::size_t i = 0;
  for (; i < n; ++i) {
    uint64_t d = uint64_t(destination[i]) - source[i] - borrow;
    destination[i] = Word(d);
    borrow = Word(d >> 63);
  }
  for (; i < destination.size() && borrow != 0; ++i) {
    Word before = destination[i];
    destination[i] = before - 1;
    borrow = before == 0 ? 1 : 0;
  }
  return borrow;
}

void negate(Number x) noexcept {
  for (Word& w : x) w = ~w;
  add_word(x, 1);
}

Word shift(Number x, int count) noexcept {
  if (count == 0 || x.empty()) return 0;
  if (count > 0) {
    unsigned s = unsigned(count) & 31;
    if (s == 0) return 0;
    Word out = x.back() >> (32 - s);
    for (std::size_t i = x.size() - 1; i > 0; --i) x[i] = x[i] << s | x[i - 1] >> (32 - s);
    x[0] <<= s;
    return out;
  }
  unsigned s = unsigned(-count) & 31;
  if (s == 0) return 0;
  Word out = x[0] & ((Word(1) << s) - 1);
  for (std::size_t i = 0; i + 1 < x.size(); ++i) x[i] = x[i] >> s | x[i + 1] << (32 - s);
  x.back() >>= s;
  return out;
}

uint64_t multiply_words(Word a, Word b) noexcept { return uint64_t(a) * b; }

Word multiply_add_word(Number destination, ConstNumber source, Word factor) noexcept {
  uint64_t carry = 0;
  std::size_t n = std::min(destination.size(), source.size());
  std::size_t i = 0;
  for (; i < n; ++i) {
    carry += uint64_t(source[i]) * factor + destination[i];
    destination[i] = Word(carry);
    carry >>= 32;
  }
  for (; i < destination.size() && carry != 0; ++i) {
    carry += destination[i];
    destination[i] = Word(carry);
    carry >>= 32;
  }
  return Word(carry);
}

int multiply(Number destination, ConstNumber a, ConstNumber b) noexcept {
  std::size_t na = significant_length(a);
  std::size_t nb = significant_length(b);
  Word product[kMaxDoubleWords + 1];
  if (na + nb > std::size(product)) return 1;
  std::size_t n = na + nb;
  std::fill(product, product + n, 0);
  for (std::size_t j = 0; j < nb; ++j) {
    Word factor = b[j];
    if (factor == 0) continue;
    uint64_t carry = 0;
    for (std::size_t i = 0; i < na; ++i) {
      carry += uint64_t(a[i]) * factor + product[i + j];
      product[i + j] = Word(carry);
      carry >>= 32;
    }
    product[j + na] = Word(carry);
  }
  int overflow = copy(destination, ConstNumber(product, n));
  wipe(product, n * sizeof(Word));
  return overflow;
}

unsigned strip_twos(Number destination, ConstNumber x) noexcept {
  copy(destination, x);
  std::size_t zero_words = 0;
  while (zero_words < destination.size() && destination[zero_words] == 0) ++zero_words;
  if (zero_words == destination.size()) return 0;
  unsigned bits = unsigned(__builtin_ctz(destination[zero_words]));
  if (zero_words != 0) {
    std::memmove(destination.data(), destination.data() + zero_words,
                 (destination.size() - zero_words) * sizeof(Word));
    std::fill(destination.end() - std::ptrdiff_t(zero_words), destination.end(), 0);
  }
  shift(destination, -int(bits));
  return unsigned(zero_words * 32 + bits);
}

Word reciprocal(Word d) noexcept {
  if (d < 0x80000001u) return 0xFFFFFFFFu;
  return Word(~uint64_t(0) / d - (uint64_t(1) << 32));
}

int from_bytes(Number destination, const uint8_t* bytes, std::size_t count) noexcept {
  set_zero(destination);
  int lost = 0;
  for (std::size_t k = 0; k < count; ++k) {
    std::size_t position = count - 1 - k;  // byte k from the least significant end
    uint8_t byte = bytes[position];
    std::size_t word = k / 4;
    if (word >= destination.size()) {
      if (byte != 0) lost = 1;
      continue;
    }
    destination[word] |= Word(byte) << (8 * (k % 4));
  }
  return lost;
}

std::size_t to_bytes(uint8_t* buffer, std::size_t capacity, ConstNumber x) noexcept {
  std::size_t bits = bit_length(x);
  std::size_t count = std::min((bits + 7) / 8, capacity);
  for (std::size_t k = 0; k < count; ++k)
    buffer[count - 1 - k] = uint8_t(x[k / 4] >> (8 * (k % 4)));
  return bits;
}

}  // namespace kelda::sekura32::mp
