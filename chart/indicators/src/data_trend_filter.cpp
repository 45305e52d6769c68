// The vertical-horizontal filter and the high-minus-low series.
#include "chart/data_trend_filter.h"

#include <cmath>

#include "indicator_util.h"

namespace kelda::chart {

CDataVHFilter::CDataVHFilter(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataVHFilter::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataVHFilter::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                             int recalc) {
  VhFilterParams p;
  if (!readBlock(params, size, &p)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  if (recalc) calculate(-1, -1);
  return 1;
}

bool CDataVHFilter::valueAt(const PointVector& s, int i, double* value) const {
  const PointFilter passes(*this);
  const int32_t field = params_.field;
  double hi = selectPrice(field, &s[i]);
  double lo = hi;
  double sum = 0.0;
  int c = params_.period;
  for (int j = i; c > 0 && j >= 1; --j) {
    if (!passes(s[j]) || !passes(s[j - 1])) continue;
    const double p = selectPrice(field, &s[j]);
    if (p > hi) hi = p;
    if (p < lo) lo = p;
    sum += std::fabs(p - selectPrice(field, &s[j - 1]));
    --c;
  }
  // No movement at all (or too little history): no value rather than a
  // division by a zero sum.
  if (c > 0 || std::fabs(sum) < kEpsilon) return false;
  *value = (hi - lo) / sum;
  return true;
}

void CDataVHFilter::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  int from = 0;
  int to = -1;
  if (tailRange(*this, first, percent, &from, &to)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < s.size(); ++i) {
      own[i].valid = 0;
      if (i < params_.period || params_.period < 1 || !passes(s[i])) continue;
      double value = 0.0;
      if (!valueAt(s, i, &value)) continue;
      setSingleValue(&own[i], value);
      own[i].valid = 1;
    }
    if (percent) percentPass(*this, to);
  }
  finishRange(*this, first, from, to);
}

CDataDiffHighLow::CDataDiffHighLow(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  addSource(&source);
}

int CDataDiffHighLow::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, period_);
}

int CDataDiffHighLow::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                int recalc) {
  int32_t period = 0;
  if (!readBlock(params, size, &period)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  period_ = period;
  if (recalc) calculate(-1, -1);
  return 1;
}

void CDataDiffHighLow::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < s.size(); ++i) {
      own[i].valid = 0;
      if (!passes(s[i])) continue;
      setSingleValue(&own[i], s[i].high - s[i].low);
      own[i].valid = 1;
      toPercentOfBase(&own[i]);
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

}  // namespace kelda::chart
