// The loopback server double serving its demo market to one terminal at a
// time, moving it every 20 ms (unless a test holds it still); with `trading`
// also the demo trading desk (orders, stop orders, replies) and the demo
// accounts. Runs on its own thread from construction to destruction.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server_double/demo_accounts.h"
#include "testsupport/test_dir.h"
#include "server_double/demo_market.h"
#include "server_double/demo_trading.h"
#include "server_double/server_double.h"

namespace kelda::terminal {

class DemoServer {
 public:
  explicit DemoServer(bool trading = false) : trading_(trading), thread_([this] { run(); }) {}
  ~DemoServer() {
    stop_ = true;
    thread_.join();
  }
  uint16_t port() const { return server_.port(); }
  int sessions() const { return sessions_.load(); }
  void drop() {
    std::lock_guard lock(mutex_);
    if (current_ != nullptr) current_->drop();
  }
  // The desk of the current session (null before one started).
  std::vector<server_double::DemoOrder> orders() const {
    std::lock_guard lock(mutex_);
    return desk_ ? desk_->orders() : std::vector<server_double::DemoOrder>{};
  }
  std::vector<server_double::DemoReply> replies() const {
    std::lock_guard lock(mutex_);
    return desk_ ? desk_->replies() : std::vector<server_double::DemoReply>{};
  }
  std::vector<server_double::DemoTrade> trades() const {
    std::lock_guard lock(mutex_);
    return desk_ ? desk_->trades() : std::vector<server_double::DemoTrade>{};
  }
  std::vector<server_double::DemoStopOrder> stop_orders() const {
    std::lock_guard lock(mutex_);
    return desk_ ? desk_->stop_orders() : std::vector<server_double::DemoStopOrder>{};
  }
  std::vector<server_double::DemoTransaction> transactions() const {
    std::lock_guard lock(mutex_);
    return desk_ ? desk_->transactions() : std::vector<server_double::DemoTransaction>{};
  }
  // While held, the market does not move and the desk checks no stop order.
  void hold(bool held) { held_ = held; }

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
      auto desk = std::make_shared<sd::DemoTrading>(market);
      sd::DemoAccounts accounts;
      market.attach(*s);
      if (trading_) {
        accounts.attach(*s);
        desk->attach(*s);
      }
      s->serve();
      market.open(*s);
      if (trading_) desk->describe(*s);
      ++sessions_;
      {
        std::lock_guard lock(mutex_);
        current_ = s.get();
        desk_ = desk;
      }
      while (!stop_ && !s->closed() && !s->wait_for(sd::kLogout, 20)) {
        if (held_) continue;
        market.step(*s);
        if (trading_) desk->step(*s);
      }
      {
        std::lock_guard lock(mutex_);
        current_ = nullptr;
      }
      s->stop_serving();
    }
  }

  bool trading_;
  server_double::ServerDouble server_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> held_{false};
  std::atomic<int> sessions_{0};
  mutable std::mutex mutex_;
  server_double::Session* current_ = nullptr;
  std::shared_ptr<server_double::DemoTrading> desk_;
  std::thread thread_;
};

// Writes the terminal's settings and server list for the demo server at
// `port` over the null cipher; `settings` is the body of the [settings]
// section.
inline void write_demo_connection(uint16_t port, const std::string& settings) {
  const std::string p = std::to_string(port);
  test::write_file_bytes(test::test_dir() / "KeldaMobile.txt",
                         "[connect]\nname=demo\ntrade-server-ip-address=127.0.0.1\nport=" + p +
                             "\nauth-name=\n\n[settings]\n" + settings +
                             "\n[CryptoProviders]\nNullCipher=1\n\n[NullCipher]\nModule=NullCipher.DLL\nIniFile=\n\n"
                             "[CryptoProvidersSettings]\nCipherCryptoProvider=NullCipher\n");
  test::write_file_bytes(test::test_dir() / "IP.CFG", "Demo market [127.0.0.1:" + p + ":]\n");
}

// The test folder as a terminal's work folder whose settings and server
// list point at the double on `port`, with the null cipher and the global
// filter of both demo classes; `more_settings` ends the [settings] section.
inline void write_demo_work_folder(uint16_t port, const std::string& more_settings = "") {
  write_demo_connection(port, "autoreconnect=1\nglobal_filter=1\n" + more_settings);
  test::write_file_bytes(test::test_dir() / "pdainfo.tcf", "[global_filter]\n2\n1 0 0 0 0\n\n\n2 0 0 0 0\n\n\n");
}

}  // namespace kelda::terminal
