// The colour-selection control on the Qt backend, offscreen: the indicator
// dialog with its colour popup open is photographed (a PNG file in the build
// folder), and the cells on the screen carry the table's colours.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "colour_picking.h"
#include "terminal_chart/indicator_dialogs.h"
#include "ui/scripted_services.h"
#include "ui/services.h"
#include "ui/testing.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {
namespace {

// 0x00BBGGRR as the framebuffer's 0xRRGGBB.
uint32_t screen_rgb(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

TEST(ColorSelectScreens, TheIndicatorDialogsPopupIsPhotographed) {
  ui::QtUiOptions options;
  options.show_window = false;
  ui::QtUi qt(options);
  auto script = std::make_shared<ui::ScriptedServices>();
  const auto previous = ui::set_services(script);
  register_indicator_dialogs();
  const std::string dir = KELDA_GALLERY_DIR;
  std::filesystem::create_directories(dir);
  bool photographed = false;
  script->on_dialog(kIndicatorDialogId, [&](ui::DialogDriver& d) {
    EXPECT_TRUE(d.choose(indicator_id::type, u"Moving Average"));
    const ui::Hwnd popup = colour_test::open_colour_popup(d.item(indicator_id::colour));
    ASSERT_TRUE(popup);
    ui::update_window(popup);
    photographed = qt.save_screenshot(dir + "/terminal_colour_popup.png");
    // Every cell shows its colour at its centre; violet's cell is the marked one.
    const ui::Bitmap shot = qt.screenshot();
    for (int i = 0; i < kColorTableSize; ++i) {
      const POINT at = ui::client_to_screen(popup, colour_test::colour_cell_centre(i));
      EXPECT_EQ(shot.pixel(at.x, at.y) & 0xFFFFFF, screen_rgb(color_table()[static_cast<std::size_t>(i)].value))
          << color_table()[static_cast<std::size_t>(i)].name;
    }
    ui::scripted::tap_at(popup, colour_test::colour_cell_centre(27));  // "Bright green"
    d.click(ui::id::ok);
  });
  IndicatorDlg dialog(std::vector<int32_t>{});
  ASSERT_EQ(dialog.do_modal(ui::Hwnd{}), ui::id::ok);
  EXPECT_TRUE(photographed);
  EXPECT_EQ(dialog.settings().graph.colour, 0x00FF00u);
  EXPECT_TRUE(script->problems().empty());
  ui::set_services(previous);
}

}  // namespace
}  // namespace kelda::terminal
