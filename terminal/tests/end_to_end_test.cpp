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

#include "server_double/demo_market.h"
#include "server_double/server_double.h"
#include "terminal/login_dialog.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "testsupport/test_dir.h"
#include "ui/loop.h"
#include "ui/menu.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

namespace sd = server_double;

// Serves the demo market to one client at a time, moving it every 20 ms.
class DemoServer {
 public:
  DemoServer() : thread_([this] { run(); }) {}
  ~DemoServer() {
    stop_ = true;
    thread_.join();
  }
  uint16_t port() const { return server_.port(); }
  int sessions() const { return sessions_.load(); }
  void drop() {
    std::lock_guard lock(mutex_);
    if (current_ != nullptr) current_->drop();
  }

 private:
  void run() {
    while (!stop_) {
      std::unique_ptr<sd::Session> s = server_.accept(100);
      if (!s) continue;
      sd::HandshakeScript script;
      script.permissions = 0xC000;
      if (!s->handshake(script)) continue;
      sd::DemoMarket market(7);
      market.attach(*s);
      s->serve();
      market.open(*s);
      ++sessions_;
      {
        std::lock_guard lock(mutex_);
        current_ = s.get();
      }
      while (!stop_ && !s->closed() && !s->wait_for(sd::kLogout, 20)) market.step(*s);
      {
        std::lock_guard lock(mutex_);
        current_ = nullptr;
      }
      s->stop_serving();
    }
  }

  sd::ServerDouble server_;
  std::atomic<bool> stop_{false};
  std::atomic<int> sessions_{0};
  std::mutex mutex_;
  sd::Session* current_ = nullptr;
  std::thread thread_;
};

void write_work_folder(uint16_t port) {
  const std::string p = std::to_string(port);
  test::write_file_bytes(test::test_dir() / "KeldaMobile.txt",
                         "[connect]\nname=demo\ntrade-server-ip-address=127.0.0.1\nport=" + p +
                             "\nauth-name=\n\n[settings]\nautoreconnect=1\nglobal_filter=1\n\n"
                             "[CryptoProviders]\nNullCipher=1\n\n[NullCipher]\nModule=NullCipher.DLL\nIniFile=\n\n"
                             "[CryptoProvidersSettings]\nCipherCryptoProvider=NullCipher\n");
  test::write_file_bytes(test::test_dir() / "IP.CFG", "Demo market [127.0.0.1:" + p + ":]\n");
  test::write_file_bytes(test::test_dir() / "pdainfo.tcf", "[global_filter]\n2\n1 0 0 0 0\n\n\n2 0 0 0 0\n\n\n");
}

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
  write_work_folder(server.port());
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
