// CDataPrice (graph type 1): the candles of a security series, copied from
// the source's points that pass the trading-hours filter (in percent of the
// graph's base value when the graph asks for it). Threading and errors as CData.
#pragma once

#include "chart/data_common.h"

namespace kelda::chart {

class CDataPrice final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 1;
  CDataPrice(CChart& chart, CData& source);
  int hasData() const override;
  void calculate(int first, int last) override;
  int isSingleValue() const override { return 0; }
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
};

}  // namespace kelda::chart
