// The kind table's messages, booking, trans.dat at start and the reads.
#include "transactions/transactions.h"

#include <cstring>

#include "core/diag.h"
#include "core/text_util.h"
#include "files/binary_file.h"
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "platform/last_error.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgFieldsRequest = 0x3A;

bool class_complete(const Library& lib, int32_t class_index) {
  return lib.classes.valid_index(class_index) && ClassTable::complete(lib.classes.at(static_cast<std::size_t>(class_index)));
}

// Event 9 for a kind, once the worker has announced the table and while its
// class is complete.
void announce_kind(Library& lib, int32_t class_index, const TransactionKind& kind) {
  if (!lib.transactions.replayed || !class_complete(lib, class_index)) return;
  lib.raise_event(KELAPI_EVENT_NEWTRANSACTION, 0, kind.number());
}

void save(Library& lib) {
  if (!save_transactions(lib.transactions.table, lib.classes, work_file(lib.work_dir(), "trans.dat"))) {
    diag("KeldaApi: trans.dat could not be written\n");
  }
}

int64_t class_of_server_id(const Library& lib, int16_t server_id) {
  const int64_t c = lib.classes.find_by_server_id(server_id);
  return c >= 0 && static_cast<std::size_t>(c) < kMaxClasses ? c : -1;
}

void request_fields(Library& lib, const TransactionKind& kind) {
  const Msg003A_FieldsRequest request{kind.d.class_server_id, kind.d.kind_id};
  lib.send_message(kMsgFieldsRequest, &request);
}

}  // namespace

void on_transaction_kind(Library& lib, const Msg8095_TransactionKind& m) {
  const int64_t c = class_of_server_id(lib, m.class_server_id);
  if (c < 0) return;
  const auto class_index = static_cast<std::size_t>(c);
  TransactionTable& table = lib.transactions.table;
  TransactionKind* k = table.find_name(class_index, field_text(m.name));
  if (k != nullptr && k->present) {
    diag("KeldaApi: transaction kind %d [%s] of class %d [%s] already received\n", m.kind_id, k->d.name,
         m.class_server_id, lib.classes.at(class_index).d.name);
    return;
  }
  if (k != nullptr && k->d.revision == m.revision && k->fields_complete) {
    k->present = true;
    announce_kind(lib, static_cast<int32_t>(class_index), *k);
    return;
  }
  if (k == nullptr) k = &table.append(class_index);
  k->d = m;
  k->d.name[sizeof k->d.name - 1] = '\0';
  k->present = true;
  request_fields(lib, *k);
  k->fields_complete = false;
  k->fields.clear();
  k->fields.shrink_to_fit();
}

void on_transaction_field(Library& lib, TransactionField f) {
  const int64_t c = class_of_server_id(lib, f.class_server_id);
  if (c < 0) return;
  TransactionKind* k = lib.transactions.table.find_id(static_cast<std::size_t>(c), f.kind_id);
  if (k == nullptr) return;
  trim_right_field(f.key);
  trim_right_field(f.description);
  f.default_value[sizeof f.default_value - 1] = '\0';
  f.values[sizeof f.values - 1] = '\0';
  if ((f.roles & (kRoleSecurity | kRoleAccount)) != 0 && f.type == 4) f.type = 0;
  // A list longer than any 16-bit count is the server's mistake: the kind
  // then never completes.
  if (k->fields.size() >= 32767) return;
  k->fields.push_back(f);
}

void on_kind_fields_end(Library& lib, int16_t kind_id) {
  const KindRef ref = lib.transactions.table.find_number(static_cast<uint32_t>(static_cast<uint16_t>(kind_id)) + 1u);
  if (!ref) return;
  TransactionKind& k = *ref.kind;
  if (k.d.field_count < 0 || k.fields.size() != static_cast<std::size_t>(k.d.field_count)) {
    diag("KeldaApi: transaction kind [%s] has %d fields, %zu received\n", k.d.name, k.d.field_count,
         k.fields.size());
    return;
  }
  k.fields_complete = true;
  save(lib);
  announce_kind(lib, ref.class_index, k);
}

void on_class_kinds_end(Library& lib, int16_t class_server_id) {
  const int64_t c = class_of_server_id(lib, class_server_id);
  if (c < 0) return;
  for (TransactionKind& k : lib.transactions.table.kinds(static_cast<std::size_t>(c))) {
    if ((k.d.kind_code & kStopKindCodes) == 0) k.present = false;
  }
  if (lib.booked(Booked::transactions)) {
    lib.raise_event(KELAPI_EVENT_NEWTRANSACTIONSTOP, 0, static_cast<uintptr_t>(c) + 1);
  }
}

void run_book_transactions(Library& lib) {
  if (!lib.initialised() || !lib.connected() || !lib.start_fired() || !lib.booked(Booked::transactions)) return;
  for (std::size_t c = 0; c < lib.classes.size() && c < kMaxClasses; ++c) {
    for (const TransactionKind& k : lib.transactions.table.kinds(c)) {
      if (k.present && k.fields_complete) lib.raise_event(KELAPI_EVENT_NEWTRANSACTION, 0, k.number());
    }
  }
  lib.transactions.replayed = true;
}

void load_saved_transactions(Library& lib) {
  std::string problem;
  if (!load_transactions(lib.transactions.table, lib.classes, work_file(lib.work_dir(), "trans.dat"), problem) &&
      !problem.empty()) {
    diag("KeldaApi: trans.dat is damaged (%s); the transaction table starts empty\n", problem.c_str());
  }
}

// ---- exports ----

namespace {

KelapiResult state(const Library& lib) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (!lib.connected()) return KELAPI_E_NOT_CONNECTED;
  if (!lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  return KELAPI_OK;
}

// The usable kind of a number for the getters.
KelapiResult usable_kind(Library& lib, uint32_t number, KindRef& ref) {
  ref = lib.transactions.table.find_number(number);
  if (!ref) return KELAPI_E_INVALIDARG;
  return ref.kind->usable() ? KELAPI_OK : KELAPI_E_TRANS_NOT_AVAILABLE;
}

void fill_field(KelapiTransFieldRecord& r, const TransactionField& f, const KindRef& ref) {
  std::memset(&r, 0, sizeof r);
  r.roles = f.roles;
  r.class_number = static_cast<uint16_t>(ref.class_index + 1);
  r.extra3 = static_cast<uint16_t>(f.extra3);
  r.type = static_cast<uint16_t>(f.type);
  r.width = static_cast<uint16_t>(f.width);
  r.kind_number = static_cast<uint16_t>(ref.kind->number());
  copy_bounded(r.default_value, f.default_value, sizeof r.default_value - 1);
  copy_bounded(r.values, f.values, sizeof r.values - 1);
  copy_bounded(r.description, f.description, sizeof r.description - 1);
  copy_bounded(r.key, f.key, sizeof r.key - 1);
}

}  // namespace

KelapiResult book_transactions(Library& lib) {
  LibraryLock lock(lib);
  if (const KelapiResult r = state(lib); r != KELAPI_OK) return r;
  if (lib.booked(Booked::transactions)) return KELAPI_E_ALREADY_BOOKED;
  if (!lib.post_command(kCommandBookTransactions, lib.session_generation())) return platform::get_last_error();
  lib.set_booked(Booked::transactions, true);
  return KELAPI_OK;
}

KelapiResult get_transaction(Library& lib, uint32_t number, KelapiTransactionRecord* record) {
  LibraryLock lock(lib);
  if (const KelapiResult r = state(lib); r != KELAPI_OK) return r;
  if (record == nullptr) return KELAPI_E_POINTER;
  KindRef ref;
  if (const KelapiResult r = usable_kind(lib, number, ref); r != KELAPI_OK) return r;
  std::memset(record, 0, sizeof *record);
  record->kind_code = ref.kind->d.kind_code;
  record->class_number = static_cast<uint16_t>(ref.class_index + 1);
  record->field_count = static_cast<uint16_t>(ref.kind->d.field_count);
  record->kind_number = static_cast<uint16_t>(ref.kind->number());
  copy_bounded(record->name, ref.kind->d.name, sizeof record->name - 1);
  return KELAPI_OK;
}

KelapiResult get_transaction_ex(Library& lib, uint32_t number, KelapiTransactionRecordEx* record, uint32_t size) {
  LibraryLock lock(lib);
  if (const KelapiResult r = state(lib); r != KELAPI_OK) return r;
  if (size != sizeof(KelapiTransactionRecordEx)) return KELAPI_E_STRUCT_SIZE;
  if (record == nullptr) return KELAPI_E_POINTER;
  KindRef ref;
  if (const KelapiResult r = usable_kind(lib, number, ref); r != KELAPI_OK) return r;
  std::memset(record, 0, sizeof *record);
  record->kind_code = ref.kind->d.kind_code;
  record->class_number = static_cast<uint16_t>(ref.class_index + 1);
  record->field_count = static_cast<uint16_t>(ref.kind->d.field_count);
  record->extra1 = ref.kind->d.extra1;
  record->extra2 = ref.kind->d.extra2;
  record->kind_number = static_cast<uint16_t>(ref.kind->number());
  copy_bounded(record->name, ref.kind->d.name, sizeof record->name - 1);
  return KELAPI_OK;
}

KelapiResult get_trans_fields(Library& lib, uint32_t number, KelapiTransFieldRecord* records) {
  LibraryLock lock(lib);
  if (const KelapiResult r = state(lib); r != KELAPI_OK) return r;
  if (records == nullptr) return KELAPI_E_POINTER;
  KindRef ref;
  if (const KelapiResult r = usable_kind(lib, number, ref); r != KELAPI_OK) return r;
  for (std::size_t i = 0; i < ref.kind->fields.size(); ++i) fill_field(records[i], ref.kind->fields[i], ref);
  return KELAPI_OK;
}

KelapiResult get_trans_fields_ex(Library& lib, uint32_t number, KelapiTransFieldRecordEx* records, uint32_t size) {
  LibraryLock lock(lib);
  if (const KelapiResult r = state(lib); r != KELAPI_OK) return r;
  if (size != sizeof(KelapiTransFieldRecordEx)) return KELAPI_E_STRUCT_SIZE;
  if (records == nullptr) return KELAPI_E_POINTER;
  KindRef ref;
  if (const KelapiResult r = usable_kind(lib, number, ref); r != KELAPI_OK) return r;
  for (std::size_t i = 0; i < ref.kind->fields.size(); ++i) {
    fill_field(records[i].field, ref.kind->fields[i], ref);
    records[i].field_code = ref.kind->fields[i].field_code;
    records[i].extra4 = ref.kind->fields[i].extra4;
  }
  return KELAPI_OK;
}

KelapiResult is_transaction_available(Library& lib, uint32_t number) {
  LibraryLock lock(lib);
  if (const KelapiResult r = state(lib); r != KELAPI_OK) return r;
  return lib.transactions.table.find_number(number) ? KELAPI_OK : KELAPI_E_TRANS_NOT_AVAILABLE;
}

KelapiResult is_transaction_available_ex(Library& lib, const char* class_code, uint32_t kind_code) {
  LibraryLock lock(lib);
  if (const KelapiResult r = state(lib); r != KELAPI_OK) return r;
  if (class_code == nullptr) return KELAPI_E_POINTER;
  const int64_t c = lib.classes.find_confirmed_by_code(std::string_view(class_code, strnlen(class_code, 12)));
  if (c < 0 || static_cast<std::size_t>(c) >= kMaxClasses) return KELAPI_E_INVALID_CLASS;
  const uint32_t flags = lib.classes.at(static_cast<std::size_t>(c)).d.table_flags;
  const std::string_view code = field_text(lib.classes.at(static_cast<std::size_t>(c)).d.code);
  return lib.transactions.table.find_code(static_cast<std::size_t>(c), kind_code, flags, code) != nullptr
             ? KELAPI_OK
             : KELAPI_E_TRANS_NOT_AVAILABLE;
}

// ---- handlers ----

void on_8095_transaction_kind(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_transaction_kind(lib, record_copy<Msg8095_TransactionKind>(record, KELAPI_RECORD_END(Msg8095_TransactionKind, extra2)));
  });
}
void on_00D2_transaction_kind_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto old = record_copy<Msg00D2_TransactionKindOld>(record, KELAPI_RECORD_END(Msg00D2_TransactionKindOld, revision));
    Msg8095_TransactionKind m;
    std::memset(&m, 0, sizeof m);
    m.kind_id = old.kind_id;
    std::memcpy(m.name, old.name, sizeof m.name);
    m.class_server_id = old.class_server_id;
    m.field_count = old.field_count;
    m.kind_code = old.kind_code;
    m.revision = old.revision;
    on_transaction_kind(lib, m);
  });
}
void on_8096_transaction_field(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_transaction_field(lib, record_copy<Msg8096_TransactionField>(record, KELAPI_RECORD_END(Msg8096_TransactionField, extra4)));
  });
}
void on_003B_transaction_field_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto old = record_copy<Msg003B_TransactionFieldOld>(record, KELAPI_RECORD_END(Msg003B_TransactionFieldOld, values));
    TransactionField f;
    std::memset(&f, 0, sizeof f);
    std::memcpy(&f, &old, KELAPI_RECORD_END(Msg003B_TransactionFieldOld, values));
    on_transaction_field(lib, f);
  });
}
void on_0049_kind_fields_end(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_kind_fields_end(lib, static_cast<int16_t>(record_copy<Word16>(record).value)); });
}
void on_0044_class_kinds_end(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_class_kinds_end(lib, static_cast<int16_t>(record_copy<Word16>(record).value)); });
}

}  // namespace kelda::kelapi
