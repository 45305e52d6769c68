// The stochastic oscillator: %K and %D.
#include "chart/data_stochastic.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "chart/chart.h"
#include "chart/data_macd.h"
#include "indicator_util.h"
#include "line_record.h"
#include "platform/last_error.h"

namespace kelda::chart {

CDataStochasticK::CDataStochasticK(CChart& chart, CData& source) : CDataCommon(chart, 0, 1), source_(&source) {
  addSource(&source);
}

int CDataStochasticK::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataStochasticK::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                int recalc) {
  StochasticKParams p;
  if (!readBlock(params, size, &p) || p.period < 1 || p.slowing < 1) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  calculate(-1, -1);
  return 1;
}

bool CDataStochasticK::valueAt(const PointVector& s, int i, double* value) const {
  double num = 0.0;
  double den = 0.0;
  int taken = 0;
  for (int j = i; j >= 0 && taken < params_.slowing; --j) {
    if (!pointPasses(&s[j])) continue;
    double hh = s[j].high;
    double ll = s[j].low;
    int counted = 0;
    for (int k = j - 1; k >= 0 && counted < params_.period - 1; --k) {
      if (!pointPasses(&s[k])) continue;
      if (s[k].low < ll) ll = s[k].low;
      if (s[k].high > hh) hh = s[k].high;
      ++counted;
    }
    if (counted < params_.period - 1) return false;
    num += s[j].close - ll;
    den += hh - ll;
    ++taken;
  }
  // A window without any range (or too little history) has no value.
  if (taken < params_.slowing || den < 0.0 || std::fabs(den) < kEpsilon) return false;
  *value = num / den * 100.0;
  return true;
}

void CDataStochasticK::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const bool percent = percentShown(*this);
  int from = 0;
  int to = -1;
  // A change at a bar moves the values of the period + slowing - 1 bars
  // after it: every bar from the range on is recomputed.
  if (tailRange(*this, first, percent, &from, &to)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    const int m = params_.period + params_.slowing - 1;
    for (int i = from; i <= to && i < s.size(); ++i) {
      own[i].valid = 0;
      double value = 0.0;
      if (i < m - 1 || !pointPasses(&s[i]) || !valueAt(s, i, &value)) continue;
      setSingleValue(&own[i], value);
      own[i].valid = 1;
    }
    if (percent) percentPass(*this, to);
  }
  finishRange(*this, first, from, to);
}

CDataStochastic::CDataStochastic(CChart& chart, CData& source) : CDataMA(chart, nullptr) {
  typeCode_ = kTypeCode;
  storeMaParams(MaParams{params_.dPeriod, params_.dMethod, 4});
  k_ = std::make_unique<CDataStochasticK>(chart, source).release();
  addSource(k_);
  k_->setOwnerId(id());
  addCompanion(k_);
}

void CDataStochastic::attachGraph(std::unique_ptr<CGraph> graph) {
  if (graph) {
    k_->attachGraph(std::make_unique<CGraph>(chart(), *k_, graph->pane()));
    graph->setLegendShown(false);
  }
  CDataMA::attachGraph(std::move(graph));
}

int CDataStochastic::lineCount(int* count) const {
  *count = 2;
  return 1;
}

int CDataStochastic::getParams(VizorGraphParams* graphOut, void* params, int size) {
  StochasticKParams k;
  if (!k_->getParams(graphOut, &k, sizeof(k))) return 0;
  return writeBlock(1, params, size, params_);
}

int CDataStochastic::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                               int recalc) {
  VizorStochasticParams p;
  if (!readBlock(params, size, &p)) return 0;
  const MaParams d{p.dPeriod, p.dMethod, 4};
  VizorGraphParams dGraph{};
  if (graph != nullptr) dGraph = secondLineGraph(*graph, p.dColour, p.dStyle, p.dLegend);
  const VizorGraphParams* dBlock = graph != nullptr ? &dGraph : nullptr;
  const StochasticKParams k{p.kPeriod, p.kSlowing};
  if (!CDataMA::setParams(dBlock, &d, sizeof(d), 1, 0) || !k_->setParams(graph, &k, sizeof(k), 1, 0)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  CDataMA::setParams(dBlock, &d, sizeof(d), 0, 0);
  // %K recalculates in any case; %D follows as its dependent.
  k_->setParams(graph, &k, sizeof(k), 0, recalc);
  return 1;
}

int CDataStochastic::valuesAt(FILETIME barTime, VizorCandleQuery* query) {
  query->lineCount = 2;
  const CChart& c = chart();
  const PointVector& kp = k_->points();
  const int32_t first = std::max(c.firstInRange(), 0);
  const int32_t last = std::min(c.firstInRange() + c.countInRange() - 1, kp.size() - 1);
  int32_t found = -1;
  for (int32_t i = first; i <= last && found < 0; ++i) {
    if (sameFileTime(kp[i].time, barTime) && pointPasses(&kp[i])) found = i;
  }
  const int32_t j = found < 0 ? -1 : findValidPoint(found, getGraph(), kp);
  if (j < 0) {
    platform::set_last_error(VIZOR_ERROR_NOT_FOUND);
    return 0;
  }
  writeLineRecord(query->values[0], *k_, kp[j]);
  writeLineRecord(query->values[1], *this, points()[j]);
  return 1;
}

}  // namespace kelda::chart
