// The library's frame as seen from inside: the per-thread state, the
// process-wide slots that the exports read and replace, and small helpers
// shared by every unit.
//
// Threading: thread_status() and the random-pool slot are per thread; the
// slots behind growth_function() and find_channel_function() are process-wide
// atomics (a host sets them before it works from several threads).
#pragma once

#include <cstdint>

#include "sekura32/sekura32.h"

namespace kelda::sekura32 {

class RandomPool;

// The calling thread's status word of the message layer (starts at 0).
uint32_t& thread_status() noexcept;

// The calling thread's random pool, made on first use; null when it cannot
// be allocated (callers answer 257).
RandomPool* thread_random_pool() noexcept;

// Growth function of the memory streams that the message functions wrap
// around their callers' buffers (initially skDummyRealloc).
SkGrowFunction growth_function() noexcept;
// Channel finder of message processing (LogUser at load).
SkFindChanFunction find_channel_function() noexcept;

// Seconds since 1970 that the library stamps on what it makes: always 0
// (streams and keys carry no creation time of their own).
inline uint32_t time_now() noexcept { return 0; }

// Asks the progress hook; a null hook never cancels.
inline bool tick_cancelled(void* context, const char* text) noexcept {
  SkTickActivityFunction hook = skTickActivity;
  return hook != nullptr && hook(context, text) != 0;
}

// Clears memory that held key material so that the compiler keeps the stores.
void wipe(void* data, std::size_t n) noexcept;

}  // namespace kelda::sekura32
