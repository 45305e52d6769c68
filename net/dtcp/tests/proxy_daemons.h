// Real proxy programs for the tests, each started on a free loopback port
// with a configuration written into the test's folder, and stopped when the
// object goes.
//
// HTTP: tinyproxy (CONNECT to any port, Basic authorisation when a login is
// given). SOCKS5: microsocks (name and password required when a login is
// given). start() fails with a clear message when the program is not
// installed (scripts/setup installs both). Threading: one thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace kelda::dtcp::testing {

struct Login {
  std::string name;
  std::string password;
};

class ProxyDaemon {
 public:
  enum class Kind { http, socks5 };

  ProxyDaemon(Kind kind, std::optional<Login> login) : kind_(kind), login_(std::move(login)) {}
  ~ProxyDaemon();
  ProxyDaemon(const ProxyDaemon&) = delete;
  ProxyDaemon& operator=(const ProxyDaemon&) = delete;

  // Starts the program and waits until it accepts connections; an empty
  // text on success, else what went wrong.
  std::string start();
  uint16_t port() const { return port_; }

 private:
  std::string try_start(const std::string& program, uint16_t port);
  void stop();

  Kind kind_;
  std::optional<Login> login_;
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

}  // namespace kelda::dtcp::testing
