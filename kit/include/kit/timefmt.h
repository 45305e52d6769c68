// Dates and times over the platform's SYSTEMTIME and FILETIME: seconds since
// 1970, broken-down times, local and universal time, and the classic
// 25-character time text.
//
// Seconds since 1970 are 32 bits: converted to a FILETIME as an unsigned
// value, converted back by signed 64-bit division truncated to 32 bits (so
// the range that survives a round trip is 1970 to 2106).
// The local offset (local time now minus universal time now) is read from the
// platform at every call, never cached; it applies to every time converted by
// that call, whatever the time's own date.
// Static results (the broken-down times and the texts) are per thread: the
// next call of the same function on the same thread overwrites them.
// Nothing throws.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace kelda::kit {

using Time32 = int32_t;  // seconds since 1970-01-01 00:00 UTC

// Broken-down time: nine 32-bit fields in the standard order.
struct BrokenDownTime {
  int32_t tm_sec;
  int32_t tm_min;
  int32_t tm_hour;
  int32_t tm_mday;   // 1-31
  int32_t tm_mon;    // 0-11
  int32_t tm_year;   // years since 1900
  int32_t tm_wday;   // 0 = Sunday
  int32_t tm_yday;   // 0 = 1 January
  int32_t tm_isdst;  // always 0
};
static_assert(sizeof(BrokenDownTime) == 36);

// 1 January of the year, 00:00:00.000. Returns 1, or 0 (dest zeroed) for a
// year the platform's calendar does not hold (before 1601, after 30827).
int filetime_of_year(FILETIME& dest, int year) noexcept;

// Whole days from 1 January of the time's year (0 on 1 January); -1 when the
// SYSTEMTIME is not a valid date.
int systemtime_day_of_year(const SYSTEMTIME& time) noexcept;

// Field-by-field copies (milliseconds 0; day of year computed; daylight 0).
void tm_to_systemtime(SYSTEMTIME& dest, const BrokenDownTime& time) noexcept;
void systemtime_to_tm(BrokenDownTime& dest, const SYSTEMTIME& time) noexcept;

Time32 filetime_to_time(const FILETIME& time) noexcept;
void time_to_filetime(FILETIME& dest, Time32 seconds) noexcept;

// Universal time now, stored through `out` and returned; a null pointer
// returns 0 and stores nothing.
Time32 time_now(Time32* out) noexcept;

// The local and the universal broken-down time of *seconds, each in a static
// record of its own; null for a null pointer or a time the calendar cannot
// hold.
BrokenDownTime* local_time_of(const Time32* seconds) noexcept;
BrokenDownTime* utc_time_of(const Time32* seconds) noexcept;

// Seconds since 1970 of a broken-down local time (converts whatever fields it
// is given; -1 when they do not make a date).
Time32 make_time(const BrokenDownTime& local) noexcept;
// The client library's variant: -1 when the year, month, day, hour, minute or
// second field is negative, else make_time.
Time32 make_time_checked(const BrokenDownTime& local) noexcept;

// "Www Mmm dd hh:mm:ss yyyy\n" of the local time of *seconds (null for a null
// pointer), and of a broken-down time. Day names come from
// "Sun Mon Tue Wed Thr Fri Sat", month names from
// "Jan Feb Mar Apl May Jun Jul Aug Sep Oct Nov Dec" (these spellings are the
// system's own); a day of week or month out of range gives "???".
const char* time_text(const Time32* seconds) noexcept;
const char* tm_text(const BrokenDownTime& time) noexcept;

// The two trivial entries: the time unchanged, and a FILETIME of two words
// (low word first).
Time32 time_unchanged(Time32 seconds) noexcept;
FILETIME filetime_of_words(uint32_t low, uint32_t high) noexcept;

}  // namespace kelda::kit
