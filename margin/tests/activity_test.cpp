// Planned trades: resolving the security, the buy and sell quantities at
// their edges, and what a failed calculation leaves.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_terminal.h"
#include "platform/last_error.h"

namespace kelda::margin::test {
namespace {

using kelda::platform::get_last_error;

class MarginActivity : public ::testing::Test {
 protected:
  void SetUp() override {
    t.reset();
    ASSERT_TRUE(t.install(2));
    ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER"}, {102, "GAZP"}}));
    t.set_prices(10, 101, 12.5, 12.25, 12, 12.375);
    t.set_prices(10, 102, 0, 0, 0, 0);
  }
  FakeTerminal& t = FakeTerminal::instance();

  MargoActivity resolved(const MargoMarginalRow& row, int32_t security_id, int32_t size = 56) {
    MargoActivity a{};
    a.size = size;
    a.classId = 10;
    a.securityId = security_id;
    EXPECT_TRUE(MargoInitMarginalActv(&row, &a));
    return a;
  }
};

TEST_F(MarginActivity, BuyQuantityOfALag1ClientFollowsThePurchaseLimit) {
  ASSERT_TRUE(MargoSetDliniFile("F1", "[LIMITALLOWEDSECURITY]\nTQBR=SBER\n"));
  // purchase limit (C + D) * 0.01 - E * 0.01 = 1000.
  t.add_money({"F1", "C1", "EQTV", "SUR", 0, 0, 90000, 20000, 10000, 0, -1});
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  ASSERT_DOUBLE_EQ(row.purchaseLimit, 1000);
  MargoActivity a = resolved(row, 101);
  EXPECT_EQ(a.isMargin, 1);
  EXPECT_EQ(a.isAsset, 1);
  EXPECT_EQ(a.securityIndex, 0);
  ASSERT_TRUE(MargoCalcMarginalActv(&row, &a, 10));
  EXPECT_EQ(a.buyQuantity, 100);
  ASSERT_TRUE(MargoCalcMarginalActv(&row, &a, 0));  // the offer, 12.5
  EXPECT_EQ(a.buyQuantity, 80);
  ASSERT_TRUE(MargoCalcMarginalActv(&row, &a, -3));
  EXPECT_EQ(a.buyQuantity, 80);
  ASSERT_TRUE(MargoCalcMarginalActv(&row, &a, 1e-300));  // would be 1e303: capped
  EXPECT_EQ(a.buyQuantity, INT32_MAX);
}

TEST_F(MarginActivity, SellQuantityIsNeverNegative) {
  ASSERT_TRUE(MargoSetDliniFile("F1", ""));
  t.add_depo({"F1", "C1", "SBER", "", 0, 0, 5, 0, 7, 0, 0});
  t.add_depo({"F1", "C1", "SBER", "ACC2", 0, 0, 100, 0, 0, 0, 0});  // same kind 1: counted
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  MargoActivity a = resolved(row, 101);
  ASSERT_TRUE(MargoCalcMarginalActv(&row, &a, 0));
  EXPECT_EQ(a.sellQuantity, 98);  // 105 - 7
  t.depo.pop_back();
  ASSERT_TRUE(MargoCalcMarginalActv(&row, &a, 0));
  EXPECT_EQ(a.sellQuantity, 0);  // 5 - 7
  EXPECT_EQ(a.workingQuantity, 5);
}

TEST_F(MarginActivity, WorkingQuantityDoesNotOverflow) {
  ASSERT_TRUE(MargoSetDliniFile("F1", ""));
  t.add_depo({"F1", "C1", "SBER", "", 0, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, 0, 0});
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  MargoActivity a = resolved(row, 101);
  ASSERT_TRUE(MargoCalcMarginalActv(&row, &a, 0));
  EXPECT_EQ(a.workingQuantity, INT32_MAX);
  EXPECT_EQ(a.sellQuantity, INT32_MAX);
  EXPECT_DOUBLE_EQ(a.currentValue, INT32_MAX * 12.375);
}

TEST_F(MarginActivity, FailuresLeaveTheActivityAsItWas) {
  ASSERT_TRUE(MargoSetDliniFile("F1", ""));
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));

  MargoActivity sber = resolved(row, 101);
  t.param_names = {"BID"};  // before any index was cached
  EXPECT_FALSE(MargoCalcMarginalActv(&row, &sber, 5));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_NO_PRICE_PARAM);
  t.param_names = {"OFFER", "BID", "PREVPRICE", "LAST"};

  MargoActivity unknown{};
  unknown.size = 48;
  unknown.classId = 10;
  unknown.securityId = 999;
  EXPECT_FALSE(MargoInitMarginalActv(&row, &unknown));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_UNKNOWN_SECURITY);
  EXPECT_EQ(unknown.securityIndex, 0);

  MargoActivity a = resolved(row, 102);  // no prices at all
  MargoActivity before;
  std::memcpy(&before, &a, sizeof a);
  EXPECT_FALSE(MargoCalcMarginalActv(&row, &a, 5));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_NO_PRICE);
  EXPECT_EQ(std::memcmp(&before, &a, sizeof a), 0);

  a.securityIndex = 2;  // past the table
  EXPECT_FALSE(MargoCalcMarginalActv(&row, &a, 5));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_UNKNOWN_SECURITY);
  a.securityIndex = -1;
  EXPECT_FALSE(MargoCalcMarginalActv(&row, &a, 5));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_UNKNOWN_SECURITY);
}

TEST_F(MarginActivity, ShortRestrictionNeedsAMarginSecurity) {
  ASSERT_TRUE(MargoSetDliniFile("F1", "[LIMITALLOWEDSECURITY]\nTQBR=SBER\n[RESTSHORTSECURITIES]\nTQBR=SBER,GAZP\n"));
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  EXPECT_EQ(resolved(row, 101).isShortRestricted, 1);
  const MargoActivity gazp = resolved(row, 102);
  EXPECT_EQ(gazp.isMargin, 0);
  EXPECT_EQ(gazp.isShortRestricted, 0);
}

}  // namespace
}  // namespace kelda::margin::test
