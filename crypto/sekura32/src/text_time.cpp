// Code-page tagged texts and the calendar split of library time stamps.
#include <ctime>

#include "frame.h"
#include "kit/codepage.h"

namespace kelda::sekura32 {
namespace {

constexpr char kNoTag = 0;
constexpr char kOemTag = 1;   // code page 866
constexpr char kAnsiTag = 2;  // code page 1251

// The calendar record that skDateTime fills (one per thread, so that two threads never share it).
struct Calendar {
  int32_t second, minute, hour, day, month0, years_since_1900, weekday, yearday, daylight;
};
thread_local Calendar calendar_record;

// The current difference between local and UTC clocks, in seconds.
long local_offset(time_t at) {
  struct tm local {};
  localtime_r(&at, &local);
  return local.tm_gmtoff;
}

}  // namespace
}  // namespace kelda::sekura32

using namespace kelda::sekura32;

extern "C" {

SK_API char* skANSI(char* text) {
  if (text == nullptr) return nullptr;
  if (text[0] == kOemTag) {
    kelda::kit::mbs_cp866_to_cp1251(text + 1, text + 1);
    text[0] = kAnsiTag;
  }
  if (text[0] != kNoTag && text[0] != kOemTag && text[0] != kAnsiTag) return text;
  return text + 1;
}

SK_API char* skOEM(char* text) {
  if (text == nullptr) return nullptr;
  if (text[0] == kAnsiTag) {
    kelda::kit::mbs_cp1251_to_cp866(text + 1, text + 1);
    text[0] = kOemTag;
  }
  if (static_cast<signed char>(text[0]) < 0 || (text[0] != kNoTag && text[0] != kOemTag)) return text;
  return text + 1;
}

SK_API uint32_t skTimeNow(void) { return time_now(); }

SK_API void skDateTime(uint32_t time, int* year, int* month, int* day, int* hour, int* minute, int* second) {
  time_t utc = time_t(time);
  time_t local = utc + local_offset(std::time(nullptr));
  struct tm parts {};
  gmtime_r(&local, &parts);
  Calendar& c = calendar_record;
  c = {parts.tm_sec,  parts.tm_min,  parts.tm_hour, parts.tm_mday, parts.tm_mon,
       parts.tm_year, parts.tm_wday, parts.tm_yday, 0};
  if (year != nullptr) *year = c.years_since_1900 + 1900;
  if (month != nullptr) *month = c.month0 + 1;
  if (day != nullptr) *day = c.day;
  if (hour != nullptr) *hour = c.hour;
  if (minute != nullptr) *minute = c.minute;
  if (second != nullptr) *second = c.second;
}

}  // extern "C"
