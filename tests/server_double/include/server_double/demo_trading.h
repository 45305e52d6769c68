// The demo market's trading desk: it describes the transaction kinds of the
// demo classes (new order, cancel order, new stop order, cancel stop order,
// each with its fields), takes the client's transactions in chunks, answers
// each with a reply and sends the resulting order, trade and stop-order
// rows. A limit order that crosses the demo book trades at the best price
// on the other side; one that does not rests as an active order until it is
// cancelled.
//
// The new stop order takes the fields the terminal's order window writes
// (STOPORDERTYPE, EXPIREDDATE, ACCOUNT, BUYSELL, CONDITION, STOPPRICE,
// TRANSFLAGS, SECBOARD, SECCODE, CO_SECCODE, CO_SECBOARD, PRICE, QUANTITY,
// BROKERREF, STOP_CO_PRICE, OFFSET, SPREAD, ORDERNUM), with the roles the
// client library's stop-order builder fills. A stop order stays active until
// the demo price meets its condition at a step, then places its limit order:
//   1  buy when the price is at or above the stop price, sell at or below;
//   2  the other way round, on the price of CO_SECBOARD/CO_SECCODE;
//   3  as 1, with a linked limit order at STOP_CO_PRICE placed at once; when
//      either goes the other is withdrawn;
//   6  take-profit: armed when a sell's price reaches the stop price from
//      below (a buy's from above), it then follows the best price and, once
//      the price turns back by OFFSET, places its order SPREAD beyond the
//      price (so that it trades).
//
// Every transaction the desk refuses (a bad kind, an unknown security or
// order, a malformed text) gets a reply with status 4 and a text that says
// why; accepted ones get status 3.
//
// Threading: the session's serve thread runs the handlers while another
// thread calls step() or the accessors; one mutex guards the state (the
// market's own mutex is taken inside it, never the other way round).
// Never throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "server_double/demo_market.h"
#include "server_double/server_double.h"

namespace kelda::server_double {

inline constexpr int16_t kReplyAccepted = 3;
inline constexpr int16_t kReplyRefused = 4;

// Order and stop-order flags: 0x1 active, 0x2 cancelled, 0x4 sell.
struct DemoOrder {
  int32_t sequence;
  int64_t number;
  uint32_t flags;
  int32_t security;
  int32_t price;
  int32_t quantity;
  int32_t balance;
  std::string account;
  std::string client_code;
};

struct DemoTrade {
  int32_t sequence;
  int64_t number;
  int64_t order_number;
  bool sell;
  int32_t security;
  int32_t price;
  int32_t quantity;
  std::string account;
};

// Stop-order options: 0x20 no expiry date (valid for the day).
struct DemoStopOrder {
  int32_t sequence;
  int64_t number;
  uint32_t flags;
  int32_t security;
  int32_t stop_price;  // in the condition security's units
  int32_t price;
  int32_t quantity;
  int64_t placed_order = 0;
  std::string account;
  std::string client_code;
  int16_t kind = 1;
  int32_t condition_security = -1;  // -1: its own security
  int64_t linked_order = 0;
  int32_t linked_price = 0;
  int32_t offset = 0;
  int32_t spread = 0;
  int32_t expiry_date = 0;
  uint32_t options = 0x20;
  bool armed = false;   // take-profit: the stop price has been reached
  int32_t extreme = 0;  // take-profit: the best price since it was armed
};

// A transaction as it arrived: the text the client sent (the values at the
// widths of the kind's fields, no keys) and its values by key.
struct DemoTransaction {
  int32_t trans_id;
  int16_t class_id;
  int16_t kind_id;
  std::string text;
  std::map<std::string, std::string> values;
};

struct DemoReply {
  int32_t trans_id;
  int16_t status;
  std::string text;
  int64_t number;
};

class DemoTrading {
 public:
  explicit DemoTrading(DemoMarket& market) : market_(market) {}

  // Handles the field requests, the transaction chunks and the requests
  // for rows from a sequence number on.
  void attach(Session& s);
  // Describes the kinds of every demo class (after the market's open()).
  void describe(Session& s);
  // Triggers the stop orders that the market's prices have reached (after
  // the market's step()).
  void step(Session& s);

  std::vector<DemoOrder> orders() const;
  std::vector<DemoTrade> trades() const;
  std::vector<DemoStopOrder> stop_orders() const;
  std::vector<DemoReply> replies() const;
  std::vector<DemoTransaction> transactions() const;

 private:
  struct Pending {
    Bytes text;
    int16_t class_id = 0;
    int16_t kind_id = 0;
  };
  struct Values;

  void on_fields_request(Session& s, const Message& m);
  void on_chunk(Session& s, const Message& m);
  void execute(Session& s, int32_t trans_id, const Pending& p);
  DemoReply new_order(Session& s, const Values& v, int32_t security);
  DemoReply kill_order(Session& s, const Values& v);
  DemoReply new_stop_order(Session& s, const Values& v, int32_t security);
  DemoReply kill_stop_order(Session& s, const Values& v);
  // Whether a stop order's condition holds now (take-profit: arms it and
  // follows the best price on the way).
  bool stop_condition_met(DemoStopOrder& o);
  // Withdraws an active order (its row goes to the client).
  void withdraw_order(Session& s, int64_t number);
  const DemoOrder* find_order(int64_t number) const;
  // Places an order: trades it against the book or lets it rest.
  DemoOrder& place(Session& s, int32_t security, bool sell, int32_t price, int32_t quantity, bool market,
                   const std::string& account, const std::string& client_code);
  void send_order(Session& s, const DemoOrder& o);
  void send_trade(Session& s, const DemoTrade& t);
  void send_stop_order(Session& s, const DemoStopOrder& o);
  void reply(Session& s, int32_t trans_id, const DemoReply& r);

  DemoMarket& market_;
  mutable std::mutex mutex_;
  std::map<int32_t, Pending> pending_;  // by transaction id
  std::vector<DemoOrder> orders_;
  std::vector<DemoTrade> trades_;
  std::vector<DemoStopOrder> stop_orders_;
  std::vector<DemoReply> replies_;
  std::vector<DemoTransaction> transactions_;
  int64_t next_number_ = 5001;
};

}  // namespace kelda::server_double
