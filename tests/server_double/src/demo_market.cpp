#include "server_double/demo_market.h"

#include <algorithm>

#include "server_double/demo_accounts.h"
#include "server_double/market_messages.h"

namespace kelda::server_double {
namespace m = market;

namespace {

constexpr int kLevelsPerSide = 5;

// Levels around a price: bids below, offers above, volumes from the walk.
std::vector<DemoLevel> levels_around(int32_t price, uint32_t noise) {
  std::vector<DemoLevel> out;
  for (int i = kLevelsPerSide; i >= 1; --i) {
    out.push_back({price - i, -static_cast<int32_t>(10 * i + (noise >> i) % 7)});
  }
  for (int i = 1; i <= kLevelsPerSide; ++i) out.push_back({price + i, static_cast<int32_t>(10 * i + (noise >> (i + 8)) % 7)});
  return out;
}

// A price list carries a bid's volume on the positive side and an offer's
// on the negative side: the positive side is what the terminal shows as the
// bid volume.
int32_t price_list_volume(const DemoLevel& l) { return -l.volume; }

}  // namespace

DemoMarket::DemoMarket(uint32_t seed) : state_(seed == 0 ? 1 : seed) {
  classes_ = {
      {5, "TQBR", "Shares", DemoAccounts::kFirm, 0,
       {{1000, "GAZP", "Gazprom", 2, 16000}, {1001, "SBER", "Sberbank", 2, 27000}, {1002, "LKOH", "Lukoil", 1, 65000}}},
      {6, "SPBFUT", "Futures", DemoAccounts::kFirm, 0x40,
       {{2000, "RIH7", "RTS index", 0, 110000}, {2001, "SIH7", "USD/RUB", 0, 65000}}},
  };
  for (auto& c : classes_) {
    for (auto& s : c.securities) {
      s.previous = s.price;
      levels_[s.server_id] = levels_around(s.price, 0);
      feeds_.set_previous_close(s.server_id, s.previous);
    }
  }
}

uint32_t DemoMarket::next_random() {
  // xorshift32: the same walk for the same seed on every machine.
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return state_;
}

DemoClass* DemoMarket::class_of(int32_t server_id) {
  for (auto& c : classes_) {
    if (c.server_id == server_id) return &c;
  }
  return nullptr;
}

DemoSecurity* DemoMarket::find(int32_t server_id) {
  for (auto& c : classes_) {
    for (auto& s : c.securities) {
      if (s.server_id == server_id) return &s;
    }
  }
  return nullptr;
}

void DemoMarket::attach(Session& s) {
  auto locked = [this](void (DemoMarket::*f)(Session&, const Message&)) {
    return [this, f](Session& session, const Message& msg) {
      std::lock_guard lock(mutex_);
      (this->*f)(session, msg);
    };
  };
  s.on(0x8034, locked(&DemoMarket::send_securities));
  s.on(0x8039, locked(&DemoMarket::send_server_ids));
  s.on(0x8032, locked(&DemoMarket::send_params));
  s.on(0x8045, [this](Session&, const Message& msg) {
    std::lock_guard lock(mutex_);
    const int32_t id = m::get32(msg.body, 0);
    if (filtered_.insert(id).second) fresh_.insert(id);
  });
  s.on(0x8046, [this](Session&, const Message& msg) {
    std::lock_guard lock(mutex_);
    filtered_.erase(m::get32(msg.body, 0));
  });
  s.on(0x8051, [this](Session&, const Message& msg) {
    std::lock_guard lock(mutex_);
    masks_[m::get32(msg.body, 8)] = (uint64_t{static_cast<uint32_t>(m::get32(msg.body, 4))} << 32) |
                                     static_cast<uint32_t>(m::get32(msg.body, 0));
  });
  s.on(0x8049, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    const int32_t id = m::get32(msg.body, 0);
    const DemoSecurity* sec = find(id);
    if (sec == nullptr || !price_lists_.insert(id).second) return;
    std::vector<int32_t> words;
    for (const DemoLevel& l : levels_[id]) {
      words.insert(words.end(), {l.price, price_list_volume(l), l.price / 10 * std::abs(l.volume)});
    }
    session.send_message(0x808E, m::packed_levels(id, 2, 4, words));
  });
  s.on(0x804A, [this](Session&, const Message& msg) {
    std::lock_guard lock(mutex_);
    price_lists_.erase(m::get32(msg.body, 0));
  });
  s.on(0x804B, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    const int32_t id = m::get32(msg.body, 0);
    const DemoSecurity* sec = find(id);
    if (sec != nullptr && books_.insert(id).second) send_book(session, *sec);
  });
  s.on(0x804C, [this](Session&, const Message& msg) {
    std::lock_guard lock(mutex_);
    books_.erase(m::get32(msg.body, 0));
  });
  s.on(0xC0, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    quotes_asked_ = true;
    for (int32_t n = std::max(0, m::get32(msg.body, 0)); n < next_quote_; ++n) send_quote(session, n);
  });
  s.on(kLogout, [](Session& session, const Message&) { session.drop(); });
  feeds_.attach(s);
}

void DemoMarket::open(Session& s) {
  std::lock_guard lock(mutex_);
  s.send_message(0x803D, m::session_info(1, "Demo server", "Demo session"));
  s.send_message(0x22, m::trading_session(trading_key(), 20240105));
  for (const auto& c : classes_) s.send_message(0x803C, m::class_description(c.server_id, c.code, c.name, c.firm, c.flags));
  s.send_message(0x4A, {});
}

void DemoMarket::send_securities(Session& s, const Message& msg) {
  const int32_t request = m::get32(msg.body, 0);
  const DemoClass* c = class_of(m::get32(msg.body, 4));
  if (c == nullptr) return;
  for (const auto& sec : c->securities) {
    s.send_message(0x8081, m::security(request, sec.server_id, sec.code, sec.name, sec.scale));
  }
  s.send_message(0x2, m::request_complete(request));
}

void DemoMarket::send_server_ids(Session& s, const Message& msg) {
  const DemoClass* c = class_of(m::get32(msg.body, 4));
  if (c == nullptr) return;
  std::vector<int32_t> ids;
  for (const auto& sec : c->securities) ids.push_back(sec.server_id);
  s.send_message(0x8038, m::server_ids(m::get32(msg.body, 0), 0, ids));
}

void DemoMarket::send_params(Session& s, const Message& msg) {
  const int32_t request = m::get32(msg.body, 0);
  s.send_message(0x24, m::parameter(request, kDemoParams[0], 0x1, 0));
  // The prices in the security's scale; the volume a plain number.
  for (int i = 1; i < 5; ++i) s.send_message(0x24, m::parameter(request, kDemoParams[i], i != 3 ? 0x10 : 0, 0));
  s.send_message(0x2, m::request_complete(request));
}

void DemoMarket::send_values(Session& s, const DemoClass& c, DemoSecurity& sec, bool snapshot) {
  const uint64_t mask = masks_.count(c.server_id) ? masks_[c.server_id] : kDemoParamMask;
  std::vector<int32_t> ints;
  std::vector<double> doubles;
  double last = sec.price;
  for (int i = 0; i < sec.scale; ++i) last /= 10;
  if (mask & 0x1) doubles.push_back(last);
  if (mask & 0x2) ints.push_back(sec.price - 1);
  if (mask & 0x4) ints.push_back(sec.price + 1);
  if (mask & 0x8) ints.push_back(sec.volume);
  if (mask & 0x10) ints.push_back(sec.previous);
  const int32_t time = 100000 + (steps_ / 60) * 100 + steps_ % 60;
  s.send_message(snapshot ? 0x8060 : 0x8061, m::values(sec.server_id, time, next_entry_++, mask & kDemoParamMask, ints, doubles));
}

void DemoMarket::send_price_list(Session& s, const DemoSecurity& sec, const std::vector<DemoLevel>& old) {
  const std::vector<DemoLevel>& now = levels_[sec.server_id];
  for (const DemoLevel& l : old) {
    const bool kept = std::any_of(now.begin(), now.end(), [&](const DemoLevel& n) { return n.price == l.price; });
    if (!kept) s.send_message(0x8052, m::price_level(sec.server_id, l.price, 0, 0));
  }
  for (const DemoLevel& l : now) {
    s.send_message(0x8052,
                   m::price_level(sec.server_id, l.price, price_list_volume(l), l.price / 10 * std::abs(l.volume)));
  }
}

void DemoMarket::send_book(Session& s, const DemoSecurity& sec) {
  s.send_message(0x804D, m::word32(sec.server_id));
  for (const DemoLevel& l : levels_[sec.server_id]) {
    s.send_message(0x8050, m::book_level(sec.server_id, l.price, std::abs(l.volume), l.volume < 0 ? 4 : 0));
  }
  s.send_message(0x804E, m::word32(sec.server_id));
}

void DemoMarket::send_quote(Session& s, int32_t number) {
  const auto& [security, price] = quote_log_[static_cast<std::size_t>(number)];
  s.send_message(0x804F, m::quote(number, security, price, "Q" + std::to_string(number)));
}

void DemoMarket::step(Session& s) {
  std::lock_guard lock(mutex_);
  ++steps_;
  for (auto& c : classes_) {
    for (auto& sec : c.securities) {
      const uint32_t r = next_random();
      sec.price = std::max<int32_t>(kLevelsPerSide + 1, sec.price + static_cast<int32_t>(r % 5) - 2);
      sec.volume += static_cast<int32_t>((r >> 8) % 100) + 1;
      const std::vector<DemoLevel> old = levels_[sec.server_id];
      levels_[sec.server_id] = levels_around(sec.price, r);
      if (filtered_.count(sec.server_id)) send_values(s, c, sec, fresh_.erase(sec.server_id) == 1);
      if (price_lists_.count(sec.server_id)) send_price_list(s, sec, old);
      if (books_.count(sec.server_id)) send_book(s, sec);
      // The step's trade: from 10:00:00 on, one second a step.
      const int32_t second = 36000 + steps_;
      const int32_t time = second / 3600 * 10000 + second / 60 % 60 * 100 + second % 60;
      feeds_.trade(s, sec.server_id, sec.price, static_cast<int32_t>((r >> 16) % 10) + 1, time);
    }
  }
  const DemoSecurity& quoted = classes_[0].securities[static_cast<std::size_t>(steps_) % classes_[0].securities.size()];
  quote_log_.emplace_back(quoted.server_id, quoted.price);
  if (quotes_asked_) send_quote(s, next_quote_);
  ++next_quote_;
}

std::vector<DemoClass> DemoMarket::classes() const {
  std::lock_guard lock(mutex_);
  return classes_;
}

const DemoSecurity* DemoMarket::security(int32_t server_id) const {
  std::lock_guard lock(mutex_);
  return const_cast<DemoMarket*>(this)->find(server_id);
}

std::vector<DemoLevel> DemoMarket::levels(int32_t server_id) const {
  std::lock_guard lock(mutex_);
  auto it = levels_.find(server_id);
  return it == levels_.end() ? std::vector<DemoLevel>{} : it->second;
}

int32_t DemoMarket::last_entry() const {
  std::lock_guard lock(mutex_);
  return next_entry_ - 1;
}

int32_t DemoMarket::quotes() const {
  std::lock_guard lock(mutex_);
  return next_quote_;
}

}  // namespace kelda::server_double
