// Handlers of the current-value messages: each layout is brought to one
// form with the entry flags of its id (see messages/handlers.h for the
// rules every handler follows).
#include <algorithm>

#include "messages/handlers.h"
#include "messages/records_values.h"
#include "session/handler_support.h"
#include "values/values.h"

namespace kelda::kelapi {
namespace {

// The counted lists of a record, never longer than their arrays.
template <typename Record>
ValueMessage value_message(const Record& r, int32_t security_id, uint32_t flags) {
  ValueMessage m;
  m.security_id = security_id;
  m.time = static_cast<uint32_t>(r.time);
  m.entry = r.entry;
  m.flags = flags;
  m.mask = mask_of(r.mask.low, r.mask.high);
  m.ints = std::span(r.ints, std::min<std::size_t>(r.int_count, std::size(r.ints)));
  m.doubles = std::span(r.doubles, std::min<std::size_t>(r.double_count, std::size(r.doubles)));
  return m;
}

template <typename Record>
void handle_values(uint16_t id, const void* record, uint32_t flags) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Record>(record, KELAPI_RECORD_END(Record, doubles));
    on_value_record(lib, value_message(r, r.security_id, flags));
  });
}

}  // namespace

void on_805F_values(uint16_t id, const void* record) {
  handle_values<Msg805F_Values>(id, record, kEntryFromServer);
}
void on_8060_values_snapshot(uint16_t id, const void* record) {
  handle_values<Msg8060_ValuesSnapshot>(id, record, kEntrySnapshot);
}
void on_8061_values_plain(uint16_t id, const void* record) { handle_values<Msg8061_ValuesPlain>(id, record, 0); }
void on_8013_values_short_id(uint16_t id, const void* record) {
  handle_values<Msg8013_ValuesShortId>(id, record, kEntryFromServer);
}
void on_8014_values_snapshot_short_id(uint16_t id, const void* record) {
  handle_values<Msg8014_ValuesSnapshotShortId>(id, record, kEntrySnapshot);
}
void on_8015_values_plain_short_id(uint16_t id, const void* record) {
  handle_values<Msg8015_ValuesPlainShortId>(id, record, 0);
}

void on_0007_values_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Msg0007_ValuesOld>(record, KELAPI_RECORD_END(Msg0007_ValuesOld, doubles));
    on_value_record(lib, value_message(r, r.security_id, r.flags));
  });
}

void on_8048_entry_confirmed(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Msg8048_EntryConfirmed>(record);
    on_entry_confirmed(lib, r.class_server_id, r.entry);
  });
}

void on_002A_entry_confirmed_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Msg002A_EntryConfirmedOld>(record);
    on_entry_confirmed(lib, r.class_server_id, r.entry);
  });
}

}  // namespace kelda::kelapi
