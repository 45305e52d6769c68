// CDataMA (graph type 3): the moving average of one price field of its
// source: simple, exponential, volume-weighted or smoothed. It is also the
// base of the composite indicators that reuse its calculation, which may
// build it without a source and wire their own. Threading and errors as CData.
#pragma once

#include "chart/data_common.h"

namespace kelda::chart {

// The 12-byte parameter block of a moving average.
struct MaParams {
  int32_t period = 9;
  int32_t method = 2;  // 1 simple, 2 exponential, 3 volume-weighted, 4 smoothed, 5 none
  int32_t field = 4;   // price field of selectPrice
};
static_assert(sizeof(MaParams) == 12);

enum MaMethod : int32_t { kMaSimple = 1, kMaExponential = 2, kMaVolumeWeighted = 3, kMaSmoothed = 4, kMaNone = 5 };

class CDataMA : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 3;
  // source may be null: a derived class then adds its own.
  CDataMA(CChart& chart, CData* source);

  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

  const MaParams& maParams() const { return params_; }
  // Values rounded to whole numbers (directional indicators).
  void setRounding(bool on) { rounding_ = on; }

 protected:
  // The series averaged: the first source.
  CData* maSource() const { return sources().empty() ? nullptr : sources().front(); }
  static int checkMaParams(const MaParams& p);
  void storeMaParams(const MaParams& p) { params_ = p; }

 private:
  // The first value of a recursive method: the exponential average run over
  // every passing point from bar 0 to i, or the smoothed one's mean of them.
  bool seedValue(const PointVector& source, const PointFilter& passes, int i, double* value) const;

  bool rounding_ = false;
  MaParams params_;
};

}  // namespace kelda::chart
