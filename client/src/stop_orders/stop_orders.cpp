// What the stop-order messages do, the booking and the reads of the table.
#include "stop_orders/stop_orders.h"

#include <cstring>

#include "core/diag.h"
#include "core/numbers.h"
#include "core/text_util.h"
#include "market/class_gate.h"
#include "messages/handlers.h"
#include "orders/order_forms.h"
#include "platform/last_error.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint8_t kJournalStopOrder = 74;
constexpr uint8_t kJournalStopOrder8059 = 51;
constexpr uint8_t kJournalStopOrderF3 = 34;
constexpr uint16_t kMsgStopOrdersRequest = 0xA2;
constexpr uint16_t kMsgStopOrderRequest = 0xA3;
constexpr uint32_t kStopOrderActive = 0x1;
constexpr uint32_t kOffsetInPercent = 0x8;
constexpr uint32_t kSpreadInPercent = 0x10;

void announce_stop_order(Library& lib, const StopOrderRow& s) {
  if (!class_gate_open(lib, s.security)) return;
  lib.raise_event(KELAPI_EVENT_NEWSTOPORDER, 0, static_cast<uintptr_t>(static_cast<uint32_t>(s.sequence) + 1));
}

// The newest form of an older one: fields by name, missing ones zero.
template <typename Old>
StopOrderRow newest_stop_order(const Old& o) {
  StopOrderRow n;
  std::memset(&n, 0, sizeof n);
  n.sequence = o.sequence;
  n.number = o.number;
  n.time = o.time;
  n.flags = o.flags;
  copy_order_text(n.comment, o.comment);
  copy_order_text(n.text2, o.text2);
  copy_order_text(n.account, o.account);
  n.security = o.security;
  n.short1 = o.short1;
  n.stop_price = o.stop_price;
  n.price = o.price;
  n.quantity = o.quantity;
  n.placed_order = o.placed_order;
  n.expiry_date = o.expiry_date;
  n.word1 = o.word1;
  copy_order_text(n.text3, o.text3);
  n.condition_security = o.condition_security;
  n.linked_order = o.linked_order;
  n.linked_price = o.linked_price;
  n.kind = o.kind;
  n.word2 = o.word2;
  n.value8 = o.value8;
  n.options = o.options;
  n.offset = o.offset;
  n.spread = o.spread;
  n.balance = o.balance;
  n.word3 = o.word3;
  n.filled = o.filled;
  return n;
}

StopOrderRow bounded_row(const StopOrderRow& s) {
  StopOrderRow r = s;
  copy_order_text(r.comment, s.comment);
  copy_order_text(r.text2, s.text2);
  copy_order_text(r.account, s.account);
  copy_order_text(r.text3, s.text3);
  return r;
}

template <typename Old>
void replay_older(Library& lib, std::span<const uint8_t> payload) {
  Old old;
  std::memcpy(&old, payload.data(), sizeof old);
  lib.stop_orders.put(bounded_row(newest_stop_order(old)));
}

int scale_of(const Library& lib, int64_t security) {
  return class_of_security(lib, security) < 0 ? 0 : lib.securities.at(static_cast<std::size_t>(security)).h.scale;
}

}  // namespace

void on_stop_order(Library& lib, const StopOrderRow& stop_order) {
  const int64_t s = lib.securities.find_by_server_id(stop_order.security);
  const int64_t c = lib.securities.find_by_server_id(stop_order.condition_security);
  if (s < 0 || c < 0) return;
  StopOrderRow row = bounded_row(stop_order);
  row.security = static_cast<int32_t>(s);
  row.condition_security = static_cast<int32_t>(c);
  const StopOrderRow& stored = lib.stop_orders.put(row);
  lib.journal_write(kJournalStopOrder, &stored, sizeof stored, true);
  announce_stop_order(lib, stored);
}

void on_stop_orders_restart(Library& lib) {
  const int32_t from = 0;
  lib.send_message(kMsgStopOrdersRequest, &from);
}

bool replay_stop_order(Library& lib, uint8_t tag, std::span<const uint8_t> payload) {
  if (tag == kJournalStopOrder && payload.size() == sizeof(StopOrderRow)) {
    StopOrderRow row;
    std::memcpy(&row, payload.data(), sizeof row);
    lib.stop_orders.put(bounded_row(row));
  } else if (tag == kJournalStopOrder8059 && payload.size() == sizeof(Msg8059_StopOrder)) {
    replay_older<Msg8059_StopOrder>(lib, payload);
  } else if (tag == kJournalStopOrderF3 && payload.size() == sizeof(Msg00F3_StopOrder)) {
    replay_older<Msg00F3_StopOrder>(lib, payload);
  } else {
    return false;
  }
  return true;
}

void run_book_stop_orders(Library& lib) {
  announce_and_request_rows(lib, lib.stop_orders, announce_stop_order, kMsgStopOrdersRequest, kMsgStopOrderRequest, kStopOrderActive);
}

void announce_stop_orders_of_class(Library& lib, int32_t class_index) {
  announce_rows_of_class(lib, lib.stop_orders, class_index, announce_stop_order);
}

KelapiResult book_stop_orders(Library& lib) { return book_table(lib, Booked::stop_orders, kCommandBookStopOrders); }

KelapiResult get_stop_order(Library& lib, uint32_t number, KelapiStopOrderRecord* record, uint32_t size,
                            uint32_t expected_size) {
  LibraryLock lock(lib);
  if (const KelapiResult checked = check_row_read(lib, record, size, expected_size); checked != KELAPI_OK) {
    return checked;
  }
  const int64_t sequence = row_sequence(number);
  if (sequence < 0) return KELAPI_E_INVALIDARG;
  const StopOrderRow* s = lib.stop_orders.find(static_cast<int32_t>(sequence));
  if (s == nullptr) return KELAPI_E_INVALIDARG;

  KelapiStopOrderRecord r;
  std::memset(&r, 0, sizeof r);
  const int scale = scale_of(lib, s->security);
  const int condition_scale = scale_of(lib, s->condition_security);
  const int32_t c = class_of_security(lib, s->security);
  if (c >= 0) {
    r.class_number = static_cast<uint32_t>(c) + 1;
    r.security_number = static_cast<uint32_t>(s->security) + 1;
  }
  const int32_t cc = class_of_security(lib, s->condition_security);
  if (cc >= 0) {
    r.condition_class_number = static_cast<uint32_t>(cc) + 1;
    r.condition_security_number = static_cast<uint32_t>(s->condition_security) + 1;
  }
  r.stop_price = scaled_to_double(s->stop_price, condition_scale);
  r.placed_order = s->placed_order;
  r.price = scaled_to_double(s->price, scale);
  r.stop_order_number = s->number;
  r.value8 = s->value8;
  r.linked_order = s->linked_order;
  r.linked_price = scaled_to_double(s->linked_price, scale);
  r.offset = scaled_to_double(s->offset, (s->options & kOffsetInPercent) != 0 ? 2 : scale);
  r.spread = scaled_to_double(s->spread, (s->options & kSpreadInPercent) != 0 ? 2 : scale);
  r.flags = s->flags;
  r.quantity = s->quantity;
  r.row_number = static_cast<uint32_t>(s->sequence) + 1;
  r.time = s->time;
  r.balance = s->balance;
  r.short1 = s->short1;
  r.expiry_date = s->expiry_date;
  r.filled = s->filled;
  r.options = s->options;
  r.word2 = s->word2;
  r.kind = s->kind;
  r.word1 = s->word1;
  r.word3 = s->word3;
  copy_bounded(r.account, s->account, 12);
  copy_bounded(r.comment, s->comment, 20);
  copy_bounded(r.text3, s->text3, 12);
  copy_bounded(r.text2, s->text2, 12);
  r.second_stop_price = scaled_to_double(s->second_stop_price, condition_scale);
  r.word4 = s->word4;
  r.word5 = s->word5;
  r.word6 = s->word6;
  std::memcpy(record, &r, size);  // the shorter record ends before the second stop price
  return KELAPI_OK;
}

// ---- handlers ----

void on_00A4_stop_orders_restart(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_stop_orders_restart(lib); });
}
void on_808F_stop_order(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_stop_order(lib, record_copy<Msg808F_StopOrder>(record, KELAPI_RECORD_END(Msg808F_StopOrder, word6)));
  });
}
void on_8059_stop_order(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_stop_order(lib, newest_stop_order(record_copy<Msg8059_StopOrder>(
                           record, KELAPI_RECORD_END(Msg8059_StopOrder, filled))));
  });
}
void on_00F3_stop_order(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_stop_order(lib, newest_stop_order(record_copy<Msg00F3_StopOrder>(
                           record, KELAPI_RECORD_END(Msg00F3_StopOrder, filled))));
  });
}

}  // namespace kelda::kelapi
