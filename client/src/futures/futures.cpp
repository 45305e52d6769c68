// The futures-limit and futures-holding tables, their messages, journal
// records, booking and reads.
#include "futures/futures.h"

#include <cstring>

#include "core/numbers.h"
#include "core/text_util.h"
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgLimitsRequest = 0x93;
constexpr uint16_t kMsgHoldingsRequest = 0x96;
constexpr uint16_t kMsgCorrection = 0x8087;
constexpr uint8_t kJournalHoldingOld = 28;
constexpr uint8_t kJournalLimitOld = 29;
constexpr uint8_t kJournalDeletion = 30;
constexpr uint8_t kJournalLimit = 55;
constexpr uint8_t kJournalHolding = 56;

uintptr_t caller_number(int32_t number) { return static_cast<uintptr_t>(static_cast<uint32_t>(number) + 1u); }

Msg8068_FuturesLimit terminated(const Msg8068_FuturesLimit& l) {
  Msg8068_FuturesLimit r = l;
  copy_field(r.firm, l.firm);
  copy_field(r.account, l.account);
  return r;
}

Msg8069_FuturesHolding terminated(const Msg8069_FuturesHolding& h) {
  Msg8069_FuturesHolding r = h;
  copy_field(r.firm, h.firm);
  copy_field(r.account, h.account);
  copy_field(r.security, h.security);
  return r;
}

void store_limit(Library& lib, const Msg8068_FuturesLimit& limit) {
  lib.futures.limits.put(terminated(limit));
  lib.futures.limits_exist = true;
}

void store_holding(Library& lib, const Msg8069_FuturesHolding& holding) {
  lib.futures.holdings.put(terminated(holding));
  lib.futures.holdings_exist = true;
}

// The first limit with the message's number, or with its type and account.
int64_t deleted_position(const Library& lib, const Msg0098_FuturesLimitDeleted& m) {
  const auto& limits = lib.futures.limits;
  for (std::size_t i = 0; i < limits.size(); ++i) {
    const Msg8068_FuturesLimit& l = limits.at(i);
    if (l.number == m.number || (l.type == m.type && field_text(l.account) == field_text(m.account))) {
      return static_cast<int64_t>(i);
    }
  }
  return -1;
}

template <typename Record>
Record from_bytes(std::span<const uint8_t> p) {
  Record r;
  std::memcpy(&r, p.data(), sizeof r);
  return r;
}

}  // namespace

Msg8068_FuturesLimit futures_limit_of(const Msg0092_FuturesLimitOld& old) {
  static_assert(sizeof old <= sizeof(Msg8068_FuturesLimit));
  Msg8068_FuturesLimit l;
  std::memset(&l, 0, sizeof l);
  std::memcpy(&l, &old, sizeof old);  // the same fields up to W2
  return l;
}

Msg8069_FuturesHolding futures_holding_of(const Msg0095_FuturesHoldingOld& old) {
  Msg8069_FuturesHolding h;
  std::memset(&h, 0, sizeof h);
  std::memcpy(&h, &old, offsetof(Msg0095_FuturesHoldingOld, unused1));  // up to E2
  h.h8 = old.h8;
  return h;
}

void on_futures_limit(Library& lib, const Msg8068_FuturesLimit& limit) {
  store_limit(lib, limit);
  lib.raise_event(KELAPI_EVENT_NEWFUTURESLIMIT, 0, caller_number(limit.number));
  const Msg8068_FuturesLimit stored = terminated(limit);
  lib.journal_write(kJournalLimit, &stored, sizeof stored, true);
}

void on_futures_holding(Library& lib, const Msg8069_FuturesHolding& holding) {
  store_holding(lib, holding);
  lib.raise_event(KELAPI_EVENT_NEWFUTURESHOLDING, 0, caller_number(holding.number));
  const Msg8069_FuturesHolding stored = terminated(holding);
  lib.journal_write(kJournalHolding, &stored, sizeof stored, true);
}

void on_futures_limit_deleted(Library& lib, const Msg0098_FuturesLimitDeleted& m, bool restoring) {
  const int64_t at = deleted_position(lib, m);
  if (at < 0) return;
  const auto i = static_cast<std::size_t>(at);
  if (!restoring) lib.raise_event(KELAPI_EVENT_KILLFUTURESLIMIT, 0, caller_number(lib.futures.limits.at(i).number));
  lib.futures.limits.remove_at(i);
  if (!restoring) lib.journal_write(kJournalDeletion, &m, sizeof m, true);
}

void replay_futures(Library& lib, uint8_t tag, std::span<const uint8_t> p) {
  if (tag == kJournalLimitOld && p.size() == sizeof(Msg8068_FuturesLimit)) {
    store_limit(lib, futures_limit_of(from_bytes<Msg0092_FuturesLimitOld>(p.first(sizeof(Msg0092_FuturesLimitOld)))));
  } else if (tag == kJournalHoldingOld && p.size() == sizeof(Msg0095_FuturesHoldingOld)) {
    store_holding(lib, futures_holding_of(from_bytes<Msg0095_FuturesHoldingOld>(p)));
  } else if (tag == kJournalDeletion && p.size() == sizeof(Msg0098_FuturesLimitDeleted)) {
    on_futures_limit_deleted(lib, from_bytes<Msg0098_FuturesLimitDeleted>(p), true);
  }
}

void run_book_futures(Library& lib) {
  for (std::size_t i = 0; i < lib.futures.limits.size(); ++i) {
    lib.raise_event(KELAPI_EVENT_NEWFUTURESLIMIT, 0, caller_number(lib.futures.limits.at(i).number));
  }
  for (std::size_t i = 0; i < lib.futures.holdings.size(); ++i) {
    lib.raise_event(KELAPI_EVENT_NEWFUTURESHOLDING, 0, caller_number(lib.futures.holdings.at(i).number));
  }
  if (!lib.connected()) return;
  const int32_t zero = 0;
  lib.send_message(kMsgLimitsRequest, &zero);
  lib.send_message(kMsgHoldingsRequest, &zero);
}

// ---- records ----

void fill_futures_limit(const Msg8068_FuturesLimit& l, KelapiFuturesLimitRecord& r) {
  std::memset(&r, 0, sizeof r);
  r.l6 = l.l6 * 0.01;
  r.l2 = l.l2 * 0.01;
  r.l4 = l.l4 * 0.01;
  r.l3 = l.l3 * 0.01;
  r.l1 = l.l1 * 0.01;
  r.l0 = l.l0 * 0.01;
  r.l5 = l.l5 * 0.01;
  r.number = l.number + 1;
  r.type = l.type;
  copy_field(r.firm, l.firm);
  copy_field(r.account, l.account);
}

void fill_futures_limit_ex(const Msg8068_FuturesLimit& l, KelapiFuturesLimitRecordEx& r) {
  std::memset(&r, 0, sizeof r);
  r.l6 = l.l6 * 0.01;
  r.l2 = l.l2 * 0.01;
  r.l4 = l.l4 * 0.01;
  r.l3 = l.l3 * 0.01;
  r.l1 = l.l1 * 0.01;
  r.l0 = l.l0 * 0.01;
  r.l5 = l.l5 * 0.01;
  r.l7 = l.l7 * 0.01;
  r.l8 = l.l8 * 0.01;
  r.l9 = l.l9 * 0.01;
  r.l10 = l.l10 * 0.01;
  r.number = l.number + 1;
  r.w3 = l.w3 / 100;
  r.w1 = l.w1;
  r.w2 = l.w2;
  r.type = l.type;
  copy_field(r.firm, l.firm);
  copy_field(r.account, l.account);
}

namespace {

int16_t known_kind(int16_t kind) { return kind == 0 || kind == 1 || kind == 2 || kind == 4 ? kind : 0; }

template <typename Record>
void fill_holding_words(const Msg8069_FuturesHolding& h, Record& r) {
  r.h6 = h.h6;
  r.h7 = h.h7;
  r.number = h.number + 1;
  r.h0 = h.h0;
  r.h2 = h.h2;
  r.h1 = h.h1;
  r.h3 = h.h3;
  r.h5 = h.h5;
  r.h4 = h.h4;
  r.kind = known_kind(h.kind);
  copy_bounded(r.firm, h.firm, 12);
  copy_field(r.security, h.security);
  copy_field(r.account, h.account);
}

}  // namespace

void fill_futures_holding(const Msg8069_FuturesHolding& h, int scale, KelapiFuturesHoldingRecord& r) {
  std::memset(&r, 0, sizeof r);
  r.h8 = scale_down(static_cast<double>(h.h8), scale);
  r.e1 = h.e1 * 0.01;
  r.e0 = h.e0 * 0.01;
  r.e2 = h.e2 * 0.01;
  fill_holding_words(h, r);
}

void fill_futures_holding_ex(const Msg8069_FuturesHolding& h, int scale, KelapiFuturesHoldingRecordEx& r) {
  std::memset(&r, 0, sizeof r);
  r.h8 = scale_down(static_cast<double>(h.h8), scale);
  r.e1 = h.e1 * 0.01;
  r.e0 = h.e0 * 0.01;
  r.e2 = h.e2 * 0.01;
  r.e3 = h.e3 * 0.01;
  fill_holding_words(h, r);
}

// ---- exports ----

KelapiResult book_futures(Library& lib) { return book_table(lib, Booked::futures, kCommandBookFutures); }

namespace {

KelapiResult check_read(const Library& lib, const void* record, bool exists, bool size_ok) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (record == nullptr) return KELAPI_E_POINTER;
  if (!exists) return KELAPI_E_INVALIDARG;
  return size_ok ? KELAPI_OK : KELAPI_E_STRUCT_SIZE;
}

int security_scale(const Library& lib, const char* code) {
  const int64_t s = lib.securities.find_by_code(code, -1, false);
  return s < 0 ? 2 : lib.securities.at(static_cast<std::size_t>(s)).h.scale;
}

}  // namespace

KelapiResult get_futures_limit(Library& lib, int number, void* record, uint32_t size, bool ex) {
  LibraryLock lock(lib);
  const bool size_ok = !ex || size == sizeof(KelapiFuturesLimitRecordEx);
  if (const KelapiResult r = check_read(lib, record, lib.futures.limits_exist, size_ok); r != KELAPI_OK) return r;
  const Msg8068_FuturesLimit* l = lib.futures.limits.find(static_cast<int64_t>(number) - 1);
  if (l == nullptr) return KELAPI_E_INVALIDARG;
  if (ex) {
    fill_futures_limit_ex(*l, *static_cast<KelapiFuturesLimitRecordEx*>(record));
  } else {
    fill_futures_limit(*l, *static_cast<KelapiFuturesLimitRecord*>(record));
  }
  return KELAPI_OK;
}

KelapiResult get_futures_holding(Library& lib, int number, void* record, uint32_t size, bool ex) {
  LibraryLock lock(lib);
  const bool size_ok = !ex || size == sizeof(KelapiFuturesHoldingRecordEx);
  if (const KelapiResult r = check_read(lib, record, lib.futures.holdings_exist, size_ok); r != KELAPI_OK) return r;
  const Msg8069_FuturesHolding* h = lib.futures.holdings.find(static_cast<int64_t>(number) - 1);
  if (h == nullptr) return KELAPI_E_INVALIDARG;
  const int scale = security_scale(lib, h->security);
  if (ex) {
    fill_futures_holding_ex(*h, scale, *static_cast<KelapiFuturesHoldingRecordEx*>(record));
  } else {
    fill_futures_holding(*h, scale, *static_cast<KelapiFuturesHoldingRecord*>(record));
  }
  return KELAPI_OK;
}

KelapiResult correct_open_position(Library& lib, const char* security, const char* account, const char* firm,
                                   double value) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (!lib.futures.holdings_exist) return KELAPI_E_INVALIDARG;
  for (const char* code : {security, account, firm}) {
    if (code == nullptr) return KELAPI_E_POINTER;
    if (strnlen(code, 13) > 12) return KELAPI_E_INVALID_LENGTH;
  }
  Msg8087_HoldingCorrection m;
  std::memset(&m, 0, sizeof m);
  copy_field(m.firm, firm);
  copy_field(m.account, account);
  copy_field(m.security, security);
  m.value = value;
  return lib.send_message(kMsgCorrection, &m) == 0 ? KELAPI_E_NOT_CONNECTED : KELAPI_OK;
}

// ---- handlers ----

void on_8068_futures_limit(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_futures_limit(lib, record_copy<Msg8068_FuturesLimit>(record, KELAPI_RECORD_END(Msg8068_FuturesLimit, w3)));
  });
}
void on_0092_futures_limit_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_futures_limit(lib, futures_limit_of(record_copy<Msg0092_FuturesLimitOld>(record, KELAPI_RECORD_END(Msg0092_FuturesLimitOld, w2))));
  });
}
void on_8069_futures_holding(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_futures_holding(lib, record_copy<Msg8069_FuturesHolding>(record, KELAPI_RECORD_END(Msg8069_FuturesHolding, e3)));
  });
}
void on_0095_futures_holding_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_futures_holding(lib, futures_holding_of(record_copy<Msg0095_FuturesHoldingOld>(record, KELAPI_RECORD_END(Msg0095_FuturesHoldingOld, h8))));
  });
}
void on_0098_futures_limit_deleted(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_futures_limit_deleted(
        lib, record_copy<Msg0098_FuturesLimitDeleted>(record, KELAPI_RECORD_END(Msg0098_FuturesLimitDeleted, type)),
        false);
  });
}
void on_0094_futures_limits_restart(uint16_t id, const void*) {
  // A message without fields may come without a record.
  static const uint8_t kNoFields = 0;
  handle_message(id, &kNoFields, [&](Library& lib) {
    const int32_t zero = 0;
    lib.send_message(kMsgLimitsRequest, &zero);
  });
}
void on_0097_futures_holdings_restart(uint16_t id, const void*) {
  static const uint8_t kNoFields = 0;
  handle_message(id, &kNoFields, [&](Library& lib) {
    const int32_t zero = 0;
    lib.send_message(kMsgHoldingsRequest, &zero);
  });
}

}  // namespace kelda::kelapi
