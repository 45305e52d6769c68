// The stochastic oscillator: %K and %D.
#include "chart/data_stochastic.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "chart/chart.h"
#include "chart/data_macd.h"
#include "indicator_util.h"
#include "line_record.h"
#include "platform/last_error.h"
#include "sliding_window.h"

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

namespace {

// %K over the passing source points as the bars go by: for each passing
// point j, close - lowest low and highest high - lowest low over the window
// of the P passing points ending at j (from monotonic queues), and the last
// S of those pairs (S = slowing).
class StochasticRun {
 public:
  StochasticRun(const PointVector& s, const StochasticKParams& p)
      : s_(s),
        slowing_(p.slowing),
        window_(p.period, s.size()),
        highs_(std::clamp(p.period, 1, std::max(s.size(), 1))),
        lows_(std::clamp(p.period, 1, std::max(s.size(), 1))) {
    terms_.resize(static_cast<size_t>(std::clamp(p.slowing, 1, std::max(s.size(), 1))));
  }

  // Bar i (the bar after the last one taken) passes.
  void take(int32_t i) {
    const DataPoint& b = s_[i];
    window_.push(i);
    highs_.push(i, b.high);
    lows_.push(i, b.low);
    highs_.dropBefore(window_.oldest());
    lows_.dropBefore(window_.oldest());
    const double ll = lows_.front();
    const double hh = highs_.front();
    Term& t = terms_[static_cast<size_t>(next_)];
    t = Term{b.close - ll, hh - ll, window_.full()};
    next_ = next_ + 1 == static_cast<int32_t>(terms_.size()) ? 0 : next_ + 1;
    count_ = std::min(count_ + 1, static_cast<int32_t>(terms_.size()));
  }

  // The value after the last point taken: the sums over the last S points,
  // the newest first, as the walk adds them; false without S points whose
  // windows are whole, or without a range.
  bool value(double* out) const {
    if (slowing_ < 1 || count_ < slowing_) return false;
    double num = 0.0;
    double den = 0.0;
    for (int32_t k = 0; k < slowing_; ++k) {
      int32_t at = next_ - 1 - k;
      if (at < 0) at += static_cast<int32_t>(terms_.size());
      const Term& t = terms_[static_cast<size_t>(at)];
      if (!t.whole) return false;
      num += t.num;
      den += t.den;
    }
    if (den < 0.0 || std::fabs(den) < kEpsilon) return false;
    *out = num / den * 100.0;
    return true;
  }

 private:
  struct Term {
    double num;
    double den;
    bool whole;
  };

  const PointVector& s_;
  int32_t slowing_;
  PassingWindow window_;
  MonotonicQueue<false> highs_;
  MonotonicQueue<true> lows_;
  std::vector<Term> terms_;
  int32_t next_ = 0;
  int32_t count_ = 0;
};

}  // namespace

void CDataStochasticK::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  int from = 0;
  int to = -1;
  // A change at a bar moves the values of the period + slowing - 1 bars
  // after it: every bar from the range on is recomputed.
  if (tailRange(*this, first, percent, &from, &to)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    const int m = params_.period + params_.slowing - 1;
    StochasticRun run(s, params_);
    // The points before the range whose windows reach into it.
    if (from > 0) {
      const int reach = passingBack(passes, s, from - 1, std::max(m, 1));
      for (int k = std::max(reach, 0); k < from && k < s.size(); ++k) {
        if (passes(s[k])) run.take(k);
      }
    }
    for (int i = from; i <= to && i < s.size(); ++i) {
      own[i].valid = 0;
      if (!passes(s[i])) continue;
      run.take(i);
      double value = 0.0;
      if (i < m - 1 || !run.value(&value)) continue;
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
  const PointFilter passes(*this);
  query->lineCount = 2;
  const CChart& c = chart();
  const PointVector& kp = k_->points();
  const int32_t first = std::max(c.firstInRange(), 0);
  const int32_t last = std::min(c.firstInRange() + c.countInRange() - 1, kp.size() - 1);
  int32_t found = -1;
  for (int32_t i = first; i <= last && found < 0; ++i) {
    if (sameFileTime(kp[i].time, barTime) && passes(kp[i])) found = i;
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
