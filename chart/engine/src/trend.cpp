// The trend tool base: codes, bar shifts and re-anchoring from times.
#include "chart/trend.h"

#include "chart/time_index.h"

namespace kelda::chart {

bool isTrendToolCode(int32_t code) { return code >= 0 && code <= 11 && code != 8; }

int32_t trendTypeOfTool(int32_t code) { return code == 0 || code == 5 ? 1 : code; }

int32_t trendTypeOfRecord(int32_t type) {
  switch (type) {
    case 1: case 2: case 3: case 4: case 6: case 7: case 10: case 11: return type;
    default: return 9;
  }
}

CTrend::CTrend(int32_t id, int32_t type, COLORREF colour, int32_t penWidth)
    : id_(id), type_(type), colour_(colour), penWidth_(penWidth) {}

void CTrend::onBarInserted(int32_t index) {
  for (TrendPoint& p : points_) {
    if (p.bar >= index) p.bar += 1.0;
  }
}

void CTrend::reanchor(const BarList& bars, int32_t intervalCode) {
  for (int k = 0; k < 3; ++k) {
    bool beyond = false;
    points_[k].bar = timeToBarIndex(bars, intervalCode, anchorTimes_[k], &beyond);
    if (beyond) beyondBars_ = true;
  }
}

}  // namespace kelda::chart
