// The series factory: graph type code (VizorAddGraph) -> series class. Each
// indicator class lives in a file of its own and is listed once in the kind
// table of series_factory.cpp. Not thread-safe; creation may throw
// std::bad_alloc.
#pragma once

#include <cstdint>

namespace kelda::chart {

class CChart;
class CData;
class CDataCommon;

// Whether the code is a graph type of the interface (codes 1-13, 16-31, 33-38, 44).
bool isGraphType(int32_t type);
// Creates a series of the type over `source` (registered in the chart, owned
// by it); nullptr when the type has no class in this build.
CDataCommon* createSeries(int32_t type, CChart& chart, CData& source);
// The Elder ray's query (graph type 25 with no source): the id of one of the
// rays of the Elder ray `elderRayId`, the bear ray first, then alternating;
// 0 when that id names no Elder ray with a graph.
int32_t nextElderRayId(CChart& chart, int32_t elderRayId);

}  // namespace kelda::chart
