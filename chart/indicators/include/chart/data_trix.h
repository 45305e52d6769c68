// CDataTRIX (graph type 31): the rate of change, in percent, of a triple
// moving average. The three averages are its companions: the first over the
// source, the second over the first, the third over the second; they share
// one parameter block. Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"

namespace kelda::chart {

class CDataTRIX final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 31;
  CDataTRIX(CChart& chart, CData& source);

  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CDataMA* averages_[3] = {};
};

}  // namespace kelda::chart
