// The demo desk's stop orders: taking a new one from its transaction,
// cancelling one, the conditions checked at every step of the demo market,
// and the stop-order rows sent to the client.
#include <algorithm>

#include "demo_trading_text.h"
#include "server_double/demo_trading.h"
#include "server_double/market_messages.h"

namespace kelda::server_double {
namespace m = market;

namespace {

constexpr uint16_t kMsgStopOrder = 0x808F;
constexpr uint32_t kActive = 0x1;
constexpr uint32_t kCancelled = 0x2;
constexpr uint32_t kSell = 0x4;
constexpr uint32_t kNoExpiry = 0x20;

// The server id of a security named by its class and security codes; -1
// when the market has no such security.
int32_t security_by_codes(const DemoMarket& market, const std::string& class_code, const std::string& code) {
  for (const DemoClass& c : market.classes()) {
    if (c.code != class_code) continue;
    for (const DemoSecurity& sec : c.securities) {
      if (sec.code == code) return sec.server_id;
    }
  }
  return -1;
}

}  // namespace

DemoReply DemoTrading::new_stop_order(Session& s, const Values& v, int32_t security) {
  if (security < 0) return {0, kReplyRefused, "Unknown security " + v.get("SECCODE"), 0};
  int32_t kind = 0;
  if (!v.number32("STOPORDERTYPE", kind) || (kind != 1 && kind != 2 && kind != 3 && kind != 6)) {
    return {0, kReplyRefused, "Wrong stop-order type " + v.get("STOPORDERTYPE"), 0};
  }
  DemoStopOrder o{};
  o.sequence = static_cast<int32_t>(stop_orders_.size() + 1);
  o.flags = kActive;
  o.security = security;
  o.account = v.get("ACCOUNT");
  o.client_code = v.get("BROKERREF");
  o.kind = static_cast<int16_t>(kind);
  if (!v.number32("STOPPRICE", o.stop_price) || !v.number32("PRICE", o.price) ||
      !v.number32("QUANTITY", o.quantity) || o.quantity <= 0 || o.stop_price < 0 || o.price < 0) {
    return {0, kReplyRefused, "Wrong stop price, price or quantity", 0};
  }
  const std::string side = v.get("BUYSELL");
  if (side != "B" && side != "S") return {0, kReplyRefused, "Wrong operation " + side, 0};
  if (side == "S") o.flags |= kSell;
  int32_t expiry = 0;
  if (!v.number32("EXPIREDDATE", expiry)) return {0, kReplyRefused, "Wrong expiry date", 0};
  if (expiry > 0) {
    o.expiry_date = expiry;
    o.options &= ~kNoExpiry;
  }
  if (kind == 2) {
    o.condition_security = security_by_codes(market_, v.get("CO_SECBOARD"), v.get("CO_SECCODE"));
    if (o.condition_security < 0) {
      return {0, kReplyRefused, "Unknown condition security " + v.get("CO_SECBOARD") + " " + v.get("CO_SECCODE"), 0};
    }
  }
  if (kind == 3 && (!v.number32("STOP_CO_PRICE", o.linked_price) || o.linked_price <= 0)) {
    return {0, kReplyRefused, "Wrong linked order price", 0};
  }
  if (kind == 6 && (!v.number32("OFFSET", o.offset) || !v.number32("SPREAD", o.spread) || o.offset < 0 ||
                    o.spread < 0)) {
    return {0, kReplyRefused, "Wrong offset or spread", 0};
  }
  o.number = next_number_++;
  if (kind == 3) {
    // The linked order rests (or trades) at once; a stop order whose linked
    // order is done has nothing left to protect.
    const DemoOrder& linked = place(s, security, side == "S", o.linked_price, o.quantity, false, o.account,
                                    o.client_code);
    o.linked_order = linked.number;
    if ((linked.flags & kActive) == 0) o.flags = (o.flags & kSell) | kCancelled;
  }
  stop_orders_.push_back(o);
  send_stop_order(s, o);
  return {0, kReplyAccepted, "Stop order " + std::to_string(o.number) + " registered", o.number};
}

DemoReply DemoTrading::kill_stop_order(Session& s, const Values& v) {
  int64_t number = 0;
  if (!v.number("STOP_ORDER_KEY", number)) return {0, kReplyRefused, "Wrong stop-order number", 0};
  for (DemoStopOrder& o : stop_orders_) {
    if (o.number != number) continue;
    if ((o.flags & kActive) == 0) {
      return {0, kReplyRefused, "Stop order " + std::to_string(number) + " is not active", 0};
    }
    o.flags = (o.flags & kSell) | kCancelled;
    const DemoStopOrder done = o;
    if (done.linked_order != 0) withdraw_order(s, done.linked_order);
    send_stop_order(s, done);
    return {0, kReplyAccepted, "Stop order " + std::to_string(number) + " cancelled", number};
  }
  return {0, kReplyRefused, "Stop order " + std::to_string(number) + " not found", 0};
}

const DemoOrder* DemoTrading::find_order(int64_t number) const {
  for (const DemoOrder& o : orders_) {
    if (o.number == number) return &o;
  }
  return nullptr;
}

void DemoTrading::withdraw_order(Session& s, int64_t number) {
  for (DemoOrder& o : orders_) {
    if (o.number != number || (o.flags & kActive) == 0) continue;
    o.flags = (o.flags & kSell) | kCancelled;
    send_order(s, o);
  }
}

bool DemoTrading::stop_condition_met(DemoStopOrder& o) {
  const bool sell = (o.flags & kSell) != 0;
  const DemoSecurity* sec = market_.security(o.condition_security >= 0 ? o.condition_security : o.security);
  if (sec == nullptr) return false;
  const int32_t price = sec->price;
  switch (o.kind) {
    case 2:
      return sell ? price >= o.stop_price : price <= o.stop_price;
    case 6:
      if (!o.armed) {
        if (sell ? price < o.stop_price : price > o.stop_price) return false;
        o.armed = true;
        o.extreme = price;
      }
      o.extreme = sell ? std::max(o.extreme, price) : std::min(o.extreme, price);
      return sell ? o.extreme - price >= o.offset : price - o.extreme >= o.offset;
    default:
      return sell ? price <= o.stop_price : price >= o.stop_price;
  }
}

void DemoTrading::step(Session& s) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < stop_orders_.size(); ++i) {
    if ((stop_orders_[i].flags & kActive) == 0) continue;
    const bool sell = (stop_orders_[i].flags & kSell) != 0;
    if (stop_orders_[i].linked_order != 0) {
      const DemoOrder* linked = find_order(stop_orders_[i].linked_order);
      if (linked == nullptr || (linked->flags & kActive) == 0) {
        stop_orders_[i].flags = (stop_orders_[i].flags & kSell) | kCancelled;
        send_stop_order(s, stop_orders_[i]);
        continue;
      }
    }
    if (!stop_condition_met(stop_orders_[i])) continue;
    const DemoStopOrder copy = stop_orders_[i];
    int32_t price = copy.price;
    if (copy.kind == 6) {
      const DemoSecurity* sec = market_.security(copy.security);
      const int32_t now = sec != nullptr ? sec->price : copy.stop_price;
      price = std::max(1, sell ? now - copy.spread : now + copy.spread);
    }
    if (copy.linked_order != 0) withdraw_order(s, copy.linked_order);
    const int64_t placed = place(s, copy.security, sell, price, copy.quantity, false, copy.account,
                                 copy.client_code).number;
    DemoStopOrder& done = stop_orders_[i];
    done.flags &= ~kActive;
    done.placed_order = placed;
    send_stop_order(s, done);
  }
}

void DemoTrading::send_stop_order(Session& s, const DemoStopOrder& o) {
  Bytes b;
  put32(b, static_cast<uint32_t>(o.sequence));
  m::put_double(b, static_cast<double>(o.number));
  put32(b, 100000);
  put32(b, o.flags);
  m::put_text(b, o.client_code);  // the comment: the client code it was given
  m::put_text(b, "");
  m::put_text(b, o.account);
  put32(b, static_cast<uint32_t>(o.security));
  put16(b, 0);
  put32(b, static_cast<uint32_t>(o.stop_price));
  put32(b, static_cast<uint32_t>(o.price));
  put32(b, static_cast<uint32_t>(o.quantity));
  m::put_double(b, static_cast<double>(o.placed_order));
  put32(b, static_cast<uint32_t>(o.expiry_date));
  put32(b, 0);
  m::put_text(b, "");
  put32(b, static_cast<uint32_t>(o.condition_security >= 0 ? o.condition_security : o.security));
  m::put_double(b, static_cast<double>(o.linked_order));
  put32(b, static_cast<uint32_t>(o.linked_price));
  put16(b, static_cast<uint16_t>(o.kind));
  put32(b, 0);
  m::put64(b, 0);
  put32(b, o.options);
  put32(b, static_cast<uint32_t>(o.offset));
  put32(b, static_cast<uint32_t>(o.spread));
  put32(b, static_cast<uint32_t>((o.flags & kActive) != 0 ? o.quantity : 0));  // balance
  put32(b, 0);
  put32(b, static_cast<uint32_t>(o.placed_order != 0 ? o.quantity : 0));  // filled
  for (int i = 0; i < 4; ++i) put32(b, 0);
  s.send_message(kMsgStopOrder, b);
}

}  // namespace kelda::server_double
