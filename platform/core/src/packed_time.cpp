// Packed YYYYMMDD / HHMMSS integers over the calendar conversions.
#include "platform/packed_time.h"

#include "platform/time.h"

namespace kelda::platform {

int32_t packDateTime(FILETIME time, int32_t* date) noexcept {
  if (date != nullptr) *date = 0;
  SYSTEMTIME st{};
  if (!file_time_to_system_time(time, st)) return 0;
  if (date != nullptr) *date = st.wYear * 10000 + st.wMonth * 100 + st.wDay;
  return st.wHour * 10000 + st.wMinute * 100 + st.wSecond;
}

FILETIME unpackDateTime(int32_t date, int32_t time) noexcept {
  // Negative packed values never name a calendar time; refusing them here
  // keeps the 16-bit fields below from wrapping into valid-looking ones.
  if (date < 0 || time < 0) return FILETIME{0, 0};
  const int32_t year = date / 10000;
  if (year > 30827) return FILETIME{0, 0};
  SYSTEMTIME st{};
  st.wYear = static_cast<uint16_t>(year);
  st.wMonth = static_cast<uint16_t>(date / 100 % 100);
  st.wDay = static_cast<uint16_t>(date % 100);
  const int32_t hour = time / 10000;
  if (hour > 23) return FILETIME{0, 0};
  st.wHour = static_cast<uint16_t>(hour);
  st.wMinute = static_cast<uint16_t>(time / 100 % 100);
  st.wSecond = static_cast<uint16_t>(time % 100);
  FILETIME out{};
  if (!system_time_to_file_time(st, out)) return FILETIME{0, 0};
  return out;
}

}  // namespace kelda::platform
