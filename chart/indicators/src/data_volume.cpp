// The volume series of a security.
#include "chart/data_volume.h"

namespace kelda::chart {

CDataVolume::CDataVolume(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

void CDataVolume::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    PointVector& source = source_->getPoints();
    PointVector& points = getPoints();
    const PointFilter passes(*source_);
    for (int i = from; i <= to && i < source.size(); ++i) {
      DataPoint& p = points[i];
      const DataPoint& s = source[i];
      p.valid = passes(s) ? 1 : 0;
      if (!p.valid) continue;
      p.open = p.high = p.low = p.close = p.volume = s.volume;
      toPercentOfBase(&p);
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

int CDataVolume::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  if (!CData::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (!checkOnly && recalc) calculate(-1, -1);
  return 1;
}

}  // namespace kelda::chart
