// The signals by which the system asks the terminal to close, sent for real
// to a terminal process: the first takes it through the exit command's way
// (layout saved, log lines, exit status 0); a second one, while that way has
// not finished, ends the process at once.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "terminal/exit_signals.h"
#include "testsupport/test_dir.h"

extern char** environ;

namespace kelda::terminal {
namespace {

constexpr char kBusyChild[] = "KELDA_EXIT_SIGNALS_BUSY_CHILD";
constexpr int kSeconds = 90;

// The bits of a signal mask line of /proc/<pid>/status ("SigCgt:", "SigPnd:", "ShdPnd:").
uint64_t signal_mask(pid_t pid, const std::string& line_name) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(line_name, 0) == 0) return std::stoull(line.substr(line_name.size()), nullptr, 16);
  }
  return 0;
}
uint64_t bit(int signal) { return uint64_t{1} << (signal - 1); }

// Polls `done` every 10 ms for up to kSeconds; answers it.
template <typename F>
bool within_deadline(F done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kSeconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Starts `argv[0]` with the environment plus `extra`; answers its id (0 on failure).
pid_t spawn(std::vector<std::string> args, const std::vector<std::string>& extra) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> owned = extra;
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e) envp.push_back(*e);
  for (std::string& e : owned) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return 0;
  return child;
}

// Waits for the child's end; answers its wait status, or kills it and fails.
int wait_end(pid_t child) {
  int status = 0;
  const bool ended = within_deadline([&] { return waitpid(child, &status, WNOHANG) == child; });
  if (!ended) {
    ::kill(child, SIGKILL);
    waitpid(child, &status, 0);
    ADD_FAILURE() << "the process did not end in " << kSeconds << " s";
  }
  return status;
}

std::string read_text(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The layout file before the run: one trades window, and a comment line the
// terminal's own rewrite does not keep.
constexpr char kLayoutBefore[] =
    "; written by the test\n[general]\nversion=1\nnum=1\nactive=1\n\n"
    "[ActiveWnd1]\ntype=3\ncaption=Trades\n\n";

TEST(ExitSignals, EachExitSignalEndsTheTerminalTheWayTheExitCommandDoes) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const std::filesystem::path home = test::test_dir() / ("home" + std::to_string(signal));
    std::filesystem::create_directories(home);
    {
      std::ofstream(home / "KeldaMobile.txt") << "[settings]\nfontsize=18\n";
      std::ofstream(home / "pdainfo.awf") << kLayoutBefore;
    }
    const pid_t child =
        spawn({KELDA_TERMINAL_PROGRAM}, {"KELDAMOBILE_HOME=" + home.string(), "QT_QPA_PLATFORM=offscreen"});
    ASSERT_NE(child, 0);
    // The handlers are in place once the process catches all three.
    const uint64_t all = bit(SIGTERM) | bit(SIGINT) | bit(SIGHUP);
    if (!within_deadline([&] { return (signal_mask(child, "SigCgt:") & all) == all; })) {
      ::kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      FAIL() << "the terminal never caught the exit signals\n" << read_text(home / "infolog.txt");
    }
    ASSERT_EQ(::kill(child, signal), 0);
    const int status = wait_end(child);
    const std::string log = read_text(home / "infolog.txt");
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << "\n"
                                   << log;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string layout = read_text(home / "pdainfo.awf");
    EXPECT_EQ(layout.find("; written by the test"), std::string::npos) << "the layout was saved again:\n" << layout;
    EXPECT_NE(layout.find("num=1"), std::string::npos) << layout;
    EXPECT_NE(layout.find("type=3"), std::string::npos) << layout;
    const std::size_t asked = log.find("Exit signal " + std::to_string(signal));
    const std::size_t destroying = log.find("Destroying main window...");
    const std::size_t saved = log.find("Saving done.");
    EXPECT_NE(asked, std::string::npos) << log;
    EXPECT_NE(destroying, std::string::npos) << log;
    EXPECT_NE(saved, std::string::npos) << log;
    EXPECT_LT(asked, destroying) << log;
    EXPECT_LT(destroying, saved) << log;
  }
}

// The child of the next test: its handlers are in place, and its
// user-interface thread never comes to the posted exit (here: there is no
// loop at all), as when that thread is stuck.
[[noreturn]] void run_busy_child() {
  const std::unique_ptr<ExitSignals> signals = ExitSignals::install(ui::Hwnd{});
  if (!signals) std::_Exit(3);
  for (;;) pause();
}

TEST(ExitSignals, ASecondSignalEndsTheProcessAtOnce) {
  if (std::getenv(kBusyChild) != nullptr) run_busy_child();
  const struct {
    int first;
    int second;
  } cases[] = {{SIGTERM, SIGTERM}, {SIGTERM, SIGINT}, {SIGHUP, SIGTERM}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(strsignal(c.first)) + ", then " + strsignal(c.second));
    const std::string filter = "--gtest_filter=ExitSignals.ASecondSignalEndsTheProcessAtOnce";
    const pid_t child = spawn({"/proc/self/exe", filter}, {std::string(kBusyChild) + "=1"});
    ASSERT_NE(child, 0);
    const uint64_t all = bit(SIGTERM) | bit(SIGINT) | bit(SIGHUP);
    ASSERT_TRUE(within_deadline([&] { return (signal_mask(child, "SigCgt:") & all) == all; }));
    ASSERT_EQ(::kill(child, c.first), 0);
    // Once the first is no longer pending its handler has begun, and a
    // second one waits for that handler to end: it finds the exit asked.
    ASSERT_TRUE(within_deadline([&] {
      return ((signal_mask(child, "SigPnd:") | signal_mask(child, "ShdPnd:")) & bit(c.first)) == 0;
    }));
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, WNOHANG), 0) << "the first signal alone does not end it";
    ASSERT_EQ(::kill(child, c.second), 0);
    status = wait_end(child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), c.second);
  }
}

}  // namespace
}  // namespace kelda::terminal
