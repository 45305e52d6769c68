// The candle series of a security.
#include "chart/data_price.h"

#include <cmath>

#include "chart/graph.h"

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
    const CGraph* graph = getGraph();
    const bool percent = graph != nullptr && graph->params().percentMode != 0;
    const double base = percent ? graph->params().percentBase : 0.0;
    const double a = std::fabs(base);
    for (int i = from; i <= to && i < source.size(); ++i) {
      DataPoint& p = points[i];
      const DataPoint& s = source[i];
      p.valid = 0;
      if (!source_->pointPasses(&s)) continue;
      p.valid = 1;
      if (percent && a >= kEpsilon) {
        p.open = (s.open - base) / a * 100.0;
        p.high = (s.high - base) / a * 100.0;
        p.low = (s.low - base) / a * 100.0;
        p.close = (s.close - base) / a * 100.0;
        p.volume = (s.volume - base) / a * 100.0;
      } else if (percent) {
        p.open = p.high = p.low = p.close = 0.0;
        p.volume = 1.0;
      } else {
        p.open = s.open, p.high = s.high, p.low = s.low, p.close = s.close, p.volume = s.volume;
      }
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
