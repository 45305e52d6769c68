// The volume and Chaikin oscillators.
#include "chart/data_volume_osc.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "chart/data_accumulation.h"
#include "chart/data_volume.h"
#include "indicator_util.h"

namespace kelda::chart {

namespace {

// Applies an average block (no graph); the average recalculates.
void applyAverage(CDataMA& average, const MaParams& block) { average.setParams(nullptr, &block, sizeof(block), 0, 1); }

bool averageAccepts(CDataMA& average, const MaParams& block) {
  return average.setParams(nullptr, &block, sizeof(block), 1, 0) != 0;
}

}  // namespace

CDataTwoAverageOscillator::CDataTwoAverageOscillator(CChart& chart, const OscillatorParams& defaults)
    : CDataCommon(chart, 0, 2), params_(defaults) {}

void CDataTwoAverageOscillator::adoptAverages(CDataMA* shortAverage, CDataMA* longAverage, bool longFirst) {
  short_ = shortAverage;
  long_ = longAverage;
  addSource(longFirst ? long_ : short_);
  addSource(longFirst ? short_ : long_);
}

int CDataTwoAverageOscillator::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

void CDataTwoAverageOscillator::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  PointVector& own = getPoints();
  // Either average may have changed a different stretch: on to the last bar.
  int from = first;
  int to = first == -1 ? -1 : own.size() - 1;
  if (resolveRange(from, to)) {
    const PointVector& a = short_->getPoints();
    const PointVector& b = long_->getPoints();
    const bool keep = keepsBarsWithoutValue();
    for (int i = from; i <= to && i < a.size() && i < b.size(); ++i) {
      DataPoint& p = own[i];
      if (!passes(a[i]) || !passes(b[i])) {
        if (!keep) p.valid = 0;
        continue;
      }
      setSingleValue(&p, valueOf(a[i].close, b[i].close));
      p.valid = 1;
      if (percent) toPercentOfBase(&p);
    }
  }
  updateHasData(first == -1 ? -1 : from, to);
  notifyDependents(first == -1 ? -1 : from, first == -1 ? -1 : to);
}

CDataVolumeOsc::CDataVolumeOsc(CChart& chart, CData& source)
    : CDataTwoAverageOscillator(chart, OscillatorParams{5, 10, 2, 4}) {
  typeCode_ = kTypeCode;
  auto* volume = std::make_unique<CDataVolume>(chart, source).release();
  auto* shortAverage = std::make_unique<CDataMA>(chart, volume).release();
  applyAverage(*shortAverage, MaParams{params_.shortPeriod, params_.method, params_.field});
  auto* longAverage = std::make_unique<CDataMA>(chart, volume).release();
  applyAverage(*longAverage, MaParams{params_.longPeriod, params_.method, params_.field});
  adoptAverages(shortAverage, longAverage, true);
  for (CDataCommon* part : {static_cast<CDataCommon*>(volume), static_cast<CDataCommon*>(shortAverage),
                            static_cast<CDataCommon*>(longAverage)}) {
    part->setOwnerId(id());
    addCompanion(part);
  }
}

double CDataVolumeOsc::valueOf(double shortClose, double longClose) const {
  return std::fabs(longClose) < kEpsilon ? 0.0 : (shortClose - longClose) / longClose * 100.0;
}

int CDataVolumeOsc::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                              int recalc) {
  OscillatorParams p;
  if (!readBlock(params, size, &p)) return 0;
  // The averages read the volume as a close.
  const MaParams shortBlock{p.shortPeriod, p.method, 4};
  const MaParams longBlock{p.longPeriod, p.method, 4};
  if (!averageAccepts(*short_, shortBlock) || !averageAccepts(*long_, longBlock) ||
      !CDataCommon::setParams(graph, params, size, 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  params_ = p;
  CDataCommon::setParams(graph, params, size, 0, recalc);
  applyAverage(*short_, shortBlock);
  applyAverage(*long_, longBlock);
  return 1;
}

CDataChaikinOscill::CDataChaikinOscill(CChart& chart, CData& source)
    : CDataTwoAverageOscillator(chart, OscillatorParams{3, 10, 2, 4}) {
  typeCode_ = kTypeCode;
  auto* firstLine = std::make_unique<CDataCumAD>(chart, source).release();
  auto* secondLine = std::make_unique<CDataCumAD>(chart, source).release();
  auto* shortAverage = std::make_unique<CDataMA>(chart, firstLine).release();
  applyAverage(*shortAverage, MaParams{params_.shortPeriod, params_.method, 4});
  auto* longAverage = std::make_unique<CDataMA>(chart, secondLine).release();
  applyAverage(*longAverage, MaParams{params_.longPeriod, params_.method, 4});
  adoptAverages(shortAverage, longAverage, false);
  for (CDataCommon* part : {static_cast<CDataCommon*>(firstLine), static_cast<CDataCommon*>(secondLine),
                            static_cast<CDataCommon*>(shortAverage), static_cast<CDataCommon*>(longAverage)}) {
    part->setOwnerId(id());
    addCompanion(part);
  }
}

double CDataChaikinOscill::valueOf(double shortClose, double longClose) const { return shortClose - longClose; }

int CDataChaikinOscill::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                  int recalc) {
  OscillatorParams p;
  if (!readBlock(params, size, &p) || p.shortPeriod < 1 || p.shortPeriod > p.longPeriod) return 0;
  const MaParams shortBlock{p.shortPeriod, p.method, p.field};
  const MaParams longBlock{p.longPeriod, p.method, p.field};
  if (!averageAccepts(*short_, shortBlock) || !averageAccepts(*long_, longBlock) ||
      !CDataCommon::setParams(graph, params, size, 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  CDataCommon::setParams(graph, params, size, 0, recalc);
  params_ = p;
  applyAverage(*short_, shortBlock);
  applyAverage(*long_, longBlock);
  return 1;
}

}  // namespace kelda::chart
