// The hidden auxiliary series that composite indicators assemble (no graph
// type creates them): the difference of two series, the median and the
// typical price of a series, and a series shifted by a number of bars.
// Their owner creates them and lists them as its companions. Threading and
// errors as CData.
#pragma once

#include "chart/data_common.h"

namespace kelda::chart {

// price(A) - price(B) at every bar where both pass.
class CDataDifference final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 41;
  CDataDifference(CChart& chart, CData& a, CData& b);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* a_;
  CData* b_;
  int32_t field_ = 4;
};

// (high + low) / 2 of the source.
class CDataMedianPrice final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 40;
  CDataMedianPrice(CChart& chart, CData& source);
  void calculate(int first, int last) override;

 private:
  CData* source_;
};

// (close + low + high) / 3 of the source.
class CDataTypicalPrice final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 42;
  CDataTypicalPrice(CChart& chart, CData& source);
  void calculate(int first, int last) override;

 private:
  CData* source_;
};

// The source's close taken shiftCount() passing bars back (0: the same bar).
class CDataShift final : public CDataCommon {
 public:
  CDataShift(CChart& chart, CData& source);
  void calculate(int first, int last) override;

 private:
  CData* source_;
};

}  // namespace kelda::chart
