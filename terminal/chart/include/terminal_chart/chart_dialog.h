// ChartDialog: the base of the chart window's modal dialogs (indicator,
// level lines, extra parameters, chart properties). When it opens it asks
// for the input-panel button; while it is the active window the main view's
// left and right arrow hot keys are released, so the arrows move within the
// dialog's controls, and they are registered again once activation leaves
// the dialog for a window it does not own (its own popups and the dialogs
// it opens keep them released).
//
// Threading: user-interface thread. Without a terminal (no data manager or
// main view) the hot-key steps are skipped.
#pragma once

#include "ui/dialog.h"

namespace kelda::terminal {

class ChartDialog : public ui::Dialog {
 public:
  using ui::Dialog::Dialog;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 protected:
  // Sets the manager's input-panel-button flag and arms the deferred update.
  void announce_to_input_panel();
};

}  // namespace kelda::terminal
