// The firms table, its messages, booking and reads.
#include "firms/firms.h"

#include <algorithm>
#include <cstring>

#include "core/diag.h"
#include "core/text_util.h"
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgFirmsRequest = 0x9A;
constexpr uint32_t kInitRecurringFirms = 0x20;

uintptr_t caller_number(int32_t number) { return static_cast<uintptr_t>(static_cast<uint32_t>(number) + 1u); }

Msg8089_Firm terminated(const Msg8089_Firm& h) {
  Msg8089_Firm f = h;
  copy_field(f.firm_id, h.firm_id);
  copy_field(f.name, h.name);
  copy_field(f.second_code, h.second_code);
  trim_right_field(f.name);
  return f;
}

}  // namespace

std::size_t FirmEntry::text_length() const { return text.empty() ? 0 : strnlen(text.data(), text.size()); }

FirmEntry* FirmTable::find(int64_t number) {
  for (auto& f : rows_) {
    if (f->firm.number == number) return f.get();
  }
  return nullptr;
}

bool FirmTable::put_header(const Msg8089_Firm& header, bool restoring) {
  if (FirmEntry* held = find(header.number)) {
    held->firm.status = header.status;
    return true;
  }
  if (!restoring && !rows_.empty() && header.number <= rows_.back()->firm.number) return false;
  auto entry = std::make_unique<FirmEntry>();
  entry->firm = terminated(header);
  if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.size() < 100 ? 100 : rows_.size() * 2);
  rows_.push_back(std::move(entry));
  return true;
}

FirmEntry* FirmTable::add_text(int32_t number, int16_t flags, std::span<const uint8_t> part) {
  FirmEntry* f = find(number);
  if (f == nullptr) return nullptr;
  const std::string items(reinterpret_cast<const char*>(part.data()),
                          strnlen(reinterpret_cast<const char*>(part.data()), part.size()));
  // Each item may bring a separator: room for the whole part twice over and
  // the terminator covers any split, within the cap.
  const std::size_t needed = std::min(f->text_length() + 2 * items.size() + 2, kMaxFirmText);
  if (needed > f->text.size()) f->text.resize(needed, '\0');
  if (!items.empty()) merge_list(items.c_str(), f->text.data(), f->text.size(), '|');
  f->text_flags = flags;
  return f;
}

Msg8089_Firm firm_header_of(const Msg8066_FirmOld& old) {
  Msg8089_Firm f;
  std::memset(&f, 0, sizeof f);
  f.number = old.number;
  copy_field(f.firm_id, old.firm_id);
  copy_bounded(f.name, old.name, std::min(sizeof old.name, sizeof f.name - 1));
  f.status = old.status;
  copy_field(f.second_code, old.second_code);
  f.word = old.word;
  return f;
}

void on_firm(Library& lib, const Msg8089_Firm& header) { lib.firms.put_header(header, false); }

void on_firm_text(Library& lib, int32_t number, int16_t flags, std::span<const uint8_t> part) {
  const FirmEntry* f = lib.firms.add_text(number, flags, part);
  if (f != nullptr && (flags & 4) != 0) lib.raise_event(KELAPI_EVENT_NEWFIRM, 0, caller_number(number));
}

namespace {

Msg8066_FirmOld old_header_of(const Msg0099_FirmWithText& m) {
  Msg8066_FirmOld old;
  std::memset(&old, 0, sizeof old);
  old.number = m.number;
  std::memcpy(old.firm_id, m.firm_id, sizeof old.firm_id);
  std::memcpy(old.name, m.name, sizeof old.name);
  std::memcpy(old.second_code, m.second_code, sizeof old.second_code);
  return old;
}

}  // namespace

void on_firm_with_text(Library& lib, const Msg0099_FirmWithText& m) {
  on_firm(lib, firm_header_of(old_header_of(m)));
  const std::size_t count = std::min<std::size_t>(m.text_count, sizeof m.text);
  on_firm_text(lib, m.number, 5, std::span(m.text, count));
}

void on_firms_version(Library& lib, int32_t word) {
  if ((lib.init_flags() & kInitRecurringFirms) == 0) {
    diag("Flag KELAPI_INIT_RECURRING_FIRMS not set\n");
    return;
  }
  if (word == lib.firms.version_word) return;
  lib.firms.version_word = word;
  lib.firms.clear();
  const int32_t from = -1;
  lib.send_message(kMsgFirmsRequest, &from);
}

void replay_firm(Library& lib, uint8_t tag, std::span<const uint8_t> p) {
  if (tag == 31 && p.size() == sizeof(Msg0099_FirmWithText)) {
    Msg0099_FirmWithText m;
    std::memcpy(&m, p.data(), sizeof m);
    lib.firms.put_header(firm_header_of(old_header_of(m)), true);
  } else if (tag == 62 && p.size() == sizeof(Msg8066_FirmOld)) {
    Msg8066_FirmOld m;
    std::memcpy(&m, p.data(), sizeof m);
    lib.firms.put_header(firm_header_of(m), true);
  }
}

void run_book_firms(Library& lib) {
  for (std::size_t i = 0; i < lib.firms.size(); ++i) {
    lib.raise_event(KELAPI_EVENT_NEWFIRM, 0, caller_number(lib.firms.at(i).firm.number));
  }
  if (!lib.connected()) return;
  const int32_t from = lib.firms.size() == 0 ? 0 : lib.firms.at(lib.firms.size() - 1).firm.number + 1;
  lib.send_message(kMsgFirmsRequest, &from);
}

KelapiResult book_firms(Library& lib) { return book_table(lib, Booked::firms, kCommandBookFirms); }

namespace {

template <typename Record>
void fill_codes(const FirmEntry& f, Record& r, std::size_t name_chars) {
  r.number = f.firm.number + 1;
  r.status = f.firm.status;
  copy_field(r.second_code, f.firm.second_code);
  copy_field(r.firm_id, f.firm.firm_id);
  copy_bounded(r.name, f.firm.name, name_chars);
}

// A layout with a text array: the whole text or KELAPI_E_OVERFLOW.
template <typename Record>
KelapiResult fill_with_text(const FirmEntry& f, Record& r) {
  const std::size_t length = f.text_length();
  if (length >= sizeof r.text) return KELAPI_E_OVERFLOW;
  std::memset(&r, 0, sizeof r);
  fill_codes(f, r, 30);
  if (length > 0) std::memcpy(r.text, f.text.data(), length);
  return KELAPI_OK;
}

template <typename Record>
void fill_with_pointer(const FirmEntry& f, Record& r, std::size_t name_chars) {
  std::memset(&r, 0, sizeof r);
  fill_codes(f, r, name_chars);
  r.word = f.firm.word;
  r.text = f.text_or_null();
}

uint32_t layout_size(int layout) {
  switch (layout) {
    case 0:
      return sizeof(KelapiFirmRecord);
    case 1:
      return sizeof(KelapiFirmRecordEx);
    case 2:
      return sizeof(KelapiFirmRecordEx2);
    default:
      return sizeof(KelapiFirmRecordEx3);
  }
}

}  // namespace

KelapiResult get_firm(Library& lib, int number, void* record, uint32_t size, int layout) {
  LibraryLock lock(lib);
  const uint32_t expected = layout_size(layout);
  if (const KelapiResult r = check_row_read(lib, record, layout == 0 ? expected : size, expected); r != KELAPI_OK) {
    return r;
  }
  const FirmEntry* f = lib.firms.find(static_cast<int64_t>(number) - 1);
  if (f == nullptr) return KELAPI_E_INVALIDARG;
  switch (layout) {
    case 0:
      return fill_with_text(*f, *static_cast<KelapiFirmRecord*>(record));
    case 1: {
      auto& r = *static_cast<KelapiFirmRecordEx*>(record);
      const KelapiResult result = fill_with_text(*f, r);
      if (result == KELAPI_OK) r.word = f->firm.word;
      return result;
    }
    case 2:
      fill_with_pointer(*f, *static_cast<KelapiFirmRecordEx2*>(record), 30);
      return KELAPI_OK;
    default:
      fill_with_pointer(*f, *static_cast<KelapiFirmRecordEx3*>(record), 128);
      return KELAPI_OK;
  }
}

// ---- handlers ----

void on_8089_firm(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_firm(lib, record_copy<Msg8089_Firm>(record, KELAPI_RECORD_END(Msg8089_Firm, word)));
  });
}
void on_8066_firm_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_firm(lib, firm_header_of(record_copy<Msg8066_FirmOld>(record, KELAPI_RECORD_END(Msg8066_FirmOld, word))));
  });
}
void on_0099_firm_with_text(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_firm_with_text(lib, record_copy<Msg0099_FirmWithText>(record, KELAPI_RECORD_END(Msg0099_FirmWithText, text)));
  });
}
void on_8067_firm_text(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Msg8067_FirmText>(record, KELAPI_RECORD_END(Msg8067_FirmText, text));
    on_firm_text(lib, m.number, m.flags, std::span(m.text, std::min<std::size_t>(m.text_count, sizeof m.text)));
  });
}
void on_009B_firms_restart(uint16_t id, const void*) {
  // A message without fields may come without a record.
  static const uint8_t kNoFields = 0;
  handle_message(id, &kNoFields, [&](Library& lib) {
    const int32_t zero = 0;
    lib.send_message(kMsgFirmsRequest, &zero);
  });
}
void on_00D6_firms_version(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_firms_version(lib, record_copy<Msg00D6_FirmsVersion>(record, KELAPI_RECORD_END(Msg00D6_FirmsVersion, value)).value); });
}

}  // namespace kelda::kelapi
