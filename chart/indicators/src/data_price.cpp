// The candle series of a security.
#include "chart/data_price.h"

#include "indicator_util.h"

namespace kelda::chart {

CDataPrice::CDataPrice(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataPrice::hasData() const { return source_->hasData(); }

void CDataPrice::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    PointVector& source = source_->getPoints();
    PointVector& points = getPoints();
    const PriceCopy copy(*this);
    const PointFilter passes(*source_);
    for (int i = from; i <= to && i < source.size(); ++i) {
      DataPoint& p = points[i];
      const DataPoint& s = source[i];
      p.valid = 0;
      if (!passes(s)) continue;
      p.valid = 1;
      copy(s, &p);
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

int CDataPrice::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  if (!CData::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (!checkOnly && recalc) calculate(-1, -1);
  return 1;
}

}  // namespace kelda::chart
