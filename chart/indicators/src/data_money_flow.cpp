// The money flow and market facilitation indexes.
#include "chart/data_money_flow.h"

#include <algorithm>
#include <cmath>

#include "indicator_util.h"
#include "sliding_window.h"

namespace kelda::chart {

CDataMFI::CDataMFI(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataMFI::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, period_);
}

int CDataMFI::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  int32_t period = 0;
  if (!readBlock(params, size, &period) || period < 1 || period > kMaxPeriod) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  period_ = period;
  calculate(-1, -1);
  return 1;
}

namespace {

// The money flows over the last n + 1 passing points as the bars go by:
// each point after the first of the window adds volume times typical price
// to the positive flow when its typical price is above the one before it,
// to the negative flow when below. The flows slide as compensated sums and
// are summed afresh (newest pair first, as the walk adds them) at every
// stride bar.
class FlowWindow {
 public:
  FlowWindow(const PointVector& source, const PointFilter& passes, int32_t period)
      : source_(source), passes_(passes), n_(period), window_(period + 1, source.size()) {}

  void fillAt(int32_t at) {
    window_.fillAt(source_, passes_, at);
    resum();
    nextResum_ = nextResum(at, n_);
  }
  void advance(int32_t i, bool passing) {
    if (passing) {
      if (window_.size() > 0) add(i, window_.newest(0), 1);
      const int32_t left = window_.push(i);
      // The pair of the point that left and the one after it leaves too.
      if (left >= 0) add(window_.oldest(), left, -1);
    }
    if (i == nextResum_) {
      resum();
      nextResum_ += resumStride(n_);
    }
  }
  bool full() const { return window_.full(); }
  double positive() const { return positive_.value(); }
  double negative() const { return negative_.value(); }

 private:
  void add(int32_t later, int32_t earlier, int sign) {
    const double t = typicalPrice(&source_[later]);
    const double before = typicalPrice(&source_[earlier]);
    if (t > before) positive_.add(sign * (source_[later].volume * t));
    if (t < before) negative_.add(sign * (source_[later].volume * t));
  }
  void resum() {
    positive_.reset();
    negative_.reset();
    for (int32_t k = 0; k + 1 < window_.size(); ++k) add(window_.newest(k), window_.newest(k + 1), 1);
  }

  const PointVector& source_;
  const PointFilter& passes_;
  int32_t n_;
  int32_t nextResum_ = 0;
  PassingWindow window_;
  CompensatedSum positive_;
  CompensatedSum negative_;
};

}  // namespace

void CDataMFI::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  const bool whole = first == -1 || percent;
  PointVector& own = getPoints();
  const PointVector& s = source_->getPoints();
  const int start = whole ? 0 : std::max(first, 0);
  const int end = std::min(own.size(), s.size()) - 1;
  int handled = start - 1;
  int after = 0;
  FlowWindow flows(s, passes, period_);
  flows.fillAt(start - 1);
  for (int i = start; i <= end; ++i) {
    handled = i;
    DataPoint& p = own[i];
    p.valid = 0;
    const bool passing = passes(s[i]);
    flows.advance(i, passing);
    if (i < period_ || !passing || !flows.full()) continue;
    const double negative = flows.negative();
    setSingleValue(&p, std::fabs(negative) < kEpsilon ? 100.0 : 100.0 - 100.0 / (flows.positive() / negative + 1.0));
    p.valid = 1;
    // A bar reaches only the next n + 1 values: a partial update stops there.
    if (!whole && i >= last && ++after >= period_ + 1) break;
  }
  if (percent) {
    for (int i = 0; i <= handled; ++i) {
      if (own[i].valid) toPercentOfBase(&own[i]);
    }
  }
  const int to = std::max(handled, start);
  updateHasData(first == -1 ? -1 : start, to);
  notifyDependents(first == -1 ? -1 : start, first == -1 ? -1 : to);
}

CDataBW_MFI::CDataBW_MFI(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataBW_MFI::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (!checkOnly && recalc) calculate(-1, -1);
  return 1;
}

void CDataBW_MFI::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < s.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(s[i]) || std::fabs(s[i].volume) < kEpsilon) continue;
      setSingleValue(&p, (s[i].high - s[i].low) / s[i].volume);
      p.valid = 1;
      toPercentOfBase(&p);
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

}  // namespace kelda::chart
