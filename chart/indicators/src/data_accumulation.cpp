// The running volume and accumulation totals.
#include "chart/data_accumulation.h"

#include <algorithm>
#include <cmath>

#include "indicator_blocks.h"

namespace kelda::chart {

namespace {

// Index of the nearest point before i that `filter` passes, or -1.
int passingBefore(const CData& filter, const PointVector& points, int i) {
  int j = i - 1;
  while (j >= 0 && !filter.pointPasses(&points[j])) --j;
  return j;
}

// The loop of a running total: from the range's start (bar 0 in percent
// mode) to the last bar. Returns false when there is nothing to compute.
bool totalRange(const CDataCommon& series, int first, int* start, int* end) {
  *start = first == -1 || percentShown(series) ? 0 : std::max(first, 0);
  *end = series.points().size() - 1;
  return *start <= *end;
}

// The percent pass over bar 0..end, then the end of the cycle.
void finishTotal(CDataCommon& series, int first, int start, int end) {
  PointVector& own = series.getPoints();
  if (percentShown(series)) {
    for (int i = 0; i <= end && i < own.size(); ++i) {
      if (own[i].valid) series.toPercentOfBase(&own[i]);
    }
  }
  series.updateHasData(first == -1 ? -1 : start, std::max(end, start));
  series.notifyDependents(first == -1 ? -1 : start, first == -1 ? -1 : std::max(end, start));
}

}  // namespace

CDataCumWAD::CDataCumWAD(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataCumWAD::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return copyParamsOut(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataCumWAD::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                           int recalc) {
  AccumulationParams p;
  if (!readParams(params, size, &p)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  calculate(-1, -1);
  return 1;
}

void CDataCumWAD::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  int start = 0;
  int end = -1;
  if (totalRange(*this, first, &start, &end)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    end = std::min(end, s.size() - 1);
    for (int i = start; i <= end; ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!pointPasses(&s[i])) continue;
      const int j = passingBefore(*this, s, i);
      if (j < 0) {
        // The first bar starts the total at 0 and draws nothing.
        setSingleValue(&p, 0.0);
        continue;
      }
      const int previous = lastValidBefore(own, i);
      const double total = previous < 0 ? 0.0 : own[previous].close;
      const double close = s[i].close;
      const double before = s[j].close;
      double ad = 0.0;
      if (close > before) ad = close - std::min(s[i].low, before);
      if (close < before) ad = close - std::max(s[i].high, before);
      setSingleValue(&p, ad + total);
      p.valid = 1;
    }
  }
  finishTotal(*this, first, start, end);
}

CDataBalanceVol::CDataBalanceVol(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataBalanceVol::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return copyParamsOut(CDataCommon::getParams(graphOut, params, size), params, size, field_);
}

int CDataBalanceVol::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                               int recalc) {
  int32_t field = 0;
  if (!readParams(params, size, &field)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  field_ = field;
  if (recalc) calculate(-1, -1);
  return 1;
}

void CDataBalanceVol::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  int start = 0;
  int end = -1;
  if (totalRange(*this, first, &start, &end)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    end = std::min(end, s.size() - 1);
    for (int i = start; i <= end; ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!pointPasses(&s[i])) continue;
      const int j = passingBefore(*this, s, i);
      if (j < 0) {
        setSingleValue(&p, 0.0);
        continue;
      }
      const int previous = passingBefore(*this, own, i);
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
    }
  }
  finishTotal(*this, first, start, end);
}

CDataCumAD::CDataCumAD(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataCumAD::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return copyParamsOut(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataCumAD::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  AccumulationParams p;
  if (!readParams(params, size, &p)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  calculate(-1, -1);
  return 1;
}

void CDataCumAD::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  int start = 0;
  int end = -1;
  if (totalRange(*this, first, &start, &end)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    end = std::min(end, s.size() - 1);
    for (int i = start; i <= end; ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!pointPasses(&s[i])) continue;
      const int previous = passingBefore(*this, own, i);
      const double total = previous < 0 ? 0.0 : own[previous].close;
      const DataPoint& b = s[i];
      const double range = b.high - b.low;
      const double value =
          std::fabs(range) < kEpsilon ? total : ((2.0 * b.close - b.low) - b.high) / range * b.volume + total;
      setSingleValue(&p, value);
      p.valid = 1;
    }
  }
  finishTotal(*this, first, start, end);
}

}  // namespace kelda::chart
