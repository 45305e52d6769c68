// The triple-average rate of change.
#include "chart/data_trix.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "chart/graph.h"

namespace kelda::chart {

CDataTRIX::CDataTRIX(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  CData* below = &source;
  for (CDataMA*& average : averages_) {
    average = std::make_unique<CDataMA>(chart, below).release();
    average->setOwnerId(id());
    below = average;
  }
  addSource(averages_[2]);
  for (CDataMA* average : averages_) addCompanion(average);
}

int CDataTRIX::getParams(VizorGraphParams* graphOut, void* params, int size) {
  if (params == nullptr || size != static_cast<int>(sizeof(MaParams))) return 0;
  if (!CDataCommon::getParams(graphOut, params, size)) return 0;
  return averages_[2]->getParams(nullptr, params, size);
}

int CDataTRIX::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  // Each average recalculates; the change reaches this series as a dependent.
  for (CDataMA* average : averages_) {
    if (!average->setParams(nullptr, params, size, checkOnly, 1)) return 0;
  }
  return 1;
}

void CDataTRIX::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const CGraph* graph = getGraph();
  const bool percent = graph != nullptr && graph->params().percentMode != 0;
  // A change at bar i moves the rate at the next passing bar too: every bar
  // from the range on is recomputed.
  int from = percent ? -1 : first;
  int to = percent ? -1 : last;
  PointVector& own = getPoints();
  if (from != -1) to = own.size() - 1;
  const PointVector& s = averages_[2]->getPoints();
  if (resolveRange(from, to)) {
    for (int i = from; i <= to && i < s.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(s[i])) continue;
      int j = i - 1;
      while (j >= 0 && !passes(s[j])) --j;
      if (j < 0) continue;
      const double previous = s[j].close;
      setSingleValue(&p, std::fabs(previous) < kEpsilon ? 0.0 : (s[i].close - previous) / previous * 100.0);
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

}  // namespace kelda::chart
