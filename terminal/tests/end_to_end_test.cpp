// The terminal program from start-up to exit against the loopback server
// double's demo market, driven offscreen with scripted input: the login
// dialog, the connect, the start event and the tables it fills, a dropped
// link with autoreconnect (timer 104 on the session's manual clock), and the
// exit confirmation.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "demo_server.h"
#include "terminal/login_dialog.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "testsupport/test_dir.h"
#include "ui/loop.h"
#include "ui/menu.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

std::size_t value_cells(const DataFeedManager& m) {
  std::size_t n = 0;
  for (const auto& [code, cls] : m.tables().classes) {
    for (const auto& [sec_code, sec] : cls->securities) n += sec->values.size();
  }
  return n;
}

bool greyed(ui::Hwnd frame, UINT command) {
  return (ui::get_menu_state(frame_menu(frame), command, ui::mf::by_command) & ui::mf::grayed) != 0;
}

TEST(TerminalEndToEnd, ConnectStartDroppedLinkReconnectAndExit) {
  DemoServer server;
  write_demo_work_folder(server.port());
  ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
  reset_log();
  ui::HeadlessUi ui;
  TerminalApp app;
  ASSERT_TRUE(app.init_instance());
  DataFeedManager& m = app.data();
  const ui::Hwnd frame = app.frame()->hwnd();
  EXPECT_FALSE(greyed(frame, cmd::connect));
  EXPECT_TRUE(greyed(frame, cmd::disconnect));
  EXPECT_TRUE(greyed(frame, cmd::quotes));
  EXPECT_EQ(app.frame()->view().header_caption(), u"Нет открытых окон");

  ui.script().on_dialog(kLoginDialogId, [](ui::DialogDriver& d) {
    EXPECT_EQ(d.text(login_id::name), u"demo");
    d.set_text(login_id::password, u"secret");
    d.click(ui::id::ok);
  });
  ui::send_message(frame, ui::wm::command, cmd::connect);
  ASSERT_TRUE(m.connected());
  ui::run_loop_until([&] { return m.started() && m.tables().classes.size() == 2 && value_cells(m) > 0; });
  EXPECT_EQ(m.trade_date_text(), "05.01.2024");
  EXPECT_TRUE(greyed(frame, cmd::connect));
  EXPECT_FALSE(greyed(frame, cmd::disconnect));
  EXPECT_FALSE(greyed(frame, cmd::quotes));
  EXPECT_TRUE(m.tables().find_class("TQBR") != nullptr);
  // save-password is off: nothing of the password reaches the file, but the
  // session keeps it for its reconnects.
  const std::string settings = test::read_file_bytes(test::test_dir() / "KeldaMobile.txt");
  EXPECT_NE(settings.find("password=\n"), std::string::npos);
  EXPECT_STREQ(m.session_password(), "secret");

  server.drop();
  ui::run_loop_until([&] { return !m.connected(); });
  EXPECT_FALSE(m.started());
  EXPECT_FALSE(greyed(frame, cmd::connect));
  const std::string log = test::read_file_bytes(test::test_dir() / "infolog.txt");
  EXPECT_NE(log.find("Reconnect timer set. Timeout = 10000"), std::string::npos);

  ui.advance(kReconnectPeriodMs);
  ASSERT_TRUE(m.connected());
  ui::run_loop_until([&] { return m.started() && value_cells(m) > 0; });
  EXPECT_EQ(server.sessions(), 2);
  EXPECT_EQ(ui.script().asked(ui::ScriptedServices::Asked::Kind::modal_dialog).size(), 1u)
      << "a reconnect shows no login dialog";
  ui.advance(kReconnectPeriodMs);  // the timer was killed: no third session
  EXPECT_EQ(server.sessions(), 2);

  // Exit: "No" leaves everything running, "Yes" closes the frame and disconnects.
  ui.script().answer_message_box(ui::id::no, u"завершить работу");
  ui::send_message(frame, ui::wm::command, cmd::exit);
  EXPECT_TRUE(ui::is_window(frame));
  ui.script().answer_message_box(ui::id::yes, u"завершить работу");
  ui::send_message(frame, ui::wm::command, cmd::exit);
  EXPECT_FALSE(ui::is_window(frame));
  EXPECT_FALSE(m.connected());
  EXPECT_TRUE(ui.script().problems().empty());
}

}  // namespace
}  // namespace kelda::terminal
