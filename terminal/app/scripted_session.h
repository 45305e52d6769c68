// The program's scripted session for machines without a display: it logs in
// through the real login dialog with the given name and password, connects,
// waits for the market to move, writes screenshots of the main view into a
// folder and exits through the exit command.
#pragma once

#include <string>

#include "terminal/terminal_app.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {

struct ScriptedSessionOptions {
  std::string screenshot_folder;
  std::string user = "demo";
  std::string password = "demo";
  int moves = 5;             // value events to wait for after the start
  int timeout_ms = 60000;    // gives up (and still writes what it has) after this
};

// Arms the session; the program's message loop then runs it. False when the
// folder cannot be made.
bool start_scripted_session(TerminalApp& app, ui::QtUi& qt, ScriptedSessionOptions options);
// 0 when the session saw the start and the moves, 1 otherwise.
int scripted_session_result();

}  // namespace kelda::terminal
