// Handlers of the session messages: they hand the decoded records to the
// library (see messages/handlers.h for the rules every handler follows).
#include <cstring>

#include "core/diag.h"
#include "market/market.h"
#include "messages/handlers.h"
#include "messages/records_session.h"
#include "session/handler_support.h"

namespace kelda::kelapi {

void on_0021_session_info_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Msg0021_SessionInfoOld>(record);
    lib.on_session_info(m.head.session_id, m.head.first_text, m.head.second_text, m.text);
  });
}

void on_803D_session_info(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Msg803D_SessionInfo>(record);
    lib.on_session_info(m.head.session_id, m.head.first_text, m.head.second_text, m.text);
  });
}

void on_0022_trading_session(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Msg0022_TradingSession>(record);
    lib.on_trading_session(m.key, m.trade_date);
  });
}

void on_0085_character_mode(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    lib.on_character_mode(static_cast<uint32_t>(record_copy<Msg0085_CharacterMode>(record).value));
  });
}

void on_004A_class_lists_end(uint16_t id, const void*) {
  static const uint8_t kNoFields = 0;
  handle_message(id, &kNoFields, [&](Library& lib) { on_class_lists_end(lib); });
}

void on_0002_request_complete(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    // The request number travels in 16 bits; ours never pass 65535.
    const auto m = record_copy<Msg0002_RequestComplete>(record);
    on_request_complete(lib, static_cast<uint16_t>(m.value));
  });
}

}  // namespace kelda::kelapi
