// CDataVolume (graph type 2): the volume of a security series as a single
// value per bar (in percent of the graph's base value when asked).
// Threading and errors as CData.
#pragma once

#include "chart/data_common.h"

namespace kelda::chart {

class CDataVolume final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 2;
  CDataVolume(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int isNotVolume() const override { return 0; }
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
};

}  // namespace kelda::chart
