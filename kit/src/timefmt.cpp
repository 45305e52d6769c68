// Dates and times over the platform's calendar conversions.
#include "kit/timefmt.h"

#include <cstdio>
#include <cstring>

#include "platform/time.h"

namespace kelda::kit {
namespace {

namespace plat = kelda::platform;

constexpr int64_t kUnitsPerSecond = static_cast<int64_t>(plat::kFileTimeUnitsPerSecond);

// Local time now minus universal time now, in whole seconds.
int64_t local_offset() {
  const uint64_t now = plat::to_u64(plat::file_time_now());
  const int64_t unix_now = static_cast<int64_t>((now - plat::kFileTimeOf1970) / plat::kFileTimeUnitsPerSecond);
  return plat::local_offset_seconds(unix_now);
}

BrokenDownTime* broken_down(const Time32* seconds, int64_t offset, BrokenDownTime& out) {
  if (seconds == nullptr) return nullptr;
  FILETIME ft{};
  time_to_filetime(ft, *seconds);
  const uint64_t shifted = plat::to_u64(ft) + static_cast<uint64_t>(offset * kUnitsPerSecond);
  SYSTEMTIME st{};
  if (!plat::file_time_to_system_time(plat::to_filetime(shifted), st)) return nullptr;
  systemtime_to_tm(out, st);
  return &out;
}

}  // namespace

int filetime_of_year(FILETIME& dest, int year) noexcept {
  dest = FILETIME{};
  if (year < 1601 || year > 30827) return 0;
  const SYSTEMTIME st{static_cast<uint16_t>(year), 1, 0, 1, 0, 0, 0, 0};
  return plat::system_time_to_file_time(st, dest) ? 1 : 0;
}

int systemtime_day_of_year(const SYSTEMTIME& time) noexcept {
  FILETIME start{};
  FILETIME at{};
  if (filetime_of_year(start, time.wYear) == 0 || !plat::system_time_to_file_time(time, at)) return -1;
  const int64_t units = static_cast<int64_t>(plat::to_u64(at) - plat::to_u64(start));
  return static_cast<int>(units / kUnitsPerSecond / 86400);
}

void tm_to_systemtime(SYSTEMTIME& dest, const BrokenDownTime& time) noexcept {
  dest.wYear = static_cast<uint16_t>(int64_t{time.tm_year} + 1900);
  dest.wMonth = static_cast<uint16_t>(int64_t{time.tm_mon} + 1);
  dest.wDayOfWeek = static_cast<uint16_t>(time.tm_wday);
  dest.wDay = static_cast<uint16_t>(time.tm_mday);
  dest.wHour = static_cast<uint16_t>(time.tm_hour);
  dest.wMinute = static_cast<uint16_t>(time.tm_min);
  dest.wSecond = static_cast<uint16_t>(time.tm_sec);
  dest.wMilliseconds = 0;
}

void systemtime_to_tm(BrokenDownTime& dest, const SYSTEMTIME& time) noexcept {
  dest.tm_mon = time.wMonth - 1;
  dest.tm_year = time.wYear - 1900;
  dest.tm_wday = time.wDayOfWeek;
  dest.tm_mday = time.wDay;
  dest.tm_hour = time.wHour;
  dest.tm_min = time.wMinute;
  dest.tm_sec = time.wSecond;
  dest.tm_yday = systemtime_day_of_year(time);
  dest.tm_isdst = 0;
}

Time32 filetime_to_time(const FILETIME& time) noexcept {
  const int64_t units = static_cast<int64_t>(plat::to_u64(time) - plat::kFileTimeOf1970);
  return static_cast<Time32>(static_cast<uint32_t>(static_cast<uint64_t>(units / kUnitsPerSecond)));
}

void time_to_filetime(FILETIME& dest, Time32 seconds) noexcept {
  const uint64_t units =
      plat::kFileTimeOf1970 + static_cast<uint64_t>(static_cast<uint32_t>(seconds)) * plat::kFileTimeUnitsPerSecond;
  dest = plat::to_filetime(units);
}

Time32 time_now(Time32* out) noexcept {
  if (out == nullptr) return 0;
  *out = filetime_to_time(plat::file_time_now());
  return *out;
}

BrokenDownTime* local_time_of(const Time32* seconds) noexcept {
  thread_local BrokenDownTime record{};
  return broken_down(seconds, local_offset(), record);
}

BrokenDownTime* utc_time_of(const Time32* seconds) noexcept {
  thread_local BrokenDownTime record{};
  return broken_down(seconds, 0, record);
}

Time32 make_time(const BrokenDownTime& local) noexcept {
  // A field that does not fit its 16-bit SYSTEMTIME word would be cut to
  // another, valid-looking date (year 2000 + 65536 read as 2000).
  const auto fits = [](int64_t v) { return v >= 0 && v <= 0xFFFF; };
  if (!fits(int64_t{local.tm_year} + 1900) || !fits(int64_t{local.tm_mon} + 1) || !fits(local.tm_mday) ||
      !fits(local.tm_hour) || !fits(local.tm_min) || !fits(local.tm_sec)) {
    return -1;
  }
  SYSTEMTIME st{};
  tm_to_systemtime(st, local);
  FILETIME ft{};
  if (!plat::system_time_to_file_time(st, ft)) return -1;
  return static_cast<Time32>(static_cast<uint32_t>(filetime_to_time(ft)) - static_cast<uint32_t>(local_offset()));
}

Time32 make_time_checked(const BrokenDownTime& local) noexcept {
  if (local.tm_year < 0 || local.tm_mon < 0 || local.tm_mday < 0 || local.tm_hour < 0 ||
      local.tm_min < 0 || local.tm_sec < 0) {
    return -1;
  }
  return make_time(local);
}

const char* tm_text(const BrokenDownTime& time) noexcept {
  static constexpr char kDays[] = "Sun Mon Tue Wed Thr Fri Sat ";
  static constexpr char kMonths[] = "Jan Feb Mar Apl May Jun Jul Aug Sep Oct Nov Dec ";
  thread_local char text[64];
  const char* day = time.tm_wday >= 0 && time.tm_wday < 7 ? kDays + 4 * time.tm_wday : "??? ";
  const char* month = time.tm_mon >= 0 && time.tm_mon < 12 ? kMonths + 4 * time.tm_mon : "??? ";
  std::snprintf(text, sizeof text, "%.4s%.4s%02d %02d:%02d:%02d %lld\n", day, month, time.tm_mday,
                time.tm_hour, time.tm_min, time.tm_sec, static_cast<long long>(time.tm_year) + 1900);
  return text;
}

const char* time_text(const Time32* seconds) noexcept {
  thread_local char text[64];
  const BrokenDownTime* local = local_time_of(seconds);
  if (local == nullptr) return nullptr;
  std::snprintf(text, sizeof text, "%s", tm_text(*local));
  return text;
}

Time32 time_unchanged(Time32 seconds) noexcept { return seconds; }

FILETIME filetime_of_words(uint32_t low, uint32_t high) noexcept { return FILETIME{low, high}; }

}  // namespace kelda::kit
