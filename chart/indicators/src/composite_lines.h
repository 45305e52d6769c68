// Private helpers of the composite indicators whose owner draws nothing of
// its own and answers for the lines of its parts.
#pragma once

#include <initializer_list>
#include <memory>

#include "chart/data_common.h"

namespace kelda::chart {

class CGraph;

// Gives each part a graph of its own in the pane of `graph`.
void attachPartGraphs(CChart& chart, const CGraph& graph, std::initializer_list<CData*> parts);
// The values of every part at the visible bar stamped barTime, looked up on
// `lookup` (its points and the owner's graph): one record per part, in order.
// 0 with error 1168 when the bar has no value.
int partValuesAt(const CDataCommon& owner, const CDataCommon& lookup, FILETIME barTime,
                 std::initializer_list<const CDataCommon*> parts, VizorCandleQuery* query);
// Whether any part has data in the visible range.
int anyPartHasData(std::initializer_list<const CData*> parts);

}  // namespace kelda::chart
