// Panes of a chart and their height proportions.
#include <algorithm>
#include <cmath>

#include "chart/chart.h"
#include "chart/data.h"
#include "chart/graph.h"
#include "platform/last_error.h"

namespace kelda::chart {

namespace {
BOOL fail(uint32_t code) {
  platform::set_last_error(code);
  return 0;
}
}  // namespace

CChartPane* CChart::findPane(int32_t id) const {
  const auto it = std::find_if(panes_.begin(), panes_.end(), [id](const auto& p) { return p->id() == id; });
  return it == panes_.end() ? nullptr : it->get();
}

int32_t CChart::addPane() {
  if (panes_.size() >= VIZOR_MAX_PANES) return fail(VIZOR_ERROR_TOO_MANY);
  panes_.push_back(std::make_unique<CChartPane>(*this, paneIdCounter_ + 1));
  try {
    controller_.addPaneEntry();
  } catch (...) {
    panes_.pop_back();
    throw;
  }
  ++paneIdCounter_;
  invalidate(true);
  return paneIdCounter_;
}

BOOL CChart::deletePane(int32_t paneId) {
  CChartPane* pane = findPane(paneId);
  if (pane == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  // One at a time: each deletion may take other series (its dependents) along.
  for (;;) {
    const auto it = std::find_if(series_.begin(), series_.end(), [paneId](const CData* s) {
      return s->getGraph() != nullptr && s->getGraph()->paneId() == paneId;
    });
    if (it == series_.end()) break;
    deleteGraphData((*it)->id());
  }
  const auto index = std::find_if(panes_.begin(), panes_.end(), [paneId](const auto& p) { return p->id() == paneId; }) -
                     panes_.begin();
  panes_.erase(panes_.begin() + index);
  controller_.removePaneEntry(static_cast<int32_t>(index));
  invalidate(false);
  return 1;
}

BOOL CChart::setPaneParams(int32_t paneId, const VizorPaneParams& params) {
  if (!isValidPaneParams(params)) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  CChartPane* pane = findPane(paneId);
  if (pane == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  pane->setParams(params);
  invalidate(false);
  return 1;
}

BOOL CChart::getPaneSizes(std::span<double> out) const {
  if (out.size() != panes_.size()) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  const auto& entries = controller_.entries();
  for (size_t i = 0; i < out.size(); ++i) out[i] = entries[i].proportion;
  return 1;
}

BOOL CChart::setPaneSizes(std::span<const double> proportions) {
  if (proportions.size() != panes_.size()) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  controller_.setPaneProportions(proportions);
  invalidate(true);
  return 1;
}

}  // namespace kelda::chart
