#include "ping/statistics.h"

#include <gtest/gtest.h>

namespace kelda::ping {
namespace {

std::u16string expected(int sent, int lost, int percent, int min, int max, int aver) {
  char text[256];
  std::snprintf(text, sizeof text,
                "\r\nPacket statistics:\r\nsent / lost: %d / %d (%d%%)\r\nRTT statistics:\r\n"
                "min / max / aver: %d / %d / %d",
                sent, lost, percent, min, max, aver);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

TEST(Statistics, SummaryFollowsTheRoundTrips) {
  const struct {
    RoundTrips trips;
    std::u16string text;
  } cases[] = {
      {{1, 2, 3, 4}, u""},  // fewer than five: no statistics
      {{10, -1, 20, -1, 30}, expected(5, 2, 40, 10, 30, 20)},
      {{-1, 5, -1, 3, -1, 8, 9}, expected(7, 3, 43, 3, 9, 6)},  // 42.857% -> 43%, 6.25 -> 6
      {{-1, 7, 2, 2, 2}, expected(5, 1, 20, 2, 7, 3)},          // 3.25 -> 3; lost first
      {{1, 2, 2, 2, 2, 2}, expected(6, 0, 0, 1, 2, 2)},          // 1.83 -> 2
      {{-1, -1, -1, -1, -1}, expected(5, 5, 100, 0, 0, 0)},
  };
  for (const auto& c : cases) EXPECT_EQ(statistics_text(c.trips), c.text);
}

TEST(Statistics, RoundingTruncatesThenAddsOneFromHalf) {
  EXPECT_EQ(round_half_up(2.5), 3);
  EXPECT_EQ(round_half_up(2.49), 2);
  EXPECT_EQ(round_half_up(0.0), 0);
}

}  // namespace
}  // namespace kelda::ping
