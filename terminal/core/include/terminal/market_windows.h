// The market windows of the terminal (order book, current parameters, news
// and client portfolio): their registration as window kinds and the helpers
// they share.
//
// Threading: user-interface thread.
#pragma once

#include "terminal/window_protocol.h"
#include "ui/types.h"

namespace kelda::terminal {

// Registers the four market window kinds with the main view.
void register_market_windows();

// A report-style list view filling nothing yet: the manager's table font and
// full-row select. `extra_style` adds to child | visible | report.
ui::Hwnd create_report_list(ui::Hwnd parent, UINT id, DWORD extra_style);
// The table font's handle word for wm::set_font (0 when none).
WPARAM table_font_handle();
// UM_SETFONT's font object (a ui::Font*, null for none) to a control, redrawn.
void apply_font(ui::Hwnd control, WPARAM font_object);

// The base of the market windows: builds the window's controls once its
// own creation has succeeded.
class MarketWindow : public TerminalWindow {
 public:
  using TerminalWindow::TerminalWindow;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 protected:
  virtual void on_create() = 0;
};

}  // namespace kelda::terminal
