// Orders from the server's messages to the caller's records, through the
// library's real handler table, worker and journal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "library_fixture.h"
#include "messages/records_orders.h"

namespace kelda::kelapi::test {
namespace {

class OrdersTest : public LibraryTest {
 protected:
  // Class CLS (server id 5) with AAA (1000) and BBB (1001), scale 2.
  void start(uint32_t flags = 0, int fresh = 1) {
    ASSERT_EQ(init(flags, fresh), KELAPI_OK);
    ASSERT_EQ(connect(0xC006), KELAPI_OK);  // orders and trades enabled
    open_session();
    describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
    end_class_lists();
    ASSERT_EQ(events(KELAPI_EVENT_START).size(), 1u);
  }

  static Msg807B_Order order(int32_t sequence, int32_t security, uint32_t flags = 0) {
    Msg807B_Order o{};
    o.sequence = sequence;
    o.number = 9000000000.0 + sequence;
    o.time = 101502;
    o.flags = flags;
    std::strcpy(o.comment, "my comment");
    std::memcpy(o.text1, "ABCDEFGHIJKLM", 13);  // no terminator
    std::strcpy(o.account, "L01-00000F00");
    o.security = security;
    o.price = 10050;
    o.quantity = 10;
    o.balance = 4;
    o.value = 100500;
    o.amount1 = 1234;
    o.amount2 = -250;
    o.second_price = 10100;
    std::strcpy(o.text4, "four");
    o.trade_date = 20240105;
    std::strcpy(o.long_text, "long");
    o.word4 = 44;
    o.value8 = int64_t{1} << 40;
    o.word5 = 55;
    return o;
  }

  bool wait_sent(uint16_t id, std::size_t n) {
    for (int i = 0; i < 3000 && net->sent(id).size() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return net->sent(id).size() >= n;
  }
};

TEST_F(OrdersTest, OrdersAreKeptBySequenceAndCopiedOutScaled) {
  start();
  net->deliver(0x807B, order(7, 1001, 0x1 | 0x4));
  net->deliver(0x807B, order(3, 1000));
  net->deliver(0x807B, order(9, 4242));  // unknown security: dropped
  Msg807B_Order changed = order(7, 1001, 0x2);
  changed.balance = 0;
  net->deliver(0x807B, changed);  // the newest message wins
  ASSERT_TRUE(net->wait_handled());
  const auto announced = events(KELAPI_EVENT_NEWORDER);
  ASSERT_EQ(announced.size(), 3u);
  EXPECT_EQ(announced[0].lparam, 8u);
  EXPECT_EQ(announced[1].lparam, 4u);
  EXPECT_EQ(announced[2].lparam, 8u) << "a replaced order is announced again under its number";

  KelapiOrderRecord r;
  std::memset(&r, 0xAB, sizeof r);
  ASSERT_EQ(KelapiGetOrderEx6(8, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.row_number, 8u);
  EXPECT_EQ(r.flags, 0x2u);
  EXPECT_EQ(r.balance, 0);
  EXPECT_EQ(r.class_number, 1u);
  EXPECT_EQ(r.security_number, 2u);
  EXPECT_EQ(r.order_number, 9000000007.0);
  EXPECT_EQ(r.price, 10050 * 0.1 * 0.1);
  EXPECT_EQ(r.second_price, 10100 * 0.1 * 0.1);
  EXPECT_EQ(r.value, 1005.0);
  EXPECT_EQ(r.amount1, 12.340000000000002) << "the scale rule";
  EXPECT_EQ(r.amount2, -2.5);
  EXPECT_EQ(r.time, 101502);
  EXPECT_EQ(r.quantity, 10);
  EXPECT_EQ(r.trade_date, 20240105);
  EXPECT_STREQ(r.comment, "my comment");
  EXPECT_STREQ(r.text1, "ABCDEFGHIJKL") << "bounded to 12 characters";
  EXPECT_STREQ(r.account, "L01-00000F00");
  EXPECT_STREQ(r.text4, "four");
  EXPECT_STREQ(r.long_text, "long");
  EXPECT_EQ(r.reserved[0], 0);
  EXPECT_EQ(r.word4, 44);
  EXPECT_EQ(r.value8, int64_t{1} << 40);
  EXPECT_EQ(r.word5, 55);

  std::memset(&r, 0xAB, sizeof r);
  ASSERT_EQ(KelapiGetOrderEx5(8, &r, 248), KELAPI_OK);
  EXPECT_EQ(r.balance, 0);
  EXPECT_EQ(static_cast<uint32_t>(r.word5), 0xABABABABu) << "the shorter record ends before word 4";

  EXPECT_EQ(KelapiGetOrderEx5(8, &r, 264), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetOrderEx6(8, &r, 248), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetOrderEx6(0, &r, sizeof r), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiGetOrderEx6(10, &r, sizeof r), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiGetOrderEx6(8, nullptr, sizeof r), KELAPI_E_POINTER);
  bool logged = false;
  for (const auto& d : diagnostics()) logged |= d.find("received order (seqnumber = 9) with unknown sid") != std::string::npos;
  EXPECT_TRUE(logged);

  // The journal gives the table back after a restart.
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  EXPECT_EQ(KelapiGetOrderEx6(8, &r, sizeof r), KELAPI_E_NOT_INITIALIZED);
  ASSERT_EQ(init(0, 0), KELAPI_OK);
  ASSERT_EQ(KelapiGetOrderEx6(8, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.security_number, 2u);
  EXPECT_EQ(r.flags, 0x2u);
  ASSERT_EQ(KelapiGetOrderEx6(4, &r, sizeof r), KELAPI_OK);
}

// Hundredths reach the caller the way the server itself converts them: the
// last bit of a double tells the methods apart (41 hundredths: 0.41 divided
// by 100, 0.4100000000000001 through the scale rule).
TEST_F(OrdersTest, AmountOneGoesThroughTheScaleRuleWhileValueAndAmountTwoAreDivided) {
  start();
  Msg807B_Order o = order(0, 1000);
  o.value = 41;
  o.amount1 = 41;
  o.amount2 = 41;
  net->deliver(0x807B, o);
  ASSERT_TRUE(net->wait_handled());
  KelapiOrderRecord r;
  ASSERT_EQ(KelapiGetOrderEx6(1, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.amount1, 0.4100000000000001);
  EXPECT_EQ(r.value, 0.41);
  EXPECT_EQ(r.amount2, 0.41);
}

TEST_F(OrdersTest, OlderFormsAreBroughtToTheNewest) {
  start();
  Msg805B_Order f805b{};
  f805b.sequence = 1;
  f805b.security = 1000;
  f805b.price = 500;
  f805b.amount2 = 300;
  f805b.trade_date = 19990101;
  std::strcpy(f805b.long_text, "old");
  net->deliver(0x805B, f805b);
  Msg807A_Order f807a{};
  f807a.sequence = 2;
  f807a.security = 1001;
  f807a.word1 = 11;
  f807a.trade_date = 19990102;
  f807a.word5 = 5;
  net->deliver(0x807A, f807a);
  Msg00F4_Order ff4{};
  ff4.sequence = 3;
  ff4.security = 1001;
  ff4.balance = 6;
  ff4.amount1 = 700;
  ff4.word2 = -2;
  std::strcpy(ff4.text3, "t3");
  net->deliver(0x00F4, ff4);
  Msg800E_Order f800e{};
  f800e.sequence = 4;
  f800e.security = 1000;
  f800e.word3 = 33;
  net->deliver(0x800E, f800e);
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(events(KELAPI_EVENT_NEWORDER).size(), 4u);

  KelapiOrderRecord r;
  ASSERT_EQ(KelapiGetOrderEx6(2, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.price, 5.0);
  EXPECT_EQ(r.amount2, 3.0);
  EXPECT_EQ(r.trade_date, 20240105) << "0x805B takes the library's current trade date";
  EXPECT_STREQ(r.long_text, "old");
  ASSERT_EQ(KelapiGetOrderEx6(3, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.word1, 11);
  EXPECT_EQ(r.trade_date, 19990102) << "0x807A keeps its own";
  EXPECT_EQ(r.word5, 5);
  ASSERT_EQ(KelapiGetOrderEx6(4, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.security_number, 2u);
  EXPECT_EQ(r.balance, 6);
  EXPECT_EQ(r.amount1, 7.0);
  EXPECT_EQ(r.word2, -2) << "a 16-bit word keeps its sign";
  EXPECT_STREQ(r.text3, "t3");
  ASSERT_EQ(KelapiGetOrderEx6(5, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.word3, 33);
}

TEST_F(OrdersTest, BookingAnnouncesTheTableAndAsksAgainForActiveOrders) {
  start();
  net->clear_sent();
  ASSERT_EQ(KelapiBookOrders(), KELAPI_OK);
  EXPECT_EQ(KelapiBookOrders(), KELAPI_E_ALREADY_BOOKED);
  ASSERT_TRUE(wait_sent(0x1E, 1));
  EXPECT_EQ(net->sent(0x1E).at(0).as<Word32>().value, 0) << "an empty table asks from the start";
  EXPECT_TRUE(net->sent(0x1F).empty());

  for (int32_t i = 0; i < 10; ++i) net->deliver(0x807B, order(i, 1000, (i == 3 || i == 7) ? 0x1u : 0x2u));
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  open_session();
  end_class_lists();
  net->clear_sent();
  const std::size_t before = events(KELAPI_EVENT_NEWORDER).size();
  ASSERT_EQ(KelapiBookOrders(), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x1F, 2));
  EXPECT_EQ(events(KELAPI_EVENT_NEWORDER).size(), before + 10);
  ASSERT_EQ(net->sent(0x1E).size(), 1u);
  EXPECT_EQ(net->sent(0x1E).at(0).as<Word32>().value, 10);
  EXPECT_EQ(net->sent(0x1F).at(0).as<Word32>().value, 3);
  EXPECT_EQ(net->sent(0x1F).at(1).as<Word32>().value, 7);

  net->deliver(0x2E, nullptr, 0);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(net->sent(0x1E).back().as<Word32>().value, 0) << "the server's reset asks from the start";
}

TEST_F(OrdersTest, ReadOnceModeHandsEachOrderOutOnce) {
  start(KELAPI_INIT_READ_ONCE);
  net->deliver(0x807B, order(0, 1000));
  ASSERT_TRUE(net->wait_handled());
  KelapiOrderRecord r;
  ASSERT_EQ(KelapiGetOrderEx6(1, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(KelapiGetOrderEx6(1, &r, sizeof r), KELAPI_E_INVALIDARG);
}

// Rows restored from the journal stay only where the saved permissions or
// the classes' flags enable their table (0x4: orders).
TEST_F(OrdersTest, RestoredRowsAreDroppedWithoutThePermission) {
  for (const uint32_t permissions : {0xC004u, 0xC000u}) {
    ASSERT_EQ(init(0, 1), KELAPI_OK);
    ASSERT_EQ(connect(permissions), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
    end_class_lists();
    net->deliver(0x807B, order(0, 1000, 0x1));
    ASSERT_TRUE(net->wait_handled());
    ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
    ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
    ASSERT_EQ(init(0, 0), KELAPI_OK);
    {
      LibraryLock lock(*lib);
      EXPECT_EQ(lib->orders.size(), permissions == 0xC004u ? 1u : 0u) << std::hex << permissions;
    }
    ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  }
}

}  // namespace
}  // namespace kelda::kelapi::test
