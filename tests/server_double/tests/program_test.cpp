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

TEST(ServerDoubleProgram, ListensOnTheGivenPortAndNegotiates) {
  const uint16_t port = free_port();
  const std::string program = SERVER_DOUBLE_PROGRAM;
  const std::string port_text = std::to_string(port);
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(port_text.c_str()),
                  const_cast<char*>("9"), nullptr};
  // The program says when it listens; its first output line is awaited.
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t pid = 0;
  ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string line;
  for (char ch = 0; line.find('\n') == std::string::npos;) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0 || ::read(out[0], &ch, 1) != 1) break;
    line += ch;
  }
  EXPECT_EQ(line, "server_double: listening on 127.0.0.1:" + port_text + "\n");
  int fd = connect_to(port);
  ASSERT_GE(fd, 0);
  const Bytes provider = {0xFF, 0xFF, 0, 0, 0, 1, 'R', 'S', 'T', 'A', 0, 0, 0, 1, 0, 0, 0, 1,
                          'R', 'F', 'I', 'N'};
  const Bytes locale = {0xFF, 0xFF, 0, 0, 0, 1, 'R', 'S', 'T', 'A', 0, 0, 0, 2, 0, 0, 0, 9,
                        0, 0, 0, 1, 0, 0, 0, 1, 'R', 'F', 'I', 'N'};
  const Bytes rest = {0x00, 0x96, 0x00, 0x12, 0xF0, 0x03, 0, 3, 0, 0, 0, 2, 0, 0,
                      0, 0, 0, 0, 0, 0, 0, 3};
  ::send(fd, provider.data(), provider.size(), 0);
  EXPECT_EQ(read_n(fd, 26).size(), 26u);
  ::send(fd, locale.data(), locale.size(), 0);
  EXPECT_EQ(read_n(fd, 22).size(), 22u);
  ::send(fd, rest.data(), rest.size(), 0);
  EXPECT_EQ(read_n(fd, 10), (Bytes{0x00, 0x08, 0xF0, 0x06, 0, 0, 0, 9, 0x61, 0x29}));
  ::close(fd);
  ::close(out[0]);
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

}  // namespace
