#include "core/numbers.h"

#include "platform/time.h"

namespace kelda::kelapi {
namespace {

bool to_system_time(int32_t date, int32_t time, SYSTEMTIME& st) {
  if (date < 0 || time < 0) return false;
  st = SYSTEMTIME{};
  st.wYear = static_cast<uint16_t>(date / 10000);
  st.wMonth = static_cast<uint16_t>(date / 100 % 100);
  st.wDay = static_cast<uint16_t>(date % 100);
  st.wHour = static_cast<uint16_t>(time / 10000);
  st.wMinute = static_cast<uint16_t>(time / 100 % 100);
  st.wSecond = static_cast<uint16_t>(time % 100);
  return date / 10000 <= 0xFFFF && time / 10000 <= 0xFFFF;
}

}  // namespace

double scale_down(double value, int scale) noexcept {
  for (int i = 0; i < scale; ++i) value *= 0.1;
  return value;
}

double scale_up(int scale, double value) noexcept {
  for (int i = 0; i < scale; ++i) value *= 10.0;
  return value;
}

int32_t time_to_seconds(int32_t t) noexcept { return t / 10000 * 3600 + t / 100 % 100 * 60 + t % 100; }

int32_t seconds_to_time(int32_t s) noexcept { return s / 3600 * 10000 + s / 60 % 60 * 100 + s % 60; }

uint64_t packed_to_file_time(int32_t date, int32_t time) noexcept {
  SYSTEMTIME st;
  FILETIME ft;
  if (!to_system_time(date, time, st) || !platform::system_time_to_file_time(st, ft)) return 0;
  return platform::to_u64(ft);
}

int64_t date_time_to_seconds(int32_t time, int32_t date) noexcept {
  const uint64_t local = packed_to_file_time(date, time);
  FILETIME utc;
  if (local == 0 || !platform::local_to_file_time(platform::to_filetime(local), utc)) return -1;
  const uint64_t units = platform::to_u64(utc);
  if (units < platform::kFileTimeOf1970) return -1;
  return static_cast<int64_t>((units - platform::kFileTimeOf1970) / platform::kFileTimeUnitsPerSecond);
}

int32_t file_time_to_packed(uint64_t file_time, int32_t* date) noexcept {
  if (date != nullptr) *date = 0;
  SYSTEMTIME st;
  if (!platform::file_time_to_system_time(platform::to_filetime(file_time), st)) return 0;
  if (date != nullptr) *date = st.wYear * 10000 + st.wMonth * 100 + st.wDay;
  return st.wHour * 10000 + st.wMinute * 100 + st.wSecond;
}

int32_t local_date_packed() noexcept {
  const SYSTEMTIME st = platform::local_time_now();
  return st.wYear * 10000 + st.wMonth * 100 + st.wDay;
}

}  // namespace kelda::kelapi
