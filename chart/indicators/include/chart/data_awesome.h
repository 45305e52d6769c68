// The awesome oscillator (graph type 36): a fast minus a slow moving average
// of the median price; and the accelerator oscillator (graph type 37): the
// awesome oscillator minus its own 5-bar average. Each owns its parts.
// Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"

namespace kelda::chart {

class CDataMedianPrice;

// The 24-byte block. The colours are stored and returned; the oscillator
// reads neither.
struct AwesomeParams {
  int32_t fastPeriod = 5;
  int32_t slowPeriod = 34;
  int32_t method = 2;
  int32_t field = 4;
  COLORREF firstColour = 0x0000FF;
  COLORREF secondColour = 0x00FF00;
};
static_assert(sizeof(AwesomeParams) == 24);

class CDataAO final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 36;
  CDataAO(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

  const AwesomeParams& params() const { return params_; }
  CDataMA& fast() const { return *fast_; }
  CDataMA& slow() const { return *slow_; }

 private:
  CDataMedianPrice* median_;
  CDataMA* fast_;
  CDataMA* slow_;
  AwesomeParams params_;
};

class CDataAC final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 37;
  // The average's period once parameters have been set.
  static constexpr int32_t kSmoothing = 5;
  CDataAC(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

  CDataAO& oscillator() const { return *oscillator_; }
  CDataMA& average() const { return *average_; }

 private:
  CDataAO* oscillator_;
  CDataMA* average_;
};

}  // namespace kelda::chart
