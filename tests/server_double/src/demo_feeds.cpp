#include "server_double/demo_feeds.h"

#include <algorithm>
#include <cmath>

#include "server_double/market_messages.h"

namespace kelda::server_double {
namespace m = market;

namespace {

// 0x8025: one trade, its value in hundredths.
Bytes all_trade(const DemoMarketTrade& t, int32_t date) {
  Bytes b;
  put32(b, static_cast<uint32_t>(t.sequence));
  m::put64(b, 7000000000ULL + static_cast<uint64_t>(t.sequence));
  put32(b, static_cast<uint32_t>(date));
  put32(b, static_cast<uint32_t>(t.time));
  put16(b, 0);
  put32(b, static_cast<uint32_t>(t.security));
  put32(b, static_cast<uint32_t>(t.price));
  put32(b, static_cast<uint32_t>(t.quantity));
  m::put_double(b, static_cast<double>(t.price) * t.quantity);
  m::put_double(b, 0);
  put32(b, 0);
  m::put_text(b, "DEMO");
  put32(b, 0);
  m::put_double(b, 0);
  m::put_double(b, 0);
  put16(b, 0);
  return b;
}

Bytes words(std::initializer_list<int32_t> values) {
  Bytes b;
  for (int32_t v : values) put32(b, static_cast<uint32_t>(v));
  return b;
}

}  // namespace

void DemoFeeds::attach(Session& s) {
  s.on(0x75, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    all_trades_ = true;
    const auto from = static_cast<std::size_t>(std::max(0, m::get32(msg.body, 0)));
    for (std::size_t i = from; i < trades_.size(); ++i) send_trade(session, trades_[i]);
  });
  s.on(0x76, [this](Session&, const Message&) {
    std::lock_guard lock(mutex_);
    all_trades_ = false;
  });
  s.on(0x802D, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    const int32_t id = m::get32(msg.body, 0);
    minute_subscribers_.insert(id);
    send_history(session, id);
  });
  s.on(0x8031, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    send_archive(session, m::get32(msg.body, 0), m::get32(msg.body, 4), m::get32(msg.body, 8));
  });
  s.on(0x802F, [this](Session&, const Message& msg) {
    std::lock_guard lock(mutex_);
    minute_subscribers_.erase(m::get32(msg.body, 0));
  });
}

void DemoFeeds::send_trade(Session& s, const DemoMarketTrade& t) { s.send_message(0x8025, all_trade(t, trade_date_)); }

void DemoFeeds::send_history(Session& s, int32_t security) {
  s.send_message(0x802E, words({security}));
  for (const DemoMinute& b : minutes_[security]) {
    s.send_message(0x8063, words({security, trade_date_, b.time, b.open, b.high, b.low, b.close, b.volume}));
  }
  s.send_message(0x8030, words({security}));
}

void DemoFeeds::trade(Session& s, int32_t security, int32_t price, int32_t quantity, int32_t time) {
  std::lock_guard lock(mutex_);
  const DemoMarketTrade t{static_cast<int32_t>(trades_.size()), security, price, quantity, time};
  trades_.push_back(t);
  auto& bars = minutes_[security];
  const int32_t minute = time / 100 * 100;
  if (bars.empty() || bars.back().time != minute) {
    bars.push_back({minute, price, price, price, price, quantity});
  } else {
    DemoMinute& b = bars.back();
    b.high = std::max(b.high, price);
    b.low = std::min(b.low, price);
    b.close = price;
    b.volume += quantity;
  }
  if (all_trades_) send_trade(s, t);
  if (minute_subscribers_.count(security) != 0) s.send_message(0x802C, words({security, time, price, quantity}));
}

void DemoFeeds::set_previous_close(int32_t security, int32_t price) {
  std::lock_guard lock(mutex_);
  previous_close_[security] = price;
}

std::vector<DemoFeeds::HistoryBar> DemoFeeds::history(int32_t security, int32_t period) const {
  std::lock_guard lock(mutex_);
  return history_locked(security, period);
}

std::vector<DemoFeeds::HistoryBar> DemoFeeds::history_locked(int32_t security, int32_t period) const {
  const auto known = previous_close_.find(security);
  const double close = known == previous_close_.end() ? 10000.0 : known->second;
  std::vector<HistoryBar> out;
  // A trading day of bars of the period (10:00 to 18:45), or one bar for
  // longer periods.
  constexpr int32_t kOpen = 10 * 60, kLast = 18 * 60 + 45;
  const int count = period > 0 ? (kLast - kOpen) / period + 1 : 1;
  // The closes wander around the previous close in two waves and end at it;
  // each bar opens at the close before it.
  auto close_at = [&](int i) {
    const double before_end = count - 1 - i;
    return close + 40.0 * std::sin(before_end * 0.35) + 25.0 * std::sin(before_end * 0.09);
  };
  for (int i = 0; i < count; ++i) {
    const int32_t minutes = period > 0 ? kOpen + i * period : 0;
    const double c = std::round(close_at(i));
    const double o = i == 0 ? std::round(close_at(i) - 5.0) : out.back().close;
    const double wick = 5.0 + (i * 7) % 11;
    out.push_back({20240104, minutes / 60 * 10000 + minutes % 60 * 100, o, std::max(o, c) + wick,
                   std::min(o, c) - wick, c, 100.0 + (i * 37) % 90});
  }
  return out;
}

// Server message 31 in parts of 0xEE: the data little-endian, as the
// client's machine reads it.
void DemoFeeds::send_archive(Session& s, int32_t security, int32_t parameter, int32_t period) {
  Bytes data;
  auto put = [&data](const void* p, std::size_t n) {
    data.insert(data.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  };
  const std::vector<HistoryBar> bars = history_locked(security, period);
  const uint32_t head[4] = {static_cast<uint32_t>(security), static_cast<uint32_t>(parameter),
                            static_cast<uint32_t>(period),
                            static_cast<uint32_t>(bars.size())};
  put(head, sizeof head);
  for (const HistoryBar& b : bars) {
    const double v[5] = {b.volume, b.open, b.high, b.low, b.close};
    const uint32_t when[2] = {static_cast<uint32_t>(b.date), static_cast<uint32_t>(b.time)};
    put(v, sizeof v);
    put(when, sizeof when);
  }
  constexpr std::size_t kPart = 650;
  for (std::size_t at = 0; at < data.size(); at += kPart) {
    const std::size_t n = std::min(kPart, data.size() - at);
    Bytes part;
    put32(part, 31);
    put16(part, static_cast<uint16_t>((at == 0 ? 1 : 0) | (at + n == data.size() ? 4 : 0)));
    put16(part, static_cast<uint16_t>(n));
    part.insert(part.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                data.begin() + static_cast<std::ptrdiff_t>(at + n));
    s.send_message(0xEE, part);
  }
}

int32_t DemoFeeds::trades() const {
  std::lock_guard lock(mutex_);
  return static_cast<int32_t>(trades_.size());
}

std::vector<DemoMinute> DemoFeeds::minutes(int32_t security) const {
  std::lock_guard lock(mutex_);
  const auto it = minutes_.find(security);
  return it == minutes_.end() ? std::vector<DemoMinute>{} : it->second;
}

}  // namespace kelda::server_double
