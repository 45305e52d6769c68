// The stochastic oscillator (graph type 8, two lines): %D is a moving
// average over the hidden %K series, which it owns (its source and
// companion); %K is the first line and gets a graph of its own in the same
// pane. The caller's graph block belongs to %K; the colour, style and
// legend of %D travel in the parameter block. Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"

namespace kelda::chart {

// The 8-byte block of %K.
struct StochasticKParams {
  int32_t period = 9;   // at least 1
  int32_t slowing = 3;  // at least 1
};

// 100 * sum over the last `slowing` bars of (close - lowest low of `period`
// bars) / sum of (highest high - lowest low); no value when the ranges sum
// to (nearly) zero.
class CDataStochasticK final : public CDataCommon {
 public:
  CDataStochasticK(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  StochasticKParams params_;
};

// The 156-byte block.
struct VizorStochasticParams {
  int32_t kPeriod = 9;
  int32_t kSlowing = 3;
  int32_t dPeriod = 3;
  int32_t dMethod = 2;
  COLORREF dColour = 0x00FFFFFF;
  int32_t dStyle = 1;
  char16_t dLegend[66] = u"%D Stochastic Oscillator";
};
static_assert(sizeof(VizorStochasticParams) == 156);

class CDataStochastic final : public CDataMA {
 public:
  static constexpr int32_t kTypeCode = 8;
  CDataStochastic(CChart& chart, CData& source);
  void attachGraph(std::unique_ptr<CGraph> graph) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;
  int lineCount(int* count) const override;
  // %K's record, then %D's; a line without a value at the bar reports
  // volume 0.0.
  int valuesAt(FILETIME barTime, VizorCandleQuery* query) override;

  CDataStochasticK& percentK() const { return *k_; }

 private:
  CDataStochasticK* k_;
  VizorStochasticParams params_;
};

}  // namespace kelda::chart
