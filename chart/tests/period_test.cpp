// Calendar periods, period markers, packed date-times, bar-time rounding and
// the time index, on bar lists built directly.
#include <gtest/gtest.h>

#include "chart/bar_list.h"
#include "chart/period.h"
#include "chart/time_index.h"
#include "platform/packed_time.h"

namespace kelda::chart {
namespace {

FILETIME at(int32_t date, int32_t time = 0) { return platform::unpackDateTime(date, time); }

BarList barsAt(std::initializer_list<FILETIME> times) {
  BarList bars;
  for (const FILETIME& t : times) bars.insert(bars.size(), t);
  return bars;
}

TEST(PackedTime, PacksAndUnpacksCalendarFields) {
  int32_t date = -1;
  EXPECT_EQ(platform::packDateTime(at(20090305, 140709), &date), 140709);
  EXPECT_EQ(date, 20090305);
  EXPECT_EQ(platform::packDateTime(at(20090305, 140709), nullptr), 140709);
  // Times that name no calendar time give 0 both ways.
  EXPECT_EQ(platform::packDateTime(FILETIME{0, 0x80000000u}, &date), 0);
  EXPECT_EQ(date, 0);
  for (auto [d, t] : {std::pair{20091301, 0}, {20090230, 0}, {20090305, 240000}, {20090305, 126000},
                      {-20090305, 0}, {20090305, -1}, {99999999, 0}}) {
    const FILETIME f = platform::unpackDateTime(d, t);
    EXPECT_TRUE(f.dwLowDateTime == 0 && f.dwHighDateTime == 0) << d << " " << t;
  }
}

TEST(Periods, WeeksBeginOnMonday) {
  const BarList bars = barsAt({at(20090308, 230000), at(20090309, 10000), at(20090309, 0), at(20090315, 235900)});
  EXPECT_FALSE(isSameWeek(bars[0], bars[1]));  // Sunday 23:00, Monday 01:00
  EXPECT_TRUE(isSameWeek(bars[2], bars[3]));   // Monday 00:00, next Sunday 23:59
  EXPECT_TRUE(isSamePeriod(bars[1], bars[2], kDay));
  EXPECT_FALSE(isSamePeriod(bars[1], bars[2], kHour));
  EXPECT_FALSE(isSamePeriod(bars[1], bars[2], 9));
}

TEST(Periods, FullComputationSplitsTheOpenYearDownToHours) {
  BarList bars = barsAt({at(20081230, 100000), at(20081231, 100000), at(20090105, 100000), at(20090105, 110000),
                         at(20090105, 113000), at(20090105, 120000)});
  computePeriodMarkers(bars, 0, bars.size() - 1, kYear);
  EXPECT_EQ(bars[0].nextYear, 2);
  EXPECT_EQ(bars[1].nextYear, 2);
  EXPECT_EQ(bars[2].nextYear, -1);
  EXPECT_EQ(bars[0].nextDay, 1);  // the closed year was split into days
  EXPECT_EQ(bars[1].nextDay, 2);
  EXPECT_EQ(bars[2].nextHour, 3);  // the open day into hours
  EXPECT_EQ(bars[3].nextHour, 5);
  EXPECT_EQ(bars[4].nextHour, 5);
  EXPECT_EQ(bars[2].nextDay, -1);
}

TEST(Periods, AppendingInANewHourClosesThePreviousHour) {
  BarList bars = barsAt({at(20090105, 100000), at(20090105, 101500), at(20090105, 103000)});
  computePeriodMarkers(bars, 0, 2, kYear);
  bars.insert(3, at(20090105, 104500));
  updatePeriodMarkers(bars, kHour);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(bars[i].nextHour, -1);
  bars.insert(4, at(20090105, 110000));
  updatePeriodMarkers(bars, kHour);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(bars[i].nextHour, 4);
  EXPECT_EQ(bars[4].nextHour, -1);
}

TEST(BarTime, RoundsDownToTheIntervalOnce) {
  struct Case {
    int32_t code;
    FILETIME in;
    FILETIME out;
  } cases[] = {
      {5, at(20090305, 101237), at(20090305, 101000)},
      {45, at(20090305, 104000), at(20090305, 103000)},  // 45-minute bars run from midnight
      {0, at(20090305, 101237), at(20090305, 101237)},
      {-1, at(20090305, 101237), at(20090305)},
      {-2, at(20090305, 101237), at(20090301)},  // Thursday -> Sunday
      {-3, at(20090305, 101237), at(20090301)},
      {-2, at(20090301, 0), at(20090301)},
  };
  for (const Case& c : cases) {
    FILETIME out{};
    ASSERT_TRUE(roundBarTime(c.in, c.code, out));
    EXPECT_TRUE(sameFileTime(out, c.out)) << c.code << " " << platform::packDateTime(c.in, nullptr);
  }
  FILETIME out{};
  EXPECT_FALSE(roundBarTime(FILETIME{0, 0x80000000u}, 5, out));
  EXPECT_EQ(intervalCode(5.9), 5);
  EXPECT_EQ(intervalCode(-2.5), -2);
  EXPECT_EQ(intervalCode(1e300), 0);
}

TEST(TimeIndex, IndexOfTimeAndBack) {
  // 15-minute bars on a Wednesday afternoon.
  const BarList bars =
      barsAt({at(20090304, 170000), at(20090304, 171500), at(20090304, 173000), at(20090304, 174500)});
  struct Case {
    FILETIME t;
    int32_t index;
    bool beyond;
  } cases[] = {
      {at(20090304, 171500), 1, false},  // a bar's own time
      {at(20090304, 172000), 1, false},  // between two bars: the earlier
      {at(20090304, 180000), 5, true},   // one interval after the last bar
      {at(20090304, 181400), 5, true},
      {at(20090304, 160000), -4, false},  // an hour before the first bar
      {at(20090303, 170000), -30, false},  // a trading day (450 / 15) before
      {FILETIME{0, 0}, 0, false},
  };
  for (const Case& c : cases) {
    bool beyond = !c.beyond;
    EXPECT_EQ(timeToBarIndex(bars, 15, c.t, &beyond), c.index) << platform::packDateTime(c.t, nullptr);
    EXPECT_EQ(beyond, c.beyond);
  }
  EXPECT_TRUE(sameFileTime(barIndexToTime(bars, 15, 4), at(20090304, 174500)));  // index n: the last bar
  EXPECT_TRUE(sameFileTime(barIndexToTime(bars, 15, 6), at(20090304, 181500)));
  EXPECT_TRUE(sameFileTime(barIndexToTime(bars, 15, 2), at(20090304, 173000)));
}

TEST(TimeIndex, ExtrapolationBeforeTenMovesToHalfPastTen) {
  const BarList bars = barsAt({at(20090304, 233000), at(20090304, 234500)});
  EXPECT_TRUE(sameFileTime(barIndexToTime(bars, 15, 2 + 13), at(20090305, 103000)));  // 03:00 -> 10:30
  EXPECT_TRUE(sameFileTime(barIndexToTime(bars, -1, 3), at(20090305, 234500)));
  const FILETIME far = barIndexToTime(bars, -3, INT32_MAX);
  EXPECT_TRUE(far.dwLowDateTime == 0 && far.dwHighDateTime == 0);  // past the calendar's end
}

TEST(TimeIndex, EmptyListMapsEverythingToZero) {
  const BarList bars;
  bool beyond = false;
  EXPECT_EQ(timeToBarIndex(bars, 5, at(20090304), &beyond), 0);
  EXPECT_TRUE(beyond);
  const FILETIME t = barIndexToTime(bars, 5, 3);
  EXPECT_TRUE(t.dwLowDateTime == 0 && t.dwHighDateTime == 0);
}

}  // namespace
}  // namespace kelda::chart
