// The chart dialogs inside a running terminal: while one is open the main
// view's arrow hot keys are free for the dialog (also while it shows a
// colour popup or opens its extra-parameter dialog), and they come back when
// it closes; the extra-parameter dialog hides the input panel on OK; a
// colour chosen with the control reaches the indicator's parameters.
#include <gtest/gtest.h>

#include <cstring>

#include "colour_picking.h"
#include "dialog_fixture.h"
#include "terminal/main_frame.h"
#include "terminal_chart/chart_properties_dialog.h"
#include "terminal_chart/indicator_dialogs.h"
#include "ui/screen.h"

namespace kelda::terminal {
namespace {

class ChartDialogKeysTest : public DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    register_chart_properties_dialog();
    register_indicator_dialogs();
  }
  ui::Hwnd view() { return app->frame()->view().hwnd(); }
  // Whether the main view holds the left arrow: no other window can take it then.
  bool arrows_held() {
    const ui::Hwnd probe = app->frame()->hwnd();
    if (!ui::register_hot_key(probe, 77, ui::mod::keyup, ui::vk::left)) return true;
    ui::unregister_hot_key(probe, 77);
    return false;
  }
};

TEST_F(ChartDialogKeysTest, ArrowKeysAreReleasedWhileAChartDialogIsOpen) {
  ASSERT_TRUE(arrows_held());
  bool in_properties = true;
  ui.script().on_dialog(kChartPropertiesDialogId, [&](ui::DialogDriver& d) {
    in_properties = arrows_held();
    d.click(ui::id::ok);
  });
  ChartPropertiesDlg properties;
  EXPECT_EQ(properties.do_modal(view()), ui::id::ok);
  EXPECT_FALSE(in_properties);
  EXPECT_TRUE(arrows_held());

  bool in_indicator = true, in_popup = true, in_params = true, after_params = true;
  ui.script().on_dialog(kIndicatorDialogId, [&](ui::DialogDriver& d) {
    in_indicator = arrows_held();
    EXPECT_TRUE(d.choose(indicator_id::type, u"Stochastic Oscillator"));
    const ui::Hwnd popup = colour_test::open_colour_popup(d.item(indicator_id::colour));
    EXPECT_TRUE(popup);
    in_popup = arrows_held();
    ui::scripted::tap_at(popup, {-20, -20});
    d.click(indicator_id::more);
    after_params = arrows_held();
    d.click(ui::id::ok);
  });
  // The %D line's colour (field 5 of form 198) is chosen in the popup.
  ui.script().on_dialog(198, [&](ui::DialogDriver& d) {
    in_params = arrows_held();
    ui::show_input_panel(true);
    colour_test::pick_colour(d.item(indicator_id::field + 2 * 5), 35);  // "Pale green"
    d.click(ui::id::ok);
    EXPECT_FALSE(ui::input_panel_shown());
  });
  IndicatorDlg indicator(std::vector<int32_t>{});
  ASSERT_EQ(indicator.do_modal(view()), ui::id::ok);
  EXPECT_FALSE(in_indicator);
  EXPECT_FALSE(in_popup);
  EXPECT_FALSE(in_params);
  EXPECT_FALSE(after_params);
  EXPECT_TRUE(arrows_held());
  uint32_t d_colour = 0;
  ASSERT_GE(indicator.settings().params.size(), 20u);
  std::memcpy(&d_colour, indicator.settings().params.data() + 16, 4);
  EXPECT_EQ(d_colour, 0x98FB98u);
  EXPECT_TRUE(ui.script().all_used());
  EXPECT_TRUE(ui.script().problems().empty());
}

// A window holding the arrows for its life (the order window) keeps them
// through a chart dialog opened and closed meanwhile; they come back only
// when the last holder returns them.
TEST_F(ChartDialogKeysTest, AClosingDialogDoesNotTakeTheArrowsFromAWindowHoldingThem) {
  MainView& main = app->frame()->view();
  main.hold_arrow_hot_keys();
  main.hold_arrow_hot_keys();
  ASSERT_FALSE(arrows_held());
  ui.script().on_dialog(kChartPropertiesDialogId, [&](ui::DialogDriver& d) { d.click(ui::id::ok); });
  ChartPropertiesDlg properties;
  EXPECT_EQ(properties.do_modal(view()), ui::id::ok);
  EXPECT_FALSE(arrows_held());
  main.return_arrow_hot_keys();
  EXPECT_FALSE(arrows_held());
  main.return_arrow_hot_keys();
  EXPECT_TRUE(arrows_held());
  main.return_arrow_hot_keys();  // one return too many changes nothing
  EXPECT_TRUE(arrows_held());
  EXPECT_TRUE(ui.script().all_used());
}

}  // namespace
}  // namespace kelda::terminal
