// Message records of trades, trade accounts and negotiated deals, trades and
// reports, with the older forms whose fields are known. Layouts in
// layouts_trading.cpp; plain data (see records_common.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "record_forms.h"
#include "records_common.h"

namespace kelda::kelapi {

// Trades: the newest form 0x806F and its older forms, written once (see
// record_forms.h). Each older form converts into the next form of its chain:
// 0x806E and 0x806B into 0x806F; 0x806A and 0x8027 into 0x806B; 0x8026 and
// 0x00DF into 0x8027; 0x800D and 0x00CA into 0x00DF (trades/trade_forms.h).
//
// What a trade form carries, and the form it converts to. The newest form
// carries everything but the side word, the single value, the four values and
// the plain text.
struct TradeForm806F {
  // A 16-bit word before the comment; it moves the texts after it by two
  // bytes.
  static constexpr bool side_word = false;
  static constexpr int security_bits = 32;
  static constexpr bool amounts_1_2 = true;
  static constexpr int text3_size = 13;
  // One 8-byte value after text code 5 (it becomes fee 2).
  static constexpr bool single_value = false;
  // Four 8-byte values after text code 5 (fee 2 and amounts 3 to 5).
  static constexpr bool four_values = false;
  static constexpr bool amounts_3_5 = true;
  // Short words 1 and 2 and prices 4 to 6.
  static constexpr bool short_words_prices = true;
  static constexpr bool fees = true;
  // A plain text of 64 characters in place of the tail below.
  static constexpr bool plain_text = false;
  // Word 1, both short codes and both counted texts.
  static constexpr bool counted_tail = true;
};
// 0x806E: no amounts or short words, no prices 4 to 6, text code 3 of 3
// characters.
struct TradeForm806E : TradeForm806F {
  using converts_to = TradeForm806F;
  static constexpr bool amounts_1_2 = false;
  static constexpr int text3_size = 4;
  static constexpr bool amounts_3_5 = false;
  static constexpr bool short_words_prices = false;
};
// 0x806B: the side word, and a plain text in place of the counted tail.
struct TradeForm806B : TradeForm806F {
  using converts_to = TradeForm806F;
  static constexpr bool side_word = true;
  static constexpr bool plain_text = true;
  static constexpr bool counted_tail = false;
};
// 0x806A: 0x806B without the side word, amounts, short words and prices 4
// to 6; text code 3 of 3 characters.
struct TradeForm806A : TradeForm806B {
  using converts_to = TradeForm806B;
  static constexpr bool side_word = false;
  static constexpr bool amounts_1_2 = false;
  static constexpr int text3_size = 4;
  static constexpr bool amounts_3_5 = false;
  static constexpr bool short_words_prices = false;
};
// 0x8027: 0x806B without the plain text.
struct TradeForm8027 : TradeForm806B {
  using converts_to = TradeForm806B;
  static constexpr bool plain_text = false;
};
// 0x8026: 0x8027 without the side word, amounts, short words and prices 4
// to 6; text code 3 of 3 characters.
struct TradeForm8026 : TradeForm8027 {
  using converts_to = TradeForm8027;
  static constexpr bool side_word = false;
  static constexpr bool amounts_1_2 = false;
  static constexpr int text3_size = 4;
  static constexpr bool amounts_3_5 = false;
  static constexpr bool short_words_prices = false;
};
// 0x00DF: a 16-bit security; four values in place of amounts 3 to 5; no
// fees.
struct TradeForm00DF : TradeForm8027 {
  using converts_to = TradeForm8027;
  static constexpr int security_bits = 16;
  static constexpr bool four_values = true;
  static constexpr bool amounts_3_5 = false;
  static constexpr bool fees = false;
};
// 0x800D: 0x00DF without the side word, amounts, short words and prices 4
// to 6; text code 3 of 3 characters; one value in place of the four.
struct TradeForm800D : TradeForm00DF {
  using converts_to = TradeForm00DF;
  static constexpr bool side_word = false;
  static constexpr bool amounts_1_2 = false;
  static constexpr int text3_size = 4;
  static constexpr bool four_values = false;
  static constexpr bool single_value = true;
  static constexpr bool short_words_prices = false;
};
// 0x00CA: 0x00DF with text code 3 of 3 characters and one value in place of
// the four.
struct TradeForm00CA : TradeForm00DF {
  using converts_to = TradeForm00DF;
  static constexpr int text3_size = 4;
  static constexpr bool four_values = false;
  static constexpr bool single_value = true;
};

template <typename Form>
struct TradeRecord {
  int32_t sequence;
  double number;
  double order_number;
  int32_t time;
  KELAPI_FORM_MEMBER(Form::side_word, int16_t) side_word;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  FormInt<Form::security_bits> security;
  int32_t price;
  int32_t quantity;
  double value;
  KELAPI_FORM_MEMBER(Form::amounts_1_2, double) amount1;
  KELAPI_FORM_MEMBER(Form::amounts_1_2, int32_t) amount2;
  char text3[Form::text3_size];
  char text4[13];
  uint32_t flags;
  int32_t price2;
  int32_t price3;
  char text5[13];
  KELAPI_FORM_MEMBER(Form::single_value, double) single_value;
  KELAPI_FORM_MEMBER(Form::four_values, double[4]) values;
  KELAPI_FORM_MEMBER(Form::amounts_3_5, double) amount3;
  KELAPI_FORM_MEMBER(Form::amounts_3_5, double) amount4;
  KELAPI_FORM_MEMBER(Form::amounts_3_5, double) amount5;
  KELAPI_FORM_MEMBER(Form::short_words_prices, int16_t) short1;
  KELAPI_FORM_MEMBER(Form::short_words_prices, int32_t) price4;
  KELAPI_FORM_MEMBER(Form::short_words_prices, int32_t) price5;
  KELAPI_FORM_MEMBER(Form::short_words_prices, int32_t) price6;
  KELAPI_FORM_MEMBER(Form::short_words_prices, int16_t) short2;
  KELAPI_FORM_MEMBER(Form::fees, double) fee1;
  KELAPI_FORM_MEMBER(Form::fees, double) fee2;
  KELAPI_FORM_MEMBER(Form::fees, double) fee3;
  KELAPI_FORM_MEMBER(Form::plain_text, char[65]) plain_text;
  KELAPI_FORM_MEMBER(Form::counted_tail, int32_t) word1;
  KELAPI_FORM_MEMBER(Form::counted_tail, char[5]) short_code1;
  KELAPI_FORM_MEMBER(Form::counted_tail, char[5]) short_code2;
  KELAPI_FORM_MEMBER(Form::counted_tail, uint16_t) text_count;
  KELAPI_FORM_MEMBER(Form::counted_tail, uint8_t[68]) text;
  KELAPI_FORM_MEMBER(Form::counted_tail, uint16_t) short_text_count;
  KELAPI_FORM_MEMBER(Form::counted_tail, uint8_t[36]) short_text;
};

// 0x806F, received: a trade. Its bytes are the trade row of the table.
using Msg806F_Trade = TradeRecord<TradeForm806F>;
static_assert(sizeof(Msg806F_Trade) == 384);
// The older forms, received (0x806B and 0x00DF also as journal records).
using Msg806E_Trade = TradeRecord<TradeForm806E>;
static_assert(sizeof(Msg806E_Trade) == 312);
static_assert(offsetof(Msg806E_Trade, text3) == 112 && offsetof(Msg806E_Trade, flags) == 132);
static_assert(offsetof(Msg806E_Trade, text5) == 144 && offsetof(Msg806E_Trade, fee1) == 160);
static_assert(offsetof(Msg806E_Trade, word1) == 184 && offsetof(Msg806E_Trade, short_text) == 270);
using Msg806B_Trade = TradeRecord<TradeForm806B>;
static_assert(sizeof(Msg806B_Trade) == 328);
static_assert(offsetof(Msg806B_Trade, side_word) == 28 && offsetof(Msg806B_Trade, comment) == 30);
static_assert(offsetof(Msg806B_Trade, security) == 92 && offsetof(Msg806B_Trade, quantity) == 100);
static_assert(offsetof(Msg806B_Trade, short2) == 224 && offsetof(Msg806B_Trade, plain_text) == 256);
using Msg806A_Trade = TradeRecord<TradeForm806A>;
static_assert(sizeof(Msg806A_Trade) == 256);
static_assert(offsetof(Msg806A_Trade, fee3) == 176 && offsetof(Msg806A_Trade, plain_text) == 184);
using Msg8027_Trade = TradeRecord<TradeForm8027>;
static_assert(sizeof(Msg8027_Trade) == 256);
static_assert(offsetof(Msg8027_Trade, fee3) == 248);
using Msg8026_Trade = TradeRecord<TradeForm8026>;
static_assert(sizeof(Msg8026_Trade) == 184);
static_assert(offsetof(Msg8026_Trade, security) == 88 && offsetof(Msg8026_Trade, fee1) == 160);
using Msg00DF_Trade = TradeRecord<TradeForm00DF>;
static_assert(sizeof(Msg00DF_Trade) == 240);
static_assert(offsetof(Msg00DF_Trade, security) == 90 && offsetof(Msg00DF_Trade, price) == 92);
static_assert(offsetof(Msg00DF_Trade, quantity) == 96 && offsetof(Msg00DF_Trade, values) == 184);
static_assert(offsetof(Msg00DF_Trade, short1) == 216 && offsetof(Msg00DF_Trade, short2) == 232);
using Msg800D_Trade = TradeRecord<TradeForm800D>;
static_assert(sizeof(Msg800D_Trade) == 168);
static_assert(offsetof(Msg800D_Trade, security) == 88 && offsetof(Msg800D_Trade, single_value) == 160);
using Msg00CA_Trade = TradeRecord<TradeForm00CA>;
static_assert(sizeof(Msg00CA_Trade) == 208);
static_assert(offsetof(Msg00CA_Trade, text3) == 124 && offsetof(Msg00CA_Trade, text4) == 128);
static_assert(offsetof(Msg00CA_Trade, flags) == 144 && offsetof(Msg00CA_Trade, price3) == 152);
static_assert(offsetof(Msg00CA_Trade, text5) == 156 && offsetof(Msg00CA_Trade, single_value) == 176);

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

// Negotiated deals, trades and reports: the newest forms 0x8079, 0x807F and
// 0x807E, and the older forms 0x805D, 0x8058 and 0x805E that end before the
// newest ones' last members (see record_forms.h).
struct NegDealForm8079 {
  static constexpr bool words_8_9_value = true;
};
// 0x805D: ends with price 7.
struct NegDealForm805D : NegDealForm8079 {
  static constexpr bool words_8_9_value = false;
};
struct NegTradeForm807F {
  // Short words 6 to 8, words 6 and 7 and values 5 to 7.
  static constexpr bool after_word5 = true;
};
// 0x8058: ends with word 5.
struct NegTradeForm8058 : NegTradeForm807F {
  static constexpr bool after_word5 = false;
};
struct NegReportForm807E {
  static constexpr bool value8 = true;
};
// 0x805E: ends with short word 2.
struct NegReportForm805E : NegReportForm807E {
  static constexpr bool value8 = false;
};

template <typename Form>
struct NegDealRecord {
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
  KELAPI_FORM_MEMBER(Form::words_8_9_value, int32_t) word8;
  KELAPI_FORM_MEMBER(Form::words_8_9_value, int32_t) word9;
  KELAPI_FORM_MEMBER(Form::words_8_9_value, int64_t) value8;
};
// 0x8079, received: a negotiated deal. Its bytes are the deal row.
using Msg8079_NegDeal = NegDealRecord<NegDealForm8079>;
static_assert(sizeof(Msg8079_NegDeal) == 288);
// 0x805D, received; also the journal record of tag 47.
using Msg805D_NegDeal = NegDealRecord<NegDealForm805D>;
static_assert(sizeof(Msg805D_NegDeal) == 272 && offsetof(Msg805D_NegDeal, price7) == 268);

template <typename Form>
struct NegTradeRecord {
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
  KELAPI_FORM_MEMBER(Form::after_word5, int16_t) short6;
  KELAPI_FORM_MEMBER(Form::after_word5, int16_t) short7;
  KELAPI_FORM_MEMBER(Form::after_word5, int64_t) value5;
  KELAPI_FORM_MEMBER(Form::after_word5, int64_t) value6;
  KELAPI_FORM_MEMBER(Form::after_word5, int32_t) word6;
  KELAPI_FORM_MEMBER(Form::after_word5, int64_t) value7;
  KELAPI_FORM_MEMBER(Form::after_word5, int32_t) word7;
  KELAPI_FORM_MEMBER(Form::after_word5, int16_t) short8;
};
// 0x807F, received: a negotiated trade. Its bytes are the negotiated-trade row.
using Msg807F_NegTrade = NegTradeRecord<NegTradeForm807F>;
static_assert(sizeof(Msg807F_NegTrade) == 376);
// 0x8058, received; also the journal record of tag 48.
using Msg8058_NegTrade = NegTradeRecord<NegTradeForm8058>;
static_assert(sizeof(Msg8058_NegTrade) == 336 && offsetof(Msg8058_NegTrade, word5) == 328);

template <typename Form>
struct NegReportRecord {
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
  KELAPI_FORM_MEMBER(Form::value8, int64_t) value8;
};
// 0x807E, received: a report on negotiated deals. Its bytes are the report row.
using Msg807E_NegReport = NegReportRecord<NegReportForm807E>;
static_assert(sizeof(Msg807E_NegReport) == 128);
// 0x805E, received; also the journal record of tag 49.
using Msg805E_NegReport = NegReportRecord<NegReportForm805E>;
static_assert(sizeof(Msg805E_NegReport) == 120 && offsetof(Msg805E_NegReport, short2) == 118);

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
