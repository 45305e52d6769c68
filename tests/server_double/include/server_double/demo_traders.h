// The demo desk's people: the user's trade accounts and the traders of the
// demo server with their messages. The user is trader 1 (the session id of
// the demo market's session information); traders 2 and 3 answer every
// message the user sends them with a message of their own and a receipt.
//
// Use: construct, attach() to a session before it serve()s (it answers the
// trade-account request 0x42, the traders' booking 0x71, messages sent
// 0x8082 and receipts 0x8044; attached after DemoAccounts, its account
// list, which tries the client's merging of repeated accounts, replaces the
// firm's); pass_note() sends a message between two
// other traders, which the client must neither keep nor answer.
//
// Threading: the session's serve thread runs the handlers while another
// thread calls pass_note() or the accessors; one mutex guards the state.
// Never throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "server_double/server_double.h"

namespace kelda::server_double {

struct DemoTraderMessage {
  int32_t id;
  int32_t sender;
  int32_t recipient;
  std::string text;
  bool receipted = false;  // the recipient's receipt came
};

class DemoTraders {
 public:
  static constexpr int32_t kUser = 1;
  static constexpr int32_t kDate = 20240105;

  void attach(Session& s);
  // A message from trader 2 to trader 3.
  void pass_note(Session& s, const std::string& text);

  std::vector<DemoTraderMessage> messages() const;
  int account_requests() const;

 private:
  void send_message(Session& s, const DemoTraderMessage& m);

  mutable std::mutex mutex_;
  std::vector<DemoTraderMessage> messages_;
  int account_requests_ = 0;
};

}  // namespace kelda::server_double
