#include "fake_terminal.h"

#include <algorithm>
#include <cstring>

#include "testing.h"

namespace kelda::margin::test {
namespace {

template <std::size_t N>
void put(char (&field)[N], const std::string& s) {
  std::memset(field, 0, N);
  std::memcpy(field, s.data(), std::min(s.size(), N - 1));
}

FakeTerminal& T() { return FakeTerminal::instance(); }

void hook() {
  if (T().on_callback) T().on_callback();
}

int32_t find_money(const char* firm, const char* client, const char* tag, const char* currency, int32_t* pos) {
  hook();
  ++T().calls.find_money;
  const auto key = std::make_tuple(std::string(firm), std::string(client), std::string(currency), std::string(tag));
  const auto& m = T().money;
  const auto it = std::lower_bound(m.begin(), m.end(), key, [](const MoneyLimit& l, const auto& k) {
    return std::tie(l.firm, l.client, l.currency, l.tag) < k;
  });
  *pos = static_cast<int32_t>(it - m.begin());
  return it != m.end() && std::tie(it->firm, it->client, it->currency, it->tag) == key ? *pos : -1;
}

const MargoMoneyLimit* get_money(int32_t index) {
  hook();
  ++T().calls.get_money;
  static MargoMoneyLimit record;
  if (index < 0 || static_cast<std::size_t>(index) >= T().money.size()) return nullptr;
  const MoneyLimit& l = T().money[static_cast<std::size_t>(index)];
  std::memset(&record, 0, sizeof record);
  put(record.currency, l.currency);
  put(record.boardTag, l.tag);
  put(record.firmId, l.firm);
  put(record.clientCode, l.client);
  record.amountA = l.a;
  record.amountB = l.b;
  record.amountC = l.c;
  record.amountD = l.d;
  record.amountE = l.e;
  record.amountF = l.f;
  record.leveragePercent = l.leverage_percent;
  return &record;
}

int32_t find_depo(const char* firm, const char* client, const char* code, const char* account, int32_t* pos) {
  hook();
  ++T().calls.find_depo;
  const auto key = std::make_tuple(std::string(firm), std::string(client), std::string(code), std::string(account));
  const auto& d = T().depo;
  const auto it = std::lower_bound(d.begin(), d.end(), key, [](const DepoLimit& l, const auto& k) {
    return std::tie(l.firm, l.client, l.code, l.account) < k;
  });
  *pos = static_cast<int32_t>(it - d.begin());
  return it != d.end() && std::tie(it->firm, it->client, it->code, it->account) == key ? *pos : -1;
}

const MargoDepoLimit* get_depo(int32_t index) {
  hook();
  ++T().calls.get_depo;
  static MargoDepoLimit record;
  if (index < 0 || static_cast<std::size_t>(index) >= T().depo.size()) return nullptr;
  const DepoLimit& l = T().depo[static_cast<std::size_t>(index)];
  std::memset(&record, 0, sizeof record);
  put(record.securityCode, l.code);
  put(record.tradeAccount, l.account);
  put(record.firmId, l.firm);
  put(record.clientCode, l.client);
  record.openingQuantity = l.opening;
  record.quantity1 = l.q1;
  record.currentQuantity = l.current;
  record.quantity2 = l.q2;
  record.quantity3 = l.q3;
  record.quantity4 = l.q4;
  record.amountG = l.g;
  return &record;
}

int32_t param_index(const char* name) {
  hook();
  ++T().calls.param_index;
  const auto& names = T().param_names;
  const auto it = std::find(names.begin(), names.end(), std::string(name));
  return it == names.end() ? -1 : static_cast<int32_t>(it - names.begin());
}

double param_value(int32_t class_id, int32_t security_id, int32_t index) {
  hook();
  ++T().calls.param_value;
  if (T().override_values) return T().override_value;
  const auto it = T().params.find({class_id, security_id, index});
  return it == T().params.end() ? 0.0 : it->second;
}

}  // namespace

FakeTerminal& FakeTerminal::instance() {
  static FakeTerminal terminal;
  return terminal;
}

void FakeTerminal::reset_tables() {
  param_names = {"OFFER", "BID", "PREVPRICE", "LAST", "ACCRUEDINT"};
  params.clear();
  money.clear();
  depo.clear();
  calls = {};
  override_values = false;
  override_value = 0;
  on_callback = nullptr;
}

void FakeTerminal::reset() {
  testing::reset_library();
  reset_tables();
}

void FakeTerminal::register_callbacks() {
  MargoSetLimitCallbacks(find_money, get_money, find_depo, get_depo);
  MargoSetParamCallbacks(param_index, param_value);
}

bool FakeTerminal::install(int32_t interface_type) {
  register_callbacks();
  const int32_t size = interface_type == 1 ? 88 : 96;
  return MargoInitEx(interface_type, size, size) != FALSE;
}

void FakeTerminal::add_money(MoneyLimit limit) {
  const auto it = std::upper_bound(money.begin(), money.end(), limit, [](const MoneyLimit& a, const MoneyLimit& b) {
    return std::tie(a.firm, a.client, a.currency, a.tag) < std::tie(b.firm, b.client, b.currency, b.tag);
  });
  money.insert(it, std::move(limit));
}

void FakeTerminal::add_depo(DepoLimit limit) {
  const auto it = std::upper_bound(depo.begin(), depo.end(), limit, [](const DepoLimit& a, const DepoLimit& b) {
    return std::tie(a.firm, a.client, a.code, a.account) < std::tie(b.firm, b.client, b.code, b.account);
  });
  depo.insert(it, std::move(limit));
}

void FakeTerminal::set_param(int32_t class_id, int32_t security_id, const std::string& name, double value) {
  const auto it = std::find(param_names.begin(), param_names.end(), name);
  const auto index = static_cast<int32_t>(it - param_names.begin());
  if (it == param_names.end()) param_names.push_back(name);
  params[{class_id, security_id, index}] = value;
}

void FakeTerminal::set_prices(int32_t class_id, int32_t security_id, double offer, double bid, double prev,
                              double last) {
  set_param(class_id, security_id, "OFFER", offer);
  set_param(class_id, security_id, "BID", bid);
  set_param(class_id, security_id, "PREVPRICE", prev);
  set_param(class_id, security_id, "LAST", last);
}

BOOL FakeTerminal::add_class(int32_t class_id, const std::string& code, const std::vector<SecurityInfo>& securities,
                             int32_t flags, uint8_t secondary) {
  MargoClass cls;
  std::memset(&cls, 0, sizeof cls);
  cls.classId = class_id;
  cls.securityCount = static_cast<int32_t>(securities.size());
  cls.flags = flags;
  put(cls.classCode, code);
  cls.secondaryValuation = secondary;
  std::vector<MargoSecurity> array(securities.size() + 1);  // never empty: a valid pointer
  for (std::size_t i = 0; i < securities.size(); ++i) {
    std::memset(&array[i], 0, sizeof array[i]);
    array[i].faceValue = securities[i].face;
    array[i].securityId = securities[i].id;
    array[i].classIndex = -12345;  // ignored by the library
    array[i].lotSize = securities[i].lot;
    put(array[i].securityCode, securities[i].code);
  }
  return MargoAddClass(&cls, array.data());
}

MargoMarginalRow make_row(const std::string& firm, const std::string& client, int32_t size) {
  MargoMarginalRow row;
  std::memset(&row, 0, sizeof row);
  row.size = size;
  put(row.firmId, firm);
  put(row.clientCode, client);
  return row;
}

}  // namespace kelda::margin::test
