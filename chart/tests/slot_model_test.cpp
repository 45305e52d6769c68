// The slot and index model as a table: bars, range, intervals, page and
// scroll position -> which bars the window shows.
#include <gtest/gtest.h>

#include "chart/slot_model.h"

namespace kelda::chart {
namespace {

struct SlotCase {
  const char* name;
  SlotModel model;
  int32_t intervals;
  bool scrolls;
  int32_t firstVisible;
  int32_t lastVisible;
  int32_t slot;       // a slot to look up
  int32_t barOfSlot;  // the bar it shows, -1 for none
};

// {bar_count, first_in_range, count_in_range, extra, min, page, position, follow}
const SlotCase kCases[] = {
    {"few bars fill the minimum", {10, 0, 10, 0, 50, 0, 0, true}, 50, false, 0, 9, 12, -1},
    {"many bars without page", {200, 0, 200, 0, 50, 0, 0, true}, 200, false, 0, 199, 199, 199},
    {"page follows the last bar", {200, 0, 200, 0, 50, 50, 0, true}, 200, true, 150, 199, 0, 150},
    {"page at a kept position", {200, 0, 200, 0, 50, 50, 20, false}, 200, true, 20, 69, 5, 25},
    {"position held to its range", {200, 0, 200, 0, 50, 50, 500, false}, 200, true, 150, 199, 49, 199},
    {"extra intervals stay empty", {200, 0, 200, 10, 50, 50, 0, true}, 210, true, 160, 199, 45, -1},
    {"last N bars", {130, 30, 100, 0, 50, 0, 0, true}, 100, false, 30, 129, 0, 30},
    {"page beyond the axis shows all", {10, 0, 10, 0, 50, 60, 0, true}, 50, false, 0, 9, 3, 3},
    {"empty chart", {0, 0, 0, 0, 50, 0, 0, true}, 50, false, 0, -1, 0, -1},
    {"range after every bar", {5, 5, 0, 0, 0, 0, 0, true}, 0, false, 5, 4, 0, -1},
};

TEST(SlotModel, WindowOfEveryCase) {
  for (const SlotCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.model.interval_count(), c.intervals);
    EXPECT_EQ(c.model.scrolls(), c.scrolls);
    EXPECT_EQ(c.model.first_visible_bar(), c.firstVisible);
    EXPECT_EQ(c.model.last_visible_bar(), c.lastVisible);
    EXPECT_EQ(c.model.bar_of_slot(c.slot), c.barOfSlot);
    if (c.barOfSlot >= 0) {
      EXPECT_EQ(c.model.slot_of_bar(c.barOfSlot), c.slot);
    }
  }
}

TEST(SlotModel, BarWidthSharesThePlotAmongTheShownSlots) {
  const SlotModel paged{200, 0, 200, 0, 50, 50, 0, true};
  EXPECT_DOUBLE_EQ(paged.bar_width(500.0), 10.0);
  const SlotModel all{10, 0, 10, 0, 50, 0, 0, true};
  EXPECT_DOUBLE_EQ(all.bar_width(500.0), 10.0);  // the minimum of 50 intervals
  const SlotModel none{0, 0, 0, 0, 50, 0, 0, true};
  EXPECT_DOUBLE_EQ(none.bar_width(500.0), 0.0);
}

}  // namespace
}  // namespace kelda::chart
