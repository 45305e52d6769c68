// Handlers of the older trade messages: every older form is brought to the
// newest one and handled as a received trade (see messages/handlers.h for the
// rules every handler follows).
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "trades/trade_forms.h"
#include "trades/trades.h"

namespace kelda::kelapi {
namespace {

// The decoded record ends with its last member; the copy takes no more.
template <typename Form>
void handle_older_trade(uint16_t id, const void* record, std::size_t end) {
  handle_message(id, record, [&](Library& lib) { on_trade(lib, newest_trade(record_copy<Form>(record, end))); });
}

}  // namespace

void on_806E_trade(uint16_t id, const void* record) {
  handle_older_trade<Msg806E_Trade>(id, record, KELAPI_RECORD_END(Msg806E_Trade, short_text));
}
void on_806B_trade(uint16_t id, const void* record) {
  handle_older_trade<Msg806B_Trade>(id, record, KELAPI_RECORD_END(Msg806B_Trade, plain_text));
}
void on_806A_trade(uint16_t id, const void* record) {
  handle_older_trade<Msg806A_Trade>(id, record, KELAPI_RECORD_END(Msg806A_Trade, plain_text));
}
void on_8027_trade(uint16_t id, const void* record) {
  handle_older_trade<Msg8027_Trade>(id, record, KELAPI_RECORD_END(Msg8027_Trade, fee3));
}
void on_8026_trade(uint16_t id, const void* record) {
  handle_older_trade<Msg8026_Trade>(id, record, KELAPI_RECORD_END(Msg8026_Trade, fee3));
}
void on_00DF_trade(uint16_t id, const void* record) {
  handle_older_trade<Msg00DF_Trade>(id, record, KELAPI_RECORD_END(Msg00DF_Trade, short2));
}
void on_800D_trade(uint16_t id, const void* record) {
  handle_older_trade<Msg800D_Trade>(id, record, KELAPI_RECORD_END(Msg800D_Trade, single_value));
}
void on_00CA_trade(uint16_t id, const void* record) {
  handle_older_trade<Msg00CA_Trade>(id, record, KELAPI_RECORD_END(Msg00CA_Trade, short2));
}

}  // namespace kelda::kelapi
