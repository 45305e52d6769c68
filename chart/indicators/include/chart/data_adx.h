// The average directional index (graph type 30) and the chain it is built
// from: per-bar directional movement over the true range (one series per
// direction), a moving average of each (the directional indexes), their
// spread in percent (DX) and the ADX, a rounded moving average of the DX.
// CDataADX is the series the factory creates and the only one with a graph;
// it owns the DX, the DX owns both indexes, each index owns its movement.
// The whole chain shares the 12-byte moving-average block; a successful
// setParams always recalculates it. Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"

namespace kelda::chart {

inline constexpr int32_t kAdxTypeCode = 30;

// The movement of one direction divided by the true range (a fraction).
// Its one extra byte per point marks a source bar that passed the filter.
class CDataADX_DirectMovement final : public CDataCommon {
 public:
  CDataADX_DirectMovement(CChart& chart, CData& source, bool plus);
  void calculate(int first, int last) override;

 private:
  double valueAt(const PointVector& s, int i, int prev) const;

  CData* source_;
  int32_t direction_;
};

// A moving average (the chain's block) of one direction's movement.
class CDataADX_DirectIndex final : public CDataMA {
 public:
  CDataADX_DirectIndex(CChart& chart, CData& source, bool plus);
};

// |P - M| / (P + M) * 100 of the two directional indexes.
class CDataADX_DX final : public CDataCommon {
 public:
  CDataADX_DX(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

  CDataADX_DirectIndex& plus() const { return *plus_; }
  CDataADX_DirectIndex& minus() const { return *minus_; }

 private:
  CDataADX_DirectIndex* plus_;
  CDataADX_DirectIndex* minus_;
};

class CDataADX final : public CDataMA {
 public:
  static constexpr int32_t kTypeCode = kAdxTypeCode;
  CDataADX(CChart& chart, CData& source);
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

  CDataADX_DX& dx() const { return *dx_; }

 private:
  CDataADX_DX* dx_;
};

}  // namespace kelda::chart
