// The commodity channel index (graph type 35): (typical price - its moving
// average) / (0.015 * mean deviation). It owns the typical-price series, the
// moving average over it and the hidden mean-deviation series (graph type
// 43), all companions; it is computed from the mean deviation, which waits
// for both the price series and the average. Threading and errors as CData.
#pragma once

#include "chart/data_aux.h"
#include "chart/data_ma.h"

namespace kelda::chart {

// The mean of |average - typical price| over the last n passing bars, n being
// the average's period. The value is written to volume too, so a deviation
// of 0 fails the trading-hours filter and its users skip that bar.
class CDataMeanDeviation final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 43;
  CDataMeanDeviation(CChart& chart, CDataMA& average, CData& price);
  void calculate(int first, int last) override;

 private:
  CDataMA* average_;
  CData* price_;
};

class CDataCCI final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 35;
  CDataCCI(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  // The block is the average's (period, method 1-3, field), 12 bytes.
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  CDataTypicalPrice* typical_;
  CDataMA* average_;
  CDataMeanDeviation* deviation_;
};

}  // namespace kelda::chart
