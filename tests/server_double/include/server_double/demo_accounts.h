// The demo market's accounts: one demo client of one firm with a money
// limit and depository limits that follow its trades, the firm with its
// trading accounts (one for shares, one for futures: what the terminal's
// order window offers for the firm's classes), its text and depository
// accounts, a futures limit and holding, an account
// position, a handful of news items with Russian bodies, and the firm's
// margin rule text (credit against two shares of TQBR, the demo client at
// credit lag 2), served when the client asks for them.
//
// Use: construct, attach() to a session before it serve()s; trade() moves
// the demo client's limits and tells the client; publish_news() sends the
// next news headline, dated today. Texts are kept in code page 1251 and
// sent in 866 where the server does (text fields and the rule text; news
// bodies go as they are).
//
// Threading: the session's serve thread runs the handlers while another
// thread calls trade() or publish_news(); one mutex guards the state.
// Never throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "server_double/server_double.h"

namespace kelda::server_double {

struct DemoDepoLimit {
  int32_t number;
  std::string security;
  double quantity;  // securities held now
};

struct DemoNews {
  int32_t number;
  int32_t id;
  std::string headline;  // 1251
  std::string body;      // 1251
};

class DemoAccounts {
 public:
  static constexpr const char* kFirm = "MC0001";
  static constexpr const char* kClient = "DEMO1";
  static constexpr const char* kDepoAccount = "L01-DEMO";
  // The firm's trading accounts, answered to the account-list request.
  static constexpr const char* kShareAccount = "L01-00000F00";
  static constexpr const char* kFuturesAccount = "SPBFUT00D01";
  static constexpr int32_t kTradeDate = 20240105;

  DemoAccounts();
  void attach(Session& s);
  // The demo client bought (positive) or sold `quantity` of a security at
  // `price`: its money balance moves by the amount, its depository limit by
  // the quantity; both are sent when the limits were asked for.
  void trade(Session& s, const std::string& security, int32_t quantity, double price);
  // Sends the next headline of the news list, once each.
  void publish_news(Session& s);

  // ---- the state ----
  double money_balance() const;  // money units
  double depo_quantity(const std::string& security) const;
  std::vector<DemoNews> news() const;
  std::string rule_text() const;  // 1251

 private:
  void send_money(Session& s);
  void send_depo(Session& s, const DemoDepoLimit& l);
  void send_news_item(Session& s, const DemoNews& n);

  mutable std::mutex mutex_;
  double balance_ = 1000000.0;
  double locked_ = 0;
  std::vector<DemoDepoLimit> depo_;
  std::vector<DemoNews> news_;
  std::size_t published_ = 0;
  bool limits_asked_ = false;
  std::string rule_text_;
};

}  // namespace kelda::server_double
