// The awesome and accelerator oscillators.
#include "chart/data_awesome.h"

#include <algorithm>
#include <memory>

#include "chart/data_aux.h"
#include "indicator_util.h"

namespace kelda::chart {

CDataAO::CDataAO(CChart& chart, CData& source) : CDataCommon(chart, 0, 2) {
  typeCode_ = kTypeCode;
  median_ = std::make_unique<CDataMedianPrice>(chart, source).release();
  // Until the first setParams both averages keep the average's defaults.
  fast_ = std::make_unique<CDataMA>(chart, median_).release();
  slow_ = std::make_unique<CDataMA>(chart, median_).release();
  addSource(fast_);
  addSource(slow_);
  for (CDataCommon* part :
       {static_cast<CDataCommon*>(median_), static_cast<CDataCommon*>(fast_), static_cast<CDataCommon*>(slow_)}) {
    part->setOwnerId(id());
    addCompanion(part);
  }
}

int CDataAO::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataAO::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  AwesomeParams p;
  if (!readBlock(params, size, &p)) return 0;
  const MaParams fast{p.fastPeriod, p.method, p.field};
  const MaParams slow{p.slowPeriod, p.method, p.field};
  if (!fast_->setParams(nullptr, &fast, sizeof(fast), 1, 0) || !slow_->setParams(nullptr, &slow, sizeof(slow), 1, 0) ||
      !CDataCommon::setParams(graph, params, size, 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  // The price field is read by the calculation that the averages start.
  params_ = p;
  CDataCommon::setParams(graph, params, size, 0, recalc);
  fast_->setParams(nullptr, &fast, sizeof(fast), 0, 1);
  slow_->setParams(nullptr, &slow, sizeof(slow), 0, 1);
  return 1;
}

void CDataAO::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  PointVector& own = getPoints();
  int from = first;
  int to = first == -1 ? -1 : own.size() - 1;
  if (resolveRange(from, to)) {
    const PointVector& f = fast_->getPoints();
    const PointVector& s = slow_->getPoints();
    for (int i = from; i <= to && i < f.size() && i < s.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(f[i]) || !passes(s[i])) continue;
      setSingleValue(&p, selectPrice(params_.field, &f[i]) - selectPrice(params_.field, &s[i]));
      p.valid = 1;
      toPercentOfBase(&p);
    }
  }
  updateHasData(first == -1 ? -1 : from, to);
  notifyDependents(first == -1 ? -1 : from, first == -1 ? -1 : to);
}

CDataAC::CDataAC(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  oscillator_ = std::make_unique<CDataAO>(chart, source).release();
  average_ = std::make_unique<CDataMA>(chart, oscillator_).release();
  addSource(average_);
  for (CDataCommon* part : {static_cast<CDataCommon*>(oscillator_), static_cast<CDataCommon*>(average_)}) {
    part->setOwnerId(id());
    addCompanion(part);
  }
}

int CDataAC::getParams(VizorGraphParams* /*graphOut*/, void* params, int size) {
  // The oscillator's block, and no graph block: the oscillator inside has no
  // graph, and the caller's graph block is left as it is.
  if (params == nullptr || size != static_cast<int>(sizeof(AwesomeParams))) return 0;
  return oscillator_->getParams(nullptr, params, size);
}

int CDataAC::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  AwesomeParams p;
  if (!readBlock(params, size, &p)) return 0;
  const MaParams smoothing{kSmoothing, p.method, p.field};
  if (!oscillator_->setParams(nullptr, params, size, 1, 0) ||
      !average_->setParams(nullptr, &smoothing, sizeof(smoothing), 1, 0) ||
      !CDataCommon::setParams(graph, params, size, 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  CDataCommon::setParams(graph, params, size, 0, recalc);
  // The average follows the oscillator, and this series the average.
  average_->setParams(nullptr, &smoothing, sizeof(smoothing), 0, 0);
  oscillator_->setParams(nullptr, params, size, 0, 1);
  return 1;
}

void CDataAC::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    const int32_t field = oscillator_->params().field;
    const PointVector& o = oscillator_->getPoints();
    const PointVector& m = average_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < o.size() && i < m.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(o[i]) || !passes(m[i])) continue;
      setSingleValue(&p, selectPrice(field, &o[i]) - selectPrice(field, &m[i]));
      p.valid = 1;
      toPercentOfBase(&p);
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

}  // namespace kelda::chart
