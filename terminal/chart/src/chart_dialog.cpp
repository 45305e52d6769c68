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

// Whether `window` is `dialog` or is owned, at any depth, by it.
bool within(ui::Hwnd window, ui::Hwnd dialog) {
  for (ui::Hwnd w = window; w; w = ui::get_window(w, ui::gw::owner)) {
    if (w == dialog) return true;
  }
  return false;
}

}  // namespace

LRESULT ChartDialog::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == ui::wm::activate) {
    if (MainView* view = main_view()) {
      if (ui::lo_word(wparam) != ui::wa::inactive) {
        view->unregister_arrow_hot_keys();
      } else if (!within(ui::Hwnd::from(lparam), hwnd())) {
        view->register_arrow_hot_keys();
      }
    }
  }
  return ui::Dialog::window_proc(msg, wparam, lparam);
}

void ChartDialog::announce_to_input_panel() {
  if (DataFeedManager* m = manager()) m->input_panel_button = true;
  defer_sip_button_update(hwnd());
}

}  // namespace kelda::terminal
