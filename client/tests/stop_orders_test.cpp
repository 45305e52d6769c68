// Stop orders from the server's messages to the caller's records, through
// the library's real handler table, worker and journal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "library_fixture.h"
#include "messages/records_orders.h"

namespace kelda::kelapi::test {
namespace {

class StopOrdersTest : public LibraryTest {
 protected:
  // Class CLS (server id 5) with AAA (1000, scale 2) and BBB (1001, scale 2).
  void start(uint32_t flags = 0, int fresh = 1) {
    ASSERT_EQ(init(flags, fresh), KELAPI_OK);
    ASSERT_EQ(connect(0xC006), KELAPI_OK);  // orders and trades enabled
    open_session();
    describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
    end_class_lists();
    ASSERT_EQ(events(KELAPI_EVENT_START).size(), 1u);
  }

  static Msg808F_StopOrder stop_order(int32_t sequence, int32_t security = 1000, int32_t condition = 1001,
                                      uint32_t flags = 0) {
    Msg808F_StopOrder s{};
    s.sequence = sequence;
    s.number = 500.0 + sequence;
    s.time = 120000;
    s.flags = flags;
    std::strcpy(s.comment, "stop");
    std::strcpy(s.account, "L01-00000F00");
    s.security = security;
    s.short1 = -3;
    s.stop_price = 9900;
    s.price = 9850;
    s.quantity = 5;
    s.condition_security = condition;
    s.linked_order = 77.0;
    s.linked_price = 10000;
    s.kind = 6;
    s.options = 0x8;
    s.offset = 150;
    s.spread = 20;
    s.filled = 1;
    s.second_stop_price = 9800;
    s.word6 = 66;
    return s;
  }

  bool wait_sent(uint16_t id, std::size_t n) {
    for (int i = 0; i < 3000 && net->sent(id).size() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return net->sent(id).size() >= n;
  }
};

TEST_F(StopOrdersTest, StopOrdersAreKeptInOrderAndCopiedOut) {
  start();
  net->deliver(0x808F, stop_order(5));
  net->deliver(0x808F, stop_order(2, 1001, 1000));
  net->deliver(0x808F, stop_order(9));
  net->deliver(0x808F, stop_order(11, 1000, 4242));  // unknown condition security: dropped
  ASSERT_TRUE(net->wait_handled());
  const auto announced = events(KELAPI_EVENT_NEWSTOPORDER);
  ASSERT_EQ(announced.size(), 3u);
  {
    LibraryLock lock(*lib);
    ASSERT_EQ(lib->stop_orders.size(), 3u);
    EXPECT_EQ(lib->stop_orders.at(0).sequence, 2);
    EXPECT_EQ(lib->stop_orders.at(1).sequence, 5);
    EXPECT_EQ(lib->stop_orders.at(2).sequence, 9);
  }

  KelapiStopOrderRecord r;
  std::memset(&r, 0xAB, sizeof r);
  ASSERT_EQ(KelapiGetStopOrderEx4(3, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.row_number, 3u);
  EXPECT_EQ(r.security_number, 2u);
  EXPECT_EQ(r.condition_security_number, 1u);
  EXPECT_EQ(r.class_number, 1u);
  EXPECT_EQ(r.condition_class_number, 1u);
  EXPECT_EQ(r.stop_order_number, 502.0);
  EXPECT_DOUBLE_EQ(r.stop_price, 99.0);
  EXPECT_DOUBLE_EQ(r.price, 98.5);
  EXPECT_DOUBLE_EQ(r.linked_price, 100.0);
  EXPECT_DOUBLE_EQ(r.offset, 1.5) << "an offset in percent is descaled by 2";
  EXPECT_DOUBLE_EQ(r.spread, 0.2);
  EXPECT_EQ(r.short1, -3);
  EXPECT_EQ(r.kind, 6);
  EXPECT_EQ(r.filled, 1);
  EXPECT_STREQ(r.account, "L01-00000F00");
  EXPECT_STREQ(r.comment, "stop");
  EXPECT_DOUBLE_EQ(r.second_stop_price, 98.0);
  EXPECT_EQ(r.word6, 66);

  std::memset(&r, 0xAB, sizeof r);
  EXPECT_EQ(KelapiGetStopOrderEx3(3, &r, 224), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(static_cast<uint8_t>(r.comment[0]), 0xABu) << "nothing is written";
  ASSERT_EQ(KelapiGetStopOrderEx3(3, &r, 200), KELAPI_OK);
  EXPECT_EQ(static_cast<uint32_t>(r.word6), 0xABABABABu) << "the shorter record ends before the second stop price";
  EXPECT_EQ(KelapiGetStopOrderEx4(12, &r, sizeof r), KELAPI_E_INVALIDARG);

  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(init(0, 0), KELAPI_OK);
  ASSERT_EQ(KelapiGetStopOrderEx4(10, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.security_number, 1u);
}

TEST_F(StopOrdersTest, OlderFormsAndBooking) {
  start();
  Msg00F3_StopOrder old{};
  old.sequence = 1;
  old.security = 1001;
  old.condition_security = 1000;
  old.kind = 7;
  old.word3 = -1;
  old.filled = 4;
  old.flags = 0x1;
  net->deliver(0x00F3, old);
  Msg8059_StopOrder mid{};
  mid.sequence = 0;
  mid.security = 1000;
  mid.condition_security = 1000;
  mid.balance = 8;
  net->deliver(0x8059, mid);
  ASSERT_TRUE(net->wait_handled());
  KelapiStopOrderRecord r;
  ASSERT_EQ(KelapiGetStopOrderEx4(2, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.security_number, 2u);
  EXPECT_EQ(r.kind, 7);
  EXPECT_EQ(r.word3, -1) << "a 16-bit word keeps its sign";
  EXPECT_EQ(r.filled, 4);
  ASSERT_EQ(KelapiGetStopOrderEx4(1, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.balance, 8);

  net->clear_sent();
  ASSERT_EQ(KelapiBookStopOrders(), KELAPI_OK);
  EXPECT_EQ(KelapiBookStopOrders(), KELAPI_E_ALREADY_BOOKED);
  ASSERT_TRUE(wait_sent(0xA3, 1));
  EXPECT_EQ(net->sent(0xA2).at(0).as<Word32>().value, 2);
  EXPECT_EQ(net->sent(0xA3).at(0).as<Word32>().value, 1) << "only the active stop order is asked for again";
  net->deliver(0xA4, nullptr, 0);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(net->sent(0xA2).back().as<Word32>().value, 0);
}

}  // namespace
}  // namespace kelda::kelapi::test
