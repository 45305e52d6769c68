// The program's scripted session for machines without a display, run for
// real: the terminal program against the server double's demo market logs
// in, opens the market's windows, places an order from the order book and
// photographs each window; it ends with status 0 only when every step saw
// its live data (the orders and trades tables included).
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
#include <string_view>
#include <thread>
#include <vector>

#include "demo_server.h"
#include "demo_session.h"
#include "testsupport/test_dir.h"

extern char** environ;

namespace kelda::terminal {
namespace {

constexpr int kSeconds = 150;

std::string read_text(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ScriptedSession, PhotographsEachMarketWindowAndTheOrderItPlaced) {
  // The market moves once a second, as for the run command: the buy at the
  // book's top offer crosses the book when it reaches the desk.
  DemoSession server(1000);
  // As the run command sets it up: a chart asks for the previous day's bars.
  write_demo_work_folder(server.port(), "reqarchive=1\n");
  const std::filesystem::path home = test::test_dir();
  const std::filesystem::path shots = home / "screenshots";
  std::filesystem::remove_all(shots);
  std::vector<std::string> args = {KELDA_TERMINAL_PROGRAM, "--scripted-session=" + shots.string(), "--user=demo",
                                   "--password=demo"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> extra = {"KELDAMOBILE_HOME=" + home.string(), "QT_QPA_PLATFORM=offscreen"};
  bool own_tsan_options = false;
#if defined(__SANITIZE_THREAD__)
  // Under ThreadSanitizer: Qt draws large images on pooled threads of its
  // own, synchronised by locks the sanitizer cannot see (Qt and GLib are not
  // instrumented); the memory calls made inside those libraries are not
  // checked in the program either. Every access from our code still is.
  const std::filesystem::path suppressions = home / "tsan.supp";
  std::ofstream(suppressions) << "called_from_lib:libQt6Core.so\ncalled_from_lib:libQt6Gui.so\n"
                                 "called_from_lib:libglib-2.0.so\n";
  const char* options = std::getenv("TSAN_OPTIONS");
  extra.push_back("TSAN_OPTIONS=" + std::string(options != nullptr ? options : "") +
                  ":suppressions=" + suppressions.string());
  own_tsan_options = true;
#endif
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e) {
    if (!own_tsan_options || !std::string_view(*e).starts_with("TSAN_OPTIONS=")) envp.push_back(*e);
  }
  for (std::string& e : extra) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), envp.data()), 0);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kSeconds);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) != child) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      waitpid(child, &status, 0);
      FAIL() << "the session did not end in " << kSeconds << " s\n" << read_text(home / "infolog.txt");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(WIFEXITED(status)) << read_text(home / "infolog.txt");
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a step did not see its data\n" << read_text(home / "infolog.txt");
  const char* names[] = {"1-order-book", "2-current-parameters", "3-chart", "4-order-window", "5-orders", "6-trades"};
  for (const char* name : names) {
    const std::filesystem::path png = shots / (std::string(name) + ".png");
    ASSERT_TRUE(std::filesystem::exists(png)) << name;
    EXPECT_EQ(read_text(png).substr(1, 3), "PNG") << name;
  }
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(shots)) ++files;
  EXPECT_EQ(files, std::size(names)) << "no other picture (the empty main view included)";
}

}  // namespace
}  // namespace kelda::terminal
