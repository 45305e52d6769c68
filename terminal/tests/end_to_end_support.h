// Helpers shared by the terminal's end-to-end tests: waiting on the message
// loop with a deadline, opening a window by its menu command, and logging in
// to the demo server. UI thread only; nothing here owns a window.
#pragma once

#include <cstdint>
#include <functional>

#include <gtest/gtest.h>

#include "terminal/instrument_pickers.h"
#include "terminal/login_dialog.h"
#include "terminal/main_frame.h"
#include "terminal/terminal_app.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/scripted_services.h"
#include "ui/window.h"
#include "ui/testing.h"

namespace kelda::terminal::test_e2e {

// Runs the loop until `done` holds or `seconds` pass; answers `done()`. A
// timer of its own wakes the loop, so the check runs and the deadline is seen
// even while no event comes (a condition set by another thread included).
inline bool wait_for(const std::function<bool()>& done, int seconds = 30) {
  const uint64_t deadline = ui::now_ms() + static_cast<uint64_t>(seconds) * 1000;
  const uintptr_t tick = ui::set_timer(ui::Hwnd{}, 0, 20, [](ui::Hwnd, UINT, uintptr_t, DWORD) {});
  ui::run_loop_until([&] { return done() || ui::now_ms() > deadline; });
  ui::kill_timer(ui::Hwnd{}, tick);
  return done();
}

// Sends the menu command that creates a window and answers the active window
// as a `W` (null when the command opened none or another kind).
template <typename W>
W* open_window(TerminalApp& app, UINT command) {
  ui::send_message(app.frame()->hwnd(), ui::wm::command, command);
  MainView& view = app.frame()->view();
  return dynamic_cast<W*>(view.slot(view.active_slot()));
}

// Answers the instrument pickers of the next market windows: Gazprom for a
// new order book, every share for a parameters window's list.
inline void pick_gazprom_and_every_share(ui::ScriptedServices& script) {
  script.on_dialog(kNewMarketWindowDialogId, [](ui::DialogDriver& d) {
    EXPECT_TRUE(d.choose(picker_id::class_list, u"Shares"));
    EXPECT_TRUE(d.choose(picker_id::security_list, u"Gazprom"));
    d.click(ui::id::ok);
  });
  script.on_dialog(kAddTableItemDialogId, [](ui::DialogDriver& d) {
    EXPECT_TRUE(d.choose(picker_id::class_list, u"Shares"));
    const ui::ListBoxControl items{d.item(picker_id::items)};
    for (int i = 0; i < items.count(); ++i) items.set_sel(i, true);
    d.click(ui::id::ok);
  });
}

// Connects through the menu, answering the login dialog with the demo
// server's password; the caller checks the outcome.
inline void connect_to_demo(TerminalApp& app, ui::ScriptedServices& script) {
  script.on_dialog(kLoginDialogId, [](ui::DialogDriver& d) {
    d.set_text(login_id::password, u"demo");
    d.click(ui::id::ok);
  });
  ui::send_message(app.frame()->hwnd(), ui::wm::command, cmd::connect);
}

// Leaves as a user does, through the exit command and its confirmation box:
// the link closes before the terminal goes, so the library's receive thread
// delivers nothing to a terminal being destroyed.
inline void exit_through_menu(TerminalApp& app, ui::ScriptedServices& script) {
  script.answer_message_box(ui::id::yes, u"завершить работу");
  ui::send_message(app.frame()->hwnd(), ui::wm::command, cmd::exit);
}

}  // namespace kelda::terminal::test_e2e
