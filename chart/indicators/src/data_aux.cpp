// The auxiliary series of composite indicators.
#include "chart/data_aux.h"

#include <algorithm>
#include <cstring>

#include "indicator_util.h"
#include "sliding_window.h"

namespace kelda::chart {

CDataDifference::CDataDifference(CChart& chart, CData& a, CData& b) : CDataCommon(chart, 0, 2), a_(&a), b_(&b) {
  typeCode_ = kTypeCode;
  addSource(&a);
  addSource(&b);
}

int CDataDifference::getParams(VizorGraphParams*, void* params, int size) {
  if (params == nullptr || size != static_cast<int>(sizeof(field_))) return 0;
  std::memcpy(params, &field_, sizeof(field_));
  return 1;
}

int CDataDifference::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                               int recalc) {
  if (params == nullptr || size != static_cast<int>(sizeof(field_))) return 0;
  int32_t field = 0;
  std::memcpy(&field, params, sizeof(field));
  if (field < 1 || field > 6) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  field_ = field;
  if (recalc) calculate(-1, -1);
  return 1;
}

void CDataDifference::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    const PointVector& a = a_->getPoints();
    const PointVector& b = b_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < a.size() && i < b.size(); ++i) {
      own[i].valid = 0;
      if (!passes(a[i]) || !passes(b[i])) continue;
      setSingleValue(&own[i], selectPrice(field_, &a[i]) - selectPrice(field_, &b[i]));
      own[i].valid = 1;
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

CDataMedianPrice::CDataMedianPrice(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

void CDataMedianPrice::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to; ++i) {
      own[i].valid = 0;
      if (i >= s.size() || !passes(s[i])) continue;
      setSingleValue(&own[i], (s[i].low + s[i].high) * 0.5);
      own[i].valid = 1;
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

CDataTypicalPrice::CDataTypicalPrice(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

void CDataTypicalPrice::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to; ++i) {
      own[i].valid = 0;
      if (i >= s.size() || !passes(s[i])) continue;
      setSingleValue(&own[i], typicalPrice(&s[i]));
      own[i].valid = 1;
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

CDataShift::CDataShift(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = source.typeCode();
  addSource(&source);
}

void CDataShift::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  const int m = shiftCount();
  const int start = first == -1 ? 0 : std::max(first, 0);
  // The last m passing source points before the bar: the oldest of them is
  // the one shown (a negative count shows nothing).
  PassingWindow before(std::max(m, 1), s.size());
  if (m > 0) before.fillAt(s, passes, start - 1);
  for (int i = start; i < own.size(); ++i) {
    own[i].valid = 0;
    if (i >= s.size()) continue;
    const bool passing = passes(s[i]);
    int taken = -1;
    if (m == 0) {
      taken = passing ? i : -1;
    } else if (m > 0 && before.full()) {
      taken = before.oldest();
    }
    if (m > 0 && passing) before.push(i);
    if (i < m - 1 || taken < 0) continue;
    setSingleValue(&own[i], s[taken].close);
    own[i].valid = 1;
    if (percent) toPercentOfBase(&own[i]);
  }
  updateHasData(first, last);
  notifyDependents(first == -1 ? -1 : start, first == -1 ? -1 : own.size() - 1);
}

}  // namespace kelda::chart
