// Firms and depository accounts: header order and status changes, the
// merged firm text and its layouts, the firms version word, and the
// depository accounts in their forms.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <span>
#include <thread>
#include <string>

#include "firms/depo_accounts.h"
#include "firms/firms.h"
#include "library_fixture.h"

namespace kelda::kelapi::test {
namespace {

class FirmsTest : public LibraryTest {
 protected:
  void start(uint32_t flags = 0) {
    ASSERT_EQ(init(flags, 1), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA"}, {"last"});
    end_class_lists();
  }

  static Msg8089_Firm firm(int32_t number, const char* id, const char* name, int16_t status = 0) {
    Msg8089_Firm f{};
    f.number = number;
    std::strcpy(f.firm_id, id);
    std::strcpy(f.name, name);
    f.status = status;
    std::strcpy(f.second_code, "SC");
    f.word = 77;
    return f;
  }

  void text(int32_t number, int16_t flags, const std::string& part) {
    Msg8067_FirmText t{};
    t.number = number;
    t.flags = flags;
    t.text_count = static_cast<uint16_t>(part.size());
    std::memcpy(t.text, part.data(), part.size());
    net->deliver(0x8067, t);
  }
};

TEST_F(FirmsTest, HeadersInOrderAStatusChangeAndTheMergedText) {
  start();
  net->deliver(0x8089, firm(5, "F5", "Firm five   "));
  net->deliver(0x8089, firm(3, "F3", "Firm three"));  // below the last number: dropped
  net->deliver(0x8089, firm(7, "F7", "Firm seven"));
  net->deliver(0x8089, firm(5, "XX", "Renamed", 2));  // held: only the status changes
  text(5, 0, " A | B ");
  text(5, 4, "b|C |   ");
  text(9, 4, "unknown firm");
  ASSERT_TRUE(net->wait_handled());
  {
    LibraryLock lock(*lib);
    ASSERT_EQ(lib->firms.size(), 2u);
  }
  const auto announced = events(KELAPI_EVENT_NEWFIRM);
  ASSERT_EQ(announced.size(), 1u) << "only a last text part announces";
  EXPECT_EQ(announced[0].lparam, 6u);

  KelapiFirmRecord r;
  ASSERT_EQ(KelapiGetFirm(6, &r), KELAPI_OK);
  EXPECT_STREQ(r.text, "|A|B|C") << "items trimmed, repeats dropped without regard to case";
  EXPECT_STREQ(r.name, "Firm five") << "trailing blanks cut";
  EXPECT_STREQ(r.firm_id, "F5");
  EXPECT_EQ(r.status, 2) << "a repeated header's status is applied";
  EXPECT_EQ(KelapiGetFirm(4, &r), KELAPI_E_INVALIDARG);
  KelapiFirmRecordEx3 ex3;
  ASSERT_EQ(KelapiGetFirmEx3(8, &ex3, sizeof ex3), KELAPI_OK);
  EXPECT_EQ(ex3.text, nullptr) << "a firm without text";
  EXPECT_EQ(ex3.word, 77);
  KelapiFirmRecordEx2 ex2;
  ASSERT_EQ(KelapiGetFirmEx2(6, &ex2, sizeof ex2), KELAPI_OK);
  ASSERT_NE(ex2.text, nullptr);
  EXPECT_STREQ(ex2.text, "|A|B|C");
  EXPECT_EQ(KelapiGetFirmEx2(6, &ex2, 72), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetFirmEx(6, nullptr, 2120), KELAPI_E_POINTER);
}

TEST_F(FirmsTest, ALongTextOverflowsTheShortLayoutAndNoItemIsLost) {
  start();
  net->deliver(0x8089, firm(0, "F0", "Firm"));
  // 200 distinct items of four characters: 1000 bytes with separators,
  // more than the part's own bytes.
  std::string part;
  for (int i = 0; i < 200; ++i) part += (i == 0 ? "" : "|") + std::to_string(1000 + i);
  text(0, 0, part.substr(0, 995));
  text(0, 4, part.substr(995));
  ASSERT_TRUE(net->wait_handled());
  KelapiFirmRecord r;
  EXPECT_EQ(KelapiGetFirm(1, &r), KELAPI_E_OVERFLOW);
  KelapiFirmRecordEx ex;
  ASSERT_EQ(KelapiGetFirmEx(1, &ex, sizeof ex), KELAPI_OK);
  const std::string got(ex.text);
  EXPECT_NE(got.find("|1000|1001|"), std::string::npos);
  EXPECT_NE(got.find("|1199"), std::string::npos) << "the last item is kept";
  EXPECT_NE(got.find("|1198|"), std::string::npos);
}

TEST_F(FirmsTest, TheVersionWordRebuildsTheTableOnlyWhenAsked) {
  start(0x20);
  net->deliver(0x8089, firm(1, "F1", "One"));
  net->deliver(0xD6, Msg00D6_FirmsVersion{4});
  ASSERT_TRUE(net->wait_handled());
  {
    LibraryLock lock(*lib);
    EXPECT_EQ(lib->firms.size(), 0u);
  }
  ASSERT_EQ(net->sent(0x9A).size(), 1u);
  EXPECT_EQ(net->sent(0x9A)[0].as<Msg009A_FirmsRequest>().value, -1);
  net->deliver(0x8089, firm(1, "F1", "One"));
  net->deliver(0xD6, Msg00D6_FirmsVersion{4});
  ASSERT_TRUE(net->wait_handled());
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->firms.size(), 1u) << "the same word changes nothing";
  EXPECT_EQ(net->sent(0x9A).size(), 1u);
}

TEST_F(FirmsTest, WithoutTheFlagTheVersionWordIsOnlyLogged) {
  start();
  net->deliver(0x8089, firm(1, "F1", "One"));
  net->deliver(0xD6, Msg00D6_FirmsVersion{4});
  ASSERT_TRUE(net->wait_handled());
  {
    LibraryLock lock(*lib);
    EXPECT_EQ(lib->firms.size(), 1u);
  }
  bool logged = false;
  for (const auto& d : diagnostics()) logged = logged || d == "Flag KELAPI_INIT_RECURRING_FIRMS not set\n";
  EXPECT_TRUE(logged);
}

TEST_F(FirmsTest, DepositoryAccountsInEveryForm) {
  start();
  Msg0053_FirmDepoAccountOld oldest{};
  oldest.number = 2;
  std::strcpy(oldest.code1, "ACC");
  std::strcpy(oldest.code2, "FIRM");
  oldest.d1 = 10;
  oldest.d2 = 20;
  net->deliver(0x53, oldest);
  Msg8076_SecDepoAccount sec{};
  sec.number = 0;
  std::strcpy(sec.code1, "c1");
  std::strcpy(sec.code4, "c4");
  sec.d8 = 8.5;
  net->deliver(0x8076, sec);
  Msg806C_SecDepoAccountOld sec_old{};
  sec_old.number = 0;  // replaces the whole record
  std::strcpy(sec_old.code1, "n1");
  sec_old.d2 = 2;
  net->deliver(0x806C, sec_old);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(events(KELAPI_EVENT_NEWFIRMDEPOACCOUNT).size(), 1u);
  EXPECT_EQ(events(KELAPI_EVENT_NEWSECDEPOACCOUNT).size(), 2u);

  KelapiFirmDepoAccountRecordEx f;
  ASSERT_EQ(KelapiGetFirmDepoAccountEx(3, &f, 80), KELAPI_OK);
  EXPECT_DOUBLE_EQ(f.d1, 10.0);
  EXPECT_DOUBLE_EQ(f.d2, 20.0);
  EXPECT_DOUBLE_EQ(f.d5, 0.0);
  EXPECT_STREQ(f.code1, "ACC");
  EXPECT_STREQ(f.code2, "FIRM");
  KelapiSecDepoAccountRecordEx s;
  ASSERT_EQ(KelapiGetSecDepoAccountEx(1, &s, 120), KELAPI_OK);
  EXPECT_STREQ(s.code1, "n1");
  EXPECT_STREQ(s.code4, "");
  EXPECT_DOUBLE_EQ(s.d8, 0.0) << "the older form has no d8";
  EXPECT_DOUBLE_EQ(s.d2, 2.0);
  EXPECT_EQ(KelapiGetSecDepoAccountEx(1, nullptr, 88), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetFirmDepoAccountEx(3, nullptr, 64), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiGetFirmDepoAccount(1, &f), KELAPI_E_INVALIDARG);

  net->clear_sent();
  ASSERT_EQ(KelapiBookDepoAccounts(), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWSECDEPOACCOUNT, 3));
  for (int i = 0; i < 30000 && net->sent(0x54).empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const auto sent = net->sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].id, 0x50);
  EXPECT_EQ(sent[1].id, 0x54);
}

TEST_F(FirmsTest, TheJournalRestoresHeadersAndAccounts) {
  ASSERT_EQ(init(0, 1), KELAPI_OK);
  LibraryLock lock(*lib);
  Msg8066_FirmOld old{};
  old.number = 4;
  std::strcpy(old.firm_id, "F4");
  std::memcpy(old.name, "A name of thirty-one characters", 31);  // unterminated
  replay_firm(*lib, 62, std::span(reinterpret_cast<const uint8_t*>(&old), sizeof old));
  replay_firm(*lib, 62, std::span(reinterpret_cast<const uint8_t*>(&old), sizeof old - 1));  // skipped
  Msg8077_FirmDepoAccount acc{};
  acc.number = 1;
  replay_depo_account(*lib, 65, std::span(reinterpret_cast<const uint8_t*>(&acc), sizeof acc));
  ASSERT_EQ(lib->firms.size(), 1u);
  EXPECT_STREQ(lib->firms.at(0).firm.name, "A name of thirty-one characters");
  EXPECT_EQ(lib->depo_accounts.firm.size(), 1u);
}

}  // namespace
}  // namespace kelda::kelapi::test
