// The standard deviation and the Bollinger bands.
#include "chart/data_bollinger.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "chart/chart.h"
#include "chart/graph.h"
#include "chart/wide_text.h"
#include "indicator_util.h"
#include "line_record.h"
#include "sliding_window.h"
#include "platform/last_error.h"

namespace kelda::chart {

namespace {

// The class's own block after the graph block (baseResult: the base's
// getParams), the shape every parameter block follows.
template <class Block>
int copyBlockOut(int baseResult, void* params, int size, const Block& block) {
  if (params == nullptr || size != static_cast<int>(sizeof(Block)) || !baseResult) return 0;
  std::memcpy(params, &block, sizeof(Block));
  return 1;
}

// A series computed from two inputs recomputes from the start of the range
// to the last bar: each input may have changed a different stretch.
int twoInputEnd(int first, const PointVector& points) { return first == -1 ? -1 : points.size() - 1; }

// The window of the deviation: the last n passing source points, with the
// sums of d and d * d for d = price - c, c a price of the window taken at
// each exact re-sum (close to the window's prices, so that the sums do not
// cancel): sum of (p - m)^2 = sum d^2 - 2 (m - c) sum d + n (m - c)^2.
class DeviationWindow {
 public:
  DeviationWindow(const PointVector& source, const PointFilter& passes, int32_t field, int32_t n)
      : source_(source), passes_(passes), field_(field), n_(n), window_(n, source.size()) {}

  void fillAt(int32_t at) {
    window_.fillAt(source_, passes_, at);
    resum();
    nextResum_ = nextResum(at, n_);
  }
  void advance(int32_t i, bool passing) {
    if (passing) {
      add(selectPrice(field_, &source_[i]), 1);
      const int32_t left = window_.push(i);
      if (left >= 0) add(selectPrice(field_, &source_[left]), -1);
    }
    if (i == nextResum_) {
      resum();
      nextResum_ += resumStride(n_);
    }
  }
  bool full() const { return window_.full(); }

  // sqrt(sum of (p - mean)^2 / n) over the window. Where the sums may hold
  // too few exact digits (a spread small against the terms they were built
  // from: the prices' distance from c, and what passed through them since
  // they were taken afresh), the window is walked as the definition says.
  double deviation(double mean) const {
    const double a = mean - c_;
    const double n = static_cast<double>(n_);
    if (nonzero_ == 0 && a == 0.0) return 0.0;
    const double sd = sumD_.value();
    const double sq = sumSquares_.value();
    const double squares = sq - 2.0 * a * sd + n * a * a;
    const double scale = sq + 2.0 * std::fabs(a * sd) + n * a * a + 1e-12 * churn_;
    if (squares > 0.0 && squares >= 1e-4 * scale) return std::sqrt(squares / n);
    double sum = 0.0;
    for (int32_t k = 0; k < window_.size(); ++k) {
      const double d = selectPrice(field_, &source_[window_.newest(k)]) - mean;
      sum += d * d;
    }
    return std::sqrt(sum / n);
  }

 private:
  void add(double price, int sign) {
    const double d = price - c_;
    sumD_.add(sign * d);
    sumSquares_.add(sign * (d * d));
    churn_ += d * d;
    nonzero_ += d != 0.0 ? sign : 0;
  }
  void resum() {
    c_ = window_.size() > 0 ? selectPrice(field_, &source_[window_.newest(0)]) : 0.0;
    sumD_.reset();
    sumSquares_.reset();
    churn_ = 0.0;
    nonzero_ = 0;
    for (int32_t k = 0; k < window_.size(); ++k) add(selectPrice(field_, &source_[window_.newest(k)]), 1);
  }

  const PointVector& source_;
  const PointFilter& passes_;
  int32_t field_;
  int32_t n_;
  int32_t nextResum_ = 0;
  PassingWindow window_;
  double c_ = 0.0;
  CompensatedSum sumD_;
  CompensatedSum sumSquares_;
  double churn_ = 0.0;  // the squares added and taken away since the last re-sum
  int32_t nonzero_ = 0;
};

}  // namespace

CDataStandardDev::CDataStandardDev(CChart& chart, CData& source) : CDataCommon(chart, 0, 2), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
  average_ = std::make_unique<CDataMA>(chart, &source).release();
  average_->setOwnerId(id());
  addSource(average_);
  addCompanion(average_);
}

int CDataStandardDev::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return copyBlockOut(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataStandardDev::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                int recalc) {
  if (params == nullptr || size != static_cast<int>(sizeof(StandardDevParams))) return 0;
  StandardDevParams p;
  std::memcpy(&p, params, sizeof(p));
  if (p.period < 1 || p.field < 1 || p.field > 6) return 0;
  const MaParams ma{p.period, kMaSimple, p.field};
  if (!average_->setParams(nullptr, &ma, sizeof(ma), 1, 0)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  average_->setParams(nullptr, &ma, sizeof(ma), 0, recalc);
  recalculate();
  return 1;
}

void CDataStandardDev::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const CGraph* graph = getGraph();
  const bool percent = graph != nullptr && graph->params().percentMode != 0;
  int from = percent ? -1 : first;
  PointVector& own = getPoints();
  int to = percent ? -1 : twoInputEnd(first, own);
  const PointVector& s = source_->getPoints();
  const PointVector& m = average_->getPoints();
  const int n = params_.period;
  if (resolveRange(from, to)) {
    const PointFilter passes(*this);
    DeviationWindow window(s, passes, params_.field, n);
    const int stop = std::min({to, s.size() - 1, m.size() - 1});
    // The window slides from a stride bar on, as a full calculation would.
    const int slide = std::min(slideStart(from, n), from);
    window.fillAt(slide - 1);
    for (int i = slide; i < from && i <= stop; ++i) window.advance(i, passes(s[i]));
    for (int i = from; i <= stop; ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      const bool passing = passes(s[i]);
      window.advance(i, passing);
      if (!passing || !passes(m[i]) || !window.full()) continue;
      setSingleValue(&p, window.deviation(m[i].close));
      p.valid = 1;
    }
    if (percent) {
      for (int i = 0; i <= to; ++i) {
        if (own[i].valid) toPercentOfBase(&own[i]);
      }
    }
  }
  updateHasData(first == -1 ? -1 : from, to);
  notifyDependents(first == -1 ? -1 : from, first == -1 ? -1 : to);
}

CDataBolLine::CDataBolLine(CChart& chart, CData& middle, CData& deviation)
    : CDataCommon(chart, 0, 2), middle_(&middle), deviation_(&deviation) {
  addSource(&middle);
  addSource(&deviation);
}

int CDataBolLine::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return copyBlockOut(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataBolLine::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                            int recalc) {
  if (params == nullptr || size != static_cast<int>(sizeof(BolLineParams))) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  std::memcpy(&params_, params, sizeof(params_));
  if (recalc) recalculate();
  return 1;
}

void CDataBolLine::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  PointVector& own = getPoints();
  int from = first;
  int to = twoInputEnd(first, own);
  const PointVector& a = middle_->getPoints();
  const PointVector& b = deviation_->getPoints();
  if (resolveRange(from, to)) {
    const double k = static_cast<double>(params_.k);
    for (int i = from; i <= to && i < a.size() && i < b.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(a[i]) || !passes(b[i])) continue;
      setSingleValue(&p, k * b[i].close + a[i].close);
      p.valid = 1;
      if (percent) toPercentOfBase(&p);
    }
  }
  updateHasData(first == -1 ? -1 : from, to);
  notifyDependents(first == -1 ? -1 : from, first == -1 ? -1 : to);
}

CDataBolLines::CDataBolLines(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  average_ = std::make_unique<CDataMA>(chart, &source).release();
  addSource(average_);
  deviation_ = std::make_unique<CDataStandardDev>(chart, source).release();
  upper_ = std::make_unique<CDataBolLine>(chart, *average_, *deviation_).release();
  lower_ = std::make_unique<CDataBolLine>(chart, *average_, *deviation_).release();
  for (CDataCommon* part : {static_cast<CDataCommon*>(average_), static_cast<CDataCommon*>(deviation_),
                            static_cast<CDataCommon*>(upper_), static_cast<CDataCommon*>(lower_)}) {
    part->setOwnerId(id());
    addCompanion(part);
  }
  deviation_->addCompanion(this);
  upper_->addCompanion(this);
  lower_->addCompanion(this);
}

void CDataBolLines::attachGraph(std::unique_ptr<CGraph> graph) {
  if (graph) {
    for (CDataBolLine* line : {upper_, lower_}) {
      auto own = std::make_unique<CGraph>(chart(), *line, graph->pane());
      own->setLegendShown(false);
      line->attachGraph(std::move(own));
    }
  }
  CDataCommon::attachGraph(std::move(graph));
}

int CDataBolLines::hasData() const { return average_->hasData(); }

int CDataBolLines::lineCount(int* count) const {
  *count = 3;
  return 1;
}

int CDataBolLines::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return copyBlockOut(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataBolLines::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                             int recalc) {
  if (params == nullptr || size != static_cast<int>(sizeof(BollingerParams))) return 0;
  BollingerParams p;
  std::memcpy(&p, params, sizeof(p));
  const StandardDevParams dev{p.period, p.field};
  const MaParams ma{p.period, p.method, p.field};
  const BolLineParams up{p.k, p.period, p.field};
  const BolLineParams down{-p.k, p.period, p.field};
  VizorGraphParams upGraph{};
  VizorGraphParams downGraph{};
  if (graph != nullptr) {
    upGraph = *graph;
    upGraph.colour = p.upperColour;
    upGraph.style = p.upperStyle;
    copyWideField(upGraph.legend, 65, p.upperLegend, 65);
    downGraph = *graph;
    downGraph.colour = p.lowerColour;
    downGraph.style = p.lowerStyle;
    copyWideField(downGraph.legend, 65, p.lowerLegend, 65);
  }
  const VizorGraphParams* upBlock = graph != nullptr ? &upGraph : nullptr;
  const VizorGraphParams* downBlock = graph != nullptr ? &downGraph : nullptr;
  if (!deviation_->setParams(nullptr, &dev, sizeof(dev), 1, 0) || !average_->setParams(nullptr, &ma, sizeof(ma), 1, 0) ||
      !upper_->setParams(upBlock, &up, sizeof(up), 1, 0) || !lower_->setParams(downBlock, &down, sizeof(down), 1, 0) ||
      !CDataCommon::setParams(graph, params, size, 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  upper_->setParams(upBlock, &up, sizeof(up), 0, 0);
  lower_->setParams(downBlock, &down, sizeof(down), 0, 0);
  CDataCommon::setParams(graph, params, size, 0, 0);
  params_ = p;
  deviation_->setParams(nullptr, &dev, sizeof(dev), 0, recalc);
  average_->setParams(nullptr, &ma, sizeof(ma), 0, recalc);
  if (recalc) {
    upper_->recalculate();
    lower_->recalculate();
  }
  return 1;
}

void CDataBolLines::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    // The middle line is a price series over the average.
    const PriceCopy copy(*this);
    const PointVector& m = average_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < m.size(); ++i) {
      own[i].valid = 0;
      if (!passes(m[i])) continue;
      copy(m[i], &own[i]);
      own[i].valid = 1;
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

int CDataBolLines::valuesAt(FILETIME barTime, VizorCandleQuery* query) {
  const PointFilter passes(*this);
  query->lineCount = 3;
  const CChart& c = chart();
  const PointVector& m = average_->getPoints();
  const int32_t first = std::max(c.firstInRange(), 0);
  const int32_t last = std::min(c.firstInRange() + c.countInRange() - 1, m.size() - 1);
  int32_t found = -1;
  for (int32_t i = first; i <= last && found < 0; ++i) {
    if (sameFileTime(m[i].time, barTime) && passes(m[i])) found = i;
  }
  const int32_t j = found < 0 ? -1 : findValidPoint(found, getGraph(), m);
  if (j < 0) {
    platform::set_last_error(VIZOR_ERROR_NOT_FOUND);
    return 0;
  }
  // The middle line reads back as the average itself.
  writeLineRecord(query->values[0], *this, m[j]);
  writeLineRecord(query->values[1], *upper_, upper_->points()[j]);
  writeLineRecord(query->values[2], *lower_, lower_->points()[j]);
  return 1;
}

}  // namespace kelda::chart
