// The money-limit and depository-limit tables: their messages, booking and
// reads.
#include "limits/limits.h"

#include <cstring>

#include "core/text_util.h"
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgMoneyLimitsRequest = 0x5E;
constexpr uint16_t kMsgDepoLimitsRequest = 0x62;

uintptr_t caller_number(int32_t number) { return static_cast<uintptr_t>(static_cast<uint32_t>(number) + 1u); }

// A money limit as stored: codes terminated within their fields.
MoneyLimitEntry stored_money_limit(const Msg00F0_MoneyLimit& m) {
  MoneyLimitEntry e;
  std::memset(&e, 0, sizeof e);
  e.live = 1;
  e.limit = m;
  copy_field(e.limit.currency, m.currency);
  copy_field(e.limit.tag, m.tag);
  copy_field(e.limit.firm, m.firm);
  copy_field(e.limit.client, m.client);
  return e;
}

DepoLimitEntry stored_depo_limit(const Msg8072_DepoLimit& m) {
  DepoLimitEntry e;
  std::memset(&e, 0, sizeof e);
  e.live = 1;
  e.limit = m;
  copy_field(e.limit.account, m.account);
  copy_field(e.limit.security, m.security);
  copy_field(e.limit.firm, m.firm);
  copy_field(e.limit.client, m.client);
  return e;
}

// The values a depository limit's update carries (the full message and the
// values-only one share them).
template <typename To, typename From>
void copy_depo_values(To& to, const From& from) {
  to.quantity1 = from.quantity1;
  to.quantity2 = from.quantity2;
  to.quantity3 = from.quantity3;
  to.quantity4 = from.quantity4;
  to.quantity5 = from.quantity5;
  to.quantity6 = from.quantity6;
  to.amount1 = from.amount1;
  to.amount2 = from.amount2;
  to.value9 = from.value9;
}

// The amounts a money limit's update carries (the full message and the
// amounts-only one share them).
template <typename To, typename From>
void copy_money_amounts(To& to, const From& from) {
  to.opening_balance = from.opening_balance;
  to.opening_limit = from.opening_limit;
  to.current_balance = from.current_balance;
  to.current_limit = from.current_limit;
  to.locked = from.locked;
  to.amount6 = from.amount6;
  to.leverage = from.leverage;
}

// A field of the message equals a stored, terminated code.
template <std::size_t N, std::size_t M>
bool same_code(const char (&stored)[N], const char (&received)[M]) {
  return field_text(stored) == field_text(received);
}

}  // namespace

void on_money_limit(Library& lib, const Msg00F0_MoneyLimit& m) {
  const MoneyLimitEntry fresh = stored_money_limit(m);
  const MoneyLimitEntry& e =
      lib.limits.money.add_or_update(fresh, [&](MoneyLimitEntry& stored) { copy_money_amounts(stored.limit, m); });
  lib.raise_event(KELAPI_EVENT_NEWMONEYLIMIT, 0, caller_number(e.limit.number));
}

void on_money_limit_amounts(Library& lib, const Msg800B_MoneyLimitAmounts& m) {
  Msg00F0_MoneyLimit full;
  std::memset(&full, 0, sizeof full);
  full.number = m.number;
  copy_money_amounts(full, m);
  on_money_limit(lib, full);
}

void on_money_limit_deleted(Library& lib, const Msg0087_MoneyLimitDeleted& m) {
  const MoneyLimitEntry* e = lib.limits.money.kill_first([&](const MoneyLimitEntry& s) {
    return same_code(s.limit.firm, m.firm) && same_code(s.limit.client, m.client) &&
           same_code(s.limit.tag, m.tag) && same_code(s.limit.currency, m.currency);
  });
  if (e == nullptr) return;
  KelapiMoneyLimitRecord r;
  std::memset(&r, 0, sizeof r);
  r.number = e->limit.number + 1;
  copy_field(r.client, e->limit.client);
  copy_field(r.currency, e->limit.currency);
  copy_field(r.firm, e->limit.firm);
  copy_field(r.tag, e->limit.tag);
  lib.raise_event(KELAPI_EVENT_KILLMONEYLIMIT, reinterpret_cast<uintptr_t>(&r), caller_number(e->limit.number));
}

void on_depo_limit(Library& lib, const Msg8072_DepoLimit& m) {
  const DepoLimitEntry fresh = stored_depo_limit(m);
  const DepoLimitEntry& e =
      lib.limits.depo.add_or_update(fresh, [&](DepoLimitEntry& stored) { copy_depo_values(stored.limit, m); });
  lib.raise_event(KELAPI_EVENT_NEWDEPOLIMIT, 0, caller_number(e.limit.number));
}

void on_depo_limit_values(Library& lib, const Msg8073_DepoLimitValues& m) {
  Msg8072_DepoLimit full;
  std::memset(&full, 0, sizeof full);
  full.number = m.number;
  copy_depo_values(full, m);
  on_depo_limit(lib, full);
}

void on_depo_limit_deleted(Library& lib, const Msg0088_DepoLimitDeleted& m) {
  const DepoLimitEntry* e = lib.limits.depo.kill_first([&](const DepoLimitEntry& s) {
    return same_code(s.limit.firm, m.firm) && same_code(s.limit.client, m.client) &&
           same_code(s.limit.account, m.account) && same_code(s.limit.security, m.security);
  });
  if (e == nullptr) return;
  KelapiDepoLimitRecord r;
  std::memset(&r, 0, sizeof r);
  r.number = e->limit.number + 1;
  copy_field(r.client, e->limit.client);
  copy_field(r.firm, e->limit.firm);
  copy_field(r.account, e->limit.account);
  copy_field(r.security, e->limit.security);
  lib.raise_event(KELAPI_EVENT_KILLDEPOLIMIT, reinterpret_cast<uintptr_t>(&r), caller_number(e->limit.number));
}

void run_book_limits(Library& lib) {
  for (std::size_t i = 0; i < lib.limits.money.size(); ++i) {
    const MoneyLimitEntry& e = lib.limits.money.at(i);
    if (e.live == 1) lib.raise_event(KELAPI_EVENT_NEWMONEYLIMIT, 0, caller_number(e.limit.number));
  }
  for (std::size_t i = 0; i < lib.limits.depo.size(); ++i) {
    const DepoLimitEntry& e = lib.limits.depo.at(i);
    if (e.live == 1) lib.raise_event(KELAPI_EVENT_NEWDEPOLIMIT, 0, caller_number(e.limit.number));
  }
  if (!lib.connected()) return;
  const int32_t zero = 0;
  lib.send_message(kMsgDepoLimitsRequest, &zero);
  lib.send_message(kMsgMoneyLimitsRequest, &zero);
}

// ---- records ----

void fill_money_limit(const MoneyLimitEntry& e, KelapiMoneyLimitRecord& r) {
  std::memset(&r, 0, sizeof r);
  const Msg00F0_MoneyLimit& l = e.limit;
  r.current_balance = l.current_balance * 0.01;
  r.current_limit = l.current_limit * 0.01;
  r.locked = l.locked * 0.01;
  r.amount6 = l.amount6 * 0.01;
  r.opening_balance = l.opening_balance * 0.01;
  r.opening_limit = l.opening_limit * 0.01;
  r.number = l.number + 1;
  copy_field(r.client, l.client);
  copy_field(r.currency, l.currency);
  copy_field(r.firm, l.firm);
  copy_field(r.tag, l.tag);
}

void fill_money_limit_ex(const MoneyLimitEntry& e, KelapiMoneyLimitRecordEx& r) {
  std::memset(&r, 0, sizeof r);
  const Msg00F0_MoneyLimit& l = e.limit;
  r.current_balance = l.current_balance * 0.01;
  r.current_limit = l.current_limit * 0.01;
  r.leverage = l.leverage == -1 ? -1.0 : static_cast<double>(l.leverage) * 0.01;
  r.locked = l.locked * 0.01;
  r.amount6 = l.amount6 * 0.01;
  r.opening_balance = l.opening_balance * 0.01;
  r.opening_limit = l.opening_limit * 0.01;
  r.number = l.number + 1;
  copy_field(r.client, l.client);
  copy_field(r.currency, l.currency);
  copy_field(r.firm, l.firm);
  copy_field(r.tag, l.tag);
}

void fill_depo_limit(const DepoLimitEntry& e, KelapiDepoLimitRecord& r) {
  std::memset(&r, 0, sizeof r);
  const Msg8072_DepoLimit& l = e.limit;
  r.quantity3 = l.quantity3;
  r.quantity4 = l.quantity4;
  r.quantity5 = l.quantity5;
  r.quantity6 = l.quantity6;
  r.amount1 = l.amount1 * 0.01;
  r.quantity1 = l.quantity1;
  r.quantity2 = l.quantity2;
  r.number = l.number + 1;
  copy_field(r.client, l.client);
  copy_field(r.firm, l.firm);
  copy_field(r.account, l.account);
  copy_field(r.security, l.security);
}

void fill_depo_limit_ex(const DepoLimitEntry& e, KelapiDepoLimitRecordEx& r, bool with_value9) {
  // The 120-byte layout leaves the caller's bytes after it alone.
  std::memset(&r, 0, with_value9 ? sizeof r : offsetof(KelapiDepoLimitRecordEx, value9));
  const Msg8072_DepoLimit& l = e.limit;
  r.quantity3 = l.quantity3;
  r.quantity4 = l.quantity4;
  r.quantity5 = l.quantity5;
  r.amount2 = l.amount2 * 0.01;
  r.quantity6 = l.quantity6;
  r.amount1 = l.amount1 * 0.01;
  r.quantity1 = l.quantity1;
  r.quantity2 = l.quantity2;
  r.number = l.number + 1;
  copy_field(r.client, l.client);
  copy_field(r.firm, l.firm);
  copy_field(r.account, l.account);
  copy_field(r.security, l.security);
  if (with_value9) r.value9 = l.value9;
}

// ---- exports ----

KelapiResult book_limits(Library& lib) { return book_table(lib, Booked::limits, kCommandBookLimits); }

namespace {

template <typename Entry>
KelapiResult find_live(const LimitTable<Entry>& table, int number, const Entry*& found) {
  found = table.find(static_cast<int64_t>(number) - 1, true);
  return found == nullptr ? KELAPI_E_NOT_EXIST : KELAPI_OK;
}

}  // namespace

KelapiResult get_money_limit(Library& lib, int number, KelapiMoneyLimitRecord* record) {
  LibraryLock lock(lib);
  KelapiResult r = check_row_read(lib, record, sizeof *record, sizeof *record);
  const MoneyLimitEntry* e = nullptr;
  if (r == KELAPI_OK) r = find_live(lib.limits.money, number, e);
  if (r == KELAPI_OK) fill_money_limit(*e, *record);
  return r;
}

KelapiResult get_money_limit_ex(Library& lib, int number, KelapiMoneyLimitRecordEx* record, uint32_t size) {
  LibraryLock lock(lib);
  KelapiResult r = check_row_read(lib, record, size, sizeof(KelapiMoneyLimitRecordEx));
  const MoneyLimitEntry* e = nullptr;
  if (r == KELAPI_OK) r = find_live(lib.limits.money, number, e);
  if (r == KELAPI_OK) fill_money_limit_ex(*e, *record);
  return r;
}

KelapiResult get_depo_limit(Library& lib, int number, KelapiDepoLimitRecord* record) {
  LibraryLock lock(lib);
  KelapiResult r = check_row_read(lib, record, sizeof *record, sizeof *record);
  const DepoLimitEntry* e = nullptr;
  if (r == KELAPI_OK) r = find_live(lib.limits.depo, number, e);
  if (r == KELAPI_OK) fill_depo_limit(*e, *record);
  return r;
}

KelapiResult get_depo_limit_ex(Library& lib, int number, KelapiDepoLimitRecordEx* record, uint32_t size,
                               bool with_value9) {
  LibraryLock lock(lib);
  const uint32_t expected = with_value9 ? 128u : 120u;
  KelapiResult r = check_row_read(lib, record, size, expected);
  const DepoLimitEntry* e = nullptr;
  if (r == KELAPI_OK) r = find_live(lib.limits.depo, number, e);
  if (r == KELAPI_OK) fill_depo_limit_ex(*e, *record, with_value9);
  return r;
}

// ---- handlers ----

void on_00F0_money_limit(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_money_limit(lib, record_copy<Msg00F0_MoneyLimit>(record, KELAPI_RECORD_END(Msg00F0_MoneyLimit, leverage)));
  });
}
void on_800B_money_limit_amounts(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_money_limit_amounts(
        lib, record_copy<Msg800B_MoneyLimitAmounts>(record, KELAPI_RECORD_END(Msg800B_MoneyLimitAmounts, amount6)));
  });
}
void on_0087_money_limit_deleted(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_money_limit_deleted(lib, record_copy<Msg0087_MoneyLimitDeleted>(record, KELAPI_RECORD_END(Msg0087_MoneyLimitDeleted, firm)));
  });
}
void on_0060_money_limits_restart(uint16_t id, const void*) {
  // A message without fields may come without a record.
  static const uint8_t kNoFields = 0;
  handle_message(id, &kNoFields, [&](Library& lib) {
    const int32_t zero = 0;
    lib.send_message(kMsgMoneyLimitsRequest, &zero);
  });
}
void on_8072_depo_limit(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_depo_limit(lib, record_copy<Msg8072_DepoLimit>(record, KELAPI_RECORD_END(Msg8072_DepoLimit, value9))); });
}
void on_8073_depo_limit_values(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_depo_limit_values(lib, record_copy<Msg8073_DepoLimitValues>(record, KELAPI_RECORD_END(Msg8073_DepoLimitValues, value9)));
  });
}
void on_0088_depo_limit_deleted(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_depo_limit_deleted(lib, record_copy<Msg0088_DepoLimitDeleted>(record, KELAPI_RECORD_END(Msg0088_DepoLimitDeleted, client)));
  });
}
void on_0064_depo_limits_restart(uint16_t id, const void*) {
  // A message without fields may come without a record.
  static const uint8_t kNoFields = 0;
  handle_message(id, &kNoFields, [&](Library& lib) {
    const int32_t zero = 0;
    lib.send_message(kMsgDepoLimitsRequest, &zero);
  });
}

}  // namespace kelda::kelapi
