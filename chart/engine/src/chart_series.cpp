// Series and graphs of a chart: the series list, the factory entry, deletion,
// recalculation, graph and indicator parameters, level lines.
#include <algorithm>
#include <cmath>

#include "chart/chart.h"
#include "chart/data_common.h"
#include "chart/graph.h"
#include "chart/series_factory.h"
#include "platform/last_error.h"

namespace kelda::chart {

namespace {

BOOL fail(uint32_t code) {
  platform::set_last_error(code);
  return 0;
}

// The query form of the Elder-ray type: source 0, the pane argument naming
// the series.
constexpr int32_t kElderRayType = 25;

}  // namespace

void CChart::registerSeries(CData* series) { series_.push_back(series); }

void CChart::unregisterSeries(const CData* series) {
  const auto it = std::find_if(series_.begin(), series_.end(),
                               [series](const CData* s) { return s->id() == series->id(); });
  if (it != series_.end()) series_.erase(it);
}

CData* CChart::findSeries(int32_t id) const {
  const auto it = std::find_if(series_.begin(), series_.end(), [id](const CData* s) { return s->id() == id; });
  return it == series_.end() ? nullptr : *it;
}

CDataCommon* CChart::findBarAligned(int32_t id) const {
  for (CData* s : series_) {
    if (s->id() != id) continue;
    if (auto* common = dynamic_cast<CDataCommon*>(s)) return common;
  }
  return nullptr;
}

CGraph* CChart::findGraphBySeries(int32_t id) const {
  for (CData* s : series_) {
    CGraph* graph = s->getGraph();
    if (graph != nullptr && graph->seriesId() == id) return graph;
  }
  return nullptr;
}

void CChart::deleteSeries(CData* series) {
  // The series list owns its series; this is the one place they are destroyed.
  delete series;
}

int32_t CChart::addSecuritySeries() {
  if (series_.size() >= VIZOR_MAX_SECURITY_SERIES) return fail(VIZOR_ERROR_TOO_MANY);
  return std::make_unique<CDataSecurity>(*this).release()->id();
}

int32_t CChart::addGraph(int32_t sourceId, int32_t type, int32_t paneId) {
  if (!isGraphType(type)) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  if (type == kElderRayType && sourceId == 0) {
    // The pane argument names an Elder ray: one of its rays answers (0
    // without an error code when there is none).
    return nextElderRayId(*this, paneId);
  }
  CData* source = findSeries(sourceId);
  CChartPane* pane = findPane(paneId);
  if (source == nullptr || pane == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  if (series_.size() >= kMaxSeries) return fail(VIZOR_ERROR_TOO_MANY);
  CDataCommon* series = createSeries(type, *this, *source);
  if (series == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  try {
    series->attachGraph(std::make_unique<CGraph>(*this, *series, *pane));
  } catch (...) {
    deleteSeries(series);
    throw;
  }
  source->calculate(-1, -1);
  invalidate(true);
  return series->id();
}

BOOL CChart::deleteGraphData(int32_t seriesId) {
  CData* series = findSeries(seriesId);
  if (series == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  deleteSeries(series);
  dropUnusedBars();
  updateScrollBar();
  invalidate(false);
  return 1;
}

BOOL CChart::redraw(int32_t seriesId) {
  // A named series computes at once; all of them: the roots recompute and
  // every chain follows, so no series of two inputs is called out of turn.
  for (size_t i = 0; i < series_.size(); ++i) {
    CData* s = series_[i];
    if (dynamic_cast<CDataCommon*>(s) == nullptr) continue;
    if (seriesId == 0 ? s->sources().empty() : s->id() == seriesId) s->recalculate();
  }
  markersValid_ = false;
  invalidate(true);
  return 1;
}

BOOL CChart::getGraphParams(int32_t seriesId, VizorGraphParams* graph, void* params, int32_t size) {
  CData* series = findSeries(seriesId);
  if (series == nullptr || !series->getParams(graph, params, size)) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  return 1;
}

BOOL CChart::setGraphParams(int32_t seriesId, const VizorGraphParams& graph, const void* params, int32_t size) {
  CData* series = findSeries(seriesId);
  if (series == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  // The level lines are checked before anything is applied.
  const int32_t count = std::max(graph.levelLineCount, 0);
  if (count > 0 && graph.levelLines == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  for (int32_t i = 0; i < count; ++i) {
    if (!std::isfinite(graph.levelLines[i].price)) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  }
  if (!series->setParams(&graph, params, size, 0, 1)) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  CGraph* g = series->getGraph();
  if (g == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  g->deleteLevelLines(true, 0.0);
  for (int32_t i = 0; i < count; ++i) g->addLevelLine(graph.levelLines[i]);
  invalidate(true);
  return 1;
}

BOOL CChart::addLevelLine(int32_t seriesId, const VizorLevelLine& line) {
  CData* series = findSeries(seriesId);
  if (series == nullptr || series->getGraph() == nullptr || !std::isfinite(line.price)) {
    return fail(VIZOR_ERROR_INVALID_PARAMETER);
  }
  series->getGraph()->addLevelLine(line);
  invalidate(true);
  return 1;
}

BOOL CChart::delLevelLine(int32_t seriesId, bool all, double price) {
  CData* series = findSeries(seriesId);
  if (series == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  if (series->getGraph() == nullptr) return fail(VIZOR_ERROR_NO_GRAPH);
  if (!series->getGraph()->deleteLevelLines(all, price)) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  invalidate(false);
  return 1;
}

int32_t CChart::levelLineCount(int32_t seriesId) const {
  CData* series = findSeries(seriesId);
  if (series == nullptr || series->getGraph() == nullptr) return 0;
  return static_cast<int32_t>(series->getGraph()->levelLines().size());
}

BOOL CChart::getLevelLines(int32_t seriesId, int32_t count, VizorLevelLine* out) const {
  CData* series = findSeries(seriesId);
  if (series == nullptr || series->getGraph() == nullptr) return 0;
  std::fill(out, out + count, VizorLevelLine{});
  const auto& lines = series->getGraph()->levelLines();
  std::copy_n(lines.begin(), std::min<size_t>(lines.size(), static_cast<size_t>(count)), out);
  return 1;
}

}  // namespace kelda::chart
