// The relative strength index and its two smoothed halves.
#include "chart/data_rsi.h"

#include <cmath>
#include <memory>

#include "indicator_util.h"

namespace kelda::chart {

namespace {

int checkRsiParams(const RsiParams& p) { return p.period >= 2 && p.field >= 1 && p.field <= 6 ? 1 : 0; }

}  // namespace

CDataRSIUpDown::CDataRSIUpDown(CChart& chart, CData& source, bool up)
    : CDataCommon(chart, 0, 1), source_(&source), up_(up) {
  addSource(&source);
}

int CDataRSIUpDown::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataRSIUpDown::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                              int recalc) {
  RsiParams p;
  if (!readBlock(params, size, &p) || !checkRsiParams(p)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  calculate(-1, -1);
  return 1;
}

double CDataRSIUpDown::move(const DataPoint& later, const DataPoint& earlier) const {
  const double d = selectPrice(params_.field, &later) - selectPrice(params_.field, &earlier);
  if (up_) return d > 0.0 ? d : 0.0;
  return d < 0.0 ? -d : 0.0;
}

bool CDataRSIUpDown::seedValue(const PointVector& s, int i, double* value) const {
  const PointFilter passes(*this);
  const int wanted = params_.period - 1;
  int counted = 0;
  int previous = -1;
  double sum = 0.0;
  for (int k = 0; k <= i && counted < wanted; ++k) {
    if (!passes(s[k])) continue;
    if (previous >= 0) {
      sum += move(s[k], s[previous]);
      ++counted;
    }
    previous = k;
  }
  if (counted < wanted) return false;
  *value = sum / static_cast<double>(wanted);
  return true;
}

void CDataRSIUpDown::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = 0;
  int to = -1;
  if (tailRange(*this, first, false, &from, &to)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    const int n = params_.period;
    for (int i = from; i <= to && i < s.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (i < n - 1 || !passes(s[i])) continue;
      const int j = passingBack(passes, own, i - 1, 1);
      double value = 0.0;
      if (j >= 0) {
        value = (move(s[i], s[j]) + static_cast<double>(n - 1) * own[j].close) / static_cast<double>(n);
      } else if (!seedValue(s, i, &value)) {
        continue;
      }
      setSingleValue(&p, value);
      p.valid = 1;
    }
  }
  finishRange(*this, first, from, to);
}

CDataRSI::CDataRSI(CChart& chart, CData& source) : CDataCommon(chart, 0, 2) {
  typeCode_ = kTypeCode;
  up_ = std::make_unique<CDataRSIUpDown>(chart, source, true).release();
  addSource(up_);
  down_ = std::make_unique<CDataRSIUpDown>(chart, source, false).release();
  addSource(down_);
  for (CDataRSIUpDown* half : {up_, down_}) {
    half->setOwnerId(id());
    addCompanion(half);
  }
}

int CDataRSI::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataRSI::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  RsiParams p;
  if (!readBlock(params, size, &p) || !checkRsiParams(p)) return 0;
  if (!CDataCommon::setParams(graph, params, size, 1, 0) || !up_->setParams(nullptr, &p, size, 1, 0) ||
      !down_->setParams(nullptr, &p, size, 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  params_ = p;
  CDataCommon::setParams(graph, params, size, 0, 0);
  // Each half recalculates and reports: the second report completes this
  // series' cycle.
  up_->setParams(nullptr, &p, size, 0, recalc);
  down_->setParams(nullptr, &p, size, 0, recalc);
  return 1;
}

void CDataRSI::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  int from = 0;
  int to = -1;
  // Each half reports the bars from its range to the end.
  if (tailRange(*this, first, false, &from, &to)) {
    const PointVector& u = up_->getPoints();
    const PointVector& d = down_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < u.size() && i < d.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(u[i]) || !passes(d[i])) continue;
      const double s = d[i].close + u[i].close;
      if (std::fabs(s) < kEpsilon || s < 0.0) {
        p.valid = 0;
      } else {
        setSingleValue(&p, u[i].close / s * 100.0);
        p.valid = 1;
      }
      if (percent) toPercentOfBase(&p);
    }
  }
  finishRange(*this, first, from, to);
}

}  // namespace kelda::chart
