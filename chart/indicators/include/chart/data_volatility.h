// The volatility series (graph type 44), which copies its source's passing
// bars, and the Chaikin volatility (graph type 27): the rate of change, in
// percent, of a moving average of the bars' high-minus-low range. The
// Chaikin volatility owns its high-minus-low series and its average (both
// companions). Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"
#include "chart/data_trend_filter.h"

namespace kelda::chart {

// The source's close at every passing bar, with the source point's extra data.
class CDataVolatility final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 44;
  CDataVolatility(CChart& chart, CData& source);
  void calculate(int first, int last) override;

 private:
  CData* source_;
};

// The 8-byte block of the Chaikin volatility.
struct ChaikinVolatParams {
  int32_t period = 10;
  int32_t method = 2;
};

class CDataChaikinVolat final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 27;
  // The average takes the block's period and method at once.
  CDataChaikinVolat(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CDataDiffHighLow* range_;
  CDataMA* average_;
  ChaikinVolatParams params_;
};

}  // namespace kelda::chart
