// The mean deviation and the commodity channel index.
#include "chart/data_cci.h"

#include <cmath>
#include <memory>

#include "indicator_util.h"

namespace kelda::chart {

CDataMeanDeviation::CDataMeanDeviation(CChart& chart, CDataMA& average, CData& price)
    : CDataCommon(chart, 0, 2), average_(&average), price_(&price) {
  typeCode_ = kTypeCode;
  addSource(&price);
  addSource(&average);
}

void CDataMeanDeviation::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = 0;
  int to = -1;
  if (tailRange(*this, first, false, &from, &to)) {
    const PointVector& m = average_->getPoints();
    const PointVector& s = price_->getPoints();
    PointVector& own = getPoints();
    const int n = average_->maParams().period;
    for (int i = from; i <= to && i < m.size() && i < s.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(m[i])) continue;
      const double mean = m[i].close;
      double sum = 0.0;
      int taken = 0;
      for (int k = i; k >= 0 && taken < n; --k) {
        if (!passes(s[k])) continue;
        sum += std::fabs(mean - typicalPrice(&s[k]));
        ++taken;
      }
      if (taken < n) continue;
      const double value = sum / static_cast<double>(n);
      p.open = p.high = p.low = p.close = p.volume = value;
      p.valid = 1;
    }
  }
  finishRange(*this, first, from, to);
}

CDataCCI::CDataCCI(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  typical_ = std::make_unique<CDataTypicalPrice>(chart, source).release();
  average_ = std::make_unique<CDataMA>(chart, typical_).release();
  deviation_ = std::make_unique<CDataMeanDeviation>(chart, *average_, source).release();
  addSource(deviation_);
  for (CDataCommon* part : {static_cast<CDataCommon*>(typical_), static_cast<CDataCommon*>(average_),
                            static_cast<CDataCommon*>(deviation_)}) {
    part->setOwnerId(id());
    addCompanion(part);
  }
}

int CDataCCI::getParams(VizorGraphParams* graphOut, void* params, int size) {
  if (!CDataCommon::getParams(graphOut, params, size)) return 0;
  return average_->getParams(nullptr, params, size);
}

int CDataCCI::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  MaParams p;
  if (!readBlock(params, size, &p) || p.method < kMaSimple || p.method > kMaVolumeWeighted) return 0;
  if (!average_->setParams(nullptr, &p, size, 1, 0)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  // The average and then the mean deviation recompute at once (the deviation
  // would otherwise wait for a price notice and keep the old period); the
  // index follows the deviation as its dependent.
  average_->setParams(nullptr, &p, size, 0, 0);
  average_->recalculate();
  deviation_->recalculate();
  return 1;
}

void CDataCCI::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = 0;
  int to = -1;
  if (tailRange(*this, first, false, &from, &to)) {
    const PointVector& s = source_->getPoints();
    const PointVector& t = typical_->getPoints();
    const PointVector& a = average_->getPoints();
    const PointVector& d = deviation_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < s.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(s[i]) || !passes(a[i]) || !passes(d[i]) || !passes(t[i])) continue;
      if (std::fabs(d[i].close) < kEpsilon) continue;
      setSingleValue(&p, (t[i].close - a[i].close) / (d[i].close * 0.015));
      p.valid = 1;
      toPercentOfBase(&p);
    }
  }
  finishRange(*this, first, from, to);
}

}  // namespace kelda::chart
