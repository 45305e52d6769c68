// All trades from the server's nine layouts to the caller's three record
// forms, the feed requests across bookings and reconnects, read-once mode and
// alltrades.dat, through the library's real handler table and worker.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "library_fixture.h"
#include "messages/records_feeds.h"
#include "messages/records_session.h"
#include "session/net_port.h"

namespace kelda::kelapi::test {
namespace {

constexpr uint32_t kReadOnceAllTrades = 0x4;

class AllTradesTest : public LibraryTest {
 protected:
  // Class CLS (server id 5) with AAA (1000) and BBB (1001), scale 2.
  void start(uint32_t flags = 0, int fresh = 1) {
    ASSERT_EQ(init(flags, fresh), KELAPI_OK);
    session();
  }
  void session() {
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
    end_class_lists();
  }
  // A later session: the class is known with the same versions, so the
  // server describes only the class.
  void later_session() {
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    later_classes();
  }
  // The class lists of a later session up to the start event.
  void later_classes() {
    const std::size_t started = events(KELAPI_EVENT_START).size();
    net->clear_sent();
    net->deliver(0x803C, class_description(5, "CLS"));
    ASSERT_TRUE(net->wait_handled());
    Msg8038_ServerIds ids{};
    ids.request = last_request(0x8039);
    ids.flags = 4;
    ids.count = 2;
    ids.server_ids[0] = 1000;
    ids.server_ids[1] = 1001;
    net->deliver(0x8038, ids);
    end_class_lists();
    ASSERT_TRUE(wait_events(KELAPI_EVENT_START, started + 1));
  }

  static Msg8025_AllTrade trade(int32_t sequence, int32_t security = 1001) {
    Msg8025_AllTrade t{};
    t.sequence = sequence;
    t.trade_number = 5000000000LL + sequence;
    t.date = 20240105;
    t.time = 101500 + sequence;
    t.flags = 3;
    t.security = security;
    t.price = 12345;
    t.quantity = 4;
    t.value = 250;
    t.amount2 = 150;
    t.amount3 = 75;
    std::strcpy(t.code, "ABCDEFGHIJKL");
    t.rate = 1999;
    t.amount5 = 10;
    t.amount6 = 20;
    t.word = 9;
    return t;
  }

  std::vector<uintptr_t> announced() const {
    std::vector<uintptr_t> out;
    for (const auto& e : events(KELAPI_EVENT_NEWALLTRADE)) out.push_back(e.lparam);
    return out;
  }

  bool wait_sent(uint16_t id, std::size_t n) {
    for (int i = 0; i < 3000 && net->sent(id).size() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return net->sent(id).size() >= n;
  }
  std::vector<int32_t> requests() const {
    std::vector<int32_t> out;
    for (const auto& m : net->sent(0x75)) out.push_back(m.as<Word32>().value);
    return out;
  }
  void deliver(std::initializer_list<int32_t> sequences) {
    for (int32_t s : sequences) net->deliver(0x8025, trade(s));
    ASSERT_TRUE(net->wait_handled());
  }
};

TEST_F(AllTradesTest, EveryLayoutIsStoredAndReadBackInThreeForms) {
  start();
  ASSERT_EQ(KelapiBookAllTrades(0), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x75, 1));
  deliver({0, 2, 1, 2});
  net->deliver(0x8025, trade(3, 4242));  // unknown security: dropped
  Msg8021_AllTrade computed{};  // no value: trading unit x quantity x price
  computed.sequence = 4;
  computed.date = 20240106;
  computed.security = 1000;
  computed.price = 12345;
  computed.quantity = 2;
  net->deliver(0x8021, computed);
  Msg00E9_AllTrade oldest{};
  oldest.sequence = 5;
  oldest.security = 1000;
  oldest.price = 12345;
  oldest.quantity = 3;
  std::strcpy(oldest.code, "XYZ");
  net->deliver(0x00E9, oldest);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(announced(), (std::vector<uintptr_t>{1, 3, 5, 6})) << "a trade not above the last is ignored";

  KelapiAllTradeRecord3 r3;
  std::memset(&r3, 0xAB, sizeof r3);
  ASSERT_EQ(KelapiGetAllTradeEx3(3, &r3, sizeof r3), KELAPI_OK);
  const KelapiAllTradeRecord2& r = r3.base;
  EXPECT_DOUBLE_EQ(r.price, 123.45);
  EXPECT_DOUBLE_EQ(r.value, 2.5);
  EXPECT_DOUBLE_EQ(r.amount2, 1.5);
  EXPECT_DOUBLE_EQ(r.amount3, 0.75);
  EXPECT_DOUBLE_EQ(r.rate, 19.99);
  EXPECT_EQ(r.trade_number, 5000000002LL);
  EXPECT_EQ(r.record_number, 3u);
  EXPECT_EQ(r.date, 20240105);
  EXPECT_EQ(r.time, 101502);
  EXPECT_EQ(r.class_number, 1u);
  EXPECT_EQ(r.security_number, 2u);
  EXPECT_EQ(r.word, 9);
  EXPECT_STREQ(r.code, "ABC");
  EXPECT_EQ(r.empty[0], 0);
  EXPECT_EQ(r3.flags, 3);

  KelapiAllTradeRecord r1;
  ASSERT_EQ(KelapiGetAllTradeEx(3, &r1, sizeof r1), KELAPI_OK);
  EXPECT_EQ(r1.rate, 19) << "the first form truncates the rate";
  EXPECT_DOUBLE_EQ(r1.price, 123.45);
  EXPECT_EQ(r1.security_number, 2u);
  EXPECT_STREQ(r1.code, "ABC");

  KelapiAllTradeRecord2 r2;
  ASSERT_EQ(KelapiGetAllTradeEx2(5, &r2, sizeof r2), KELAPI_OK);
  EXPECT_DOUBLE_EQ(r2.value, 2469.0) << "computed: unit 10 x 2 x 123.45";
  EXPECT_EQ(r2.date, 20240106);
  ASSERT_EQ(KelapiGetAllTradeEx2(6, &r2, sizeof r2), KELAPI_OK);
  EXPECT_DOUBLE_EQ(r2.value, 3703.5) << "unit 10 x 3 x 123.45";
  EXPECT_EQ(r2.date, 20240105) << "a layout without a date takes the trade date";
  EXPECT_STREQ(r2.code, "XYZ");

  EXPECT_EQ(KelapiGetAllTradeEx3(3, &r3, 96), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetAllTradeEx3(3, nullptr, sizeof r3), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiGetAllTradeEx(4, &r1, sizeof r1), KELAPI_E_INVALIDARG) << "a gap in the numbers";
  EXPECT_EQ(KelapiGetAllTradeEx(0, &r1, sizeof r1), KELAPI_E_INVALIDARG);

  // alltrades.dat gives the table back after a restart.
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  EXPECT_EQ(KelapiGetAllTradeEx(3, &r1, sizeof r1), KELAPI_E_NOT_INITIALIZED);
  ASSERT_EQ(init(0, 0), KELAPI_OK);
  ASSERT_EQ(KelapiGetAllTradeEx3(3, &r3, sizeof r3), KELAPI_OK);
  EXPECT_DOUBLE_EQ(r3.base.price, 123.45);
  EXPECT_EQ(r3.flags, 3);
  ASSERT_EQ(KelapiGetAllTradeEx2(6, &r2, sizeof r2), KELAPI_OK);
  EXPECT_DOUBLE_EQ(r2.value, 3703.5);
}

TEST_F(AllTradesTest, TheBookingEndsWithTheConnectionAndTheFeedGoesOnAfterTheLastTrade) {
  start();
  deliver({0, 1});  // trades held before booking
  ASSERT_EQ(KelapiBookAllTrades(1), KELAPI_OK);
  EXPECT_EQ(KelapiBookAllTrades(1), KELAPI_E_ALREADY_BOOKED);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWALLTRADE, 2)) << "restore announces the trades held";
  ASSERT_TRUE(wait_sent(0x75, 1));
  EXPECT_EQ(requests(), (std::vector<int32_t>{2}));
  deliver({2});

  // The link breaks and a new connection starts: the booking went with the
  // old one, so the library asks for nothing by itself (the start event and
  // what follows it run in the handler that later_session waited for).
  net->clear_sent();
  EXPECT_EQ(net->raise(kNetEventClosed), 0);
  later_session();
  EXPECT_TRUE(requests().empty()) << "no feed without a booking";
  deliver({3});
  EXPECT_EQ(announced(), (std::vector<uintptr_t>{1, 2, 3})) << "not announced while not booked";
  ASSERT_EQ(KelapiBookAllTrades(0), KELAPI_OK) << "booked again on the new connection";
  ASSERT_TRUE(wait_sent(0x75, 1));
  EXPECT_EQ(requests(), (std::vector<int32_t>{4})) << "after the last trade held";
  deliver({3, 4});
  EXPECT_EQ(announced(), (std::vector<uintptr_t>{1, 2, 3, 5}));

  // A requested disconnect and a new connect end the booking the same way.
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  net->clear_sent();
  later_session();
  EXPECT_TRUE(requests().empty());
  ASSERT_EQ(KelapiBookAllTrades(0), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x75, 1));
  EXPECT_EQ(requests(), (std::vector<int32_t>{5}));

  // So does a new trading session on the same connection.
  net->clear_sent();
  open_session(7, "KEY2");
  EXPECT_EQ(KelapiBookAllTrades(0), KELAPI_E_START_EVENT_NOT_FIRED);
  later_classes();
  EXPECT_TRUE(requests().empty());
  ASSERT_EQ(KelapiBookAllTrades(0), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x75, 1));
  EXPECT_EQ(requests(), (std::vector<int32_t>{0})) << "the new day's feed starts from its beginning";

  ASSERT_EQ(KelapiUnbookAllTrades(), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x76, 1));
  EXPECT_EQ(KelapiUnbookAllTrades(), KELAPI_OK) << "not booked: nothing to do";
  ASSERT_EQ(KelapiSetDataRefreshTimeout(30), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x801F, 1));
  EXPECT_EQ(net->sent(0x801F).at(0).as<Msg801F_RefreshPeriod>().period, 30);
}

TEST_F(AllTradesTest, AlertsBookTheFeedOnAStartedLinkAndMayBeBookedAgain) {
  EXPECT_EQ(KelapiBookAlerts(0), KELAPI_E_NOT_INITIALIZED);
  ASSERT_EQ(init(0, 1), KELAPI_OK);
  EXPECT_EQ(KelapiBookAlerts(0), KELAPI_E_NOT_CONNECTED);
  session();
  ASSERT_EQ(KelapiBookAlerts(0), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x75, 1));
  EXPECT_EQ(KelapiBookAlerts(0), KELAPI_OK) << "booking again is no error";
  EXPECT_EQ(KelapiBookAllTrades(0), KELAPI_E_ALREADY_BOOKED) << "the feed counts as booked";
  deliver({0, 1});
  EXPECT_EQ(announced(), (std::vector<uintptr_t>{1, 2}));
  EXPECT_EQ(requests(), (std::vector<int32_t>{0})) << "one request for the feed";
}

TEST_F(AllTradesTest, ReadOnceModeHandsEachTradeOutOnceAndTheFileInBatches) {
  // A first run journals 3000 trades (more than one batch of the file).
  start();
  for (int32_t s = 0; s < 3000; ++s) net->deliver(0x8025, trade(s));
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);

  ASSERT_EQ(init(kReadOnceAllTrades, 0), KELAPI_OK);
  later_session();
  net->clear_sent();
  ASSERT_EQ(KelapiBookAllTrades(1), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWALLTRADE, 2048)) << "the first batch";
  EXPECT_TRUE(requests().empty()) << "the file is still being read";
  KelapiAllTradeRecord r;
  for (uint32_t n = 1; n <= 2048; ++n) ASSERT_EQ(KelapiGetAllTradeEx(n, &r, sizeof r), KELAPI_OK) << n;
  EXPECT_EQ(KelapiGetAllTradeEx(1, &r, sizeof r), KELAPI_E_INVALIDARG) << "read once";
  EXPECT_EQ(events(KELAPI_EVENT_NEWALLTRADE).size(), 3000u) << "the emptied table took the next batch";
  for (uint32_t n = 2049; n <= 3000; ++n) ASSERT_EQ(KelapiGetAllTradeEx(n, &r, sizeof r), KELAPI_OK) << n;
  EXPECT_EQ(requests(), (std::vector<int32_t>{3000})) << "the file is read: the feed continues after it";

  // Repeated and live trades: a trade handed out is never delivered again.
  deliver({2999, 3000});
  EXPECT_EQ(events(KELAPI_EVENT_NEWALLTRADE).size(), 3001u);
  ASSERT_EQ(KelapiGetAllTradeEx(3001, &r, sizeof r), KELAPI_OK);
  deliver({3000});
  EXPECT_EQ(events(KELAPI_EVENT_NEWALLTRADE).size(), 3001u);
  EXPECT_EQ(requests().size(), 1u) << "the request is still outstanding";
}

}  // namespace
}  // namespace kelda::kelapi::test
