// MACD and the MACD histogram.
#include "chart/data_macd.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "chart/chart.h"
#include "indicator_util.h"
#include "line_record.h"
#include "platform/last_error.h"

namespace kelda::chart {

namespace {

PriceOscParams oscillatorBlock(const VizorMacdParams& p) {
  return PriceOscParams{p.fastPeriod, p.slowPeriod, p.method, p.field, p.percent};
}

// The stored block with the oscillator's and the signal average's live values.
VizorMacdParams liveBlock(VizorMacdParams stored, const PriceOscParams& osc, const MaParams& signal) {
  stored.fastPeriod = osc.fastPeriod;
  stored.slowPeriod = osc.slowPeriod;
  stored.method = osc.method;
  stored.field = osc.field;
  stored.percent = osc.percent;
  stored.signalPeriod = signal.period;
  stored.signalMethod = signal.method;
  return stored;
}

}  // namespace

VizorGraphParams secondLineGraph(const VizorGraphParams& graph, COLORREF colour, int32_t style,
                                 const char16_t (&legend)[66]) {
  VizorGraphParams out = graph;
  out.colour = colour;
  out.style = style;
  copyWideField(out.legend, 66, legend, 66);
  return out;
}

CDataMACD::CDataMACD(CChart& chart, CData& source) : CDataMA(chart, nullptr) {
  typeCode_ = kTypeCode;
  oscillator_ = std::make_unique<CDataPriceOscillator>(chart, source).release();
  addSource(oscillator_);
  oscillator_->setOwnerId(id());
  addCompanion(oscillator_);
}

void CDataMACD::attachGraph(std::unique_ptr<CGraph> graph) {
  if (graph) {
    oscillator_->attachGraph(std::make_unique<CGraph>(chart(), *oscillator_, graph->pane()));
    graph->setLegendShown(false);
  }
  CDataMA::attachGraph(std::move(graph));
}

int CDataMACD::lineCount(int* count) const {
  *count = 2;
  return 1;
}

int CDataMACD::getParams(VizorGraphParams* graphOut, void* params, int size) {
  if (params == nullptr || size != static_cast<int>(sizeof(VizorMacdParams))) return 0;
  VizorGraphParams own{};
  MaParams signal;
  PriceOscParams osc;
  if (!CDataMA::getParams(&own, &signal, sizeof(signal))) return 0;
  if (!oscillator_->getParams(graphOut, &osc, sizeof(osc))) return 0;
  VizorMacdParams out = liveBlock(params_, osc, signal);
  if (getGraph() != nullptr) {
    out.signalColour = own.colour;
    out.signalStyle = own.style;
    copyWideField(out.signalLegend, 66, own.legend, 66);
  }
  std::memcpy(params, &out, sizeof(out));
  return 1;
}

int CDataMACD::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  VizorMacdParams p;
  if (!readBlock(params, size, &p)) return 0;
  const MaParams signal{p.signalPeriod, p.signalMethod, 4};
  VizorGraphParams signalGraph{};
  if (graph != nullptr) signalGraph = secondLineGraph(*graph, p.signalColour, p.signalStyle, p.signalLegend);
  const VizorGraphParams* signalBlock = graph != nullptr ? &signalGraph : nullptr;
  const PriceOscParams osc = oscillatorBlock(p);
  if (!CDataMA::setParams(signalBlock, &signal, sizeof(signal), 1, 0) ||
      !oscillator_->setParams(graph, &osc, sizeof(osc), 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  params_ = p;
  CDataMA::setParams(signalBlock, &signal, sizeof(signal), 0, 0);
  // The oscillator recalculates in any case; the signal follows as its dependent.
  oscillator_->setParams(graph, &osc, sizeof(osc), 0, recalc);
  return 1;
}

int CDataMACD::valuesAt(FILETIME barTime, VizorCandleQuery* query) {
  const PointFilter passes(*this);
  query->lineCount = 2;
  const CChart& c = chart();
  const PointVector& o = oscillator_->points();
  const int32_t first = std::max(c.firstInRange(), 0);
  const int32_t last = std::min(c.firstInRange() + c.countInRange() - 1, o.size() - 1);
  int32_t found = -1;
  for (int32_t i = first; i <= last && found < 0; ++i) {
    if (sameFileTime(o[i].time, barTime) && passes(o[i])) found = i;
  }
  const int32_t j = found < 0 ? -1 : findValidPoint(found, getGraph(), o);
  if (j < 0) {
    platform::set_last_error(VIZOR_ERROR_NOT_FOUND);
    return 0;
  }
  writeLineRecord(query->values[0], *oscillator_, o[j]);
  writeLineRecord(query->values[1], *this, points()[j]);
  return 1;
}

CDataMACDHistogram::CDataMACDHistogram(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  oscillator_ = std::make_unique<CDataPriceOscillator>(chart, source).release();
  signal_ = std::make_unique<CDataMA>(chart, oscillator_).release();
  difference_ = std::make_unique<CDataDifference>(chart, *oscillator_, *signal_).release();
  // Only the difference is a source: it reports after both of its inputs.
  addSource(difference_);
  for (CDataCommon* part : {static_cast<CDataCommon*>(oscillator_), static_cast<CDataCommon*>(signal_),
                            static_cast<CDataCommon*>(difference_)}) {
    part->setOwnerId(id());
    addCompanion(part);
  }
  // The histogram draws no signal line: no colour, style or legend of it.
  params_.signalColour = 0;
  params_.signalStyle = 0;
  params_.signalLegend[0] = 0;
}

int CDataMACDHistogram::getParams(VizorGraphParams* graphOut, void* params, int size) {
  if (params == nullptr || size != static_cast<int>(sizeof(VizorMacdParams))) return 0;
  MaParams signal;
  PriceOscParams osc;
  if (!signal_->getParams(nullptr, &signal, sizeof(signal)) || !oscillator_->getParams(nullptr, &osc, sizeof(osc))) {
    return 0;
  }
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, liveBlock(params_, osc, signal));
}

int CDataMACDHistogram::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                  int recalc) {
  VizorMacdParams p;
  if (!readBlock(params, size, &p)) return 0;
  const MaParams signal{p.signalPeriod, p.signalMethod, 4};
  const PriceOscParams osc = oscillatorBlock(p);
  if (!signal_->setParams(nullptr, &signal, sizeof(signal), 1, 0) ||
      !oscillator_->setParams(nullptr, &osc, sizeof(osc), 1, 0) ||
      !CDataCommon::setParams(graph, params, size, checkOnly, recalc)) {
    return 0;
  }
  if (checkOnly) return 1;
  params_ = p;
  signal_->setParams(nullptr, &signal, sizeof(signal), 0, 0);
  oscillator_->setParams(nullptr, &osc, sizeof(osc), 0, recalc);
  return 1;
}

void CDataMACDHistogram::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  int from = percent ? -1 : first;
  int to = percent ? -1 : last;
  if (resolveRange(from, to)) {
    // A price series over the difference.
    const PriceCopy copy(*this);
    const PointVector& d = difference_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < d.size(); ++i) {
      own[i].valid = 0;
      if (!passes(d[i])) continue;
      copy(d[i], &own[i]);
      own[i].valid = 1;
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

}  // namespace kelda::chart
