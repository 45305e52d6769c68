// The Elder ray and its bull and bear power rays.
#include "chart/data_elder_ray.h"

#include <algorithm>
#include <memory>

#include "chart/graph.h"
#include "chart/wide_text.h"
#include "composite_lines.h"
#include "indicator_util.h"

namespace kelda::chart {

CDataRay::CDataRay(CChart& chart, CData& source, CDataMA& average, Kind kind)
    : CDataCommon(chart, 0, 2), kind_(kind), source_(&source), average_(&average) {
  addSource(&source);
  addSource(&average);
}

int CDataRay::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataRay::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  RayParams p;
  if (!readBlock(params, size, &p)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  if (recalc) recalculate();
  return 1;
}

void CDataRay::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  PointVector& own = getPoints();
  int from = first;
  int to = first == -1 ? -1 : own.size() - 1;
  if (resolveRange(from, to)) {
    const PointVector& s = source_->getPoints();
    const PointVector& m = average_->getPoints();
    for (int i = from; i <= to && i < s.size() && i < m.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(m[i]) || !passes(s[i])) continue;
      const double price = kind_ == kBull ? s[i].high : s[i].low;
      setSingleValue(&p, price - m[i].close);
      p.valid = 1;
      toPercentOfBase(&p);
    }
  }
  updateHasData(first == -1 ? -1 : from, to);
  notifyDependents(first == -1 ? -1 : from, first == -1 ? -1 : to);
}

CDataElderRay::CDataElderRay(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  // Until the first setParams the average keeps its own defaults.
  average_ = std::make_unique<CDataMA>(chart, &source).release();
  addSource(average_);
  bull_ = std::make_unique<CDataRay>(chart, source, *average_, CDataRay::kBull).release();
  bull_->addCompanion(this);
  bear_ = std::make_unique<CDataRay>(chart, source, *average_, CDataRay::kBear).release();
  bear_->addCompanion(this);
  for (CDataCommon* part :
       {static_cast<CDataCommon*>(average_), static_cast<CDataCommon*>(bull_), static_cast<CDataCommon*>(bear_)}) {
    part->setOwnerId(id());
    addCompanion(part);
  }
}

void CDataElderRay::attachGraph(std::unique_ptr<CGraph> graph) {
  if (graph) attachPartGraphs(chart(), *graph, {bull_, bear_});
  CDataCommon::attachGraph(std::move(graph));
}

int32_t CDataElderRay::nextRayId() {
  const bool bull = nextIsBull_;
  nextIsBull_ = !nextIsBull_;
  if (bull) return params_.bullRayId = bull_->id();
  return params_.bearRayId = bear_->id();
}

int CDataElderRay::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataElderRay::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                             int recalc) {
  ElderRayParams p;
  if (!readBlock(params, size, &p)) return 0;
  const MaParams ma{p.period, p.method, p.field};
  const RayParams bullBlock{p.bullColour, p.bullStyle};
  const RayParams bearBlock{p.bearColour, p.bearStyle};
  VizorGraphParams bullGraph{};
  VizorGraphParams bearGraph{};
  if (graph != nullptr) {
    bullGraph = *graph;
    bullGraph.colour = p.bullColour;
    bullGraph.style = p.bullStyle;
    copyWideField(bullGraph.legend, 66, u"Bull power", 66);
    bearGraph = *graph;
    bearGraph.colour = p.bearColour;
    bearGraph.style = p.bearStyle;
    copyWideField(bearGraph.legend, 66, u"Bear power", 66);
  }
  const VizorGraphParams* bullIn = graph != nullptr ? &bullGraph : nullptr;
  const VizorGraphParams* bearIn = graph != nullptr ? &bearGraph : nullptr;
  if (!average_->setParams(nullptr, &ma, sizeof(ma), 1, 0) ||
      !bull_->setParams(bullIn, &bullBlock, sizeof(bullBlock), 1, 0) ||
      !bear_->setParams(bearIn, &bearBlock, sizeof(bearBlock), 1, 0) ||
      !CDataCommon::setParams(graph, params, size, 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  bull_->setParams(bullIn, &bullBlock, sizeof(bullBlock), 0, 0);
  bear_->setParams(bearIn, &bearBlock, sizeof(bearBlock), 0, 0);
  CDataCommon::setParams(graph, params, size, 0, 0);
  // The ray ids are the factory's answers, not the caller's.
  p.bearRayId = params_.bearRayId;
  p.bullRayId = params_.bullRayId;
  params_ = p;
  if (const CGraph* own = getGraph(); own != nullptr) {
    if (CGraph* g = bull_->getGraph(); g != nullptr) g->setPane(own->paneId() + 1);
    if (CGraph* g = bear_->getGraph(); g != nullptr) g->setPane(own->paneId() + 2);
  }
  average_->setParams(nullptr, &ma, sizeof(ma), 0, recalc);
  if (recalc) {
    // Each ray waits for the price series too: the owner completes their cycle.
    bull_->recalculate();
    bear_->recalculate();
  }
  return 1;
}

void CDataElderRay::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    // The Elder ray's own line is a price series over the average.
    const PriceCopy copy(*this);
    const PointVector& m = average_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < m.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(m[i])) continue;
      copy(m[i], &p);
      p.valid = 1;
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

}  // namespace kelda::chart
