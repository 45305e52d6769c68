// One running copy of the terminal per work folder. The first copy holds an
// abstract Unix socket whose name is made from its folder (the kernel drops
// the name with the process, so nothing stale is ever left behind, unlike a
// lock file); a later copy finds the name taken, knocks on the socket so the
// running copy brings its main window to the front, and ends. When the name
// is taken but nobody answers (the first copy is just starting or ending),
// the later copy tries three times, one second apart, then starts anyway.
//
// The running copy looks for knocks on the user-interface thread with a
// non-blocking accept every 500 ms (no thread of its own).
//
// Threading: user-interface thread. Errors: a socket that cannot be made is
// logged and the program runs without the check.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/types.h"

namespace kelda::terminal {

class SingleInstance {
 public:
  // What a start finds.
  enum class Outcome { first, other_running, unchecked };
  // `pause` waits between the tries (tests pass a clock of their own).
  static std::unique_ptr<SingleInstance> start(const std::string& folder, Outcome& outcome,
                                               const std::function<void(uint32_t ms)>& pause = {});
  // Holds the listening socket `fd` (made by start()).
  explicit SingleInstance(int fd) : fd_(fd) {}
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Takes the knocks that came; true when at least one did.
  bool take_knocks();
  // Brings `frame` to the front at every knock from now on.
  void watch(ui::Hwnd frame);

 private:
  int fd_;
};

}  // namespace kelda::terminal
