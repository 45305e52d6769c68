// CDataCommon: the bar-aligned series, direct base of every concrete series.
// It keeps one DataPoint per bar of the chart's bar list, index for index
// (slot_model.h): the chart inserts and deletes points in every series as it
// inserts and deletes bars. Indicator classes derive from it, override
// calculate (and their parameter operations) and read their sources through
// getPoints() and selectPrice(). Threading and errors as CData.
#pragma once

#include "chart/data.h"

namespace kelda::chart {

class CDataCommon : public CData {
 public:
  ~CDataCommon() override;

  PointVector& getPoints() override { return points_; }
  const PointVector& points() const { return points_; }
  int hasData() const override { return hasData_; }
  double lastVisibleValue() const override;
  int getMinMax(int closeOnly, double* min, double* max, const VizorGraphParams* graph) const override;
  void clearPoints() override;
  void updateHasData(int first, int last) override;
  void insertPoint(int index, FILETIME barTime) override;
  void deletePoint(int index) override;
  int isPointEmpty(int index) const override;

  // 21: index of the point the graph shows at bar index (its shift applied,
  // counting passing points only), or -1.
  virtual int findValidPoint(int index, const CGraph* graph, const PointVector& points) const;
  // 22: values of every line at the bar holding date YYYYMMDD and time HHMMSS
  // (rounded to the chart's interval); 0 with error 1168 when none.
  virtual int valuesAtTime(int date, int time, VizorCandleQuery* query);
  // 23: values at the visible bar stamped barTime; 0 with error 1168 when none.
  virtual int valuesAt(FILETIME barTime, VizorCandleQuery* query);

  // Stores a bar's values (and extra data) in the point at index; 1 when
  // something changed (the caller then recalculates), 0 when the point already
  // held these values or index is outside the vector.
  int setPointValues(int index, double open, double high, double low, double close, double volume,
                     const void* extra, int32_t extraSize);
  // Clears the valid byte of every point; the values stay.
  void invalidatePoints();
  // Nearest index before `index` whose point is valid, or -1.
  static int lastValidBefore(const PointVector& points, int index);
  int32_t shiftCount() const { return shiftCount_; }
  void setShiftCount(int32_t n) { shiftCount_ = n; }
  // Bytes held by the point vector (memory reports).
  size_t pointBytes() const { return points_.capacity_bytes(); }

 protected:
  // Builds one empty point per bar of the chart.
  CDataCommon(CChart& chart, int32_t extraSize, int32_t sourceCount);
  // The range first..last of a calculate call, with -1 resolved to all bars
  // and held to the point vector; false when it is empty.
  bool resolveRange(int& first, int& last) const;
  void setHasData(int value) { hasData_ = value; }

 private:
  void freePoints();

  int32_t shiftCount_ = 0;
  PointVector points_;
  int hasData_ = 0;
};

// The security's own bars, filled through VizorAddOHLCV; no type code.
class CDataSecurity final : public CDataCommon {
 public:
  explicit CDataSecurity(CChart& chart);
  void calculate(int first, int last) override;
};

}  // namespace kelda::chart
