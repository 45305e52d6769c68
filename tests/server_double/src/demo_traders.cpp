#include "server_double/demo_traders.h"

#include <algorithm>
#include <cstring>

#include "server_double/market_messages.h"

namespace kelda::server_double {
namespace m = market;

namespace {

constexpr int32_t kTime = 101500;

struct DemoTrader {
  int32_t id;
  const char* name;
  const char* text;
  const char* code;
};
constexpr DemoTrader kTraders[] = {
    {1, "Demo user", "Desk", "DEMO"}, {2, "Broker desk", "Support", "BRK"}, {3, "Analyst", "Research", "ANL"}};

struct DemoAccount {
  int32_t number;
  const char* second_code;
  const char* account;
  const char* description;
};
// The first account comes again with one item it has (in blanks) and one
// new: the client keeps each item once.
constexpr DemoAccount kAccounts[] = {{0, "", "L01-00000F00", "Main account|Shares"},
                                     {1, "SPBFUT", "SPBFUT00A1B", "Futures"},
                                     {0, "", "L01-00000F00", " Shares |Bonds"}};

void put_counted(Bytes& b, const std::string& s) {
  put16(b, static_cast<uint16_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}

// The text that starts at `at` (up to its zero or the end).
std::string text_at(const Bytes& b, std::size_t at) {
  if (at >= b.size()) return {};
  const auto* p = reinterpret_cast<const char*>(b.data()) + at;
  return std::string(p, strnlen(p, b.size() - at));
}

void put_times(Bytes& b) {
  for (int32_t w : {DemoTraders::kDate, kTime, DemoTraders::kDate, kTime}) put32(b, static_cast<uint32_t>(w));
}

void send_receipt(Session& s, int32_t message_id, int32_t sender) {
  Bytes r;
  put_times(r);
  put32(r, static_cast<uint32_t>(message_id));
  put32(r, static_cast<uint32_t>(sender));
  put16(r, 0);
  s.send_message(0x8044, r);
}

}  // namespace

void DemoTraders::attach(Session& s) {
  s.on(0x42, [this](Session& session, const Message&) {
    std::lock_guard lock(mutex_);
    ++account_requests_;
    for (const DemoAccount& a : kAccounts) {
      Bytes b;
      put32(b, static_cast<uint32_t>(a.number));
      m::put_text(b, a.second_code);
      m::put_text(b, a.account);
      put_counted(b, a.description);
      session.send_message(0xC8, b);
    }
  });
  s.on(0x71, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    for (const DemoTrader& t : kTraders) {
      Bytes b;
      put32(b, static_cast<uint32_t>(t.id));
      m::put_text(b, t.name);
      m::put_text(b, t.text);
      m::put_text(b, t.code);
      session.send_message(0x803E, b);
    }
    session.send_message(0x8040, m::word32(2));
    const int32_t after = m::get32(msg.body, 0);
    for (const DemoTraderMessage& d : messages_) {
      if (d.recipient == kUser && d.id > after) send_message(session, d);
    }
  });
  s.on(0x8082, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    const int32_t recipient = m::get32(msg.body, 8);
    const int32_t sender = m::get32(msg.body, 12);
    const std::string text = text_at(msg.body, 18);
    const DemoTraderMessage sent{static_cast<int32_t>(messages_.size()) + 1, sender, recipient, text};
    messages_.push_back(sent);
    send_message(session, sent);
    if (recipient != 2 && recipient != 3) return;
    // The recipient reads it and answers.
    messages_.back().receipted = true;
    send_receipt(session, sent.id, sender);
    const DemoTraderMessage answer{static_cast<int32_t>(messages_.size()) + 1, recipient, sender, "Re: " + text};
    messages_.push_back(answer);
    send_message(session, answer);
  });
  s.on(0x8044, [this](Session&, const Message& msg) {
    std::lock_guard lock(mutex_);
    const int32_t id = m::get32(msg.body, 16);
    for (DemoTraderMessage& d : messages_) {
      if (d.id == id) d.receipted = true;
    }
  });
}

void DemoTraders::send_message(Session& s, const DemoTraderMessage& d) {
  Bytes b;
  put_times(b);
  put32(b, static_cast<uint32_t>(d.id));
  put32(b, static_cast<uint32_t>(d.recipient));
  put32(b, static_cast<uint32_t>(d.sender));
  m::put_text(b, "");
  m::put_text(b, "");
  put16(b, 0);
  m::put_text(b, d.text);
  s.send_message(0x8083, b);
}

void DemoTraders::pass_note(Session& s, const std::string& text) {
  std::lock_guard lock(mutex_);
  const DemoTraderMessage note{static_cast<int32_t>(messages_.size()) + 1, 2, 3, text};
  messages_.push_back(note);
  send_message(s, note);
}

std::vector<DemoTraderMessage> DemoTraders::messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

int DemoTraders::account_requests() const {
  std::lock_guard lock(mutex_);
  return account_requests_;
}

}  // namespace kelda::server_double
