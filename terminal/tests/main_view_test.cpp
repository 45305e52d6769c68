// The main view's window manager with small test window kinds: creation from
// menu commands, one window at most of a single kind, the window menu, next,
// previous and close, the 20-slot limit, fan-out by kind and UM_CLEAR.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "terminal/login_dialog.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "testsupport/test_dir.h"
#include "ui/controls.h"
#include "ui/menu.h"
#include "ui/screen.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

struct Seen {
  int trades = 0;
  int clears = 0;
};

class TestWindow : public TerminalWindow {
 public:
  TestWindow(int kind, Seen& seen) : TerminalWindow(kind), seen_(seen) {}
  void on_trade(const KelapiTradeRecord&) override { ++seen_.trades; }
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == UM_CLEAR) {
      ++seen_.clears;
      return 1;
    }
    return TerminalWindow::window_proc(msg, wparam, lparam);
  }

 private:
  Seen& seen_;
};

class TerminalMainView : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
    reset_log();
    register_window_kind({kind::trades, cmd::trades, true, cp1251("Сделки"), {},
                          [this] { return std::make_unique<TestWindow>(kind::trades, seen); }});
    register_window_kind({kind::quotes, cmd::quotes, false, "", [](std::string& caption) {
                            caption = "GAZP [TQBR]";
                            return true;
                          },
                          [this] { return std::make_unique<TestWindow>(kind::quotes, seen); }});
    app = std::make_unique<TerminalApp>();
    ASSERT_TRUE(app->init_instance());
  }
  void TearDown() override {
    app.reset();
    unregister_window_kind(kind::trades);
    unregister_window_kind(kind::quotes);
  }
  MainView& view() { return app->frame()->view(); }
  ui::Hmenu windows_menu() { return ui::get_sub_menu(frame_menu(app->frame()->hwnd()), 1); }

  ui::HeadlessUi ui;
  Seen seen;
  std::unique_ptr<TerminalApp> app;
};

TEST_F(TerminalMainView, CommandsCreateActivateAndCloseWindows) {
  const int trades = view().create_window_for_command(cmd::trades);
  ASSERT_EQ(trades, 0);
  EXPECT_EQ(view().header_caption(), u"Сделки");
  EXPECT_TRUE(ui::menu_has_command(windows_menu(), kFirstSelectCommand + 0));
  EXPECT_EQ(view().create_window_for_command(cmd::trades), 0) << "one trades window at most";
  EXPECT_EQ(view().create_window_for_command(cmd::quotes), 1);
  EXPECT_EQ(view().create_window_for_command(cmd::quotes), 2) << "quotes windows are not single";
  EXPECT_EQ(view().open_count(), 3);
  EXPECT_EQ(view().header_caption(), u"GAZP [TQBR]");

  view().activate_next_window();  // from the highest slot: wraps to the lowest
  EXPECT_EQ(view().active_slot(), 0);
  view().activate_prev_window();  // from the lowest: wraps to the highest
  EXPECT_EQ(view().active_slot(), 2);

  view().activate_slot(1);
  view().close_active_window();  // the nearest occupied slot below
  EXPECT_EQ(view().active_slot(), 0);
  EXPECT_FALSE(ui::menu_has_command(windows_menu(), kFirstSelectCommand + 1));
  view().close_active_window();  // none below: the one above
  EXPECT_EQ(view().active_slot(), 2);
  view().close_active_window();
  EXPECT_EQ(view().active_slot(), -1);
  EXPECT_EQ(view().open_count(), 0);
  EXPECT_EQ(view().header_caption(), u"Нет открытых окон");
}

TEST_F(TerminalMainView, FanOutReachesOnlyItsKindAndClearReachesAll) {
  view().create_window_for_command(cmd::trades);
  view().create_window_for_command(cmd::quotes);
  KelapiTradeRecord trade{};
  view().fan_out_trade(trade);
  EXPECT_EQ(seen.trades, 1);
  app->data().clear_tables();
  EXPECT_EQ(seen.clears, 2);
  // A command routed through the frame selects a window by its menu item.
  ui::send_message(app->frame()->hwnd(), ui::wm::command, kFirstSelectCommand + 0);
  EXPECT_EQ(view().active_slot(), 0);
}

TEST_F(TerminalMainView, TheAboutBoxShowsItsPictureAndHidesTheInputPanelButton) {
  app->data().input_panel_button = true;
  bool pictured = false;
  ui.script().on_dialog(kAboutDialogId, [&](ui::DialogDriver& d) {
    pictured = ui::send_message(d.item(kAboutPictureId), ui::stm::get_image, ui::image_type::bitmap) != 0;
    d.click(ui::id::ok);
  });
  ui::send_message(app->frame()->hwnd(), ui::wm::command, cmd::about);
  EXPECT_TRUE(pictured);
  EXPECT_FALSE(app->data().input_panel_button);
  ui::show_input_panel(true);
  ui.advance(100);
  EXPECT_FALSE(ui::input_panel_shown()) << "the deferred update closed the input panel";
  EXPECT_TRUE(ui.script().all_used());
}

TEST_F(TerminalMainView, TwentyWindowsAreTheLimit) {
  for (int i = 0; i < kSlotCount; ++i) ASSERT_EQ(view().create_window_for_command(cmd::quotes), i);
  ui.script().answer_message_box(ui::id::ok, u"Невозможно открыть больше окон");
  EXPECT_EQ(view().create_window_for_command(cmd::trades), -1);
  EXPECT_TRUE(ui.script().all_used());
  EXPECT_TRUE(ui.script().problems().empty());
}

// While the login dialog is active, Left and Right move the caret in its
// fields; once it closes they switch the terminal's windows again.
TEST_F(TerminalMainView, TheLoginDialogTakesTheArrowKeysWhileItIsOpen) {
  view().create_window_for_command(cmd::trades);
  view().create_window_for_command(cmd::quotes);
  ASSERT_EQ(view().active_slot(), 1);
  int caret = -1;
  ui.script().on_dialog(kLoginDialogId, [&](ui::DialogDriver& d) {
    d.set_text(login_id::name, u"ivan");
    d.press_key(ui::vk::left);
    d.press_key(ui::vk::left);
    d.press_key(ui::vk::right);
    caret = ui::lo_word(static_cast<uintptr_t>(ui::send_message(d.item(login_id::name), ui::em::get_sel)));
    d.click(ui::id::cancel);
  });
  LoginDlg login;
  EXPECT_EQ(login.do_modal(app->frame()->hwnd()), ui::id::cancel);
  EXPECT_EQ(caret, 3);
  EXPECT_EQ(view().active_slot(), 1) << "the arrows did not switch windows behind the dialog";
  ui::scripted::press_key(ui::vk::left);
  EXPECT_EQ(view().active_slot(), 0) << "the arrows switch windows again after the dialog";
  EXPECT_TRUE(ui.script().all_used());
}

}  // namespace
}  // namespace kelda::terminal
