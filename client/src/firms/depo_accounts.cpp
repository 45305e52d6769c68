// The depository-account tables, their messages, booking and reads.
#include "firms/depo_accounts.h"

#include <algorithm>
#include <cstring>

#include "core/text_util.h"
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgSecAccountsRequest = 0x50;
constexpr uint16_t kMsgFirmAccountsRequest = 0x54;

uintptr_t caller_number(int32_t number) { return static_cast<uintptr_t>(static_cast<uint32_t>(number) + 1u); }

Msg8077_FirmDepoAccount terminated(const Msg8077_FirmDepoAccount& a) {
  Msg8077_FirmDepoAccount r = a;
  copy_field(r.code1, a.code1);
  copy_field(r.code2, a.code2);
  return r;
}

Msg8076_SecDepoAccount terminated(const Msg8076_SecDepoAccount& a) {
  Msg8076_SecDepoAccount r = a;
  copy_field(r.code1, a.code1);
  copy_field(r.code2, a.code2);
  copy_field(r.code3, a.code3);
  copy_field(r.code4, a.code4);
  return r;
}

// A code field copied between layouts (the shorter width bounds it).
template <std::size_t N, std::size_t M>
void copy_code(char (&to)[N], const char (&from)[M]) {
  std::memcpy(to, from, std::min(N, M));
}

// What every layout of a depository account holds: the number, the first
// two codes and four values; the rest of the newer layout stays zero.
template <typename To, typename From>
To account_fields(const From& from) {
  To to;
  std::memset(&to, 0, sizeof to);
  to.number = from.number;
  copy_code(to.code1, from.code1);
  copy_code(to.code2, from.code2);
  to.d1 = from.d1;
  to.d2 = from.d2;
  to.d3 = from.d3;
  to.d4 = from.d4;
  return to;
}

// A security's depository account adds two codes.
template <typename To, typename From>
To sec_account_fields(const From& from) {
  To to = account_fields<To>(from);
  copy_code(to.code3, from.code3);
  copy_code(to.code4, from.code4);
  return to;
}

template <typename Record>
Record from_bytes(std::span<const uint8_t> p) {
  Record r;
  std::memcpy(&r, p.data(), sizeof r);
  return r;
}

}  // namespace

Msg8077_FirmDepoAccount firm_depo_account_of(const Msg806D_FirmDepoAccountOld& old) {
  return account_fields<Msg8077_FirmDepoAccount>(old);
}

Msg8077_FirmDepoAccount firm_depo_account_of(const Msg0053_FirmDepoAccountOld& old) {
  return firm_depo_account_of(account_fields<Msg806D_FirmDepoAccountOld>(old));
}

Msg8076_SecDepoAccount sec_depo_account_of(const Msg806C_SecDepoAccountOld& old) {
  return sec_account_fields<Msg8076_SecDepoAccount>(old);
}

Msg8076_SecDepoAccount sec_depo_account_of(const Msg004F_SecDepoAccountOld& old) {
  return sec_depo_account_of(sec_account_fields<Msg806C_SecDepoAccountOld>(old));
}

void on_firm_depo_account(Library& lib, const Msg8077_FirmDepoAccount& account) {
  const auto& stored = lib.depo_accounts.firm.put(terminated(account));
  lib.raise_event(KELAPI_EVENT_NEWFIRMDEPOACCOUNT, 0, caller_number(stored.number));
}

void on_sec_depo_account(Library& lib, const Msg8076_SecDepoAccount& account) {
  const auto& stored = lib.depo_accounts.security.put(terminated(account));
  lib.raise_event(KELAPI_EVENT_NEWSECDEPOACCOUNT, 0, caller_number(stored.number));
}

void replay_depo_account(Library& lib, uint8_t tag, std::span<const uint8_t> p) {
  auto& firm = lib.depo_accounts.firm;
  auto& security = lib.depo_accounts.security;
  if (tag == 13 && p.size() == sizeof(Msg0053_FirmDepoAccountOld)) {
    firm.put(terminated(firm_depo_account_of(from_bytes<Msg0053_FirmDepoAccountOld>(p))));
  } else if (tag == 57 && p.size() == sizeof(Msg806D_FirmDepoAccountOld)) {
    firm.put(terminated(firm_depo_account_of(from_bytes<Msg806D_FirmDepoAccountOld>(p))));
  } else if (tag == 65 && p.size() == sizeof(Msg8077_FirmDepoAccount)) {
    firm.put(terminated(from_bytes<Msg8077_FirmDepoAccount>(p)));
  } else if (tag == 14 && p.size() == sizeof(Msg004F_SecDepoAccountOld)) {
    security.put(terminated(sec_depo_account_of(from_bytes<Msg004F_SecDepoAccountOld>(p))));
  } else if (tag == 58 && p.size() == sizeof(Msg806C_SecDepoAccountOld)) {
    security.put(terminated(sec_depo_account_of(from_bytes<Msg806C_SecDepoAccountOld>(p))));
  } else if (tag == 64 && p.size() == sizeof(Msg8076_SecDepoAccount)) {
    security.put(terminated(from_bytes<Msg8076_SecDepoAccount>(p)));
  }
}

void run_book_depo_accounts(Library& lib) {
  for (std::size_t i = 0; i < lib.depo_accounts.firm.size(); ++i) {
    lib.raise_event(KELAPI_EVENT_NEWFIRMDEPOACCOUNT, 0, caller_number(lib.depo_accounts.firm.at(i).number));
  }
  for (std::size_t i = 0; i < lib.depo_accounts.security.size(); ++i) {
    lib.raise_event(KELAPI_EVENT_NEWSECDEPOACCOUNT, 0, caller_number(lib.depo_accounts.security.at(i).number));
  }
  if (!lib.connected()) return;
  const int32_t zero = 0;
  lib.send_message(kMsgSecAccountsRequest, &zero);
  lib.send_message(kMsgFirmAccountsRequest, &zero);
}

KelapiResult book_depo_accounts(Library& lib) {
  return book_table(lib, Booked::depo_accounts, kCommandBookDepoAccounts);
}

KelapiResult get_firm_depo_account(Library& lib, int number, KelapiFirmDepoAccountRecordEx* record, uint32_t size,
                                   bool ex) {
  LibraryLock lock(lib);
  const uint32_t expected = ex ? 80u : 64u;
  if (const KelapiResult r = check_row_read(lib, record, ex ? size : expected, expected); r != KELAPI_OK) return r;
  const Msg8077_FirmDepoAccount* a = lib.depo_accounts.firm.find(static_cast<int64_t>(number) - 1);
  if (a == nullptr) return KELAPI_E_INVALIDARG;
  std::memset(record, 0, expected);
  record->d2 = a->d2;
  record->d1 = a->d1;
  record->d3 = a->d3;
  record->d4 = a->d4;
  record->number = a->number + 1;
  copy_bounded(record->code1, a->code1, 12);
  copy_field(record->code2, a->code2);
  if (ex) {
    record->d5 = a->d5;
    record->d6 = a->d6;
  }
  return KELAPI_OK;
}

KelapiResult get_sec_depo_account(Library& lib, int number, KelapiSecDepoAccountRecordEx* record, uint32_t size,
                                  bool ex) {
  LibraryLock lock(lib);
  const uint32_t expected = ex ? 120u : 88u;
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  // This read tests the size before the record.
  if (ex && size != expected) return KELAPI_E_STRUCT_SIZE;
  if (record == nullptr) return KELAPI_E_POINTER;
  const Msg8076_SecDepoAccount* a = lib.depo_accounts.security.find(static_cast<int64_t>(number) - 1);
  if (a == nullptr) return KELAPI_E_INVALIDARG;
  std::memset(record, 0, expected);
  record->d2 = a->d2;
  record->d1 = a->d1;
  record->d3 = a->d3;
  record->d4 = a->d4;
  record->number = a->number + 1;
  copy_field(record->code4, a->code4);
  copy_field(record->code1, a->code1);
  copy_field(record->code2, a->code2);
  copy_field(record->code3, a->code3);
  if (ex) {
    record->d5 = a->d5;
    record->d6 = a->d6;
    record->d7 = a->d7;
    record->d8 = a->d8;
  }
  return KELAPI_OK;
}

// ---- handlers ----

void on_8077_firm_depo_account(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_firm_depo_account(lib, record_copy<Msg8077_FirmDepoAccount>(record, KELAPI_RECORD_END(Msg8077_FirmDepoAccount, d6)));
  });
}
void on_806D_firm_depo_account_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_firm_depo_account(lib, firm_depo_account_of(record_copy<Msg806D_FirmDepoAccountOld>(record, KELAPI_RECORD_END(Msg806D_FirmDepoAccountOld, d4))));
  });
}
void on_0053_firm_depo_account_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_firm_depo_account(lib, firm_depo_account_of(record_copy<Msg0053_FirmDepoAccountOld>(record, KELAPI_RECORD_END(Msg0053_FirmDepoAccountOld, d4))));
  });
}
void on_8076_sec_depo_account(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_sec_depo_account(lib, record_copy<Msg8076_SecDepoAccount>(record, KELAPI_RECORD_END(Msg8076_SecDepoAccount, d8)));
  });
}
void on_806C_sec_depo_account_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_sec_depo_account(lib, sec_depo_account_of(record_copy<Msg806C_SecDepoAccountOld>(record, KELAPI_RECORD_END(Msg806C_SecDepoAccountOld, d4))));
  });
}
void on_004F_sec_depo_account_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_sec_depo_account(lib, sec_depo_account_of(record_copy<Msg004F_SecDepoAccountOld>(record, KELAPI_RECORD_END(Msg004F_SecDepoAccountOld, d4))));
  });
}
void on_0056_firm_depo_accounts_restart(uint16_t id, const void*) {
  // A message without fields may come without a record.
  static const uint8_t kNoFields = 0;
  handle_message(id, &kNoFields, [&](Library& lib) {
    const int32_t zero = 0;
    lib.send_message(kMsgFirmAccountsRequest, &zero);
  });
}
void on_0052_sec_depo_accounts_restart(uint16_t id, const void*) {
  // A message without fields may come without a record.
  static const uint8_t kNoFields = 0;
  handle_message(id, &kNoFields, [&](Library& lib) {
    const int32_t zero = 0;
    lib.send_message(kMsgSecAccountsRequest, &zero);
  });
}

}  // namespace kelda::kelapi
