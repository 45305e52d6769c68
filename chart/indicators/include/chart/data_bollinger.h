// The standard deviation (graph type 6) and the Bollinger bands (graph type
// 7). The bands are a composite: the series itself is the middle line (the
// candles of its moving average), and it owns the moving average, a standard
// deviation and the upper and lower lines, each a companion; a line lists
// the composite as its companion, so deleting any part deletes the whole.
// Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"

namespace kelda::chart {

// The 8-byte block of the standard deviation.
struct StandardDevParams {
  int32_t period = 20;
  int32_t field = 4;
};

// sqrt of the mean squared distance of the last n prices from the average.
class CDataStandardDev final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 6;
  CDataStandardDev(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  CDataMA* average_;
  StandardDevParams params_;
};

// One band: the middle line plus k times the deviation.
struct BolLineParams {
  float k = 0.0f;
  int32_t period = 20;
  int32_t field = 4;
};

class CDataBolLine final : public CDataCommon {
 public:
  CDataBolLine(CChart& chart, CData& middle, CData& deviation);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* middle_;
  CData* deviation_;
  BolLineParams params_;
};

// The 296-byte block of the bands.
#pragma pack(push, 2)
struct BollingerParams {
  float k = 2.0f;
  int32_t period = 20;
  int32_t field = 4;
  int32_t method = 2;
  COLORREF upperColour = 0;
  int32_t upperStyle = 0;
  char16_t upperLegend[65] = {};
  uint16_t reserved154 = 0;
  COLORREF lowerColour = 0;
  int32_t lowerStyle = 0;
  char16_t lowerLegend[65] = {};
  uint16_t reserved294 = 0;
};
#pragma pack(pop)
static_assert(sizeof(BollingerParams) == 296);

class CDataBolLines final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 7;
  CDataBolLines(CChart& chart, CData& source);
  void attachGraph(std::unique_ptr<CGraph> graph) override;
  int hasData() const override;
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;
  int lineCount(int* count) const override;
  int valuesAt(FILETIME barTime, VizorCandleQuery* query) override;

  CDataBolLine& upper() const { return *upper_; }
  CDataBolLine& lower() const { return *lower_; }

 private:
  CDataMA* average_;
  CDataStandardDev* deviation_;
  CDataBolLine* upper_;
  CDataBolLine* lower_;
  BollingerParams params_;
};

}  // namespace kelda::chart
