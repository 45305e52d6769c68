// Quotes and order books from the server's messages to the caller's
// records, through the library's real handler table and worker.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <string>
#include <vector>

#include "library_fixture.h"
#include "messages/records_values.h"

namespace kelda::kelapi::test {
namespace {

class QuotesTest : public LibraryTest {
 protected:
  // Class CLS (server id 5) with AAA (1000) and BBB (1001), scale 2.
  void start(int fresh = 1) {
    ASSERT_EQ(init(0, fresh), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
    end_class_lists();
    ASSERT_EQ(events(KELAPI_EVENT_START).size(), 1u);
  }

  static Msg804F_Quote quote(int32_t number, int32_t security, uint32_t flags = 0) {
    Msg804F_Quote q{};
    q.number = number;
    q.value1 = (int64_t{3} << 32) | 5;
    q.word2 = 2;
    q.flags = flags;
    std::strcpy(q.text3, "three");
    std::memcpy(q.text4, "fourfourfourfour", 13);  // no terminator
    q.security_id = security;
    q.price5 = 10050;
    q.word6 = 6;
    std::strcpy(q.text7, "RUB");
    q.amount10 = 1234;
    q.word11 = -1;
    q.price17 = 17;
    return q;
  }

  static Msg8050_OrderBookLevel level(int32_t security, int32_t price, int32_t quantity, uint32_t flags = 0) {
    Msg8050_OrderBookLevel l{};
    l.flags = flags;
    std::strcpy(l.text1, "L1");
    l.security_id = security;
    l.price = price;
    l.quantity = quantity;
    std::strcpy(l.text2, "ABCDEF");
    l.second_price = price + 1;
    l.value = 1234;
    return l;
  }

  std::vector<KelapiQuotesPriceRecord> book(KelapiResult expected = KELAPI_OK) {
    uint16_t count = 0xFFFF;
    KelapiQuotesPriceRecord* records = nullptr;
    EXPECT_EQ(KelapiGetQuotesPriceEx(1, 2, &count, &records), expected);
    if (expected != KELAPI_OK) return {};
    std::vector<KelapiQuotesPriceRecord> out(records, records + count);
    KelapiFree(records);
    return out;
  }

  bool wait_sent(uint16_t id, std::size_t n) {
    for (int i = 0; i < 3000 && net->sent(id).size() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return net->sent(id).size() >= n;
  }
};

TEST_F(QuotesTest, QuotesAreKeptInNumberOrderAndCopiedOutScaled) {
  start();
  net->deliver(0x804F, quote(7, 1001));
  net->deliver(0x804F, quote(3, 1001));
  net->deliver(0x804F, quote(9, 4242));  // unknown security: dropped
  ASSERT_TRUE(net->wait_handled());
  const auto announced = events(KELAPI_EVENT_NEWQUOTE);
  ASSERT_EQ(announced.size(), 2u);
  EXPECT_EQ(announced[0].lparam, 8u);
  EXPECT_EQ(announced[1].lparam, 4u);

  KelapiQuoteRecord r;
  ASSERT_EQ(KelapiGetQuoteEx(4, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.record_number, 4u);
  EXPECT_EQ(r.class_number, 1u);
  EXPECT_EQ(r.security_number, 2u);
  EXPECT_EQ(r.price5, 10050 * 0.1 * 0.1);
  EXPECT_EQ(r.amount10, 12.34) << "hundredths: divided by 100";
  EXPECT_EQ(r.price17, 17 * 0.1 * 0.1);
  EXPECT_EQ(r.value1[0], 5u);
  EXPECT_EQ(r.value1[1], 3u);
  EXPECT_EQ(r.word11, 0xFFFF);
  EXPECT_STREQ(r.text3, "three");
  EXPECT_STREQ(r.text4, "fourfourfour") << "bounded to 12 characters";
  EXPECT_STREQ(r.text7, "RUB");
  EXPECT_EQ(KelapiGetQuoteEx(5, &r, sizeof r), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiGetQuoteEx(4, &r, sizeof r - 1), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetQuoteEx(4, nullptr, sizeof r), KELAPI_E_POINTER);
  bool logged = false;
  for (const auto& d : diagnostics()) logged |= d.find("seqnumber = 9") != std::string::npos;
  EXPECT_TRUE(logged);

  // The journal gives the table back after a restart.
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(init(0, 0), KELAPI_OK);
  ASSERT_EQ(KelapiGetQuoteEx(8, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.security_number, 2u);
}

TEST_F(QuotesTest, BookingAnnouncesTheTableAndAsksForWhatFollowsIt) {
  start();
  net->deliver(0x804F, quote(3, 1000, 0x1));
  net->deliver(0x804F, quote(7, 1000));
  ASSERT_TRUE(net->wait_handled());
  net->clear_sent();
  ASSERT_EQ(KelapiBookQuotes(), KELAPI_OK);
  EXPECT_EQ(KelapiBookQuotes(), KELAPI_E_ALREADY_BOOKED);
  ASSERT_TRUE(wait_sent(0xC1, 1));
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWQUOTE, 4));
  EXPECT_EQ(net->sent(0xC0).at(0).as<Word32>().value, 8) << "after the last quote of the table";
  EXPECT_EQ(net->sent(0xC1).at(0).as<Word32>().value, 3) << "the quote flagged for asking again";
  net->deliver(0xC2, nullptr, 0);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(net->sent(0xC0).back().as<Word32>().value, 0);
}

TEST_F(QuotesTest, AnOrderBookIsSwappedInWholeAndEndsWithItsSubscription) {
  start();
  EXPECT_EQ(KelapiBookQuotesPriceEx(1, 3), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiBookQuotesPriceEx(2, 1), KELAPI_E_INVALIDARG);
  book(KELAPI_E_NOT_BOOKED);
  ASSERT_EQ(KelapiBookQuotesPriceEx(1, 2), KELAPI_OK);
  ASSERT_EQ(KelapiBookQuotesPriceEx(1, 2), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x804B, 1));
  net->deliver(0x804D, Word32{1001});
  net->deliver(0x804E, Word32{1001});
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(events(KELAPI_EVENT_NEWQUOTESPRICE).size(), 1u) << "an empty book is announced too";
  EXPECT_TRUE(book().empty());

  net->deliver(0x804D, Word32{1001});
  net->deliver(0x8050, level(1001, 10050, 5, 0x4));
  net->deliver(0x8050, level(1001, 10040, 7));
  ASSERT_TRUE(net->wait_handled());
  EXPECT_TRUE(book().empty()) << "levels before the end are not visible";
  net->deliver(0x804E, Word32{1001});
  ASSERT_TRUE(net->wait_handled());
  const auto announced = events(KELAPI_EVENT_NEWQUOTESPRICE);
  ASSERT_EQ(announced.size(), 2u);
  EXPECT_EQ(announced[1].wparam, 1u);
  EXPECT_EQ(announced[1].lparam, 2u);
  const auto levels = book();
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[0].price, 10050 * 0.1 * 0.1);
  EXPECT_EQ(levels[0].second_price, 10051 * 0.1 * 0.1);
  EXPECT_EQ(levels[0].value, 12.34);
  EXPECT_EQ(levels[0].flags, 4u);
  EXPECT_EQ(levels[0].quantity, 5);
  EXPECT_STREQ(levels[0].text1, "L1");
  EXPECT_STREQ(levels[0].text2, "ABC");
  EXPECT_EQ(levels[1].flags, 0u);

  ASSERT_EQ(KelapiUnbookQuotesPriceEx(1, 2), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x804C, 1));
  EXPECT_EQ(net->sent(0x804C).size(), 1u);
  book(KELAPI_E_NOT_BOOKED);
  EXPECT_EQ(net->sent(0x804B).size(), 1u) << "a second subscription is ignored";

  // A broken link ends every book; booking again after the reconnect works.
  ASSERT_EQ(KelapiBookQuotesPriceEx(1, 1), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x804B, 2));
  net->raise(kNetEventClosed);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWSTATUS, 1));
  EXPECT_EQ(KelapiGetQuotesPriceEx(1, 1, nullptr, nullptr), KELAPI_E_NOT_CONNECTED);
  LibraryLock lock(*lib);
  EXPECT_TRUE(lib->quote_tables.books.empty());
}

}  // namespace
}  // namespace kelda::kelapi::test
