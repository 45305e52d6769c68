// What the server's class, security and parameter messages do to the tables.
#include "market/market.h"

#include <cstring>

#include "core/diag.h"
#include "core/text_util.h"
#include "messages/records_classes.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgSecuritiesRequest = 0x8034;
constexpr uint16_t kMsgSecuritiesRefresh = 0x8039;
constexpr uint16_t kMsgParamsRequest = 0x8032;
constexpr int16_t kLastPart = 4;

void request_securities(Library& lib, uint32_t c, bool full) {
  ClassRecord& cls = lib.classes.at(c);
  const uint32_t r = lib.next_request_number();
  cls.securities_request = r;
  if (full) {
    cls.securities_complete = 0;
    cls.securities_received = 0;
  }
  const ClassRequest request{static_cast<int32_t>(r), cls.d.server_id};
  lib.send_message(full ? kMsgSecuritiesRequest : kMsgSecuritiesRefresh, &request);
  for (uint32_t row : lib.securities.class_rows(static_cast<int32_t>(c))) {
    lib.securities.set_server_id(row, -1);
    if (full) lib.securities.set_position(row, -1);
  }
}

void request_params(Library& lib, uint32_t c) {
  ClassRecord& cls = lib.classes.at(c);
  const uint32_t r = lib.next_request_number();
  cls.params_request = r;
  cls.params_complete = 0;
  const ClassRequest request{static_cast<int32_t>(r), cls.d.server_id};
  lib.send_message(kMsgParamsRequest, &request);
  lib.params.drop_class(static_cast<int32_t>(c));
}

// After a request of a class has ended.
void complete_step(Library& lib, uint32_t c) {
  const ClassRecord& cls = lib.classes.at(c);
  if (cls.params_complete == 1 && cls.securities_complete == 1) save_market_tables(lib);
  if (lib.start_fired()) {
    if (lib.booked(Booked::classes) && ClassTable::complete(cls)) lib.announce_class(static_cast<int32_t>(c));
  } else if (!lib.classes.any_request_pending()) {
    lib.set_start_condition(StartCondition::classes_complete);
    lib.set_start_condition(StartCondition::params_complete);
  }
}

// A text field of a message, terminated within its array.
template <std::size_t N>
void terminate(char (&field)[N]) {
  field[N - 1] = '\0';
}

// Whether a text field holds more characters than it may (no terminator).
template <std::size_t N>
bool overlong(const char (&field)[N]) {
  return strnlen(field, N) >= N;
}

}  // namespace

void on_class_description(Library& lib, const ClassDescription& description) {
  ClassDescription d = description;
  terminate(d.code);
  terminate(d.name);
  terminate(d.second_code);
  if (d.list_count > kClassListCapacity) d.list_count = 0;

  const int64_t found = lib.classes.find_by_code(field_text(d.code));
  if (found >= 0 && lib.classes.at(static_cast<std::size_t>(found)).d.server_id >= 0 &&
      (lib.init_flags() & kInitRefreshClasses) == 0) {
    return;
  }
  bool full_securities = true;
  bool fetch_params = true;
  uint32_t c;
  if (found < 0) {
    if (lib.classes.full()) {
      diag("KeldaApi: class [%s] dropped: the class table holds %zu classes\n", d.code, kMaxClasses);
      return;
    }
    c = lib.classes.append();
  } else {
    c = static_cast<uint32_t>(found);
    const ClassRecord& old = lib.classes.at(c);
    full_securities = old.d.securities_version != d.securities_version || old.securities_complete != 1;
    fetch_params = old.d.parameters_version != d.parameters_version || old.params_complete != 1;
  }
  ClassRecord& cls = lib.classes.at(c);
  cls.d = d;
  cls.texts_request = 0;
  cls.params_request = 0;
  cls.securities_request = 0;
  request_securities(lib, c, full_securities);
  if (fetch_params) request_params(lib, c);
}

void on_security_description(Library& lib, const SecurityHead& description) {
  SecurityHead h = description;
  trim_right_field(h.code);
  trim_right_field(h.name);
  trim_right_field(h.short_name);
  terminate(h.text4ch);
  terminate(h.text1);
  terminate(h.text2);
  terminate(h.text3);
  terminate(h.text4);
  const int64_t c = lib.classes.find_by_securities_request(static_cast<uint32_t>(h.request));
  if (c < 0) return;
  ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(c));
  const auto position = static_cast<int32_t>(cls.securities_received);
  const int64_t row = lib.securities.find_by_code(field_text(h.code), static_cast<int32_t>(c), false);
  if (row < 0) {
    SecurityRecord r;
    std::memset(&r, 0, sizeof r);
    r.h = h;
    r.changed = 1;
    r.class_index = static_cast<int32_t>(c);
    r.position = position;
    lib.securities.append(r);
  } else {
    lib.securities.replace_head(static_cast<uint32_t>(row), h);
    lib.securities.set_position(static_cast<uint32_t>(row), position);
  }
  ++cls.securities_received;
}

void on_server_ids(Library& lib, uint32_t request, int16_t flags, int32_t first_position,
                   std::span<const int32_t> server_ids) {
  const int64_t c = lib.classes.find_by_securities_request(request);
  if (c < 0) return;
  for (std::size_t k = 0; k < server_ids.size(); ++k) {
    const int64_t position = static_cast<int64_t>(first_position) + static_cast<int64_t>(k);
    if (position < 0 || position > INT32_MAX) continue;
    lib.securities.for_position(static_cast<int32_t>(c), static_cast<int32_t>(position),
                                [&](uint32_t row) { lib.securities.set_server_id(row, server_ids[k]); });
  }
  if ((flags & kLastPart) != 0) {
    lib.classes.at(static_cast<std::size_t>(c)).securities_request = 0;
    complete_step(lib, static_cast<uint32_t>(c));
  }
}

void on_request_complete(Library& lib, uint32_t request) {
  const int64_t p = lib.classes.find_by_params_request(request);
  if (p >= 0) {
    ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(p));
    cls.params_request = 0;
    cls.params_complete = 1;
    complete_step(lib, static_cast<uint32_t>(p));
    return;
  }
  const int64_t s = lib.classes.find_by_securities_request(request);
  if (s < 0) return;
  ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(s));
  cls.securities_request = 0;
  cls.securities_complete = 1;
  for (uint32_t row : lib.securities.class_rows(static_cast<int32_t>(s))) {
    SecurityRecord& r = lib.securities.mutable_at(row);
    if (r.h.server_id < 0) {
      r.in_filter = 0;
      r.changed = 1;
    }
  }
  complete_step(lib, static_cast<uint32_t>(s));
}

void on_class_texts(Library& lib, uint32_t request, const char* const texts[4]) {
  // Texts that nobody asked for match no class (request number 0 is none).
  const int64_t c = lib.classes.find_by_texts_request(request);
  if (c < 0) return;
  ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(c));
  cls.texts_request = 0;
  copy_bounded(cls.text1, texts[0], 256);
  copy_bounded(cls.text2, texts[1], 256);
  copy_bounded(cls.text3, texts[2], 256);
  copy_bounded(cls.text4, texts[3], 256);
  complete_step(lib, static_cast<uint32_t>(c));
}

void on_class_lists_end(Library& lib) {
  lib.clear_start_condition(StartCondition::classes_complete);
  lib.clear_start_condition(StartCondition::params_complete);
  for (std::size_t c = 0; c < lib.classes.size(); ++c) {
    if (lib.classes.at(c).d.server_id != -1) continue;
    for (uint32_t row : lib.securities.class_rows(static_cast<int32_t>(c))) {
      lib.securities.set_server_id(row, -1);
    }
  }
  if (!lib.classes.any_request_pending()) {
    save_market_tables(lib);
    lib.set_start_condition(StartCondition::classes_complete);
    lib.set_start_condition(StartCondition::params_complete);
  }
  lib.set_start_condition(StartCondition::class_lists_end);
}

void on_param_description(Library& lib, const ParamDescription& description) {
  // Request numbers are 16-bit on the wire; ours never pass 65535.
  const int64_t c = lib.classes.find_by_params_request(static_cast<uint16_t>(description.request));
  if (c < 0) return;
  const auto ci = static_cast<int32_t>(c);
  ParamDescription d = description;
  const char* too_long = nullptr;
  if (overlong(d.db_name)) {
    too_long = "field [NET_PARAM_EX::db_name] exceeds 16 symbols";
  } else if (overlong(d.short_name)) {
    too_long = "field [NET_PARAM_EX::short_name] exceeds 16 symbols";
  } else if (overlong(d.long_name)) {
    too_long = "field [NET_PARAM_EX::long_name] exceeds 256 symbols";
  } else if (overlong(d.enum_desc)) {
    too_long = "field [NET_PARAM_EX::enum_desc] exceeds 128 symbols";
  }
  if (too_long != nullptr) {
    // An overlong text would not fit the tables: the description is dropped.
    char db_name[17];
    copy_bounded(db_name, d.db_name, 16);
    diag("ERROR: Class [%s], parameter [%s]: %s. Contact technical support.",
         lib.classes.at(static_cast<std::size_t>(c)).d.code, db_name, too_long);
    return;
  }
  trim_right_field(d.short_name);
  trim_right_field(d.long_name);
  trim_right_field(d.db_name);
  int32_t slot = lib.params.slot_by_name(field_text(d.db_name));
  if (slot < 0) {
    if (lib.params.slot_count() >= kMaxParamSlots) {
      diag("KeldaApi: parameter [%s] dropped: %zu parameter names are known\n", d.db_name, kMaxParamSlots);
      return;
    }
    slot = lib.params.add_slot();
  }
  NetParamEx& p = lib.params.get_or_create(ci, slot);
  p.d = d;
  p.slot = static_cast<int16_t>(slot);
  p.class_index = ci;
  p.number = lib.params.received(ci)++;
  p.zero_is_no_value = zero_is_no_value(field_text(d.db_name));
  lib.params.describe_slot(slot, p);
}

void mark_classes_unconfirmed(Library& lib) {
  for (std::size_t c = 0; c < lib.classes.size(); ++c) lib.classes.at(c).d.server_id = -1;
}

void reset_class_requests(Library& lib) {
  for (std::size_t c = 0; c < lib.classes.size(); ++c) {
    ClassRecord& cls = lib.classes.at(c);
    cls.securities_request = 0;
    cls.params_request = 0;
    cls.texts_request = 0;
  }
}

void reset_market_filters(Library& lib) {
  for (std::size_t c = 0; c < lib.classes.size(); ++c) {
    lib.params.for_each(static_cast<int32_t>(c), [](int32_t, NetParamEx& p) {
      p.in_filter = 0;
      p.filter2 = 0;
    });
  }
  for (std::size_t i = 0; i < lib.securities.size(); ++i) {
    SecurityRecord& r = lib.securities.mutable_at(i);
    r.in_filter = 0;
    r.scratch = 0;
    r.changed = 1;
  }
}

int64_t find_class(const Library& lib, std::string_view class_code) {
  return lib.classes.find_confirmed_by_code(class_code);
}

int64_t find_security(const Library& lib, std::string_view class_code, std::string_view code) {
  const int64_t c = find_class(lib, class_code);
  if (c < 0) return -1;
  return lib.securities.find_by_code(code, static_cast<int32_t>(c), true,
                                     [&](int32_t ci) { return lib.classes.confirmed(ci); });
}

}  // namespace kelda::kelapi
