// The program's scripted session for machines without a display: it logs in
// through the real login dialog with the given name and password, connects,
// waits for the market and the trading accounts, opens the order book, the
// current parameters and a chart of the first share, places a buy from the
// order book through the order window, opens the orders and trades tables,
// writes a screenshot of each with its live data into a folder and exits
// through the exit command.
// Threading: the user-interface thread only (a timer of the message loop
// drives it); one session per process.
#pragma once

#include <string>

#include "terminal/terminal_app.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {

struct ScriptedSessionOptions {
  std::string screenshot_folder;
  std::string user = "demo";
  std::string password = "demo";
  int timeout_ms = 90000;  // gives up (keeping the pictures taken so far) after this
};

// Arms the session; the program's message loop then runs it. False when the
// folder cannot be made.
bool start_scripted_session(TerminalApp& app, ui::QtUi& qt, ScriptedSessionOptions options);
// 0 when the session went through every step, 1 otherwise.
int scripted_session_result();

}  // namespace kelda::terminal
