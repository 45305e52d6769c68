// The column setup dialog: adding before a selected column, the limit and
// its warning, "Да" only with columns chosen, pictures that follow the
// screen's turn, and a table window's layout and section after "Да".
#include <gtest/gtest.h>

#include <cstdlib>

#include "fake_client.h"
#include "terminal/column_setup_dialog.h"
#include "terminal/layout_files.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "testsupport/test_dir.h"
#include "ui/controls.h"
#include "ui/screen.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

namespace id = column_setup_id;

void select(const ui::DialogDriver& d, int list, std::initializer_list<int> rows) {
  for (const int row : rows) ui::ListBoxControl{d.item(list)}.set_sel(row, true);
}

std::u16string picture_of(const ui::DialogDriver& d, int button) {
  auto* b = dynamic_cast<ui::BitmapButton*>(ui::Window::from_handle(d.item(button)));
  return b != nullptr ? b->base_name() : u"";
}

class TerminalColumnSetup : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
    reset_log();
    register_table_windows();
  }
  ui::HeadlessUi ui;
};

TEST_F(TerminalColumnSetup, AddedColumnsGoBeforeTheSelectedOneAndTheListCanBeEmptied) {
  ColumnChoice choice{{"A", "B", "X", ""}, {2}, 30};
  ui.script().on_dialog(kColumnSetupPortraitId, [](ui::DialogDriver& d) {
    EXPECT_TRUE(d.enabled(ui::id::ok));
    EXPECT_EQ(picture_of(d, id::add), u"ADDCOL_BTN");
    select(d, id::available, {0, 1});
    select(d, id::current, {0});
    d.click(id::add);
    ui::ListBoxControl{d.item(id::available)}.set_sel(-1, false);
    select(d, id::available, {3});  // no name: never added
    d.click(id::add);
    const ui::ListBoxControl current{d.item(id::current)};
    ASSERT_EQ(current.count(), 3);
    EXPECT_EQ(current.text(0), u"B");
    EXPECT_EQ(current.text(2), u"X");
    // Move the last two up one place each.
    for (int row = 0; row < 3; ++row) current.set_sel(row, row > 0);
    d.click(id::move_up);
    EXPECT_EQ(current.text(0), u"A");
    EXPECT_EQ(current.text(1), u"X");
    d.click(ui::id::ok);
  });
  ASSERT_TRUE(run_column_setup_dialog(ui::Hwnd{}, choice));
  EXPECT_EQ(choice.chosen, (std::vector<int>{0, 2, 1}));

  ui.script().on_dialog(kColumnSetupPortraitId, [](ui::DialogDriver& d) {
    d.click(id::remove_all);
    EXPECT_FALSE(d.enabled(ui::id::ok));
    d.click(ui::id::cancel);
  });
  EXPECT_FALSE(run_column_setup_dialog(ui::Hwnd{}, choice));
  EXPECT_TRUE(ui.script().all_used());
}

TEST_F(TerminalColumnSetup, MoreColumnsThanTheLimitAreCutAfterOneWarning) {
  ColumnChoice choice;
  for (int i = 0; i < 31; ++i) choice.names.push_back("c" + std::to_string(i));
  ui.script().on_dialog(kColumnSetupPortraitId, [](ui::DialogDriver& d) {
    d.click(id::add_all);
    d.click(ui::id::ok);
  });
  ui.script().answer_message_box(ui::id::ok, u"Достигнуто максимальное количество параметров");
  ASSERT_TRUE(run_column_setup_dialog(ui::Hwnd{}, choice));
  EXPECT_EQ(choice.chosen.size(), 30u);
  EXPECT_EQ(choice.chosen.back(), 29);
  EXPECT_TRUE(ui.script().all_used());
}

TEST_F(TerminalColumnSetup, ThePicturesFollowTheScreensTurn) {
  ColumnChoice choice{{"A"}, {0}, 30};
  ui.script().on_dialog(kColumnSetupPortraitId, [](ui::DialogDriver& d) {
    ui::set_screen_size(320, 240);
    EXPECT_EQ(picture_of(d, id::add_all), u"ADDALLH_BTN");
    EXPECT_EQ(picture_of(d, id::move_up), u"MOVEUP_BTN");
    ui::set_screen_size(240, 320);
    EXPECT_EQ(picture_of(d, id::add_all), u"ADDALL_BTN");
    d.click(ui::id::cancel);
  });
  run_column_setup_dialog(ui::Hwnd{}, choice);
  EXPECT_TRUE(ui.script().all_used());
}

TEST_F(TerminalColumnSetup, ATableTakesTheChosenColumnsAndWritesTheirCodes) {
  FakeClient client;
  TerminalApp app(client);
  ASSERT_TRUE(app.init_instance());
  MainView& view = app.frame()->view();
  auto& trades = dynamic_cast<TableWnd&>(*view.slot(view.create_window_for_command(cmd::trades)));
  trades.list().set_column_width(1, 41);
  trades.list().set_column_width(2, 42);
  ui.script().choose_menu_command(kTableSettingsCommand);
  ui.script().on_dialog(kColumnSetupPortraitId, [](ui::DialogDriver& d) {
    d.click(id::remove_all);
    select(d, id::available, {4, 1});  // "Цена", "Время"
    d.click(id::add);
    d.click(ui::id::ok);
  });
  ui::GestureNotify hold;
  hold.hdr.from = trades.list().hwnd;
  hold.hdr.id_from = kTableListId;
  hold.hdr.code = ui::gn::context_menu;
  ui::send_notify(trades.hwnd(), hold.hdr);
  EXPECT_TRUE(ui.script().all_used());
  ASSERT_EQ(trades.list().column_count(), 3);
  EXPECT_EQ(trades.list().column_title(1), to_wide(cp1251("Время")));
  EXPECT_EQ(trades.list().column_title(2), to_wide(cp1251("Цена")));
  EXPECT_EQ(trades.list().column_width(1), 41) << "widths stay with their positions";
  EXPECT_EQ(trades.list().column_width(2), 42);
  const SavedSection saved((test::test_dir() / "pdainfo.tcf").string(), "TradesWnd");
  EXPECT_EQ(saved.get_int("numpars", 0), 2);
  EXPECT_EQ(saved.get_int("par1code", 0), 2);
  EXPECT_EQ(saved.get_int("par2code", 0), 5);
  EXPECT_EQ(saved.get_int("par9code", -1), 0);
}

}  // namespace
}  // namespace kelda::terminal
