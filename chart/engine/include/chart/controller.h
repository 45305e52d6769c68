// CChartController: the layout of a chart's panes, its painting and its
// stylus handling. Each pane has a stored height proportion; the layout
// rectangle's height, less 3-pixel splitters between panes, is shared out by
// those proportions (rounded up, the surplus taken back one pixel per pane
// from the top). A new pane starts with proportion 0 (the first with 1).
//
// The controller paints every pane and the splitters, keeps the plot
// rectangles of the last paint, drags splitters (an XOR tracking line while
// the stylus moves, one repaint at the release), zooms the time axis by a
// drag under the lowest pane, and reports the bar time and price under the
// pointer (event 8) with an optional crosshair, drawn as an overlay over the
// kept picture so that a pointer move never re-renders the series.
//
// Its trend-tool handler (controller_trends.cpp) sees every stylus message
// first: it makes a tool of the chart's selected kind on a tap on empty
// chart (the second point follows the stylus), picks up tools to move or
// resize them (Ctrl leaves a copy), raises event 6 when a stroke ends or is
// cancelled and event 5 for a tool's menu. A hold is recognised by the ui
// layer while the press is handled: it sends the chart window
// wm::context_menu, which comes back here (a stroke or drag under way is
// cancelled; over a tool, the tool's menu).
//
// Owned by the chart. Not thread-safe (the chart's thread); allocation
// failures throw std::bad_alloc.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "chart/trend.h"
#include "platform/win_types.h"
#include "ui/canvas.h"

namespace kelda::chart {

class CChart;

// The library-wide crosshair switch (VizorToggleCursorCrosshair): every chart
// reads the same value. Off at load.
void setCrosshairSwitch(bool on);
bool crosshairSwitch();

class CChartController {
 public:
  static constexpr int32_t kSplitterGap = 3;
  // Mouse modes: idle, a splitter hit on this press, dragging a splitter,
  // over the left (4) or right (6) price-axis border and dragging it (5, 7).
  enum Mode : int32_t {
    kIdle = 1,
    kSplitterHit = 2,
    kSplitterDrag = 3,
    kLeftBorder = 4,
    kLeftBorderDrag = 5,
    kRightBorder = 6,
    kRightBorderDrag = 7,
  };

  struct PaneEntry {
    double proportion = 0.0;
    int32_t height = 0;
  };

  explicit CChartController(CChart& chart);

  int32_t paneCount() const { return static_cast<int32_t>(entries_.size()); }
  const std::vector<PaneEntry>& entries() const { return entries_; }
  int32_t paneHeightSum() const { return paneHeightSum_; }
  const RECT& layoutRect() const { return layoutRect_; }

  // Stores the rectangle and recomputes the pane heights.
  void setLayoutRect(const RECT& rect);
  void computePaneHeights();
  void addPaneEntry();
  // Copies the proportions into the first entries and relayouts.
  void setPaneProportions(std::span<const double> proportions);
  // Removes the entry at index, gives its pixels to the others from the top
  // and stores the proportions that result.
  void removePaneEntry(int32_t index);
  // Top of pane i in the layout (pane 0 at the rectangle's top).
  int32_t paneTop(int32_t index) const;

  // A trend tool lies under the stylus (its part is kept); focus loss and
  // the Alt key clear it.
  bool toolMode() const { return hoverPart_ != kPartNone; }
  void setToolMode(bool on) { hoverPart_ = on ? kPartBody : kPartNone; }

  // --- trend tools (controller_trends.cpp) ---
  enum TrendMode : int32_t { kTrendIdle = 1, kTrendCreate = 2, kTrendMove = 3, kTrendResize = 4 };
  int32_t trendMode() const { return trendMode_; }
  int32_t hoverPart() const { return hoverPart_; }
  CTrend* currentTool() const { return currentTool_; }
  // A tool being destroyed stops being the current one.
  void forgetTool(const CTrend* tool) {
    if (currentTool_ == tool) currentTool_ = nullptr, trendMode_ = kTrendIdle;
  }
  // The tool under a client point, the chart point there on its scale and
  // the part hit; null when none.
  CTrend* findTool(POINT point, TrendPoint* at, int32_t* part) const;
  // The trend-tool handler: non-zero when the message was used.
  LRESULT onTrendMouse(UINT message, WPARAM keys, LPARAM xy);
  // Draws the rubber band of a stroke or drag under way again over a fresh
  // copy of the kept picture.
  void drawTrendOverlay(ui::Canvas& canvas) const;

  // --- painting (controller_paint.cpp) ---
  // Paints every pane within `rect` and the splitters, from bar firstBar.
  void paintChart(ui::Canvas& canvas, const RECT& rect, int32_t firstBar);
  const std::vector<RECT>& paneRects() const { return paneRects_; }
  const std::vector<RECT>& splitterRects() const { return splitterRects_; }

  // --- stylus (controller_mouse.cpp) ---
  // The mouse dispatcher; non-zero when the message was taken.
  LRESULT onMouse(UINT message, WPARAM wParam, LPARAM lParam);
  int32_t mouseMode() const { return mode_; }
  // Puts the pointer over a price-axis border (modes 4 and 6). Nothing in
  // the chart enters these modes from idle by itself; a move off the border
  // leaves them, a press starts the drag.
  void enterAxisBorderMode(bool right) { mode_ = right ? kRightBorder : kLeftBorder; }
  // No splitter or time-axis drag is under way.
  bool idle() const { return mode_ == kIdle && !timeDrag_.active && trendMode_ == kTrendIdle; }

  // --- crosshair and readout (crosshair.cpp) ---
  // Draws the crosshair at the last pointer position (an overlay of a paint).
  void drawCrosshair(ui::Canvas& canvas) const;
  // Sends event 8 with the time and price texts under (x, y); false when
  // nothing was sent.
  bool reportCursor(int32_t x, int32_t y, WPARAM wParam, LPARAM lParam);
  bool crosshairShown() const { return crosshairShown_; }
  bool pointerOutside() const { return outside_; }
  // Wheel scrolling asks the next paint to renew the readout.
  void setCursorReportPending() { cursorReportPending_ = true; }
  // Called by the window after a paint: reports the cursor once if pending.
  void reportPendingCursor();

 private:
  void onMouseMove(WPARAM wParam, LPARAM lParam, int32_t x, int32_t y);
  bool onTimeAxisMouse(UINT message, int32_t x, int32_t y);
  int32_t heldSplitterPosition(int32_t y) const;
  void finishSplitterDrag(int32_t y);
  void drawTrackingLine(int32_t y);
  // Moves in the axis border modes (a move off the border ends them).
  void onAxisBorderMove(WPARAM wParam, int32_t x, int32_t y);
  LRESULT onTrendContextMenu(WPARAM keys, LPARAM xy);
  LRESULT onTrendPress(WPARAM keys, POINT point);
  LRESULT onTrendRelease(WPARAM keys, LPARAM xy);
  LRESULT onTrendMove(WPARAM keys, LPARAM xy, POINT point);
  // Ends the stylus capture and has the picture rendered anew.
  void endStroke();
  // Removes a tool from its graph and destroys it.
  void deleteTool(CTrend* tool);
  // The pane (index into the pane list) whose rectangle holds y; -1 when none.
  int32_t paneAt(POINT point) const;

  CChart* chart_;
  RECT layoutRect_{};
  int32_t paneHeightSum_ = 0;
  std::vector<PaneEntry> entries_;
  int32_t hoverPart_ = kPartNone;
  int32_t trendMode_ = kTrendIdle;
  int32_t resizedPoint_ = 0;
  CTrend* currentTool_ = nullptr;  // owned by its graph

  std::vector<RECT> splitterRects_;
  std::vector<RECT> paneRects_;
  int32_t mode_ = kIdle;
  int32_t dragIndex_ = 0;
  int32_t dragLower_ = 0;
  int32_t dragUpper_ = 0;
  int32_t trackingY_ = 0;
  bool trackingShown_ = false;
  int32_t dragPoints_[2] = {-1, -1};
  struct TimeDrag {
    bool active = false;
    int32_t lastSlot = 0;
    int32_t startX = 0;
    int32_t startCount = 0;
  } timeDrag_;
  bool cursorReportPending_ = false;
  bool outside_ = false;
  bool crosshairShown_ = false;
  POINT pointer_{};
};

}  // namespace kelda::chart
