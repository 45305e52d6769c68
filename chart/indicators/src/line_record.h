// Filling one VizorPointValues record of a multi-line indicator: the line's
// graph legend (empty without a graph) and the line's close at the bar as a
// single value with volume 1.0. Every composite reports its lines this way,
// whether or not the line has a value at that bar: the bar is the one the
// composite's lookup line found. Not thread-safe; never throws.
#pragma once

#include "chart/data.h"
#include "chart/graph.h"
#include "chart/wide_text.h"

namespace kelda::chart {

inline void writeLineRecord(VizorPointValues& out, const CData& line, const DataPoint& point) {
  const CGraph* graph = line.getGraph();
  if (graph != nullptr) {
    copyWideField(out.legend, 100, graph->params().legend, 66);
  } else {
    out.legend[0] = 0;
  }
  out.open = out.high = out.low = out.close = point.close;
  out.volume = 1.0;
}

}  // namespace kelda::chart
