// The bar list of a chart: adding, reading and clearing bars, the visible
// range, period markers and the interval-change protocol.
#include <algorithm>

#include "chart/chart.h"
#include "chart/data_common.h"
#include "chart/graph.h"
#include "chart/period.h"
#include "platform/last_error.h"
#include "platform/packed_time.h"
#include "platform/time.h"

namespace kelda::chart {

namespace {

// The same time with hours, minutes and seconds replaced.
FILETIME withTimeOfDay(FILETIME t, int hour, int minute, int second) {
  SYSTEMTIME st{};
  if (!platform::file_time_to_system_time(t, st)) return t;
  st.wHour = static_cast<uint16_t>(hour);
  st.wMinute = static_cast<uint16_t>(minute);
  st.wSecond = static_cast<uint16_t>(second);
  st.wMilliseconds = 0;
  FILETIME out = t;
  platform::system_time_to_file_time(st, out);
  return out;
}

}  // namespace

bool CChart::barPassesModeFilter(FILETIME t) const {
  if (params_.mode != VIZOR_MODE_DAY_RANGE || params_.interval < 0.0) return true;
  const int32_t bar = platform::packDateTime(t, nullptr);
  const int32_t to = platform::packDateTime(params_.to, nullptr);
  return bar >= platform::packDateTime(params_.from, nullptr) && (to == 0 || bar <= to);
}

BOOL CChart::addBar(int32_t seriesId, FILETIME time, double open, double high, double low, double close,
                    double volume, const void* extra, int32_t extraSize, BOOL redraw) {
  CDataCommon* series = findBarAligned(seriesId);
  FILETIME barTime{};
  if (series == nullptr || !roundBarTime(time, intervalCode(), barTime)) {
    platform::set_last_error(VIZOR_ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!barPassesModeFilter(barTime)) return 1;
  bool isNew = false;
  const int32_t index = insertBar(barTime, &isNew, redraw != 0);
  const bool changed = series->setPointValues(index, open, high, low, close, volume, extra, extraSize) != 0;
  if ((changed || isNew) && redraw) {
    series->calculate(index, index);
    invalidate(true);
  }
  finishIntervalChange(barTime);
  return 1;
}

void CChart::finishIntervalChange(FILETIME barTime) {
  if (!intervalChanging_) {
    reanchorTrends();
    return;
  }
  if (roundRemembered_) {
    // Rounded to the new interval's bars by the one bar-time rule, so that no
    // interval (0 or negative among them) is ever divided by.
    FILETIME rounded{};
    if (intervalCode() != 0 && roundBarTime(rememberedTime_, intervalCode(), rounded)) rememberedTime_ = rounded;
    roundRemembered_ = false;
  }
  if (!lessFileTime(barTime, rememberedTime_)) {
    intervalChanging_ = false;
    reanchorTrends();
  }
}

int32_t CChart::insertBar(FILETIME t, bool* isNew, bool redraw) {
  const int32_t index = bars_.lowerBound(t);
  if (index < bars_.size() && sameFileTime(bars_[index].time, t)) {
    *isNew = false;
    return index;
  }
  bars_.insert(index, t);
  size_t done = 0;
  try {
    for (; done < series_.size(); ++done) series_[done]->insertPoint(index, t);
  } catch (...) {
    for (size_t i = 0; i < done; ++i) series_[i]->deletePoint(index);
    bars_.erase(index);
    throw;
  }
  if (redraw && markersValid_) {
    if (index == bars_.size() - 1 && bars_.size() >= 2) {
      for (int32_t kind = kHour; kind <= kYear; ++kind) updatePeriodMarkers(bars_, kind);
    } else {
      markersValid_ = false;
    }
  } else {
    markersValid_ = false;
  }
  updateVisibleRange(t);
  *isNew = true;
  return index;
}

BOOL CChart::getBar(int32_t seriesId, FILETIME t, double* open, double* high, double* low, double* close,
                    double* volume) {
  CDataCommon* series = findBarAligned(seriesId);
  if (series == nullptr) {
    platform::set_last_error(VIZOR_ERROR_INVALID_PARAMETER);
    return 0;
  }
  const PointVector& points = series->points();
  const int32_t i = bars_.find(t);
  if (i < 0 || i >= points.size()) return 0;
  const DataPoint& p = points[i];
  if (!p.valid) {
    *open = *high = *low = *close = *volume = 0.0;
    return 0;
  }
  *open = p.open, *high = p.high, *low = p.low, *close = p.close, *volume = p.volume;
  return 1;
}

BOOL CChart::clear(int32_t seriesId, bool recalculate) {
  if (seriesId == 0) {
    bars_.clear();
    updateVisibleRange(FILETIME{0, 0});
    for (size_t i = 0; i < series_.size(); ++i) series_[i]->clearPoints();
    markersValid_ = false;
    invalidate(true);
    return 1;
  }
  CDataCommon* series = findBarAligned(seriesId);
  if (series == nullptr) {
    platform::set_last_error(VIZOR_ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Everything computed from the series goes empty with it: otherwise their
  // old bars would keep the bar list alive and interleave with reloaded ones.
  std::vector<CData*> pending{series};
  std::vector<CData*> seen;
  while (!pending.empty()) {
    CData* s = pending.back();
    pending.pop_back();
    if (std::find(seen.begin(), seen.end(), s) != seen.end()) continue;
    seen.push_back(s);
    if (auto* common = dynamic_cast<CDataCommon*>(s)) common->invalidatePoints();
    pending.insert(pending.end(), s->dependents().begin(), s->dependents().end());
  }
  dropUnusedBars();
  if (recalculate) return redraw(seriesId);
  return 1;
}

void CChart::deleteBar(int32_t index) {
  for (CData* s : series_) s->deletePoint(index);
  bars_.erase(index);
}

void CChart::dropUnusedBars() {
  std::vector<CDataCommon*> aligned;
  for (CData* s : series_) {
    if (auto* common = dynamic_cast<CDataCommon*>(s)) aligned.push_back(common);
  }
  for (int32_t i = bars_.size() - 1; i >= 0; --i) {
    const bool held = std::any_of(aligned.begin(), aligned.end(),
                                  [i](const CDataCommon* s) { return s->isPointEmpty(i) == 0; });
    if (!held) deleteBar(i);
  }
  markersValid_ = false;
  updateVisibleRange(FILETIME{0, 0});
}

void CChart::updateVisibleRange(FILETIME t) {
  const int32_t n = bars_.size();
  const int32_t mode = params_.mode;
  if (mode == VIZOR_MODE_ALL) {
    firstInRange_ = 0, countInRange_ = n;
    return;
  }
  if (mode == VIZOR_MODE_LAST_N) {
    firstInRange_ = n < params_.barCount ? 0 : n - params_.barCount;
    countInRange_ = std::min(n, params_.barCount);
    return;
  }
  if (mode != VIZOR_MODE_DAY_RANGE && mode != VIZOR_MODE_RANGE) return;
  if (isZeroFileTime(t)) {
    const int32_t a = bars_.lowerBound(params_.from);
    const int32_t b = bars_.lowerBound(params_.to);
    if (a == n) {
      // Every bar lies before the range: it starts past them, so that a bar
      // arriving inside it later is counted at its own index.
      firstInRange_ = n, countInRange_ = 0;
    } else if (b == n) {
      firstInRange_ = a, countInRange_ = n - a;
    } else {
      firstInRange_ = a;
      countInRange_ = b - a + (sameFileTime(bars_[b].time, params_.to) ? 1 : 0);
    }
    return;
  }
  FILETIME from = params_.from;
  FILETIME to = params_.to;
  if (mode == VIZOR_MODE_DAY_RANGE && params_.interval < 0.0) {
    from = withTimeOfDay(from, 0, 0, 0);
    to = withTimeOfDay(to, 23, 59, 59);
  }
  if (lessFileTime(t, from)) {
    ++firstInRange_;
  } else if (!lessFileTime(to, t)) {
    ++countInRange_;
  }
}

void CChart::startIntervalChanging() {
  if (bars_.empty()) return;
  intervalChanging_ = true;
  roundRemembered_ = params_.interval == 0.0;
  rememberedTime_ = bars_.back().time;
}

void CChart::computeVisibleMarkers() {
  const int32_t last = firstInRange_ + countInRange_ - 1;
  computePeriodMarkers(bars_, firstInRange_, last, kYear);
  computePeriodMarkers(bars_, firstInRange_, last, kWeek);
  markersValid_ = true;
}

void CChart::reanchorTrends() {
  bool moved = false;
  for (CData* s : series_) {
    if (CGraph* graph = s->getGraph()) {
      for (auto& trend : graph->trends()) moved = trend->reanchorAfterNewBars() || moved;
    }
  }
  if (moved) invalidate(false);
}

}  // namespace kelda::chart
