// A series' graph: its block, level lines and trend tools.
#include "chart/graph.h"

#include <algorithm>
#include <cmath>

#include "chart/chart.h"
#include "chart/data_common.h"

namespace kelda::chart {

namespace {
constexpr char16_t kDefaultLegend[] = u"Graph's legend";
constexpr double kSamePrice = 1e-7;
}  // namespace

VizorGraphParams defaultGraphParams() {
  VizorGraphParams p{};
  p.colour = 0x7F007F;
  p.penWidth = 1;
  p.style = 1;
  std::copy(std::begin(kDefaultLegend), std::end(kDefaultLegend), p.legend);
  p.scaleSide = 1;
  p.scaleGroup = 1;
  return p;
}

bool isDrawingStyle(int32_t style) { return style >= 1 && style <= 11 && style != 6; }

CGraph::CGraph(CChart& chart, CData& series, CChartPane& pane)
    : params_(defaultGraphParams()),
      seriesId_(series.id()),
      paneId_(pane.id()),
      chart_(&chart),
      series_(&series),
      pane_(&pane) {}

CGraph::~CGraph() = default;

void CGraph::setParams(const VizorGraphParams& params) {
  params_ = params;
  params_.levelLines = nullptr;
  params_.levelLineCount = 0;
}

CChartPane* CGraph::setPane(int32_t paneId) {
  CChartPane* pane = chart_->findPane(paneId);
  if (pane != nullptr) {
    pane_ = pane;
    paneId_ = paneId;
  }
  return pane;
}

bool CGraph::lastVisibleClose(double* out) const {
  if (!series_->hasData() || chart_->countInRange() == 0) return false;
  const int32_t shift = params_.shift > 0 ? params_.shift : 0;
  const int32_t first = chart_->firstInRange();
  int32_t last = first + chart_->countInRange() - 1 - shift;
  if (last < 0) return false;
  PointVector& points = series_->getPoints();
  last = std::min(last, points.size() - 1);
  for (int32_t i = last; i > first && i > 0; --i) {
    if (points[i].valid) {
      *out = points[i].close;
      return true;
    }
  }
  return false;
}

void CGraph::onBarInserted(int32_t index) {
  for (auto& trend : trends_) trend->onBarInserted(index);
}

void CGraph::addLevelLine(const VizorLevelLine& line) {
  for (VizorLevelLine& stored : levelLines_) {
    if (std::fabs(stored.price - line.price) < kSamePrice) {
      stored = line;
      return;
    }
  }
  levelLines_.push_back(line);
}

bool CGraph::deleteLevelLines(bool all, double price) {
  if (all) {
    levelLines_.clear();
    return true;
  }
  const auto it = std::find_if(levelLines_.begin(), levelLines_.end(), [price](const VizorLevelLine& line) {
    return std::fabs(line.price - price) < kSamePrice;
  });
  if (it == levelLines_.end()) return false;
  levelLines_.erase(it);
  return true;
}

}  // namespace kelda::chart
