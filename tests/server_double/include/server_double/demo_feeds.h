// The demo market's market-wide feeds: every trade of the demo securities
// (the all-trades feed), the minute bars built from them, and a price-bar
// history of the previous day (for prices and for every parameter) around
// the security's previous closing price, so that the history and today's
// trades make one chart, served to one client session on request.
//
// Use: attach() to a session before it serve()s (it answers the all-trades
// request and cancel, the minute-bar request and cancel, and the history
// request of the bar archive); call trade()
// for each trade the market makes. The accessors give the state so far.
//
// Threading: the session's serve thread runs the handlers while another
// thread calls trade(); one mutex guards the state. Never throws except
// std::bad_alloc.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "server_double/server_double.h"

namespace kelda::server_double {

struct DemoMarketTrade {
  int32_t sequence;
  int32_t security;
  int32_t price;
  int32_t quantity;
  int32_t time;  // HHMMSS
};

struct DemoMinute {
  int32_t time;  // HHMM00
  int32_t open, high, low, close, volume;
  bool operator==(const DemoMinute&) const = default;
};

class DemoFeeds {
 public:
  explicit DemoFeeds(int32_t trade_date) : trade_date_(trade_date) {}

  void attach(Session& s);
  // The previous closing price of a security (in units of its scale): the
  // level its history moves around. A security without one gets 10000.
  void set_previous_close(int32_t security, int32_t price);
  // A trade: kept, sent while the client wants all trades (0x8025), and
  // sent as a tick (0x802C) while it wants the security's minute bars.
  void trade(Session& s, int32_t security, int32_t price, int32_t quantity, int32_t time);

  int32_t trades() const;
  std::vector<DemoMinute> minutes(int32_t security) const;
  // The previous day's bars that a history request of the period gets: a
  // trading day's bars from 10:00 to 18:45 for a period in minutes, one for
  // longer periods, around the security's previous closing price (the last
  // bar closes at it).
  struct HistoryBar {
    int32_t date, time;
    double open, high, low, close, volume;  // prices in units of the scale
  };
  std::vector<HistoryBar> history(int32_t security, int32_t period) const;

 private:
  void send_trade(Session& s, const DemoMarketTrade& t);
  void send_history(Session& s, int32_t security);
  std::vector<HistoryBar> history_locked(int32_t security, int32_t period) const;
  // A price series (parameter -1) or a parameter's series: the same bars.
  void send_archive(Session& s, int32_t security, int32_t parameter, int32_t period);

  mutable std::mutex mutex_;
  int32_t trade_date_;
  std::vector<DemoMarketTrade> trades_;
  std::map<int32_t, std::vector<DemoMinute>> minutes_;
  std::map<int32_t, int32_t> previous_close_;
  bool all_trades_ = false;
  std::set<int32_t> minute_subscribers_;
};

}  // namespace kelda::server_double
