// CTrend: a trend tool drawn against a graph: up to three anchor points (bar
// position, price), each tied to a time so that the figure keeps its moment
// when bars arrive or the interval changes. This is the base of the nine tool
// kinds (trend_kinds.h): it converts its points to the screen of its pane,
// draws itself with its pen, records the segments it drew so that a tap can
// find it again, and carries the state of placing, moving, resizing and
// copying it (a grey ghost at the old place, an exclusive-or rubber band on
// the chart window while the stylus moves).
//
// Bar positions are indexes into the bar list (possibly fractional or beyond
// its ends), never pointers. Threading: the chart's thread only. Ownership:
// a graph owns its trends; a trend owns its ghost and its last drawn copy;
// the chart and the graph are not owned. Errors: nothing is reported; a
// figure outside the view draws nothing and cannot be hit. Allocation
// failures throw std::bad_alloc.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/win_types.h"

namespace kelda::ui {
class Canvas;
}

namespace kelda::chart {

class CChart;
class CChartPane;
class CGraph;

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

// The pane's plot rectangle and what its edges stand for. Maps chart points
// to the screen: x grows with the bar position, y falls with the price.
struct TrendView {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  double bottomPrice = 0.0;
  double topPrice = 0.0;
  double leftBar = 0.0;
  double rightBar = 0.0;

  // Screen point of a chart point (truncated; 0 on a view without extent).
  POINT toScreen(TrendPoint p) const;
};

// One line the last drawing put on the screen, with the ends that are
// handles of the figure.
struct TrendSegment {
  int32_t x0 = 0;
  int32_t y0 = 0;
  int32_t x1 = 0;
  int32_t y1 = 0;
  bool startHandle = false;
  bool endHandle = false;
  bool thirdHandle = false;
};

// Parts a hit test answers.
enum TrendPart : int32_t { kPartNone = 0, kPartBody = 1, kPartP1 = 2, kPartP2 = 3, kPartP3 = 4 };

// Interaction states.
enum TrendState : int32_t {
  kTrendNew = 0,
  kTrendPlaced = 1,
  kTrendCreating = 2,
  kTrendMoveArmed = 3,
  kTrendMoving = 4,
  kTrendGhost = 5,
  kTrendResizeArmed = 6,
  kTrendResizing = 7,
};

// Hit tolerance in pixels.
inline constexpr int32_t kTrendHitTolerance = 6;
// Where rays and spread lines end: far beyond any chart.
inline constexpr double kTrendFar = 1e8;

class CTrend {
 public:
  // A figure of `type` for `chart`: the chart's trend pen width and colour,
  // a new trend id.
  CTrend(CChart& chart, int32_t type);
  virtual ~CTrend();
  CTrend(const CTrend&) = delete;
  CTrend& operator=(const CTrend&) = delete;

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
  CChart& chart() const { return *chart_; }
  CGraph* graph() const { return graph_; }
  int32_t state() const { return state_; }
  bool thirdPointPending() const { return thirdPending_; }
  void setThirdPending(bool on) { thirdPending_ = on; }
  const TrendView& view() const { return view_; }
  const std::vector<TrendSegment>& segments() const { return segments_; }
  const CTrend* ghost() const { return ghost_.get(); }

  TrendPoint point(int k) const { return points_[k]; }
  void setPoint(int k, TrendPoint p) { points_[k] = p; }
  double reportedPrice(int k) const { return reported_[k]; }
  void commitPrices() { reported_[0] = points_[0].price, reported_[1] = points_[1].price; }
  FILETIME anchorTime(int k) const { return anchorTimes_[k]; }
  FILETIME savedTime(int k) const { return savedTimes_[k]; }
  // Sets the time of point k, both the anchor and the saved copy.
  void setTime(int k, FILETIME t) { anchorTimes_[k] = savedTimes_[k] = t; }
  bool reanchored(int k) const { return reanchored_[k]; }
  void markReanchored(int k) { reanchored_[k] = true; }
  bool beyondBars() const { return beyondBars_; }
  void setBeyondBars(bool beyond) { beyondBars_ = beyond; }

  // --- the operations the kinds override ---
  // The stylus was lifted while the figure is idle.
  virtual bool onStylusUp(WPARAM keys, int32_t x, int32_t y);
  virtual void beginResize();
  virtual void beginMove(TrendPoint grab);
  virtual void dragTo(TrendPoint at);
  virtual void endDrag(bool cancel, bool keepCopy);
  // A copy of the figure (its own class, a new id, no ghost).
  virtual std::unique_ptr<CTrend> clone() const = 0;
  // Re-anchors the points from their times and draws the figure (the rubber
  // band while it is being placed or dragged); false when not laid out.
  virtual bool layout(ui::Canvas* canvas, const TrendView* view, double xScale, double yScale);
  virtual void draw(ui::Canvas* canvas, const TrendView* view, bool xorMode);
  // Sets the state (1 or more) unless the figure is still new.
  virtual void setState(int32_t state);
  virtual int32_t hitTest(POINT point) const;
  // Exclusive-or redraw on `canvas` (the chart window's when null); false
  // when no canvas could be had.
  virtual bool redraw(ui::Canvas* canvas);
  // Stylus messages that place a third point; true when one was used.
  virtual bool onCreateMessage(UINT message, WPARAM keys, LPARAM xy);
  // The visible part of the main line; false when none is in view.
  virtual bool extendToPane(double bottom, double top, double left, double right);
  // Clips S0-S1 to the rectangle of bars [left, right] and prices [bottom,
  // top] (inclusive); false when nothing of it lies inside.
  static bool clipSegment(double bottom, double top, double left, double right, TrendPoint s0, TrendPoint s1,
                          TrendPoint* out0, TrendPoint* out1);

  // --- used by the controller and the chart ---
  // Binds the figure to a graph (its series id) and places it.
  void attach(CGraph& graph);
  // Sets a point; a resize armed makes the ghost first and starts resizing.
  void setP1(TrendPoint p);
  void setP2(TrendPoint p);
  void setP3(TrendPoint p);
  // The view the figure maps with until its next layout.
  void setView(const TrendView& view) { view_ = view; }
  // Puts the earlier point first: a stroke drawn from right to left keeps
  // its times in order.
  void orderByTime();
  // P1 and P2 coincide (within 1e-7 in bar and price).
  bool degenerate() const;
  // A bar was inserted at index: bar positions at or after it grow by one.
  void onBarInserted(int32_t index);
  // Bars were added. A figure with no point placed beyond the bars takes its
  // saved times again. One with such a point (until the bars reach its
  // later point) moves the points still ahead of the bars back by the gap
  // between the last two bars when that gap is a break of two or more
  // intervals within one day; points the bars have reached keep their own
  // times. True when the bar positions were recomputed (the chart is to be
  // repainted).
  bool reanchorAfterNewBars();
  // Draws what the last rubber band left on the screen again (exclusive or),
  // over a fresh copy of the kept picture.
  void drawOverlay(ui::Canvas& canvas) const;
  // The chart point of a screen point on this figure's pane and price
  // scale, and (when `time` is given) the time at its bar, which marks the
  // figure as anchored beyond the bars when the bar lies past the last one;
  // false when the figure has no graph.
  bool chartPointAt(POINT screen, TrendPoint* point, FILETIME* time);

 protected:
  // Copies the base state into `copy` (a fresh object of the same class)
  // and gives it a new id.
  void copyInto(CTrend& copy) const;
  void setVisible(TrendPoint a, TrendPoint b) { visible_[0] = a, visible_[1] = b; }
  TrendPoint visible(int k) const { return visible_[k]; }
  TrendPoint dragCopy(int k) const { return dragCopy_[k]; }
  TrendPoint grab() const { return grab_; }
  // The kind places a third point (channel, pitchfork) and it is set.
  bool thirdPointSet() const {
    return (type_ == 9 || type_ == 11) && !(points_[2].bar == 0.0 && points_[2].price == 0.0);
  }
  // Moves to (x0, y0), draws to (x1, y1) with the selected pen and records
  // the segment.
  void recordSegment(ui::Canvas& canvas, POINT a, POINT b, bool startHandle, bool endHandle,
                     bool thirdHandle = false);
  // Records the visible segment (set by extendToPane) with the selected pen;
  // its ends are handles where they are P1 and P2.
  void recordVisible(ui::Canvas& canvas, const TrendView& view);
  // Keeps `view` and draws within its rectangle (the clip region) with a
  // dotted pen: the visible part of P1-P2 with its handles, then
  // more(canvas, pen) while the clip region and the pen (a PenScope) stay
  // selected. The start that the retracement and the fan share; defined in
  // trend_draw.h.
  template <class More>
  void drawOverDiagonal(ui::Canvas& canvas, const TrendView& view, bool xorMode, More&& more);
  // Draws the chart segment a-b clipped to the view with the selected pen.
  // The ends are handles where they are P1 (start) and P2 (end).
  bool drawClipped(ui::Canvas& canvas, TrendPoint a, TrendPoint b, bool handles, bool thirdHandle = false);
  // The pen colour of a drawing: the figure's, or the exclusive-or colours.
  COLORREF drawColour(bool xorMode) const;
  // The ray from `origin` through `through` carried on to bar +1e8 (to
  // price +-1e8 when both share their bar, to bar +1e8 at the origin's price
  // when they share their price).
  static TrendPoint rayEnd(TrendPoint origin, TrendPoint through);
  // The time at a bar position on this figure's pane; a bar past the last
  // one marks the figure as anchored beyond the bars.
  FILETIME timeAtBar(double bar);
  // Bar positions of the three points from their anchor times.
  void barsFromTimes();
  void makeGhost();
  // Keeps the points and their times as a move or resize begins.
  void keepDragCopy();
  // Forgets what the last drawing recorded (segments, rubber band).
  void resetDrawing();
  // Placing, moving or resizing is under way (states 2, 3, 4, 6, 7).
  bool dragUnderWay() const;
  // The view with its rectangle multiplied by the scales.
  TrendView scaledView(double xScale, double yScale) const;
  // Exchanges points i and j with their times.
  void swapPoints(int i, int j);

  TrendPoint points_[3];
  TrendPoint dragCopy_[3];

 private:
  int32_t penWidth_;
  COLORREF colour_;
  int32_t type_;
  bool thirdPending_ = false;
  FILETIME anchorTimes_[3] = {};
  FILETIME savedTimes_[3] = {};
  int32_t seriesId_ = 0;
  int32_t id_;
  double reported_[2] = {};
  bool beyondBars_ = false;
  // The times and the beyond-the-bars mark when a move or resize began.
  FILETIME dragAnchorTimes_[3] = {};
  FILETIME dragSavedTimes_[3] = {};
  bool dragBeyondBars_ = false;
  bool reanchored_[3] = {};
  TrendPoint visible_[2];
  TrendPoint grab_;
  bool ghostDrawn_ = false;
  std::unique_ptr<CTrend> ghost_;
  std::unique_ptr<CTrend> lastDrawn_;
  int32_t state_ = kTrendNew;
  CChart* chart_;
  CGraph* graph_ = nullptr;
  TrendView view_;
  std::vector<TrendSegment> segments_;
};

// Whether two chart values are the same within 1e-7.
inline bool sameValue(double a, double b) { return (a - b) < 1e-7 && (b - a) < 1e-7; }
inline bool samePoint(TrendPoint a, TrendPoint b) { return sameValue(a.bar, b.bar) && sameValue(a.price, b.price); }

}  // namespace kelda::chart
