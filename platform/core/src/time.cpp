// Calendar conversions (proleptic Gregorian), clocks and the tick count.
#include "platform/time.h"

#include <atomic>
#include <chrono>
#include <ctime>

namespace kelda::platform {

namespace {

constexpr uint64_t kUnitsPerMs = 10'000;
constexpr uint64_t kFileTimeLimit = 1ull << 63;

// Days since 1970-01-01 of a civil date (Howard Hinnant's algorithm).
constexpr int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct CivilDate {
  int64_t year;
  unsigned month;
  unsigned day;
};

constexpr CivilDate civil_from_days(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {y + (m <= 2), m, d};
}

constexpr bool is_leap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

constexpr unsigned days_in_month(int64_t y, unsigned m) {
  constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : kDays[m - 1];
}

constexpr int64_t kDaysFrom1601To1970 = -days_from_civil(1601, 1, 1);  // 134774
static_assert(kDaysFrom1601To1970 * 86400 * 10'000'000ll == static_cast<int64_t>(kFileTimeOf1970));

uint64_t steady_ms() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::atomic<uint32_t> g_tick_bias{0};

FILETIME filetime_from_system_clock() {
  using namespace std::chrono;
  const auto units = duration_cast<duration<int64_t, std::ratio<1, 10'000'000>>>(
                         system_clock::now().time_since_epoch())
                         .count();
  return to_filetime(kFileTimeOf1970 + static_cast<uint64_t>(units));
}

}  // namespace

bool system_time_to_file_time(const SYSTEMTIME& st, FILETIME& out) noexcept {
  if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
      st.wDay > days_in_month(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 ||
      st.wSecond > 59 || st.wMilliseconds > 999) {
    return false;
  }
  const int64_t days = days_from_civil(st.wYear, st.wMonth, st.wDay) + kDaysFrom1601To1970;
  const uint64_t ms = ((static_cast<uint64_t>(days) * 24 + st.wHour) * 60 + st.wMinute) * 60 * 1000 +
                      static_cast<uint64_t>(st.wSecond) * 1000 + st.wMilliseconds;
  out = to_filetime(ms * kUnitsPerMs);
  return true;
}

bool file_time_to_system_time(const FILETIME& ft, SYSTEMTIME& out) noexcept {
  const uint64_t units = to_u64(ft);
  if (units >= kFileTimeLimit) return false;
  const uint64_t total_ms = units / kUnitsPerMs;
  const uint64_t days = total_ms / 86'400'000ull;
  uint64_t rest = total_ms % 86'400'000ull;
  const CivilDate date = civil_from_days(static_cast<int64_t>(days) - kDaysFrom1601To1970);
  out.wYear = static_cast<uint16_t>(date.year);
  out.wMonth = static_cast<uint16_t>(date.month);
  out.wDay = static_cast<uint16_t>(date.day);
  out.wDayOfWeek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
  out.wHour = static_cast<uint16_t>(rest / 3'600'000);
  rest %= 3'600'000;
  out.wMinute = static_cast<uint16_t>(rest / 60'000);
  rest %= 60'000;
  out.wSecond = static_cast<uint16_t>(rest / 1000);
  out.wMilliseconds = static_cast<uint16_t>(rest % 1000);
  return true;
}

FILETIME file_time_now() noexcept { return filetime_from_system_clock(); }

SYSTEMTIME system_time_now() noexcept {
  SYSTEMTIME st{};
  file_time_to_system_time(file_time_now(), st);
  return st;
}

int64_t local_offset_seconds(int64_t unix_seconds) noexcept {
  const std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm local{};
  if (!localtime_r(&t, &local)) return 0;
  return local.tm_gmtoff;
}

bool file_time_to_local(const FILETIME& utc, FILETIME& out) noexcept {
  const uint64_t units = to_u64(utc);
  const int64_t secs = static_cast<int64_t>(units / kFileTimeUnitsPerSecond) -
                       static_cast<int64_t>(kFileTimeOf1970 / kFileTimeUnitsPerSecond);
  if (units >= kFileTimeLimit) return false;
  // A shift past either end of the FILETIME range (the last moment lies
  // within a day of 2^63) fails instead of overflowing.
  int64_t shifted = 0;
  if (__builtin_add_overflow(static_cast<int64_t>(units),
                             local_offset_seconds(secs) * static_cast<int64_t>(kFileTimeUnitsPerSecond), &shifted) ||
      shifted < 0) {
    return false;
  }
  out = to_filetime(static_cast<uint64_t>(shifted));
  return true;
}

bool local_to_file_time(const FILETIME& local, FILETIME& out) noexcept {
  const uint64_t units = to_u64(local);
  if (units >= kFileTimeLimit) return false;
  const int64_t local_secs = static_cast<int64_t>(units / kFileTimeUnitsPerSecond) -
                             static_cast<int64_t>(kFileTimeOf1970 / kFileTimeUnitsPerSecond);
  // The offset at the universal moment that local time names; one refinement
  // settles it except inside a daylight-saving jump.
  int64_t offset = local_offset_seconds(local_secs);
  offset = local_offset_seconds(local_secs - offset);
  int64_t shifted = 0;
  if (__builtin_sub_overflow(static_cast<int64_t>(units), offset * static_cast<int64_t>(kFileTimeUnitsPerSecond),
                             &shifted) ||
      shifted < 0) {
    return false;
  }
  out = to_filetime(static_cast<uint64_t>(shifted));
  return true;
}

SYSTEMTIME local_time_now() noexcept {
  FILETIME local{};
  SYSTEMTIME st{};
  if (file_time_to_local(file_time_now(), local)) file_time_to_system_time(local, st);
  return st;
}

uint32_t tick_count() noexcept {
  return static_cast<uint32_t>(steady_ms()) + g_tick_bias.load(std::memory_order_relaxed);
}

namespace test_hooks {
void set_tick_count(uint32_t value) noexcept {
  g_tick_bias.store(value - static_cast<uint32_t>(steady_ms()), std::memory_order_relaxed);
}
}  // namespace test_hooks

}  // namespace kelda::platform
