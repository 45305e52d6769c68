// Negotiated deals, negotiated trades and reports: arrival order, the reads
// and their scaling, booking's requests, fresh starts and the journal.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "library_fixture.h"

namespace kelda::kelapi::test {
namespace {

class NegotiatedTest : public LibraryTest {
 protected:
  // Class CLS (server id 5) with AAA (1000) and BBB (1001), scale 2.
  void start(uint32_t permissions = 0xC004, int fresh = 1) {
    ASSERT_EQ(init(0, fresh), KELAPI_OK);
    ASSERT_EQ(connect(permissions), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
    end_class_lists();
  }
  static Msg8079_NegDeal deal(int32_t sequence, int32_t security, uint32_t flags = 0) {
    Msg8079_NegDeal d{};
    d.sequence = sequence;
    d.number = 700.0 + sequence;
    d.flags = flags;
    d.security = security;
    d.price = 12345;
    d.amount1 = 250;
    d.amount7 = 1999.0;
    d.short1 = -1;
    std::strcpy(d.text7, "ABCDEFG");
    std::strcpy(d.comment, "deal");
    d.value8 = int64_t{1} << 40;
    return d;
  }
  static Msg807F_NegTrade trade(int32_t sequence, uint32_t flags) {
    Msg807F_NegTrade t{};
    t.sequence = sequence;
    t.number = 900.0 + sequence;
    t.flags = flags;
    t.security = 1001;
    t.price = 500;
    t.value2 = 77;
    t.value3 = 1234.0;
    t.short8 = -1;
    t.word7 = 7;
    return t;
  }
  static Msg807E_NegReport report(int32_t sequence, uint32_t flags) {
    Msg807E_NegReport r{};
    r.sequence = sequence;
    r.number = 300.0 + sequence;
    r.flags = flags;
    r.security = 1000;
    r.amount = 4200.0;
    r.short2 = 9;
    r.value8 = 5;
    return r;
  }
  // The requests sent so far, once there are at least n (the worker sends
  // them after its announcements).
  std::vector<std::pair<uint16_t, int32_t>> requests(std::size_t n) {
    for (int i = 0; i < 3000 && requests().size() < n; ++i) {
      platform::Waitable* activity[] = {&net->activity()};
      platform::wait_any(activity, 10);
    }
    return requests();
  }
  std::vector<std::pair<uint16_t, int32_t>> requests() const {
    std::vector<std::pair<uint16_t, int32_t>> out;
    for (const auto& m : net->sent()) {
      if (m.id == 0x40 || m.id == 0x41 || m.id == 0x82 || m.id == 0x83 || m.id == 0x7E || m.id == 0x7F) {
        out.emplace_back(m.id, m.as<int32_t>());
      }
    }
    return out;
  }
};

TEST_F(NegotiatedTest, RowsKeepArrivalOrderAndReadScaled) {
  start();
  KelapiNegDealRecord d;
  EXPECT_EQ(KelapiGetNegDealEx6(1, &d, 1), KELAPI_E_INVALIDARG) << "an empty table answers before the size";
  net->deliver(0x8079, deal(7, 1000));
  net->deliver(0x8079, deal(3, 1001, 0x1));
  net->deliver(0x8079, deal(9, 4242));  // unknown security: dropped
  Msg8079_NegDeal changed = deal(7, 1000, 0x2);
  changed.price = 10000;
  net->deliver(0x8079, changed);
  ASSERT_TRUE(net->wait_handled());
  {
    LibraryLock lock(*lib);
    ASSERT_EQ(lib->negotiated.deals.size(), 2u);
    EXPECT_EQ(lib->negotiated.deals.at(0).sequence, 7) << "overwritten in place";
    EXPECT_EQ(lib->negotiated.deals.at(1).sequence, 3);
  }
  const auto announced = events(KELAPI_EVENT_NEWNEGDEAL);
  ASSERT_EQ(announced.size(), 3u);
  EXPECT_EQ(announced[2].lparam, 8u);

  ASSERT_EQ(KelapiGetNegDealEx6(8, &d, sizeof d), KELAPI_OK);
  EXPECT_DOUBLE_EQ(d.price, 100.0);
  EXPECT_DOUBLE_EQ(d.deal_number, 707.0);
  EXPECT_DOUBLE_EQ(d.amount1, 2.5);
  EXPECT_DOUBLE_EQ(d.amount7, 19.99);
  EXPECT_EQ(d.flags, 0x2u);
  EXPECT_EQ(d.row_number, 8u);
  EXPECT_EQ(d.class_number, 1u);
  EXPECT_EQ(d.security_number, 1u);
  EXPECT_EQ(d.short1, -1);
  EXPECT_STREQ(d.text7, "ABC");
  EXPECT_STREQ(d.comment, "deal");
  EXPECT_EQ(d.value8, int64_t{1} << 40);
  std::memset(&d, 0x5A, sizeof d);
  ASSERT_EQ(KelapiGetNegDealEx5(4, &d, 288), KELAPI_OK);
  EXPECT_EQ(d.security_number, 2u);
  EXPECT_EQ(static_cast<uint32_t>(d.word8), 0x5A5A5A5Au) << "the shorter record ends before word 8";
  EXPECT_EQ(KelapiGetNegDealEx5(4, &d, 304), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetNegDealEx6(10, &d, sizeof d), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiGetNegDealEx6(8, nullptr, sizeof d), KELAPI_E_POINTER);

  net->deliver(0x807F, trade(0, 0xFF));
  net->deliver(0x807E, report(0, 0xFF));
  ASSERT_TRUE(net->wait_handled());
  KelapiNegTradeRecord t;
  ASSERT_EQ(KelapiGetNegTradeEx5(1, &t, sizeof t), KELAPI_OK);
  EXPECT_EQ(t.flags, 0x7u);
  EXPECT_DOUBLE_EQ(t.price, 5.0);
  EXPECT_DOUBLE_EQ(t.value3, 12.34);
  EXPECT_EQ(t.value2, 77) << "passed through";
  EXPECT_EQ(t.word7, 7);
  EXPECT_EQ(KelapiGetNegTradeEx4(1, &t, 320), KELAPI_OK);
  KelapiNegReportRecord r;
  ASSERT_EQ(KelapiGetNegReportEx3(1, &r, sizeof r), KELAPI_OK);
  EXPECT_EQ(r.flags, 0xC3u) << "only the bits 1, 2, 64 and 128";
  EXPECT_DOUBLE_EQ(r.amount, 42.0);
  EXPECT_EQ(r.short2, 9);
  EXPECT_EQ(r.value8, 5);
  EXPECT_EQ(KelapiGetNegReportEx2(1, &r, 128), KELAPI_E_STRUCT_SIZE);
}

// Hundredths reach the caller the way the server itself converts them:
// multiplied by 0.01, except a deal's amount 7, which goes through the scale
// rule. The last bit of a double tells the methods apart (41 hundredths:
// 0.41 divided by 100, 0.41000000000000003 multiplied by 0.01,
// 0.4100000000000001 through the scale rule).
TEST_F(NegotiatedTest, HundredthsAreMultipliedAndADealsAmountSevenIsScaled) {
  start();
  constexpr double kMultiplied = 0.41000000000000003;
  constexpr double kScaled = 0.4100000000000001;
  Msg8079_NegDeal deal41 = deal(0, 1000);
  deal41.amount1 = deal41.amount4 = 41;
  deal41.amount2 = deal41.amount3 = deal41.amount5 = deal41.amount6 = deal41.amount7 = 41.0;
  net->deliver(0x8079, deal41);
  Msg807F_NegTrade trade41 = trade(0, 0);
  trade41.value3 = 41.0;
  for (double* a : {&trade41.amount1, &trade41.amount2, &trade41.amount3, &trade41.amount4, &trade41.amount5,
                    &trade41.amount6, &trade41.amount7, &trade41.amount8, &trade41.amount9}) {
    *a = 41.0;
  }
  net->deliver(0x807F, trade41);
  Msg807E_NegReport report41 = report(0, 0);
  report41.amount = 41.0;
  net->deliver(0x807E, report41);
  ASSERT_TRUE(net->wait_handled());

  KelapiNegDealRecord d;
  ASSERT_EQ(KelapiGetNegDealEx6(1, &d, sizeof d), KELAPI_OK);
  KelapiNegTradeRecord t;
  ASSERT_EQ(KelapiGetNegTradeEx5(1, &t, sizeof t), KELAPI_OK);
  KelapiNegReportRecord r;
  ASSERT_EQ(KelapiGetNegReportEx3(1, &r, sizeof r), KELAPI_OK);
  const struct {
    const char* field;
    double got;
    double expected;
  } cases[] = {
      {"deal amount 1", d.amount1, kMultiplied},   {"deal amount 2", d.amount2, kMultiplied},
      {"deal amount 3", d.amount3, kMultiplied},   {"deal amount 4", d.amount4, kMultiplied},
      {"deal amount 5", d.amount5, kMultiplied},   {"deal amount 6", d.amount6, kMultiplied},
      {"deal amount 7", d.amount7, kScaled},       {"trade value 3", t.value3, kMultiplied},
      {"trade amount 1", t.amount1, kMultiplied},  {"trade amount 2", t.amount2, kMultiplied},
      {"trade amount 3", t.amount3, kMultiplied},  {"trade amount 4", t.amount4, kMultiplied},
      {"trade amount 5", t.amount5, kMultiplied},  {"trade amount 6", t.amount6, kMultiplied},
      {"trade amount 7", t.amount7, kMultiplied},  {"trade amount 8", t.amount8, kMultiplied},
      {"trade amount 9", t.amount9, kMultiplied},  {"report amount", r.amount, kMultiplied},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.field;
}

TEST_F(NegotiatedTest, BookingAnnouncesAndAsksForWhatIsMissing) {
  start();
  for (int32_t i = 0; i < 5; ++i) net->deliver(0x8079, deal(i, 1000, i == 2 ? 0x1 : 0x2));
  net->deliver(0x807E, report(0, 0x2));
  net->deliver(0x807E, report(1, 0x1));
  ASSERT_TRUE(net->wait_handled());
  net->clear_sent();
  ASSERT_EQ(KelapiBookNegDeals(), KELAPI_OK);
  EXPECT_EQ(KelapiBookNegDeals(), KELAPI_E_ALREADY_BOOKED);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWNEGREPORT, 4));
  const std::vector<std::pair<uint16_t, int32_t>> expected = {{0x40, 5}, {0x41, 2}, {0x82, 0}, {0x7E, 2}, {0x7F, 1}};
  EXPECT_EQ(requests(expected.size()), expected);
  EXPECT_EQ(events(KELAPI_EVENT_NEWNEGDEAL).size(), 10u);

  // Negotiated trades: flags 2 is not asked for again, flags 0 is.
  net->deliver(0x807F, trade(0, 0x2));
  net->deliver(0x807F, trade(1, 0x0));
  const uint8_t none = 0;
  net->deliver(0x84, &none, 0);  // a fresh start of negotiated trades
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  ASSERT_EQ(connect(0xC004), KELAPI_OK);
  open_session();
  end_class_lists();
  net->clear_sent();
  ASSERT_EQ(KelapiBookNegDeals(), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWNEGREPORT, 6));
  const auto sent = requests(6);
  ASSERT_EQ(sent.size(), 6u);
  const std::vector<std::pair<uint16_t, int32_t>> trades(sent.begin() + 2, sent.begin() + 4);
  EXPECT_EQ(trades, (std::vector<std::pair<uint16_t, int32_t>>{{0x82, 2}, {0x83, 1}}));
}

TEST_F(NegotiatedTest, TheJournalGivesTheRowsBackWhenOrdersArePermitted) {
  for (const uint32_t permissions : {0xC004u, 0xC000u}) {
    start(permissions);
    net->deliver(0x8079, deal(4, 1000));
    net->deliver(0x807F, trade(5, 0));
    net->deliver(0x807E, report(6, 0));
    const uint8_t none = 0;
    net->deliver(0x47, &none, 0);
    ASSERT_TRUE(net->wait_handled());
    ASSERT_EQ(net->sent(0x40).size(), 1u) << "a fresh start of deals asks from 0";
    EXPECT_EQ(net->sent(0x40)[0].as<int32_t>(), 0);
    ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
    ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
    ASSERT_EQ(init(0, 0), KELAPI_OK);
    {
      LibraryLock lock(*lib);
      const std::size_t kept = permissions == 0xC004u ? 1u : 0u;
      EXPECT_EQ(lib->negotiated.deals.size(), kept);
      EXPECT_EQ(lib->negotiated.trades.size(), kept);
      EXPECT_EQ(lib->negotiated.reports.size(), kept);
      if (kept == 1) {
        EXPECT_EQ(lib->negotiated.deals.at(0).security, 0) << "the local number was journalled";
      }
    }
    ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
    net->clear_sent();
  }
}

}  // namespace
}  // namespace kelda::kelapi::test
