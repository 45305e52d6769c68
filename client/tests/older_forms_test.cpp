// The older forms of trades and of negotiated deals, trades and reports: as
// messages, encoded and decoded by the protocol library's codec and handled
// by the library's real handler table, and as journal records replayed at
// initialisation. Each is brought to the newest form.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "library_fixture.h"
#include "message_set.h"
#include "messages/records_trades.h"
#include "negotiated/negotiated.h"
#include "saved_files.h"
#include "testsupport/test_dir.h"
#include "trades/trade_forms.h"
#include "zn_de/codec.h"

namespace kelda::kelapi::test {
namespace {

using kelda::test::read_file_bytes;
using kelda::test::write_file_bytes;

// A record of the message `id` as the library receives it: encoded by the
// codec with the registered layout, then decoded again.
template <typename Record>
std::vector<uint8_t> received(uint16_t id, const Record& record) {
  static const auto registry = de::LayoutRegistry::build(kelapi_layout_registry(), "tests");
  EXPECT_TRUE(registry.ok());
  std::vector<uint8_t> block(de::kWorkAreaSize);
  auto packed = de::pack_message(registry.value(), id, &record, true, block);
  EXPECT_TRUE(packed.ok()) << std::hex << id;
  if (!packed.ok()) return {};
  block.resize(packed.value());
  auto decoded = de::decode_message(registry.value(), block);
  EXPECT_TRUE(decoded.ok() && decoded.value().has_value()) << std::hex << id;
  if (!decoded.ok() || !decoded.value().has_value()) return {};
  const de::ReceivedMessage& m = *decoded.value();
  EXPECT_EQ(m.id, id);
  EXPECT_GT(m.size, offsetof(Record, security)) << std::hex << id;
  EXPECT_LE(m.size, sizeof(Record)) << std::hex << id;
  return std::vector<uint8_t>(m.record.get(), m.record.get() + m.size);
}

// A trade of any form with every member it carries set.
template <typename Form>
TradeRecord<Form> older_trade(int32_t sequence, int32_t security) {
  TradeRecord<Form> t;
  std::memset(&t, 0, sizeof t);
  t.sequence = sequence;
  t.number = 7000000000.0 + sequence;
  t.order_number = 9000000001.0;
  t.time = 101503;
  if constexpr (KELAPI_FORM_HAS(t.side_word)) t.side_word = 0x55;
  put_text(t.comment, "a comment");
  put_text(t.text2, "TWO");
  put_text(t.text1, "ONE");
  put_text(t.account, "L01-00000F00");
  t.security = static_cast<decltype(t.security)>(security);
  t.price = 10050;
  t.quantity = 3;
  t.value = 301500;
  if constexpr (KELAPI_FORM_HAS(t.amount1)) {
    t.amount1 = 150;
    t.amount2 = -20;
  }
  put_text(t.text3, "ABCDEFGHIJKL");
  put_text(t.text4, "FOUR");
  t.flags = 0x5;
  t.price2 = 11;
  t.price3 = 12;
  put_text(t.text5, "FIVE");
  if constexpr (KELAPI_FORM_HAS(t.single_value)) t.single_value = 77;
  if constexpr (KELAPI_FORM_HAS(t.values)) {
    t.values[0] = 77;
    t.values[1] = 33;
    t.values[2] = 44;
    t.values[3] = 55;
  }
  if constexpr (KELAPI_FORM_HAS(t.amount3)) {
    t.amount3 = 33;
    t.amount4 = 44;
    t.amount5 = 55;
  }
  if constexpr (KELAPI_FORM_HAS(t.short2)) {
    t.short1 = 6;
    t.price4 = 14;
    t.price5 = 15;
    t.price6 = 16;
    t.short2 = 7;
  }
  if constexpr (KELAPI_FORM_HAS(t.fee1)) {
    t.fee1 = 100;
    t.fee2 = 77;
    t.fee3 = 3;
  }
  if constexpr (KELAPI_FORM_HAS(t.plain_text)) put_text(t.plain_text, "a plain text");
  if constexpr (KELAPI_FORM_HAS(t.word1)) {
    t.word1 = 11;
    put_text(t.short_code1, "SC1");
    put_text(t.short_code2, "SC2");
    t.text_count = 7;
    std::memcpy(t.text, "counted", 7);
    t.short_text_count = 3;
    std::memcpy(t.short_text, "abc", 3);
  }
  return t;
}

// What the caller reads of a trade received in an older form.
struct TradeCase {
  uint16_t id;
  std::vector<uint8_t> (*message)(int32_t sequence);
  double amount1;
  double amount3;
  double amount5;
  double price4;
  int16_t short1;
  int16_t short2;
  double fee1;
  double fee3;
  const char* text3;
  const char* text;
  int32_t word1;
};

template <uint16_t Id, typename Form>
std::vector<uint8_t> trade_message(int32_t sequence) {
  return received(Id, older_trade<Form>(sequence, 1001));
}

class OlderFormsTest : public LibraryTest {
 protected:
  // Class CLS (server id 5) with AAA (1000) and BBB (1001), scale 2.
  void start() {
    ASSERT_EQ(init(0, 1), KELAPI_OK);
    ASSERT_EQ(connect(0xC006), KELAPI_OK);  // orders and trades enabled
    open_session();
    describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
    end_class_lists();
    ASSERT_EQ(events(KELAPI_EVENT_START).size(), 1u);
  }
};

TEST_F(OlderFormsTest, EveryOlderTradeFormIsReadAsTheNewest) {
  // Amounts, short words and prices 4 to 6 travel only in the forms that
  // carry them (short word 2 is -1 where it is missing); fee 2 comes from the
  // fees, the four values or the single value; the counted text from the
  // counted tail or the plain text.
  const TradeCase cases[] = {
      {0x806E, trade_message<0x806E, TradeForm806E>, 0, 0, 0, 0, 0, -1, 1.0, 0.03, "ABC", "counted", 11},
      {0x806B, trade_message<0x806B, TradeForm806B>, 1.5, 0.33, 0.55, 0.14, 6, 7, 1.0, 0.03, "ABCDEFGHIJKL",
       "a plain text", 0},
      {0x806A, trade_message<0x806A, TradeForm806A>, 0, 0, 0, 0, 0, -1, 1.0, 0.03, "ABC", "a plain text", 0},
      {0x8027, trade_message<0x8027, TradeForm8027>, 1.5, 0.33, 0.55, 0.14, 6, 7, 1.0, 0.03, "ABCDEFGHIJKL", "", 0},
      {0x8026, trade_message<0x8026, TradeForm8026>, 0, 0, 0, 0, 0, -1, 1.0, 0.03, "ABC", "", 0},
      {0x00DF, trade_message<0x00DF, TradeForm00DF>, 1.5, 0.33, 0.55, 0.14, 6, 7, 0, 0, "ABCDEFGHIJKL", "", 0},
      {0x800D, trade_message<0x800D, TradeForm800D>, 0, 0, 0, 0, 0, -1, 0, 0, "ABC", "", 0},
      {0x00CA, trade_message<0x00CA, TradeForm00CA>, 1.5, 0, 0, 0.14, 6, 7, 0, 0, "ABC", "", 0},
  };
  start();
  int32_t sequence = 0;
  for (const TradeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.id);
    const std::vector<uint8_t> m = c.message(sequence);
    ASSERT_FALSE(m.empty());
    net->deliver(c.id, m.data(), m.size());
    ASSERT_TRUE(net->wait_handled());
    ASSERT_EQ(events(KELAPI_EVENT_NEWTRADE).size(), static_cast<std::size_t>(sequence) + 1) << "announced";

    KelapiTradeRecord r;
    std::memset(&r, 0xAB, sizeof r);
    ASSERT_EQ(KelapiGetTradeEx7(static_cast<uint32_t>(sequence) + 1, &r, sizeof r), KELAPI_OK);
    EXPECT_EQ(r.row_number, static_cast<uint32_t>(sequence) + 1);
    EXPECT_EQ(r.security_number, 2u) << "the server's 16- or 32-bit security id";
    EXPECT_EQ(r.trade_number, 7000000000.0 + sequence);
    EXPECT_EQ(r.order_number, 9000000001.0);
    EXPECT_EQ(r.time, 101503);
    EXPECT_DOUBLE_EQ(r.price, 100.5);
    EXPECT_EQ(r.quantity, 3);
    EXPECT_DOUBLE_EQ(r.value, 3015.0);
    EXPECT_EQ(r.sell, 1);
    EXPECT_EQ(r.flag0, 1);
    EXPECT_DOUBLE_EQ(r.price2, 0.11);
    EXPECT_DOUBLE_EQ(r.price3, 0.12);
    EXPECT_STREQ(r.comment, "a comment");
    EXPECT_STREQ(r.text2, "TWO");
    EXPECT_STREQ(r.text1, "ONE");
    EXPECT_STREQ(r.account, "L01-00000F00");
    EXPECT_STREQ(r.text4, "FOUR");
    EXPECT_STREQ(r.text5, "FIVE");
    EXPECT_STREQ(r.text3, c.text3);
    EXPECT_DOUBLE_EQ(r.amount1, c.amount1);
    EXPECT_DOUBLE_EQ(r.amount3, c.amount3);
    EXPECT_DOUBLE_EQ(r.amount5, c.amount5);
    EXPECT_DOUBLE_EQ(r.price4, c.price4);
    EXPECT_EQ(r.short1, c.short1);
    EXPECT_EQ(r.short2, c.short2);
    EXPECT_DOUBLE_EQ(r.fee1, c.fee1);
    EXPECT_DOUBLE_EQ(r.fee2, 0.77);
    EXPECT_DOUBLE_EQ(r.fee3, c.fee3);
    EXPECT_STREQ(r.text, c.text);
    EXPECT_EQ(r.word1, c.word1);
    ++sequence;
  }
  // An older form is a trade like any other: one not above the last is
  // ignored.
  const std::vector<uint8_t> again = trade_message<0x00DF, TradeForm00DF>(3);
  net->deliver(0x00DF, again.data(), again.size());
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(events(KELAPI_EVENT_NEWTRADE).size(), std::size(cases));
}

// The side word of a form that carries one: the sell bit of the flags, except
// that 0x00DF passes its own on; the newest form has none.
TEST(OlderTradeForms, TheSideWordIsTheSellBitExceptFrom00DF) {
  auto t806A = older_trade<TradeForm806A>(1, 1);
  auto t8027 = older_trade<TradeForm8027>(1, 1);
  auto t8026 = older_trade<TradeForm8026>(1, 1);
  auto t00DF = older_trade<TradeForm00DF>(1, 1);
  auto t800D = older_trade<TradeForm800D>(1, 1);
  auto t00CA = older_trade<TradeForm00CA>(1, 1);
  t8027.flags = 0x1;
  t00CA.flags = 0x1;
  EXPECT_EQ(next_trade_form<Msg806B_Trade>(t806A).side_word, 4) << "0x806A with the sell bit";
  EXPECT_EQ(next_trade_form<Msg806B_Trade>(t8027).side_word, 0) << "0x8027's own word is not kept";
  EXPECT_EQ(next_trade_form<Msg8027_Trade>(t8026).side_word, 4);
  EXPECT_EQ(next_trade_form<Msg8027_Trade>(t00DF).side_word, 0x55) << "0x00DF passes its word on";
  EXPECT_EQ(next_trade_form<Msg00DF_Trade>(t800D).side_word, 4);
  EXPECT_EQ(next_trade_form<Msg00DF_Trade>(t00CA).side_word, 0);
  const Msg00DF_Trade from800D = next_trade_form<Msg00DF_Trade>(t800D);
  EXPECT_EQ(from800D.values[0], 77.0) << "the single value takes the first place";
  EXPECT_EQ(from800D.values[1], 0.0);
  EXPECT_EQ(from800D.short2, -1);
}

// ---- negotiated deals, trades and reports ----

Msg805D_NegDeal deal_805D(int32_t sequence, int32_t security) {
  Msg805D_NegDeal d;
  std::memset(&d, 0, sizeof d);
  d.sequence = sequence;
  d.number = 700.0 + sequence;
  d.flags = 1;
  d.security = security;
  d.price = 12345;
  put_text(d.comment, "deal");
  d.short1 = 4;
  d.short3 = 5;
  d.word5 = 20240104;
  d.amount7 = 1999.0;
  d.price7 = 7;
  return d;
}

Msg8058_NegTrade trade_8058(int32_t sequence, int32_t security) {
  Msg8058_NegTrade t;
  std::memset(&t, 0, sizeof t);
  t.sequence = sequence;
  t.number = 900.0 + sequence;
  t.security = security;
  t.price = 500;
  put_text(t.text6, "SIX");
  t.amount10 = 10.0;
  t.word5 = 55;
  return t;
}

Msg805E_NegReport report_805E(int32_t sequence, int32_t security) {
  Msg805E_NegReport r;
  std::memset(&r, 0, sizeof r);
  r.sequence = sequence;
  r.number = 300.0 + sequence;
  r.security = security;
  r.amount = 4200.0;
  r.short1 = 8;
  r.short2 = 9;
  return r;
}

// The rows stored from the older forms (the security given as `security`).
void expect_newest_negotiated(const Library& lib, int32_t sequence, int32_t security) {
  const NegDealRow* d = lib.negotiated.deals.find(sequence);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->security, security);
  EXPECT_EQ(d->price, 12345);
  EXPECT_STREQ(d->comment, "deal");
  EXPECT_EQ(d->short1, 4);
  EXPECT_EQ(d->short3, 5);
  EXPECT_EQ(d->word5, 20240104) << "0x805D carries its word 5";
  EXPECT_EQ(d->amount7, 1999.0);
  EXPECT_EQ(d->price7, 7);
  EXPECT_EQ(d->word8, 0);
  EXPECT_EQ(d->word9, 0);
  EXPECT_EQ(d->value8, 0);

  const NegTradeRow* t = lib.negotiated.trades.find(sequence);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->security, security);
  EXPECT_STREQ(t->text6, "SIX");
  EXPECT_EQ(t->amount10, 10.0);
  EXPECT_EQ(t->word5, 55);
  EXPECT_EQ(t->short6, 0);
  EXPECT_EQ(t->short7, 1);
  EXPECT_EQ(t->short8, -1);
  EXPECT_EQ(t->value5, 0);
  EXPECT_EQ(t->word7, 0);

  const NegReportRow* r = lib.negotiated.reports.find(sequence);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->security, security);
  EXPECT_EQ(r->amount, 4200.0);
  EXPECT_EQ(r->short1, 8);
  EXPECT_EQ(r->short2, 9);
  EXPECT_EQ(r->value8, 0);
}

TEST_F(OlderFormsTest, OlderNegotiatedFormsAreStoredAsTheNewest) {
  start();
  const auto deal = received(0x805D, deal_805D(3, 1001));
  const auto trade = received(0x8058, trade_8058(3, 1001));
  const auto report = received(0x805E, report_805E(3, 1001));
  net->deliver(0x805D, deal.data(), deal.size());
  net->deliver(0x8058, trade.data(), trade.size());
  net->deliver(0x805E, report.data(), report.size());
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(events(KELAPI_EVENT_NEWNEGDEAL).size(), 1u);
  EXPECT_EQ(events(KELAPI_EVENT_NEWNEGTRADE).size(), 1u);
  EXPECT_EQ(events(KELAPI_EVENT_NEWNEGREPORT).size(), 1u);
  LibraryLock lock(*lib);
  expect_newest_negotiated(*lib, 3, 1);
}

// ---- the journal ----

std::string word(uint32_t w) { return std::string(reinterpret_cast<const char*>(&w), 4); }

// The frame, then the permissions word: trades, orders and negotiated deals
// permitted.
std::string journal_header() { return "INFODATA" + word(1) + word(32) + word(20231231) + '\x03' + word(0xC006); }

std::string journal_record(uint8_t tag, const void* payload, std::size_t size) {
  const uint16_t length = static_cast<uint16_t>(size);
  return std::string(1, static_cast<char>(tag)) + std::string(reinterpret_cast<const char*>(&length), 2) +
         std::string(static_cast<const char*>(payload), size);
}

template <typename Record>
std::string journal_record(uint8_t tag, const Record& r) {
  return journal_record(tag, &r, sizeof r);
}

TEST_F(OlderFormsTest, JournalledOlderFormsAreReplayedAsTheNewest) {
  Tables(1, 1).write();  // one class with one security (local number 0)
  Msg806F_Trade newest = newest_trade(older_trade<TradeForm806B>(0, 0));
  write_file_bytes("info.log", journal_header() + journal_record(63, newest) +
                                   journal_record(52, older_trade<TradeForm806B>(1, 0)) +
                                   journal_record(36, older_trade<TradeForm00DF>(2, 0)) +
                                   journal_record(47, deal_805D(3, 0)) + journal_record(48, trade_8058(3, 0)) +
                                   journal_record(49, report_805E(3, 0)));
  ASSERT_EQ(init(), KELAPI_OK);
  for (uint32_t n : {1u, 2u, 3u}) {
    SCOPED_TRACE(n);
    KelapiTradeRecord r;
    ASSERT_EQ(KelapiGetTradeEx7(n, &r, sizeof r), KELAPI_OK);
    EXPECT_EQ(r.security_number, 1u);
    EXPECT_STREQ(r.account, "L01-00000F00");
    EXPECT_DOUBLE_EQ(r.amount3, 0.33);
    EXPECT_DOUBLE_EQ(r.fee2, 0.77);
    EXPECT_EQ(r.short2, 7);
    EXPECT_STREQ(r.text, n == 3 ? "" : "a plain text");
  }
  LibraryLock lock(*lib);
  expect_newest_negotiated(*lib, 3, 0);
}

// A record of an order, stop order, trade, deal or negotiated trade of a size
// its tag does not have ends the replay there (the journal is cut back to
// it); a report record of the wrong size is skipped. Records of the older negotiated forms whose fields are not known
// are skipped when their size is right.
TEST_F(OlderFormsTest, AJournalRecordOfTheWrongSizeEndsTheReplay) {
  struct Case {
    uint8_t tag;
    std::size_t size;
    bool ends;
  };
  const Case cases[] = {
      {63, 383, true}, {52, 327, true}, {36, 241, true}, {66, 287, true}, {47, 288, true},
      {44, 272, true}, {37, 239, true}, {70, 375, true}, {48, 376, true}, {38, 336, true},
      {67, 263, true}, {50, 264, true}, {43, 176, true}, {35, 168, true},
      {74, 207, true}, {51, 208, true}, {34, 192, true},
      {69, 120, false}, {49, 128, false}, {23, 113, false},
      {44, 240, false}, {37, 240, false}, {38, 312, false}, {23, 112, false},
  };
  const Msg806F_Trade good_trade = newest_trade(older_trade<TradeForm806B>(0, 0));
  const Msg806F_Trade later_trade = newest_trade(older_trade<TradeForm806B>(1, 0));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "tag " << int(c.tag) << ", " << c.size << " bytes");
    make_library(default_options());
    Tables(1, 1).write();
    const std::string good = journal_header() + journal_record(63, good_trade);
    const std::vector<uint8_t> payload(c.size, 0);
    write_file_bytes("info.log", good + journal_record(c.tag, payload.data(), payload.size()) +
                                     journal_record(63, later_trade));
    ASSERT_EQ(init(), KELAPI_OK);
    {
      LibraryLock lock(*lib);
      EXPECT_EQ(lib->trades.rows.size(), c.ends ? 1u : 2u);
      EXPECT_EQ(lib->negotiated.deals.size() + lib->negotiated.trades.size() + lib->negotiated.reports.size(), 0u);
      EXPECT_EQ(lib->orders.size() + lib->stop_orders.size(), 0u);
    }
    if (c.ends) {
      EXPECT_EQ(read_file_bytes("info.log"), good) << "cut back to the last good record";
    }
    ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  }
}

}  // namespace
}  // namespace kelda::kelapi::test
