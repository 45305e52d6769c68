#include "kit/dialog_helpers.h"

#include "ui/dialog.h"
#include "ui/screen.h"
#include "ui/window.h"

namespace kelda::kit {

namespace ui = kelda::ui;

void center_window(ui::Hwnd window) noexcept {
  if (!ui::is_window(window)) return;
  const RECT desktop = ui::get_window_rect(ui::desktop_window());
  const RECT r = ui::get_window_rect(window);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  ui::set_window_pos(window, ui::Hwnd(), (desktop.left + desktop.right - width) / 2,
                     (desktop.top + desktop.bottom - height) / 2, 0, 0,
                     ui::swp::no_size | ui::swp::no_zorder | ui::swp::no_activate);
}

void enable_dialog_item(ui::Hwnd dialog, int control_id, bool enable) noexcept {
  const ui::Hwnd control = ui::get_dlg_item(dialog, control_id);
  if (!control) return;
  // The focus may also sit in a window inside the control (an editable combo
  // box's own edit), which disabling the control would leave with no focus.
  const ui::Hwnd focus = ui::get_focus();
  const bool focused = focus == control || ui::is_child(control, focus);
  if (!enable && focused && ui::is_window_visible(dialog)) {
    // The next tab stop that takes the focus; none but itself leaves it.
    const ui::Hwnd next = ui::next_dlg_tab_item(dialog, control, false);
    if (next && next != control) ui::set_focus(next);
  }
  ui::enable_window(control, enable);
}

}  // namespace kelda::kit
