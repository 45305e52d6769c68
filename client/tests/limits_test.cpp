// Money and depository limits: booking, updates by number and by codes,
// deletion, the caller's layouts, and the limit change requests.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <mutex>
#include <vector>

#include "library_fixture.h"
#include "limits/limit_requests.h"
#include "limits/limits.h"

namespace kelda::kelapi::test {
namespace {

struct Seen {
  uint32_t code;
  uintptr_t w;
  uintptr_t l;
  KelapiMoneyLimitRecord money{};
  KelapiDepoLimitRecord depo{};
  KelapiLimitReply reply{};
};
std::mutex g_mutex;
std::vector<Seen> g_seen;

int copy_event(uint32_t code, uintptr_t w, uintptr_t l) {
  Seen s{code, w, l};
  if (code == KELAPI_EVENT_KILLMONEYLIMIT) std::memcpy(&s.money, reinterpret_cast<const void*>(w), sizeof s.money);
  if (code == KELAPI_EVENT_KILLDEPOLIMIT) std::memcpy(&s.depo, reinterpret_cast<const void*>(w), sizeof s.depo);
  if (code == KELAPI_EVENT_LIMITREPLY) std::memcpy(&s.reply, reinterpret_cast<const void*>(l), sizeof s.reply);
  std::lock_guard lock(g_mutex);
  g_seen.push_back(s);
  return 0;
}

std::vector<Seen> seen(uint32_t code) {
  std::lock_guard lock(g_mutex);
  std::vector<Seen> out;
  for (const Seen& s : g_seen) {
    if (s.code == code) out.push_back(s);
  }
  return out;
}

class LimitsTest : public LibraryTest {
 protected:
  void start() {
    ASSERT_EQ(init(0, 1), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA"}, {"last"});
    end_class_lists();
    {
      std::lock_guard lock(g_mutex);
      g_seen.clear();
    }
    ASSERT_EQ(KelapiSetEventCallback(copy_event), KELAPI_OK);
  }

  static Msg00F0_MoneyLimit money(int32_t number, const char* currency, const char* tag, const char* firm,
                                  const char* client, double balance) {
    Msg00F0_MoneyLimit m{};
    m.number = number;
    std::memcpy(m.currency, currency, std::min<std::size_t>(std::strlen(currency), sizeof m.currency));
    std::strcpy(m.tag, tag);
    std::memcpy(m.firm, firm, std::min<std::size_t>(std::strlen(firm), sizeof m.firm));
    std::strcpy(m.client, client);
    m.current_balance = balance;
    m.opening_limit = 1000;
    m.leverage = -1;
    return m;
  }

  static Msg8072_DepoLimit depo(int32_t number, const char* account, const char* security, double amount1) {
    Msg8072_DepoLimit m{};
    m.number = number;
    std::strcpy(m.account, account);
    std::strcpy(m.security, security);
    std::strcpy(m.firm, "FIRM");
    std::strcpy(m.client, "C1");
    m.quantity1 = 10;
    m.quantity6 = 60;
    m.amount1 = amount1;
    m.amount2 = 250;
    m.value9 = 9.5;
    return m;
  }
};

TEST_F(LimitsTest, MoneyLimitsAreAddedUpdatedByNumberAndRead) {
  start();
  // A currency of five characters arrives unterminated: four are kept.
  net->deliver(0xF0, money(0, "SUR12", "EQTV", "FIRM-WITH-13C", "C1", 12345.0));
  net->deliver(0xF0, money(0, "USD", "X", "OTHER", "C2", 500.0));  // same number: codes kept
  Msg800B_MoneyLimitAmounts amounts{};
  amounts.number = 7;
  amounts.current_balance = 250;
  amounts.leverage = 150;
  net->deliver(0x800B, amounts);
  ASSERT_TRUE(net->wait_handled());

  const auto announced = seen(KELAPI_EVENT_NEWMONEYLIMIT);
  ASSERT_EQ(announced.size(), 3u);
  EXPECT_EQ(announced[0].l, 1u) << "server number 0 is caller number 1";
  EXPECT_EQ(announced[2].l, 8u);

  KelapiMoneyLimitRecord r;
  ASSERT_EQ(KelapiGetMoneyLimit(1, &r), KELAPI_OK);
  EXPECT_DOUBLE_EQ(r.current_balance, 5.0) << "the update's amount, scaled to money";
  EXPECT_DOUBLE_EQ(r.opening_limit, 10.0);
  EXPECT_EQ(r.number, 1);
  EXPECT_STREQ(r.currency, "SUR1");
  EXPECT_STREQ(r.firm, "FIRM-WITH-13");
  EXPECT_STREQ(r.client, "C1") << "an update keeps the first codes";
  KelapiMoneyLimitRecordEx ex;
  ASSERT_EQ(KelapiGetMoneyLimitEx(1, &ex, sizeof ex), KELAPI_OK);
  EXPECT_DOUBLE_EQ(ex.leverage, -1.0);
  ASSERT_EQ(KelapiGetMoneyLimitEx(8, &ex, sizeof ex), KELAPI_OK);
  EXPECT_DOUBLE_EQ(ex.leverage, 1.5);
  EXPECT_DOUBLE_EQ(ex.current_balance, 2.5);
  EXPECT_STREQ(ex.firm, "") << "an amounts message for a new number creates a limit without codes";

  EXPECT_EQ(KelapiGetMoneyLimit(0, &r), KELAPI_E_NOT_EXIST);
  EXPECT_EQ(KelapiGetMoneyLimit(-1, &r), KELAPI_E_NOT_EXIST);
  EXPECT_EQ(KelapiGetMoneyLimit(1, nullptr), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiGetMoneyLimitEx(1, &ex, 88), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetMoneyLimitEx(1, nullptr, 88), KELAPI_E_POINTER);
}

TEST_F(LimitsTest, DeletionByCodesHitsTheLiveLimitAndANumberRevivesIt) {
  start();
  net->deliver(0xF0, money(3, "SUR", "EQTV", "F", "C1", 100));
  net->deliver(0xF0, money(4, "SUR", "EQTV", "F", "C1", 200));  // the same four codes
  Msg0087_MoneyLimitDeleted kill{};
  std::strcpy(kill.currency, "SUR");
  std::strcpy(kill.tag, "EQTV");
  std::strcpy(kill.client, "C1");
  std::strcpy(kill.firm, "F");
  net->deliver(0x87, kill);
  net->deliver(0x87, kill);
  net->deliver(0x87, kill);  // nothing live is left: ignored
  ASSERT_TRUE(net->wait_handled());

  const auto killed = seen(KELAPI_EVENT_KILLMONEYLIMIT);
  ASSERT_EQ(killed.size(), 2u);
  EXPECT_EQ(killed[0].l, 4u) << "the earlier limit first";
  EXPECT_EQ(killed[1].l, 5u) << "a second delete reaches the limit still live";
  EXPECT_EQ(killed[1].money.number, 5);
  EXPECT_STREQ(killed[1].money.tag, "EQTV");
  EXPECT_DOUBLE_EQ(killed[1].money.current_balance, 0.0) << "the record holds codes and number only";

  KelapiMoneyLimitRecord r;
  EXPECT_EQ(KelapiGetMoneyLimit(4, &r), KELAPI_E_NOT_EXIST);
  net->deliver(0xF0, money(3, "USD", "X", "G", "C9", 700));
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiGetMoneyLimit(4, &r), KELAPI_OK);
  EXPECT_DOUBLE_EQ(r.current_balance, 7.0);
  EXPECT_STREQ(r.currency, "SUR") << "a revived limit keeps its old codes";
}

TEST_F(LimitsTest, DepositoryLimitsInTheirThreeLayouts) {
  start();
  net->deliver(0x8072, depo(0, "ACC1", "SEC1", 12345.0));
  Msg8073_DepoLimitValues values{};
  values.number = 0;
  values.quantity1 = 11;
  values.amount1 = 12345.0;
  values.value9 = 4.25;
  net->deliver(0x8073, values);
  ASSERT_TRUE(net->wait_handled());

  KelapiDepoLimitRecord r;
  ASSERT_EQ(KelapiGetDepoLimit(1, &r), KELAPI_OK);
  EXPECT_DOUBLE_EQ(r.quantity1, 11.0) << "quantities read as stored";
  EXPECT_DOUBLE_EQ(r.amount1, 123.45);
  EXPECT_STREQ(r.account, "ACC1") << "an update by number keeps the codes";
  EXPECT_STREQ(r.security, "SEC1");
  KelapiDepoLimitRecordEx ex;
  std::memset(&ex, 0x5A, sizeof ex);
  ASSERT_EQ(KelapiGetDepoLimitEx(1, &ex, 120), KELAPI_OK);
  EXPECT_STREQ(ex.client, "C1");
  EXPECT_STREQ(ex.firm, "FIRM");
  uint8_t tail[8];
  std::memcpy(tail, &ex.value9, sizeof tail);
  EXPECT_EQ(tail[0], 0x5A) << "the 120-byte layout writes nothing after its end";
  ASSERT_EQ(KelapiGetDepoLimitEx2(1, &ex, 128), KELAPI_OK);
  EXPECT_DOUBLE_EQ(ex.value9, 4.25);
  EXPECT_EQ(KelapiGetDepoLimitEx2(1, &ex, 120), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetDepoLimitEx(1, &ex, 128), KELAPI_E_STRUCT_SIZE);

  Msg0088_DepoLimitDeleted kill{};
  std::strcpy(kill.account, "ACC1");
  std::strcpy(kill.security, "SEC1");
  std::strcpy(kill.firm, "FIRM");
  std::strcpy(kill.client, "C1");
  net->deliver(0x88, kill);
  ASSERT_TRUE(net->wait_handled());
  const auto killed = seen(KELAPI_EVENT_KILLDEPOLIMIT);
  ASSERT_EQ(killed.size(), 1u);
  EXPECT_STREQ(killed[0].depo.security, "SEC1");
  EXPECT_EQ(KelapiGetDepoLimit(1, &r), KELAPI_E_NOT_EXIST);
  EXPECT_EQ(KelapiGetDepoLimitEx(1, &ex, 120), KELAPI_E_NOT_EXIST);
  EXPECT_EQ(KelapiGetDepoLimitEx2(1, &ex, 128), KELAPI_E_NOT_EXIST);
}

TEST_F(LimitsTest, BookingAnnouncesLiveLimitsThenAsksForDepositoryThenMoney) {
  start();
  net->deliver(0xF0, money(0, "SUR", "T", "F", "C", 1));
  net->deliver(0xF0, money(1, "USD", "T", "F", "C", 1));
  net->deliver(0x8072, depo(5, "A", "S", 1));
  Msg0087_MoneyLimitDeleted kill{};
  std::strcpy(kill.currency, "USD");
  std::strcpy(kill.tag, "T");
  std::strcpy(kill.client, "C");
  std::strcpy(kill.firm, "F");
  net->deliver(0x87, kill);
  ASSERT_TRUE(net->wait_handled());
  {
    std::lock_guard lock(g_mutex);
    g_seen.clear();
  }
  net->clear_sent();
  ASSERT_EQ(KelapiBookLimits(), KELAPI_OK);
  EXPECT_EQ(KelapiBookLimits(), KELAPI_E_ALREADY_BOOKED);
  // The worker sends its requests after the announcements.
  for (int i = 0; i < 30000 && net->sent(0x5E).empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(net->sent(0x5E).size(), 1u);
  const auto sent = net->sent();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[sent.size() - 2].id, 0x62);
  EXPECT_EQ(sent.back().id, 0x5E);
  std::lock_guard lock(g_mutex);
  ASSERT_EQ(g_seen.size(), 2u) << "the deleted limit is not announced";
  EXPECT_EQ(g_seen[0].code, static_cast<uint32_t>(KELAPI_EVENT_NEWMONEYLIMIT));
  EXPECT_EQ(g_seen[0].l, 1u);
  EXPECT_EQ(g_seen[1].code, static_cast<uint32_t>(KELAPI_EVENT_NEWDEPOLIMIT));
  EXPECT_EQ(g_seen[1].l, 6u);
}

TEST(LimitCorrectionFlags, OnlyTheKnownBitsGoAndTwoWinsOverOne) {
  const struct {
    int in;
    int32_t out;
  } cases[] = {{0, -1}, {4, -1}, {4 + 8 + 32, -1}, {1, 1}, {2, 2}, {3, 2}, {33, 33}, {0x1E0 | 4 | 1, 0x1E1}};
  for (const auto& c : cases) EXPECT_EQ(correction_flags(c.in), c.out) << c.in;
}

TEST_F(LimitsTest, RequestsCheckTheirCodesAndCarryTheirValues) {
  start();
  net->clear_sent();
  EXPECT_EQ(KelapiSetMoneyLimitR(9, "SUR12", "T", "C", "F", 1, 2), KELAPI_E_INVALID_LENGTH);
  EXPECT_EQ(KelapiSetMoneyLimitR(9, "SUR", nullptr, "C", "F", 1, 2), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiSetDepoLimitR(9, "ACCOUNT-13-CH", "S", "C", "F", 1, 2), KELAPI_E_INVALID_LENGTH);
  EXPECT_EQ(KelapiSetMoneyLimitCorrection(9, "SUR", "T", "C", "F", 1, 2, 3, 4, 4), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiKillMoneyLimitR(9, 1), KELAPI_E_INVALIDARG) << "no such limit";
  EXPECT_TRUE(net->sent().empty()) << "a refused request sends nothing";

  ASSERT_EQ(KelapiSetMoneyLimitR(9, "SUR1", "EQTV", "CLIENT-12-CH", "F", 1.5, 2.25), KELAPI_OK);
  const auto set = net->sent(0x8003).at(0).as<Msg8003_SetMoneyLimit>();
  EXPECT_EQ(set.request_id, 9);
  EXPECT_STREQ(set.client, "CLIENT-12-CH");
  EXPECT_DOUBLE_EQ(set.value1, 150.0);
  EXPECT_DOUBLE_EQ(set.value2_again, 225.0);
  ASSERT_EQ(KelapiSetMoneyLimitLeverage("SUR", "T", "C", "F", 10, 2.567), KELAPI_OK);
  const auto lev = net->sent(0x8097).at(0).as<Msg8097_SetMoneyLimitLeverage>();
  EXPECT_EQ(lev.request_id, 0) << "the older names send request id 0";
  EXPECT_EQ(lev.leverage, 256);
  EXPECT_EQ(lev.leverage_mode, 1);
  ASSERT_EQ(KelapiSetMoneyLimitCorrection(4, "SUR", "T", "C", "F", 1, 2, 3, 4, 33), KELAPI_OK);
  EXPECT_EQ(net->sent(0x9C).at(0).as<Msg009C_CorrectMoneyLimit>().flags, 33);
  ASSERT_EQ(KelapiSetDepoLimitCorrection(5, "A", "S", "C", "F", 10.7, -2.5, 0, 0, 2), KELAPI_OK);
  const auto corr = net->sent(0x8075).at(0).as<Msg8075_CorrectDepoLimit>();
  EXPECT_DOUBLE_EQ(corr.value1, 10.0);
  EXPECT_DOUBLE_EQ(corr.value2, -2.0);
  EXPECT_STREQ(corr.client, "C");
  EXPECT_STREQ(corr.firm, "F");

  net->deliver(0x8072, depo(2, "ACC", "SEC", 1));
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiKillDepoLimitR(6, 3), KELAPI_OK);
  const auto kill = net->sent(0x8007).at(0).as<Msg8007_KillDepoLimit>();
  EXPECT_STREQ(kill.account, "ACC");
  EXPECT_STREQ(kill.firm, "FIRM");
  EXPECT_STREQ(kill.client, "C1");
}

TEST_F(LimitsTest, RepliesReachTheCallerAndARequestWithoutALinkIsRefused) {
  start();
  Msg8009_LimitReply reply{};
  reply.request_id = 42;
  reply.status = 4;
  reply.text_count = 5;
  std::memcpy(reply.text, "nope!", 5);
  net->deliver(0x8009, reply);
  reply.status = 2;
  net->deliver(0x8009, reply);
  net->deliver(0x8E, Msg008E_LimitResult{3, -4});
  ASSERT_TRUE(net->wait_handled());
  const auto replies = seen(KELAPI_EVENT_LIMITREPLY);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].w, 42u);
  EXPECT_EQ(replies[0].reply.failed, 1);
  EXPECT_STREQ(replies[0].reply.text, "nope!");
  EXPECT_EQ(replies[1].reply.failed, 0);
  const auto results = seen(KELAPI_EVENT_LIMITRESULT);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].w, 3u);
  EXPECT_EQ(static_cast<int32_t>(results[0].l), -4);

  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  EXPECT_EQ(KelapiSetMoneyLimitR(1, "SUR", "T", "C", "F", 1, 2), KELAPI_E_NOT_CONNECTED);
}

}  // namespace
}  // namespace kelda::kelapi::test
