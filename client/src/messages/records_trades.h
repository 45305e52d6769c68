// Message records of trades, trade accounts and negotiated deals, trades and
// reports (newest forms). Older forms of trades and negotiated deals have no
// record: they are recognised and dropped. Layouts in layouts_trading.cpp;
// plain data (see records_common.h).
#pragma once

#include <cstdint>

#include "records_common.h"

namespace kelda::kelapi {

// 0x806F, received: a trade. Its bytes are the trade row of the table.
struct Msg806F_Trade {
  int32_t sequence;
  double number;
  double order_number;
  int32_t time;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  int32_t security;
  int32_t price;
  int32_t quantity;
  double value;
  double amount1;
  int32_t amount2;
  char text3[13];
  char text4[13];
  uint32_t flags;
  int32_t price2;
  int32_t price3;
  char text5[13];
  double amount3;
  double amount4;
  double amount5;
  int16_t short1;
  int32_t price4;
  int32_t price5;
  int32_t price6;
  int16_t short2;
  double fee1;
  double fee2;
  double fee3;
  int32_t word1;
  char short_code1[5];
  char short_code2[5];
  uint16_t text_count;
  uint8_t text[68];
  uint16_t short_text_count;
  uint8_t short_text[36];
};
static_assert(sizeof(Msg806F_Trade) == 384);

// 0x001C, sent: trades from a sequence number on.
using Msg001C_TradesRequest = Word32;
// 0x002D, received, carries no fields: fresh start of trades.

// 0x00C8, received: a trading account.
struct Msg00C8_TradeAccount {
  int32_t number;
  char second_code[13];
  char account[13];
  uint16_t description_count;
  uint8_t description[998];
};
static_assert(sizeof(Msg00C8_TradeAccount) == 1032);

// 0x0042, sent: request the account list (always 0).
using Msg0042_AccountsRequest = Word32;
// 0x0045, received, carries no fields: fresh start of the account list.

// 0x8079, received: a negotiated deal. Its bytes are the deal row.
struct Msg8079_NegDeal {
  int32_t sequence;
  double number;
  int32_t word10;
  uint32_t flags;
  char comment[21];
  char text1[13];
  char text2[13];
  char text3[13];
  char text4[13];
  char text5[13];
  int32_t security;
  int32_t price;
  int32_t word1;
  char text6[11];
  char text7[13];
  int32_t amount1;
  double amount2;
  double amount3;
  int32_t price2;
  int32_t price3;
  int32_t amount4;
  int32_t word2;
  char text8[13];
  int16_t short1;
  double amount5;
  double amount6;
  int16_t short2;
  int32_t price4;
  int32_t price5;
  int32_t price6;
  int16_t short3;
  int32_t word3;
  int32_t word4;
  int32_t word5;
  int32_t word6;
  double amount7;
  int32_t word7;
  int32_t price7;
  int32_t word8;
  int32_t word9;
  int64_t value8;
};
static_assert(sizeof(Msg8079_NegDeal) == 288);

// 0x807F, received: a negotiated trade. Its bytes are the negotiated-trade row.
struct Msg807F_NegTrade {
  int32_t sequence;
  double number;
  int32_t word1;
  int32_t word9;
  uint32_t flags;
  char comment[21];
  char text1[13];
  char text2[13];
  char text3[13];
  char text4[13];
  int32_t security;
  int32_t price;
  int32_t word8;
  double amount1;
  char text5[13];
  int64_t value1;
  int64_t value2;
  double value3;
  int64_t value4;
  int32_t price2;
  int32_t price3;
  int32_t price4;
  char text6[13];
  double amount2;
  int32_t word2;
  int32_t word3;
  double amount3;
  double amount4;
  int16_t short1;
  double amount5;
  double amount6;
  int32_t price5;
  int32_t price6;
  int32_t price7;
  int16_t short2;
  int16_t short3;
  int16_t short4;
  int16_t short5;
  int32_t price8;
  int32_t word4;
  double amount7;
  double amount8;
  double amount9;
  double amount10;
  int32_t word5;
  int16_t short6;
  int16_t short7;
  int64_t value5;
  int64_t value6;
  int32_t word6;
  int64_t value7;
  int32_t word7;
  int16_t short8;
};
static_assert(sizeof(Msg807F_NegTrade) == 376);

// 0x807E, received: a report on negotiated deals. Its bytes are the report row.
struct Msg807E_NegReport {
  int32_t sequence;
  double number;
  int32_t word1;
  int32_t word2;
  uint32_t flags;
  char text1[13];
  char text2[13];
  char text3[13];
  char text4[13];
  char text5[13];
  int32_t security;
  int32_t word3;
  double amount;
  int32_t word4;
  int16_t short1;
  int16_t short2;
  int64_t value8;
};
static_assert(sizeof(Msg807E_NegReport) == 128);

// Sent: deals (0x0040, 0x0041), negotiated trades (0x0082, 0x0083) and
// reports (0x007E, 0x007F) from a sequence number on; one row again.
using Msg0040_NegDealsRequest = Word32;
using Msg0041_NegDealRequest = Word32;
using Msg0082_NegTradesRequest = Word32;
using Msg0083_NegTradeRequest = Word32;
using Msg007E_NegReportsRequest = Word32;
using Msg007F_NegReportRequest = Word32;
// 0x0047, 0x0084 and 0x0080, received, carry no fields: fresh starts.

}  // namespace kelda::kelapi
