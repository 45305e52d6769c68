// The price oscillator.
#include "chart/data_oscillator.h"

#include <cmath>
#include <memory>

#include "indicator_util.h"

namespace kelda::chart {

CDataPriceOscillator::CDataPriceOscillator(CChart& chart, CData& source) : CDataCommon(chart, 0, 2) {
  typeCode_ = kTypeCode;
  fast_ = std::make_unique<CDataMA>(chart, &source).release();
  fast_->setOwnerId(id());
  const MaParams fast{params_.fastPeriod, params_.method, params_.field};
  fast_->setParams(nullptr, &fast, sizeof(fast), 0, 1);
  slow_ = std::make_unique<CDataMA>(chart, &source).release();
  slow_->setOwnerId(id());
  const MaParams slow{params_.slowPeriod, params_.method, params_.field};
  slow_->setParams(nullptr, &slow, sizeof(slow), 0, 1);
  addSource(fast_);
  addSource(slow_);
  addCompanion(fast_);
  addCompanion(slow_);
}

int CDataPriceOscillator::getParams(VizorGraphParams* graphOut, void* params, int size) {
  if (params == nullptr || size != static_cast<int>(sizeof(PriceOscParams))) return 0;
  MaParams fast;
  MaParams slow;
  if (!fast_->getParams(nullptr, &fast, sizeof(fast)) || !slow_->getParams(nullptr, &slow, sizeof(slow))) return 0;
  const PriceOscParams out{fast.period, slow.period, fast.method, fast.field, params_.percent};
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, out);
}

int CDataPriceOscillator::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                    int recalc) {
  PriceOscParams p;
  if (!readBlock(params, size, &p) || p.fastPeriod < 1 || p.fastPeriod > p.slowPeriod) return 0;
  const MaParams fast{p.fastPeriod, p.method, p.field};
  const MaParams slow{p.slowPeriod, p.method, p.field};
  if (!fast_->setParams(nullptr, &fast, sizeof(fast), 1, 0) || !slow_->setParams(nullptr, &slow, sizeof(slow), 1, 0) ||
      !CDataCommon::setParams(graph, params, size, 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  CDataCommon::setParams(graph, params, size, 0, recalc);
  params_ = p;
  fast_->setParams(nullptr, &fast, sizeof(fast), 0, 1);
  slow_->setParams(nullptr, &slow, sizeof(slow), 0, 1);
  return 1;
}

void CDataPriceOscillator::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  int from = 0;
  int to = -1;
  // The two averages may report different stretches: everything from the
  // start of the range on is recomputed.
  if (tailRange(*this, first, false, &from, &to)) {
    const PointVector& f = fast_->getPoints();
    const PointVector& s = slow_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < f.size() && i < s.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(f[i]) || !passes(s[i])) continue;
      const double slow = s[i].close;
      double value = f[i].close - slow;
      if (params_.percent != 0) {
        // A slow average of (nearly) zero has no percent difference.
        if (std::fabs(slow) < kEpsilon) continue;
        value = value / slow * 100.0;
      }
      setSingleValue(&p, value);
      p.valid = 1;
      if (percent) toPercentOfBase(&p);
    }
  }
  finishRange(*this, first, from, to);
}

}  // namespace kelda::chart
