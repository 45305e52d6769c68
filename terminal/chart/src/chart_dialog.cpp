// The chart dialogs' base: input-panel button and arrow hot keys.
#include "terminal_chart/chart_dialog.h"

#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"

namespace kelda::terminal {
namespace {

MainView* main_view() {
  DataFeedManager* m = manager();
  return m != nullptr ? m->view() : nullptr;
}

}  // namespace

LRESULT ChartDialog::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == ui::wm::activate) {
    if (MainView* view = main_view()) view->follow_dialog_activation(hwnd(), wparam, lparam);
  }
  return ui::Dialog::window_proc(msg, wparam, lparam);
}

void ChartDialog::announce_to_input_panel() {
  if (DataFeedManager* m = manager()) m->input_panel_button = true;
  defer_sip_button_update(hwnd());
}

}  // namespace kelda::terminal
