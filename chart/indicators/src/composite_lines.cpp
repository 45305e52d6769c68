// Lines of the composites that draw through their parts.
#include "composite_lines.h"

#include <algorithm>

#include "chart/chart.h"
#include "chart/graph.h"
#include "line_record.h"
#include "platform/last_error.h"

namespace kelda::chart {

void attachPartGraphs(CChart& chart, const CGraph& graph, std::initializer_list<CData*> parts) {
  for (CData* part : parts) part->attachGraph(std::make_unique<CGraph>(chart, *part, graph.pane()));
}

int partValuesAt(const CDataCommon& owner, const CDataCommon& lookup, FILETIME barTime,
                 std::initializer_list<const CDataCommon*> parts, VizorCandleQuery* query) {
  query->lineCount = static_cast<int32_t>(parts.size());
  const CChart& c = owner.chart();
  const PointVector& m = lookup.points();
  const int32_t first = std::max(c.firstInRange(), 0);
  const int32_t last = std::min(c.firstInRange() + c.countInRange() - 1, m.size() - 1);
  int32_t found = -1;
  for (int32_t i = first; i <= last && found < 0; ++i) {
    if (sameFileTime(m[i].time, barTime) && owner.pointPasses(&m[i])) found = i;
  }
  const int32_t j = found < 0 ? -1 : owner.findValidPoint(found, owner.getGraph(), m);
  if (j < 0) {
    platform::set_last_error(VIZOR_ERROR_NOT_FOUND);
    return 0;
  }
  int r = 0;
  for (const CDataCommon* part : parts) {
    writeLineRecord(query->values[r++], *part, part->points()[j]);
  }
  return 1;
}

int anyPartHasData(std::initializer_list<const CData*> parts) {
  for (const CData* part : parts) {
    if (part->hasData()) return 1;
  }
  return 0;
}

}  // namespace kelda::chart
