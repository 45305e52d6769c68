// The two-ended vector under the bar list and the point vectors, against
// std::vector doing the same operations.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "chart/bar_list.h"
#include "chart/slot_vector.h"
#include "platform/packed_time.h"

namespace kelda::chart {
namespace {

TEST(SlotVector, MatchesAVectorUnderRandomInsertsAndErases) {
  std::mt19937 random(7);
  SlotVector<int64_t> slots;
  std::vector<int64_t> reference;
  for (int step = 0; step < 20000; ++step) {
    const int size = static_cast<int>(reference.size());
    const int op = static_cast<int>(random() % 10);
    if (op < 6 || size == 0) {
      // Mostly at either end, where the bar list grows.
      const int at = op < 2 ? 0 : op < 4 ? size : static_cast<int>(random() % (size + 1));
      slots.insert(at, step);
      reference.insert(reference.begin() + at, step);
    } else {
      const int at = static_cast<int>(random() % size);
      slots.erase(at);
      reference.erase(reference.begin() + at);
    }
  }
  ASSERT_EQ(slots.size(), static_cast<int32_t>(reference.size()));
  for (int32_t i = 0; i < slots.size(); ++i) ASSERT_EQ(slots[i], reference[static_cast<size_t>(i)]);
  // Room held stays within one and a half times the elements (plus a little).
  EXPECT_LE(slots.capacity_bytes(), (reference.size() * 3 / 2 + 32) * sizeof(int64_t));
}

TEST(SlotVector, PrependingKeepsRoomBounded) {
  SlotVector<int32_t> slots;
  for (int32_t i = 0; i < 100000; ++i) slots.insert(0, i);
  EXPECT_EQ(slots[0], 99999);
  EXPECT_EQ(slots[99999], 0);
  EXPECT_LE(slots.capacity_bytes(), (100000 * 3 / 2 + 32) * sizeof(int32_t));
  while (!slots.empty()) slots.erase(slots.size() / 2);
  slots.push_back(5);
  EXPECT_EQ(slots[0], 5);
}

TEST(BarList, KeepsTimesOrderedAndFindsThem) {
  BarList bars;
  const FILETIME a = platform::unpackDateTime(20090304, 100000);
  const FILETIME b = platform::unpackDateTime(20090304, 110000);
  bars.insert(bars.lowerBound(b), b);
  bars.insert(bars.lowerBound(a), a);
  ASSERT_EQ(bars.size(), 2);
  EXPECT_EQ(bars.find(a), 0);
  EXPECT_EQ(bars.find(b), 1);
  EXPECT_EQ(bars.find(platform::unpackDateTime(20090304, 103000)), -1);
  EXPECT_EQ(bars[0].calendar.wHour, 10);
  EXPECT_EQ(bars[0].nextYear, -1);
  EXPECT_EQ(bars[0].band1Mark, 0);
  // The order of times compares the high words signed.
  EXPECT_TRUE(lessFileTime(FILETIME{0, 0x80000000u}, FILETIME{0, 0}));
  EXPECT_TRUE(lessFileTime(FILETIME{1, 5}, FILETIME{0xFFFFFFFFu, 5}));
}

}  // namespace
}  // namespace kelda::chart
