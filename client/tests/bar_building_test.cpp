// Bars built from ticks, minute bars and parameter values, checked against
// hand-worked tables.
#include <gtest/gtest.h>

#include "bars/bar_building.h"
#include "core/numbers.h"

namespace kelda::kelapi {
namespace {

struct Moment {
  int32_t date;
  int32_t time;
};

Moment moment_of(uint64_t file_time) {
  Moment m{};
  m.time = file_time_to_packed(file_time, &m.date);
  return m;
}

BarInput tick(int32_t date, int32_t time, double price, double volume = 1) {
  return BarInput{price, price, price, price, volume, date, time};
}

TEST(BarBuilding, BucketsByPeriodFromAHandWorkedTable) {
  struct Case {
    int32_t date, time, period;
    Moment start;
  } cases[] = {
      {20060315, 100310, 5, {20060315, 100000}},   // inside a 5-minute bucket
      {20060315, 100459, 5, {20060315, 100000}},   // its last second
      {20060315, 100500, 5, {20060315, 100500}},   // the next bucket's first second
      {20060315, 235959, 60, {20060315, 230000}},  // the day's last hourly bar
      {20060316, 1, 60, {20060316, 0}},            // the next trading day's first bar
      {20060315, 235959, 7, {20060315, 235500}},   // 7-minute buckets count from midnight...
      {20060316, 300, 7, {20060316, 0}},           // ...and restart at 00:00
      {20060315, 123456, 0, {20060315, 123456}},   // a tick keeps its moment
      {20060315, 123456, -1, {20060315, 0}},       // day
      {20060315, 123456, -2, {20060312, 0}},       // Wednesday: the week began on Sunday the 12th
      {20060312, 0, -2, {20060312, 0}},            // Sunday midnight begins its own week
      {20060318, 235959, -2, {20060312, 0}},       // Saturday's last second
      {20060319, 0, -2, {20060319, 0}},            // the next Sunday
      {20060101, 120000, -2, {20060101, 0}},       // a Sunday
      {20051231, 120000, -2, {20051225, 0}},       // a week across the year's end
      {20060315, 123456, -3, {20060301, 0}},       // month
      {20060315, 123456, -7, {20060315, 0}},       // another negative period: a day
  };
  for (const Case& c : cases) {
    const uint64_t t = bucket_start(c.date, c.time, c.period);
    ASSERT_NE(t, 0u) << c.date << " " << c.time << " " << c.period;
    const Moment m = moment_of(t);
    EXPECT_EQ(m.date, c.start.date) << c.date << " " << c.time << " period " << c.period;
    EXPECT_EQ(m.time, c.start.time) << c.date << " " << c.time << " period " << c.period;
  }
  for (const Moment bad : {Moment{20060230, 100000}, Moment{20060315, 240000}, Moment{20060315, 106000},
                           Moment{20060315, -1}, Moment{0, 100000}}) {
    EXPECT_EQ(bucket_start(bad.date, bad.time, 5), 0u) << bad.date << " " << bad.time;
  }
}

TEST(BarBuilding, FiveMinuteBarsFromTicksWithAGap) {
  BarSeries bars;
  const AddArgs five{LineKind::tick, 5, 0, -1, -1};
  // tick time, price, volume -> index of the bar it makes or changes
  struct Step {
    int32_t time;
    double price, volume;
    int64_t bar;
  } steps[] = {
      {100310, 10, 1, 0},  // the bar's first tick opens it
      {100400, 9, 2, 0},
      {100459, 12, 3, 0},  // the bar's last tick closes it
      {100500, 11, 1, 1},  // a new bar
      {102000, 13, 5, 2},  // 10:10 and 10:15 had no trades: no bars for them
      {101900, 20, 1, -1},  // older than the last bar: ignored on a bar line
  };
  for (const Step& s : steps) EXPECT_EQ(add_bar(bars, tick(20060315, s.time, s.price, s.volume), five), s.bar);
  ASSERT_EQ(bars.size(), 3u);
  const PriceBar& first = bars[0];
  EXPECT_EQ(moment_of(first.time).time, 100000);
  EXPECT_EQ(first.open, 10);
  EXPECT_EQ(first.high, 12);
  EXPECT_EQ(first.low, 9);
  EXPECT_EQ(first.close, 12);
  EXPECT_EQ(first.volume, 6);
  EXPECT_EQ(moment_of(bars[2].time).time, 102000);
  EXPECT_EQ(first.closed, 1u) << "the bar before the previous one is closed";
  EXPECT_EQ(bars[1].closed, 0u) << "the previous bar stays open";
  EXPECT_EQ(bars[2].changed, 1u);
}

TEST(BarBuilding, MergingKeepsTheOpenAndCountsOnlyNewVolume) {
  BarSeries bars;
  const AddArgs line{LineKind::bar, 1, 0, -1, -1};
  ASSERT_EQ(add_bar(bars, BarInput{10, 12, 9, 11, 5, 20060315, 100000}, line), 0);
  AddArgs again = line;
  again.previous_volume = 5;  // the same minute bar, grown from 5 to 8
  ASSERT_EQ(add_bar(bars, BarInput{13, 13, 13, 13, 8, 20060315, 100030}, again), 0);
  EXPECT_EQ(bars[0].open, 10);
  EXPECT_EQ(bars[0].high, 13);
  EXPECT_EQ(bars[0].low, 9);
  EXPECT_EQ(bars[0].close, 13);
  EXPECT_EQ(bars[0].volume, 8);
}

TEST(BarBuilding, TickLinesKeepEveryTickInAscendingDistinctTimes) {
  BarSeries bars;
  const AddArgs ticks{LineKind::tick, 0, 0, -1, -1};
  for (double p : {1.0, 2.0, 3.0}) add_bar(bars, tick(20060315, 100000, p), ticks);
  add_bar(bars, tick(20060315, 95959, 4.0), ticks);  // out of order
  add_bar(bars, tick(20060315, 100001, 5.0), ticks);
  ASSERT_EQ(bars.size(), 5u);
  const uint64_t t = bucket_start(20060315, 100000, 0);
  EXPECT_EQ(bars[0].time, t);
  EXPECT_EQ(bars[1].time, t + kFileTimePerMillisecond);
  EXPECT_EQ(bars[2].time, t + 2 * kFileTimePerMillisecond);
  EXPECT_EQ(bars[3].time, t + 3 * kFileTimePerMillisecond) << "an older tick follows the last one";
  EXPECT_EQ(bars[4].time, t + kFileTimePerSecond);
}

TEST(BarBuilding, ParameterLinesPlaceOlderValuesAndHonourSequencesAndReplacement) {
  BarSeries bars;
  AddArgs p{LineKind::parameter, 5, 0, 10, 0};
  ASSERT_EQ(add_bar(bars, tick(20060315, 100000, 1), p), 0);
  p.sequence = 11;
  ASSERT_EQ(add_bar(bars, tick(20060315, 102000, 2), p), 1);
  p.sequence = 12;
  EXPECT_EQ(add_bar(bars, tick(20060315, 101000, 3), p), 1) << "an older value gets its own bucket";
  ASSERT_EQ(bars.size(), 3u);
  EXPECT_EQ(moment_of(bars[1].time).time, 101000);
  EXPECT_EQ(bars[0].closed, 1u) << "the bar before an inserted one is closed";
  p.sequence = 9;
  EXPECT_EQ(add_bar(bars, tick(20060315, 102100, 7), p), -1) << "an older sequence is ignored";
  p.sequence = 13;
  p.flags = 1;
  EXPECT_EQ(add_bar(bars, tick(20060315, 102100, 7), p), 2);
  EXPECT_EQ(bars[2].open, 7) << "flag bit 0 replaces the bar";
  EXPECT_EQ(bars[2].volume, 1);
  p.sequence = 14;
  EXPECT_EQ(add_bar(bars, tick(20060315, 100100, 8), p), -1) << "a closed bar takes no update";
  p.sequence = 15;
  EXPECT_EQ(add_bar(bars, tick(20060315, 90000, 9), p), 0) << "older than every bar: at the front";
}

TEST(BarBuilding, ARebuildMarksOnlyBarsThatDiffer) {
  BarSeries old;
  const AddArgs line{LineKind::bar, 1, 0, -1, -1};
  for (int32_t t : {100000, 100100, 100200}) add_bar(old, tick(20060315, t, 10), line);
  BarSeries rebuilt = old;
  rebuilt[1].close = 10 + 5e-8;  // within the tolerance
  rebuilt[2].volume = 2;
  add_bar(rebuilt, tick(20060315, 100300, 10), line);
  mark_changes(rebuilt, old);
  EXPECT_EQ(rebuilt[0].changed, 0u);
  EXPECT_EQ(rebuilt[1].changed, 0u);
  EXPECT_EQ(rebuilt[2].changed, 1u);
  EXPECT_EQ(rebuilt[3].changed, 1u);
  EXPECT_EQ(find_bar(rebuilt, rebuilt[3].time), 3);
  EXPECT_EQ(find_bar(rebuilt, rebuilt[3].time + 1), -1);
}

}  // namespace
}  // namespace kelda::kelapi
