// A program that links only the Qt-free layer: it runs a dialog procedure
// against the scripted service and proves that no Qt library is loaded.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/testing.h"

using namespace kelda::ui;

namespace {
bool qt_loaded() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line))
    if (line.find("libQt") != std::string::npos) return true;
  return false;
}
}  // namespace

TEST(QtFree, DialogProcedureRunsAgainstTheScriptedServiceWithoutQt) {
  HeadlessUi ui;
  DialogTemplate t;
  t.caption = u"Add new crypto provider";
  t.cx = 160;
  t.cy = 60;
  t.items = {
      {class_name::edit, u"", 1009, ws::visible | ws::tab_stop | ws::border, 4, 4, 150, 12},
      {class_name::button, u"&Add", id::ok, ws::visible | ws::tab_stop | bs::def_push_button, 4, 40, 40, 14},
      {class_name::button, u"&Cancel", id::cancel, ws::visible | ws::tab_stop, 50, 40, 40, 14},
  };
  register_dialog_template("cipherhub", u"ADD_NEW_CRYPTO_PROVIDER_DIALOG_0X09_0X01", t);
  std::u16string section;
  ui.script().on_dialog(u"ADD_NEW_CRYPTO_PROVIDER_DIALOG_0X09_0X01", [](DialogDriver& d) {
    EXPECT_FALSE(d.enabled(id::ok));
    d.set_text(1009, u"Sekura32");
    EXPECT_TRUE(d.enabled(id::ok));
    d.click(id::ok);
  });
  intptr_t r = dialog_box("cipherhub", u"ADD_NEW_CRYPTO_PROVIDER_DIALOG_0X09_0X01", Hwnd{},
                          [&](Hwnd dlg, UINT msg, WPARAM wp, LPARAM) -> intptr_t {
                            if (msg == wm::init_dialog) {
                              enable_window(get_dlg_item(dlg, id::ok), false);
                              return 1;
                            }
                            if (msg == wm::command && lo_word(wp) == 1009 && hi_word(wp) == en::change) {
                              enable_window(get_dlg_item(dlg, id::ok), !get_dlg_item_text(dlg, 1009).empty());
                              return 1;
                            }
                            if (msg == wm::command && lo_word(wp) == id::ok) {
                              section = get_dlg_item_text(dlg, 1009);
                              end_dialog(dlg, id::ok);
                              return 1;
                            }
                            return 0;
                          });
  EXPECT_EQ(r, id::ok);
  EXPECT_EQ(section, u"Sekura32");
  EXPECT_FALSE(qt_loaded());
}
