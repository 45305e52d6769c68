// Handlers of the order messages: every older layout is brought to the
// newest form (see messages/handlers.h for the rules every handler follows).
#include "messages/handlers.h"
#include "orders/order_forms.h"
#include "orders/orders.h"
#include "session/handler_support.h"

namespace kelda::kelapi {
namespace {

template <typename Form>
void handle_order(uint16_t id, const void* record, std::size_t end) {
  handle_message(id, record, [&](Library& lib) {
    const Form form = record_copy<Form>(record, end);
    if constexpr (std::is_same_v<Form, Msg807B_Order>) {
      on_order(lib, form);
    } else {
      on_order(lib, newest_order(form, static_cast<int32_t>(lib.trade_date())));
    }
  });
}

}  // namespace

void on_002E_orders_restart(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_orders_restart(lib); });
}
void on_807B_order(uint16_t id, const void* record) {
  handle_order<Msg807B_Order>(id, record, KELAPI_RECORD_END(Msg807B_Order, word5));
}
void on_807A_order(uint16_t id, const void* record) {
  handle_order<Msg807A_Order>(id, record, KELAPI_RECORD_END(Msg807A_Order, word5));
}
void on_805B_order(uint16_t id, const void* record) {
  handle_order<Msg805B_Order>(id, record, KELAPI_RECORD_END(Msg805B_Order, long_text));
}
void on_805A_order(uint16_t id, const void* record) {
  handle_order<Msg805A_Order>(id, record, KELAPI_RECORD_END(Msg805A_Order, long_text));
}
void on_800F_order(uint16_t id, const void* record) {
  handle_order<Msg800F_Order>(id, record, KELAPI_RECORD_END(Msg800F_Order, word3));
}
void on_800E_order(uint16_t id, const void* record) {
  handle_order<Msg800E_Order>(id, record, KELAPI_RECORD_END(Msg800E_Order, word3));
}
void on_00F6_order(uint16_t id, const void* record) {
  handle_order<Msg00F6_Order>(id, record, KELAPI_RECORD_END(Msg00F6_Order, word2));
}
void on_00F4_order(uint16_t id, const void* record) {
  handle_order<Msg00F4_Order>(id, record, KELAPI_RECORD_END(Msg00F4_Order, word2));
}

}  // namespace kelda::kelapi
