// The account-position table, its messages, booking and reads.
#include "positions/positions.h"

#include <cstring>

#include "core/text_util.h"
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgPositionsRequest = 0x43;
constexpr uint16_t kMsgPositionsRequestNew = 0x801B;

uintptr_t caller_number(int32_t number) { return static_cast<uintptr_t>(static_cast<uint32_t>(number) + 1u); }

template <typename Message>
AccountPositionEntry with_codes(const Message& m) {
  AccountPositionEntry e;
  std::memset(&e, 0, sizeof e);
  e.number = m.number;
  copy_field(e.code1, m.code1);
  copy_field(e.code2, m.code2);
  copy_field(e.code3, m.code3);
  copy_field(e.code4, m.code4);
  return e;
}

}  // namespace

AccountPositionEntry position_of(const Msg802A_AccountPosition& m) { return with_codes(m); }

AccountPositionEntry position_of(const Msg004C_AccountPositionOld& m) {
  AccountPositionEntry e = with_codes(m);
  e.p[0] = m.value1;
  e.p[1] = m.value2;
  e.p[2] = m.value3;
  e.p[3] = m.value4;
  e.p[4] = m.value5;
  e.p[5] = m.value6;
  e.p[6] = m.value7;
  e.p[7] = m.value8;
  return e;
}

void on_position(Library& lib, const AccountPositionEntry& entry, bool restoring) {
  const AccountPositionEntry& stored = lib.positions.put(entry);
  if (!restoring) lib.raise_event(KELAPI_EVENT_NEWACCOUNTPOSITION, 0, caller_number(stored.number));
}

void on_position_values(Library& lib, int32_t number, const double (&values)[11]) {
  const int64_t at = lib.positions.position(number);
  if (at < 0) return;
  AccountPositionEntry& e = lib.positions.at_mut(static_cast<std::size_t>(at));
  std::memcpy(e.p, values, sizeof e.p);
  lib.raise_event(KELAPI_EVENT_NEWACCOUNTPOSITION, 0, caller_number(number));
}

void on_positions_restart(Library& lib) {
  const int32_t zero = 0;
  lib.send_message(kMsgPositionsRequest, &zero);
}

void replay_position(Library& lib, uint8_t tag, std::span<const uint8_t> p) {
  if (tag == 11 && p.size() == sizeof(Msg004C_AccountPositionOld)) {
    Msg004C_AccountPositionOld m;
    std::memcpy(&m, p.data(), sizeof m);
    on_position(lib, position_of(m), true);
  } else if (tag == 73 && p.size() == sizeof(AccountPositionEntry)) {
    AccountPositionEntry m;
    std::memcpy(&m, p.data(), sizeof m);
    AccountPositionEntry e = with_codes(m);
    std::memcpy(e.p, m.p, sizeof e.p);
    on_position(lib, e, true);
  }
}

void run_book_positions(Library& lib) {
  for (std::size_t i = 0; i < lib.positions.size(); ++i) {
    lib.raise_event(KELAPI_EVENT_NEWACCOUNTPOSITION, 0, caller_number(lib.positions.at(i).number));
  }
  if (!lib.connected()) return;
  static const uint8_t kNoFields[8] = {};
  lib.send_message(kMsgPositionsRequestNew, kNoFields);
  on_positions_restart(lib);
}

KelapiResult book_positions(Library& lib) { return book_table(lib, Booked::positions, kCommandBookPositions); }

namespace {

template <typename Record>
void fill_codes(const AccountPositionEntry& e, Record& r) {
  r.number = e.number + 1;
  copy_field(r.code2, e.code2);
  copy_field(r.code4, e.code4);
  copy_field(r.code1, e.code1);
  copy_field(r.code3, e.code3);
}

void fill(const AccountPositionEntry& e, KelapiAccountPositionRecord& r) {
  std::memset(&r, 0, sizeof r);
  r.p1 = e.p[1];
  r.p3 = e.p[3];
  r.p4 = e.p[4];
  r.p0 = e.p[0];
  r.p2 = e.p[2];
  fill_codes(e, r);
}

// The sized layouts: P1, P3, P4, P0, P2, P5 to P8 and, in the longer one,
// P9 and P10.
template <typename Record>
void fill_sized(const AccountPositionEntry& e, Record& r) {
  std::memset(&r, 0, sizeof r);
  const double values[11] = {e.p[1], e.p[3], e.p[4], e.p[0], e.p[2], e.p[5],
                             e.p[6], e.p[7], e.p[8], e.p[9], e.p[10]};
  std::memcpy(r.values, values, sizeof r.values);
  fill_codes(e, r);
}

}  // namespace

KelapiResult get_position(Library& lib, int number, void* record, uint32_t size, int layout) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  // The sized reads test the size before the record.
  if (layout != 0 && size != (layout == 1 ? 136u : 152u)) return KELAPI_E_STRUCT_SIZE;
  if (record == nullptr) return KELAPI_E_POINTER;
  const AccountPositionEntry* e = lib.positions.find(static_cast<int64_t>(number) - 1);
  if (e == nullptr) return KELAPI_E_INVALIDARG;
  if (layout == 0) {
    fill(*e, *static_cast<KelapiAccountPositionRecord*>(record));
  } else if (layout == 1) {
    fill_sized(*e, *static_cast<KelapiAccountPositionRecordEx*>(record));
  } else {
    fill_sized(*e, *static_cast<KelapiAccountPositionRecordEx2*>(record));
  }
  return KELAPI_OK;
}

// ---- handlers ----

void on_802A_account_position(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_position(lib, position_of(record_copy<Msg802A_AccountPosition>(record, KELAPI_RECORD_END(Msg802A_AccountPosition, code4))), false);
  });
}
void on_004C_account_position_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_position(lib, position_of(record_copy<Msg004C_AccountPositionOld>(record, KELAPI_RECORD_END(Msg004C_AccountPositionOld, value11))), false);
  });
}
void on_808B_position_values(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Msg808B_PositionValues>(record, KELAPI_RECORD_END(Msg808B_PositionValues, p10));
    const double values[11] = {m.p0, m.p1, m.p2, m.p3, m.p4, m.p5, m.p6, m.p7, m.p8, m.p9, m.p10};
    on_position_values(lib, m.number, values);
  });
}
void on_807D_position_values_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Msg807D_PositionValuesOld>(record, KELAPI_RECORD_END(Msg807D_PositionValuesOld, p8));
    const double values[11] = {m.p0, m.p1, m.p2, m.p3, m.p4, m.p5, m.p6, m.p7, m.p8, 0, 0};
    on_position_values(lib, m.number, values);
  });
}
void on_8029_position_values_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Msg8029_PositionValuesOld>(record, KELAPI_RECORD_END(Msg8029_PositionValuesOld, short3));
    const double values[11] = {m.value1, m.value2, m.value3, m.value4, m.value5, 0, 0, 0, 0, 0, 0};
    on_position_values(lib, m.number, values);
  });
}
void on_0046_positions_restart(uint16_t id, const void*) {
  // A message without fields may come without a record.
  static const uint8_t kNoFields = 0;
  handle_message(id, &kNoFields, [&](Library& lib) { on_positions_restart(lib); });
}

}  // namespace kelda::kelapi
