// Private helpers of the indicator classes: the parameter-block shape that
// every getParams follows, and the percent flag of a series' graph.
#pragma once

#include <cstring>

#include "chart/data.h"
#include "chart/graph.h"

namespace kelda::chart {

// Copies the class's own block out after the graph block (baseResult: the
// base's getParams); 0 when the size is not the block's or the pointer is null.
template <class Block>
int copyParamsOut(int baseResult, void* params, int size, const Block& block) {
  if (params == nullptr || size != static_cast<int>(sizeof(Block)) || !baseResult) return 0;
  std::memcpy(params, &block, sizeof(Block));
  return 1;
}

// Reads a caller's block; false when the size is not the block's or the pointer is null.
template <class Block>
bool readParams(const void* params, int size, Block* out) {
  if (params == nullptr || size != static_cast<int>(sizeof(Block))) return false;
  std::memcpy(out, params, sizeof(Block));
  return true;
}

// The series is drawn with its graph's percent flag set.
inline bool percentShown(const CData& series) {
  const CGraph* graph = series.getGraph();
  return graph != nullptr && graph->params().percentMode != 0;
}

}  // namespace kelda::chart
