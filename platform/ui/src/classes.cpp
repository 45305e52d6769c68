// Registration of the layer's own window classes.
#include "controls/controls_internal.h"
#include "core.h"
#include "dialog_internal.h"

namespace kelda::ui::detail {

void register_builtin_classes() {
  static const bool done = [] {
    register_behavior_class<DialogBehavior>(u"Dialog");
    register_control_classes();
    return true;
  }();
  (void)done;
}

}  // namespace kelda::ui::detail
