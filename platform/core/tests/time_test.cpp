#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/time.h"

using namespace kelda::platform;

namespace {
SYSTEMTIME make_st(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  SYSTEMTIME st{};
  st.wYear = static_cast<uint16_t>(y);
  st.wMonth = static_cast<uint16_t>(mo);
  st.wDay = static_cast<uint16_t>(d);
  st.wHour = static_cast<uint16_t>(h);
  st.wMinute = static_cast<uint16_t>(mi);
  st.wSecond = static_cast<uint16_t>(s);
  st.wMilliseconds = static_cast<uint16_t>(ms);
  return st;
}
}  // namespace

TEST(Calendar, KnownMoments) {
  FILETIME ft{};
  ASSERT_TRUE(system_time_to_file_time(make_st(1601, 1, 1), ft));
  EXPECT_EQ(to_u64(ft), 0u);
  ASSERT_TRUE(system_time_to_file_time(make_st(1970, 1, 1), ft));
  EXPECT_EQ(to_u64(ft), kFileTimeOf1970);
  ASSERT_TRUE(system_time_to_file_time(make_st(2000, 2, 29, 23, 59, 59, 999), ft));
  SYSTEMTIME back{};
  ASSERT_TRUE(file_time_to_system_time(ft, back));
  EXPECT_EQ(back.wYear, 2000);
  EXPECT_EQ(back.wMonth, 2);
  EXPECT_EQ(back.wDay, 29);
  EXPECT_EQ(back.wDayOfWeek, 2);  // a Tuesday
  EXPECT_EQ(back.wMilliseconds, 999);
  ASSERT_TRUE(file_time_to_system_time(to_filetime(0), back));
  EXPECT_EQ(back.wDayOfWeek, 1);  // 1601-01-01 was a Monday
}

TEST(Calendar, RejectsWhatThePlatformRejects) {
  struct Case {
    SYSTEMTIME st;
    const char* why;
  } cases[] = {
      {make_st(1600, 12, 31), "before 1601"},
      {make_st(30828, 1, 1), "after 30827"},
      {make_st(2001, 2, 29), "no 29 February"},
      {make_st(1900, 2, 29), "1900 is not leap"},
      {make_st(2001, 13, 1), "month 13"},
      {make_st(2001, 0, 1), "month 0"},
      {make_st(2001, 4, 31), "31 April"},
      {make_st(2001, 4, 0), "day 0"},
      {make_st(2001, 4, 1, 24), "hour 24"},
      {make_st(2001, 4, 1, 0, 60), "minute 60"},
      {make_st(2001, 4, 1, 0, 0, 60), "second 60"},
      {make_st(2001, 4, 1, 0, 0, 0, 1000), "1000 ms"},
  };
  for (const Case& c : cases) {
    FILETIME ft{};
    EXPECT_FALSE(system_time_to_file_time(c.st, ft)) << c.why;
  }
  SYSTEMTIME st{};
  EXPECT_FALSE(file_time_to_system_time(to_filetime(1ull << 63), st));
  EXPECT_TRUE(file_time_to_system_time(to_filetime((1ull << 63) - 1), st));
  EXPECT_EQ(st.wYear, 30828);  // the last representable moment
}

TEST(Calendar, AgreesWithTheCLibraryOverManyDays) {
  // Every 7th day from 1970 to 2100, at a varying time of day, against timegm.
  for (int64_t day = 0; day < 47500; day += 7) {
    const int64_t secs = day * 86400 + (day * 3613) % 86400;
    std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    gmtime_r(&t, &tm);
    SYSTEMTIME st{};
    ASSERT_TRUE(file_time_to_system_time(to_filetime(kFileTimeOf1970 + secs * kFileTimeUnitsPerSecond), st));
    ASSERT_EQ(st.wYear, tm.tm_year + 1900);
    ASSERT_EQ(st.wMonth, tm.tm_mon + 1);
    ASSERT_EQ(st.wDay, tm.tm_mday);
    ASSERT_EQ(st.wDayOfWeek, tm.tm_wday);
    ASSERT_EQ(st.wHour, tm.tm_hour);
    ASSERT_EQ(st.wMinute, tm.tm_min);
    ASSERT_EQ(st.wSecond, tm.tm_sec);
    FILETIME ft{};
    ASSERT_TRUE(system_time_to_file_time(st, ft));
    ASSERT_EQ(to_u64(ft), kFileTimeOf1970 + secs * kFileTimeUnitsPerSecond);
  }
}

TEST(Calendar, LocalAndUniversalDifferByTheZoneOffset) {
  FILETIME utc = file_time_now(), local{}, back{};
  ASSERT_TRUE(file_time_to_local(utc, local));
  ASSERT_TRUE(local_to_file_time(local, back));
  EXPECT_EQ(to_u64(back), to_u64(utc));
}

namespace {
// Sets the process's time zone for one test and puts the old one back.
class ScopedZone {
 public:
  explicit ScopedZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedZone() {
    if (old_.empty()) unsetenv("TZ");
    else setenv("TZ", old_.c_str(), 1);
    tzset();
  }

 private:
  std::string old_;
};
}  // namespace

TEST(Calendar, LocalShiftsPastTheLastMomentFail) {
  const FILETIME last = to_filetime((1ull << 63) - 1);
  const FILETIME first = to_filetime(0);
  FILETIME out{};
  {
    ScopedZone east("UTC-3");  // three hours ahead of universal time
    EXPECT_FALSE(file_time_to_local(last, out));
    EXPECT_FALSE(local_to_file_time(first, out));
    ASSERT_TRUE(file_time_to_local(to_filetime(kFileTimeOf1970), out));
    EXPECT_EQ(to_u64(out), kFileTimeOf1970 + 3 * 3600 * kFileTimeUnitsPerSecond);
  }
  {
    ScopedZone west("UTC+3");
    EXPECT_FALSE(local_to_file_time(last, out));
    EXPECT_FALSE(file_time_to_local(first, out));
    ASSERT_TRUE(local_to_file_time(to_filetime(kFileTimeOf1970), out));
    EXPECT_EQ(to_u64(out), kFileTimeOf1970 + 3 * 3600 * kFileTimeUnitsPerSecond);
  }
}

TEST(TickCount, WrapsAt32Bits) {
  test_hooks::set_tick_count(0xFFFFFFF0u);
  const uint32_t before = tick_count();
  EXPECT_GE(before, 0xFFFFFFF0u);
  test_hooks::set_tick_count(5);
  EXPECT_LT(tick_count(), 0x1000u);
  test_hooks::set_tick_count(0);
}
