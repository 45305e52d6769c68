// The Alligator and its three lines.
#include "chart/data_alligator.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "chart/graph.h"
#include "chart/wide_text.h"
#include "composite_lines.h"
#include "indicator_util.h"
#include "sliding_window.h"

namespace kelda::chart {

namespace {

// The caller's legend less its last character, then the line's ending.
void lineLegend(char16_t (&legend)[66], const char16_t* caller, std::u16string_view ending) {
  std::u16string text;
  for (size_t i = 0; i < 66 && caller[i] != 0; ++i) text.push_back(caller[i]);
  if (!text.empty()) text.pop_back();
  text.append(ending);
  copyWideField(legend, 66, text.c_str(), text.size());
}

}  // namespace

CDataAlligatorPart::CDataAlligatorPart(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  average_ = std::make_unique<CDataMA>(chart, &source).release();
  addSource(average_);
  addCompanion(average_);
}

int CDataAlligatorPart::getParams(VizorGraphParams* graphOut, void* params, int size) {
  if (!CDataCommon::getParams(graphOut, params, size)) return 0;
  return average_->getParams(nullptr, params, size);
}

int CDataAlligatorPart::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                  int recalc) {
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  // The average recalculates over every bar; this line follows it.
  return average_->setParams(nullptr, params, size, checkOnly, recalc);
}

void CDataAlligatorPart::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  PointVector& own = getPoints();
  const PointVector& m = average_->getPoints();
  const int end = std::min(own.size(), m.size()) - 1;
  // A shifted line moves with every later bar: a partial update runs on to
  // the end; a line that looks ahead also starts as many passing bars back
  // (and one more: the last bar, never used, may have become an earlier one).
  int start = first == -1 || percent ? 0 : std::min(std::max(first, 0), end + 1);
  for (int64_t counted = 0; shift_ < 0 && start > 0 && counted <= -static_cast<int64_t>(shift_);) {
    --start;
    if (passes(m[start])) ++counted;
  }
  // The point shown at bar i: the average's own (shift 0), the |s|-th
  // passing one before it (s > 0: the oldest of a window of the last s), or
  // the |s|-th passing one after it but before the last bar (s < 0, walked
  // from the end).
  auto show = [&](int i, int j) {
    DataPoint& p = own[i];
    p.valid = 0;
    if (j < 0) return;
    setSingleValue(&p, m[j].close);
    p.valid = 1;
  };
  const int64_t wanted = shift_ >= 0 ? shift_ : -static_cast<int64_t>(shift_);
  const int32_t count = static_cast<int32_t>(std::min<int64_t>(wanted, INT32_MAX));
  if (shift_ == 0) {
    for (int i = start; i <= end; ++i) show(i, passes(m[i]) ? i : -1);
  } else if (shift_ > 0) {
    PassingWindow before(count, m.size());
    before.fillAt(m, passes, start - 1);
    for (int i = start; i <= end; ++i) {
      show(i, before.full() ? before.oldest() : -1);
      if (passes(m[i])) before.push(i);
    }
  } else {
    PassingWindow after(count, m.size());
    for (int i = end; i >= start; --i) {
      if (i + 1 < end && passes(m[i + 1])) after.push(i + 1);
      show(i, after.full() ? after.oldest() : -1);
    }
  }
  if (percent) {
    for (int i = 0; i <= end; ++i) {
      if (own[i].valid) toPercentOfBase(&own[i]);
    }
  }
  updateHasData(first == -1 ? -1 : start, std::max(end, start));
  notifyDependents(first == -1 ? -1 : start, first == -1 ? -1 : std::max(end, start));
}

CDataAlligator::CDataAlligator(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  jaw_ = std::make_unique<CDataAlligatorPart>(chart, source).release();
  teeth_ = std::make_unique<CDataAlligatorPart>(chart, source).release();
  lips_ = std::make_unique<CDataAlligatorPart>(chart, source).release();
  // Each line lists the owner as its companion too: deleting any line
  // deletes the whole indicator, never leaving the owner with a lost part.
  for (CDataAlligatorPart* part : {jaw_, teeth_, lips_}) {
    part->setOwnerId(id());
    part->addCompanion(this);
  }
  addCompanion(lips_);
  addCompanion(jaw_);
  addCompanion(teeth_);
}

int CDataAlligator::hasData() const { return anyPartHasData({jaw_, teeth_, lips_}); }

int CDataAlligator::getMinMax(int, double*, double*, const VizorGraphParams*) const { return 0; }

void CDataAlligator::attachGraph(std::unique_ptr<CGraph> graph) {
  if (graph) attachPartGraphs(chart(), *graph, {jaw_, teeth_, lips_});
  CDataCommon::attachGraph(std::move(graph));
}

void CDataAlligator::calculate(int first, int last) {
  // The owner computes nothing: its lines are the parts.
  if (!takeSourceNotice(first, last)) return;
  invalidatePoints();
  notifyDependents(first, last);
}

int CDataAlligator::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                              int recalc) {
  AlligatorParams p;
  if (!readBlock(params, size, &p)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (!checkOnly) {
    jaw_->setShift(p.jawShift);
    teeth_->setShift(p.teethShift);
    lips_->setShift(p.lipsShift);
  }
  struct Line {
    CDataAlligatorPart* part;
    int32_t period;
    COLORREF colour;
    std::u16string_view ending;
  };
  const Line lines[] = {{jaw_, p.jawPeriod, p.jawColour, u" - jaw]"},
                        {teeth_, p.teethPeriod, p.teethColour, u" - teeth]"},
                        {lips_, p.lipsPeriod, p.lipsColour, u" - lips]"}};
  for (const Line& line : lines) {
    VizorGraphParams own{};
    if (graph != nullptr) {
      own = *graph;
      own.colour = line.colour;
      lineLegend(own.legend, graph->legend, line.ending);
    }
    const MaParams ma{line.period, p.method, p.field};
    if (!line.part->setParams(graph != nullptr ? &own : nullptr, &ma, sizeof(ma), checkOnly, recalc)) return 0;
  }
  return 1;
}

int CDataAlligator::lineCount(int* count) const {
  *count = 3;
  return 1;
}

int CDataAlligator::valuesAt(FILETIME barTime, VizorCandleQuery* query) {
  return partValuesAt(*this, *lips_, barTime, {lips_, jaw_, teeth_}, query);
}

}  // namespace kelda::chart
