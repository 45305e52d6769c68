// The server double as a program: listens on 127.0.0.1 at the port given on
// the command line, runs the server's side of the negotiation with every
// client (null cipher), sends the permissions, answers the logout by closing,
// and prints every message it receives.
//
//   server_double PORT [PERMISSIONS]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "server_double/server_double.h"

using namespace kelda::server_double;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PORT [PERMISSIONS]\n", argv[0]);
    return 2;
  }
  const long port = std::strtol(argv[1], nullptr, 10);
  if (port <= 0 || port > 65535) {
    std::fprintf(stderr, "server_double: bad port \"%s\"\n", argv[1]);
    return 2;
  }
  const uint32_t permissions = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 0)) : 0;
  ServerDouble server(static_cast<uint16_t>(port));
  std::printf("server_double: listening on 127.0.0.1:%u\n", server.port());
  std::fflush(stdout);
  for (;;) {
    std::unique_ptr<Session> session = server.accept(1000);
    if (!session) continue;
    std::thread([s = std::move(session), permissions]() mutable {
      HandshakeScript script;
      script.permissions = permissions;
      std::optional<HandshakeResult> hs = s->handshake(script);
      if (!hs) {
        std::printf("server_double: negotiation failed\n");
        std::fflush(stdout);
        return;
      }
      std::printf("server_double: client provider %u, check time-out %u s\n", hs->provider_id,
                  hs->check_timeout);
      for (;;) {
        std::optional<Message> m = s->read_message(60000);
        if (!m) {
          if (s->closed()) break;
          continue;
        }
        std::printf("server_double: message 0x%04X, %zu body bytes\n", m->id, m->body.size());
        std::fflush(stdout);
        if (m->id == kLogout) break;
      }
      std::printf("server_double: client gone\n");
      std::fflush(stdout);
    }).detach();
  }
}
