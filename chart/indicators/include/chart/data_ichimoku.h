// Ichimoku (graph type 38): five lines over one price series (conversion
// and base lines, the two leading spans displaced forward, the lagging line
// displaced back). The owner draws nothing of its own: it is no dependent of
// any series, its points stay invalid and a full recalculation leaves them
// so; it owns its seven parts and answers for the five lines. Threading and
// errors as CData.
#pragma once

#include <memory>

#include "chart/data_common.h"

namespace kelda::chart {

class CDataShift;

// The midpoint of the highest high and lowest low of the last n passing bars.
class CDataSummHighestLowest final : public CDataCommon {
 public:
  CDataSummHighestLowest(CChart& chart, CData& source, int32_t period);
  void calculate(int first, int last) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

  int32_t period() const { return period_; }
  void setPeriod(int32_t period) { period_ = period; }

 private:
  CData* source_;
  int32_t period_;
};

// The mean of two lines (the base of leading span A).
class CDataIchimokuSpan1 final : public CDataCommon {
 public:
  CDataIchimokuSpan1(CChart& chart, CData& a, CData& b);
  void calculate(int first, int last) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* a_;
  CData* b_;
};

// The close of the lag-th passing bar after each bar; the last bars, which
// have none, end the line.
class CDataIchimokuChikou final : public CDataCommon {
 public:
  CDataIchimokuChikou(CChart& chart, CData& source, int32_t lag);
  void calculate(int first, int last) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

  int32_t lag() const { return lag_; }
  void setLag(int32_t lag) { lag_ = lag; }

 private:
  CData* source_;
  int32_t lag_;
};

// The 1040-byte block.
struct IchimokuParams {
  int32_t conversionPeriod = 9;
  int32_t basePeriod = 26;
  int32_t spanBPeriod = 52;
  int32_t lag = 26;
  int32_t displacement = 26;
  char16_t legends[5][100] = {};  // conversion, base, span A, span B, lagging
  COLORREF colours[5] = {};
};
static_assert(sizeof(IchimokuParams) == 1040);

class CDataIchimoku final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 38;
  CDataIchimoku(CChart& chart, CData& source);
  int hasData() const override;
  int getMinMax(int closeOnly, double* min, double* max, const VizorGraphParams* graph) const override;
  void attachGraph(std::unique_ptr<CGraph> graph) override;
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;
  int lineCount(int* count) const override;
  int valuesAt(FILETIME barTime, VizorCandleQuery* query) override;

  CDataSummHighestLowest& conversion() const { return *conversion_; }
  CDataSummHighestLowest& base() const { return *base_; }
  CDataShift& spanA() const { return *spanA_; }
  CDataShift& spanB() const { return *spanB_; }
  CDataIchimokuChikou& lagging() const { return *lagging_; }

 private:
  CDataSummHighestLowest* conversion_;
  CDataSummHighestLowest* base_;
  CDataSummHighestLowest* spanBBase_;
  CDataIchimokuSpan1* spanABase_;
  CDataIchimokuChikou* lagging_;
  CDataShift* spanA_;
  CDataShift* spanB_;
  IchimokuParams params_;
};

}  // namespace kelda::chart
