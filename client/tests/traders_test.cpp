// Traders and trader messages: the sorted list, receipts, the reads and the
// booking, through the library's real handler table and worker.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "library_fixture.h"
#include "messages/records_services.h"
#include "traders/traders.h"

namespace kelda::kelapi::test {
namespace {

constexpr int32_t kUser = 7;  // the session id of open_session()

Msg803E_Trader trader(int32_t id, const char* name, const char* text1 = "") {
  Msg803E_Trader t{};
  t.trader_id = id;
  std::strcpy(t.name, name);
  std::strcpy(t.text1, text1);
  std::strcpy(t.code, "C");
  return t;
}

std::vector<int32_t> ids(const TraderTables& tables) {
  std::vector<int32_t> out;
  for (const auto& r : tables.traders) out.push_back(r->t.trader_id);
  return out;
}

TEST(TraderList, SortedByNameThenTextOneAndARenamedTraderIsKeptOnce) {
  TraderTables tables;
  put_trader(tables, trader(1, "bravo"));
  put_trader(tables, trader(2, "Alpha", "z"));
  put_trader(tables, trader(3, "alpha", "a"));
  EXPECT_EQ(ids(tables), (std::vector<int32_t>{3, 2, 1}));
  put_trader(tables, trader(1, "bravo")).on_line = 1;
  put_trader(tables, trader(1, "aaron"));
  EXPECT_EQ(ids(tables), (std::vector<int32_t>{1, 3, 2}));
  EXPECT_EQ(tables.traders[0]->on_line, 1u) << "the on-line state stays with the trader";
}

class TradersTest : public LibraryTest {
 protected:
  void start(uint32_t flags = 0) {
    ASSERT_EQ(init(flags, 1), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session(kUser);
    describe_market(5, "CLS", {"AAA"}, {"last"});
    end_class_lists();
  }

  static Msg8083_TraderMessage message(int32_t id, int32_t sender, int32_t recipient, uint16_t flags = 0) {
    Msg8083_TraderMessage m{};
    m.times.sent = {20240105, 101010};
    m.message_id = id;
    m.sender = sender;
    m.recipient = recipient;
    m.flags = flags;
    std::strcpy(m.text, "hello");
    std::strcpy(m.text2, "two");
    return m;
  }

  bool wait_sent(uint16_t id, std::size_t n) {
    for (int i = 0; i < 3000 && net->sent(id).size() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return net->sent(id).size() >= n;
  }
};

TEST_F(TradersTest, MessagesToThisUserAreKeptAndReceiptedOnlyThen) {
  start();
  net->clear_sent();
  net->deliver(0x8083, message(1, 3, kUser));          // to the user: receipt
  net->deliver(0x8083, message(2, 3, kUser, 0x100));   // asks for no receipt
  net->deliver(0x8083, message(3, kUser, 3));          // the user's own, echoed
  net->deliver(0x8083, message(4, 3, 9));              // between others: dropped, no receipt
  net->deliver(0x8044, Msg8044_Receipt{{{0, 0}, {20240105, 121212}}, 77, 3, 0});  // unknown id
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(net->sent(0x8044).size(), 1u);
  EXPECT_EQ(net->sent(0x8044)[0].as<Msg8044_Receipt>().message_id, 1);
  EXPECT_TRUE(events(KELAPI_EVENT_NEWTRADERMSG).empty()) << "nothing is announced before the booking";

  KelapiTraderMsgRecord r;
  ASSERT_EQ(KelapiGetTraderMsgEx(3, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.sent_by_user, 1u);
  EXPECT_STREQ(r.text, "hello");
  EXPECT_STREQ(r.text2, "two");
  EXPECT_EQ(KelapiGetTraderMsgEx(4, &r, sizeof r), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiGetTraderMsgEx(3, &r, 1136), KELAPI_E_STRUCT_SIZE);
  KelapiTraderMsgRecordEx ex;
  ASSERT_EQ(KelapiGetTraderMsgEx2(1, &ex, sizeof ex), KELAPI_OK);
  EXPECT_NE(ex.received_date, 0u) << "the receipt's moment is kept";

  ASSERT_EQ(KelapiBookTraders(), KELAPI_OK);
  EXPECT_EQ(KelapiBookTraders(), KELAPI_E_ALREADY_BOOKED);
  ASSERT_TRUE(wait_sent(0x71, 1));
  EXPECT_EQ(net->sent(0x71)[0].as<Word32>().value, 2) << "the newest message received from someone else";
  EXPECT_EQ(events(KELAPI_EVENT_NEWTRADERMSG).size(), 3u);

  net->deliver(0x8044, Msg8044_Receipt{{{0, 0}, {20240105, 131313}}, 3, kUser, 4});
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(events(KELAPI_EVENT_NEWTRADERMSG).size(), 4u);
  ASSERT_EQ(KelapiGetTraderMsgEx(3, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.received_time, 131313u);
  EXPECT_EQ(r.flags, 4u);
}

TEST_F(TradersTest, TradersComeAndGoWithTheirState) {
  start();
  net->deliver(0x803E, trader(5, "Eve"));
  net->deliver(0x8040, Word32{5});
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiBookTraders(), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWTRADER, 1));
  KelapiTraderRecord r;
  ASSERT_EQ(KelapiGetTraderEx(5, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.on_line, 1u);
  EXPECT_STREQ(r.name, "Eve");
  EXPECT_EQ(KelapiGetTraderEx(5, &r, 215), KELAPI_E_STRUCT_SIZE);
  net->deliver(0x8041, Word32{5});
  net->deliver(0x803F, Word32{5});
  net->deliver(0x803F, Word32{6});  // unknown: nothing
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(events(KELAPI_EVENT_NEWTRADER).size(), 3u);
  EXPECT_EQ(KelapiGetTraderEx(5, &r, sizeof r), KELAPI_E_INVALIDARG);

  ASSERT_EQ(KelapiSendTraderMsgEx(5, 1, 0, "hi"), KELAPI_OK);
  ASSERT_EQ(net->sent(0x8082).size(), 1u);
  const auto sent = net->sent(0x8082)[0].as<Msg8082_SendTraderMessage>();
  EXPECT_EQ(sent.recipient, 5);
  EXPECT_EQ(sent.sender, kUser);
  EXPECT_EQ(sent.flags, 1);
  EXPECT_STREQ(sent.text, "hi");
  EXPECT_EQ(KelapiSendTraderMsgEx(5, 0, 0, nullptr), KELAPI_E_POINTER);
}

}  // namespace
}  // namespace kelda::kelapi::test
