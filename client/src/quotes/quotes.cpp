// What the quote and order-book messages do, and the reads of both tables.
#include "quotes/quotes.h"

#include <cstring>

#include "core/diag.h"
#include "core/numbers.h"
#include "core/text_util.h"
#include "market/security_args.h"
#include "platform/last_error.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint8_t kJournalQuote = 46;
constexpr uint16_t kMsgQuotesRequest = 0xC0;
constexpr uint16_t kMsgQuoteRequest = 0xC1;
constexpr uint16_t kMsgBookSubscribe = 0x804B;
constexpr uint16_t kMsgBookUnsubscribe = 0x804C;

bool valid_security(const Library& lib, int64_t s) {
  return s >= 0 && static_cast<std::size_t>(s) < lib.securities.size() &&
         lib.classes.valid_index(lib.securities.at(static_cast<std::size_t>(s)).class_index);
}

void announce_quote(Library& lib, const QuoteRecord& q) {
  if (!valid_security(lib, q.security_id)) return;
  const ClassRecord& cls = lib.classes.at(
      static_cast<std::size_t>(lib.securities.at(static_cast<std::size_t>(q.security_id)).class_index));
  if (cls.params_complete != 1 || cls.securities_complete != 1) return;
  lib.raise_event(KELAPI_EVENT_NEWQUOTE, 0, static_cast<uintptr_t>(static_cast<uint32_t>(q.number) + 1));
}

template <std::size_t N>
void terminate_at(char (&text)[N], std::size_t n) {
  text[n] = '\0';
  text[N - 1] = '\0';
}

double scaled(int32_t v, int scale) { return scaled_to_double(v, scale); }

// The book of a security named by its server id, or null.
OrderBook* book_of(Library& lib, int32_t server_id) {
  const int64_t s = lib.securities.find_by_server_id(server_id);
  if (s < 0) return nullptr;
  auto it = lib.quote_tables.books.find(static_cast<int32_t>(s));
  return it == lib.quote_tables.books.end() ? nullptr : &it->second;
}

}  // namespace

void on_quote(Library& lib, const QuoteRecord& quote) {
  const int64_t s = lib.securities.find_by_server_id(quote.security_id);
  if (s < 0) {
    diag("CRITICAL ERROR: received quote (seqnumber = %d) with unknown sid!\n", quote.number);
    return;
  }
  QuoteRecord q = quote;
  q.security_id = static_cast<int32_t>(s);
  terminate_at(q.text3, 12);
  terminate_at(q.text4, 12);
  terminate_at(q.text7, 3);
  lib.quote_tables.quotes.put(q);
  lib.journal_write(kJournalQuote, &q, sizeof q, true);
  announce_quote(lib, q);
}

void on_quotes_restart(Library& lib) {
  const int32_t from = 0;
  lib.send_message(kMsgQuotesRequest, &from);
}

void on_order_book_begin(Library& lib, int32_t server_id) {
  if (OrderBook* book = book_of(lib, server_id)) {
    book->pending.clear();
    book->pending.shrink_to_fit();
  }
}

void on_order_book_level(Library& lib, const BookLevel& level) {
  const int64_t s = lib.securities.find_by_server_id(level.security_id);
  if (s < 0) return;
  auto it = lib.quote_tables.books.find(static_cast<int32_t>(s));
  if (it == lib.quote_tables.books.end()) return;
  if (it->second.pending.size() >= kMaxBookLevels) {
    diag("KeldaApi: order book of SID=%d: more than %zu levels; the rest is dropped\n", level.security_id,
         kMaxBookLevels);
    return;
  }
  BookLevel l = level;
  l.security_id = static_cast<int32_t>(s);
  terminate_at(l.text1, 12);
  terminate_at(l.text2, 12);
  it->second.pending.push_back(l);
}

void on_order_book_end(Library& lib, int32_t server_id) {
  const int64_t s = lib.securities.find_by_server_id(server_id);
  if (s < 0) return;
  auto it = lib.quote_tables.books.find(static_cast<int32_t>(s));
  if (it == lib.quote_tables.books.end()) return;
  it->second.current = std::move(it->second.pending);
  it->second.pending = {};
  const SecurityRecord& sec = lib.securities.at(static_cast<std::size_t>(s));
  lib.raise_event(KELAPI_EVENT_NEWQUOTESPRICE, static_cast<uintptr_t>(sec.class_index) + 1,
                  static_cast<uintptr_t>(s) + 1);
}

void replay_quote(Library& lib, std::span<const uint8_t> payload) {
  QuoteRecord q;
  std::memset(&q, 0, sizeof q);
  if (payload.size() == sizeof(QuoteRecord)) {
    std::memcpy(&q, payload.data(), sizeof q);
  } else if (payload.size() == sizeof(Msg00BF_QuoteOld)) {
    Msg00BF_QuoteOld old;
    std::memcpy(&old, payload.data(), sizeof old);
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
  } else {
    return;  // a body of another size is skipped
  }
  terminate_at(q.text3, 12);
  terminate_at(q.text4, 12);
  terminate_at(q.text7, 3);
  lib.quote_tables.quotes.put(q);
}

void run_book_quotes(Library& lib) {
  const QuoteTable& table = lib.quote_tables.quotes;
  for (std::size_t i = 0; i < table.size(); ++i) announce_quote(lib, table.at(i));
  if (!lib.connected()) return;
  const int32_t from = table.size() == 0 ? 0 : table.at(table.size() - 1).number + 1;
  lib.send_message(kMsgQuotesRequest, &from);
  for (std::size_t i = 0; i < table.size(); ++i) {
    if ((table.at(i).flags & 0x1) != 0) lib.send_message(kMsgQuoteRequest, &table.at(i).number);
  }
}

void run_order_book(Library& lib, int32_t security, bool subscribe) {
  if (!lib.connected() || !valid_security(lib, security)) return;
  auto& books = lib.quote_tables.books;
  const int32_t server_id = lib.securities.at(static_cast<std::size_t>(security)).h.server_id;
  if (subscribe) {
    if (!books.try_emplace(security).second) return;
    lib.send_message(kMsgBookSubscribe, &server_id);
  } else {
    if (books.erase(security) == 0) return;
    lib.send_message(kMsgBookUnsubscribe, &server_id);
  }
}

void drop_order_books(Library& lib) {
  for (const auto& [security, book] : lib.quote_tables.books) {
    const int32_t server_id = lib.securities.at(static_cast<std::size_t>(security)).h.server_id;
    lib.send_message(kMsgBookUnsubscribe, &server_id);  // only while the link still stands
  }
  lib.quote_tables.books.clear();
}

KelapiResult book_quotes(Library& lib) { return book_table(lib, Booked::quotes, kCommandBookQuotes); }

KelapiResult get_quote(Library& lib, uint32_t record_number, KelapiQuoteRecord* record, uint32_t size) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (record == nullptr) return KELAPI_E_POINTER;
  if (size != sizeof(KelapiQuoteRecord)) return KELAPI_E_STRUCT_SIZE;
  const int64_t number = static_cast<int64_t>(record_number) - 1;
  if (number < INT32_MIN || number > INT32_MAX) return KELAPI_E_INVALIDARG;
  const QuoteRecord* q = lib.quote_tables.quotes.find(static_cast<int32_t>(number));
  if (q == nullptr) return KELAPI_E_INVALIDARG;
  std::memset(record, 0, sizeof *record);
  int scale = 0;
  if (valid_security(lib, q->security_id)) {
    const SecurityRecord& s = lib.securities.at(static_cast<std::size_t>(q->security_id));
    scale = s.h.scale;
    record->class_number = static_cast<uint32_t>(s.class_index) + 1;
    record->security_number = static_cast<uint32_t>(q->security_id) + 1;
  }
  record->price5 = scaled(q->price5, scale);
  record->price8 = scaled(q->price8, scale);
  const auto value1 = static_cast<uint64_t>(q->value1);
  record->value1[0] = static_cast<uint32_t>(value1);
  record->value1[1] = static_cast<uint32_t>(value1 >> 32);
  record->price9 = scaled(q->price9, scale);
  record->amount10 = q->amount10 / 100.0;
  record->amount12 = q->amount12 / 100.0;
  record->amount15 = q->amount15 / 100.0;
  record->price13 = scaled(q->price13, scale);
  record->price17 = scaled(q->price17, scale);
  record->flags = q->flags;
  record->word2 = q->word2;
  record->word6 = q->word6;
  record->record_number = static_cast<uint32_t>(q->number) + 1;
  record->word16 = q->word16;
  record->word11 = static_cast<uint16_t>(q->word11);
  record->word14 = static_cast<uint16_t>(q->word14);
  copy_bounded(record->text4, q->text4, 12);
  copy_bounded(record->text7, q->text7, 3);
  copy_bounded(record->text3, q->text3, 12);
  return KELAPI_OK;
}

KelapiResult book_order_book(Library& lib, uint32_t class_number, uint32_t security_number, bool subscribe) {
  LibraryLock lock(lib);
  int64_t s = -1;
  const KelapiResult r = check_subscription(lib, class_number, security_number, s);
  if (r != KELAPI_OK) return r;
  if (!lib.post_command(subscribe ? kCommandBookOrderBook : kCommandUnbookOrderBook, static_cast<uintptr_t>(s))) {
    return platform::get_last_error();
  }
  return KELAPI_OK;
}

KelapiResult get_order_book(Library& lib, uint32_t class_number, uint32_t security_number, uint16_t* count,
                            KelapiQuotesPriceRecord** records) {
  LibraryLock lock(lib);
  int64_t s = -1;
  const KelapiResult r = check_subscription(lib, class_number, security_number, s);
  if (r != KELAPI_OK) return r;
  if (count == nullptr || records == nullptr) return KELAPI_E_INVALIDARG;
  auto it = lib.quote_tables.books.find(static_cast<int32_t>(s));
  if (it == lib.quote_tables.books.end()) return KELAPI_E_NOT_BOOKED;
  const std::vector<BookLevel>& levels = it->second.current;
  const int scale = lib.securities.at(static_cast<std::size_t>(s)).h.scale;
  auto* out = static_cast<KelapiQuotesPriceRecord*>(lib.hand_out(levels.size() * sizeof(KelapiQuotesPriceRecord)));
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const BookLevel& l = levels[i];
    KelapiQuotesPriceRecord& o = out[i];
    std::memset(&o, 0, sizeof o);
    o.price = scaled(l.price, scale);
    o.second_price = scaled(l.second_price, scale);
    o.value = l.value / 100.0;
    o.flags = (l.flags & 4) != 0 ? 4 : 0;
    o.quantity = l.quantity;
    copy_bounded(o.text1, l.text1, 12);
    copy_bounded(o.text2, l.text2, 3);
  }
  *count = static_cast<uint16_t>(levels.size());
  *records = out;
  return KELAPI_OK;
}

}  // namespace kelda::kelapi
