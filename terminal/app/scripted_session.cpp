// The scripted session of the program.
#include "scripted_session.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/host_addresses.h"
#include "terminal/text_log.h"
#include "ui/loop.h"
#include "ui/scripted_services.h"
#include "ui/services.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

constexpr UINT kPollMs = 250;

struct SessionState {
  TerminalApp* app = nullptr;
  ui::QtUi* qt = nullptr;
  ScriptedSessionOptions options;
  std::shared_ptr<ui::ScriptedServices> script;
  enum class Step { connect, wait_start, wait_moves, done } step = Step::connect;
  uint64_t started_at = 0;
  std::size_t values_at_start = 0;
  int shots = 0;
  bool succeeded = false;
};

SessionState& state() {
  static SessionState s;
  return s;
}

std::size_t value_cells(const DataFeedManager& m) {
  std::size_t n = 0;
  for (const auto& [code, cls] : m.tables().classes) {
    for (const auto& [sec_code, sec] : cls->securities) n += sec->values.size();
  }
  return n;
}

void shoot(const char* name) {
  SessionState& s = state();
  const std::string path = s.options.screenshot_folder + "/" + std::to_string(++s.shots) + "-" + name + ".png";
  ui::process_pending();
  if (s.qt->save_screenshot(path)) std::printf("KeldaMobile: screenshot %s\n", path.c_str());
  std::fflush(stdout);
}

void finish() {
  SessionState& s = state();
  s.step = SessionState::Step::done;
  shoot("before-exit");
  s.script->answer_message_box(ui::id::yes, u"завершить работу");
  ui::post_message(s.app->frame()->hwnd(), ui::wm::command, cmd::exit, 0);
}

void poll(ui::Hwnd, UINT, uintptr_t, DWORD) {
  SessionState& s = state();
  DataFeedManager& m = s.app->data();
  if (ui::now_ms() - s.started_at > static_cast<uint64_t>(s.options.timeout_ms) &&
      s.step != SessionState::Step::done) {
    std::printf("KeldaMobile: the scripted session timed out\n");
    finish();
    return;
  }
  switch (s.step) {
    case SessionState::Step::connect:
      break;
    case SessionState::Step::wait_start:
      if (m.started()) {
        shoot("started");
        s.values_at_start = value_cells(m);
        s.step = SessionState::Step::wait_moves;
      } else if (!m.connected() && !m.connecting() &&
                 !s.script->asked(ui::ScriptedServices::Asked::Kind::modal_dialog).empty()) {
        std::printf("KeldaMobile: the connect failed (see infolog.txt)\n");
        finish();
      }
      break;
    case SessionState::Step::wait_moves:
      if (m.batch) break;  // the lamp is lit; wait for a quiet moment
      if (static_cast<int>(value_cells(m)) > 0 && s.shots < 1 + s.options.moves) {
        shoot("market");
      }
      if (s.shots >= 1 + s.options.moves) {
        s.succeeded = m.connected() && m.started() && value_cells(m) > 0;
        finish();
      }
      break;
    case SessionState::Step::done:
      break;
  }
}

}  // namespace

bool start_scripted_session(TerminalApp& app, ui::QtUi& qt, ScriptedSessionOptions options) {
  std::error_code ec;
  std::filesystem::create_directories(options.screenshot_folder, ec);
  if (ec) return false;
  SessionState& s = state();
  s.app = &app;
  s.qt = &qt;
  s.options = std::move(options);
  s.script = std::make_shared<ui::ScriptedServices>();
  ui::set_services(s.script);
  s.started_at = ui::now_ms();
  const std::u16string user = to_wide(s.options.user);
  const std::u16string password = to_wide(s.options.password);
  s.script->on_dialog(130, [user, password](ui::DialogDriver& d) {
    d.set_text(1002, user);
    d.set_text(1001, password);
    d.click(ui::id::ok);
  });
  // On a machine without a network address the connect asks whether to
  // bring a GPRS link up: the session agrees, as its user would.
  const std::vector<platform::Ipv4Address> addresses = platform::host_ipv4_addresses();
  if (std::none_of(addresses.begin(), addresses.end(),
                   [](const platform::Ipv4Address& a) { return a[0] != 127 && a[0] != 255; })) {
    s.script->answer_message_box(ui::id::yes, u"GPRS");
  }
  shoot("start");
  s.step = SessionState::Step::wait_start;
  ui::post_message(app.frame()->hwnd(), ui::wm::command, cmd::connect, 0);
  ui::set_timer(ui::Hwnd{}, 0, kPollMs, &poll);
  return true;
}

int scripted_session_result() { return state().succeeded ? 0 : 1; }

}  // namespace kelda::terminal
