// The chart's windows: CChartWnd, the child window a chart lives in;
// CMyScrollBar, the scroll bar of the time axis and of each pane's price
// axis; CToolTipWnd, the pop-up that shows the values of a tapped bar.
//
// Painting: the chart is rendered into an off-screen picture, and a paint
// copies that picture (one blit) and draws the crosshair over it. Two-step
// invalidation: invalidateChart(true) (repaint kind 0) lays the chart out
// again and renders a new picture; invalidateBackBuffer() (repaint kind 1)
// renders a new picture without a new layout; invalidateOverlay() only
// copies the kept picture again (pointer moves, the crosshair). Nothing is
// invalidated from inside a paint.
//
// Stylus input goes, in order, to the panes' price-axis drag, the layout
// controller (time-axis drag, splitters, pointer moves) and the window's own
// handlers: a double tap sends event 0 (a series or pane hit) or 2 (nothing
// hit) with the VizorHitInfo record; a tap on a drawn point shows its values
// in the tool tip until the next tap; a tap-and-hold is recognised by the ui
// layer on the press, which sends the window (and, unhandled, its parent,
// the terminal) wm::context_menu with the screen point before it answers
// the hold; the window then consumes the press. That is the one path of the
// hold: the terminal reacts to the context-menu message.
//
// Threading: the user-interface thread (the chart's thread). Ownership: the
// chart owns its window; the window owns its scroll bar, tool tip and
// off-screen picture; panes own their scroll bars. Errors: a window that
// cannot be made leaves the chart windowless (it still renders on request).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win_types.h"
#include "ui/canvas.h"
#include "ui/window.h"

namespace kelda::chart {

class CChart;
class CChartController;
class CToolTipWnd;

// Height of the time scroll bar and width of the price scroll bars:
// two thirds of the system's scroll bar height plus 2.
int32_t scrollBarThickness();

class CMyScrollBar : public ui::Window {
 public:
  explicit CMyScrollBar(CChart& chart) : chart_(&chart) {}
  // A child scroll bar control (style: sbs:: bits; ws::child is added).
  bool create(ui::Hwnd parent, DWORD style, const RECT& rect, UINT id);
  // Positions a line moves (n above 0).
  void setLineStep(int32_t n) {
    if (n > 0) lineStep_ = n;
  }
  double lineStep() const { return lineStep_; }
  // A scroll notification with code `code` (sb::); end_scroll has the chart
  // rendered again.
  void onScroll(int32_t code);
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  CChart* chart_;
  double lineStep_ = 1.0;
};

class CChartWnd : public ui::Window {
 public:
  static constexpr UINT kControlId = 1234;
  static constexpr UINT kScrollBarId = 100;

  CChartWnd(CChart& chart, CChartController& controller);
  ~CChartWnd() override;

  // Creates the window in `parent` at `rect` (parent client coordinates).
  bool create(ui::Hwnd parent, const RECT& rect);

  void invalidateChart(bool relayout);
  void invalidateBackBuffer();
  void invalidateOverlay();

  // The body of a paint, on any canvas of the window's kind.
  void paintTo(ui::Canvas& canvas);
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

  // The time scroll bar takes the chart's scroll state (range, page,
  // position, shown), and the chart takes the bar's position back.
  void syncTimeScrollBar();
  void readTimeScrollBar();

  CMyScrollBar* timeScrollBar() const { return scrollBar_.get(); }
  CToolTipWnd* toolTip() const { return toolTip_.get(); }
  bool toolTipShown() const { return toolTipShown_; }
  const RECT& toolTipItemRect() const { return toolTipItem_; }
  // Renders of the off-screen picture so far (tests and benchmarks).
  int32_t renderCount() const { return renders_; }
  bool relayoutPending() const { return relayout_; }
  bool backBufferStale() const { return stale_; }

 private:
  LRESULT onCreate();
  void onSize();
  void onDoubleTap(WPARAM wparam, LPARAM lparam);
  void onTap(LPARAM lparam);
  void hideToolTip();

  CChart* chart_;
  CChartController* controller_;
  bool relayout_ = false;
  bool stale_ = false;
  std::unique_ptr<CMyScrollBar> scrollBar_;
  std::unique_ptr<CToolTipWnd> toolTip_;
  RECT toolTipItem_{};
  bool toolTipShown_ = false;
  std::unique_ptr<ui::Canvas> backBuffer_;
  int32_t renders_ = 0;
};

class CToolTipWnd : public ui::Window {
 public:
  explicit CToolTipWnd(CChart& chart);
  bool create(ui::Hwnd parent);
  // Shows `text` (null: empty) at `point` (parent client coordinates), kept
  // inside the parent's window rectangle; with `show` false hides the tip
  // and answers whether it was visible.
  bool show(const char16_t* text, POINT point, bool show);
  const std::u16string& text() const { return text_; }
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void onPaint();

  std::u16string text_;
  ui::LogFont fontDescription_;
  CChart* chart_;
};

}  // namespace kelda::chart
