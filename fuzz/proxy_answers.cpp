// Arbitrary proxy answers into the proxy negotiation, as the connection
// thread reads them from the proxy's socket. The first byte picks the
// protocol (HTTP or SOCKS5, with or without a login). A malformed answer
// must end the negotiation with a text, never crash, hang or read past what
// the answer holds.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <memory>

#include "connection.h"
#include "proxy.h"

using namespace kelda::dtcp;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 32 * 1024) return 0;
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  // The whole answer waits in the socket and the proxy then hangs up, so
  // every read ends at once.
  const int sent = static_cast<int>(::write(fds[1], data + 1, size - 1));
  ::shutdown(fds[1], SHUT_WR);
  if (sent == static_cast<int>(size - 1)) {
    auto c = std::make_shared<Connection>();
    c->link.adopt(fds[0]);
    c->link.set_check_timeout_ms(1000);
    c->params = zn_conn_params{1, 0, 0x0100007F, 15100, nullptr};
    c->proxy = zn_proxy_params{1, 1, 0x0100007F, 1080, 1u + data[0] % 4u, 1, {}, {}};
    set_proxy_field(c->proxy.user_name, "name");
    set_proxy_field(c->proxy.password, "password");
    std::string error;
    const int r = negotiate_proxy(*c, error);
    if (r != kOk && r != kStopped && error.empty()) __builtin_trap();
  } else {
    ::close(fds[0]);
  }
  ::close(fds[1]);
  return 0;
}
