// The Alligator (graph type 29): three shifted moving averages (jaw, teeth,
// lips), each a part with a graph of its own. The owner itself draws
// nothing: it is no dependent of any series, its points stay invalid and a
// full recalculation leaves them so; it owns the three parts, sets their
// parameters from its 44-byte block and answers for all three lines.
// Threading and errors as CData.
#pragma once

#include <memory>

#include "chart/data_ma.h"

namespace kelda::chart {

// One line: the average's close taken shift passing bars back (a negative
// shift looks ahead).
class CDataAlligatorPart final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 29;
  CDataAlligatorPart(CChart& chart, CData& source);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

  int32_t shift() const { return shift_; }
  void setShift(int32_t shift) { shift_ = shift; }
  CDataMA& average() const { return *average_; }

 private:
  int32_t shift_ = 0;
  CDataMA* average_;
};

// The 44-byte block: eleven int32.
struct AlligatorParams {
  int32_t method;
  int32_t field;
  int32_t jawPeriod, teethPeriod, lipsPeriod;
  int32_t jawShift, teethShift, lipsShift;
  COLORREF jawColour, teethColour, lipsColour;
};
static_assert(sizeof(AlligatorParams) == 44);

class CDataAlligator final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 29;
  CDataAlligator(CChart& chart, CData& source);
  int hasData() const override;
  int getMinMax(int closeOnly, double* min, double* max, const VizorGraphParams* graph) const override;
  void attachGraph(std::unique_ptr<CGraph> graph) override;
  void calculate(int first, int last) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;
  int lineCount(int* count) const override;
  int valuesAt(FILETIME barTime, VizorCandleQuery* query) override;

  CDataAlligatorPart& jaw() const { return *jaw_; }
  CDataAlligatorPart& teeth() const { return *teeth_; }
  CDataAlligatorPart& lips() const { return *lips_; }

 private:
  CDataAlligatorPart* jaw_;
  CDataAlligatorPart* teeth_;
  CDataAlligatorPart* lips_;
};

}  // namespace kelda::chart
