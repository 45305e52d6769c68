// The force index: the one-bar force (1 - previous price / price) times the
// volume (CDataEFI, hidden), and its moving average, graph type 24
// (CDataElderFI), which owns both. Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"

namespace kelda::chart {

class CDataEFI final : public CDataCommon {
 public:
  CDataEFI(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  int32_t field_ = 4;
};

// The 16-byte block: the first word is stored and returned only.
struct ElderForceParams {
  int32_t reserved = 2;
  int32_t period = 2;
  int32_t method = 2;
  int32_t field = 4;
};
static_assert(sizeof(ElderForceParams) == 16);

class CDataElderFI final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 24;
  CDataElderFI(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

  CDataEFI& force() const { return *force_; }
  CDataMA& average() const { return *average_; }

 private:
  CDataEFI* force_;
  CDataMA* average_;
  ElderForceParams params_;
};

}  // namespace kelda::chart
