// Hand-worked portfolios: a lag-1 and a lag-2 client, every figure of the row
// and of several planned trades worked out on paper. Prices and amounts
// are binary fractions, so most figures are exact; the few quotients are
// written as the quotient of their paper values.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_terminal.h"
#include "platform/last_error.h"

namespace kelda::margin::test {
namespace {

class HandFigures : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& t = FakeTerminal::instance();
    t.reset();
    ASSERT_TRUE(t.install(2));
    // TQBR: SBER (10 per lot), GAZP, LKOH, ROSN. TQOB: a bond class with
    // secondary valuation, OFZ1 of face value 1000.
    ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER", 10}, {102, "GAZP"}, {103, "LKOH"}, {104, "ROSN"}}));
    ASSERT_TRUE(FakeTerminal::add_class(20, "TQOB", {{201, "OFZ1", 1, 1000.0}}, MARGO_CLASS_BOND, 1));
    t.set_prices(10, 101, 250.5, 250.25, 248.5, 0);        // no last: current is the offer
    t.set_prices(10, 102, 150.5, 150.25, 149.75, 150.125);
    t.set_prices(10, 103, 0, 60.5, 59.75, 60.25);          // no offer: the last stands in
    t.set_prices(20, 201, 99.5, 99.25, 98.75, 99);         // + 12.5 accrued: 1007.5, 1005, 1000, 1002.5
    t.set_param(20, 201, "ACCRUEDINT", 12.5);
  }

  static void expect_activity(const MargoMarginalRow& row, int32_t class_id, int32_t security_id, int32_t size,
                              double price, int32_t working, int32_t buy, int32_t sell, double current,
                              double previous) {
    SCOPED_TRACE(::testing::Message() << "security " << security_id << " price " << price);
    MargoActivity a;
    std::memset(&a, 0xAB, sizeof a);
    a.size = size;
    a.classId = class_id;
    a.securityId = security_id;
    ASSERT_TRUE(MargoInitMarginalActv(&row, &a));
    ASSERT_TRUE(MargoCalcMarginalActv(&row, &a, price));
    EXPECT_EQ(a.workingQuantity, working);
    EXPECT_EQ(a.buyQuantity, buy);
    EXPECT_EQ(a.sellQuantity, sell);
    EXPECT_DOUBLE_EQ(a.currentValue, current);
    if (size == 56) {
      EXPECT_DOUBLE_EQ(a.previousValue, previous);
    } else {
      double untouched;
      std::memset(&untouched, 0xAB, sizeof untouched);
      EXPECT_EQ(std::memcmp(&a.previousValue, &untouched, sizeof untouched), 0);
    }
  }
};

TEST_F(HandFigures, Lag1Client) {
  auto& t = FakeTerminal::instance();
  ASSERT_TRUE(MargoSetDliniFile("MC01",
                                "[GENERAL]\nCREDITLAG=1\n"
                                "[LIMITALLOWEDSECURITY]\nTQBR=SBER,GAZP,ROSN\n"
                                "[ASSETSECURITIES]\nTQBR=SBER,LKOH\n"
                                "[SECURITYWEIGHT]\nSBER=0.5,1.5\n"
                                "[BOARDTAG]\nEQTV=1\n"
                                "[ADDLIMITBOARDS]\nEQTV=ADDL\n"
                                "[ADDREPOTRDACC]\nEQTV=REPO01\n"));
  // Money: ADDL is kind 2 (all sums only), EQTV kind 1, XXXX unlisted (skipped).
  t.add_money({"MC01", "C1", "ADDL", "SUR", 40000, 0, 40000, 0, 0, 0, 50});
  t.add_money({"MC01", "C1", "EQTV", "SUR", 100000, 244425, 80000, 10000, 5000, 20000, -1});
  t.add_money({"MC01", "C1", "XXXX", "SUR", 999900, 999900, 999900, 999900, 999900, 999900, 10});
  t.add_money({"MC01", "C2", "EQTV", "SUR", 777700, 0, 0, 0, 0, 0, -1});  // another client: ends the walk
  // Securities: GAZP margin only; LKOH asset only; OFZ1 valued through its
  // class (repo account, kind 3); ROSN without prices and UNKN unknown: skipped.
  t.add_depo({"MC01", "C1", "GAZP", "", 10, 0, 20, 0, 0, 0, 0});
  t.add_depo({"MC01", "C1", "LKOH", "", -4, 0, -2, 0, 0, 0, 0});
  t.add_depo({"MC01", "C1", "OFZ1", "REPO01", 5, 0, 5, 0, 8, 0, 0});
  t.add_depo({"MC01", "C1", "ROSN", "", 0, 0, 100, 0, 0, 0, 0});
  t.add_depo({"MC01", "C1", "SBER", "", 3, 1, 4, 2, 0, 0, 50000});
  t.add_depo({"MC01", "C1", "UNKN", "", 0, 0, 7, 0, 0, 0, 0});

  MargoMarginalRow row = make_row("MC01", "C1", 280);
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  EXPECT_EQ(row.lag2, 0);
  int32_t money_position = 0;  // start of the walk given, not looked up
  int32_t depo_position = 0;
  const int find_calls = t.calls.find_money;
  ASSERT_TRUE(MargoCalcMarginalRowEx(&row, &money_position, &depo_position));
  EXPECT_EQ(t.calls.find_money, find_calls);
  EXPECT_EQ(money_position, 3);  // the other client's limit
  EXPECT_EQ(depo_position, 6);   // past the end

  // Per securities limit (unit factor 10 for SBER, 1 otherwise):
  //   GAZP  WQ 20   OV 10*149.75=1497.5   CV 20*150.25=3005      (not an asset)
  //   LKOH  WQ -2   OV -4*59.75=-239      CV -2*60.25=-120.5     short, asset: P13,PALL -239
  //   OFZ1  WQ 5    OV 5*1000=5000        CV 5*1005=5025         held for sale 3*1007.5=3022.5
  //   SBER  WQ 5    OV 3*248.5*10=7455    CV 5*250.25*10=12512.5 long 0.5: 3727.5 / 6256.25, G 500
  // P13 = PALL = 3488.5, SHORTS = -120.5, LONGS = 6256.25.
  EXPECT_DOUBLE_EQ(row.shortValue, -120.5);
  EXPECT_DOUBLE_EQ(row.longAssetValue, 6256.25);
  EXPECT_DOUBLE_EQ(row.longMarginValue, 6256.25);
  EXPECT_DOUBLE_EQ(row.longOtherAssetValue, 0);
  EXPECT_DOUBLE_EQ(row.collateral, 500);
  EXPECT_DOUBLE_EQ(row.marginCollateral, 500);
  EXPECT_DOUBLE_EQ(row.otherCollateral, 0);
  EXPECT_DOUBLE_EQ(row.heldForSaleValue, 3022.5);
  EXPECT_DOUBLE_EQ(row.openingValue, 1400 + 1497.5 - 239 + 5000 + 7455);   // 15113.5
  EXPECT_DOUBLE_EQ(row.currentValue, 1200 + 3005 - 120.5 + 5025 + 12512.5);  // 21622
  EXPECT_DOUBLE_EQ(row.openingOwnValue, 1000 + 3488.5);
  EXPECT_DOUBLE_EQ(row.leverage, 0.5);  // 2444.25 / (1400 + 3488.5)
  EXPECT_EQ(row.leverageFromLimit, 0);
  EXPECT_DOUBLE_EQ(row.leverageNumerator, 2444.25);
  EXPECT_DOUBLE_EQ(row.freeMoney, 600);                // 800 - 200
  EXPECT_DOUBLE_EQ(row.portfolioValue, 6735.75);       // -120.5 + 6256.25 + 600
  EXPECT_DOUBLE_EQ(row.buyingPower, 3567.875);         // 0.5 * (1200 - 200 + 6256.25 - 120.5)
  EXPECT_DOUBLE_EQ(row.availableLimit, 404.375);       // 3567.875 - 120.5 - 3022.5 + min(-20.5, 0)
  EXPECT_DOUBLE_EQ(row.availableLimitCopy, 404.375);
  EXPECT_DOUBLE_EQ(row.marginLevel, 6935.75 / 7056.25 * 100);
  EXPECT_DOUBLE_EQ(row.fundsHeld, 200);
  EXPECT_DOUBLE_EQ(row.purchaseLimit, 1250);           // 1200 + 100 - 50
  EXPECT_DOUBLE_EQ(row.nonMarginPurchaseLimit, 1150);  // 1200 - 50
  EXPECT_DOUBLE_EQ(row.collateralPurchaseLimit, 0);
  EXPECT_DOUBLE_EQ(row.heldValue, 0);
  EXPECT_DOUBLE_EQ(row.ownCurrentAmount, 800);
  EXPECT_DOUBLE_EQ(row.amountESum, 50);
  EXPECT_DOUBLE_EQ(row.riskRatio, 100 / (6935.75 / 7056.25 * 100) - 1);
  EXPECT_DOUBLE_EQ(row.freeAfterPortfolio, 400);  // R 7135.75 - 6735.75

  // Trades: buy = limit / (unit * price); sell = CQ + Q2 - Q3.
  expect_activity(row, 10, 101, 56, 12.5, 5, 10, 6, 5 * 250.5 * 10, 5 * 248.5 * 10);  // 1250 / 125
  expect_activity(row, 10, 102, 48, 0, 20, 8, 20, 20 * 150.125, 0);                  // 1250 / 150.5
  expect_activity(row, 20, 201, 56, 100, 0, 1, 0, 0, 0);  // 1150 / 1012.5; the repo-account limit does not count
  expect_activity(row, 10, 103, 56, 0, -2, 19, 0, -120.5, -119.5);  // 1150 / 60.25

  MargoActivity no_price{};
  no_price.size = 56;
  no_price.classId = 10;
  no_price.securityId = 104;
  ASSERT_TRUE(MargoInitMarginalActv(&row, &no_price));
  no_price.buyQuantity = 77;
  EXPECT_FALSE(MargoCalcMarginalActv(&row, &no_price, 0));
  EXPECT_EQ(kelda::platform::get_last_error(), MARGO_ERROR_NO_PRICE);
  EXPECT_EQ(no_price.buyQuantity, 77);
}

TEST_F(HandFigures, Lag2Client) {
  auto& t = FakeTerminal::instance();
  t.set_prices(10, 104, 40.5, 40.25, 40, 40.125);
  ASSERT_TRUE(MargoSetDliniFile("MC02",
                                "[GENERAL]\nCHECKMAXCREDIT=1\nRSTRNMBUY=1\nMAINMARGINCLASSES=TQBR\n"
                                "[LIMITALLOWEDSECURITY]\nTQBR=<ALL>\n"
                                "[RESTSHORTSECURITIES]\nTQBR=GAZP\n"
                                "[CLL2A_MARGIN]\nRSTRNMBUY=0\nTQBR=<ALL>\nTQBR_ASSET=SBER, GAZP\n"
                                "[CLIENTLAG]\nL2*=2\n"
                                "[SECURITYWEIGHT]\nGAZP=0.75,1.25\n"
                                "[ADDLIMITTRDACC]\nEQTV=ADD01\n"));
  t.add_money({"MC02", "L2A", "EQTV", "SUR", 500000, 1630275, 400000, 30000, 20000, 50000, -1});
  // Lag 2: the working quantity is the current quantity.
  t.add_depo({"MC02", "L2A", "GAZP", "", 8, 3, -6, 1, 0, 0, 0});
  t.add_depo({"MC02", "L2A", "LKOH", "", 0, 0, -3, 0, 0, 1, 0});
  t.add_depo({"MC02", "L2A", "OFZ1", "", 0, 0, 2, 0, 0, 0, 0});
  t.add_depo({"MC02", "L2A", "ROSN", "", 0, 0, 5, 0, 1, 0, 0});
  t.add_depo({"MC02", "L2A", "SBER", "", 2, 0, 4, 0, 6, -1, 20000});
  t.add_depo({"MC02", "L2A", "SBER", "ADD01", 0, 0, -1, 0, 0, 0, 0});  // kind 2: all-accounts sums only

  MargoMarginalRow row = make_row("MC02", "L2A", 280);
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  EXPECT_EQ(row.lag2, 1);
  ASSERT_TRUE(MargoCalcMarginalRow(&row));

  //   GAZP  asset+margin, 0.75/1.25: OV 8*149.75=1198 (898.5), CV -6*150.5=-903 (-1128.75)
  //   LKOH  margin only:  CV -3*60.25=-180.75 short
  //   OFZ1  class-valued: CV 2*1005=2010
  //   ROSN  margin only:  CV 5*40.25=201.25
  //   SBER  asset+margin: OV 2*248.5*10=4970, CV 4*250.25*10=10010, G 200, held for sale 2*2505=5010
  //   SBER ADD01 (kind 2): CV -1*2505=-2505, SHORTS only
  // P13 = PALL = 5868.5; SHORTS = -3814.5; LONGS = 10010; o72 = -1309.5.
  EXPECT_DOUBLE_EQ(row.shortValue, -1309.5);
  EXPECT_DOUBLE_EQ(row.longAssetValue, 10010);
  EXPECT_DOUBLE_EQ(row.longMarginValue, 10010);
  EXPECT_DOUBLE_EQ(row.collateral, 200);
  EXPECT_DOUBLE_EQ(row.marginCollateral, 200);
  EXPECT_DOUBLE_EQ(row.heldForSaleValue, 5010);
  EXPECT_DOUBLE_EQ(row.openingValue, 5000 + 1198 + 4970);
  EXPECT_DOUBLE_EQ(row.currentValue, 4000 - 903 - 180.75 + 2010 + 201.25 + 10010 - 2505);
  EXPECT_DOUBLE_EQ(row.openingOwnValue, 10868.5);      // 5000 + 5868.5
  EXPECT_DOUBLE_EQ(row.leverage, 1.5);                 // 16302.75 / 10868.5
  EXPECT_DOUBLE_EQ(row.leverageNumerator, 16302.75);
  EXPECT_DOUBLE_EQ(row.freeMoney, 3500);               // 4000 - 500
  EXPECT_DOUBLE_EQ(row.portfolioValue, 12200.5);       // -1309.5 + 10010 + 3500
  EXPECT_DOUBLE_EQ(row.buyingPower, 14543.25);         // 1.5 * (4000 - 500 + 10010 - 3814.5)
  EXPECT_DOUBLE_EQ(row.availableLimit, 8223.75);       // 14543.25 - 1309.5 - 5010 + min(1990.5, 0)
  EXPECT_DOUBLE_EQ(row.availableLimitCopy, 8223.75);
  EXPECT_DOUBLE_EQ(row.marginLevel, 12700.5 / 14010 * 100);
  EXPECT_DOUBLE_EQ(row.fundsHeld, 500);
  EXPECT_DOUBLE_EQ(row.purchaseLimit, 10214.25);       // 8223.75 + 1990.5
  EXPECT_DOUBLE_EQ(row.heldValue, 16529.5);            // 5010 + 1309.5 + 200 + 10010
  EXPECT_DOUBLE_EQ(row.collateralPurchaseLimit, 10214.25);  // 12200.5 + min(14543.25 - 16529.5, 0)
  // Lag-2 limit, U = -2505, L 1.5, F 1990.5, N -6319.5: C2 = 1990.5, S = T = 10214.25 / 2.5.
  EXPECT_DOUBLE_EQ(row.nonMarginPurchaseLimit, 10214.25 / 2.5);
  EXPECT_DOUBLE_EQ(row.ownCurrentAmount, 4000);
  EXPECT_DOUBLE_EQ(row.amountESum, 200);
  EXPECT_DOUBLE_EQ(row.riskRatio, 100 / (12700.5 / 14010 * 100) - 1);
  EXPECT_DOUBLE_EQ(row.freeAfterPortfolio, -2505);

  // SBER: V = 10214.25/10, B = (V + 250.5) / 250.5 -> 5 (credit cap 20102.75/2505 -> 8);
  //       sell = 8223.75 / 2502.5 -> 3.
  expect_activity(row, 10, 101, 56, 0, 4, 5, 3, 4 * 250.5 * 10, 4 * 248.5 * 10);
  // GAZP at 151, restricted for short sales: B = (10214.25 + 903 + 903) / 151 -> 79; sell min(0, 3-6-0) -> 0.
  expect_activity(row, 10, 102, 56, 151, -6, 79, 0, -6 * 150.125, -6 * 149.75);
  // OFZ1: neither list, the client's own RSTRNMBUY is off: 4085.7 / 1007.5 -> 4; sell = CQ - Q3 = 2.
  expect_activity(row, 20, 201, 56, 0, 2, 4, 2, 2 * 1002.5, 2 * 1000);
  // LKOH short 3, Q4 1 (DEBT -2): the limit with the debt covered is 14092.25 / 2.5;
  //   B = that / 60.25 + 2 -> 95; sell = 8223.75 / 60.5 -> 135.
  expect_activity(row, 10, 103, 56, 0, -3, 95, 135, -3 * 60.25, -3 * 59.75);
  // ROSN long 5, margin only: FREE = 1.5 * 9896.75 - 1309.5 - 5010 = 8525.625;
  //   sell = 8525.625 / 40.25 + 4 -> 215; buy = 4085.7 / 40.5 -> 100.
  expect_activity(row, 10, 104, 48, 0, 5, 100, 215, 5 * 40.125, 0);
}

}  // namespace
}  // namespace kelda::margin::test
