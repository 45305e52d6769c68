// MACD (graph type 5, two lines) and the MACD histogram (graph type 28).
// MACD is itself the signal line: a moving average over a price oscillator
// it owns (its source and companion), which is the first line and gets a
// graph of its own in the same pane. The histogram owns an oscillator, a
// signal average over it and their difference, and shows the difference.
// The caller's graph block belongs to the first line; the signal line's
// colour, style and legend travel in the parameter block. Threading and
// errors as CData.
#pragma once

#include "chart/data_aux.h"
#include "chart/data_oscillator.h"

namespace kelda::chart {

// The 168-byte block of both classes.
struct VizorMacdParams {
  int32_t fastPeriod = 12;
  int32_t slowPeriod = 26;
  int32_t method = 2;
  int32_t field = 4;
  int32_t percent = 1;
  int32_t signalPeriod = 9;
  COLORREF signalColour = 0x00FFFFFF;
  int32_t signalStyle = 1;
  int32_t signalMethod = 2;
  char16_t signalLegend[66] = u"MACD";
};
static_assert(sizeof(VizorMacdParams) == 168);

class CDataMACD final : public CDataMA {
 public:
  static constexpr int32_t kTypeCode = 5;
  CDataMACD(CChart& chart, CData& source);
  void attachGraph(std::unique_ptr<CGraph> graph) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;
  int lineCount(int* count) const override;
  // The oscillator's record, then the signal's; a line without a value at
  // the bar reports volume 0.0.
  int valuesAt(FILETIME barTime, VizorCandleQuery* query) override;

  CDataPriceOscillator& oscillator() const { return *oscillator_; }

 private:
  CDataPriceOscillator* oscillator_;
  VizorMacdParams params_;
};

class CDataMACDHistogram final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 28;
  CDataMACDHistogram(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CDataPriceOscillator* oscillator_;
  CDataMA* signal_;
  CDataDifference* difference_;
  VizorMacdParams params_;
};

// The signal line's graph block: a copy of the caller's with the colour,
// style and legend given (used by MACD and the stochastic).
VizorGraphParams secondLineGraph(const VizorGraphParams& graph, COLORREF colour, int32_t style,
                                 const char16_t (&legend)[66]);

}  // namespace kelda::chart
