// Handlers of the class, security and parameter messages: they turn the
// decoded records into the table's own records (see messages/handlers.h for
// the rules every handler follows).
#include <cstring>
#include <span>

#include "core/diag.h"
#include "core/text_util.h"
#include "market/market.h"
#include "messages/handlers.h"
#include "messages/records_classes.h"
#include "session/handler_support.h"

namespace kelda::kelapi {
namespace {

// The fields both layouts of a security description share.
template <typename Description>
SecurityHead common_head(const Description& m) {
  SecurityHead h;
  std::memset(&h, 0, sizeof h);
  h.request = m.request;
  h.server_id = m.server_id;
  copy_field(h.code, m.code);
  copy_field(h.name, m.name);
  copy_field(h.short_name, m.short_name);
  h.value1 = m.value1;
  copy_field(h.text4ch, m.four_chars);
  h.scale = m.scale;
  h.value3 = m.value3;
  h.trading_unit = m.trading_unit;
  copy_field(h.text3, m.text3);
  return h;
}

}  // namespace

void on_803C_class_description(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_class_description(lib, record_copy<ClassDescription>(record)); });
}

void on_8081_security_description(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m =
        record_copy<Msg8081_SecurityDescription>(record, KELAPI_RECORD_END(Msg8081_SecurityDescription, text4));
    SecurityHead h = common_head(m);
    h.value2 = m.value2;
    h.step = 0;
    h.value4 = -1;
    copy_field(h.text4, m.text4);
    on_security_description(lib, h);
  });
}

void on_803B_security_description_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m =
        record_copy<Msg803B_SecurityDescriptionOld>(record, KELAPI_RECORD_END(Msg803B_SecurityDescriptionOld, text3));
    SecurityHead h = common_head(m);
    h.value2 = 0;
    h.step = m.scaled_step;
    h.value4 = m.value4;
    copy_field(h.text1, m.text1);
    copy_field(h.text2, m.text2);
    on_security_description(lib, h);
  });
}

void on_8038_server_ids(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Msg8038_ServerIds>(record);
    const std::size_t count = std::min<std::size_t>(m.count, std::size(m.server_ids));
    int32_t ids[std::size(m.server_ids)];
    std::memcpy(ids, m.server_ids, count * sizeof ids[0]);
    on_server_ids(lib, static_cast<uint32_t>(m.request), m.flags, m.first_position, std::span(ids, count));
  });
}

void on_00D0_server_ids_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Msg00D0_ServerIdsOld>(record);
    const std::size_t count = std::min<std::size_t>(m.count, std::size(m.server_ids));
    int32_t ids[std::size(m.server_ids)];
    for (std::size_t k = 0; k < count; ++k) ids[k] = m.server_ids[k];
    on_server_ids(lib, static_cast<uint16_t>(m.request), m.flags, m.first_position, std::span(ids, count));
  });
}

void on_8037_class_texts(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Msg8037_ClassTexts>(record);
    const char* const texts[4] = {m.text1, m.text2, m.text3, m.text4};
    on_class_texts(lib, static_cast<uint32_t>(m.request), texts);
  });
}

void on_0024_parameter_description(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_param_description(lib, record_copy<ParamDescription>(record)); });
}

}  // namespace kelda::kelapi
