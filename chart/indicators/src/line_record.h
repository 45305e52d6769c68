// Filling one VizorPointValues record of a multi-line indicator. A line that
// has no value at the bar is reported with every price 0.0 and volume 0.0:
// a value always carries a nonzero volume (single values carry 1.0), so the
// caller tells the two apart by the volume. Not thread-safe; never throws.
#pragma once

#include "chart/data.h"
#include "chart/graph.h"
#include "chart/wide_text.h"

namespace kelda::chart {

// The record of `line` (its graph's legend, empty without a graph) holding
// the point's close as a single value, or the no-value marker when the point
// does not pass `line`'s trading-hours test.
inline void writeLineRecord(VizorPointValues& out, const CData& line, const DataPoint& point) {
  const CGraph* graph = line.getGraph();
  if (graph != nullptr) {
    copyWideField(out.legend, 100, graph->params().legend, 66);
  } else {
    out.legend[0] = 0;
  }
  const bool hasValue = line.pointPasses(&point) != 0;
  out.open = out.high = out.low = out.close = hasValue ? point.close : 0.0;
  out.volume = hasValue ? 1.0 : 0.0;
}

}  // namespace kelda::chart
