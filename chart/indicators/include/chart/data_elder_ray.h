// The Elder ray (graph type 25): a moving average of the price (the series'
// own line is a copy of it) and two rays drawn in their own panes, bull
// power (high - average) and bear power (low - average). The Elder ray and
// its rays are companions of one another: deleting any of them deletes the
// group. Threading and errors as CData.
#pragma once

#include <memory>

#include "chart/data_ma.h"

namespace kelda::chart {

// The 8-byte block of a ray: colour and drawing style, not read by the calculation.
struct RayParams {
  COLORREF colour = 0;
  int32_t style = 1;
};
static_assert(sizeof(RayParams) == 8);

class CDataRay final : public CDataCommon {
 public:
  enum Kind : int32_t { kBear = 0, kBull = 1 };
  CDataRay(CChart& chart, CData& source, CDataMA& average, Kind kind);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  Kind kind_;
  CData* source_;
  CDataMA* average_;
  RayParams params_;
};

// The 36-byte block. The rays' drawing styles start at a solid line, which
// the graph check accepts.
struct ElderRayParams {
  int32_t period = 13;
  int32_t field = 4;
  int32_t method = 2;
  COLORREF bullColour = 0;
  COLORREF bearColour = 0;
  int32_t bullStyle = 1;
  int32_t bearStyle = 1;
  int32_t bearRayId = 0;  // filled by the factory's ray queries
  int32_t bullRayId = 0;
};
static_assert(sizeof(ElderRayParams) == 36);

class CDataElderRay final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 25;
  CDataElderRay(CChart& chart, CData& source);
  void attachGraph(std::unique_ptr<CGraph> graph) override;
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;
  // The factory's query with no source: the bear ray's id first, then the
  // bull ray's, alternating; each answer is recorded in the block.
  int32_t nextRayId();

  CDataRay& bull() const { return *bull_; }
  CDataRay& bear() const { return *bear_; }
  CDataMA& average() const { return *average_; }

 private:
  CDataMA* average_;
  CDataRay* bull_;
  CDataRay* bear_;
  ElderRayParams params_;
  bool nextIsBull_ = false;
};

}  // namespace kelda::chart
