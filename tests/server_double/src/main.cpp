// The server double as a program: listens on 127.0.0.1 at the port given on
// the command line, runs the server's side of the negotiation with every
// client (null cipher), sends the permissions, answers the logout by closing,
// and prints every message it receives. With --demo, each client gets the
// demo market: two classes whose values, price lists, quotes and order books
// move every INTERVAL milliseconds (default 1000), a random walk from SEED,
// and the demo client's limits, firm, positions, news and rule text, and a
// trading desk that takes the client's orders, stop orders and
// cancellations.
//
//   server_double PORT [PERMISSIONS] [--demo SEED [INTERVAL]]
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "server_double/demo_accounts.h"
#include "server_double/demo_market.h"
#include "server_double/demo_trading.h"
#include "server_double/server_double.h"

using namespace kelda::server_double;

namespace {

struct DemoOptions {
  uint32_t seed = 1;
  int interval_ms = 1000;
};

// Serves the demo market to one client until it leaves.
void run_demo(Session& s, const DemoOptions& options) {
  DemoMarket market(options.seed);
  DemoTrading desk(market);
  market.attach(s);
  DemoAccounts accounts;
  accounts.attach(s);
  desk.attach(s);
  s.serve();
  market.open(s);
  desk.describe(s);
  std::printf("server_double: demo market, seed %u, a move every %d ms\n", options.seed, options.interval_ms);
  std::fflush(stdout);
  for (int steps = 1; !s.closed() && !s.wait_for(kLogout, options.interval_ms); ++steps) {
    market.step(s);
    desk.step(s);
    // Now and then the demo client trades and a news item comes.
    if (steps % 10 == 0) {
      const DemoSecurity* gazp = market.security(1000);
      if (gazp != nullptr) accounts.trade(s, "GAZP", steps % 20 == 0 ? -10 : 10, gazp->price / 100.0);
    }
    if (steps % 15 == 0) accounts.publish_news(s);
  }
  s.stop_serving();
  std::printf("server_double: client gone\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PORT [PERMISSIONS] [--demo SEED [INTERVAL]]\n", argv[0]);
    return 2;
  }
  const long port = std::strtol(argv[1], nullptr, 10);
  if (port <= 0 || port > 65535) {
    std::fprintf(stderr, "server_double: bad port \"%s\"\n", argv[1]);
    return 2;
  }
  const uint32_t permissions = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 0)) : 0;
  std::optional<DemoOptions> demo;
  for (int i = 3; i < argc; ++i) {
    if (std::string(argv[i]) != "--demo") continue;
    demo = DemoOptions{};
    if (i + 1 < argc) demo->seed = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 0));
    if (i + 2 < argc) demo->interval_ms = static_cast<int>(std::strtol(argv[i + 2], nullptr, 10));
    if (demo->interval_ms <= 0) demo->interval_ms = 1000;
  }
  ServerDouble server(static_cast<uint16_t>(port));
  std::printf("server_double: listening on 127.0.0.1:%u\n", server.port());
  std::fflush(stdout);
  for (;;) {
    std::unique_ptr<Session> session = server.accept(1000);
    if (!session) continue;
    std::thread([s = std::move(session), permissions, demo]() mutable {
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
      if (demo) {
        run_demo(*s, *demo);
        return;
      }
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
