// Quotes and order books: what the server's quote and order-book messages
// do to the tables, the worker's booking commands and the exports that read
// them.
//
// Everything runs under the library lock: messages on the receive thread,
// commands on the worker, exports on the caller's thread. Messages for
// unknown securities or securities without a book are ignored.
#pragma once

#include <cstdint>
#include <span>

#include "keldaapi/keldaapi.h"
#include "quotes/quote_tables.h"

namespace kelda::kelapi {

class Library;

// ---- messages ----
// A quote in the 0x804F form, the security given by its server id.
void on_quote(Library& lib, const QuoteRecord& quote);
void on_quotes_restart(Library& lib);
void on_order_book_begin(Library& lib, int32_t server_id);
void on_order_book_level(Library& lib, const BookLevel& level);  // security given by its server id
void on_order_book_end(Library& lib, int32_t server_id);

// Journal tag 46: a 128-byte quote or an older 72-byte one.
void replay_quote(Library& lib, std::span<const uint8_t> payload);

// ---- worker commands ----
void run_book_quotes(Library& lib);                                // 24
void run_order_book(Library& lib, int32_t security, bool subscribe);  // 21 and 22
// The link is gone: every book is freed.
void drop_order_books(Library& lib);

// ---- exports (lock taken inside) ----
KelapiResult book_quotes(Library& lib);
KelapiResult get_quote(Library& lib, uint32_t record_number, KelapiQuoteRecord* record, uint32_t size);
KelapiResult book_order_book(Library& lib, uint32_t class_number, uint32_t security_number, bool subscribe);
KelapiResult get_order_book(Library& lib, uint32_t class_number, uint32_t security_number, uint16_t* count,
                            KelapiQuotesPriceRecord** records);

}  // namespace kelda::kelapi
