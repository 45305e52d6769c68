// What the order messages do, the booking and the reads of the table.
#include "orders/orders.h"

#include <cstring>

#include "core/diag.h"
#include "core/numbers.h"
#include "core/text_util.h"
#include "market/class_gate.h"
#include "orders/order_forms.h"
#include "platform/last_error.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint8_t kJournalOrder = 67;
constexpr uint8_t kJournalOrder805B = 50;
constexpr uint8_t kJournalOrder800F = 43;
constexpr uint8_t kJournalOrderF6 = 35;
constexpr uint16_t kMsgOrdersRequest = 0x1E;
constexpr uint16_t kMsgOrderRequest = 0x1F;
constexpr uint32_t kOrderActive = 0x1;
constexpr uint32_t kReadOnceFlags = 0x100 | 0x200;

void announce_order(Library& lib, const OrderRow& o) {
  if (!class_gate_open(lib, o.security)) return;
  lib.raise_event(KELAPI_EVENT_NEWORDER, 0, static_cast<uintptr_t>(static_cast<uint32_t>(o.sequence) + 1));
}

// Stores a row whose security field already holds the local index.
const OrderRow& store(Library& lib, const OrderRow& row) {
  OrderRow r = row;
  copy_order_text(r.comment, row.comment);
  copy_order_text(r.text2, row.text2);
  copy_order_text(r.text1, row.text1);
  copy_order_text(r.account, row.account);
  copy_order_text(r.text3, row.text3);
  copy_order_text(r.text4, row.text4);
  copy_order_text(r.long_text, row.long_text);
  return lib.orders.put(r);
}

// The local form of a received order, or false for an unknown security.
bool localise(Library& lib, OrderRow& order) {
  const int64_t s = lib.securities.find_by_server_id(order.security);
  if (s < 0) {
    diag("CRITICAL ERROR: received order (seqnumber = %d) with unknown sid!\n", order.sequence);
    return false;
  }
  order.security = static_cast<int32_t>(s);
  return true;
}

template <typename Old>
void replay_older(Library& lib, std::span<const uint8_t> payload) {
  Old old;
  std::memcpy(&old, payload.data(), sizeof old);
  OrderRow row = newest_order(old, static_cast<int32_t>(lib.trade_date()));
  if (!localise(lib, row)) return;
  store(lib, row);
}

}  // namespace

void on_order(Library& lib, const OrderRow& order) {
  OrderRow row = order;
  if (!localise(lib, row)) return;
  const OrderRow& stored = store(lib, row);
  lib.journal_write(kJournalOrder, &stored, sizeof stored, true);
  announce_order(lib, stored);
}

void on_orders_restart(Library& lib) {
  const int32_t from = 0;
  lib.send_message(kMsgOrdersRequest, &from);
}

bool replay_order(Library& lib, uint8_t tag, std::span<const uint8_t> payload) {
  switch (tag) {
    case kJournalOrder:
      if (payload.size() != sizeof(OrderRow)) return false;
      {
        OrderRow row;
        std::memcpy(&row, payload.data(), sizeof row);
        store(lib, row);
      }
      return true;
    case kJournalOrder805B:
      if (payload.size() != sizeof(Msg805B_Order)) return false;
      replay_older<Msg805B_Order>(lib, payload);
      return true;
    case kJournalOrder800F:
      if (payload.size() != sizeof(Msg800F_Order)) return false;
      replay_older<Msg800F_Order>(lib, payload);
      return true;
    case kJournalOrderF6:
      if (payload.size() != sizeof(Msg00F6_Order)) return false;
      replay_older<Msg00F6_Order>(lib, payload);
      return true;
    default:
      return false;
  }
}

void run_book_orders(Library& lib) {
  announce_and_request_rows(lib, lib.orders, announce_order, kMsgOrdersRequest, kMsgOrderRequest, kOrderActive);
}

void announce_orders_of_class(Library& lib, int32_t class_index) {
  announce_rows_of_class(lib, lib.orders, class_index, announce_order);
}

KelapiResult book_orders(Library& lib) { return book_table(lib, Booked::orders, kCommandBookOrders); }

KelapiResult get_order(Library& lib, uint32_t number, KelapiOrderRecord* record, uint32_t size,
                       uint32_t expected_size) {
  LibraryLock lock(lib);
  if (const KelapiResult checked = check_row_read(lib, record, size, expected_size); checked != KELAPI_OK) {
    return checked;
  }
  const int64_t sequence = row_sequence(number);
  if (sequence < 0) return KELAPI_E_INVALIDARG;
  const OrderRow* o = lib.orders.find(static_cast<int32_t>(sequence));
  if (o == nullptr) return KELAPI_E_INVALIDARG;

  KelapiOrderRecord r;
  std::memset(&r, 0, sizeof r);
  int scale = 0;
  const int32_t c = class_of_security(lib, o->security);
  if (c >= 0) {
    scale = lib.securities.at(static_cast<std::size_t>(o->security)).h.scale;
    r.class_number = static_cast<uint32_t>(c) + 1;
    r.security_number = static_cast<uint32_t>(o->security) + 1;
  }
  r.amount1 = scale_down(o->amount1, 2);  // the scale rule; value and amount 2 are divided
  r.order_number = o->number;
  r.price = scaled_to_double(o->price, scale);
  r.value = o->value / 100.0;
  r.amount2 = o->amount2 / 100.0;
  r.second_price = scaled_to_double(o->second_price, scale);
  r.balance = o->balance;
  r.flags = o->flags;
  r.time = o->time;
  r.quantity = o->quantity;
  r.row_number = static_cast<uint32_t>(o->sequence) + 1;
  r.word1 = o->word1;
  r.word2 = o->word2;
  r.word3 = o->word3;
  r.trade_date = o->trade_date;
  copy_bounded(r.account, o->account, 12);
  copy_bounded(r.comment, o->comment, 20);
  copy_bounded(r.text3, o->text3, 12);
  copy_bounded(r.text1, o->text1, 12);
  copy_bounded(r.text2, o->text2, 12);
  copy_bounded(r.text4, o->text4, 12);
  copy_bounded(r.long_text, o->long_text, 64);
  r.word4 = o->word4;
  r.value8 = o->value8;
  r.word5 = o->word5;
  std::memcpy(record, &r, size);  // the shorter record ends before word 4

  if ((lib.init_flags() & kReadOnceFlags) != 0) lib.orders.remove(o->sequence);
  return KELAPI_OK;
}

}  // namespace kelda::kelapi
