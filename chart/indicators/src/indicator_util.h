// Helpers shared by the indicator classes: parameter blocks in and out, the
// percent flag of a series' graph, the range a calculation runs over and the
// backward walks over passing points. Not thread-safe (the chart's thread);
// never throw.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>

#include "chart/data_common.h"
#include "chart/graph.h"

namespace kelda::chart {

// Copies a caller's block of exactly sizeof(Block) bytes; false for a null
// block or another size.
template <class Block>
bool readBlock(const void* params, int size, Block* out) {
  if (params == nullptr || size != static_cast<int>(sizeof(Block))) return false;
  std::memcpy(out, params, sizeof(Block));
  return true;
}

// The class's own block after the graph block (baseResult: the base's
// getParams): 0 unless the size fits and the base succeeded.
template <class Block>
int writeBlock(int baseResult, void* params, int size, const Block& block) {
  if (params == nullptr || size != static_cast<int>(sizeof(Block)) || !baseResult) return 0;
  std::memcpy(params, &block, sizeof(Block));
  return 1;
}

// The series is drawn in percent of its graph's base value.
inline bool percentShown(const CData& series) {
  const CGraph* graph = series.getGraph();
  return graph != nullptr && graph->params().percentMode != 0;
}

// The candle of a source point as a price series draws it: copied as it
// is, or, when the series' graph shows percent of a base, each of the five
// values (the volume too) in percent of that base; a base of (nearly) zero
// gives 0.0 prices and volume 1.0. The middle lines that are price series
// over an average (bands, envelopes, Elder ray, MACD histogram) take their
// points the same way. The caller sets the valid byte.
class PriceCopy {
 public:
  explicit PriceCopy(const CData& series) {
    const CGraph* graph = series.getGraph();
    percent_ = graph != nullptr && graph->params().percentMode != 0;
    base_ = percent_ ? graph->params().percentBase : 0.0;
    scale_ = std::fabs(base_);
  }
  void operator()(const DataPoint& s, DataPoint* p) const {
    if (!percent_) {
      p->open = s.open, p->high = s.high, p->low = s.low, p->close = s.close, p->volume = s.volume;
    } else if (scale_ >= kEpsilon) {
      p->open = (s.open - base_) / scale_ * 100.0;
      p->high = (s.high - base_) / scale_ * 100.0;
      p->low = (s.low - base_) / scale_ * 100.0;
      p->close = (s.close - base_) / scale_ * 100.0;
      p->volume = (s.volume - base_) / scale_ * 100.0;
    } else {
      p->open = p->high = p->low = p->close = 0.0;
      p->volume = 1.0;
    }
  }

 private:
  bool percent_ = false;
  double base_ = 0.0;
  double scale_ = 0.0;
};

// The bars a windowed or recursive calculation revisits: from `first` (bar 0
// for -1 or in percent mode) to the chart's last bar, because a change at a
// bar moves the values after it. False when there is no bar.
inline bool tailRange(const CDataCommon& series, int first, bool percent, int* from, int* to) {
  *from = first == -1 || percent ? 0 : std::max(first, 0);
  *to = series.points().size() - 1;
  return *from <= *to;
}

// Applies the percent transformation to every valid point of 0..to.
inline void percentPass(CDataCommon& series, int to) {
  PointVector& own = series.getPoints();
  for (int i = 0; i <= to && i < own.size(); ++i) {
    if (own[i].valid) series.toPercentOfBase(&own[i]);
  }
}

// Walks down from bar `from` (included) over the points that pass `filter`'s
// trading-hours test and returns the index of the count-th one; -1 when the
// walk reaches bar 0 first.
inline int passingBack(const PointFilter& passes, const PointVector& points, int from, int count) {
  if (count < 1) return -1;
  int counted = 0;
  for (int k = std::min(from, points.size() - 1); k >= 0; --k) {
    if (passes(points[k]) && ++counted == count) return k;
  }
  return -1;
}
inline int passingBack(const CData& filter, const PointVector& points, int from, int count) {
  return passingBack(PointFilter(filter), points, from, count);
}

// Ends a calculation over from..to that a call over `first` (-1: all) asked
// for: the has-data flag and the dependents get the bars recomputed.
inline void finishRange(CDataCommon& series, int first, int from, int to) {
  series.updateHasData(first == -1 ? -1 : from, to);
  series.notifyDependents(first == -1 ? -1 : from, first == -1 ? -1 : to);
}

// One calculation cycle of a series that recomputes the tail from `first`:
// the source notice, `computeBar(i)` for every bar of the tail that the
// source has (from bar 0 in percent mode), the percent pass over the bars
// recomputed and the end of the cycle. `computeBar` writes point i whole,
// its valid byte included.
template <class ComputeBar>
void calculateTail(CDataCommon& series, int first, int last, int sourceSize, ComputeBar&& computeBar) {
  if (!series.takeSourceNotice(first, last)) return;
  const bool percent = percentShown(series);
  int from = 0;
  int to = -1;
  if (tailRange(series, first, percent, &from, &to)) {
    for (int i = from; i <= to && i < sourceSize; ++i) computeBar(i);
    if (percent) percentPass(series, to);
  }
  finishRange(series, first, from, to);
}

}  // namespace kelda::chart
