// Copying arrays of 16-, 32- and 64-bit values between native and wire
// (big-endian) order, and single values.
//
// Compilers do not vectorise a byte swap for plain x86-64 (it needs SSSE3),
// so on x86-64 the arrays are swapped 32 bytes at a time with AVX2 where the
// processor has it, else 16 at a time with SSE2 (every x86-64 has it).
// Elsewhere a plain loop, which the compiler vectorises where the target can.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kelda::de::detail {

template <typename T>
inline T load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
inline void store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

inline uint16_t swap(uint16_t v) { return __builtin_bswap16(v); }
inline uint32_t swap(uint32_t v) { return __builtin_bswap32(v); }
inline uint64_t swap(uint64_t v) { return __builtin_bswap64(v); }

// A value between native and big-endian order (the same swap both ways).
template <typename T>
inline T big_endian(T v) {
  if constexpr (std::endian::native == std::endian::little) return swap(v);
  return v;
}

// n values of type T (2, 4 or 8 bytes) from src to dst, each between native
// and big-endian order. A 64-bit value is its upper word, then its lower
// word, each big-endian: the whole value big-endian. The ranges do not
// overlap.
template <typename T>
void swap_copy(uint8_t* __restrict dst, const uint8_t* __restrict src, std::size_t n);

}  // namespace kelda::de::detail
