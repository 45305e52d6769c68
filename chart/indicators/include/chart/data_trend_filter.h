// The trend-strength filters: the vertical-horizontal filter (graph type 26)
// and the hidden high-minus-low series that the Chaikin volatility averages.
// Both draw one line of single values. Threading and errors as CData.
#pragma once

#include "chart/data_common.h"

namespace kelda::chart {

// The 8-byte block of the vertical-horizontal filter. Any period is taken;
// below 1 the filter has no value anywhere.
struct VhFilterParams {
  int32_t period = 28;
  int32_t field = 4;
};

// (highest - lowest price of the last n changes) / (sum of those n absolute
// bar-to-bar changes); a change counts only between two neighbouring bars
// that both pass, and no value when the sum is (nearly) zero.
class CDataVHFilter final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 26;
  CDataVHFilter(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  bool valueAt(const PointVector& s, int i, double* value) const;

  CData* source_;
  VhFilterParams params_;
};

// high - low of every passing bar of the source. Its 4-byte block (a period,
// default 255) is kept and reported but not used.
class CDataDiffHighLow final : public CDataCommon {
 public:
  CDataDiffHighLow(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  int32_t period_ = 255;
};

}  // namespace kelda::chart
