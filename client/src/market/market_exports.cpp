// The exports that read the market tables, book the classes and set the
// class filter.
#include <array>
#include <cstring>

#include "core/numbers.h"
#include "core/text_util.h"
#include "market/market.h"
#include "messages/records_classes.h"
#include "platform/last_error.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgFilterAdd = 0x8045;
constexpr uint16_t kMsgFilterRemove = 0x8046;
constexpr uint16_t kMsgParamMask = 0x8051;

// The class of a class number when the server has confirmed it, else -1.
int64_t confirmed_class(const Library& lib, uint32_t class_number) {
  const int64_t c = static_cast<int64_t>(class_number) - 1;
  return lib.classes.confirmed(c) ? c : -1;
}

uint32_t confirmed_securities(const Library& lib, int64_t c) {
  uint32_t n = 0;
  for (uint32_t row : lib.securities.class_rows(static_cast<int32_t>(c))) {
    n += lib.securities.at(row).h.server_id != -1 ? 1 : 0;
  }
  return n;
}

// What the calling thread itself last read of each class: two threads of
// the caller may each size their arrays from their own class read.
struct ThreadReported {
  uint64_t epoch = 0;
  std::array<Library::ReportedCounts, kMaxClasses> counts;
};
thread_local ThreadReported t_reported;

Library::ReportedCounts& thread_reported(const Library& lib, std::size_t c) {
  if (t_reported.epoch != lib.reported_epoch) {
    t_reported.epoch = lib.reported_epoch;
    t_reported.counts.fill(Library::ReportedCounts{});
  }
  return t_reported.counts[c];
}

// How many records the caller sized its array for: what the class record
// last told it (on this thread, and on any), never more than there are now.
std::size_t records_allowed(int64_t reported, int64_t reported_here, std::size_t now) {
  if (reported >= 0) now = std::min<std::size_t>(static_cast<std::size_t>(reported), now);
  if (reported_here >= 0) now = std::min<std::size_t>(static_cast<std::size_t>(reported_here), now);
  return now;
}

template <typename Record>
void fill_class(const Library& lib, int64_t c, Record& out, uint32_t securities, int32_t params) {
  const ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(c));
  out.flags = class_flags_for_caller(cls.d.flags);
  out.raw_flags = cls.d.flags;
  out.table_flag = (cls.d.table_flags >> 11) & 1;
  out.table_flags = cls.d.table_flags;
  out.class_number = static_cast<uint32_t>(c) + 1;
  out.security_count = securities;
  out.param_count = static_cast<int16_t>(params);
  copy_field(out.code, cls.d.code);
  copy_field(out.name, cls.d.name);
  copy_field(out.code2, cls.d.second_code);
}

template <typename Record>
void fill_security(const SecurityRecord& s, uint32_t index, Record& out) {
  out.value2 = s.h.value2;
  out.step = scaled_to_double(s.h.step, s.h.scale);
  out.trading_unit = s.h.trading_unit;
  out.value3 = static_cast<uint32_t>(s.h.value3);
  out.value1 = static_cast<uint32_t>(s.h.value1);
  out.value4 = s.h.value4;
  out.scale = s.h.scale;
  out.security_number = index + 1;
  copy_field(out.text4ch, s.h.text4ch);
  copy_field(out.name, s.h.name);
  copy_field(out.text1, s.h.text1);
  copy_field(out.text2, s.h.text2);
  copy_field(out.short_name, s.h.short_name);
  copy_field(out.code, s.h.code);
  copy_field(out.text3, s.h.text3);
}

// The class's parameter mask: the bit of every parameter in the filter.
void mask_of(Library& lib, int32_t c, uint32_t& low, uint32_t& high) {
  low = high = 0;
  lib.params.for_each(c, [&](int32_t, const NetParamEx& p) {
    if (p.in_filter == 0 || p.number < 0 || p.number >= 64) return;
    if (p.number < 32) {
      low |= 1u << p.number;
    } else {
      high |= 1u << (p.number - 32);
    }
  });
}

}  // namespace

uint32_t class_flags_for_caller(uint32_t flags) noexcept {
  static constexpr uint32_t kMap[][2] = {
      {0x40, 0x1},   {0x80, 0x2},   {0x100, 0x4},  {0x200, 0x8},    {0x400, 0x10},
      {0x1, 0x20},   {0x2, 0x40},   {0x4, 0x80},   {0x8, 0x100},    {0x10, 0x200},
      {0x20, 0x400}, {0x800, 0x800}, {0x1000, 0x1000}, {0x2000, 0x2000},
  };
  uint32_t out = flags & 0x00FFC000u;  // bits 14 to 23 pass unchanged
  for (const auto& m : kMap) {
    if ((flags & m[0]) != 0) out |= m[1];
  }
  return out;
}

uint16_t param_flags_for_caller(uint16_t flags) noexcept {
  static constexpr uint16_t kMap[][2] = {
      {0x8000, 0x80}, {0x40, 0x40}, {0x20, 0x20}, {0x4, 0x10},
      {0x1, 0x8},     {0x10, 0x4},  {0x8, 0x2},   {0x2, 0x1},
  };
  uint16_t out = 0;
  for (const auto& m : kMap) {
    if ((flags & m[0]) != 0) out = static_cast<uint16_t>(out | m[1]);
  }
  return out;
}

KelapiResult book_classes(Library& lib) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (lib.booked(Booked::classes) || lib.booking(Booked::classes)) return KELAPI_E_ALREADY_BOOKED;
  if (!lib.post_command(kCommandBookClasses, lib.session_generation())) return platform::get_last_error();
  lib.set_booking(Booked::classes);
  return KELAPI_OK;
}

void run_book_classes(Library& lib) {
  if (lib.booked(Booked::classes)) return;
  lib.set_booked(Booked::classes, true);
  for (std::size_t c = 0; c < lib.classes.size(); ++c) {
    const ClassRecord& cls = lib.classes.at(c);
    if (cls.d.server_id != -1 && cls.params_complete == 1 && cls.securities_complete == 1 &&
        cls.texts_request == 0) {
      lib.announce_class(static_cast<int32_t>(c));
    }
  }
}

KelapiResult get_class(Library& lib, uint32_t class_number, void* record, uint32_t size, bool ex4) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (record == nullptr) return KELAPI_E_POINTER;
  if (size != (ex4 ? sizeof(KelapiClassRecordEx4) : sizeof(KelapiClassRecord))) return KELAPI_E_STRUCT_SIZE;
  const int64_t c = confirmed_class(lib, class_number);
  if (c < 0) return KELAPI_E_INVALIDARG;
  const uint32_t securities = confirmed_securities(lib, c);
  const int32_t params = lib.params.count(static_cast<int32_t>(c));
  lib.reported[static_cast<std::size_t>(c)] = {securities, params};
  thread_reported(lib, static_cast<std::size_t>(c)) = {securities, params};
  std::memset(record, 0, size);
  if (ex4) {
    auto& out = *static_cast<KelapiClassRecordEx4*>(record);
    fill_class(lib, c, out, securities, params);
    const ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(c));
    copy_field(out.text1, cls.text1);
    copy_field(out.text2, cls.text2);
    copy_field(out.text3, cls.text3);
    copy_field(out.text4, cls.text4);
  } else {
    fill_class(lib, c, *static_cast<KelapiClassRecord*>(record), securities, params);
  }
  return KELAPI_OK;
}

KelapiResult get_class_securities(Library& lib, uint32_t class_number, void* records, uint32_t size,
                                  bool ex4) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  const int64_t c = confirmed_class(lib, class_number);
  if (c < 0) return KELAPI_E_INVALIDARG;
  if (size != (ex4 ? sizeof(KelapiSecurityRecordEx4) : sizeof(KelapiSecurityRecord))) {
    return KELAPI_E_STRUCT_SIZE;
  }
  const std::size_t allowed = records_allowed(lib.reported[static_cast<std::size_t>(c)].securities,
                                              thread_reported(lib, static_cast<std::size_t>(c)).securities,
                                              confirmed_securities(lib, c));
  if (records == nullptr) return allowed > 0 ? KELAPI_E_POINTER : KELAPI_OK;
  std::size_t written = 0;
  for (uint32_t row : lib.securities.class_rows(static_cast<int32_t>(c))) {
    if (written == allowed) break;
    const SecurityRecord& s = lib.securities.at(row);
    if (s.h.server_id == -1) continue;
    if (ex4) {
      auto& out = static_cast<KelapiSecurityRecordEx4*>(records)[written];
      std::memset(&out, 0, sizeof out);
      fill_security(s, row, out);
      copy_field(out.text4, s.h.text4);
    } else {
      auto& out = static_cast<KelapiSecurityRecord*>(records)[written];
      std::memset(&out, 0, sizeof out);
      fill_security(s, row, out);
    }
    ++written;
  }
  return KELAPI_OK;
}

KelapiResult get_class_params(Library& lib, uint32_t class_number, KelapiClassParamRecord* records) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  const int64_t c = confirmed_class(lib, class_number);
  if (c < 0) return KELAPI_E_INVALIDARG;
  const auto ci = static_cast<int32_t>(c);
  const std::size_t allowed =
      records_allowed(lib.reported[static_cast<std::size_t>(c)].params,
                      thread_reported(lib, static_cast<std::size_t>(c)).params,
                      static_cast<std::size_t>(lib.params.count(ci)));
  if (records == nullptr) return allowed > 0 ? KELAPI_E_POINTER : KELAPI_OK;
  std::size_t written = 0;
  lib.params.for_each(ci, [&](int32_t slot, const NetParamEx& p) {
    if (written == allowed) return;
    KelapiClassParamRecord& out = records[written++];
    std::memset(&out, 0, sizeof out);
    out.flags = param_flags_for_caller(static_cast<uint16_t>(p.d.flags));
    out.param_number = static_cast<uint16_t>(slot + 1);
    out.scale = static_cast<uint16_t>(p.d.scale);
    copy_field(out.db_name, p.d.db_name);
    copy_field(out.enum_desc, p.d.enum_desc);
    copy_field(out.long_name, p.d.long_name);
    copy_field(out.short_name, p.d.short_name);
  });
  return KELAPI_OK;
}

KelapiResult set_class_filter(Library& lib, uint32_t class_number, uint32_t param_count, const int16_t* params,
                              uint32_t security_count, const uint32_t* securities) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (!lib.connected()) return KELAPI_E_NOT_CONNECTED;
  if (!lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  const int64_t c = confirmed_class(lib, class_number);
  if (c < 0) return KELAPI_E_INVALIDARG;
  const auto ci = static_cast<int32_t>(c);
  if ((security_count > 0 && securities == nullptr) || (param_count > 0 && params == nullptr)) {
    return KELAPI_E_POINTER;
  }
  for (uint32_t i = 0; i < security_count; ++i) {
    const uint32_t n = securities[i];
    if (n < 1 || n > lib.securities.size() || lib.securities.at(n - 1).class_index != ci) {
      return KELAPI_E_INVALIDARG;
    }
  }
  for (uint32_t i = 0; i < param_count; ++i) {
    const int32_t n = params[i];
    if (n < 1 || static_cast<std::size_t>(n) > lib.params.slot_count() || lib.params.get(ci, n - 1) == nullptr) {
      return KELAPI_E_INVALIDARG;
    }
  }
  uint32_t old_low, old_high, new_low, new_high;
  mask_of(lib, ci, old_low, old_high);
  lib.params.for_each(ci, [](int32_t, NetParamEx& p) { p.in_filter = 0; });
  for (uint32_t i = 0; i < param_count; ++i) lib.params.get(ci, params[i] - 1)->in_filter = 1;
  mask_of(lib, ci, new_low, new_high);
  for (uint32_t i = 0; i < security_count; ++i) lib.securities.mutable_at(securities[i] - 1).scratch = 1;
  for (uint32_t row : lib.securities.class_rows(ci)) {
    SecurityRecord& s = lib.securities.mutable_at(row);
    const uint16_t was = s.in_filter;
    const uint16_t now = s.scratch;
    s.scratch = 0;
    if (was == now) continue;
    s.in_filter = now;
    const Msg8045_FilterAdd word{s.h.server_id};
    if (now == 0) {
      s.changed = 1;
      lib.send_message(kMsgFilterRemove, &word);
    } else {
      lib.send_message(kMsgFilterAdd, &word);
    }
  }
  if (old_low != new_low || old_high != new_high) {
    const Msg8051_ParameterMask mask{new_low, new_high, lib.classes.at(static_cast<std::size_t>(c)).d.server_id};
    lib.send_message(kMsgParamMask, &mask);
  }
  return KELAPI_OK;
}

}  // namespace kelda::kelapi
