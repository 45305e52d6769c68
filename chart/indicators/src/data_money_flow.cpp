// The money flow and market facilitation indexes.
#include "chart/data_money_flow.h"

#include <algorithm>
#include <cmath>

#include "indicator_util.h"

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

bool CDataMFI::valueAt(const PointVector& s, int i, double* value) const {
  const PointFilter passes(*this);
  double positive = 0.0;
  double negative = 0.0;
  int taken = 0;
  const DataPoint* later = nullptr;
  for (int k = i; k >= 0 && taken < period_ + 1; --k) {
    if (!passes(s[k])) continue;
    if (later != nullptr) {
      const double t = typicalPrice(later);
      const double earlier = typicalPrice(&s[k]);
      if (t > earlier) positive += later->volume * t;
      if (t < earlier) negative += later->volume * t;
    }
    later = &s[k];
    ++taken;
  }
  if (taken < period_ + 1) return false;
  *value = std::fabs(negative) < kEpsilon ? 100.0 : 100.0 - 100.0 / (positive / negative + 1.0);
  return true;
}

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
  for (int i = start; i <= end; ++i) {
    handled = i;
    DataPoint& p = own[i];
    p.valid = 0;
    if (i < period_ || !passes(s[i])) continue;
    double value = 0.0;
    if (!valueAt(s, i, &value)) continue;
    setSingleValue(&p, value);
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
