// Trend tools of a chart at the interface: the tool selection, describing,
// restoring, moving, restyling and deleting trends.
#include <algorithm>
#include <cmath>

#include "chart/chart.h"
#include "chart/data.h"
#include "chart/graph.h"
#include "chart/time_index.h"
#include "chart/trend_kinds.h"
#include "platform/last_error.h"

namespace kelda::chart {

namespace {

BOOL fail(uint32_t code) {
  platform::set_last_error(code);
  return 0;
}

// The graphs of the chart in series-list order (their place is the ordinal).
std::vector<CGraph*> graphsOf(const std::vector<CData*>& series) {
  std::vector<CGraph*> graphs;
  for (CData* s : series) {
    if (CGraph* g = s->getGraph()) graphs.push_back(g);
  }
  return graphs;
}

// Keeps the saved line's slope where a restored point no longer sits on a bar
// of its stored time: the price moves along the saved line to the new position.
void reanchorRestored(CTrend& trend, const BarList& bars, const VizorTrendInfo& record) {
  const double saved[2] = {record.bar1, record.bar2};
  const TrendPoint p1 = trend.point(0);
  const TrendPoint p2 = trend.point(1);
  const double run = saved[1] - saved[0];
  const double slope = std::fabs(run) < 1e-7 ? 0.0 : (p2.price - p1.price) / run;
  for (int k = 0; k < 2; ++k) {
    TrendPoint p = trend.point(k);
    const int32_t index = static_cast<int32_t>(p.bar);
    if (sameFileTime(bars[index].time, trend.savedTime(k))) continue;
    trend.markReanchored(k);
    // Saved positions and prices come from the caller's storage: a move
    // that is no number (a saved bar that is none, prices so far apart that
    // the slope overflows) leaves the price as stored.
    const double moved = p.price + slope * (p.bar - saved[k]);
    if (std::isfinite(moved)) p.price = moved;
    trend.setPoint(k, p);
  }
}

}  // namespace

BOOL CChart::setTrendType(int32_t code) {
  if (!isTrendToolCode(code)) return 0;
  trendType_ = code;
  return 1;
}

int32_t CChart::trendCount() const {
  size_t count = 0;
  for (CGraph* g : graphsOf(series_)) count += g->trends().size();
  return static_cast<int32_t>(std::min<size_t>(count, INT32_MAX));
}

void CChart::getTrendsInfo(std::span<VizorTrendInfo> out) const {
  std::fill(out.begin(), out.end(), VizorTrendInfo{});
  size_t next = 0;
  const std::vector<CGraph*> graphs = graphsOf(series_);
  for (size_t ordinal = 0; ordinal < graphs.size(); ++ordinal) {
    for (const auto& trend : graphs[ordinal]->trends()) {
      if (next == out.size()) return;
      VizorTrendInfo& r = out[next++];
      r.bar1 = trend->point(0).bar, r.price1 = trend->point(0).price;
      r.bar2 = trend->point(1).bar, r.price2 = trend->point(1).price;
      r.bar3 = trend->point(2).bar, r.price3 = trend->point(2).price;
      r.type = trend->type();
      r.colour = trend->colour();
      r.penWidth = trend->penWidth();
      r.graphOrdinal = static_cast<int32_t>(ordinal);
      r.time1 = trend->savedTime(0), r.time2 = trend->savedTime(1), r.time3 = trend->savedTime(2);
    }
  }
}

BOOL CChart::restoreSavedTrends(std::span<VizorTrendInfo> records) {
  // Records come from the caller's storage: prices must be numbers and pen
  // widths sizes, or nothing is replaced.
  for (const VizorTrendInfo& r : records) {
    if (!std::isfinite(r.price1) || !std::isfinite(r.price2) || !std::isfinite(r.price3) || r.penWidth < 0) {
      return fail(VIZOR_ERROR_INVALID_PARAMETER);
    }
  }
  const std::vector<CGraph*> graphs = graphsOf(series_);
  for (CGraph* g : graphs) g->deleteTrends();
  const int32_t code = intervalCode();
  for (VizorTrendInfo& record : records) {
    if (record.graphOrdinal < 0 || static_cast<size_t>(record.graphOrdinal) >= graphs.size()) return 1;
    CGraph* graph = graphs[static_cast<size_t>(record.graphOrdinal)];
    record.graphOrdinal = graph->seriesId();
    std::unique_ptr<CTrend> trend = makeTrend(*this, trendTypeOfRecord(record.type));
    trend->setStyle(record.colour, record.penWidth);
    trend->attach(*graph);
    trend->setThirdPending(false);
    const FILETIME times[3] = {record.time1, record.time2, record.time3};
    const double prices[3] = {record.price1, record.price2, record.price3};
    for (int k = 0; k < 3; ++k) {
      trend->setTime(k, times[k]);
      bool beyond = false;
      trend->setPoint(k, TrendPoint{static_cast<double>(timeToBarIndex(bars_, code, times[k], &beyond)), prices[k]});
      if (beyond) trend->setBeyondBars(true);
    }
    const auto inList = [this](double bar) { return bar >= 0.0 && bar < bars_.size(); };
    if (!bars_.empty() && inList(trend->point(0).bar) && inList(trend->point(1).bar)) {
      reanchorRestored(*trend, bars_, record);
    }
    trend->commitPrices();
    graph->trends().push_back(std::move(trend));
  }
  return 1;
}

BOOL CChart::changeTrendline(int32_t operation, const VizorTrendChange& change) {
  CGraph* owner = nullptr;
  CGraph* target = nullptr;
  size_t index = 0;
  for (CGraph* g : graphsOf(series_)) {
    if (g->seriesId() == change.seriesId && target == nullptr) target = g;
    auto& trends = g->trends();
    for (size_t i = 0; i < trends.size() && owner == nullptr; ++i) {
      if (trends[i]->id() == change.trendId) owner = g, index = i;
    }
  }
  if (owner == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  if (operation != 0) {
    owner->trends().erase(owner->trends().begin() + static_cast<ptrdiff_t>(index));
    invalidate(false);
    return 1;
  }
  if (target == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  CTrend& trend = *owner->trends()[index];
  if (target == owner) {
    if (trend.colour() == change.colour && trend.penWidth() == change.penWidth) return 1;
    trend.setStyle(change.colour, change.penWidth);
    invalidate(false);
    return 1;
  }
  if (&target->pane() != &owner->pane() || !target->getSeries().hasData()) {
    return fail(VIZOR_ERROR_INVALID_PARAMETER);
  }
  if ((target->params().scaleSide != 0) != (owner->params().scaleSide != 0)) {
    PriceRange from, to;
    if (!owner->pane().scaleRange(owner->params().scaleSide != 0, &from) ||
        !target->pane().scaleRange(target->params().scaleSide != 0, &to) || from.max - from.min == 0.0) {
      return fail(VIZOR_ERROR_INVALID_PARAMETER);
    }
    for (int k = 0; k < 3; ++k) {
      TrendPoint p = trend.point(k);
      p.price = to.min + (p.price - from.min) / (from.max - from.min) * (to.max - to.min);
      trend.setPoint(k, p);
    }
  }
  std::unique_ptr<CTrend> moved = std::move(owner->trends()[index]);
  owner->trends().erase(owner->trends().begin() + static_cast<ptrdiff_t>(index));
  moved->setSeriesId(target->seriesId());
  moved->setStyle(change.colour, change.penWidth);
  target->trends().push_back(std::move(moved));
  invalidate(false);
  return 1;
}

std::vector<int32_t> CChart::trendMoveTargets(int32_t trendId) const {
  const CGraph* owner = nullptr;
  for (CGraph* g : graphsOf(series_)) {
    for (const auto& trend : g->trends()) {
      if (trend->id() == trendId) owner = g;
    }
  }
  std::vector<int32_t> ids;
  if (owner == nullptr) return ids;
  for (const CData* s : series_) {
    const CGraph* g = s->getGraph();
    if (s->ownerId() != -1 || g == nullptr || g == owner || &g->pane() != &owner->pane() || g->excluded() ||
        !s->hasData()) {
      continue;
    }
    ids.push_back(s->id());
    if (ids.size() == 50) break;
  }
  return ids;
}

BOOL CChart::deleteAllTrends(int32_t paneId) {
  if (findPane(paneId) == nullptr) return fail(VIZOR_ERROR_INVALID_PARAMETER);
  for (CGraph* g : graphsOf(series_)) {
    if (g->paneId() == paneId) g->deleteTrends();
  }
  invalidate(false);
  return 1;
}

}  // namespace kelda::chart
