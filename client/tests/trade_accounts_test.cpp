// Trading accounts: merging by code, the description's items, the reads and
// acnt.dat.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "accounts/trade_accounts.h"
#include "library_fixture.h"

namespace kelda::kelapi::test {
namespace {

class TradeAccountsTest : public LibraryTest {
 protected:
  void start() {
    ASSERT_EQ(init(0, 1), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA"}, {"last"});
    end_class_lists();
  }

  static Msg00C8_TradeAccount account(int32_t number, const char* code, const char* second, const char* items) {
    Msg00C8_TradeAccount a{};
    a.number = number;
    std::strcpy(a.account, code);
    std::strcpy(a.second_code, second);
    a.description_count = static_cast<uint16_t>(std::strlen(items));
    std::memcpy(a.description, items, std::strlen(items));
    return a;
  }
};

TEST(TradeAccountDescription, ItemsAreTrimmedAndAddedOnce) {
  char d[1024] = "one|two";
  merge_description(d, "  two | three  ||");
  EXPECT_STREQ(d, "one|two|three");
  char full[1024];
  std::memset(full, 'x', sizeof full - 1);
  full[sizeof full - 1] = '\0';
  full[1018] = '\0';  // room for "|" and four more characters
  merge_description(full, "toolong|abcd");
  EXPECT_EQ(std::strlen(full), 1023u);
  EXPECT_STREQ(full + 1018, "|abcd") << "an item that does not fit is skipped, a later one that fits is kept";
}

TEST_F(TradeAccountsTest, OneAccountGathersItsSecondCodeNumberAndItems) {
  start();
  net->deliver(0xC8, account(-1, "L01-00000F00", "", " alpha | beta "));
  net->deliver(0xC8, account(4, "L01-00000F00", "SC", "beta| gamma"));
  net->deliver(0xC8, account(9, "L01-00000F00", "OTHER", "delta"));
  ASSERT_TRUE(net->wait_handled());
  {
    LibraryLock lock(*lib);
    ASSERT_EQ(lib->trade_accounts.size(), 2u);
  }
  const auto announced = events(KELAPI_EVENT_NEWTRDACCOUNT);
  ASSERT_EQ(announced.size(), 3u);
  EXPECT_EQ(announced[0].lparam, 0u) << "a number not yet known plus one";
  EXPECT_EQ(announced[1].lparam, 5u);

  KelapiTrdAccountRecordEx ex;
  ASSERT_EQ(KelapiGetTrdAccountEx(5, &ex, sizeof ex), KELAPI_OK);
  EXPECT_STREQ(ex.description, " alpha | beta |gamma") << "the first description is kept as sent";
  EXPECT_STREQ(ex.code2, "SC");
  EXPECT_STREQ(ex.code, "L01-00000F00");
  EXPECT_EQ(KelapiGetTrdAccountEx(5, &ex, 1060), KELAPI_E_STRUCT_SIZE);
  KelapiTrdAccountRecord r;
  ASSERT_EQ(KelapiGetTrdAccount(10, &r), KELAPI_OK);
  EXPECT_STREQ(r.code2, "OTHER");
  EXPECT_EQ(KelapiGetTrdAccount(0, &r), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiGetTrdAccount(5, nullptr), KELAPI_E_POINTER);

  ASSERT_EQ(KelapiBookTrdAccounts(), KELAPI_OK);
  EXPECT_EQ(KelapiBookTrdAccounts(), KELAPI_E_ALREADY_BOOKED);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWTRDACCOUNT, 5));

  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  std::ifstream in("acnt.dat", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 20u + 2 * sizeof(TradeAccount));
  EXPECT_EQ(bytes.substr(0, 8), "INFOACNT");
  EXPECT_EQ(bytes[16], 2) << "the count";
}

}  // namespace
}  // namespace kelda::kelapi::test
