// The running volume and accumulation totals.
#include "chart/data_accumulation.h"

#include <algorithm>
#include <cmath>

#include "indicator_util.h"

namespace kelda::chart {

namespace {

// Starts bar i of a running total over the source points s: clears the
// bar's point p; false when the bar does not pass or is the first that
// passes (which starts the total at 0 and draws nothing); otherwise
// *before is the passing bar before it.
bool continuesTotal(const PointFilter& passes, const PointVector& s, int i, DataPoint& p, int* before) {
  p.valid = 0;
  if (!passes(s[i])) return false;
  *before = passingBack(passes, s, i - 1, 1);
  if (*before >= 0) return true;
  setSingleValue(&p, 0.0);
  return false;
}

}  // namespace

CDataCumWAD::CDataCumWAD(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataCumWAD::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataCumWAD::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                           int recalc) {
  AccumulationParams p;
  if (!readBlock(params, size, &p)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  calculate(-1, -1);
  return 1;
}

void CDataCumWAD::calculate(int first, int last) {
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  const PointFilter passes(*this);
  calculateTail(*this, first, last, s.size(), [&](int i) {
    DataPoint& p = own[i];
    int j = -1;
    if (!continuesTotal(passes, s, i, p, &j)) return;
    const int previous = lastValidBefore(own, i);
    const double total = previous < 0 ? 0.0 : own[previous].close;
    const double close = s[i].close;
    const double before = s[j].close;
    double ad = 0.0;
    if (close > before) ad = close - std::min(s[i].low, before);
    if (close < before) ad = close - std::max(s[i].high, before);
    setSingleValue(&p, ad + total);
    p.valid = 1;
  });
}

CDataBalanceVol::CDataBalanceVol(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataBalanceVol::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, field_);
}

int CDataBalanceVol::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                               int recalc) {
  int32_t field = 0;
  if (!readBlock(params, size, &field)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  field_ = field;
  if (recalc) calculate(-1, -1);
  return 1;
}

void CDataBalanceVol::calculate(int first, int last) {
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  const PointFilter passes(*this);
  calculateTail(*this, first, last, s.size(), [&](int i) {
    DataPoint& p = own[i];
    int j = -1;
    if (!continuesTotal(passes, s, i, p, &j)) return;
    const int previous = passingBack(passes, own, i - 1, 1);
    double value = 0.0;
    if (previous >= 0) {
      const double x = selectPrice(field_, &s[i]);
      const double y = selectPrice(field_, &s[j]);
      value = own[previous].close;
      if (x > y) value += s[i].volume;
      if (x < y) value -= s[i].volume;
    }
    setSingleValue(&p, value);
    p.valid = 1;
  });
}

CDataCumAD::CDataCumAD(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataCumAD::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataCumAD::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  AccumulationParams p;
  if (!readBlock(params, size, &p)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  calculate(-1, -1);
  return 1;
}

void CDataCumAD::calculate(int first, int last) {
  const PointFilter passes(*this);
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  calculateTail(*this, first, last, s.size(), [&](int i) {
    DataPoint& p = own[i];
    p.valid = 0;
    if (!passes(s[i])) return;
    const int previous = passingBack(passes, own, i - 1, 1);
    const double total = previous < 0 ? 0.0 : own[previous].close;
    const DataPoint& b = s[i];
    const double range = b.high - b.low;
    const double value =
        std::fabs(range) < kEpsilon ? total : ((2.0 * b.close - b.low) - b.high) / range * b.volume + total;
    setSingleValue(&p, value);
    p.valid = 1;
  });
}

}  // namespace kelda::chart
