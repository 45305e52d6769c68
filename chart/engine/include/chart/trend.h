// CTrend: a trend tool drawn against a graph: up to three anchor points (bar
// position, price), each tied to a time so that the figure keeps its moment
// when bars arrive. This is the base that the tool kinds derive from; the
// model keeps the anchors, the times, the style and the id. Bar positions
// are indexes into the bar list (possibly fractional or beyond its ends),
// never pointers. Not thread-safe; never throws.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace kelda::chart {

class BarList;

// Tool codes the chart accepts for the next stroke: 0-7 and 9-11.
bool isTrendToolCode(int32_t code);
// Type stored in a trend made by tool `code` (5 and 0 make trend lines).
int32_t trendTypeOfTool(int32_t code);
// Type of a trend restored from a saved record: 1, 2, 3, 4, 6, 7, 10, 11 as
// they are, every other value a channel (9).
int32_t trendTypeOfRecord(int32_t type);

struct TrendPoint {
  double bar = 0.0;
  double price = 0.0;
};

class CTrend {
 public:
  CTrend(int32_t id, int32_t type, COLORREF colour, int32_t penWidth);
  virtual ~CTrend() = default;

  int32_t id() const { return id_; }
  int32_t type() const { return type_; }
  COLORREF colour() const { return colour_; }
  int32_t penWidth() const { return penWidth_; }
  void setStyle(COLORREF colour, int32_t penWidth) {
    colour_ = colour;
    penWidth_ = penWidth;
  }
  int32_t seriesId() const { return seriesId_; }
  void setSeriesId(int32_t id) { seriesId_ = id; }

  TrendPoint point(int k) const { return points_[k]; }
  void setPoint(int k, TrendPoint p) { points_[k] = p; }
  FILETIME anchorTime(int k) const { return anchorTimes_[k]; }
  FILETIME savedTime(int k) const { return savedTimes_[k]; }
  // Sets the time of point k, both the anchor and the saved copy.
  void setTime(int k, FILETIME t) { anchorTimes_[k] = savedTimes_[k] = t; }
  bool reanchored(int k) const { return reanchored_[k]; }
  void markReanchored(int k) { reanchored_[k] = true; }
  bool beyondBars() const { return beyondBars_; }
  void setBeyondBars(bool beyond) { beyondBars_ = beyond; }

  // A bar was inserted at index: bar positions at or after it grow by one.
  void onBarInserted(int32_t index);
  // Recomputes the bar positions from the anchor times on the bar list.
  void reanchor(const BarList& bars, int32_t intervalCode);

 private:
  int32_t id_;
  int32_t type_;
  COLORREF colour_;
  int32_t penWidth_;
  int32_t seriesId_ = 0;
  TrendPoint points_[3];
  FILETIME anchorTimes_[3] = {};
  FILETIME savedTimes_[3] = {};
  bool reanchored_[3] = {};
  bool beyondBars_ = false;
};

}  // namespace kelda::chart
