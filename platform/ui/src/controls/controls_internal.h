// Internal declarations of the standard controls.
#pragma once

#include "../core.h"
#include "ui/controls.h"

namespace kelda::ui::detail {

void register_control_classes();

// Each control class registers itself through one of these.
void register_button_class();
void register_static_class();
void register_edit_class();
void register_list_box_class();
void register_combo_box_class();
void register_scroll_bar_class();
void register_list_view_class();
void register_up_down_class();
void register_date_picker_class();
void register_ip_address_class();
void register_tab_control_class();
void register_menu_classes();

// Keeps a control's handle across a call-out that may destroy its window (a
// notification, a focus or capture change, a message to another window):
// alive() answers the window's data again, or null once it is gone, and gone()
// says whether it went.
class AliveGuard {
 public:
  explicit AliveGuard(const WindowData& w) : handle_(w.handle) {}
  explicit AliveGuard(Hwnd h) : handle_(h) {}
  WindowData* alive() const { return lookup(handle_); }
  bool gone() const { return alive() == nullptr; }
  Hwnd handle() const { return handle_; }

 private:
  Hwnd handle_;
};

// Copies a text into a caller's buffer of `room` characters (more than 0),
// cut to fit with its terminator; answers the characters copied.
LRESULT copy_text_out(std::u16string_view text, char16_t* out, size_t room);

// Shared drawing helpers of the controls.
void draw_focus_rect(Canvas& c, const RECT& r);
// Fills the control's background as its parent asks (wm::ctl_color_*) and
// leaves the text colours set on the canvas.
const Brush* prepare_colors(WindowData& w, UINT ctl_color_msg, Canvas& c);

}  // namespace kelda::ui::detail
