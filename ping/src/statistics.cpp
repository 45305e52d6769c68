#include "ping/statistics.h"

#include <algorithm>
#include <cstdio>

namespace kelda::ping {
namespace {

std::u16string widen(const char* text) {
  std::u16string out;
  for (; *text; ++text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
  return out;
}

}  // namespace

int round_half_up(double value) {
  const int whole = static_cast<int>(value);
  return (value - whole >= 0.5) ? whole + 1 : whole;
}

std::u16string statistics_text(const RoundTrips& round_trips) {
  if (round_trips.size() < 5) return {};
  const int sent = static_cast<int>(round_trips.size());
  int lost = 0;
  int minimum = 0;
  int maximum = 0;
  long long sum = 0;
  bool any = false;
  for (const std::int32_t rtt : round_trips) {
    if (rtt == -1) {
      ++lost;
      continue;
    }
    minimum = any ? std::min(minimum, static_cast<int>(rtt)) : static_cast<int>(rtt);
    maximum = std::max(maximum, static_cast<int>(rtt));
    sum += rtt;
    any = true;
  }
  const int average = sent > lost ? round_half_up(static_cast<double>(sum) / (sent - lost)) : 0;
  const float loss = (100.0f / static_cast<float>(sent)) * static_cast<float>(lost);
  char text[256];
  std::snprintf(text, sizeof text,
                "\r\nPacket statistics:\r\nsent / lost: %d / %d (%d%%)\r\nRTT statistics:\r\n"
                "min / max / aver: %d / %d / %d",
                sent, lost, round_half_up(loss), minimum, maximum, average);
  return widen(text);
}

}  // namespace kelda::ping
