// One running copy per work folder through an abstract Unix socket.
#include "terminal/single_instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>

#include "platform/thread.h"
#include "terminal/text_log.h"
#include "ui/window.h"

namespace kelda::terminal {
namespace {

constexpr int kTries = 3;
constexpr uint32_t kTryPauseMs = 1000;
constexpr UINT kPollMs = 500;

// "\0KeldaMobile-<hash of the folder>": the leading NUL makes it abstract.
sockaddr_un address_for(const std::string& folder, socklen_t& length) {
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  char name[64];
  const int n = std::snprintf(name, sizeof name, "KeldaMobile-%016zx", std::hash<std::string>{}(folder));
  std::memcpy(a.sun_path + 1, name, static_cast<std::size_t>(n));
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(n));
  return a;
}

int make_socket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

SingleInstance* watched = nullptr;
ui::Hwnd watched_frame;
uintptr_t poll_timer = 0;

void poll_knocks(ui::Hwnd, UINT, uintptr_t, DWORD) {
  if (watched != nullptr && watched->take_knocks() && watched_frame) {
    ui::show_window(watched_frame, ui::sw::show);
    ui::set_foreground_window(watched_frame);
  }
}

}  // namespace

std::unique_ptr<SingleInstance> SingleInstance::start(const std::string& folder, Outcome& outcome,
                                                      const std::function<void(uint32_t)>& pause) {
  socklen_t length = 0;
  const sockaddr_un address = address_for(folder, length);
  for (int attempt = 0; attempt < kTries; ++attempt) {
    const int fd = make_socket();
    if (fd < 0) break;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 && ::listen(fd, 4) == 0) {
      outcome = Outcome::first;
      return std::make_unique<SingleInstance>(fd);
    }
    ::close(fd);
    if (errno != EADDRINUSE) break;
    const int knock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (knock >= 0) {
      const bool answered = ::connect(knock, reinterpret_cast<const sockaddr*>(&address), length) == 0;
      ::close(knock);
      if (answered) {
        // No log line here: the first line of a run would empty the
        // running copy's log.
        outcome = Outcome::other_running;
        return nullptr;
      }
    }
    if (attempt + 1 < kTries) pause ? pause(kTryPauseMs) : platform::sleep_ms(kTryPauseMs);
  }
  log_line("ERROR: Can not check for another copy of the program (%d); starting anyway.", errno);
  outcome = Outcome::unchecked;
  return nullptr;
}

SingleInstance::~SingleInstance() {
  if (watched == this) {
    ui::kill_timer(ui::Hwnd{}, poll_timer);
    watched = nullptr;
  }
  ::close(fd_);
}

bool SingleInstance::take_knocks() {
  bool knocked = false;
  for (;;) {
    const int peer = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0) break;
    ::close(peer);
    knocked = true;
  }
  return knocked;
}

void SingleInstance::watch(ui::Hwnd frame) {
  watched = this;
  watched_frame = frame;
  poll_timer = ui::set_timer(ui::Hwnd{}, 0, kPollMs, &poll_knocks);
}

}  // namespace kelda::terminal
