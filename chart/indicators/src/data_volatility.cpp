// The volatility series and the Chaikin volatility.
#include "chart/data_volatility.h"

#include <cmath>
#include <memory>

#include "indicator_util.h"

namespace kelda::chart {

CDataVolatility::CDataVolatility(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

void CDataVolatility::calculate(int first, int last) {
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
      setSingleValue(&own[i], s[i].close);
      setExtra(own[i], s[i].extra, s[i].extraSize);
      own[i].valid = 1;
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

CDataChaikinVolat::CDataChaikinVolat(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  range_ = std::make_unique<CDataDiffHighLow>(chart, source).release();
  average_ = std::make_unique<CDataMA>(chart, range_).release();
  const MaParams ma{params_.period, params_.method, 4};
  average_->setParams(nullptr, &ma, sizeof(ma), 0, 0);
  for (CDataCommon* part : {static_cast<CDataCommon*>(range_), static_cast<CDataCommon*>(average_)}) {
    part->setOwnerId(id());
    addCompanion(part);
  }
  addSource(average_);
}

int CDataChaikinVolat::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataChaikinVolat::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                 int recalc) {
  ChaikinVolatParams p;
  if (!readBlock(params, size, &p)) return 0;
  const MaParams ma{p.period, p.method, 4};
  if (!average_->setParams(nullptr, &ma, sizeof(ma), 1, 0)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  // The average recalculates whatever recalc says; this series follows as
  // its dependent.
  average_->setParams(nullptr, &ma, sizeof(ma), 0, 1);
  return 1;
}

void CDataChaikinVolat::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  int from = 0;
  int to = -1;
  if (tailRange(*this, first, percent, &from, &to)) {
    const PointVector& m = average_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < m.size(); ++i) {
      own[i].valid = 0;
      if (!passes(m[i])) continue;
      const int k = passingBack(passes, m, i, params_.period);
      if (k < 0) continue;
      const double r = m[k].close;
      // A reference range of exactly zero shows 0; one that is tiny but not
      // zero gives no value rather than a change blown up by the division.
      if (r != 0.0 && std::fabs(r) < kEpsilon) continue;
      setSingleValue(&own[i], r != 0.0 ? (m[i].close - r) / r * 100.0 : 0.0);
      own[i].valid = 1;
    }
    if (percent) percentPass(*this, to);
  }
  finishRange(*this, first, from, to);
}

}  // namespace kelda::chart
