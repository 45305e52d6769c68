// Pulsor: checks whether a host answers ICMP echo requests and how fast.
#include "ping/ping_dialog.h"
#include "platform/user_profile.h"
#include "ui_qt/qt_ui.h"

int main(int argc, char** argv) {
  kelda::ui::QtUiOptions options = kelda::ui::qt_ui_options_from_args(argc, argv);
  options.title = "Pulsor";
  kelda::ui::QtUi ui(options);
  kelda::ping::register_ping_resources();
  kelda::platform::UserProfile profile(u"Vestrel", u"Pulsor");
  kelda::ping::PingDialog dialog(profile);
  dialog.do_modal(kelda::ui::Hwnd{});
  return 0;
}
