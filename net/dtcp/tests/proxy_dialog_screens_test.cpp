// The proxy settings dialog on the Qt backend (offscreen), in English and
// Russian, with an address typed into its IP-address control: each leaves a
// screenshot in the build folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "proxy.h"
#include "proxy_dialogs.h"
#include "ui/ip_address.h"
#include "ui/loop.h"
#include "ui/scripted_services.h"
#include "ui/testing.h"
#include "ui_qt/qt_ui.h"

namespace kelda::dtcp::testing {
namespace {

namespace ids = proxy_ids;

TEST(ProxyDialogScreens, TheSettingsDialogIsPhotographedWithItsAddressControl) {
  ui::QtUiOptions options;
  options.show_window = false;
  ui::QtUi qt(options);
  auto script = std::make_shared<ui::ScriptedServices>();
  ui::set_services(script);
  std::filesystem::create_directories(KELDA_SCREENSHOT_DIR);
  struct Shot {
    const char16_t* template_name;
    Locale locale;
    const char* file;
  };
  const Shot shots[] = {
      {u"PROXY_CFG_DIALOG_0X09_0X01", Locale{}, "proxy_settings_en.png"},
      {u"PROXY_CFG_DIALOG_0X19_0X01", Locale{0x19, 0x01, 0x01}, "proxy_settings_ru.png"},
  };
  for (const Shot& s : shots) {
    SCOPED_TRACE(s.file);
    zn_proxy_params proxy{1, 1, 0x0100007F, 3128, kProxySocks5Login, 1, "alice", "secret"};
    const std::string path = std::string(KELDA_SCREENSHOT_DIR) + "/" + s.file;
    std::filesystem::remove(path);
    bool saved = false;
    std::u16string shown;
    script->on_dialog(s.template_name, [&](ui::DialogDriver& d) {
      d.set_text(ids::address, u"192.168.10.254");
      ui::set_focus(d.item(ids::port));
      shown = d.text(ids::address);
      ui::update_window(d.dialog());
      ui::process_pending();
      saved = qt.save_screenshot(path);
      d.click(ui::id::cancel);
    });
    EXPECT_FALSE(run_proxy_settings_dialog(proxy, 0, s.locale));
    EXPECT_EQ(shown, u"192.168.10.254");
    EXPECT_TRUE(saved);
    EXPECT_GT(std::filesystem::file_size(path), 1000u);
  }
  EXPECT_TRUE(script->all_used());
  ui::set_services(nullptr);
}

}  // namespace
}  // namespace kelda::dtcp::testing
