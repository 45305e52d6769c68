// Handlers of the quote and order-book messages: each older layout is
// brought to the newest form (see messages/handlers.h for the rules every
// handler follows).
#include <cstring>

#include "messages/handlers.h"
#include "messages/records_values.h"
#include "quotes/quotes.h"
#include "session/handler_support.h"

namespace kelda::kelapi {

void on_804F_quote(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_quote(lib, record_copy<Msg804F_Quote>(record, KELAPI_RECORD_END(Msg804F_Quote, price17)));
  });
}

void on_00BF_quote_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto old = record_copy<Msg00BF_QuoteOld>(record, KELAPI_RECORD_END(Msg00BF_QuoteOld, price9));
    QuoteRecord q;
    std::memset(&q, 0, sizeof q);
    q.number = old.number;
    q.value1 = old.value1;
    q.word2 = old.word2;
    q.flags = old.flags;
    std::memcpy(q.text3, old.text3, sizeof q.text3);
    std::memcpy(q.text4, old.text4, sizeof q.text4);
    q.security_id = old.security_id;
    q.price5 = old.price5;
    q.word6 = old.word6;
    std::memcpy(q.text7, old.text7, sizeof q.text7);
    q.price8 = old.price8;
    q.price9 = old.price9;
    on_quote(lib, q);
  });
}

void on_00C2_quotes_restart(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_quotes_restart(lib); });
}

void on_804D_order_book_begin(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_order_book_begin(lib, record_copy<Word32>(record).value); });
}
void on_00C5_order_book_begin_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_order_book_begin(lib, record_copy<Word16>(record).value); });
}
void on_804E_order_book_end(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_order_book_end(lib, record_copy<Word32>(record).value); });
}
void on_00C6_order_book_end_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_order_book_end(lib, record_copy<Word16>(record).value); });
}

void on_8050_order_book_level(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_order_book_level(lib, record_copy<Msg8050_OrderBookLevel>(record, KELAPI_RECORD_END(Msg8050_OrderBookLevel, word2)));
  });
}

void on_00C7_order_book_level_old(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto old = record_copy<Msg00C7_OrderBookLevelOld>(record, KELAPI_RECORD_END(Msg00C7_OrderBookLevelOld, value));
    BookLevel l;
    std::memset(&l, 0, sizeof l);
    l.flags = old.flags;
    std::memcpy(l.text1, old.text1, sizeof l.text1);
    l.security_id = old.security_id;
    l.price = old.price;
    l.quantity = old.quantity;
    std::memcpy(l.text2, old.text2, sizeof old.text2);
    l.text2[sizeof old.text2 - 1] = '\0';
    l.second_price = old.second_price;
    l.value = old.value;
    on_order_book_level(lib, l);
  });
}

}  // namespace kelda::kelapi
