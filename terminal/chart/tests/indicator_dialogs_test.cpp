// The indicator dialog, the level-lines dialog and the extra-parameter
// dialogs, driven through the scripted dialog service.
#include <gtest/gtest.h>

#include <cstring>

#include "colour_picking.h"
#include "terminal_chart/indicator_dialogs.h"
#include "ui/controls.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

int32_t word(const std::vector<uint8_t>& block, std::size_t offset) {
  int32_t v = 0;
  std::memcpy(&v, block.data() + offset, 4);
  return v;
}

GraphSettings defaults(int32_t kind) {
  GraphSettings s;
  s.kind = kind;
  set_indicator_defaults(s);
  return s;
}

class IndicatorDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { register_indicator_dialogs(); }
  static std::u16string selected(ui::DialogDriver& d, int id) {
    const ui::ComboBoxControl combo{d.item(id)};
    return combo.cur_sel() < 0 ? u"" : combo.text(combo.cur_sel());
  }
  ui::HeadlessUi ui;
};

TEST_F(IndicatorDialogsTest, ANewIndicatorTakesTheKindsDefaultsAndAPane) {
  ui.script().on_dialog(kIndicatorDialogId, [](ui::DialogDriver& d) {
    const ui::ComboBoxControl windows{d.item(indicator_id::window)};
    ASSERT_EQ(windows.count(), 3);
    EXPECT_EQ(windows.text(0), u"Новое окно");
    EXPECT_EQ(selected(d, indicator_id::window), u"Новое окно");
    EXPECT_EQ(ui::ComboBoxControl{d.item(indicator_id::type)}.count(), 33);
    EXPECT_EQ(selected(d, indicator_id::type), u"Price");
    EXPECT_FALSE(d.enabled(indicator_id::more));
    EXPECT_TRUE(d.choose(indicator_id::type, u"AO"));
    EXPECT_FALSE(d.enabled(indicator_id::colour));
    EXPECT_TRUE(d.choose(indicator_id::type, u"Bollinger Bands"));
    EXPECT_TRUE(d.enabled(indicator_id::more));
    EXPECT_EQ(d.text(indicator_id::colour), u"8388736");
    colour_test::pick_colour(d.item(indicator_id::colour), 16);  // "Red"
    EXPECT_TRUE(d.choose(indicator_id::window, u"Окно2"));
    d.click(ui::id::ok);
  });
  IndicatorDlg dialog({7, 9});
  ASSERT_EQ(dialog.do_modal(ui::Hwnd{}), ui::id::ok);
  const GraphSettings& s = dialog.settings();
  EXPECT_EQ(s.kind, indicator::bollinger);
  EXPECT_EQ(s.pane_id, 9);
  EXPECT_EQ(s.graph.colour, 255u);
  EXPECT_EQ(word(s.params, 16), 255);  // both bands follow the colour
  EXPECT_EQ(word(s.params, 156), 255);
  EXPECT_TRUE(ui.script().problems().empty());
}

TEST_F(IndicatorDialogsTest, ASixthPaneIsRefusedButAnExistingOneIsTaken) {
  ui.script().answer_message_box(ui::id::ok, u"Невозможно создать больше окон");
  ui.script().on_dialog(kIndicatorDialogId, [](ui::DialogDriver& d) {
    d.click(ui::id::ok);
    EXPECT_TRUE(d.open());
    EXPECT_TRUE(d.choose(indicator_id::window, u"Окно5"));
    d.click(ui::id::ok);
  });
  IndicatorDlg dialog({1, 2, 3, 4, 5});
  ASSERT_EQ(dialog.do_modal(ui::Hwnd{}), ui::id::ok);
  EXPECT_EQ(dialog.settings().pane_id, 5);
  EXPECT_TRUE(ui.script().all_used());
}

TEST_F(IndicatorDialogsTest, EditModeKeepsThePaneAndEditsTheParametersAndLevels) {
  GraphSettings graph = defaults(indicator::moving_average);
  graph.graph_id = 12;
  graph.pane_id = 4;
  graph.graph.colour = 0x123456;
  ui.script().on_dialog(kIndicatorDialogId, [](ui::DialogDriver& d) {
    EXPECT_FALSE(d.enabled(indicator_id::window));
    EXPECT_EQ(selected(d, indicator_id::window), u"Окно2");
    EXPECT_EQ(selected(d, indicator_id::type), u"Moving Average");
    EXPECT_EQ(d.text(indicator_id::colour), u"1193046");
    d.click(indicator_id::more);
    d.click(indicator_id::levels);
    d.click(ui::id::ok);
  });
  // Periods out of range are refused one by one, then 50000 is taken.
  ui.script().answer_message_box(ui::id::ok, u"Введите число от 1 до 50000");
  ui.script().answer_message_box(ui::id::ok, u"Введите число от 1 до 50000");
  ui.script().on_dialog(179, [](ui::DialogDriver& d) {
    EXPECT_EQ(d.text(indicator_id::field), u"9");
    EXPECT_EQ(selected(d, indicator_id::field + 2), u"Exponential");
    d.set_text(indicator_id::field, u"0");
    d.click(ui::id::ok);
    d.set_text(indicator_id::field, u"50001");
    d.click(ui::id::ok);
    EXPECT_TRUE(d.open());
    d.set_text(indicator_id::field, u"50000");
    EXPECT_TRUE(d.choose(indicator_id::field + 2, u"Simple"));
    EXPECT_TRUE(d.choose(indicator_id::field + 4, u"High"));
    d.click(ui::id::ok);
  });
  ui.script().answer_message_box(ui::id::ok, u"Такая линия уровня уже существует.");
  ui.script().on_dialog(kLevelsDialogId, [](ui::DialogDriver& d) {
    const ui::ListBoxControl list{d.item(indicator_id::level_list)};
    for (const char16_t* level : {u"50", u"-2.5", u"50.000000", u"50.00001"}) {
      d.set_text(indicator_id::level_value, level);
      d.click(indicator_id::level_add);
    }
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.text(1), u"-2.50");
    list.set_cur_sel(0);
    d.click(indicator_id::level_remove);
    EXPECT_EQ(list.text(0), u"-2.50");
    EXPECT_EQ(list.item_data(1), 1);
    d.click(ui::id::ok);
  });
  IndicatorDlg dialog(graph, {3, 4});
  ASSERT_EQ(dialog.do_modal(ui::Hwnd{}), ui::id::ok);
  const GraphSettings& s = dialog.settings();
  EXPECT_EQ(s.pane_id, 4);
  EXPECT_EQ(s.graph.colour, 0x123456u);
  EXPECT_EQ(word(s.params, 0), 50000);
  EXPECT_EQ(word(s.params, 4), 1);
  EXPECT_EQ(word(s.params, 8), 2);
  ASSERT_EQ(s.levels.size(), 2u);
  EXPECT_EQ(s.levels[0].price, -2.5);
  EXPECT_EQ(s.levels[1].price, 50.00001);
  EXPECT_EQ(s.levels[1].colour, kLevelLineColour);
  EXPECT_TRUE(ui.script().all_used());
  EXPECT_TRUE(ui.script().problems().empty());
}

TEST_F(IndicatorDialogsTest, AKindWithColoursOfItsOwnKeepsTheGraphsColour) {
  GraphSettings graph = defaults(indicator::awesome);
  graph.pane_id = 3;
  graph.graph.colour = 0x123456;
  ui.script().on_dialog(kIndicatorDialogId, [](ui::DialogDriver& d) {
    EXPECT_FALSE(d.enabled(indicator_id::colour));
    EXPECT_EQ(d.text(indicator_id::colour), u"8421504");  // shown grey
    d.click(ui::id::ok);
  });
  IndicatorDlg dialog(graph, {3});
  ASSERT_EQ(dialog.do_modal(ui::Hwnd{}), ui::id::ok);
  EXPECT_EQ(dialog.settings().graph.colour, 0x123456u);
}

TEST_F(IndicatorDialogsTest, ParameterFormsShowAndStoreTheirFields) {
  // The MACD histogram's signal page greys its chart kind and colour; the
  // pages show one at a time.
  ui.script().on_dialog(227, [](ui::DialogDriver& d) {
    const int signal_colour = indicator_id::field + 2 * 8;
    EXPECT_FALSE(ui::is_window_visible(d.item(signal_colour)));
    EXPECT_FALSE(d.enabled(signal_colour));
    EXPECT_EQ(d.checked(indicator_id::field + 2 * 4), 1);  // "Проценты"
    // Each field's caption comes and goes with its page.
    const int short_caption = indicator_id::field + 1;
    const int signal_caption = indicator_id::field + 2 * 5 + 1;
    EXPECT_TRUE(ui::is_window_visible(d.item(short_caption)));
    EXPECT_EQ(d.text(short_caption), u"Короткий период");
    EXPECT_FALSE(ui::is_window_visible(d.item(signal_caption)));
    const ui::TabControlWrapper tabs{d.item(indicator_id::tabs)};
    tabs.set_cur_sel(1);
    ui::NotifyHeader change{d.item(indicator_id::tabs), static_cast<uintptr_t>(indicator_id::tabs), ui::tcn::sel_change};
    ui::send_notify(d.dialog(), change);
    EXPECT_FALSE(ui::is_window_visible(d.item(short_caption)));
    EXPECT_TRUE(ui::is_window_visible(d.item(signal_caption)));
    EXPECT_EQ(d.text(signal_caption), u"Кол-во периодов");
    tabs.set_cur_sel(0);
    ui::send_notify(d.dialog(), change);
    d.click(indicator_id::field + 2 * 4 + 1);
    d.set_text(indicator_id::field + 2 * 5, u"4");
    d.click(ui::id::ok);
  });
  IndicatorParamsDlg macd(indicator::macd_histogram, defaults(indicator::macd_histogram).params);
  ASSERT_EQ(macd.do_modal(ui::Hwnd{}), ui::id::ok);
  EXPECT_EQ(word(macd.block(), 16), 0);
  EXPECT_EQ(word(macd.block(), 20), 4);
  EXPECT_EQ(word(macd.block(), 24), 0x0000FF);  // the greyed signal colour is kept, not read as grey
  // Reals with two decimals; a third is refused.
  ui.script().answer_message_box(ui::id::ok);
  ui.script().on_dialog(195, [](ui::DialogDriver& d) {
    EXPECT_EQ(d.text(indicator_id::field), u"0.02");
    d.set_text(indicator_id::field + 2, u"0.255");
    d.click(ui::id::ok);
    d.set_text(indicator_id::field + 2, u"0.25");
    d.click(ui::id::ok);
  });
  IndicatorParamsDlg sar(10, defaults(10).params);
  ASSERT_EQ(sar.do_modal(ui::Hwnd{}), ui::id::ok);
  double maximum = 0;
  std::memcpy(&maximum, sar.block().data() + 8, 8);
  EXPECT_EQ(maximum, 0.25);
  EXPECT_TRUE(ui.script().all_used());
}

}  // namespace
}  // namespace kelda::terminal
