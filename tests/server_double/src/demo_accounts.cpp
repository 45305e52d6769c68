#include "server_double/demo_accounts.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <utility>

#include "kit/codepage.h"
#include "server_double/market_messages.h"

namespace kelda::server_double {
namespace m = market;

namespace {

// A text field of fixed width on the wire: its characters and a zero (the
// server's texts in these fields are in code page 866).
void put_code(Bytes& b, const std::string& s) { m::put_text(b, s); }

void put_counted(Bytes& b, const std::string& s) {
  put16(b, static_cast<uint16_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}

std::string cp866_of(const std::string& cp1251) {
  std::string out = cp1251;
  kit::mem_cp1251_to_cp866(out.data(), out.data(), out.size());
  return out;
}

// Today's local date as YYYYMMDD: the news are the day's.
int32_t local_date() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return (t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday;
}

constexpr std::size_t kNewsPart = 500;
constexpr std::size_t kRulePart = 200;  // the rule text goes in several parts
constexpr int32_t kNewsTime = 100000;

}  // namespace

DemoAccounts::DemoAccounts() {
  depo_ = {{0, "GAZP", 1000}, {1, "SBER", 500}};
  const char* headlines[] = {"Биржа открылась", "Газпром объявил дивиденды", "Курс рубля вырос"};
  const char* bodies[] = {
      "Торги на бирже начались в обычном режиме.",
      "Совет директоров рекомендовал выплатить дивиденды. ",
      "Рубль укрепился к доллару на утренних торгах."};
  for (int i = 0; i < 3; ++i) {
    std::string body = kit::cp1251_from_utf8(bodies[i]);
    if (i == 1) {
      // A body longer than one part.
      const std::string once = body;
      while (body.size() < 1200) body += once;
    }
    news_.push_back({100 + i, 1 + i, kit::cp1251_from_utf8(headlines[i]), body});
  }
  // The firm's margin rules: credit against GAZP and SBER, every share of
  // TQBR counted as an asset (LKOH at a weight), the money limits of board
  // tag EQTV, quantities in pieces, and the demo client at credit lag 2.
  rule_text_ = kit::cp1251_from_utf8(
      "; Демо брокер: правила маржинального кредитования\r\n"
      "; Бумаги под кредит и бумаги в обеспечение\r\n"
      "[GENERAL]\r\n"
      "CREDITLAG=1\r\n"
      "LIMITSINLOTS=0\r\n"
      "MAINMARGINCLASSES=TQBR\r\n"
      "[LIMITALLOWEDSECURITY]\r\n"
      "TQBR=GAZP,SBER\r\n"
      "[ASSETSECURITIES]\r\n"
      "TQBR=<ALL>\r\n"
      "[SECURITYWEIGHT]\r\n"
      "LKOH=0.8,1.2\r\n"
      "[BOARDTAG]\r\n"
      "EQTV=1\r\n"
      "[CLIENTLAG]\r\n"
      "DEMO1=2\r\n");
}

void DemoAccounts::attach(Session& s) {
  auto locked = [this](auto f) {
    return [this, f](Session& session, const Message& msg) {
      std::lock_guard lock(mutex_);
      f(session, msg);
    };
  };
  s.on(0x5E, locked([this](Session& session, const Message&) {
    limits_asked_ = true;
    send_money(session);
  }));
  s.on(0x62, locked([this](Session& session, const Message&) {
    limits_asked_ = true;
    for (const auto& l : depo_) send_depo(session, l);
  }));
  s.on(0x8003, locked([this](Session& session, const Message& msg) {
    // request id, currency, tag, client, firm, then three doubles: take the
    // second value as the new current limit and answer.
    Bytes reply;
    put32(reply, static_cast<uint32_t>(m::get32(msg.body, 0)));
    put32(reply, 0);
    put32(reply, 0);
    put_counted(reply, "Limit accepted");
    session.send_message(0x8009, reply);
    send_money(session);
  }));
  s.on(0x42, locked([](Session& session, const Message&) {
    // The firm's trading accounts: the firm code is their second code, the
    // key by which a client finds the accounts of a class's firm.
    const std::pair<const char*, const char*> accounts[] = {{kShareAccount, "Main account|Shares"},
                                                            {kFuturesAccount, "Futures"}};
    int32_t number = 0;
    for (const auto& [code, description] : accounts) {
      Bytes a;
      put32(a, static_cast<uint32_t>(number++));
      put_code(a, kFirm);
      put_code(a, code);
      put_counted(a, description);
      session.send_message(0xC8, a);
    }
  }));
  s.on(0x9A, locked([](Session& session, const Message& msg) {
    if (m::get32(msg.body, 0) > 0) return;  // one firm, number 0
    Bytes f;
    put32(f, 0);
    put_code(f, kFirm);
    put_code(f, cp866_of(kit::cp1251_from_utf8("Демо брокер")));
    put16(f, 1);
    put_code(f, "DB");
    put32(f, 7);
    session.send_message(0x8089, f);
    Bytes t;
    put32(t, 0);
    put16(t, 4);
    put_counted(t, "EQTV|SPBFUT|EQTV");
    session.send_message(0x8067, t);
  }));
  s.on(0x54, locked([](Session& session, const Message&) {
    Bytes a;
    put32(a, 0);
    put_code(a, kDepoAccount);
    put_code(a, kFirm);
    for (double d : {1.0, 2.0, 3.0, 4.0, 5.0, 6.0}) m::put_double(a, d);
    session.send_message(0x8077, a);
  }));
  s.on(0x50, locked([](Session& session, const Message&) {
    Bytes a;
    put32(a, 0);
    for (const char* c : {kDepoAccount, "GAZP", kFirm, kClient}) put_code(a, c);
    for (int i = 1; i <= 8; ++i) m::put_double(a, i * 10.0);
    session.send_message(0x8076, a);
  }));
  s.on(0x93, locked([](Session& session, const Message&) {
    Bytes l;
    put32(l, 0);
    put_code(l, kFirm);
    put_code(l, "SPBFUT00D01");
    put16(l, 0);
    for (double d : {0.0, 5000000.0, 5000000.0, 120000.0, 0.0, -2500.0, 0.0}) m::put_double(l, d);
    put32(l, 0);
    put32(l, 0);
    for (int i = 0; i < 4; ++i) m::put_double(l, 0);
    put32(l, 150);
    session.send_message(0x8068, l);
  }));
  s.on(0x96, locked([](Session& session, const Message&) {
    Bytes h;
    put32(h, 0);
    put_code(h, kFirm);
    put_code(h, "SPBFUT00D01");
    put_code(h, "RIH7");
    put16(h, 0);
    for (int32_t w : {0, 0, 2, 0, 0, 3, 0, 0}) put32(h, static_cast<uint32_t>(w));
    for (double d : {0.0, 0.0, 1500.0}) m::put_double(h, d);
    put32(h, 110000);
    m::put_double(h, 0);
    session.send_message(0x8069, h);
  }));
  s.on(0x43, locked([](Session& session, const Message&) {
    Bytes p;
    put32(p, 0);
    put_code(p, kClient);
    put_code(p, "SUR");
    put_code(p, "EQTV");
    put_code(p, "Demo client account");
    session.send_message(0x802A, p);
    Bytes v;
    put32(v, 0);
    for (int i = 0; i < 11; ++i) m::put_double(v, 100.0 * i);
    session.send_message(0x808B, v);
  }));
  s.on(0x59, locked([this](Session& session, const Message&) {
    for (std::size_t i = 0; i < published_; ++i) send_news_item(session, news_[i]);
  }));
  s.on(0x78, locked([this](Session& session, const Message& msg) {
    const int32_t number = m::get32(msg.body, 0);
    const auto n = std::find_if(news_.begin(), news_.end(), [&](const DemoNews& d) { return d.number == number; });
    if (n == news_.end()) return;
    for (std::size_t at = 0; at < n->body.size(); at += kNewsPart) {
      Bytes part;
      put32(part, static_cast<uint32_t>(number));
      put32(part, at + kNewsPart >= n->body.size() ? 1 : 0);
      put_counted(part, n->body.substr(at, kNewsPart));
      session.send_message(0x58, part);
    }
  }));
  s.on(0x5A, [](Session& session, const Message& msg) { session.send_message(0x5A, msg.body); });
  s.on(0xBA, locked([this](Session& session, const Message& msg) {
    const int32_t request = m::get32(msg.body, 0);
    const std::string firm(reinterpret_cast<const char*>(msg.body.data()) + 4,
                           strnlen(reinterpret_cast<const char*>(msg.body.data()) + 4, msg.body.size() - 4));
    const std::string text = cp866_of(firm == kFirm ? rule_text_ : kit::cp1251_from_utf8("Файл не найден"));
    const int16_t last = firm == kFirm ? 4 : 8;
    for (std::size_t at = 0; at < text.size() || at == 0; at += kRulePart) {
      Bytes part;
      put32(part, static_cast<uint32_t>(request));
      put16(part, static_cast<uint16_t>(at + kRulePart >= text.size() ? last : 0));
      put_code(part, firm);
      put_counted(part, at + kRulePart >= text.size() ? std::string("margin.dli") : std::string());
      put_counted(part, text.substr(at, kRulePart));
      session.send_message(0xBB, part);
      if (text.empty()) break;
    }
  }));
}

void DemoAccounts::send_money(Session& s) {
  Bytes b;
  put32(b, 0);
  put_code(b, "SUR");
  put_code(b, "EQTV");
  put_code(b, kFirm);
  put_code(b, kClient);
  for (double d : {100000000.0, 100000000.0, balance_ * 100, balance_ * 100, locked_ * 100, 0.0}) m::put_double(b, d);
  put32(b, static_cast<uint32_t>(-1));
  s.send_message(0xF0, b);
}

void DemoAccounts::send_depo(Session& s, const DemoDepoLimit& l) {
  Bytes b;
  put32(b, static_cast<uint32_t>(l.number));
  put_code(b, kDepoAccount);
  put_code(b, l.security);
  put_code(b, kFirm);
  put_code(b, kClient);
  for (int i = 0; i < 6; ++i) m::put_double(b, l.quantity);
  for (int i = 0; i < 3; ++i) m::put_double(b, 0);
  s.send_message(0x8072, b);
}

void DemoAccounts::send_news_item(Session& s, const DemoNews& n) {
  Bytes b;
  put32(b, static_cast<uint32_t>(n.number));
  put32(b, static_cast<uint32_t>(n.id));
  put_code(b, "DEMO");
  put_code(b, cp866_of(kit::cp1251_from_utf8("Демо-лента")));
  put32(b, kNewsTime + n.id);
  put32(b, local_date());
  put32(b, 1);
  put32(b, static_cast<uint32_t>(n.body.size()));
  put_code(b, cp866_of(n.headline));
  s.send_message(0x57, b);
}

void DemoAccounts::trade(Session& s, const std::string& security, int32_t quantity, double price) {
  std::lock_guard lock(mutex_);
  balance_ -= quantity * price;
  auto it = std::find_if(depo_.begin(), depo_.end(), [&](const DemoDepoLimit& l) { return l.security == security; });
  if (it == depo_.end()) {
    depo_.push_back({static_cast<int32_t>(depo_.size()), security, 0});
    it = depo_.end() - 1;
  }
  it->quantity += quantity;
  if (!limits_asked_) return;
  send_money(s);
  send_depo(s, *it);
}

void DemoAccounts::publish_news(Session& s) {
  std::lock_guard lock(mutex_);
  if (published_ >= news_.size()) return;
  send_news_item(s, news_[published_++]);
}

double DemoAccounts::money_balance() const {
  std::lock_guard lock(mutex_);
  return balance_;
}

double DemoAccounts::depo_quantity(const std::string& security) const {
  std::lock_guard lock(mutex_);
  for (const auto& l : depo_) {
    if (l.security == security) return l.quantity;
  }
  return 0;
}

std::vector<DemoNews> DemoAccounts::news() const {
  std::lock_guard lock(mutex_);
  return news_;
}

std::string DemoAccounts::rule_text() const {
  std::lock_guard lock(mutex_);
  return rule_text_;
}

}  // namespace kelda::server_double
