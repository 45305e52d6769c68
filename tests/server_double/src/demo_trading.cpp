#include "server_double/demo_trading.h"

#include <algorithm>
#include <cstdlib>

#include "demo_trading_text.h"
#include "server_double/market_messages.h"

namespace kelda::server_double {
namespace m = market;

namespace {

constexpr uint16_t kMsgKind = 0x8095;
constexpr uint16_t kMsgField = 0x8096;
constexpr uint16_t kMsgKindEnd = 0x49;
constexpr uint16_t kMsgReply = 0xF2;
constexpr uint16_t kMsgOrder = 0x807B;
constexpr uint16_t kMsgTrade = 0x806F;
constexpr uint32_t kTradeDate = 20240105;

struct FieldDef {
  const char* key;
  const char* description;
  uint32_t roles;
  int16_t width;
  int16_t type;
  const char* values;
  const char* default_value = "";
  int32_t code = 0;  // 6: a stop price, scaled by the condition security
};

// Roles of the fields (what the client library's typed builders put in).
constexpr uint32_t kSecurity = 0x1;
constexpr uint32_t kFixed = 0x2;
constexpr uint32_t kStopType = 0x4;
constexpr uint32_t kOnTradeDate = 0x8;
constexpr uint32_t kClass = 0x800;
constexpr uint32_t kAccount = 0x1000;
constexpr uint32_t kOptional = 0x2000;
constexpr uint32_t kPrice = 0x10000;
constexpr uint32_t kQuantity = 0x20000;
constexpr uint32_t kSide = 0x40000;
constexpr uint32_t kClientCode = 0x400000;
constexpr uint32_t kStopPrice = 0x2000000;

enum class Action { new_order, kill_order, new_stop_order, kill_stop_order };

struct KindDef {
  int16_t offset;  // kind id = 10 * (class position + 1) + offset
  const char* name;
  uint32_t code;
  Action action;
  std::vector<FieldDef> fields;
};

// The classes have table flag 0x800: their new order is the 0x20 form.
const std::vector<KindDef>& kinds() {
  static const std::vector<KindDef> k = {
      {1, "New order", 36, Action::new_order,
       {{"CLASSCODE", "Class", 0x800, 12, 0, ""},
        {"SECCODE", "Security", 0x1, 12, 0, ""},
        {"ACCOUNT", "Account", 0x1000, 12, 0, ""},
        {"OPERATION", "Operation", 0x40000, 1, 4, "B=Buy|S=Sell"},
        {"TYPE", "Type", 0x800000, 1, 0, ""},
        {"PRICE", "Price", 0x10000, 12, 3, ""},
        {"QUANTITY", "Quantity", 0x20000, 10, 1, ""},
        {"CLIENT_CODE", "Client", 0x400000 | 0x2000, 12, 0, ""}}},
      {2, "Cancel order", 1, Action::kill_order, {{"ORDER_KEY", "Order", 0x4000, 12, 1, ""}}},
      // The fields of the order window's stop-order text. The fixed ones
      // take their defaults from the library's builder: a stop order of
      // kind 1 for the trading day, on its own security.
      {3, "New stop order", 8192, Action::new_stop_order,
       {{"STOPORDERTYPE", "Stop order type", kFixed | kStopType, 1, 1, "", "1"},
        {"EXPIREDDATE", "Expiry date", kFixed | kOnTradeDate, 8, 1, "", "-1"},
        {"ACCOUNT", "Account", kAccount, 12, 0, ""},
        {"BUYSELL", "Operation", kSide, 1, 4, "B=Buy|S=Sell"},
        {"CONDITION", "Condition", kFixed, 1, 1, "", "4"},
        {"STOPPRICE", "Stop price", kStopPrice, 12, 3, "", "", 6},
        {"TRANSFLAGS", "Flags", kFixed, 4, 1, "", "5"},
        {"SECBOARD", "Class", kClass, 12, 0, ""},
        {"SECCODE", "Security", kSecurity, 12, 0, ""},
        {"CO_SECCODE", "Condition security", kFixed | kSecurity | kOptional, 12, 0, ""},
        {"CO_SECBOARD", "Condition class", kFixed | kClass | kOptional, 12, 0, ""},
        {"PRICE", "Price", kPrice, 12, 3, ""},
        {"QUANTITY", "Quantity", kQuantity, 10, 1, ""},
        {"BROKERREF", "Client", kClientCode | kOptional, 20, 0, ""},
        {"STOP_CO_PRICE", "Linked order price", kFixed | kOptional, 12, 3, ""},
        {"OFFSET", "Offset", kFixed | kOptional, 12, 3, ""},
        {"SPREAD", "Spread", kFixed | kOptional, 12, 3, ""},
        {"ORDERNUM", "Order", kFixed | kOptional, 12, 1, "", "0"}}},
      {4, "Cancel stop order", 16384, Action::kill_stop_order, {{"STOP_ORDER_KEY", "Stop order", 0x4000, 12, 1, ""}}},
  };
  return k;
}

int16_t get16(const Bytes& b, std::size_t at) {
  if (b.size() < at + 2) return 0;
  return static_cast<int16_t>((uint16_t{b[at]} << 8) | b[at + 1]);
}

Bytes kind_body(int16_t id, const KindDef& k, int16_t class_id) {
  Bytes b;
  put16(b, static_cast<uint16_t>(id));
  m::put_text(b, k.name);
  put16(b, static_cast<uint16_t>(class_id));
  put16(b, static_cast<uint16_t>(k.fields.size()));
  put32(b, k.code);
  put32(b, 1);  // revision
  put32(b, 0);
  put32(b, 0);
  return b;
}

Bytes field_body(int16_t id, int16_t class_id, const FieldDef& f) {
  Bytes b;
  put16(b, static_cast<uint16_t>(class_id));
  put16(b, static_cast<uint16_t>(id));
  m::put_text(b, f.key);
  m::put_text(b, f.description);
  m::put_text(b, f.default_value);
  put32(b, f.roles);
  put16(b, static_cast<uint16_t>(f.width));
  put16(b, static_cast<uint16_t>(f.type));
  put16(b, 0);
  m::put_text(b, f.values);
  put32(b, static_cast<uint32_t>(f.code));
  put32(b, 0);
  return b;
}

}  // namespace

void DemoTrading::attach(Session& s) {
  s.on(0x3A, [this](Session& session, const Message& msg) { on_fields_request(session, msg); });
  s.on(0xFA, [this](Session& session, const Message& msg) { on_chunk(session, msg); });
  s.on(0x1E, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    for (const auto& o : orders_) {
      if (o.sequence >= m::get32(msg.body, 0)) send_order(session, o);
    }
  });
  s.on(0x1C, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    for (const auto& t : trades_) {
      if (t.sequence >= m::get32(msg.body, 0)) send_trade(session, t);
    }
  });
  s.on(0xA2, [this](Session& session, const Message& msg) {
    std::lock_guard lock(mutex_);
    for (const auto& o : stop_orders_) {
      if (o.sequence >= m::get32(msg.body, 0)) send_stop_order(session, o);
    }
  });
}

void DemoTrading::describe(Session& s) {
  const auto classes = market_.classes();
  for (std::size_t c = 0; c < classes.size(); ++c) {
    for (const KindDef& k : kinds()) {
      const auto id = static_cast<int16_t>(10 * (c + 1) + static_cast<std::size_t>(k.offset));
      s.send_message(kMsgKind, kind_body(id, k, static_cast<int16_t>(classes[c].server_id)));
    }
  }
}

void DemoTrading::on_fields_request(Session& s, const Message& msg) {
  const int16_t class_id = get16(msg.body, 0);
  const int16_t id = get16(msg.body, 2);
  for (const KindDef& k : kinds()) {
    if (id % 10 != k.offset) continue;
    for (const FieldDef& f : k.fields) s.send_message(kMsgField, field_body(id, class_id, f));
    Bytes end;
    put16(end, static_cast<uint16_t>(id));
    s.send_message(kMsgKindEnd, end);
  }
}

void DemoTrading::on_chunk(Session& s, const Message& msg) {
  const Bytes& b = msg.body;
  const int32_t trans_id = m::get32(b, 0);
  const int16_t part = get16(b, 14);
  const int16_t flags = get16(b, 16);
  const auto count = static_cast<uint16_t>(get16(b, 18));
  std::lock_guard lock(mutex_);
  Pending& p = pending_[trans_id];
  p.class_id = get16(b, 8);
  p.kind_id = get16(b, 10);
  if (part == 1 && b.size() >= 20u + count) p.text.insert(p.text.end(), b.begin() + 20, b.begin() + 20 + count);
  if ((flags & 4) == 0) return;
  const Pending done = p;
  pending_.erase(trans_id);
  execute(s, trans_id, done);
}

void DemoTrading::execute(Session& s, int32_t trans_id, const Pending& p) {
  const KindDef* kind = nullptr;
  for (const KindDef& k : kinds()) {
    if (p.kind_id % 10 == k.offset && p.kind_id / 10 >= 1) kind = &k;
  }
  std::string text(p.text.begin(), p.text.end());
  if (!text.empty() && text.back() == '\0') text.pop_back();
  Values v;
  std::size_t at = 0;
  bool whole = kind != nullptr;
  for (std::size_t i = 0; whole && i < kind->fields.size(); ++i) {
    const FieldDef& f = kind->fields[i];
    if (at + static_cast<std::size_t>(f.width) > text.size()) whole = false;
    else v.text[f.key] = trimmed(text.substr(at, static_cast<std::size_t>(f.width)));
    at += static_cast<std::size_t>(f.width);
  }
  transactions_.push_back({trans_id, p.class_id, p.kind_id, text, whole ? v.text : decltype(v.text){}});
  DemoReply r{trans_id, kReplyRefused, "", 0};
  if (!whole || at != text.size()) {
    r.text = "The transaction text does not match its kind";
  } else {
    int32_t security = -1;
    for (const auto& c : market_.classes()) {
      if (c.server_id != p.class_id) continue;
      for (const auto& sec : c.securities) {
        if (sec.code == v.get("SECCODE")) security = sec.server_id;
      }
    }
    switch (kind->action) {
      case Action::new_order: r = new_order(s, v, security); break;
      case Action::kill_order: r = kill_order(s, v); break;
      case Action::new_stop_order: r = new_stop_order(s, v, security); break;
      case Action::kill_stop_order: r = kill_stop_order(s, v); break;
    }
  }
  reply(s, trans_id, r);
}

DemoReply DemoTrading::new_order(Session& s, const Values& v, int32_t security) {
  int64_t price = 0;
  int64_t quantity = 0;
  if (security < 0) return {0, kReplyRefused, "Unknown security " + v.get("SECCODE"), 0};
  if (!v.number("PRICE", price) || !v.number("QUANTITY", quantity) || quantity <= 0 || price < 0) {
    return {0, kReplyRefused, "Wrong price or quantity", 0};
  }
  const std::string side = v.get("OPERATION");
  if (side != "B" && side != "S") return {0, kReplyRefused, "Wrong operation " + side, 0};
  const DemoOrder& o = place(s, security, side == "S", static_cast<int32_t>(price), static_cast<int32_t>(quantity),
                             v.get("TYPE") == "M", v.get("ACCOUNT"), v.get("CLIENT_CODE"));
  return {0, kReplyAccepted, "Order " + std::to_string(o.number) + " registered", o.number};
}

DemoOrder& DemoTrading::place(Session& s, int32_t security, bool sell, int32_t price, int32_t quantity, bool market,
                              const std::string& account, const std::string& client_code) {
  const std::vector<DemoLevel> levels = market_.levels(security);
  // The best price on the other side: the lowest offer for a buy, the
  // highest bid for a sell.
  bool crosses = false;
  int32_t at = 0;
  for (const DemoLevel& l : levels) {
    if (!sell && l.volume > 0 && (!crosses || l.price < at)) at = l.price, crosses = true;
    if (sell && l.volume < 0 && (!crosses || l.price > at)) at = l.price, crosses = true;
  }
  if (crosses && !market) crosses = sell ? price <= at : price >= at;
  DemoOrder o{static_cast<int32_t>(orders_.size() + 1), next_number_++, sell ? 0x4u : 0u, security, market ? at : price,
              quantity, crosses ? 0 : quantity, account, client_code};
  if (!crosses) o.flags |= 0x1;
  orders_.push_back(o);
  send_order(s, o);
  if (crosses) {
    const DemoTrade t{static_cast<int32_t>(trades_.size() + 1), next_number_++, o.number, sell, security, at, quantity,
                      account};
    trades_.push_back(t);
    send_trade(s, t);
  }
  return orders_.back();
}

DemoReply DemoTrading::kill_order(Session& s, const Values& v) {
  int64_t number = 0;
  if (!v.number("ORDER_KEY", number)) return {0, kReplyRefused, "Wrong order number", 0};
  for (DemoOrder& o : orders_) {
    if (o.number != number) continue;
    if ((o.flags & 0x1) == 0) return {0, kReplyRefused, "Order " + std::to_string(number) + " is not active", 0};
    o.flags = (o.flags & 0x4) | 0x2;
    send_order(s, o);
    return {0, kReplyAccepted, "Order " + std::to_string(number) + " cancelled", number};
  }
  return {0, kReplyRefused, "Order " + std::to_string(number) + " not found", 0};
}

void DemoTrading::reply(Session& s, int32_t trans_id, const DemoReply& r) {
  DemoReply kept = r;
  kept.trans_id = trans_id;
  replies_.push_back(kept);
  Bytes b;
  put32(b, static_cast<uint32_t>(trans_id));
  put32(b, 0);
  put16(b, static_cast<uint16_t>(r.status));
  m::put_text(b, r.text);
  m::put64(b, static_cast<uint64_t>(r.number));
  s.send_message(kMsgReply, b);
}

void DemoTrading::send_order(Session& s, const DemoOrder& o) {
  Bytes b;
  put32(b, static_cast<uint32_t>(o.sequence));
  m::put_double(b, static_cast<double>(o.number));
  put32(b, 100000);  // time
  put32(b, o.flags);
  m::put_text(b, "demo");
  m::put_text(b, "");
  m::put_text(b, o.client_code);
  m::put_text(b, o.account);
  put32(b, static_cast<uint32_t>(o.security));
  put32(b, static_cast<uint32_t>(o.price));
  put32(b, static_cast<uint32_t>(o.quantity));
  put32(b, static_cast<uint32_t>(o.balance));
  m::put_double(b, static_cast<double>(o.price) * o.quantity);  // value
  m::put_double(b, 0);
  put32(b, 0);
  put32(b, 0);
  m::put_text(b, "");
  put32(b, 0);
  m::put_text(b, "");
  put32(b, 0);
  put32(b, 0);
  put32(b, kTradeDate);
  m::put_text(b, "");
  put32(b, 0);
  m::put64(b, 0);
  put32(b, 0);
  s.send_message(kMsgOrder, b);
}

void DemoTrading::send_trade(Session& s, const DemoTrade& t) {
  Bytes b;
  put32(b, static_cast<uint32_t>(t.sequence));
  m::put_double(b, static_cast<double>(t.number));
  m::put_double(b, static_cast<double>(t.order_number));
  put32(b, 100000);
  m::put_text(b, "demo");
  m::put_text(b, "");
  m::put_text(b, "");
  m::put_text(b, t.account);
  put32(b, static_cast<uint32_t>(t.security));
  put32(b, static_cast<uint32_t>(t.price));
  put32(b, static_cast<uint32_t>(t.quantity));
  m::put_double(b, static_cast<double>(t.price) * t.quantity);
  m::put_double(b, 0);
  put32(b, 0);
  m::put_text(b, "");
  m::put_text(b, "");
  put32(b, t.sell ? 0x4u : 0u);  // flags
  put32(b, 0);
  put32(b, 0);
  m::put_text(b, "");
  for (int i = 0; i < 3; ++i) m::put_double(b, 0);
  put16(b, 0);
  for (int i = 0; i < 3; ++i) put32(b, 0);
  put16(b, 0);
  for (int i = 0; i < 3; ++i) m::put_double(b, 0);
  put32(b, 0);
  m::put_text(b, "");
  m::put_text(b, "");
  put16(b, 0);  // empty counted texts
  put16(b, 0);
  s.send_message(kMsgTrade, b);
}

std::vector<DemoOrder> DemoTrading::orders() const {
  std::lock_guard lock(mutex_);
  return orders_;
}
std::vector<DemoTrade> DemoTrading::trades() const {
  std::lock_guard lock(mutex_);
  return trades_;
}
std::vector<DemoStopOrder> DemoTrading::stop_orders() const {
  std::lock_guard lock(mutex_);
  return stop_orders_;
}
std::vector<DemoReply> DemoTrading::replies() const {
  std::lock_guard lock(mutex_);
  return replies_;
}
std::vector<DemoTransaction> DemoTrading::transactions() const {
  std::lock_guard lock(mutex_);
  return transactions_;
}

}  // namespace kelda::server_double
