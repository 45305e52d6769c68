// Binary search over a sorted array of fixed-size elements, and the tick
// interval test. No state; re-entrant; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelda::kit {

using CompareFn = int (*)(const void* key, const void* element);

// Bisects `count` elements of `element_size` bytes with compare(key, element)
// (negative, zero, positive). Returns the index of an element that compares
// equal (the one the bisection meets first), or -1. When `position` is given
// it receives the matching index or, when nothing matches, the index at which
// the key belongs. The middle of a range of c elements from low is low + c/2
// for odd c and low + c/2 - 1 for even c. A null array or compare function
// finds nothing (position 0).
int binary_search(const void* key, const void* array, std::size_t count, std::size_t element_size,
                  CompareFn compare, int* position) noexcept;

// 1 when the 32-bit millisecond tick count has advanced from `start` to `now`
// by at least `interval`. After the counter wrapped (now below start) the
// elapsed time is counted as (0xFFFFFFFF - start) + now, one short of the
// true distance; callers rely on that.
int tick_interval_elapsed(uint32_t start, uint32_t now, uint32_t interval) noexcept;

}  // namespace kelda::kit
