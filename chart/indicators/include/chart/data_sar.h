// The parabolic stop-and-reverse line (graph type 10) over the highs and
// lows of its source. The trend state (extreme, acceleration factor,
// direction) lives in each point's extra data, so a recalculation from a bar
// continues from the nearest valid point before it. Threading and errors as
// CData.
#pragma once

#include "chart/data_common.h"

namespace kelda::chart {

// The 16-byte block.
struct SarParams {
  double step = 0.02;     // 0.0001 to 100
  double maximum = 0.2;   // 0.01 to 100
};
static_assert(sizeof(SarParams) == 16);

// The trend state kept in the 24-byte extra data of every point.
struct SarState {
  double extreme;  // highest high while rising, lowest low while falling
  double factor;   // acceleration factor in force
  uint8_t rising;  // 1: the line lies below the bars
};
static_assert(sizeof(SarState) == 24);

class CDataParabolicSAR final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 10;
  CDataParabolicSAR(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  // The line starts on the fifth passing bar, rising, at the lowest low of
  // those five bars; false while fewer than five bars pass up to i.
  bool startAt(const PointVector& s, int i, double* value, SarState* state) const;
  // The value at i from the valid points prev (and prev2, -1 when unused).
  double stepFrom(const PointVector& s, int i, int prev, int prev2, SarState* state) const;
  double raisedFactor(double factor) const;

  CData* source_;
  SarParams params_;
};

}  // namespace kelda::chart
