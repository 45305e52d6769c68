// The exit signals: a self-pipe from the handler to a watcher thread that
// posts the exit to the frame.
#include "terminal/exit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ui/window.h"

namespace kelda::terminal {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> g_write_end{-1};
std::atomic<bool> g_asked{false};  // an exit signal has come
struct sigaction g_previous[sizeof kSignals / sizeof kSignals[0]];

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the handler uses them");

void on_exit_signal(int number) {
  if (g_asked.exchange(true)) {
    // The orderly exit is under way and has not finished: end now, by the
    // signal's own default action (blocked until this handler returns).
    struct sigaction by_default {};
    by_default.sa_handler = SIG_DFL;
    sigemptyset(&by_default.sa_mask);
    sigaction(number, &by_default, nullptr);
    raise(number);
    return;
  }
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(number);
  const int fd = g_write_end.load();
  if (fd >= 0) {
    [[maybe_unused]] const ssize_t n = write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

std::unique_ptr<ExitSignals> ExitSignals::install(ui::Hwnd frame) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    std::fprintf(stderr, "KeldaMobile: exit signals not handled: pipe: %s\n", std::strerror(errno));
    return nullptr;
  }
  std::unique_ptr<ExitSignals> made;
  try {
    made = std::make_unique<ExitSignals>(Key{}, frame, ends[0], ends[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "KeldaMobile: exit signals not handled: %s\n", e.what());
    close(ends[0]);
    close(ends[1]);
    return nullptr;
  }
  g_asked.store(false);
  g_write_end.store(ends[1]);
  struct sigaction action {};
  action.sa_handler = &on_exit_signal;
  sigemptyset(&action.sa_mask);
  // One handler at a time, whichever of the signals comes.
  for (const int s : kSignals) sigaddset(&action.sa_mask, s);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &g_previous[i]);
  return made;
}

ExitSignals::ExitSignals(Key, ui::Hwnd frame, int read_end, int write_end)
    : frame_(frame), read_end_(read_end), write_end_(write_end), watcher_([this] { watch(); }) {}

ExitSignals::~ExitSignals() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
  g_write_end.store(-1);
  // A zero byte (no signal has that number) ends the watcher.
  const unsigned char stop = 0;
  while (write(write_end_, &stop, 1) < 0 && errno == EINTR) {
  }
  if (watcher_.joinable()) watcher_.join();
  close(read_end_);
  close(write_end_);
}

void ExitSignals::watch() {
  for (;;) {
    unsigned char number = 0;
    const ssize_t n = read(read_end_, &number, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || number == 0) return;
    ui::post_message(frame_, kExitSignalMessage, number);
  }
}

}  // namespace kelda::terminal
