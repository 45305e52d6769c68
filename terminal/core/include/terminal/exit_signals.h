// The signals by which the system asks the terminal to close: SIGTERM (a
// desktop session ending, kill), SIGINT (Ctrl+C) and SIGHUP (its controlling
// terminal gone). The first of them takes the terminal through the same
// orderly exit as the menu's exit command, without its question: the frame
// is destroyed on the user-interface thread (layout saved, link closed, log
// lines written) and the message loop ends. A second one, while that exit
// has not finished, ends the process at once by its default action.
//
// The handler only writes the signal's number into a pipe (async-signal
// safe); a watcher thread of this object reads the pipe and posts the exit
// to the frame's queue, so everything else runs on the user-interface
// thread.
//
// Ownership and threading: one ExitSignals per process, made and destroyed
// on the user-interface thread; the destructor restores the handlers that
// were there before and ends the watcher. Errors: install() answers null
// (with the reason on the standard error stream) when the pipe or the
// watcher cannot be made; the terminal then runs with the default actions.
#pragma once

#include <memory>
#include <thread>

#include "ui/types.h"

namespace kelda::terminal {

// The message posted to the frame for an exit signal; wParam is its number.
inline constexpr UINT kExitSignalMessage = ui::wm::user + 600;

class ExitSignals {
 public:
  static std::unique_ptr<ExitSignals> install(ui::Hwnd frame);
  ~ExitSignals();
  ExitSignals(const ExitSignals&) = delete;
  ExitSignals& operator=(const ExitSignals&) = delete;

 private:
  struct Key {};

 public:
  ExitSignals(Key, ui::Hwnd frame, int read_end, int write_end);

 private:
  void watch();

  ui::Hwnd frame_;
  int read_end_;
  int write_end_;
  std::thread watcher_;
};

}  // namespace kelda::terminal
