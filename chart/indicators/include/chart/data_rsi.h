// The relative strength index (graph type 9): 100 * up / (up + down), where
// up and down are two hidden series holding the Wilder-smoothed means of the
// upward and of the downward price moves. The two are its sources and
// companions; the index completes a cycle once both have reported.
// Threading and errors as CData.
#pragma once

#include "chart/data_common.h"

namespace kelda::chart {

// The 8-byte block of the index and of its two halves.
struct RsiParams {
  int32_t period = 9;  // at least 2
  int32_t field = 4;
};

// The smoothed moves of one direction. The first value is the plain mean of
// the first n - 1 moves; each later one is (move + (n - 1) * previous) / n.
class CDataRSIUpDown final : public CDataCommon {
 public:
  CDataRSIUpDown(CChart& chart, CData& source, bool up);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  double move(const DataPoint& later, const DataPoint& earlier) const;
  bool seedValue(const PointVector& s, int i, double* value) const;

  CData* source_;
  bool up_;
  RsiParams params_;
};

class CDataRSI final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 9;
  CDataRSI(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

  CDataRSIUpDown& up() const { return *up_; }
  CDataRSIUpDown& down() const { return *down_; }

 private:
  CDataRSIUpDown* up_;
  CDataRSIUpDown* down_;
  RsiParams params_;
};

}  // namespace kelda::chart
