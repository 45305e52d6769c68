// Trades from the server's messages to the caller's records, through the
// library's real handler table, worker and journal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "library_fixture.h"
#include "messages/records_trades.h"

namespace kelda::kelapi::test {
namespace {

class TradesTest : public LibraryTest {
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

  static Msg806F_Trade trade(int32_t sequence, int32_t security = 1001) {
    Msg806F_Trade t{};
    t.sequence = sequence;
    t.number = 7000000000.0 + sequence;
    t.order_number = 9000000001.0;
    t.time = 101503;
    std::strcpy(t.comment, "c");
    std::strcpy(t.account, "L01-00000F00");
    t.security = security;
    t.price = 10050;
    t.quantity = 3;
    t.value = 301500;
    t.amount1 = 150;
    t.amount2 = -20;
    t.flags = 0x4 | 0x1;
    t.price2 = 1;
    t.amount4 = 40;
    t.short1 = 7;
    t.short2 = -1;
    t.fee1 = 100;
    t.fee2 = 20;
    t.fee3 = 3;
    t.word1 = 11;
    std::strcpy(t.short_code1, "SC1");
    t.text_count = 200;  // more than the array holds
    std::memset(t.text, 'x', sizeof t.text);
    t.short_text_count = 3;
    std::memcpy(t.short_text, "abcdef", 6);
    return t;
  }

  std::vector<uintptr_t> announced() const {
    std::vector<uintptr_t> out;
    for (const auto& e : events(KELAPI_EVENT_NEWTRADE)) out.push_back(e.lparam);
    return out;
  }

  bool wait_sent(uint16_t id, std::size_t n) {
    for (int i = 0; i < 3000 && net->sent(id).size() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return net->sent(id).size() >= n;
  }
};

TEST_F(TradesTest, OnlyNewerTradesAreKeptAndTheyAreCopiedOutScaled) {
  start();
  for (int32_t s : {0, 2, 1, 2, 3}) net->deliver(0x806F, trade(s));
  net->deliver(0x806F, trade(4, 4242));  // unknown security: dropped
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(announced(), (std::vector<uintptr_t>{1, 3, 4})) << "a trade not above the last is ignored";

  KelapiTradeRecord r;
  std::memset(&r, 0xAB, sizeof r);
  ASSERT_EQ(KelapiGetTradeEx7(3, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.row_number, 3u);
  EXPECT_EQ(r.class_number, 1u);
  EXPECT_EQ(r.security_number, 2u);
  EXPECT_EQ(r.trade_number, 7000000002.0);
  EXPECT_EQ(r.order_number, 9000000001.0);
  EXPECT_EQ(r.price, 10050 * 0.1 * 0.1);
  EXPECT_DOUBLE_EQ(r.price2, 0.01);
  EXPECT_EQ(r.value, 3015.0);
  EXPECT_EQ(r.amount1, 1.5);
  EXPECT_EQ(r.amount2, -0.2);
  EXPECT_DOUBLE_EQ(r.amount4, 0.4);
  EXPECT_DOUBLE_EQ(r.total_fee, 1.23);
  EXPECT_DOUBLE_EQ(r.fee1, 1.0);
  EXPECT_EQ(r.sell, 1);
  EXPECT_EQ(r.flag0, 1);
  EXPECT_EQ(r.quantity, 3);
  EXPECT_EQ(r.short1, 7);
  EXPECT_EQ(r.short2, -1);
  EXPECT_STREQ(r.account, "L01-00000F00");
  EXPECT_EQ(std::strlen(r.text), 64u) << "a counted text is bounded to 64 characters";
  EXPECT_EQ(r.word1, 11);
  EXPECT_STREQ(r.short_code1, "SC1");
  EXPECT_STREQ(r.short_text, "abc");

  std::memset(&r, 0xAB, sizeof r);
  ASSERT_EQ(KelapiGetTradeEx6(3, &r, 344), KELAPI_OK);
  EXPECT_EQ(r.word1, 0) << "the shorter record ends before word 1";
  EXPECT_EQ(static_cast<uint8_t>(r.short_code1[0]), 0xABu);
  EXPECT_EQ(KelapiGetTradeEx6(3, &r, 392), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetTradeEx7(2, &r, sizeof r), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiGetTradeEx7(3, nullptr, sizeof r), KELAPI_E_POINTER);

  // The journal gives the table back, and repetitions stay ignored.
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(init(0, 0), KELAPI_OK);
  ASSERT_EQ(KelapiGetTradeEx7(4, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.security_number, 2u);
}

// Each amount reaches the caller the way the server itself converts it: the
// value and amounts 1 to 3 through the scale rule, amounts 4 and 5 and the
// fees multiplied by 0.01. The last bit of a double tells the methods apart
// (41 hundredths: 0.41 divided by 100, 0.41000000000000003 multiplied by
// 0.01, 0.4100000000000001 through the scale rule).
TEST_F(TradesTest, EachAmountIsScaledByItsOwnRule) {
  start();
  Msg806F_Trade t = trade(0);
  t.value = 67366674;
  t.amount1 = t.amount2 = t.amount3 = t.amount4 = t.amount5 = 41;
  t.fee1 = 41;
  t.fee2 = t.fee3 = 0;
  net->deliver(0x806F, t);
  ASSERT_TRUE(net->wait_handled());
  KelapiTradeRecord r;
  ASSERT_EQ(KelapiGetTradeEx7(1, &r, sizeof r), KELAPI_OK);
  const struct {
    const char* field;
    double got;
    double expected;
  } cases[] = {
      {"value", r.value, 673666.7400000001},     {"amount 1", r.amount1, 0.4100000000000001},
      {"amount 2", r.amount2, 0.4100000000000001}, {"amount 3", r.amount3, 0.4100000000000001},
      {"amount 4", r.amount4, 0.41000000000000003}, {"amount 5", r.amount5, 0.41000000000000003},
      {"fee 1", r.fee1, 0.41000000000000003},    {"total fee", r.total_fee, 0.41000000000000003},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.field;
}

TEST_F(TradesTest, BookingAsksForWhatFollowsAndTheResetRepeatsNothing) {
  start();
  net->deliver(0x806F, trade(0));
  net->deliver(0x806F, trade(1));
  ASSERT_TRUE(net->wait_handled());
  net->clear_sent();
  ASSERT_EQ(KelapiBookTrades(), KELAPI_OK);
  EXPECT_EQ(KelapiBookTrades(), KELAPI_E_ALREADY_BOOKED);
  ASSERT_TRUE(wait_sent(0x1C, 1));
  EXPECT_EQ(net->sent(0x1C).at(0).as<Word32>().value, 2);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWTRADE, 4));

  net->deliver(0x2D, nullptr, 0);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(net->sent(0x1C).back().as<Word32>().value, 0);
  net->deliver(0x806F, trade(0));
  net->deliver(0x806F, trade(1));
  net->deliver(0x806F, trade(2));
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(events(KELAPI_EVENT_NEWTRADE).size(), 5u) << "only trade 2 is new";
}

TEST_F(TradesTest, ReadOnceTradesAreNotDeliveredAgainWhenRepeated) {
  start(KELAPI_INIT_READ_ONCE_TRADES);
  net->deliver(0x806F, trade(0));
  ASSERT_TRUE(net->wait_handled());
  KelapiTradeRecord r;
  ASSERT_EQ(KelapiGetTradeEx7(1, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(KelapiGetTradeEx7(1, &r, sizeof r), KELAPI_E_INVALIDARG);
  net->deliver(0x806F, trade(0));  // the server repeats it
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(events(KELAPI_EVENT_NEWTRADE).size(), 1u);
  EXPECT_EQ(KelapiGetTradeEx7(1, &r, sizeof r), KELAPI_E_INVALIDARG);
}

}  // namespace
}  // namespace kelda::kelapi::test
