// The registry of window kinds: which menu command opens a window of which
// kind, whether one window of it at most may be open, its default caption and
// how to make one. Each window's own source file offers a registration
// function (register_trades_window(), say) that calls register_window_kind();
// register_terminal_windows() (terminal_app.h) calls them all at start-up.
// The main view creates windows only through this registry, so a kind that is
// not registered leaves its command without effect.
//
// Threading: registration during static initialisation or on the
// user-interface thread before the main view is created; look-ups on the
// user-interface thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "terminal/window_protocol.h"

namespace kelda::terminal {

struct WindowKind {
  int kind = 0;
  UINT command = 0;
  bool single = true;         // one window of the kind at most
  std::string caption;        // default caption, 8-bit text
  // Asks what the window should show (the instrument of a quotes window,
  // say) before a new window is made; false cancels the command. Null: no
  // question.
  std::function<bool(std::string& caption)> prepare;
  std::function<std::unique_ptr<TerminalWindow>()> create;
};

void register_window_kind(WindowKind kind);
void unregister_window_kind(int kind);
const WindowKind* find_window_kind_by_command(UINT command);
const WindowKind* find_window_kind(int kind);

// Handlers of menu commands that live outside the core (the dialogs of
// terminal/dialogs register theirs at start-up); the main view offers them
// the commands it does not handle itself.
using CommandHandler = std::function<void(ui::Hwnd owner)>;
void register_command_handler(UINT command, CommandHandler handler);
const CommandHandler* find_command_handler(UINT command);

}  // namespace kelda::terminal
