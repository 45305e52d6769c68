// The force index and its average.
#include "chart/data_force_index.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "indicator_util.h"

namespace kelda::chart {

CDataEFI::CDataEFI(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  addSource(&source);
}

int CDataEFI::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, field_);
}

int CDataEFI::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  int32_t field = 0;
  if (!readBlock(params, size, &field) || field < 1 || field > 6) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  field_ = field;
  if (recalc) calculate(-1, -1);
  return 1;
}

void CDataEFI::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  int from = percent ? -1 : first;
  int to = percent ? -1 : last;
  // A bar is also the previous bar of the next passing one: that one follows.
  if (from != -1) {
    ++to;
    while (to < s.size() && !passes(s[to])) ++to;
  }
  if (resolveRange(from, to)) {
    to = std::min(to, s.size() - 1);
    for (int i = from; i <= to; ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(s[i])) continue;
      int j = i - 1;
      while (j >= 0 && !passes(s[j])) --j;
      const double price = selectPrice(field_, &s[i]);
      if (j < 0 || std::fabs(price) < kEpsilon) continue;
      setSingleValue(&p, (1.0 - selectPrice(field_, &s[j]) / price) * s[i].volume);
      p.valid = 1;
    }
    if (percent) {
      for (int i = 0; i <= to; ++i) {
        if (own[i].valid) toPercentOfBase(&own[i]);
      }
    }
  }
  updateHasData(first == -1 ? -1 : from, to);
  notifyDependents(first == -1 ? -1 : from, first == -1 ? -1 : to);
}

CDataElderFI::CDataElderFI(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  force_ = std::make_unique<CDataEFI>(chart, source).release();
  force_->setOwnerId(id());
  addCompanion(force_);
  average_ = std::make_unique<CDataMA>(chart, force_).release();
  average_->setOwnerId(id());
  addSource(average_);
  addCompanion(average_);
}

int CDataElderFI::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataElderFI::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                            int recalc) {
  ElderForceParams p;
  if (!readBlock(params, size, &p) || p.period < 1) return 0;
  const MaParams ma{p.period, p.method, p.field};
  if (!force_->setParams(nullptr, &p.field, sizeof(p.field), 1, 0) ||
      !average_->setParams(nullptr, &ma, sizeof(ma), 1, 0) || !CDataCommon::setParams(graph, params, size, 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  params_ = p;
  CDataCommon::setParams(graph, params, size, 0, recalc);
  // The average follows the force index through the dependents.
  average_->setParams(nullptr, &ma, sizeof(ma), 0, 0);
  force_->setParams(nullptr, &p.field, sizeof(p.field), 0, 1);
  return 1;
}

void CDataElderFI::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    const PointVector& m = average_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < m.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(m[i])) continue;
      setSingleValue(&p, m[i].close);
      p.valid = 1;
      toPercentOfBase(&p);
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

}  // namespace kelda::chart
