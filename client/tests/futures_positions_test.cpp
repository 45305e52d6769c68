// Futures limits and holdings, and account positions: updates, deletion,
// the caller's layouts and the requests they send.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <span>
#include <thread>

#include "futures/futures.h"
#include "library_fixture.h"
#include "positions/positions.h"

namespace kelda::kelapi::test {
namespace {

class FuturesPositionsTest : public LibraryTest {
 protected:
  void start() {
    ASSERT_EQ(init(0, 1), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA"}, {"last"});
    end_class_lists();
  }

  bool wait_sent(uint16_t id) {
    for (int i = 0; i < 30000 && net->sent(id).empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return !net->sent(id).empty();
  }

  static Msg8068_FuturesLimit limit(int32_t number, const char* account, int16_t type) {
    Msg8068_FuturesLimit l{};
    l.number = number;
    std::strcpy(l.firm, "FIRM");
    std::strcpy(l.account, account);
    l.type = type;
    l.l2 = 150000;
    l.l5 = -250;
    l.w3 = -250;
    l.l10 = 1000;
    return l;
  }

  static Msg8069_FuturesHolding holding(int32_t number, const char* security, int16_t kind) {
    Msg8069_FuturesHolding h{};
    h.number = number;
    std::strcpy(h.firm, "FIRM");
    std::strcpy(h.account, "ACC");
    std::strcpy(h.security, security);
    h.kind = kind;
    h.h2 = 5;
    h.h5 = 7;
    h.h8 = 12345;
    h.e2 = 1050;
    h.e3 = 300;
    return h;
  }
};

TEST_F(FuturesPositionsTest, FuturesLimitsAreReadAndADeletionKeepsTheOthersNumbers) {
  start();
  KelapiFuturesLimitRecordEx ex;
  EXPECT_EQ(KelapiGetFuturesLimitEx(1, &ex, 1), KELAPI_E_INVALIDARG) << "no futures data yet, even with a wrong size";
  net->deliver(0x8068, limit(0, "A0", 1));
  net->deliver(0x8068, limit(1, "A1", 2));
  Msg0092_FuturesLimitOld old{};
  old.number = 2;
  std::strcpy(old.account, "A2");
  old.l1 = 300;
  net->deliver(0x92, old);
  Msg0098_FuturesLimitDeleted kill{};
  kill.number = 99;  // not held: the type and account find it
  std::strcpy(kill.account, "A1");
  kill.type = 2;
  net->deliver(0x98, kill);
  ASSERT_TRUE(net->wait_handled());
  const auto killed = events(KELAPI_EVENT_KILLFUTURESLIMIT);
  ASSERT_EQ(killed.size(), 1u);
  EXPECT_EQ(killed[0].lparam, 2u);

  KelapiFuturesLimitRecord r;
  EXPECT_EQ(KelapiGetFuturesLimit(2, &r), KELAPI_E_INVALIDARG);
  ASSERT_EQ(KelapiGetFuturesLimit(3, &r), KELAPI_OK);
  EXPECT_STREQ(r.account, "A2");
  EXPECT_DOUBLE_EQ(r.l1, 3.0);
  EXPECT_EQ(KelapiGetFuturesLimitEx(1, &ex, 88), KELAPI_E_STRUCT_SIZE);
  ASSERT_EQ(KelapiGetFuturesLimitEx(1, &ex, sizeof ex), KELAPI_OK);
  EXPECT_EQ(ex.w3, -2) << "truncated toward zero";
  EXPECT_DOUBLE_EQ(ex.l2, 1500.0);
  EXPECT_DOUBLE_EQ(ex.l10, 10.0);
  EXPECT_EQ(ex.type, 1);
  EXPECT_STREQ(ex.firm, "FIRM");
  ASSERT_EQ(KelapiGetFuturesLimitEx(3, &ex, sizeof ex), KELAPI_OK);
  EXPECT_EQ(ex.w3, 0) << "the older form has no W3";

  LibraryLock lock(*lib);
  const Msg0098_FuturesLimitDeleted again{0, "A0", 1};
  replay_futures(*lib, 30, std::span(reinterpret_cast<const uint8_t*>(&again), sizeof again));
  EXPECT_EQ(lib->futures.limits.size(), 1u) << "the journal's deletion removes the limit";
}

TEST_F(FuturesPositionsTest, HoldingsTheirKindScaleAndTheCorrection) {
  start();
  EXPECT_EQ(KelapiFuturesClientHoldingOpenPosCorrection("S", "A", "F", 1), KELAPI_E_INVALIDARG);
  net->deliver(0x8069, holding(0, "UNKNOWN", 3));
  net->deliver(0x8069, holding(1, "AAA", 4));
  ASSERT_TRUE(net->wait_handled());
  KelapiFuturesHoldingRecord r;
  ASSERT_EQ(KelapiGetFuturesHolding(1, &r), KELAPI_OK);
  EXPECT_EQ(r.kind, 0) << "kind 3 is not a known kind";
  EXPECT_DOUBLE_EQ(r.h8, 123.45) << "scale 2 for an unknown security";
  EXPECT_EQ(r.h2, 5);
  EXPECT_EQ(r.h5, 7);
  EXPECT_DOUBLE_EQ(r.e2, 10.5);
  KelapiFuturesHoldingRecordEx ex;
  ASSERT_EQ(KelapiGetFuturesHoldingEx(2, &ex, sizeof ex), KELAPI_OK);
  EXPECT_EQ(ex.kind, 4);
  EXPECT_DOUBLE_EQ(ex.e3, 3.0);
  EXPECT_STREQ(ex.security, "AAA");
  EXPECT_EQ(KelapiGetFuturesHoldingEx(2, &ex, 128), KELAPI_E_STRUCT_SIZE);
  fill_futures_holding_ex(holding(1, "AAA", 1), 0, ex);
  EXPECT_DOUBLE_EQ(ex.h8, 12345.0) << "scale 0";

  EXPECT_EQ(KelapiFuturesClientHoldingOpenPosCorrection("SEC-13-CHARSX", "A", "F", 1), KELAPI_E_INVALID_LENGTH);
  ASSERT_EQ(KelapiFuturesClientHoldingOpenPosCorrection("SEC", "ACC", "FIRM", 12.5), KELAPI_OK);
  const auto sent = net->sent(0x8087).at(0).as<Msg8087_HoldingCorrection>();
  EXPECT_STREQ(sent.firm, "FIRM");
  EXPECT_STREQ(sent.account, "ACC");
  EXPECT_STREQ(sent.security, "SEC");
  EXPECT_DOUBLE_EQ(sent.value, 12.5);

  net->clear_sent();
  ASSERT_EQ(KelapiBookFutures(), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x96));
  ASSERT_EQ(net->sent().size(), 2u);
  EXPECT_EQ(net->sent()[0].id, 0x93);
  EXPECT_EQ(events(KELAPI_EVENT_NEWFUTURESHOLDING).size(), 4u) << "two arrivals and two announcements";
}

TEST_F(FuturesPositionsTest, PositionsAreCreatedWithCodesAndUpdatedByNumber) {
  start();
  Msg808B_PositionValues values{};
  values.number = 3;
  values.p0 = 1;
  values.p9 = 9;
  values.p10 = 10;
  net->deliver(0x808B, values);  // no such position: dropped
  ASSERT_TRUE(net->wait_handled());
  EXPECT_TRUE(events(KELAPI_EVENT_NEWACCOUNTPOSITION).empty());

  Msg802A_AccountPosition created{};
  created.number = 3;
  std::strcpy(created.code1, "CLIENT");
  std::strcpy(created.code2, "SUR");
  std::strcpy(created.code3, "T0");
  std::strcpy(created.code4, "A fourth code of thirty chars.");
  net->deliver(0x802A, created);
  values.p1 = 11;
  values.p8 = 88;
  net->deliver(0x808B, values);
  ASSERT_TRUE(net->wait_handled());
  KelapiAccountPositionRecordEx2 ex2;
  ASSERT_EQ(KelapiGetAccountPositionEx2(4, &ex2, sizeof ex2), KELAPI_OK);
  const double expected[11] = {11, 0, 0, 1, 0, 0, 0, 0, 88, 9, 10};
  for (int i = 0; i < 11; ++i) EXPECT_DOUBLE_EQ(ex2.values[i], expected[i]) << i;
  EXPECT_STREQ(ex2.code4, "A fourth code of thirty chars.");
  EXPECT_EQ(ex2.number, 4);

  Msg807D_PositionValuesOld older{};
  older.number = 3;
  older.p1 = 5;
  net->deliver(0x807D, older);
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiGetAccountPositionEx2(4, &ex2, sizeof ex2), KELAPI_OK);
  EXPECT_DOUBLE_EQ(ex2.values[9], 0.0) << "the older update clears P9 and P10";
  EXPECT_DOUBLE_EQ(ex2.values[0], 5.0);

  net->deliver(0x802A, created);  // again: the values are reset
  ASSERT_TRUE(net->wait_handled());
  KelapiAccountPositionRecord r;
  ASSERT_EQ(KelapiGetAccountPosition(4, &r), KELAPI_OK);
  EXPECT_DOUBLE_EQ(r.p1, 0.0);
  EXPECT_STREQ(r.code1, "CLIENT");
  EXPECT_STREQ(r.code3, "T0");
  EXPECT_EQ(events(KELAPI_EVENT_NEWACCOUNTPOSITION).size(), 4u);

  KelapiAccountPositionRecordEx ex;
  EXPECT_EQ(KelapiGetAccountPositionEx(4, nullptr, 152), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetAccountPositionEx(4, nullptr, 136), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiGetAccountPosition(4, nullptr), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiGetAccountPositionEx(5, &ex, 136), KELAPI_E_INVALIDARG);
}

TEST_F(FuturesPositionsTest, TheOldestPositionFormIsConvertedAndBookingAsksTwice) {
  start();
  Msg004C_AccountPositionOld m{};
  m.number = 0;
  std::strcpy(m.code1, "C");
  m.value1 = 1;
  m.value4 = 4;
  m.value5 = 5;
  m.value6 = 6;
  m.value8 = 8;
  m.value9 = 9;  // dropped
  m.value10 = 10;
  net->deliver(0x4C, m);
  Msg8029_PositionValuesOld update{};
  update.number = 0;
  update.value2 = 2;
  update.value5 = 55;
  update.value6 = 66;  // dropped
  ASSERT_TRUE(net->wait_handled());
  KelapiAccountPositionRecordEx ex;
  ASSERT_EQ(KelapiGetAccountPositionEx(1, &ex, sizeof ex), KELAPI_OK);
  // P1, P3, P4, P0, P2, P5, P6, P7, P8
  const double expected[9] = {0, 4, 5, 1, 0, 6, 0, 8, 0};
  for (int i = 0; i < 9; ++i) EXPECT_DOUBLE_EQ(ex.values[i], expected[i]) << i;
  net->deliver(0x8029, update);
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiGetAccountPositionEx(1, &ex, sizeof ex), KELAPI_OK);
  EXPECT_DOUBLE_EQ(ex.values[0], 2.0);
  EXPECT_DOUBLE_EQ(ex.values[2], 55.0);
  EXPECT_DOUBLE_EQ(ex.values[5], 0.0);

  net->clear_sent();
  ASSERT_EQ(KelapiBookAccountPositions(), KELAPI_OK);
  EXPECT_EQ(KelapiBookAccountPositions(), KELAPI_E_ALREADY_BOOKED);
  ASSERT_TRUE(wait_sent(0x43));
  ASSERT_EQ(net->sent().size(), 2u);
  EXPECT_EQ(net->sent()[0].id, 0x801B);
}

}  // namespace
}  // namespace kelda::kelapi::test
