// The trader list, the trader messages and their receipts.
#include "traders/traders.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "core/numbers.h"
#include "core/text_util.h"
#include "messages/handlers.h"
#include "orders/order_forms.h"
#include "platform/last_error.h"
#include "platform/time.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint8_t kJournalTrader = 59;
constexpr uint8_t kJournalTraderRemoved = 42;
constexpr uint8_t kJournalMessage = 71;
constexpr uint8_t kJournalTraderOld = 41;
constexpr uint8_t kJournalMessage8043 = 60;
constexpr uint8_t kJournalMessage006F = 21;
constexpr uint16_t kMsgSendMessage = 0x8082;
constexpr uint16_t kMsgReceipt = 0x8044;
constexpr uint16_t kMsgMessagesRequest = 0x71;
constexpr uint16_t kNoReceipt = 0x100;
constexpr uint32_t kInitMessageEx = 0x400;

DateTime now() {
  const SYSTEMTIME st = platform::local_time_now();
  return {st.wYear * 10000 + st.wMonth * 100 + st.wDay, st.wHour * 10000 + st.wMinute * 100 + st.wSecond};
}

int32_t user_id(const Library& lib) { return static_cast<int32_t>(lib.session_id()); }

bool announced(const Library& lib) {
  return lib.traders.announced && lib.traders.announced_generation == lib.session_generation();
}

void raise_trader(Library& lib, const TraderRow& row, uint32_t change) {
  KelapiTraderRecord r;
  std::memset(&r, 0, sizeof r);
  r.on_line = row.on_line;
  r.trader_id = static_cast<uint32_t>(row.t.trader_id);
  copy_bounded(r.code, row.t.code, 12);
  copy_bounded(r.text1, row.t.text1, 64);
  copy_bounded(r.name, row.t.name, 128);
  const uint32_t header[2] = {change, r.trader_id};
  lib.raise_event(KELAPI_EVENT_NEWTRADER, reinterpret_cast<uintptr_t>(&r), reinterpret_cast<uintptr_t>(header));
}

template <typename Record, std::size_t TextSize>
void fill_message(const Library& lib, const TraderMessageRow& m, Record& r, char (&text)[TextSize]) {
  std::memset(&r, 0, sizeof r);
  r.sent_by_user = m.sender == user_id(lib) ? 1 : 0;
  r.received_date = static_cast<uint32_t>(m.times.received.date);
  r.received_time = static_cast<uint32_t>(m.times.received.time);
  r.flags = m.flags;
  r.message_id = static_cast<uint32_t>(m.message_id);
  r.sent_date = static_cast<uint32_t>(m.times.sent.date);
  r.sent_time = static_cast<uint32_t>(m.times.sent.time);
  r.sender = static_cast<uint32_t>(m.sender);
  r.recipient = static_cast<uint32_t>(m.recipient);
  copy_bounded(r.text3, m.text3, 64);
  copy_bounded(text, m.text, TextSize - 1);
  copy_bounded(r.text2, m.text2, 128);
}

void raise_message(Library& lib, const TraderMessageRow& m) {
  if ((lib.init_flags() & kInitMessageEx) != 0) {
    KelapiTraderMsgRecordEx r;
    fill_message(lib, m, r, r.text);
    lib.raise_event(KELAPI_EVENT_NEWTRADERMSGEX, reinterpret_cast<uintptr_t>(&r), static_cast<uint32_t>(m.message_id));
  } else {
    KelapiTraderMsgRecord r;
    fill_message(lib, m, r, r.text);
    lib.raise_event(KELAPI_EVENT_NEWTRADERMSG, reinterpret_cast<uintptr_t>(&r), static_cast<uint32_t>(m.message_id));
  }
}

TraderRow* find_trader(TraderTables& tables, int32_t id) {
  for (auto& row : tables.traders) {
    if (row->t.trader_id == id) return row.get();
  }
  return nullptr;
}

TraderMessageRow* find_message(TraderTables& tables, int32_t id) {
  for (auto it = tables.messages.rbegin(); it != tables.messages.rend(); ++it) {
    if ((*it)->message_id == id) return it->get();
  }
  return nullptr;
}

Msg803E_Trader bounded_trader(const Msg803E_Trader& t) {
  Msg803E_Trader b = t;
  copy_order_text(b.name, t.name);
  copy_order_text(b.text1, t.text1);
  copy_order_text(b.code, t.code);
  return b;
}

TraderMessageRow bounded_message(const TraderMessageRow& m) {
  TraderMessageRow b = m;
  copy_order_text(b.text2, m.text2);
  copy_order_text(b.text3, m.text3);
  copy_order_text(b.text, m.text);
  return b;
}

// Stores a message the user sent or receives; false when it is neither.
TraderMessageRow* store_message(Library& lib, const TraderMessageRow& m) {
  if (m.recipient != user_id(lib) && m.sender != user_id(lib)) return nullptr;
  if (TraderMessageRow* old = find_message(lib.traders, m.message_id)) {
    *old = m;
    return old;
  }
  lib.traders.messages.push_back(std::make_unique<TraderMessageRow>(m));
  return lib.traders.messages.back().get();
}

template <typename Old>
TraderMessageRow newest_message(const Old& o) {
  TraderMessageRow m;
  std::memset(&m, 0, sizeof m);
  m.times = o.times;
  m.message_id = o.message_id;
  m.recipient = o.recipient;
  m.sender = o.sender;
  copy_order_text(m.text2, o.text2);
  copy_order_text(m.text3, o.text3);
  m.flags = static_cast<uint16_t>(o.flags);
  copy_order_text(m.text, o.text);
  return m;
}

Msg803E_Trader newest_trader(const Msg00ED_TraderOld& o) {
  Msg803E_Trader t;
  std::memset(&t, 0, sizeof t);
  t.trader_id = o.trader_id;
  copy_order_text(t.name, o.name);
  copy_order_text(t.text1, o.text1);
  copy_order_text(t.code, o.code);
  return t;
}

}  // namespace

TraderRow& put_trader(TraderTables& tables, const Msg803E_Trader& trader) {
  auto& list = tables.traders;
  // A trader described again leaves its old place first, so that a renamed
  // trader is kept once, at its new place, with its on-line state.
  uint32_t on_line = 0;
  auto same = std::find_if(list.begin(), list.end(), [&](const auto& r) { return r->t.trader_id == trader.trader_id; });
  if (same != list.end()) {
    on_line = (*same)->on_line;
    list.erase(same);
  }
  std::size_t at = 0;
  for (; at < list.size(); ++at) {
    const Msg803E_Trader& e = list[at]->t;
    const int by_name = strcasecmp(e.name, trader.name);
    if (by_name > 0 || (by_name == 0 && std::strcmp(e.text1, trader.text1) > 0)) break;
  }
  if (list.size() == list.capacity()) list.reserve(list.size() + 100);
  auto row = std::make_unique<TraderRow>();
  row->t = trader;
  row->on_line = on_line;
  TraderRow& stored = *row;
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
  return stored;
}

void on_trader(Library& lib, const Msg803E_Trader& trader) {
  const Msg803E_Trader t = bounded_trader(trader);
  TraderRow& row = put_trader(lib.traders, t);
  lib.journal_write(kJournalTrader, &t, sizeof t, true);
  if (announced(lib)) raise_trader(lib, row, 0);
}

void on_trader_removed(Library& lib, int32_t trader_id) {
  auto& list = lib.traders.traders;
  auto it = std::find_if(list.begin(), list.end(), [&](const auto& r) { return r->t.trader_id == trader_id; });
  if (it == list.end()) return;
  lib.journal_write(kJournalTraderRemoved, &trader_id, sizeof trader_id, true);
  if (announced(lib)) raise_trader(lib, **it, 1);
  list.erase(it);
}

void on_trader_on_line(Library& lib, int32_t trader_id, bool on_line) {
  TraderRow* row = find_trader(lib.traders, trader_id);
  if (row == nullptr) return;
  row->on_line = on_line ? 1 : 0;
  if (announced(lib)) raise_trader(lib, *row, 0);
}

void on_trader_message(Library& lib, const TraderMessageRow& message) {
  TraderMessageRow m = bounded_message(message);
  // A receipt answers only a message addressed to this user.
  if (m.recipient == user_id(lib) && m.sender != user_id(lib) && (m.flags & kNoReceipt) == 0) {
    Msg8044_Receipt receipt;
    std::memset(&receipt, 0, sizeof receipt);
    receipt.times.received = now();
    receipt.message_id = m.message_id;
    receipt.sender = m.sender;
    receipt.flags = static_cast<int16_t>(m.flags);
    lib.send_message(kMsgReceipt, &receipt);
    m.times.received = receipt.times.received;
  }
  TraderMessageRow* stored = store_message(lib, m);
  if (stored == nullptr) return;
  if (announced(lib)) raise_message(lib, *stored);
  lib.journal_write(kJournalMessage, stored, sizeof *stored, true);
}

void on_receipt(Library& lib, const Msg8044_Receipt& receipt) {
  TraderMessageRow* m = find_message(lib.traders, receipt.message_id);
  if (m == nullptr) return;
  m->times.received = receipt.times.received;
  m->flags = static_cast<uint16_t>(receipt.flags);
  lib.journal_write(kJournalMessage, m, sizeof *m, true);
  if (announced(lib)) raise_message(lib, *m);
}

void replay_trader_record(Library& lib, uint8_t tag, std::span<const uint8_t> p) {
  if (tag == kJournalTrader && p.size() == sizeof(Msg803E_Trader)) {
    Msg803E_Trader t;
    std::memcpy(&t, p.data(), sizeof t);
    put_trader(lib.traders, bounded_trader(t));
  } else if (tag == kJournalTraderOld && p.size() == sizeof(Msg00ED_TraderOld)) {
    Msg00ED_TraderOld o;
    std::memcpy(&o, p.data(), sizeof o);
    put_trader(lib.traders, newest_trader(o));
  } else if (tag == kJournalTraderRemoved && (p.size() == 2 || p.size() == 4)) {
    int32_t id = 0;
    if (p.size() == 2) {
      int16_t narrow;
      std::memcpy(&narrow, p.data(), 2);
      id = narrow;
    } else {
      std::memcpy(&id, p.data(), 4);
    }
    auto& list = lib.traders.traders;
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& r) { return r->t.trader_id == id; });
    if (it != list.end()) list.erase(it);
  } else if (tag == kJournalMessage && p.size() == sizeof(TraderMessageRow)) {
    TraderMessageRow m;
    std::memcpy(&m, p.data(), sizeof m);
    store_message(lib, bounded_message(m));
  } else if (tag == kJournalMessage8043 && p.size() == sizeof(Msg8043_TraderMessageOld)) {
    Msg8043_TraderMessageOld o;
    std::memcpy(&o, p.data(), sizeof o);
    store_message(lib, newest_message(o));
  } else if (tag == kJournalMessage006F && p.size() == sizeof(Msg006F_TraderMessageOld)) {
    Msg006F_TraderMessageOld o;
    std::memcpy(&o, p.data(), sizeof o);
    store_message(lib, newest_message(o));
  }
}

void run_book_traders(Library& lib) {
  for (const auto& row : lib.traders.traders) raise_trader(lib, *row, 0);
  for (const auto& m : lib.traders.messages) raise_message(lib, *m);
  lib.traders.announced = true;
  lib.traders.announced_generation = lib.session_generation();
  if (!lib.connected()) return;
  int32_t last = 0;
  for (const auto& m : lib.traders.messages) {
    if (m->recipient == user_id(lib) && m->sender != user_id(lib)) last = std::max(last, m->message_id);
  }
  lib.send_message(kMsgMessagesRequest, &last);
}

KelapiResult book_traders(Library& lib) { return book_table(lib, Booked::traders, kCommandBookTraders); }

KelapiResult get_trader(Library& lib, uint32_t trader_id, KelapiTraderRecord* record, uint32_t size) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (record == nullptr) return KELAPI_E_POINTER;
  if (size != sizeof(KelapiTraderRecord)) return KELAPI_E_STRUCT_SIZE;
  const TraderRow* row = find_trader(lib.traders, static_cast<int32_t>(trader_id));
  if (row == nullptr) return KELAPI_E_INVALIDARG;
  std::memset(record, 0, sizeof *record);
  record->on_line = row->on_line;
  record->trader_id = static_cast<uint32_t>(row->t.trader_id);
  copy_bounded(record->code, row->t.code, 12);
  copy_bounded(record->text1, row->t.text1, 64);
  copy_bounded(record->name, row->t.name, 128);
  return KELAPI_OK;
}

KelapiResult get_trader_message(Library& lib, uint32_t message_id, void* record, uint32_t size,
                                uint32_t expected_size) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (record == nullptr) return KELAPI_E_POINTER;
  if (size != expected_size) return KELAPI_E_STRUCT_SIZE;
  const TraderMessageRow* m = find_message(lib.traders, static_cast<int32_t>(message_id));
  if (m == nullptr) return KELAPI_E_INVALIDARG;
  if (expected_size == sizeof(KelapiTraderMsgRecordEx)) {
    auto* r = static_cast<KelapiTraderMsgRecordEx*>(record);
    fill_message(lib, *m, *r, r->text);
  } else {
    auto* r = static_cast<KelapiTraderMsgRecord*>(record);
    fill_message(lib, *m, *r, r->text);
  }
  return KELAPI_OK;
}

KelapiResult send_trader_message(Library& lib, uint32_t recipient, uint32_t flag1, uint32_t flag2,
                                 const char* text) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (!lib.connected()) return KELAPI_E_NOT_CONNECTED;
  if (text == nullptr) return KELAPI_E_POINTER;
  Msg8082_SendTraderMessage m;
  std::memset(&m, 0, sizeof m);
  m.now = now();
  m.recipient = static_cast<int32_t>(recipient);
  m.sender = user_id(lib);
  m.flags = static_cast<int16_t>((flag1 != 0 ? 0x1 : 0) | (flag2 != 0 ? 0x2 : 0));
  copy_bounded(m.text, text, sizeof m.text - 1);
  if (lib.send_message(kMsgSendMessage, &m) == 0) return KELAPI_E_NOT_CONNECTED;
  return KELAPI_OK;
}

// ---- handlers ----

void on_803E_trader(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_trader(lib, record_copy<Msg803E_Trader>(record, KELAPI_RECORD_END(Msg803E_Trader, code)));
  });
}
void on_00ED_trader_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_trader(lib, newest_trader(record_copy<Msg00ED_TraderOld>(record, KELAPI_RECORD_END(Msg00ED_TraderOld, code))));
  });
}
void on_803F_trader_removed(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_trader_removed(lib, record_copy<Word32>(record).value); });
}
void on_0030_trader_removed_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_trader_removed(lib, record_copy<Word16>(record).value); });
}
void on_8040_trader_on_line(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_trader_on_line(lib, record_copy<Word32>(record).value, true); });
}
void on_0031_trader_on_line_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_trader_on_line(lib, record_copy<Word16>(record).value, true); });
}
void on_8041_trader_off_line(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_trader_on_line(lib, record_copy<Word32>(record).value, false); });
}
void on_0032_trader_off_line_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_trader_on_line(lib, record_copy<Word16>(record).value, false); });
}
void on_8083_trader_message(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_trader_message(lib, record_copy<Msg8083_TraderMessage>(record, KELAPI_RECORD_END(Msg8083_TraderMessage, text)));
  });
}
void on_8043_trader_message_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_trader_message(lib, newest_message(record_copy<Msg8043_TraderMessageOld>(
                               record, KELAPI_RECORD_END(Msg8043_TraderMessageOld, text))));
  });
}
void on_006F_trader_message_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_trader_message(lib, newest_message(record_copy<Msg006F_TraderMessageOld>(
                               record, KELAPI_RECORD_END(Msg006F_TraderMessageOld, text))));
  });
}
void on_8044_receipt(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_receipt(lib, record_copy<Msg8044_Receipt>(record, KELAPI_RECORD_END(Msg8044_Receipt, flags)));
  });
}
void on_0070_receipt_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto old = record_copy<Msg0070_ReceiptOld>(record, KELAPI_RECORD_END(Msg0070_ReceiptOld, flags));
    Msg8044_Receipt r;
    std::memset(&r, 0, sizeof r);
    r.times = old.times;
    r.message_id = old.message_id;
    r.sender = old.sender;
    r.flags = old.flags;
    on_receipt(lib, r);
  });
}

}  // namespace kelda::kelapi
