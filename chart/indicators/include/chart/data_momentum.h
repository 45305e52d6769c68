// The single-source momentum oscillators: momentum (graph type 12), rate of
// change (13), smoothed rate of change (11, over a moving average it owns),
// the Chande momentum oscillator (33) and Williams' percent range (17). Each
// draws one line of single values; in percent mode each recomputes from bar
// 0. Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"

namespace kelda::chart {

// The 8-byte block of momentum, rate of change and the Chande oscillator.
struct MomentumParams {
  int32_t period = 5;
  int32_t field = 4;
};

// price / price n passing bars back * 100 (100 when the reference is zero).
class CDataMom final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 12;
  CDataMom(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  MomentumParams params_;
};

// (price - reference) / reference * 100, the reference n passing bars back;
// no value when the reference is (nearly) zero.
class CDataROC final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 13;
  CDataROC(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  MomentumParams params_;
};

// The 16-byte block of the smoothed rate of change.
struct SrocParams {
  int32_t rocPeriod = 5;
  int32_t maPeriod = 10;
  int32_t maMethod = 2;
  int32_t field = 4;
};

// average / average n passing bars back * 100; no value when that reference
// is (nearly) zero.
class CDataSROC final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 11;
  CDataSROC(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* source_;
  CDataMA* average_;
  SrocParams params_;
};

// The move record kept in the extra data of each Chande oscillator point.
#pragma pack(push, 1)
struct CmoMove {
  double up;
  double down;
  uint8_t hasMove;
};
#pragma pack(pop)

// 100 * (sum of up moves - sum of down moves) / (their total) over the last n
// moves (0 when there was no movement).
class CDataCMO final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 33;
  CDataCMO(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  void recordMove(const PointVector& s, int i);
  bool valueAt(int i, double* value) const;

  CData* source_;
  MomentumParams params_{2, 4};
};

// (highest high - close) / (highest high - lowest low) * -100 over the bar and
// the n passing bars before it: 0 at the high, -100 at the low. The 4-byte
// block is the period.
class CDataWilliams final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 17;
  CDataWilliams(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  bool valueAt(const PointVector& s, int i, double* value) const;

  CData* source_;
  int32_t period_ = 10;
};

}  // namespace kelda::chart
