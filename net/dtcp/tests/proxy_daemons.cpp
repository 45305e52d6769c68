#include "proxy_daemons.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "testsupport/test_dir.h"

extern char** environ;

namespace kelda::dtcp::testing {

namespace {

using Clock = std::chrono::steady_clock;

// How long a proxy may take to start listening.
constexpr auto kStartLimit = std::chrono::seconds(30);

std::string find_program(const std::string& name) {
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/usr/bin:/sbin:/bin";
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    const std::filesystem::path candidate = std::filesystem::path(dir) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// A port that was free a moment ago (the kernel picks it).
uint16_t free_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0) {
    port = ntohs(sa.sin_port);
  }
  ::close(fd);
  return port;
}

bool accepts_connections(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

ProxyDaemon::~ProxyDaemon() { stop(); }

std::string ProxyDaemon::start() {
  const std::string name = kind_ == Kind::http ? "tinyproxy" : "microsocks";
  const std::string program = find_program(name);
  if (program.empty()) {
    return name + " is not installed; scripts/setup installs it (Debian package " + name + ")";
  }
  std::string failure;
  // Another process may take the port between the probe and the start.
  for (int attempt = 0; attempt < 3; ++attempt) {
    failure = try_start(program, free_port());
    if (failure.empty()) return {};
  }
  return failure;
}

std::string ProxyDaemon::try_start(const std::string& program, uint16_t port) {
  const std::filesystem::path dir = kelda::test::test_dir();
  const std::string tag = (kind_ == Kind::http ? "tinyproxy-" : "microsocks-") + std::to_string(port);
  const std::filesystem::path log = dir / (tag + ".log");
  std::vector<std::string> args{program};
  if (kind_ == Kind::http) {
    const std::filesystem::path conf = dir / (tag + ".conf");
    std::ofstream out(conf);
    out << "Port " << port << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
        << "Allow 127.0.0.1\nDisableViaHeader Yes\nLogLevel Info\n";
    if (login_) out << "BasicAuth " << login_->name << " " << login_->password << "\n";
    out.close();
    args.insert(args.end(), {"-d", "-c", conf.string()});
  } else {
    args.insert(args.end(), {"-i", "127.0.0.1", "-p", std::to_string(port)});
    if (login_) args.insert(args.end(), {"-u", login_->name, "-P", login_->password});
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return "cannot start " + program;
  pid_ = pid;
  port_ = port;

  // Polls until the program listens, it ends, or the limit passes.
  const Clock::time_point limit = Clock::now() + kStartLimit;
  while (Clock::now() < limit) {
    if (accepts_connections(port)) return {};
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return program + " ended before listening on port " + std::to_string(port) + "; see " +
             log.string();
    }
    ::poll(nullptr, 0, 10);
  }
  stop();
  return program + " did not listen on port " + std::to_string(port) + " within 10 s";
}

void ProxyDaemon::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const Clock::time_point limit = Clock::now() + std::chrono::seconds(5);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() >= limit) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    ::poll(nullptr, 0, 10);
  }
  pid_ = -1;
}

}  // namespace kelda::dtcp::testing
