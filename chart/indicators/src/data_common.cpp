// The bar-aligned series: point vector upkeep, has-data, min/max, lookups.
#include "chart/data_common.h"

#include <algorithm>

#include "chart/chart.h"
#include "chart/graph.h"
#include "chart/wide_text.h"
#include "platform/last_error.h"
#include "platform/packed_time.h"

namespace kelda::chart {

namespace {

// The graph's shift in bars when its shift flag is set, else 0.
int32_t graphShift(const VizorGraphParams* graph) {
  return graph != nullptr && graph->shiftFlag != 0 ? graph->shift : 0;
}

}  // namespace

CDataCommon::CDataCommon(CChart& chart, int32_t extraSize, int32_t sourceCount)
    : CData(chart, extraSize, sourceCount) {
  const BarList& bars = chart.bars();
  for (int32_t i = 0; i < bars.size(); ++i) {
    points_.push_back(makeEmptyPoint(bars[i].time, extraSize_));
  }
}

CDataCommon::~CDataCommon() { freePoints(); }

void CDataCommon::freePoints() {
  for (DataPoint& point : points_) freeExtra(point);
  points_.clear();
}

bool CDataCommon::resolveRange(int& first, int& last) const {
  if (first == -1) {
    first = 0;
    last = chart().bars().size() - 1;
  }
  first = std::max(first, 0);
  last = std::min(last, points_.size() - 1);
  return first <= last;
}

double CDataCommon::lastVisibleValue() const {
  const PointFilter passes(*this);
  const CChart& c = chart();
  if (!hasData_ || c.countInRange() == 0) return 0.0;
  const int32_t first = c.firstInRange();
  const int32_t last = std::min(first + c.countInRange() - 1, points_.size() - 1);
  for (int32_t i = last; i >= first; --i) {
    if (passes(points_[i])) return points_[i].close;
  }
  return 0.0;
}

int CDataCommon::getMinMax(int closeOnly, double* min, double* max, const VizorGraphParams* graph) const {
  if (!hasData_) return 0;
  const CChart& c = chart();
  const int32_t shift = graphShift(graph);
  int32_t first = std::max(c.firstInRange() - shift, 0);
  int32_t last = c.firstInRange() + c.countInRange() - 1;
  const ScrollState& scroll = c.scroll();
  if (scroll.shown && scroll.page != 0) {
    first = c.firstInRange() - shift + scroll.position - 1;
    last = first + scroll.page - 1;
    last = std::min(last, c.bars().size() - 1);
    first = std::max(std::min(first, last), 0);
  }
  last = std::min(last, points_.size() - 1);
  bool found = false;
  double low = 0, high = 0, lowClose = 0, highClose = 0;
  for (int32_t i = first; i <= last; ++i) {
    const DataPoint& p = points_[i];
    if (!p.valid) continue;
    if (!found) {
      low = p.low, high = p.high, lowClose = highClose = p.close;
      found = true;
      continue;
    }
    low = std::min(low, p.low);
    high = std::max(high, p.high);
    lowClose = std::min(lowClose, p.close);
    highClose = std::max(highClose, p.close);
  }
  if (found) {
    *min = closeOnly ? lowClose : low;
    *max = closeOnly ? highClose : high;
    return 1;
  }
  if (c.countInRange() == 0) return 0;
  double close = 0.0;
  const CGraph* own = getGraph();
  if (own == nullptr || !own->lastVisibleClose(&close)) close = 0.0;
  *min = *max = close;
  return 1;
}

void CDataCommon::clearPoints() {
  freePoints();
  hasData_ = 0;
  CData::clearPoints();
}

void CDataCommon::updateHasData(int first, int last) {
  const PointFilter passes(*this);
  const CChart& c = chart();
  const int32_t window_first = c.firstInRange();
  const int32_t window_last = c.firstInRange() + c.countInRange() - 1;
  if (first == -1 || (first == window_first && last == window_last)) {
    hasData_ = 0;
    first = window_first;
    last = window_last;
  }
  if (hasData_) return;
  first = std::max(first, 0);
  last = std::min(last, points_.size() - 1);
  for (int32_t i = first; i <= last; ++i) {
    if (passes(points_[i])) {
      hasData_ = 1;
      return;
    }
  }
}

void CDataCommon::insertPoint(int index, FILETIME barTime) {
  points_.insert(index, makeEmptyPoint(barTime, extraSize_));
  CData::insertPoint(index, barTime);
}

void CDataCommon::deletePoint(int index) {
  if (index < 0 || index >= points_.size()) return;
  freeExtra(points_[index]);
  points_.erase(index);
  CData::deletePoint(index);
}

int CDataCommon::isPointEmpty(int index) const {
  if (index < 0 || index >= points_.size()) return 1;
  return points_[index].valid == 0 ? 1 : 0;
}

int CDataCommon::findValidPoint(int index, const CGraph* graph, const PointVector& points) const {
  const PointFilter passes(*this);
  if (graph == nullptr || index < 0) return -1;
  const int32_t n = graphShift(&graph->params());
  const int step = n >= 0 ? -1 : 1;
  int32_t count = 0;
  for (int32_t i = index; i >= 0 && i < points.size(); i += step) {
    if (!passes(points[i])) continue;
    if (count == n) return i;
    count += step == -1 ? 1 : -1;
  }
  return -1;
}

int CDataCommon::valuesAtTime(int date, int time, VizorCandleQuery* query) {
  const int32_t code = chart().intervalCode();
  FILETIME bar{};
  if (!roundBarTime(platform::unpackDateTime(date, time), code, bar)) return 0;
  if (code >= 1) {
    query->timeOfDay = platform::packDateTime(bar, nullptr);
  } else {
    query->timeOfDay = code == 0 ? time : 0;
  }
  return valuesAt(bar, query);
}

int CDataCommon::valuesAt(FILETIME barTime, VizorCandleQuery* query) {
  const PointFilter passes(*this);
  query->lineCount = 1;
  const CChart& c = chart();
  const int32_t first = std::max(c.firstInRange(), 0);
  const int32_t last = std::min(c.firstInRange() + c.countInRange() - 1, points_.size() - 1);
  int32_t found = -1;
  for (int32_t i = first; i <= last; ++i) {
    if (sameFileTime(points_[i].time, barTime) && passes(points_[i])) {
      found = i;
      break;
    }
  }
  const CGraph* graph = getGraph();
  const int32_t j = found < 0 ? -1 : findValidPoint(found, graph, points_);
  if (j < 0) {
    platform::set_last_error(VIZOR_ERROR_NOT_FOUND);
    return 0;
  }
  VizorPointValues& out = query->values[0];
  if (graph != nullptr) {
    copyWideField(out.legend, 100, graph->params().legend, 66);
  } else {
    out.legend[0] = 0;
  }
  const DataPoint& p = points_[j];
  out.open = p.open;
  out.close = p.close;
  out.high = p.high;
  out.low = p.low;
  out.volume = p.volume;
  return 1;
}

int CDataCommon::setPointValues(int index, double open, double high, double low, double close, double volume,
                                const void* extra, int32_t extraSize) {
  if (index < 0 || index >= points_.size()) return 0;
  DataPoint& p = points_[index];
  setExtra(p, extra, extraSize);
  if (p.valid && p.open == open && p.high == high && p.low == low && p.close == close && p.volume == volume) {
    return 0;
  }
  p.open = open;
  p.high = high;
  p.low = low;
  p.close = close;
  p.volume = volume;
  p.valid = 1;
  return 1;
}

void CDataCommon::invalidatePoints() {
  for (DataPoint& point : points_) point.valid = 0;
}

int CDataCommon::lastValidBefore(const PointVector& points, int index) {
  for (int32_t i = std::min(index, points.size()) - 1; i >= 0; --i) {
    if (points[i].valid) return i;
  }
  return -1;
}

CDataSecurity::CDataSecurity(CChart& chart) : CDataCommon(chart, 0, 1) {}

void CDataSecurity::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  updateHasData(first, last);
  notifyDependents(first, last);
}

}  // namespace kelda::chart
