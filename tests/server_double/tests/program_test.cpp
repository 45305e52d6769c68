// The server double as a program: it listens on the port given on its command
// line and runs the negotiation with a client up to the permissions.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "server_double/server_double.h"

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;

uint16_t free_port() {
  kelda::server_double::ServerDouble probe;
  return probe.port();
}

int connect_to(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return fd;
  ::close(fd);
  return -1;
}

Bytes read_n(int fd, std::size_t n) {
  Bytes out(n);
  std::size_t done = 0;
  while (done < n) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) break;
    ssize_t r = ::recv(fd, out.data() + done, n - done, 0);
    if (r <= 0) break;
    done += static_cast<std::size_t>(r);
  }
  out.resize(done);
  return out;
}

struct Program {
  pid_t pid = 0;
  int out = -1;
  std::string first_line;
};

// Starts the program with its arguments after the port and waits for the
// line that says it listens.
Program start(uint16_t port, std::vector<std::string> args) {
  const std::string program = SERVER_DOUBLE_PROGRAM;
  args.insert(args.begin(), {program, std::to_string(port)});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Program p;
  int out[2];
  if (::pipe(out) != 0) return p;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  ::posix_spawn(&p.pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  p.out = out[0];
  for (char ch = 0; p.first_line.find('\n') == std::string::npos;) {
    pollfd pf{p.out, POLLIN, 0};
    if (::poll(&pf, 1, 5000) <= 0 || ::read(p.out, &ch, 1) != 1) break;
    p.first_line += ch;
  }
  return p;
}

void stop(Program& p) {
  ::close(p.out);
  ::kill(p.pid, SIGTERM);
  int status = 0;
  ::waitpid(p.pid, &status, 0);
}

// The client's side of the negotiation up to the permissions (9).
bool negotiate(int fd) {
  const Bytes provider = {0xFF, 0xFF, 0, 0, 0, 1, 'R', 'S', 'T', 'A', 0, 0, 0, 1, 0, 0, 0, 1,
                          'R', 'F', 'I', 'N'};
  const Bytes locale = {0xFF, 0xFF, 0, 0, 0, 1, 'R', 'S', 'T', 'A', 0, 0, 0, 2, 0, 0, 0, 9,
                        0, 0, 0, 1, 0, 0, 0, 1, 'R', 'F', 'I', 'N'};
  const Bytes rest = {0x00, 0x96, 0x00, 0x12, 0xF0, 0x03, 0, 3, 0, 0, 0, 2, 0, 0,
                      0, 0, 0, 0, 0, 0, 0, 3};
  ::send(fd, provider.data(), provider.size(), 0);
  if (read_n(fd, 26).size() != 26u) return false;
  ::send(fd, locale.data(), locale.size(), 0);
  if (read_n(fd, 22).size() != 22u) return false;
  ::send(fd, rest.data(), rest.size(), 0);
  return read_n(fd, 10) == Bytes{0x00, 0x08, 0xF0, 0x06, 0, 0, 0, 9, 0x61, 0x29};
}

TEST(ServerDoubleProgram, ListensOnTheGivenPortAndNegotiates) {
  const uint16_t port = free_port();
  Program p = start(port, {"9"});
  EXPECT_EQ(p.first_line, "server_double: listening on 127.0.0.1:" + std::to_string(port) + "\n");
  int fd = connect_to(port);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(negotiate(fd));
  ::close(fd);
  stop(p);
}

// With --demo the client gets the demo market: the session information
// first, then the trading day and the classes.
TEST(ServerDoubleProgram, WithDemoOpensTheDemoMarket) {
  const uint16_t port = free_port();
  Program p = start(port, {"9", "--demo", "7", "60000"});
  int fd = connect_to(port);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(negotiate(fd));
  const Bytes head = read_n(fd, 8);
  ASSERT_EQ(head.size(), 8u);
  EXPECT_EQ(head[2], 0x80);
  EXPECT_EQ(head[3], 0x3D);
  EXPECT_EQ(head[4], 0) << "session id 1, big-endian";
  EXPECT_EQ(head[7], 1);
  ::close(fd);
  stop(p);
}

}  // namespace
