// Unsigned multiprecision integers: arrays of 32-bit words, least significant
// word first, always passed with their length (std::span). No global
// precision: every operation works over the lengths it is given.
//
// Limits: numbers used as moduli, exponents and operands of the modular
// operations have at most kMaxWords words (1280 bits); double-length products
// at most 2 * kMaxWords + 1. Longer inputs are refused with the error answer
// of the operation (never written past).
//
// Answers: carries and borrows 0 or 1; "did not fit" 1 (else 0); errors as
// negative values: -1 zero modulus, too long an operand, or cancelled through
// the progress hook; -2 exponentiation error inside the prime test; -3
// preparation failure; -4 even candidate; -5 out of memory.
//
// Threading: no state; functions are re-entrant. Work buffers live on the
// stack and are wiped before the functions return.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kelda::sekura32::mp {

using Word = uint32_t;
using Number = std::span<Word>;
using ConstNumber = std::span<const Word>;

inline constexpr std::size_t kMaxWords = 40;
inline constexpr std::size_t kMaxBits = kMaxWords * 32;
inline constexpr std::size_t kMaxDoubleWords = 2 * kMaxWords + 1;

// Words for a bit count: (bits + 31) / 32.
constexpr std::size_t words_for_bits(std::size_t bits) { return (bits + 31) / 32; }

// A zeroed number of n words from the library allocator (free with skFree);
// null when out of memory.
Word* allocate(std::size_t words) noexcept;

// Length less the leading zero words, but at least 1 (0 for an empty span).
std::size_t significant_length(ConstNumber x) noexcept;
std::size_t bit_length(ConstNumber x) noexcept;
bool is_zero(ConstNumber x) noexcept;

void set_zero(Number x) noexcept;
void set_word(Number x, Word value) noexcept;
// Zero-extends a shorter source; 1 when the source's significant part does
// not fit (the destination then holds its low words).
int copy(Number destination, ConstNumber source) noexcept;

int compare_word(ConstNumber x, Word value) noexcept;
// Missing high words count as zero.
int compare(ConstNumber a, ConstNumber b) noexcept;

Word add_word(Number x, Word value) noexcept;
Word subtract_word(Number x, Word value) noexcept;
// destination += source (source may be shorter; its words beyond the
// destination's length must be zero); carry out of the destination's length.
Word add(Number destination, ConstNumber source) noexcept;
Word subtract(Number destination, ConstNumber source) noexcept;
void negate(Number x) noexcept;
// Shifts by -31..31 bits (positive: towards the most significant end);
// returns the bits shifted out.
Word shift(Number x, int count) noexcept;

// destination += source * factor over the destination's length (which must
// be longer than the source); returns the carry out.
Word multiply_add_word(Number destination, ConstNumber source, Word factor) noexcept;
// destination = a * b; 1 when the product does not fit.
int multiply(Number destination, ConstNumber a, ConstNumber b) noexcept;
uint64_t multiply_words(Word a, Word b) noexcept;

// destination = x / 2^s; returns s (0 for odd x; 0 and a zero result for 0).
unsigned strip_twos(Number destination, ConstNumber x) noexcept;
// floor((2^64 - 1) / d) - 2^32 for a normalised d (top bit set); 2^32 - 1
// for d below 2^31 + 1.
Word reciprocal(Word d) noexcept;

// A modulus prepared for repeated reduction.
struct PreparedModulus {
  Word normalised[kMaxWords];  // the modulus shifted until its top bit is set
  std::size_t words;           // significant length
  Word top;                    // normalised top word
  Word below;                  // the word below it (0 for a one-word modulus)
  Word top_reciprocal;
  unsigned shift;  // 0..31
};

// -1 when the modulus is 0 or longer than kMaxWords significant words.
int prepare(PreparedModulus& prepared, ConstNumber modulus) noexcept;
// x = x mod m (x up to kMaxDoubleWords significant words, else -1); the
// quotient goes to `quotient` when it is not empty, and the answer is 1 when a
// non-zero quotient word did not fit it, else 0 (always 0 without a quotient).
int reduce(Number x, const PreparedModulus& m, Number quotient = {}) noexcept;
int reduce(Number x, ConstNumber modulus, Number quotient = {}) noexcept;
// destination = x mod m for a destination shorter than x (1 when the
// remainder does not fit; -1 errors).
int reduce_into(Number destination, ConstNumber x, ConstNumber modulus) noexcept;
// destination = a * b mod m.
int modular_multiply(Number destination, ConstNumber a, ConstNumber b, ConstNumber modulus) noexcept;
// destination = x^e mod m: Montgomery multiplication with a sliding window
// for an odd modulus, the left-to-right binary method for an even one. -1
// errors.
int modular_exponent(Number destination, ConstNumber x, ConstNumber e, const PreparedModulus& m) noexcept;
// The same number by the left-to-right binary method with a long division
// after every product, whatever the modulus (the reference the windowed path
// is checked against).
int modular_exponent_binary(Number destination, ConstNumber x, ConstNumber e, const PreparedModulus& m) noexcept;
int modular_exponent(Number destination, ConstNumber x, ConstNumber e, ConstNumber modulus) noexcept;

// Remainder of x / divisor (quotient when given), or -1 for divisor 0.
int64_t divide_word(Number quotient, ConstNumber x, Word divisor) noexcept;

// g = gcd(a, b); with `coefficient`, the magnitude c of the Bezout
// coefficient of a, so that a * (sign * c) = g (mod b). Returns the sign, +1
// or -1, or 0 when an operand is longer than kMaxWords significant words or
// an output is too short.
int extended_gcd(Number g, Number coefficient, ConstNumber a, ConstNumber b) noexcept;
// destination = a^-1 mod m: 0 done, 1 no inverse, -1 errors.
int modular_inverse(Number destination, ConstNumber a, ConstNumber modulus) noexcept;

// From big-endian bytes: 1 when non-zero bytes did not fit.
int from_bytes(Number destination, const uint8_t* bytes, std::size_t count) noexcept;
// The minimal big-endian bytes ((bits + 7) / 8, at most the capacity, the low
// ones kept when cut); returns the bit length.
std::size_t to_bytes(uint8_t* buffer, std::size_t capacity, ConstNumber x) noexcept;

// The first of the 1028 primes below 8192 that divides x, 0 when none does,
// -1 when the progress hook cancelled at a small factor.
int trial_division(ConstNumber x, void* progress_context) noexcept;
// Strong-pseudoprime test: 0 probably prime, positive composite ((base
// number from 1) * 4096, plus r when found at the square-root step), negative
// errors or cancellation.
int strong_test(ConstNumber n, const Word* bases, std::size_t base_count, void* progress_context) noexcept;

// The table of small primes, ended by 0.
const uint16_t* small_primes() noexcept;

}  // namespace kelda::sekura32::mp
