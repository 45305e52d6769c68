// Typed transaction builders.
#include "transactions/transaction_builders.h"

#include <cstring>
#include <optional>
#include <string_view>

#include "core/text_util.h"
#include "futures/futures.h"
#include "session/library.h"
#include "transactions/transaction_text.h"
#include "transactions/transactions.h"

namespace kelda::kelapi {
namespace {

constexpr uint32_t kRoleOrderNumber = 0x4000;
constexpr uint32_t kRoleAddressNumber = 0x8000;
constexpr uint32_t kRolePrice = 0x10000;
constexpr uint32_t kRoleQuantity = 0x20000;
constexpr uint32_t kRoleSide = 0x40000;
constexpr uint32_t kRoleClientCode = 0x400000;
constexpr uint32_t kRoleLimitOrMarket = 0x800000;
constexpr uint32_t kRoleExtra1 = 0x1000000;
constexpr uint32_t kRoleStopPrice = 0x2000000;
constexpr uint32_t kRoleReportOne = 0x4000000;
constexpr uint32_t kRoleReportSide = 0x8000000;
constexpr uint32_t kRoleExtra3 = 0x10000000;
constexpr uint32_t kRoleExtra2 = 0x20000000;
constexpr uint32_t kRoleSplitOrOne = 0x40000000;
constexpr uint32_t kRoleCondition = 0x80000000;
constexpr uint32_t kRoleTimeLetter = 0x10;
constexpr uint32_t kRoleTradeDate = 0x8;
constexpr uint32_t kRoleLimitValue3 = 0x8;
constexpr uint32_t kRoleLimitValue2 = 0x4000000;
constexpr uint32_t kRoleLimitKind = 0x40;

uint32_t kind_code_of(Builder b) {
  switch (b) {
    case Builder::new_order: return 4;
    case Builder::new_stop_order: return 8192;
    case Builder::new_address_order: return 8;
    case Builder::kill_order: return 1;
    case Builder::kill_stop_order: return 16384;
    case Builder::kill_address_order: return 2;
    case Builder::kill_report: return 256;
    case Builder::new_report: return 128;
    case Builder::set_futures_limit:
    case Builder::del_futures_limit: return 0;
  }
  return 0;
}

// A field's value: a text, the field's default, or a refusal.
struct Choice {
  enum class Kind : uint8_t { value, default_value, refused } kind = Kind::default_value;
  std::string_view text;
};
Choice value(std::string_view text) { return Choice{Choice::Kind::value, text}; }
Choice by_default() { return Choice{}; }
Choice refused() { return Choice{Choice::Kind::refused, {}}; }

bool has(uint32_t roles, uint32_t bit) { return (roles & bit) != 0; }

// The letters of an order's condition and of its time, from the options.
Choice condition_letter(uint32_t options) {
  if (has(options, 0x8)) return value(" ");
  if (has(options, 0x10)) return value("N");
  if (has(options, 0x20)) return value("W");
  return refused();
}
Choice time_letter(uint32_t options) {
  if (has(options, 0x40)) return value("W");
  if (has(options, 0x80)) return value("Y");
  if (has(options, 0x100)) return value("P");
  return refused();
}
std::string_view side(uint32_t options) { return has(options, 0x1) ? "B" : "S"; }

// The roles that name the instrument and the account.
std::optional<Choice> common(uint32_t roles, const BuilderArgs& a) {
  if (has(roles, kRoleClass)) return value(a.class_code);
  if (has(roles, kRoleSecurity)) return value(a.security);
  if (has(roles, kRoleAccount)) return value(a.account);
  return std::nullopt;
}

Choice new_order(uint32_t roles, const BuilderArgs& a, bool stop, const std::string& trade_date) {
  if (has(roles, kRoleFixed)) return stop && has(roles, kRoleTradeDate) ? value(trade_date) : by_default();
  if (auto c = common(roles, a)) return *c;
  if (stop && has(roles, kRoleStopPrice)) return value(a.stop_price);
  if (has(roles, kRolePrice)) return value(a.price);
  if (has(roles, kRoleQuantity)) return value(a.quantity);
  if (has(roles, kRoleClientCode)) return value(a.client_code);
  if (has(roles, kRoleSide)) return value(side(a.options));
  if (!stop && has(roles, kRoleLimitOrMarket)) return value(has(a.options, 0x2) ? "L" : "M");
  if (has(roles, kRoleSplitOrOne)) return value(has(a.options, 0x4) ? "S" : "O");
  if (has(roles, kRoleCondition)) return condition_letter(a.options);
  if (has(roles, kRoleTimeLetter)) return time_letter(a.options);
  return by_default();
}

Choice new_address_order(uint32_t roles, const BuilderArgs& a) {
  if (has(roles, kRoleFixed)) return by_default();
  if (auto c = common(roles, a)) return *c;
  if (has(roles, kRolePrice)) return value(a.price);
  if (has(roles, kRoleQuantity)) return value(a.quantity);
  if (has(roles, kRoleClientCode)) return value(a.client_code);
  if (has(roles, kRoleSide)) return value(side(a.options));
  if (has(roles, kRoleExtra1)) return value(a.extra1);
  if (has(roles, kRoleExtra2)) return value(a.extra2);
  if (has(roles, kRoleExtra3)) return value(a.extra3);
  return by_default();
}

Choice choose(Builder b, uint32_t roles, const BuilderArgs& a, const std::string& trade_date) {
  const bool fixed = has(roles, kRoleFixed);
  switch (b) {
    case Builder::new_order:
      return new_order(roles, a, false, trade_date);
    case Builder::new_stop_order:
      return new_order(roles, a, true, trade_date);
    case Builder::new_address_order:
      return new_address_order(roles, a);
    case Builder::kill_order:
    case Builder::kill_stop_order:
      return !fixed && has(roles, kRoleOrderNumber) ? value(a.number) : by_default();
    case Builder::kill_address_order:
      return !fixed && has(roles, kRoleAddressNumber) ? value(a.number) : by_default();
    case Builder::kill_report:
      if (fixed) return by_default();
      if (has(roles, kRoleSecurity)) return value(a.security);
      if (has(roles, kRoleAddressNumber)) return value(a.number);
      if (has(roles, kRoleClass)) return value(a.class_code);
      return by_default();
    case Builder::new_report:
      if (fixed) return by_default();
      if (has(roles, kRoleOrderNumber)) return value(a.number);
      if (has(roles, kRoleReportOne)) return value("1");
      if (has(roles, kRoleReportSide) || has(roles, kRoleSide)) return value(a.options != 0 ? "S" : "B");
      return by_default();
    case Builder::set_futures_limit:
      if (fixed) return by_default();
      if (has(roles, kRoleAccount)) return value(a.account);
      if (has(roles, kRoleStopPrice)) return value(a.extra1);
      if (has(roles, kRoleLimitValue2)) return value(a.extra2);
      if (has(roles, kRoleLimitValue3)) return value(a.extra3);
      return by_default();
    case Builder::del_futures_limit:
      // The account and the type word come from the limit (options: its type).
      if (fixed) return by_default();
      if (has(roles, kRoleAccount)) return value(a.account);
      if (has(roles, kRoleLimitKind)) return value(a.options != 0 ? "D" : "R");
      return by_default();
  }
  return by_default();
}

// The texts each builder requires.
bool arguments_given(Builder b, const BuilderArgs& a) {
  switch (b) {
    case Builder::new_order:
      return a.class_code && a.security && a.account && a.price && a.quantity && a.client_code;
    case Builder::new_stop_order:
      return a.class_code && a.security && a.account && a.stop_price && a.price && a.quantity && a.client_code;
    case Builder::new_address_order:
      return a.class_code && a.security && a.account && a.price && a.quantity && a.client_code && a.extra1 &&
             a.extra2 && a.extra3;
    case Builder::kill_report:
      return a.class_code && a.security && a.number;
    case Builder::set_futures_limit:
      return a.account && a.extra1 && a.extra2 && a.extra3;
    case Builder::del_futures_limit:
      return true;
    default:
      return a.class_code && a.number;
  }
}

// A "|" or "=" inside an argument would make pairs of its own in the text:
// such an argument is refused rather than sent as another field.
bool argument_safe(const char* text) {
  return text == nullptr || std::strpbrk(text, "|=") == nullptr;
}
bool arguments_safe(const BuilderArgs& a) {
  for (const char* t : {a.class_code, a.security, a.account, a.stop_price, a.price, a.quantity, a.client_code,
                        a.number, a.extra1, a.extra2, a.extra3}) {
    if (!argument_safe(t)) return false;
  }
  return true;
}

bool takes_security(Builder b) {
  return b == Builder::new_order || b == Builder::new_stop_order || b == Builder::new_address_order;
}

// The class and kind a class-bound builder sends to.
KelapiResult class_kind(Library& lib, Builder builder, const BuilderArgs& args, TransactionTarget& target) {
  const int64_t c = lib.classes.find_confirmed_by_code(std::string_view(args.class_code, strnlen(args.class_code, 12)));
  if (c < 0 || static_cast<std::size_t>(c) >= kMaxClasses) return KELAPI_E_INVALIDARG;
  const auto class_index = static_cast<int32_t>(c);
  if (takes_security(builder) && lib.securities.find_by_code(args.security, class_index, false) < 0) {
    return KELAPI_E_INVALIDARG;
  }
  const ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(c));
  const TransactionKind* kind = lib.transactions.table.find_code(static_cast<std::size_t>(c), kind_code_of(builder),
                                                                 cls.d.table_flags, field_text(cls.d.code));
  if (kind == nullptr || !kind->usable()) return KELAPI_E_TRANS_NOT_AVAILABLE;
  target = TransactionTarget{class_index, kind};
  return KELAPI_OK;
}

// The kind a futures-limit builder sends to, found through the limit; the
// delete builder's account and type are the limit's.
KelapiResult futures_kind(Library& lib, Builder builder, BuilderArgs& args, std::string& account,
                          TransactionTarget& target) {
  const FuturesTables& futures = lib.futures;
  const Msg8068_FuturesLimit* limit =
      args.futures_limit == 0 ? nullptr : futures.limits.find(static_cast<int64_t>(args.futures_limit) - 1);
  if (limit == nullptr) return KELAPI_E_INVALIDARG;
  const int32_t kind_id = builder == Builder::set_futures_limit ? limit->w1 : limit->w2;
  const KindRef found = lib.transactions.table.find_id_any_class(kind_id);
  if (!found) return KELAPI_E_FUTURES_LIMITS;
  if (!found.kind->usable()) return KELAPI_E_TRANS_NOT_AVAILABLE;
  if (builder == Builder::del_futures_limit) {
    account.assign(limit->account, strnlen(limit->account, sizeof limit->account));
    args.account = account.c_str();
    args.options = limit->type != 0 ? 1 : 0;
  }
  target = TransactionTarget{found.class_index, found.kind};
  return KELAPI_OK;
}

}  // namespace

KelapiResult do_built_transaction(Library& lib, Builder builder, const BuilderArgs& given) {
  LibraryLock lock(lib);
  clear_last_transaction(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (!lib.connected()) return KELAPI_E_NOT_CONNECTED;
  if (!lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (!arguments_given(builder, given)) return KELAPI_E_POINTER;
  if (!arguments_safe(given)) return KELAPI_E_INVALIDARG;
  BuilderArgs args = given;
  std::string limit_account;
  TransactionTarget target{};
  const bool futures = builder == Builder::set_futures_limit || builder == Builder::del_futures_limit;
  const KelapiResult found =
      futures ? futures_kind(lib, builder, args, limit_account, target) : class_kind(lib, builder, args, target);
  if (found != KELAPI_OK) return found;
  if (!arguments_safe(args)) return KELAPI_E_INVALIDARG;  // the limit's own account
  const std::string trade_date = std::to_string(lib.trade_date());
  std::string text;
  for (const TransactionField& f : target.kind->fields) {
    const Choice choice = choose(builder, f.roles, args, trade_date);
    if (choice.kind == Choice::Kind::refused) return KELAPI_E_INVALIDARG;
    const std::string_view v = choice.kind == Choice::Kind::value ? choice.text : field_text(f.default_value);
    text.append(field_text(f.key)).append("=").append(v).append("|");
    if (text.size() >= kMaxTransactionBytes) return KELAPI_E_INVALID_LENGTH;
  }
  if (!text.empty()) text.pop_back();
  return send_transaction(lib, target, text, args.trans_id);
}

}  // namespace kelda::kelapi
