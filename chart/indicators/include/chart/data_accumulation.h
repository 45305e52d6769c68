// The running totals over the price source's bars: Williams' accumulation/
// distribution (graph type 23), on-balance volume (20) and the
// accumulation/distribution line (21). A change at a bar moves every later
// total, so each calculation runs from the range's start to the last bar.
// Threading and errors as CData.
#pragma once

#include "chart/data_common.h"

namespace kelda::chart {

// The 12-byte block of the two accumulation lines: stored and returned only.
struct AccumulationParams {
  int32_t words[3] = {0, 0, 0};
};
static_assert(sizeof(AccumulationParams) == 12);

// Adds close - min(low, previous close) on a rising close, close -
// max(high, previous close) on a falling one.
class CDataCumWAD final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 23;
  CDataCumWAD(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  AccumulationParams params_;
};

// Adds the bar's volume when its price rises, subtracts it when it falls.
class CDataBalanceVol final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 20;
  CDataBalanceVol(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  int32_t field_ = 4;
};

// Adds ((close - low) - (high - close)) / (high - low) times the volume.
class CDataCumAD final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 21;
  CDataCumAD(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  AccumulationParams params_;
};

}  // namespace kelda::chart
