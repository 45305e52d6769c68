// The tool-tip text of a drawn point and the hit test over the point boxes.
#include <algorithm>
#include <array>
#include <cstdio>

#include "chart/chart.h"
#include "chart/data.h"
#include "chart/graph.h"
#include "chart/number_format.h"
#include "chart/time_axis.h"
#include "platform/time.h"

namespace kelda::chart {

namespace {

constexpr size_t kTimeTextChars = 65;

std::u16string ascii(const char* text) {
  std::u16string out;
  for (const char* p = text; *p != '\0'; ++p) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
  return out;
}

std::u16string tipTime(const CChart& chart, FILETIME time) {
  SYSTEMTIME t{};
  platform::file_time_to_system_time(time, t);
  if (chart.axisCallback() != nullptr) {
    VizorCandleRecord bar{};
    bar.time = time;
    bar.calendar = t;
    std::array<char16_t, kCallbackLabelChars> buffer{};
    const std::u16string_view text = axisLabelFromCallback(chart, bar, nullptr, nullptr, buffer);
    return std::u16string(text.substr(0, kTimeTextChars - 1));
  }
  std::array<char, 64> text{};
  const int32_t interval = chart.intervalCode();
  if (interval == VIZOR_INTERVAL_TICK) {
    std::snprintf(text.data(), text.size(), "%02d.%02d.%04d %02d:%02d:%02d.%03d", t.wDay, t.wMonth, t.wYear, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
  } else if (interval >= VIZOR_INTERVAL_MONTH && interval <= VIZOR_INTERVAL_DAY) {
    std::snprintf(text.data(), text.size(), "%02d.%02d.%04d", t.wDay, t.wMonth, t.wYear);
  } else if (interval >= 1) {
    std::snprintf(text.data(), text.size(), "%02d.%02d.%04d %02d:%02d", t.wDay, t.wMonth, t.wYear, t.wHour,
                  t.wMinute);
  }
  return ascii(text.data());
}

}  // namespace

bool CGraph::formatCandleTip(POINT point, FILETIME* time, std::u16string* text, RECT* rect,
                             int32_t horizontalTolerance, int32_t verticalTolerance) const {
  const auto hit = std::find_if(boxes_.begin(), boxes_.end(), [&](const GraphPointBox& b) {
    return point.x >= b.rect.left - horizontalTolerance && point.x <= b.rect.right + horizontalTolerance &&
           point.y >= b.rect.top - verticalTolerance && point.y <= b.rect.bottom + verticalTolerance;
  });
  if (hit == boxes_.end()) return false;
  if (time != nullptr) *time = hit->time;
  if (text != nullptr) {
    const DataPoint& p = *hit->point;
    std::u16string values;
    if (series_->isSingleValue()) {
      values = formatNumberText(p.close, 6, true);
    } else {
      values = u"Open:  " + formatNumberText(p.open, 6, true) + u"\nHigh:   " + formatNumberText(p.high, 6, true) +
               u"\nLow:    " + formatNumberText(p.low, 6, true) + u"\nClose: " + formatNumberText(p.close, 6, true) +
               u"\nVolume: " + formatNumberText(p.volume, 6, true);
    }
    const size_t legend = std::find(std::begin(params_.legend), std::end(params_.legend), u'\0') -
                          std::begin(params_.legend);
    *text = std::u16string(params_.legend, legend) + u"\nTime: " + tipTime(*chart_, hit->time) + u"\n" + values;
  }
  if (rect != nullptr) *rect = hit->rect;
  return true;
}

}  // namespace kelda::chart
