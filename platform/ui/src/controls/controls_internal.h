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
void register_tab_control_class();
void register_menu_classes();

// Shared drawing helpers of the controls.
void draw_focus_rect(Canvas& c, const RECT& r);
// Fills the control's background as its parent asks (wm::ctl_color_*) and
// leaves the text colours set on the canvas.
const Brush* prepare_colors(WindowData& w, UINT ctl_color_msg, Canvas& c);

}  // namespace kelda::ui::detail
