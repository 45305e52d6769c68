// The negotiated tables: messages, booking, journal replay and reads.
#include "negotiated/negotiated.h"

#include <cstring>
#include <type_traits>

#include "core/numbers.h"
#include "core/text_util.h"
#include "market/class_gate.h"
#include "messages/handlers.h"
#include "negotiated/negotiated_forms.h"
#include "platform/last_error.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgDealsRequest = 0x40;
constexpr uint16_t kMsgDealRequest = 0x41;
constexpr uint16_t kMsgTradesRequest = 0x82;
constexpr uint16_t kMsgTradeRequest = 0x83;
constexpr uint16_t kMsgReportsRequest = 0x7E;
constexpr uint16_t kMsgReportRequest = 0x7F;
constexpr uint8_t kJournalDeal = 66;
constexpr uint8_t kJournalTrade = 70;
constexpr uint8_t kJournalReport = 69;
constexpr uint8_t kJournalDeal805D = 47;
constexpr uint8_t kJournalDeal8011 = 44;
constexpr uint8_t kJournalDeal00F7 = 37;
constexpr uint8_t kJournalTrade8058 = 48;
constexpr uint8_t kJournalTrade00DE = 38;
constexpr uint8_t kJournalReport805E = 49;
constexpr uint8_t kJournalReport007D = 23;

// Stores a row whose security the server named; false when it is unknown.
template <typename Row>
const Row* store(Library& lib, ArrivalRows<Row>& table, Row row, uint8_t tag) {
  const int64_t s = lib.securities.find_by_server_id(row.security);
  if (s < 0) return nullptr;
  row.security = static_cast<int32_t>(s);
  const Row& stored = table.put(row);
  lib.journal_write(tag, &stored, sizeof stored, true);
  return &stored;
}

void request(Library& lib, uint16_t id, int32_t value) { lib.send_message(id, &value); }

// The range request (from the last row on) and the rows asked for again.
template <typename Row, typename Again>
void request_rows(Library& lib, const ArrivalRows<Row>& table, uint16_t range_id, uint16_t row_id, Again again) {
  request(lib, range_id, table.size() == 0 ? 0 : table.at(table.size() - 1).sequence + 1);
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (again(table.at(i).flags)) request(lib, row_id, table.at(i).sequence);
  }
}

template <typename Row>
void announce_all(Library& lib, const ArrivalRows<Row>& table, uint32_t event) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    lib.raise_event(event, 0, static_cast<uintptr_t>(static_cast<uint32_t>(table.at(i).sequence) + 1));
  }
}

// A journalled row of one form in the newest form, stored; false for a record
// of another size.
template <typename Form, typename Row>
bool replay(ArrivalRows<Row>& table, std::span<const uint8_t> payload) {
  if (payload.size() != sizeof(Form)) return false;
  Form record;
  std::memcpy(&record, payload.data(), sizeof record);
  if constexpr (std::is_same_v<Form, Row>) {
    table.put(record);
  } else {
    table.put(newest_negotiated(record));
  }
  return true;
}

// A record of a size the tag has but of a form whose fields are not known:
// read and skipped.
bool skip_unknown_form(std::span<const uint8_t> payload, std::size_t size) { return payload.size() == size; }

// The checks of a read and the row it names.
template <typename Row>
KelapiResult find_row(const Library& lib, const ArrivalRows<Row>& table, uint32_t number, const void* record,
                      uint32_t size, uint32_t expected_size, const Row*& row) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (record == nullptr) return KELAPI_E_POINTER;
  if (!table.ever_held()) return KELAPI_E_INVALIDARG;
  if (size != expected_size) return KELAPI_E_STRUCT_SIZE;
  const int64_t sequence = row_sequence(number);
  row = sequence < 0 ? nullptr : table.find(static_cast<int32_t>(sequence));
  return row == nullptr ? KELAPI_E_INVALIDARG : KELAPI_OK;
}

// The scale, class number and security number of a row's security.
struct Where {
  int scale = 0;
  uint32_t class_number = 0;
  uint32_t security_number = 0;
};
Where where(const Library& lib, int32_t security) {
  Where w;
  const int32_t c = class_of_security(lib, security);
  if (c < 0) return w;
  w.scale = lib.securities.at(static_cast<std::size_t>(security)).h.scale;
  w.class_number = static_cast<uint32_t>(c) + 1;
  w.security_number = static_cast<uint32_t>(security) + 1;
  return w;
}

// Hundredths as money: multiplied by 0.01 (a deal's amount 7 goes through
// the scale rule instead).
double money(double hundredths) { return hundredths * 0.01; }

}  // namespace

void on_neg_deal(Library& lib, const Msg8079_NegDeal& m) {
  if (const NegDealRow* r = store(lib, lib.negotiated.deals, m, kJournalDeal)) {
    lib.raise_event(KELAPI_EVENT_NEWNEGDEAL, 0, static_cast<uintptr_t>(static_cast<uint32_t>(r->sequence) + 1));
  }
}

void on_neg_trade(Library& lib, const Msg807F_NegTrade& m) {
  if (const NegTradeRow* r = store(lib, lib.negotiated.trades, m, kJournalTrade)) {
    lib.raise_event(KELAPI_EVENT_NEWNEGTRADE, 0, static_cast<uintptr_t>(static_cast<uint32_t>(r->sequence) + 1));
  }
}

void on_neg_report(Library& lib, const Msg807E_NegReport& m) {
  if (const NegReportRow* r = store(lib, lib.negotiated.reports, m, kJournalReport)) {
    lib.raise_event(KELAPI_EVENT_NEWNEGREPORT, 0, static_cast<uintptr_t>(static_cast<uint32_t>(r->sequence) + 1));
  }
}

void run_book_negotiated(Library& lib) {
  NegotiatedTables& t = lib.negotiated;
  announce_all(lib, t.deals, KELAPI_EVENT_NEWNEGDEAL);
  announce_all(lib, t.trades, KELAPI_EVENT_NEWNEGTRADE);
  announce_all(lib, t.reports, KELAPI_EVENT_NEWNEGREPORT);
  if (!lib.connected()) return;
  request_rows(lib, t.deals, kMsgDealsRequest, kMsgDealRequest, [](uint32_t f) { return (f & 0x1) != 0; });
  request_rows(lib, t.trades, kMsgTradesRequest, kMsgTradeRequest,
               [](uint32_t f) { return (f & 0x1) != 0 || (f & 0x2) == 0; });
  request_rows(lib, t.reports, kMsgReportsRequest, kMsgReportRequest, [](uint32_t f) { return (f & 0x1) != 0; });
}

bool replay_negotiated(Library& lib, uint8_t tag, std::span<const uint8_t> payload) {
  NegotiatedTables& t = lib.negotiated;
  switch (tag) {
    case kJournalDeal: return replay<Msg8079_NegDeal>(t.deals, payload);
    case kJournalDeal805D: return replay<Msg805D_NegDeal>(t.deals, payload);
    case kJournalDeal8011: return skip_unknown_form(payload, 240);
    case kJournalDeal00F7: return skip_unknown_form(payload, 240);
    case kJournalTrade: return replay<Msg807F_NegTrade>(t.trades, payload);
    case kJournalTrade8058: return replay<Msg8058_NegTrade>(t.trades, payload);
    case kJournalTrade00DE: return skip_unknown_form(payload, 312);
    // A report record of the wrong size is skipped and the replay goes on.
    case kJournalReport: replay<Msg807E_NegReport>(t.reports, payload); return true;
    case kJournalReport805E: replay<Msg805E_NegReport>(t.reports, payload); return true;
    case kJournalReport007D: return true;
    default: return false;
  }
}

KelapiResult book_negotiated(Library& lib) { return book_table(lib, Booked::negotiated, kCommandBookNegotiated); }

KelapiResult get_neg_deal(Library& lib, uint32_t number, KelapiNegDealRecord* record, uint32_t size,
                          uint32_t expected_size) {
  LibraryLock lock(lib);
  const NegDealRow* d = nullptr;
  if (const KelapiResult r = find_row(lib, lib.negotiated.deals, number, record, size, expected_size, d); r != KELAPI_OK) {
    return r;
  }
  const Where w = where(lib, d->security);
  KelapiNegDealRecord r;
  std::memset(&r, 0, sizeof r);
  r.amount2 = money(d->amount2);
  r.deal_number = d->number;
  r.price = scaled_to_double(d->price, w.scale);
  r.price2 = scaled_to_double(d->price2, w.scale);
  r.price3 = scaled_to_double(d->price3, w.scale);
  r.amount4 = money(d->amount4);
  r.amount3 = money(d->amount3);
  r.amount1 = money(d->amount1);
  r.price5 = scaled_to_double(d->price5, w.scale);
  r.price4 = scaled_to_double(d->price4, w.scale);
  r.price6 = scaled_to_double(d->price6, w.scale);
  r.amount6 = money(d->amount6);
  r.amount5 = money(d->amount5);
  r.amount7 = scale_down(d->amount7, 2);
  r.price7 = scaled_to_double(d->price7, w.scale);
  r.flags = d->flags;
  r.word10 = d->word10;
  r.word1 = d->word1;
  r.row_number = static_cast<uint32_t>(d->sequence) + 1;
  r.class_number = w.class_number;
  r.security_number = w.security_number;
  r.word2 = d->word2;
  r.word3 = d->word3;
  r.word4 = d->word4;
  r.word5 = d->word5;
  r.word6 = d->word6;
  r.word7 = d->word7;
  r.short3 = d->short3;
  r.short1 = d->short1;
  r.short2 = d->short2;
  copy_bounded(r.text5, d->text5, 12);
  copy_bounded(r.comment, d->comment, 20);
  copy_bounded(r.text4, d->text4, 12);
  copy_bounded(r.text3, d->text3, 12);
  copy_bounded(r.text2, d->text2, 12);
  copy_bounded(r.text6, d->text6, 10);
  copy_bounded(r.text7, d->text7, 3);
  copy_bounded(r.text1, d->text1, 12);
  copy_bounded(r.text8, d->text8, 12);
  r.word8 = d->word8;
  r.word9 = d->word9;
  r.value8 = d->value8;
  std::memcpy(record, &r, size);
  return KELAPI_OK;
}

KelapiResult get_neg_trade(Library& lib, uint32_t number, KelapiNegTradeRecord* record, uint32_t size,
                           uint32_t expected_size) {
  LibraryLock lock(lib);
  const NegTradeRow* t = nullptr;
  if (const KelapiResult r = find_row(lib, lib.negotiated.trades, number, record, size, expected_size, t); r != KELAPI_OK) {
    return r;
  }
  const Where w = where(lib, t->security);
  KelapiNegTradeRecord r;
  std::memset(&r, 0, sizeof r);
  r.value3 = money(t->value3);
  r.value2 = t->value2;
  r.price = scaled_to_double(t->price, w.scale);
  r.price2 = scaled_to_double(t->price2, w.scale);
  r.price4 = scaled_to_double(t->price4, w.scale);
  r.price3 = scaled_to_double(t->price3, w.scale);
  r.value1 = t->value1;
  r.value4 = t->value4;
  r.trade_number = t->number;
  r.amount1 = money(t->amount1);
  r.amount3 = money(t->amount3);
  r.amount8 = money(t->amount8);
  r.amount7 = money(t->amount7);
  r.amount9 = money(t->amount9);
  r.amount5 = money(t->amount5);
  r.amount4 = money(t->amount4);
  r.amount6 = money(t->amount6);
  r.amount2 = money(t->amount2);
  r.price5 = scaled_to_double(t->price5, w.scale);
  r.price8 = scaled_to_double(t->price8, w.scale);
  r.price6 = scaled_to_double(t->price6, w.scale);
  r.price7 = scaled_to_double(t->price7, w.scale);
  r.flags = t->flags & 0x7u;
  r.word8 = t->word8;
  r.row_number = static_cast<uint32_t>(t->sequence) + 1;
  r.word9 = t->word9;
  r.word1 = t->word1;
  r.class_number = w.class_number;
  r.security_number = w.security_number;
  r.word2 = t->word2;
  r.word4 = t->word4;
  r.word3 = t->word3;
  r.short2 = t->short2;
  r.short5 = t->short5;
  r.short1 = t->short1;
  r.short4 = t->short4;
  r.short3 = t->short3;
  copy_bounded(r.text2, t->text2, 12);
  copy_bounded(r.comment, t->comment, 20);
  copy_bounded(r.text4, t->text4, 12);
  copy_bounded(r.text3, t->text3, 12);
  copy_bounded(r.text1, t->text1, 12);
  copy_bounded(r.text5, t->text5, 3);
  copy_bounded(r.text6, t->text6, 12);
  r.value5 = t->value5;
  r.value6 = t->value6;
  r.value7 = t->value7;
  r.short6 = t->short6;
  r.short7 = t->short7;
  r.word6 = t->word6;
  r.word7 = t->word7;
  std::memcpy(record, &r, size);
  return KELAPI_OK;
}

KelapiResult get_neg_report(Library& lib, uint32_t number, KelapiNegReportRecord* record, uint32_t size,
                            uint32_t expected_size) {
  LibraryLock lock(lib);
  const NegReportRow* p = nullptr;
  if (const KelapiResult r = find_row(lib, lib.negotiated.reports, number, record, size, expected_size, p); r != KELAPI_OK) {
    return r;
  }
  const Where w = where(lib, p->security);
  KelapiNegReportRecord r;
  std::memset(&r, 0, sizeof r);
  r.report_number = p->number;
  r.amount = money(p->amount);
  r.flags = p->flags & 0xC3u;
  r.word3 = p->word3;
  r.word1 = p->word1;
  r.word2 = p->word2;
  r.row_number = static_cast<uint32_t>(p->sequence) + 1;
  r.class_number = w.class_number;
  r.security_number = w.security_number;
  r.word4 = p->word4;
  copy_bounded(r.text3, p->text3, 12);
  copy_bounded(r.text5, p->text5, 12);
  copy_bounded(r.text4, p->text4, 12);
  copy_bounded(r.text2, p->text2, 12);
  copy_bounded(r.text1, p->text1, 12);
  r.short2 = static_cast<uint16_t>(p->short2);
  r.value8 = p->value8;
  std::memcpy(record, &r, size);
  return KELAPI_OK;
}

// ---- handlers ----

void on_0047_neg_deals_restart(uint16_t id, const void*) {
  static const uint8_t none = 0;
  handle_message(id, &none, [](Library& lib) { request(lib, kMsgDealsRequest, 0); });
}
void on_0084_neg_trades_restart(uint16_t id, const void*) {
  static const uint8_t none = 0;
  handle_message(id, &none, [](Library& lib) { request(lib, kMsgTradesRequest, 0); });
}
void on_0080_neg_reports_restart(uint16_t id, const void*) {
  static const uint8_t none = 0;
  handle_message(id, &none, [](Library& lib) { request(lib, kMsgReportsRequest, 0); });
}
void on_8079_neg_deal(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_neg_deal(lib, record_copy<Msg8079_NegDeal>(record, KELAPI_RECORD_END(Msg8079_NegDeal, value8)));
  });
}
void on_807F_neg_trade(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_neg_trade(lib, record_copy<Msg807F_NegTrade>(record, KELAPI_RECORD_END(Msg807F_NegTrade, short8)));
  });
}
void on_807E_neg_report(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_neg_report(lib, record_copy<Msg807E_NegReport>(record, KELAPI_RECORD_END(Msg807E_NegReport, value8)));
  });
}

void on_805D_neg_deal(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const Msg805D_NegDeal older = record_copy<Msg805D_NegDeal>(record, KELAPI_RECORD_END(Msg805D_NegDeal, price7));
    on_neg_deal(lib, newest_negotiated(older));
  });
}
void on_8058_neg_trade(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const Msg8058_NegTrade older = record_copy<Msg8058_NegTrade>(record, KELAPI_RECORD_END(Msg8058_NegTrade, word5));
    on_neg_trade(lib, newest_negotiated(older));
  });
}
void on_805E_neg_report(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const Msg805E_NegReport older = record_copy<Msg805E_NegReport>(record, KELAPI_RECORD_END(Msg805E_NegReport, short2));
    on_neg_report(lib, newest_negotiated(older));
  });
}

}  // namespace kelda::kelapi
