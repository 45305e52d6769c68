// The whole demo market of the server double for the terminal's window
// tests: prices, books, the trading desk, the demo client's limits and news,
// served to one client at a time and moved every few milliseconds. Every
// third step the demo client trades GAZP and every fifth a news item comes.
// Threading: one thread of its own; the accessors are safe from any thread.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "server_double/demo_accounts.h"
#include "server_double/demo_market.h"
#include "server_double/demo_trading.h"
#include "server_double/server_double.h"

namespace kelda::terminal {

class DemoSession {
 public:
  explicit DemoSession(int step_ms = 20) : step_ms_(step_ms), thread_([this] { run(); }) {}
  ~DemoSession() {
    stop_ = true;
    thread_.join();
  }
  uint16_t port() const { return server_.port(); }

 private:
  void run() {
    namespace sd = server_double;
    while (!stop_) {
      std::unique_ptr<sd::Session> s = server_.accept(100);
      if (!s) continue;
      sd::HandshakeScript script;
      script.permissions = 0xC000;
      if (!s->handshake(script)) continue;
      sd::DemoMarket market(7);
      sd::DemoTrading desk(market);
      sd::DemoAccounts accounts;
      market.attach(*s);
      accounts.attach(*s);
      desk.attach(*s);
      s->serve();
      market.open(*s);
      desk.describe(*s);
      for (int step = 1; !stop_ && !s->closed() && !s->wait_for(sd::kLogout, step_ms_); ++step) {
        market.step(*s);
        desk.step(*s);
        if (step % 3 == 0) {
          if (const sd::DemoSecurity* gazp = market.security(1000)) {
            accounts.trade(*s, "GAZP", step % 6 == 0 ? -10 : 10, gazp->price / 100.0);
          }
        }
        if (step % 5 == 0) accounts.publish_news(*s);
      }
      s->stop_serving();
    }
  }

  server_double::ServerDouble server_;
  int step_ms_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kelda::terminal
