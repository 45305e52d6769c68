// The envelopes and their lines.
#include "chart/data_envelopes.h"

#include <algorithm>
#include <memory>

#include "chart/chart.h"
#include "indicator_util.h"
#include "line_record.h"
#include "platform/last_error.h"

namespace kelda::chart {

CDataEnvelopLine::CDataEnvelopLine(CChart& chart, CData& middle) : CDataCommon(chart, 0, 1), middle_(&middle) {
  addSource(&middle);
}

int CDataEnvelopLine::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, k_);
}

int CDataEnvelopLine::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                int recalc) {
  float k = 0.0f;
  if (!readBlock(params, size, &k)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  k_ = k;
  if (recalc) calculate(-1, -1);
  return 1;
}

void CDataEnvelopLine::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  int from = first;
  int to = last;
  if (resolveRange(from, to)) {
    const PointVector& m = middle_->getPoints();
    PointVector& own = getPoints();
    // Single precision first, then widened: the lines sit exactly where the
    // float factor puts them.
    const float factor = k_ * 0.01f + 1.0f;
    for (int i = from; i <= to && i < m.size(); ++i) {
      own[i].valid = 0;
      if (!passes(m[i])) continue;
      setSingleValue(&own[i], static_cast<double>(factor) * m[i].close);
      own[i].valid = 1;
      toPercentOfBase(&own[i]);
    }
  }
  updateHasData(first, last);
  notifyDependents(first, last);
}

CDataEnvelops::CDataEnvelops(CChart& chart, CData& source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  average_ = std::make_unique<CDataMA>(chart, &source).release();
  const MaParams ma{params_.period, params_.method, params_.field};
  average_->setParams(nullptr, &ma, sizeof(ma), 0, 0);
  addSource(average_);
  upper_ = std::make_unique<CDataEnvelopLine>(chart, *average_).release();
  lower_ = std::make_unique<CDataEnvelopLine>(chart, *average_).release();
  const float down = -params_.k;
  lower_->setParams(nullptr, &down, sizeof(down), 0, 0);
  for (CDataCommon* part : {static_cast<CDataCommon*>(average_), static_cast<CDataCommon*>(upper_),
                            static_cast<CDataCommon*>(lower_)}) {
    part->setOwnerId(id());
    addCompanion(part);
  }
  upper_->addCompanion(this);
  lower_->addCompanion(this);
}

void CDataEnvelops::attachGraph(std::unique_ptr<CGraph> graph) {
  if (graph) {
    for (CDataEnvelopLine* line : {upper_, lower_}) {
      auto own = std::make_unique<CGraph>(chart(), *line, graph->pane());
      own->setLegendShown(false);
      line->attachGraph(std::move(own));
    }
  }
  CDataCommon::attachGraph(std::move(graph));
}

int CDataEnvelops::hasData() const { return average_->hasData(); }

int CDataEnvelops::lineCount(int* count) const {
  *count = 3;
  return 1;
}

int CDataEnvelops::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

namespace {

VizorGraphParams withLegend(const VizorGraphParams& graph, const char16_t* legend) {
  VizorGraphParams out = graph;
  copyWideText(out.legend, legend, 66);
  return out;
}

}  // namespace

int CDataEnvelops::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                             int recalc) {
  EnvelopesParams p;
  if (!readBlock(params, size, &p)) return 0;
  const MaParams ma{p.period, p.method, p.field};
  const float up = p.k;
  const float down = -p.k;
  VizorGraphParams upGraph{};
  VizorGraphParams downGraph{};
  if (graph != nullptr) {
    upGraph = withLegend(*graph, u"Envelops Upper");
    downGraph = withLegend(*graph, u"Envelops Lower");
  }
  const VizorGraphParams* upBlock = graph != nullptr ? &upGraph : nullptr;
  const VizorGraphParams* downBlock = graph != nullptr ? &downGraph : nullptr;
  if (!average_->setParams(nullptr, &ma, sizeof(ma), 1, 0) || !upper_->setParams(upBlock, &up, sizeof(up), 1, 0) ||
      !lower_->setParams(downBlock, &down, sizeof(down), 1, 0) || !CDataCommon::setParams(graph, params, size, 1, 0)) {
    return 0;
  }
  if (checkOnly) return 1;
  upper_->setParams(upBlock, &up, sizeof(up), 0, 0);
  lower_->setParams(downBlock, &down, sizeof(down), 0, 0);
  CDataCommon::setParams(graph, params, size, 0, 0);
  params_ = p;
  // The average recalculates (when asked); the lines and the middle follow
  // as its dependents.
  average_->setParams(nullptr, &ma, sizeof(ma), 0, recalc);
  return 1;
}

void CDataEnvelops::calculate(int first, int last) {
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

int CDataEnvelops::valuesAt(FILETIME barTime, VizorCandleQuery* query) {
  const PointFilter passes(*this);
  query->lineCount = 3;
  const CChart& c = chart();
  const PointVector& m = average_->points();
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
  writeLineRecord(query->values[0], *this, m[j]);
  writeLineRecord(query->values[1], *upper_, upper_->points()[j]);
  writeLineRecord(query->values[2], *lower_, lower_->points()[j]);
  return 1;
}

}  // namespace kelda::chart
