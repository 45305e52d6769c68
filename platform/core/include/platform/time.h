// Clocks and calendar conversions between SYSTEMTIME and FILETIME.
//
// The conversions are pure calendar arithmetic (proleptic Gregorian, no time
// zone step) and fail exactly where the original platform's do: a FILETIME at
// or above 2^63, or a SYSTEMTIME field out of range (year 1601-30827, month
// 1-12, day within the month, hour < 24, minute < 60, second < 60,
// milliseconds < 1000; the weekday is ignored on input and filled on output).
// The tick count is a 32-bit millisecond counter that wraps; tests may move
// its origin. The local offset follows the process's time zone (TZ).
// All functions are thread-safe and never throw.
#pragma once

#include <cstdint>

#include "platform/export.h"
#include "platform/win_types.h"

namespace kelda::platform {

inline constexpr uint64_t kFileTimeUnitsPerSecond = 10'000'000ull;
inline constexpr uint64_t kFileTimeUnitsPerDay = 864'000'000'000ull;
inline constexpr uint64_t kFileTimeOf1970 = 116'444'736'000'000'000ull;

constexpr uint64_t to_u64(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
constexpr FILETIME to_filetime(uint64_t units) {
  return FILETIME{static_cast<uint32_t>(units), static_cast<uint32_t>(units >> 32)};
}

KELDA_PLATFORM_API bool system_time_to_file_time(const SYSTEMTIME& st, FILETIME& out) noexcept;
KELDA_PLATFORM_API bool file_time_to_system_time(const FILETIME& ft, SYSTEMTIME& out) noexcept;

// Universal and local time now.
KELDA_PLATFORM_API SYSTEMTIME system_time_now() noexcept;
KELDA_PLATFORM_API SYSTEMTIME local_time_now() noexcept;
KELDA_PLATFORM_API FILETIME file_time_now() noexcept;

// Local time minus universal time at the given universal moment, in seconds.
KELDA_PLATFORM_API int64_t local_offset_seconds(int64_t unix_seconds) noexcept;
KELDA_PLATFORM_API bool file_time_to_local(const FILETIME& utc, FILETIME& out) noexcept;
KELDA_PLATFORM_API bool local_to_file_time(const FILETIME& local, FILETIME& out) noexcept;

// Milliseconds since an arbitrary origin, wrapping at 2^32.
KELDA_PLATFORM_API uint32_t tick_count() noexcept;

namespace test_hooks {
// Makes tick_count() return `value` now and count on from there (for wrap tests).
KELDA_PLATFORM_API void set_tick_count(uint32_t value) noexcept;
}  // namespace test_hooks

}  // namespace kelda::platform
