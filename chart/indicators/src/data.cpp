// The series base: registration, links between series, the recalculation
// cycle, the parameter protocol, percent of base and the trading-hours filter.
#include "chart/data.h"

#include <algorithm>
#include <cmath>

#include "chart/chart.h"
#include "chart/graph.h"
#include "platform/packed_time.h"

namespace kelda::chart {

namespace {

template <class T>
void eraseFirst(std::vector<T*>& list, const T* item) {
  const auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
}

template <class T>
void appendUnique(std::vector<T*>& list, T* item) {
  if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

}  // namespace

CData::CData(CChart& chart, int32_t extraSize, int32_t sourceCount)
    : extraSize_(extraSize), chart_(&chart), pendingNotices_(sourceCount), sourceCount_(sourceCount) {
  id_ = chart.takeSeriesId();
  chart.registerSeries(this);
}

CData::~CData() {
  graph_.reset();
  for (CData* source : sources_) source->removeDependent(this);
  for (CData* series : chart_->seriesList()) series->removeCompanion(this);
  while (!companions_.empty()) {
    CData* companion = companions_.front();
    companions_.erase(companions_.begin());
    chart_->deleteSeries(companion);
  }
  // Each dependent's destruction removes it from this list.
  while (!dependents_.empty()) chart_->deleteSeries(dependents_.front());
  chart_->unregisterSeries(this);
}

int CData::setPrevPrice(double price) {
  previousPrice_ = price;
  return 1;
}

void CData::attachGraph(std::unique_ptr<CGraph> graph) { graph_ = std::move(graph); }

CGraph* CData::getGraph() const { return graph_.get(); }

void CData::clearPoints() {
  if (graph_) graph_->clearPointBoxes();
}

void CData::insertPoint(int index, FILETIME) {
  if (graph_) graph_->onBarInserted(index);
}

void CData::deletePoint(int) {
  if (graph_) graph_->clearPointBoxes();
}

int CData::isNotVolume() const { return 1; }

int CData::isSingleValue() const { return 1; }

int CData::getParams(VizorGraphParams* graphOut, void*, int) {
  if (!graph_) return 1;
  if (graphOut == nullptr) return 0;
  *graphOut = graph_->params();
  return 1;
}

int CData::setParams(const VizorGraphParams* graph, const void*, int, int checkOnly, int) {
  if (!graph_) return 1;
  if (graph == nullptr) return 0;
  if (!isDrawingStyle(graph->style)) return 0;
  if (!checkOnly) graph_->setParams(*graph);
  return 1;
}

int CData::toPercentOfBase(DataPoint* point) const {
  if (!graph_) return 0;
  const VizorGraphParams& p = graph_->params();
  if (p.percentMode == 0) return 1;
  const double base = p.percentBase;
  const double a = std::fabs(base);
  if (a < kEpsilon) {
    point->open = point->high = point->low = point->close = 0.0;
    point->volume = 1.0;
  } else {
    setSingleValue(point, (point->open - base) / a * 100.0);
  }
  return 1;
}

int CData::lineCount(int* count) const {
  *count = 1;
  return 1;
}

int CData::pointPasses(const DataPoint* point) const { return PointFilter(*this)(*point) ? 1 : 0; }

PointFilter::PointFilter(const CData& series) {
  const VizorChartParams& params = series.chart().params();
  // Day, week and month charts (a negative interval) keep every bar.
  dayRange_ = params.mode == VIZOR_MODE_DAY_RANGE && params.interval >= 0.0;
  if (dayRange_) {
    from_ = platform::packDateTime(params.from, nullptr);
    to_ = platform::packDateTime(params.to, nullptr);
  }
}

bool PointFilter::withinHours(const DataPoint& point) const {
  const int32_t timeOfDay = platform::packDateTime(point.time, nullptr);
  return timeOfDay >= from_ && (to_ == 0 || timeOfDay <= to_);
}

void CData::addSource(CData* source) {
  if (source == nullptr) return;
  source->addDependent(this);
  sources_.push_back(source);
}

void CData::addDependent(CData* dependent) { appendUnique(dependents_, dependent); }

void CData::addCompanion(CData* other) { appendUnique(companions_, other); }

void CData::removeDependent(CData* dependent) { eraseFirst(dependents_, dependent); }

void CData::removeCompanion(CData* other) { eraseFirst(companions_, other); }

int CData::takeSourceNotice(int, int) {
  --pendingNotices_;
  return pendingNotices_ <= 0 ? 1 : 0;
}

void CData::notifyDependents(int first, int last) {
  // A dependent's calculation may not change this list, but index walking
  // keeps the loop safe even if a future class did.
  for (size_t i = 0; i < dependents_.size(); ++i) dependents_[i]->calculate(first, last);
  pendingNotices_ = sourceCount_;
}

void CData::recalculate() {
  pendingNotices_ = 1;
  calculate(-1, -1);
  pendingNotices_ = sourceCount_;
}

}  // namespace kelda::chart
