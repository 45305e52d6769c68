// Momentum, rate of change, smoothed rate of change, the Chande momentum
// oscillator and Williams' percent range.
#include "chart/data_momentum.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "indicator_util.h"

namespace kelda::chart {

namespace {

// The shape every one of these setParams follows once its own checks passed:
// the graph block through the base, then the block, then the calculation.
template <class Block>
int applyBlock(CDataCommon& series, Block& stored, const Block& p, const VizorGraphParams* graph, int size,
               int checkOnly, int recalc) {
  if (!series.CDataCommon::setParams(graph, &p, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  stored = p;
  if (recalc) series.calculate(-1, -1);
  return 1;
}

}  // namespace

CDataMom::CDataMom(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataMom::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataMom::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  MomentumParams p;
  if (!readBlock(params, size, &p)) return 0;
  return applyBlock(*this, params_, p, graph, size, checkOnly, recalc);
}

void CDataMom::calculate(int first, int last) {
  const PointFilter passes(*this);
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  const int n = params_.period;
  calculateTail(*this, first, last, s.size(), [&](int i) {
    own[i].valid = 0;
    if (i < n - 1 || !passes(s[i])) return;
    const int j = passingBack(passes, s, i - 1, n);
    if (j < 0) return;
    const double a = selectPrice(params_.field, &s[i]);
    const double b = selectPrice(params_.field, &s[j]);
    setSingleValue(&own[i], std::fabs(b) < kEpsilon ? 100.0 : a / b * 100.0);
    own[i].valid = 1;
  });
}

CDataROC::CDataROC(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataROC::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataROC::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  MomentumParams p;
  if (!readBlock(params, size, &p)) return 0;
  return applyBlock(*this, params_, p, graph, size, checkOnly, recalc);
}

void CDataROC::calculate(int first, int last) {
  const PointFilter passes(*this);
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  const int n = params_.period;
  calculateTail(*this, first, last, s.size(), [&](int i) {
    own[i].valid = 0;
    if (i < n || n < 1 || !passes(s[i])) return;
    const int j = passingBack(passes, s, i, n + 1);
    if (j < 0) return;
    const double b = selectPrice(params_.field, &s[j]);
    // A reference of (nearly) zero has no rate of change.
    if (std::fabs(b) < kEpsilon) return;
    setSingleValue(&own[i], (selectPrice(params_.field, &s[i]) - b) / b * 100.0);
    own[i].valid = 1;
  });
}

CDataSROC::CDataSROC(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
  average_ = std::make_unique<CDataMA>(chart, &source).release();
  const MaParams ma{params_.maPeriod, params_.maMethod, params_.field};
  average_->setParams(nullptr, &ma, sizeof(ma), 0, 0);
  addSource(average_);
  addCompanion(average_);
  average_->setOwnerId(id());
}

int CDataSROC::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataSROC::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  SrocParams p;
  if (!readBlock(params, size, &p)) return 0;
  const MaParams ma{p.maPeriod, p.maMethod, p.field};
  if (!average_->setParams(nullptr, &ma, sizeof(ma), 1, 0)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  average_->setParams(nullptr, &ma, sizeof(ma), 0, recalc);
  calculate(-1, -1);
  return 1;
}

void CDataSROC::calculate(int first, int last) {
  const PointFilter passes(*this);
  const PointVector& m = average_->getPoints();
  PointVector& own = getPoints();
  calculateTail(*this, first, last, m.size(), [&](int i) {
    own[i].valid = 0;
    if (!passes(m[i])) return;
    const int j = passingBack(passes, m, i - 1, params_.rocPeriod);
    // No reference, or one of (nearly) zero: no value.
    if (j < 0 || std::fabs(m[j].close) < kEpsilon) return;
    setSingleValue(&own[i], m[i].close / m[j].close * 100.0);
    own[i].valid = 1;
  });
}

CDataCMO::CDataCMO(CChart& chart, CData& source) : CDataCommon(chart, 24, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataCMO::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataCMO::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  MomentumParams p;
  if (!readBlock(params, size, &p) || p.period < 1 || p.field < 1 || p.field > 6) return 0;
  return applyBlock(*this, params_, p, graph, size, checkOnly, recalc);
}

namespace {

CmoMove moveOf(const DataPoint& p) {
  CmoMove m{};
  if (p.extra != nullptr && p.extraSize >= static_cast<int32_t>(sizeof(CmoMove))) std::memcpy(&m, p.extra, sizeof(m));
  return m;
}

}  // namespace

void CDataCMO::recordMove(const PointVector& s, int i) {
  const PointFilter passes(*this);
  DataPoint& p = getPoints()[i];
  CmoMove m{};
  const int k = passes(s[i]) ? passingBack(passes, s, i - 1, 1) : -1;
  if (k >= 0) {
    const double d = selectPrice(params_.field, &s[i]) - selectPrice(params_.field, &s[k]);
    m.up = d > 0.0 ? d : 0.0;
    m.down = d < 0.0 ? -d : 0.0;
    m.hasMove = 1;
  }
  if (p.extra == nullptr || p.extraSize < static_cast<int32_t>(sizeof(CmoMove))) {
    setExtra(p, &m, static_cast<int32_t>(sizeof(m)));
  } else {
    std::memcpy(p.extra, &m, sizeof(m));
  }
}

bool CDataCMO::valueAt(int i, double* value) const {
  const PointVector& own = points();
  const CmoMove current = moveOf(own[i]);
  double su = current.up;
  double sd = current.down;
  const int wanted = params_.period - 1;
  int added = 0;
  for (int j = i - 1; j >= 0 && added < wanted; --j) {
    const CmoMove m = moveOf(own[j]);
    if (!m.hasMove) continue;
    su += m.up;
    sd += m.down;
    ++added;
  }
  if (added < wanted) return false;
  const double s = su + sd;
  *value = std::fabs(s) < kEpsilon ? 0.0 : (su - sd) * 100.0 / s;
  return true;
}

void CDataCMO::calculate(int first, int last) {
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  calculateTail(*this, first, last, s.size(), [&](int i) {
    own[i].valid = 0;
    recordMove(s, i);
    if (!moveOf(own[i]).hasMove) return;
    double value = 0.0;
    if (!valueAt(i, &value)) {
      setSingleValue(&own[i], 0.0);
      return;
    }
    setSingleValue(&own[i], value);
    own[i].valid = 1;
  });
}

CDataWilliams::CDataWilliams(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataWilliams::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, period_);
}

int CDataWilliams::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                             int recalc) {
  int32_t period = 0;
  if (!readBlock(params, size, &period)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  period_ = period;
  calculate(-1, -1);
  return 1;
}

bool CDataWilliams::valueAt(const PointVector& s, int i, double* value) const {
  const PointFilter passes(*this);
  if (period_ < 1) return false;
  double hh = s[i].high;
  double ll = s[i].low;
  int counted = 0;
  for (int j = i - 1; j >= 0 && counted < period_; --j) {
    if (!passes(s[j])) continue;
    if (s[j].low < ll) ll = s[j].low;
    if (s[j].high > hh) hh = s[j].high;
    ++counted;
  }
  if (counted < period_) return false;
  const double r = hh - ll;
  *value = std::fabs(r) < kEpsilon ? 0.0 : (hh - s[i].close) / r * (-100.0);
  return true;
}

void CDataWilliams::calculate(int first, int last) {
  const PointFilter passes(*this);
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  calculateTail(*this, first, last, s.size(), [&](int i) {
    own[i].valid = 0;
    double value = 0.0;
    if (!passes(s[i]) || !valueAt(s, i, &value)) return;
    setSingleValue(&own[i], value);
    own[i].valid = 1;
  });
}

}  // namespace kelda::chart
