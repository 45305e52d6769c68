// Registers every standard control class.
#include "controls_internal.h"

namespace kelda::ui::detail {

void register_control_classes() {
  register_button_class();
  register_static_class();
  register_edit_class();
  register_list_box_class();
  register_combo_box_class();
  register_scroll_bar_class();
  register_list_view_class();
  register_up_down_class();
  register_date_picker_class();
  register_ip_address_class();
  register_tab_control_class();
  register_menu_classes();
}

}  // namespace kelda::ui::detail
