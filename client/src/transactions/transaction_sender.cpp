// Sending a transaction: the text formatted field by field, the readable
// description, signing, the chunks, the last-transaction description and
// the server's replies.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "core/diag.h"
#include "core/result_text.h"
#include "core/text_util.h"
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "session/library.h"
#include "transactions/transaction_text.h"
#include "transactions/transactions.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgTransactionChunk = 0xFA;
constexpr std::size_t kChunkBytes = 998;
constexpr uint32_t kClassDescribesTransactions = 0x80000;  // in the class's table flags
// An empty value of a field with one of these roles goes out as blanks in a
// kind that asks for it, in a class whose class flags (not its table flags)
// carry the blank mark.
constexpr uint32_t kClassBlankFields = 0x80;
constexpr uint32_t kKindBlankFields = 0x20000000;
constexpr uint32_t kBlankableRoles = 0x4A030000;
constexpr uint32_t kInitReplyRecord = 0x2;

// Chunks of one transaction go out together, also across libraries.
std::mutex& transaction_mutex() {
  static std::mutex m;
  return m;
}

template <std::size_t N>
void put_text(char (&field)[N], std::string_view text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

KelapiResult fail(KelapiLastTransDescEx& last, KelapiResult code, std::string_view text) {
  last.result = code;
  put_text(last.result_text, text.substr(0, kMaxValueChars));
  return code;
}

KelapiResult fail(KelapiLastTransDescEx& last, KelapiResult code) { return fail(last, code, result_text(code)); }

// The securities that scale the price fields.
struct Scales {
  int64_t main = -1;  // the security of the transaction
  int64_t stop = -1;  // the security of a stop price, when another instrument gives it
};

int64_t security_in_class(const Library& lib, int32_t class_index, std::string_view code) {
  return lib.securities.find_by_code(code, class_index, false);
}

int64_t main_security(const Library& lib, int32_t class_index, const TransactionKind& kind, std::string_view text) {
  for (const TransactionField& f : kind.fields) {
    if ((f.roles & kRoleSecurity) == 0 || (f.roles & kRoleFixed) != 0) continue;
    const std::optional<std::string_view> code = text_value(text, field_text(f.key));
    return code ? security_in_class(lib, class_index, *code) : -1;
  }
  return -1;
}

int64_t stop_price_security(const Library& lib, const TransactionKind& kind, std::string_view text) {
  if ((kind.d.kind_code & 0x2000) == 0) return -1;
  bool other_instrument = false;
  std::string_view class_code;
  std::string_view security_code;
  for (const TransactionField& f : kind.fields) {
    if ((f.roles & kRoleFixed) == 0) continue;
    const std::string_view value = text_value(text, field_text(f.key)).value_or("");
    if ((f.roles & kRoleStopType) != 0) {
      if (std::atoi(std::string(value).c_str()) != 2) return -1;
      other_instrument = true;
    } else if ((f.roles & kRoleClass) != 0) {
      class_code = value;
    } else if ((f.roles & kRoleSecurity) != 0) {
      security_code = value;
    }
  }
  if (!other_instrument) return -1;
  const int64_t c = lib.classes.find_by_code(class_code);
  const int64_t s = c < 0 ? -1 : security_in_class(lib, static_cast<int32_t>(c), security_code);
  if (s < 0) diag("WARNING: while sending transaction didn't find security id for stop-price (for scale).\n");
  return s;
}

int price_scale(const Library& lib, int64_t security) {
  if (security < 0) {
    diag("WARNING: while sending transaction didn't find security id (for scale), assume scale = 2.\n");
    return 2;
  }
  return lib.securities.at(static_cast<std::size_t>(security)).h.scale;
}

// The transaction text as sent and the description that goes along.
struct Assembled {
  std::string text;
  std::string description;
};

KelapiResult field_failed(KelapiLastTransDescEx& last, const TransactionField& f, KelapiResult code) {
  char text[kMaxValueChars + 1];
  std::snprintf(text, sizeof text, "Failed to format '%s' param with error %d, '%s'", f.key,
                static_cast<int32_t>(code), result_text(code).c_str());
  return fail(last, code, text);
}

void describe_field(const Library& lib, const TransactionField& f, int64_t main, const FormattedValue& v,
                    std::string& description) {
  std::string shown;
  if ((f.roles & kRoleSecurity) != 0 && main >= 0) {
    shown = v.shown + ", " + std::string(field_text(lib.securities.at(static_cast<std::size_t>(main)).h.short_name));
  } else if (f.type == kFieldChoice) {
    shown = std::string(choice_text(field_text(f.values), v.shown));
  } else {
    shown = v.shown;
  }
  description += std::string(field_text(f.description)) + " = " + shown + ";";
}

KelapiResult assemble(Library& lib, const TransactionTarget& target, std::string_view text, Assembled& out) {
  KelapiLastTransDescEx& last = *lib.transactions.last;
  const ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(target.class_index));
  const TransactionKind& kind = *target.kind;
  const bool describe = (cls.d.table_flags & kClassDescribesTransactions) != 0;
  if (describe) out.description = "\n" + std::string(field_text(kind.d.name)) + " [" + std::string(field_text(cls.d.name)) + "]\n";
  Scales scales;
  scales.main = main_security(lib, target.class_index, kind, text);
  scales.stop = stop_price_security(lib, kind, text);
  for (const TransactionField& f : kind.fields) {
    std::optional<std::string_view> value = text_value(text, field_text(f.key));
    if (!value) {
      if ((f.roles & kRoleOptional) == 0) return field_failed(last, f, KELAPI_E_TRANS_FIELD_MISSING);
      value = field_text(f.default_value);
    }
    FormattedValue v;
    if ((cls.d.flags & kClassBlankFields) != 0 && (kind.d.kind_code & kKindBlankFields) != 0 &&
        (f.roles & kBlankableRoles) != 0 && value->empty()) {
      v = format_value("", f.width, kFieldText, 0);
    } else {
      const bool by_stop = scales.stop >= 0 && (f.field_code == 6 || f.field_code == 21);
      const int scale = f.type == kFieldPrice ? price_scale(lib, by_stop ? scales.stop : scales.main) : 0;
      v = format_value(*value, f.width, f.type, scale);
    }
    if (v.result != KELAPI_OK) return field_failed(last, f, v.result);
    if (out.text.size() + v.sent.size() >= kMaxTransactionBytes) return field_failed(last, f, KELAPI_E_INVALID_LENGTH);
    out.text += v.sent;
    if (describe) {
      describe_field(lib, f, scales.main, v, out.description);
      if (out.description.size() >= kMaxTransactionBytes) return field_failed(last, f, KELAPI_E_INVALID_LENGTH);
    }
  }
  return KELAPI_OK;
}

// Sends one part (1 the text, 2 the description) in chunks; false when the
// link is down or a chunk cannot be sent.
bool send_part(Library& lib, const TransactionTarget& target, uint32_t trans_id, const std::vector<uint8_t>& bytes,
               int16_t part, bool description_follows, int16_t& chunk) {
  std::size_t at = 0;
  do {
    const std::size_t n = std::min(bytes.size() - at, kChunkBytes);
    const bool first = at == 0;
    const bool last = at + n == bytes.size();
    Msg00FA_TransactionChunk m;
    std::memset(&m, 0, sizeof m);
    m.transaction_id = trans_id;
    m.version = 1;
    m.class_server_id = static_cast<int16_t>(lib.classes.at(static_cast<std::size_t>(target.class_index)).d.server_id);
    m.kind_id = target.kind->d.kind_id;
    m.chunk = ++chunk;
    m.part = part;
    const bool ends = last && (part == 2 || !description_follows);
    int16_t flags = 2;
    if (part == 1 && first) flags = ends ? 5 : 1;
    else if (ends) flags = 4;
    m.chunk_flags = flags;
    m.data_count = static_cast<uint16_t>(n);
    std::memcpy(m.data, bytes.data() + at, n);
    if (!lib.connected() || lib.send_message(kMsgTransactionChunk, &m) != 1) return false;
    at += n;
  } while (at < bytes.size());
  return true;
}

std::vector<uint8_t> with_zero(const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

}  // namespace

void clear_last_transaction(Library& lib) { std::memset(lib.transactions.last.get(), 0, sizeof(KelapiLastTransDescEx)); }

KelapiResult send_transaction(Library& lib, const TransactionTarget& target, std::string_view text, uint32_t trans_id) {
  KelapiLastTransDescEx& last = *lib.transactions.last;
  const ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(target.class_index));
  const TransactionKind& kind = *target.kind;
  last.trans_id = trans_id;
  last.kind_number = kind.number();
  last.kind_code = kind.d.kind_code;
  put_text(last.class_code, field_text(cls.d.code));
  put_text(last.class_name, field_text(cls.d.name));
  put_text(last.text, text.substr(0, kMaxValueChars));
  put_text(last.kind_name, field_text(kind.d.name));
  if (!kind.usable()) return fail(last, KELAPI_E_TRANS_NOT_AVAILABLE);
  Assembled a;
  if (const KelapiResult r = assemble(lib, target, text, a); r != KELAPI_OK) return r;
  std::vector<uint8_t> bytes = with_zero(a.text);
  std::unique_lock chunks(transaction_mutex());
  if (lib.signing()) {
    auto length = static_cast<uint32_t>(bytes.size());
    bytes.resize(kMaxTransactionBytes);
    if (!lib.sign_transaction(reinterpret_cast<char*>(bytes.data()), length, kMaxTransactionBytes)) {
      const std::string_view why = lib.last_error_text();
      return why.empty() ? fail(last, KELAPI_E_SIGN_FAILED) : fail(last, KELAPI_E_SIGN_FAILED, why);
    }
    bytes.resize(length);
  }
  put_text(last.sent_text, std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                            strnlen(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
  int16_t chunk = 0;
  const bool described = !a.description.empty();
  if (!send_part(lib, target, trans_id, bytes, 1, described, chunk) ||
      (described && !send_part(lib, target, trans_id, with_zero(a.description), 2, false, chunk))) {
    return fail(last, KELAPI_E_NOT_CONNECTED);
  }
  last.result = KELAPI_OK;
  put_text(last.result_text, "Ok.");
  return KELAPI_OK;
}

void on_transaction_reply(Library& lib, const Msg00F2_TransactionReply& m) {
  char text[257];
  copy_bounded(text, m.text, 256);
  // Both event forms pass on a status of 1 to 12 only; any other becomes 0.
  const int16_t status = m.status >= 1 && m.status <= 12 ? m.status : 0;
  if ((lib.init_flags() & kInitReplyRecord) == 0) {
    const uintptr_t w = (static_cast<uintptr_t>(static_cast<uint32_t>(m.transaction_id)) << 16) |
                        static_cast<uint16_t>(status);
    lib.raise_event(KELAPI_EVENT_TRANSREPLY, w, reinterpret_cast<uintptr_t>(text));
    return;
  }
  KelapiTransReply r;
  std::memset(&r, 0, sizeof r);
  r.reply_number = m.number;
  r.trans_id = static_cast<uint32_t>(m.transaction_id);
  r.status = status;
  copy_bounded(r.text, m.text, 256);
  lib.raise_event(KELAPI_EVENT_TRANSREPLYEX, reinterpret_cast<uintptr_t>(&r), 0);
}

// ---- exports ----

namespace {

KelapiResult state(const Library& lib) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (!lib.connected()) return KELAPI_E_NOT_CONNECTED;
  if (!lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  return KELAPI_OK;
}

std::string_view caller_text(const char* text) { return std::string_view(text, strnlen(text, kMaxTransactionBytes)); }

}  // namespace

KelapiResult do_transaction(Library& lib, uint32_t trans_id, uint32_t number, const char* text) {
  LibraryLock lock(lib);
  clear_last_transaction(lib);
  if (const KelapiResult r = state(lib); r != KELAPI_OK) return r;
  if (text == nullptr) return KELAPI_E_POINTER;
  const KindRef ref = lib.transactions.table.find_number(number);
  if (!ref) return KELAPI_E_TRANS_NOT_AVAILABLE;
  return send_transaction(lib, TransactionTarget{ref.class_index, ref.kind}, caller_text(text), trans_id);
}

KelapiResult do_transaction_ex(Library& lib, uint32_t trans_id, const char* class_code, uint32_t kind_code,
                               const char* text, bool with_reply_record) {
  LibraryLock lock(lib);
  if (with_reply_record && (lib.init_flags() & kInitReplyRecord) == 0) return KELAPI_E_NOT_SUPPORTED;
  clear_last_transaction(lib);
  if (const KelapiResult r = state(lib); r != KELAPI_OK) return r;
  if (class_code == nullptr || text == nullptr) return KELAPI_E_POINTER;
  const int64_t c = lib.classes.find_confirmed_by_code(std::string_view(class_code, strnlen(class_code, 12)));
  if (c < 0 || static_cast<std::size_t>(c) >= kMaxClasses) return KELAPI_E_INVALIDARG;
  const uint32_t flags = lib.classes.at(static_cast<std::size_t>(c)).d.table_flags;
  const TransactionKind* k = lib.transactions.table.find_code(static_cast<std::size_t>(c), kind_code, flags,
                                                              field_text(lib.classes.at(static_cast<std::size_t>(c)).d.code));
  if (k == nullptr) return KELAPI_E_TRANS_NOT_AVAILABLE;
  return send_transaction(lib, TransactionTarget{static_cast<int32_t>(c), k}, caller_text(text), trans_id);
}

KelapiResult get_last_trans_desc(Library& lib, KelapiLastTransDesc* record) {
  LibraryLock lock(lib);
  if (record == nullptr) return KELAPI_E_POINTER;
  const KelapiLastTransDescEx& last = *lib.transactions.last;
  std::memset(record, 0, sizeof *record);
  record->result = last.result;
  record->kind_number = last.kind_number;
  record->kind_code = last.kind_code;
  record->trans_id = static_cast<uint16_t>(last.trans_id);
  copy_bounded(record->class_code, last.class_code, sizeof record->class_code - 1);
  copy_bounded(record->class_name, last.class_name, sizeof record->class_name - 1);
  copy_bounded(record->result_text, last.result_text, sizeof record->result_text - 1);
  copy_bounded(record->text, last.text, sizeof record->text - 1);
  copy_bounded(record->sent_text, last.sent_text, sizeof record->sent_text - 1);
  copy_bounded(record->kind_name, last.kind_name, sizeof record->kind_name - 1);
  return KELAPI_OK;
}

KelapiResult get_last_trans_desc_ex(Library& lib, KelapiLastTransDescEx* record, uint32_t size) {
  LibraryLock lock(lib);
  if (size != sizeof(KelapiLastTransDescEx)) return KELAPI_E_STRUCT_SIZE;
  if (record == nullptr) return KELAPI_E_POINTER;
  std::memcpy(record, lib.transactions.last.get(), sizeof *record);
  return KELAPI_OK;
}

void on_00F2_transaction_reply(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_transaction_reply(lib, record_copy<Msg00F2_TransactionReply>(record, KELAPI_RECORD_END(Msg00F2_TransactionReply, number)));
  });
}

}  // namespace kelda::kelapi
