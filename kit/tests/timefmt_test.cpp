#include "kit/timefmt.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/time.h"

namespace {

namespace plat = kelda::platform;

// Runs a test in a fixed time zone and puts the old one back.
class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) {
      old_ = old;
      had_ = true;
    }
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TimeZone() {
    if (had_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::string old_;
  bool had_ = false;
};

SYSTEMTIME system_time(uint16_t y, uint16_t mo, uint16_t d, uint16_t h = 0, uint16_t mi = 0, uint16_t s = 0) {
  return SYSTEMTIME{y, mo, 0, d, h, mi, s, 0};
}

SYSTEMTIME to_system(const FILETIME& ft) {
  SYSTEMTIME st{};
  EXPECT_TRUE(plat::file_time_to_system_time(ft, st));
  return st;
}

TEST(Time, SecondsAndFileTimes) {
  FILETIME epoch{};
  ASSERT_TRUE(plat::system_time_to_file_time(system_time(1970, 1, 1), epoch));
  EXPECT_EQ(kelda::kit::filetime_to_time(epoch), 0);

  FILETIME ft{};
  kelda::kit::time_to_filetime(ft, 86400);
  const SYSTEMTIME next = to_system(ft);
  EXPECT_EQ(next.wYear, 1970);
  EXPECT_EQ(next.wMonth, 1);
  EXPECT_EQ(next.wDay, 2);
  EXPECT_EQ(next.wHour, 0);

  // Seconds are unsigned on the way in, truncated to 32 bits on the way out.
  kelda::kit::time_to_filetime(ft, -1);
  const SYSTEMTIME late = to_system(ft);
  EXPECT_EQ(late.wYear, 2106);
  EXPECT_EQ(late.wMonth, 2);
  EXPECT_EQ(late.wDay, 7);
  EXPECT_EQ(kelda::kit::filetime_to_time(ft), -1);

  ASSERT_EQ(kelda::kit::filetime_of_year(ft, 2000), 1);
  const SYSTEMTIME y2k = to_system(ft);
  EXPECT_EQ(y2k.wYear, 2000);
  EXPECT_EQ(y2k.wMonth, 1);
  EXPECT_EQ(y2k.wDay, 1);
  EXPECT_EQ(y2k.wDayOfWeek, 6);
  EXPECT_EQ(kelda::kit::filetime_of_year(ft, 1600), 0);

  const FILETIME words = kelda::kit::filetime_of_words(0x11223344, 0x55667788);
  EXPECT_EQ(plat::to_u64(words), 0x5566778811223344ull);
  EXPECT_EQ(kelda::kit::time_unchanged(12345), 12345);
}

TEST(Time, DayOfYear) {
  struct Case { SYSTEMTIME st; int day; };
  const Case cases[] = {
      {system_time(2008, 12, 31, 23, 59, 59), 365},
      {system_time(2009, 12, 31), 364},
      {system_time(2010, 1, 1), 0},
      {system_time(2010, 3, 1, 12), 59},
      {system_time(2010, 2, 30), -1},
  };
  for (const Case& c : cases) EXPECT_EQ(kelda::kit::systemtime_day_of_year(c.st), c.day) << c.st.wYear;
}

TEST(Time, BrokenDownCopies) {
  kelda::kit::BrokenDownTime tm{};
  kelda::kit::systemtime_to_tm(tm, SYSTEMTIME{2010, 4, 4, 1, 14, 5, 9, 500});
  EXPECT_EQ(tm.tm_year, 110);
  EXPECT_EQ(tm.tm_mon, 3);
  EXPECT_EQ(tm.tm_mday, 1);
  EXPECT_EQ(tm.tm_wday, 4);
  EXPECT_EQ(tm.tm_yday, 90);
  EXPECT_EQ(tm.tm_hour * 10000 + tm.tm_min * 100 + tm.tm_sec, 140509);
  EXPECT_EQ(tm.tm_isdst, 0);
  SYSTEMTIME back{};
  kelda::kit::tm_to_systemtime(back, tm);
  EXPECT_EQ(back.wYear, 2010);
  EXPECT_EQ(back.wMonth, 4);
  EXPECT_EQ(back.wDayOfWeek, 4);
  EXPECT_EQ(back.wMilliseconds, 0);
}

TEST(Time, NowAndLocalTimes) {
  EXPECT_EQ(kelda::kit::time_now(nullptr), 0);
  kelda::kit::Time32 now = 0;
  const kelda::kit::Time32 returned = kelda::kit::time_now(&now);
  EXPECT_EQ(returned, now);
  EXPECT_NEAR(static_cast<double>(now), static_cast<double>(std::time(nullptr)), 5.0);

  TimeZone zone("UTC-3");  // three hours east of Greenwich, no daylight saving
  const kelda::kit::Time32 zero = 0;
  const kelda::kit::BrokenDownTime* local = kelda::kit::local_time_of(&zero);
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(local->tm_year, 70);
  EXPECT_EQ(local->tm_hour, 3);
  EXPECT_EQ(local->tm_wday, 4);
  const kelda::kit::BrokenDownTime* utc = kelda::kit::utc_time_of(&zero);
  ASSERT_NE(utc, nullptr);
  EXPECT_EQ(utc->tm_hour, 0);
  EXPECT_NE(local, utc);  // each function has its own record
  EXPECT_EQ(kelda::kit::local_time_of(nullptr), nullptr);
}

// make_time undoes local_time_of whatever the zone, also across daylight
// saving, because both apply the offset of the moment of the call.
TEST(Time, MakeTimeUndoesLocalTime) {
  for (const char* tz : {"UTC0", "UTC-3", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0"}) {
    TimeZone zone(tz);
    for (kelda::kit::Time32 t : {0, 86400 * 180, 1270130709, 2000000000}) {
      const kelda::kit::BrokenDownTime* local = kelda::kit::local_time_of(&t);
      ASSERT_NE(local, nullptr);
      EXPECT_EQ(kelda::kit::make_time(*local), t) << tz << " " << t;
      EXPECT_EQ(kelda::kit::make_time_checked(*local), t) << tz << " " << t;
    }
  }
}

TEST(Time, MakeTimeRefusesBadFields) {
  TimeZone zone("UTC0");
  kelda::kit::BrokenDownTime tm{0, 0, 0, 1, 0, 110, 0, 0, 0};
  EXPECT_EQ(kelda::kit::make_time(tm), 1262304000);
  kelda::kit::BrokenDownTime bad = tm;
  bad.tm_mon = -1;
  EXPECT_EQ(kelda::kit::make_time_checked(bad), -1);
  EXPECT_EQ(kelda::kit::make_time(bad), -1);  // month 0 is no date
  bad = tm;
  bad.tm_sec = -5;
  EXPECT_EQ(kelda::kit::make_time_checked(bad), -1);
  bad = tm;
  bad.tm_mday = 32;
  EXPECT_EQ(kelda::kit::make_time(bad), -1);
  // Fields past 16 bits are no date either, not a date of their low bits.
  bad = tm;
  bad.tm_year += 65536;
  EXPECT_EQ(kelda::kit::make_time(bad), -1);
  bad = tm;
  bad.tm_mday += 65536;
  EXPECT_EQ(kelda::kit::make_time(bad), -1);
  bad = tm;
  bad.tm_hour -= 65536;
  EXPECT_EQ(kelda::kit::make_time(bad), -1);
  bad = tm;
  bad.tm_wday = 70000;  // the weekday is not read
  EXPECT_EQ(kelda::kit::make_time(bad), 1262304000);
}

TEST(Time, TextKeepsItsOwnSpellings) {
  TimeZone zone("UTC0");
  const kelda::kit::Time32 t = 1270130709;  // Thursday 1 April 2010, 14:05:09
  EXPECT_STREQ(kelda::kit::time_text(&t), "Thr Apl 01 14:05:09 2010\n");
  EXPECT_EQ(std::string(kelda::kit::time_text(&t)).size(), 25u);
  EXPECT_EQ(kelda::kit::time_text(nullptr), nullptr);

  kelda::kit::BrokenDownTime tm{7, 30, 9, 5, 11, 99, 0, 0, 0};
  EXPECT_STREQ(kelda::kit::tm_text(tm), "Sun Dec 05 09:30:07 1999\n");
  tm.tm_wday = 9;
  tm.tm_mon = -1;
  EXPECT_STREQ(kelda::kit::tm_text(tm), "??? ??? 05 09:30:07 1999\n");
}

}  // namespace
