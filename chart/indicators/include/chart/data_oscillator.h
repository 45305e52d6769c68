// The price oscillator (graph type 4): the difference of a fast and a slow
// moving average of its source, by default in percent of the slow one. It
// owns both averages (its two sources and companions) and completes a cycle
// once both have reported. MACD builds on it. Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"

namespace kelda::chart {

// The 20-byte block; both averages share method and price field.
struct PriceOscParams {
  int32_t fastPeriod = 12;
  int32_t slowPeriod = 26;
  int32_t method = 2;
  int32_t field = 4;
  int32_t percent = 1;  // nonzero: (fast - slow) / slow * 100; 0: fast - slow
};

class CDataPriceOscillator final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 4;
  CDataPriceOscillator(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  // Reports the averages' live periods, method and field with the stored
  // percent flag.
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  // Refuses a fast period below 1 or above the slow one; the averages always
  // recalculate and this series follows as their dependent.
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CDataMA* fast_;
  CDataMA* slow_;
  PriceOscParams params_;
};

}  // namespace kelda::chart
