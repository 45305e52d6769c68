// Ichimoku and its lines.
#include "chart/data_ichimoku.h"

#include <algorithm>
#include <memory>

#include "chart/data_aux.h"
#include "chart/graph.h"
#include "chart/wide_text.h"
#include "composite_lines.h"
#include "indicator_util.h"
#include "sliding_window.h"

namespace kelda::chart {

namespace {

// Store of the graph block only: these lines take their values from the owner.
int storeGraphOnly(CDataCommon& line, const VizorGraphParams* graph, const void* params, int size, int checkOnly) {
  return line.CDataCommon::setParams(graph, params, size, checkOnly, 0);
}

}  // namespace

CDataSummHighestLowest::CDataSummHighestLowest(CChart& chart, CData& source, int32_t period)
    : CDataCommon(chart, 0, 1), source_(&source), period_(period) {
  addSource(&source);
}

int CDataSummHighestLowest::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                      int) {
  return storeGraphOnly(*this, graph, params, size, checkOnly);
}

void CDataSummHighestLowest::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  // The lines are drawn as prices: no percent conversion.
  const bool whole = first == -1;
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  const int start = whole ? 0 : std::max(first, 0);
  const int end = std::min(own.size(), s.size()) - 1;
  const int n = period_;
  // The window of the last n passing points, with the highest high and the
  // lowest low over it.
  PassingWindow window(n, s.size());
  const int32_t held = std::clamp(n, 1, std::max(s.size(), 1));
  MonotonicQueue<false> highs(held);
  MonotonicQueue<true> lows(held);
  window.fillAt(s, passes, start - 1);
  for (int32_t k = window.size() - 1; k >= 0; --k) {
    const int32_t at = window.newest(k);
    highs.push(at, s[at].high);
    lows.push(at, s[at].low);
  }
  int handled = start - 1;
  int after = 0;
  for (int i = start; i <= end; ++i) {
    handled = i;
    DataPoint& p = own[i];
    p.valid = 0;
    const bool passing = passes(s[i]);
    if (passing) {
      window.push(i);
      highs.push(i, s[i].high);
      lows.push(i, s[i].low);
      highs.dropBefore(window.oldest());
      lows.dropBefore(window.oldest());
    }
    // A bar whose own point does not pass still shows the window that ends
    // before it.
    if (window.full()) {
      setSingleValue(&p, (lows.front() + highs.front()) * 0.5);
      p.valid = 1;
    }
    // Once n passing bars follow the range, no later window reaches back
    // into it (the bars in between share this bar's window).
    if (!whole && i > last && passing && ++after >= n) break;
  }
  const int to = std::max(handled, start);
  updateHasData(first == -1 ? -1 : start, to);
  notifyDependents(first == -1 ? -1 : start, first == -1 ? -1 : to);
}

CDataIchimokuSpan1::CDataIchimokuSpan1(CChart& chart, CData& a, CData& b)
    : CDataCommon(chart, 0, 2), a_(&a), b_(&b) {
  addSource(&a);
  addSource(&b);
}

int CDataIchimokuSpan1::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int) {
  return storeGraphOnly(*this, graph, params, size, checkOnly);
}

void CDataIchimokuSpan1::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  PointVector& own = getPoints();
  int from = first;
  int to = first == -1 ? -1 : own.size() - 1;
  if (resolveRange(from, to)) {
    const PointVector& a = a_->getPoints();
    const PointVector& b = b_->getPoints();
    for (int i = from; i <= to && i < a.size() && i < b.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(a[i]) || !passes(b[i])) continue;
      setSingleValue(&p, (a[i].close + b[i].close) * 0.5);
      p.valid = 1;
    }
  }
  updateHasData(first == -1 ? -1 : from, to);
  notifyDependents(first == -1 ? -1 : from, first == -1 ? -1 : to);
}

CDataIchimokuChikou::CDataIchimokuChikou(CChart& chart, CData& source, int32_t lag)
    : CDataCommon(chart, 0, 1), source_(&source), lag_(lag) {
  addSource(&source);
}

int CDataIchimokuChikou::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                   int recalc) {
  if (!storeGraphOnly(*this, graph, params, size, checkOnly)) return 0;
  if (!checkOnly && recalc) calculate(-1, -1);
  return 1;
}

void CDataIchimokuChikou::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const PointVector& s = source_->getPoints();
  PointVector& own = getPoints();
  const int end = std::min(own.size(), s.size()) - 1;
  const int n = std::max(lag_, 0);
  // A bar shows a later close: a change reaches back n passing bars, and the
  // last bar (which the walk may use) can change every bar after those.
  int start = first == -1 || percentShown(*this) ? 0 : std::min(std::max(first, 0), end + 1);
  for (int counted = 0; start > 0 && counted < n;) {
    --start;
    if (passes(s[start])) ++counted;
  }
  // Backwards from the end: the n nearest passing bars after the bar, the
  // farthest of them being the one shown.
  PassingWindow after(std::max(n, 1), s.size());
  for (int i = end; i >= start; --i) {
    if (n > 0 && i + 1 <= end && passes(s[i + 1])) after.push(i + 1);
    DataPoint& p = own[i];
    p.valid = 0;
    p.endMarker = 1;
    int taken = -1;
    if (n == 0) {
      taken = passes(s[i]) ? i : -1;
    } else if (after.full()) {
      taken = after.oldest();
    }
    if (taken < 0) continue;
    setSingleValue(&p, s[taken].close);
    p.valid = 1;
    p.endMarker = 0;
  }
  if (percentShown(*this)) {
    for (int i = 0; i <= end; ++i) {
      if (own[i].valid) toPercentOfBase(&own[i]);
    }
  }
  updateHasData(first == -1 ? -1 : start, std::max(end, start));
  notifyDependents(first == -1 ? -1 : start, first == -1 ? -1 : std::max(end, start));
}

CDataIchimoku::CDataIchimoku(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  conversion_ = std::make_unique<CDataSummHighestLowest>(chart, source, params_.conversionPeriod).release();
  base_ = std::make_unique<CDataSummHighestLowest>(chart, source, params_.basePeriod).release();
  spanBBase_ = std::make_unique<CDataSummHighestLowest>(chart, source, params_.spanBPeriod).release();
  spanABase_ = std::make_unique<CDataIchimokuSpan1>(chart, *conversion_, *base_).release();
  lagging_ = std::make_unique<CDataIchimokuChikou>(chart, source, params_.lag).release();
  spanA_ = std::make_unique<CDataShift>(chart, *spanABase_).release();
  spanB_ = std::make_unique<CDataShift>(chart, *spanBBase_).release();
  spanA_->setShiftCount(params_.displacement);
  spanB_->setShiftCount(params_.displacement);
  // The drawn lines name this series as their owner; the hidden bases do not.
  for (CDataCommon* line : {static_cast<CDataCommon*>(conversion_), static_cast<CDataCommon*>(base_),
                            static_cast<CDataCommon*>(spanB_), static_cast<CDataCommon*>(spanA_),
                            static_cast<CDataCommon*>(lagging_)}) {
    line->setOwnerId(id());
    addCompanion(line);
  }
  addCompanion(spanBBase_);
  addCompanion(spanABase_);
  // Each part lists the owner as its companion too: deleting any part
  // deletes the whole indicator, never leaving the owner with a lost part.
  for (CData* part : companions()) part->addCompanion(this);
}

int CDataIchimoku::hasData() const { return anyPartHasData({conversion_, base_, spanA_, spanB_, lagging_}); }

int CDataIchimoku::getMinMax(int, double*, double*, const VizorGraphParams*) const { return 0; }

void CDataIchimoku::attachGraph(std::unique_ptr<CGraph> graph) {
  if (graph) attachPartGraphs(chart(), *graph, {conversion_, base_, spanA_, spanB_, lagging_});
  CDataCommon::attachGraph(std::move(graph));
}

void CDataIchimoku::calculate(int first, int last) {
  // The owner computes nothing: its lines are the parts.
  if (!takeSourceNotice(first, last)) return;
  invalidatePoints();
  notifyDependents(first, last);
}

int CDataIchimoku::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataIchimoku::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                             int recalc) {
  IchimokuParams p;
  if (!readBlock(params, size, &p)) return 0;
  VizorGraphParams line{};
  if (graph != nullptr) line = *graph;
  VizorGraphParams own = line;
  own.priceLabels = 0;
  if (!CDataCommon::setParams(graph != nullptr ? &own : nullptr, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  // A negative displacement has no bars to show (held at -1, which the
  // shift series can count without overflow).
  const int32_t displacement = std::max(p.displacement, -1);
  spanA_->setShiftCount(displacement);
  spanB_->setShiftCount(displacement);
  const VizorGraphParams* in = graph != nullptr ? &line : nullptr;
  auto takeLine = [&](int k) {
    if (graph == nullptr) return;
    line.colour = p.colours[k];
    copyWideField(line.legend, 66, p.legends[k], 100);
  };
  takeLine(2);
  VizorGraphParams spanAGraph = line;
  spanAGraph.percentMode = 0;
  if (!spanA_->CDataCommon::setParams(graph != nullptr ? &spanAGraph : nullptr, params, size, 0, 0)) return 0;
  takeLine(0);
  if (!storeGraphOnly(*conversion_, in, params, size, 0)) return 0;
  conversion_->setPeriod(p.conversionPeriod);
  if (recalc) conversion_->calculate(-1, -1);
  takeLine(1);
  if (!storeGraphOnly(*base_, in, params, size, 0)) return 0;
  base_->setPeriod(p.basePeriod);
  if (recalc) base_->calculate(-1, -1);
  // Span B takes its graph before its base recalculates: the shift that
  // follows then draws in the new mode.
  takeLine(3);
  if (!spanB_->CDataCommon::setParams(in, params, size, 0, 0)) return 0;
  spanBBase_->setPeriod(p.spanBPeriod);
  if (recalc) spanBBase_->calculate(-1, -1);
  takeLine(4);
  lagging_->setLag(p.lag);
  if (!storeGraphOnly(*lagging_, in, params, size, 0)) return 0;
  lagging_->calculate(-1, -1);
  return 1;
}

int CDataIchimoku::lineCount(int* count) const {
  *count = 5;
  return 1;
}

int CDataIchimoku::valuesAt(FILETIME barTime, VizorCandleQuery* query) {
  return partValuesAt(*this, *conversion_, barTime, {conversion_, base_, spanA_, spanB_, lagging_}, query);
}

}  // namespace kelda::chart
