// The server double's demo market: two classes of securities whose current
// values, price lists, quotes and order books move as a seeded random walk,
// served to one client session so that a person can watch them in the
// terminal and tests can predict every number.
//
// Use: construct with a seed, attach() to a session before it serve()s (the
// market answers the client's class, security, parameter, filter and
// subscription requests), open() to start the trading day, then step() for
// each move. The accessors give the state after the last step.
//
// Threading: the session's serve thread runs the handlers while another
// thread calls step(); one mutex guards the state. Never throws except
// std::bad_alloc.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "server_double/demo_feeds.h"
#include "server_double/server_double.h"

namespace kelda::server_double {

struct DemoSecurity {
  int32_t server_id;
  std::string code;
  std::string name;
  int16_t scale;
  int32_t price;  // in units of ten to the minus scale
  int32_t volume = 0;
  int32_t previous = 0;  // the previous session's closing price: the opening price
};

struct DemoClass {
  int32_t server_id;
  std::string code;
  std::string name;
  std::string firm;  // the firm whose margin rules govern the class
  // The class flags word. 0x40 (the client's flag 0x1) marks a class that
  // no margin rules cover: the terminal asks no rule file for it.
  uint32_t flags;
  std::vector<DemoSecurity> securities;
};

// One level of a price list or an order book: a negative volume is a bid.
struct DemoLevel {
  int32_t price;
  int32_t volume;
  bool operator==(const DemoLevel&) const = default;
};

// The parameters of every class, in the order of their bits. BID, OFFER,
// PREVPRICE and LAST are the prices the margin rules value securities at.
inline constexpr const char* kDemoParams[] = {"LAST", "BID", "OFFER", "VOLTODAY", "PREVPRICE"};
inline constexpr uint64_t kDemoParamMask = 0x1F;  // all of them

class DemoMarket {
 public:
  explicit DemoMarket(uint32_t seed);

  void attach(Session& s);
  // The session, the trading day and the class descriptions.
  void open(Session& s);
  // One move of every price; values of the filtered securities, the price
  // lists and order books subscribed to and, once the quotes were asked
  // for, one new quote go to the client.
  void step(Session& s);

  // ---- the state after the last step ----
  std::vector<DemoClass> classes() const;
  const DemoSecurity* security(int32_t server_id) const;  // valid until the next step
  std::vector<DemoLevel> levels(int32_t server_id) const;   // price list and order book, ascending
  int32_t last_entry() const;                               // -1 before the first value record
  int32_t quotes() const;                                   // quotes published so far
  std::string trading_key() const { return "DEMO-20240105"; }
  // All trades and minute bars: every security trades once a step.
  const DemoFeeds& feeds() const { return feeds_; }

 private:
  uint32_t next_random();
  DemoClass* class_of(int32_t server_id);
  DemoSecurity* find(int32_t server_id);
  void send_securities(Session& s, const Message& m);
  void send_server_ids(Session& s, const Message& m);
  void send_params(Session& s, const Message& m);
  void send_values(Session& s, const DemoClass& c, DemoSecurity& sec, bool snapshot);
  void send_price_list(Session& s, const DemoSecurity& sec, const std::vector<DemoLevel>& old);
  void send_book(Session& s, const DemoSecurity& sec);
  void send_quote(Session& s, int32_t number);

  mutable std::mutex mutex_;
  uint32_t state_;
  std::vector<DemoClass> classes_;
  std::map<int32_t, uint64_t> masks_;  // parameter mask by class server id
  std::set<int32_t> filtered_;
  std::set<int32_t> fresh_;            // joined the filter: their next record is a snapshot
  std::set<int32_t> price_lists_;
  std::set<int32_t> books_;
  std::map<int32_t, std::vector<DemoLevel>> levels_;
  bool quotes_asked_ = false;
  int32_t next_entry_ = 0;
  int32_t next_quote_ = 0;
  std::vector<std::pair<int32_t, int32_t>> quote_log_;  // security and price of each quote
  int32_t steps_ = 0;
  DemoFeeds feeds_{20240105};
};

}  // namespace kelda::server_double
