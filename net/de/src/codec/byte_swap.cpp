// Array byte swaps (byte_swap.h).
#include "byte_swap.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kelda::de::detail {
namespace {

#if defined(__x86_64__)

// Reverses the bytes of each T-sized lane of 32-byte blocks; returns the
// number of values done.
template <typename T>
__attribute__((target("avx2"))) std::size_t swap_avx2(uint8_t* dst, const uint8_t* src, std::size_t n) {
  alignas(32) uint8_t order[32];
  for (int i = 0; i < 32; ++i) {
    const int lane = i / static_cast<int>(sizeof(T)) * static_cast<int>(sizeof(T));
    order[i] = static_cast<uint8_t>(lane + static_cast<int>(sizeof(T)) - 1 - (i - lane)) & 15;
  }
  const __m256i mask = _mm256_load_si256(reinterpret_cast<const __m256i*>(order));
  constexpr std::size_t per_block = 32 / sizeof(T);
  std::size_t i = 0;
  for (; i + per_block <= n; i += per_block) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i * sizeof(T)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i * sizeof(T)), _mm256_shuffle_epi8(v, mask));
  }
  return i;
}

template <typename T>
std::size_t swap_sse2(uint8_t* dst, const uint8_t* src, std::size_t n) {
  constexpr std::size_t per_block = 16 / sizeof(T);
  std::size_t i = 0;
  for (; i + per_block <= n; i += per_block) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i * sizeof(T)));
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));  // bytes in each 16-bit word
    if constexpr (sizeof(T) == 4) {
      v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));  // words in each 32-bit value
      v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
    } else if constexpr (sizeof(T) == 8) {
      v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));  // words in each 64-bit value
      v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i * sizeof(T)), v);
  }
  return i;
}

bool has_avx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}

#endif

}  // namespace

template <typename T>
void swap_copy(uint8_t* __restrict dst, const uint8_t* __restrict src, std::size_t n) {
  if constexpr (std::endian::native == std::endian::big) {
    if (n > 0) std::memcpy(dst, src, n * sizeof(T));
    return;
  }
  std::size_t i = 0;
#if defined(__x86_64__)
  if (n * sizeof(T) >= 32 && has_avx2()) i = swap_avx2<T>(dst, src, n);
  i += swap_sse2<T>(dst + i * sizeof(T), src + i * sizeof(T), n - i);
#endif
  for (; i < n; ++i) store<T>(dst + i * sizeof(T), swap(load<T>(src + i * sizeof(T))));
}

template void swap_copy<uint16_t>(uint8_t* __restrict, const uint8_t* __restrict, std::size_t);
template void swap_copy<uint32_t>(uint8_t* __restrict, const uint8_t* __restrict, std::size_t);
template void swap_copy<uint64_t>(uint8_t* __restrict, const uint8_t* __restrict, std::size_t);

}  // namespace kelda::de::detail
