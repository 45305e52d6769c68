// CData: the base of every series of a chart (the security's bars, price and
// volume series, every indicator). A series registers itself in its chart's
// series list when constructed and leaves it when destroyed; the chart owns
// it through that list. A series owns its graph (when drawn), its companions
// (series deleted together with it: the parts of a composite indicator) and
// its dependents (series computed from it); it never owns its sources.
//
// Recalculation cycle: calculate(first, last) of a series waits until every
// one of its `sourceCount` sources has notified it in the current cycle
// (takeSourceNotice), recomputes the bars first..last (-1, -1: all), updates
// its has-data flag and passes the same range on to its dependents
// (notifyDependents), which re-arms its own cycle.
//
// The virtual operations below keep their order: indicator classes (one per
// file, see series_factory.h) override them. Not thread-safe: everything runs
// on the chart's thread. Operations report through 0/1 results; the export
// layer turns a refusal into error 87. Allocation failures throw
// std::bad_alloc, caught by the export frame.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "chart/data_point.h"
#include "chart/kelda_chart.h"

namespace kelda::chart {

class CChart;
class CGraph;

class CData {
 public:
  CData(const CData&) = delete;
  CData& operator=(const CData&) = delete;

  // 0: deletes the graph, leaves the sources' dependents and every companion
  // list, deletes the companions and the dependents, leaves the chart.
  virtual ~CData();
  // 1: stores the previous price; returns 1.
  virtual int setPrevPrice(double price);
  // 2: stores the graph (owned from now on); composites also make the graphs
  // of their further lines.
  virtual void attachGraph(std::unique_ptr<CGraph> graph);
  // 3: the graph, or nullptr when the series is not drawn.
  virtual CGraph* getGraph() const;
  // 4: the point vector (one point per bar of the chart).
  virtual PointVector& getPoints() = 0;
  // 5: some point of the visible range passes the trading-hours filter.
  virtual int hasData() const = 0;
  // 6: close of the last passing point of the visible range, else 0.0.
  virtual double lastVisibleValue() const = 0;
  // 7: range of the values in the visible window; 0 when there is none.
  virtual int getMinMax(int closeOnly, double* min, double* max, const VizorGraphParams* graph) const = 0;
  // 8: empties the graph's point boxes (bar-aligned series free their points first).
  virtual void clearPoints();
  // 9: the recalculation cycle over bars first..last (-1, -1 = all).
  virtual void calculate(int first, int last) = 0;
  // 10: recomputes the has-data flag over first..last.
  virtual void updateHasData(int first, int last) = 0;
  // 11: a bar was inserted at index: tells the graph (its trend tools shift).
  virtual void insertPoint(int index, FILETIME barTime);
  // 12: the bar at index went: empties the graph's point boxes.
  virtual void deletePoint(int index);
  // 13: 1 when the point at index holds no value (or does not exist).
  virtual int isPointEmpty(int index) const = 0;
  // 14: 1, except for the volume series.
  virtual int isNotVolume() const;
  // 15: 1 when the series has one value per bar (not candles).
  virtual int isSingleValue() const;
  // 16: copies the graph block (when drawn) and the class's own block out.
  virtual int getParams(VizorGraphParams* graphOut, void* params, int size);
  // 17: checks and (unless checkOnly) applies the blocks; recalculates on recalc.
  virtual int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc);
  // 18: turns the point into percent of the graph's base value when the graph
  // shows percent; 0 without a graph.
  virtual int toPercentOfBase(DataPoint* point) const;
  // 19: writes the number of lines drawn; returns 1.
  virtual int lineCount(int* count) const;
  // 20: the trading-hours filter: valid, with volume, and (mode 2, intraday)
  // within the chart's times of day. No class overrides it: the loops over
  // many points use PointFilter, which answers the same.
  virtual int pointPasses(const DataPoint* point) const;

  void addSource(CData* source);
  void addDependent(CData* dependent);
  void addCompanion(CData* other);
  void removeDependent(CData* dependent);
  void removeCompanion(CData* other);
  // Counts a source's notice; 1 when the cycle is complete.
  int takeSourceNotice(int first, int last);
  // Recalculates every dependent over first..last, then re-arms this cycle.
  void notifyDependents(int first, int last);
  // A direct request: recalculates every bar at once whatever notices are
  // still pending, and leaves the cycle re-armed.
  void recalculate();

  int32_t id() const { return id_; }
  int32_t ownerId() const { return ownerId_; }
  void setOwnerId(int32_t id) { ownerId_ = id; }
  int32_t typeCode() const { return typeCode_; }
  double previousPrice() const { return previousPrice_; }
  CChart& chart() const { return *chart_; }
  const std::vector<CData*>& dependents() const { return dependents_; }
  const std::vector<CData*>& sources() const { return sources_; }
  const std::vector<CData*>& companions() const { return companions_; }

 protected:
  // Registers in the chart with the next series id.
  CData(CChart& chart, int32_t extraSize, int32_t sourceCount);

  int32_t extraSize_ = 0;
  int32_t typeCode_ = -1;

 private:
  int32_t id_ = 0;
  int32_t ownerId_ = -1;
  CChart* chart_;
  std::unique_ptr<CGraph> graph_;
  std::vector<CData*> companions_;
  std::vector<CData*> dependents_;
  std::vector<CData*> sources_;
  int32_t pendingNotices_ = 0;
  double previousPrice_ = -1.0;
  int32_t sourceCount_ = 1;
};

// The trading-hours filter of CData::pointPasses with the chart's parameters
// read once, for a calculation that tests many points: the checks of every
// point are inline. Valid for as long as the chart's parameters stay as they
// were (one calculation).
class PointFilter {
 public:
  explicit PointFilter(const CData& series);
  bool operator()(const DataPoint& point) const {
    if (point.valid == 0 || std::fabs(point.volume) < kEpsilon) return false;
    return !dayRange_ || withinHours(point);
  }

 private:
  bool withinHours(const DataPoint& point) const;

  bool dayRange_ = false;
  int32_t from_ = 0;  // times of day, HHMMSS; to_ 0: no upper bound
  int32_t to_ = 0;
};

}  // namespace kelda::chart
