// The money flow index (graph type 16) and the market facilitation index
// (graph type 34), both read straight from the price source's bars.
// Threading and errors as CData.
#pragma once

#include "chart/data_common.h"

namespace kelda::chart {

// 100 - 100 / (1 + positive flow / negative flow) over the last n + 1
// passing bars, the flows being volume times typical price.
class CDataMFI final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 16;
  static constexpr int32_t kMaxPeriod = 50000;
  CDataMFI(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  int32_t period_ = 1;
};

// (high - low) / volume of each bar.
class CDataBW_MFI final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 34;
  CDataBW_MFI(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
};

}  // namespace kelda::chart
