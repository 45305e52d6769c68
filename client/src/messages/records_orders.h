// Message records of orders and stop orders, newest and older forms.
// Layouts in layouts_trading.cpp; plain data (see records_common.h).
#pragma once

#include <cstdint>

#include "record_forms.h"
#include "records_common.h"

namespace kelda::kelapi {

// 0x807B, received: an order. Its bytes are the order row of the table.
struct Msg807B_Order {
  int32_t sequence;
  double number;
  int32_t time;
  uint32_t flags;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  int32_t security;
  int32_t price;
  int32_t quantity;
  int32_t balance;
  double value;
  double amount1;
  int32_t amount2;
  int32_t word1;
  char text3[13];
  int32_t second_price;
  char text4[13];
  int32_t word2;
  int32_t word3;
  int32_t trade_date;
  char long_text[65];
  int32_t word4;
  int64_t value8;
  int32_t word5;
};
static_assert(sizeof(Msg807B_Order) == 264);

// 0x807A, received: an order without amounts 1 and 2, second price and text 4.
struct Msg807A_Order {
  int32_t sequence;
  double number;
  int32_t time;
  uint32_t flags;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  int32_t security;
  int32_t price;
  int32_t quantity;
  int32_t balance;
  double value;
  int32_t word1;
  char text3[13];
  int32_t word2;
  int32_t word3;
  int32_t trade_date;
  char long_text[65];
  int32_t word4;
  int64_t value8;
  int32_t word5;
};
static_assert(sizeof(Msg807A_Order) == 232);

// 0x805B, received: 0x807B up to the long text.
struct Msg805B_Order {
  int32_t sequence;
  double number;
  int32_t time;
  uint32_t flags;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  int32_t security;
  int32_t price;
  int32_t quantity;
  int32_t balance;
  double value;
  double amount1;
  int32_t amount2;
  int32_t word1;
  char text3[13];
  int32_t second_price;
  char text4[13];
  int32_t word2;
  int32_t word3;
  int32_t trade_date;
  char long_text[65];
};
static_assert(sizeof(Msg805B_Order) == 248);

// 0x805A, received: 0x807A up to the long text.
struct Msg805A_Order {
  int32_t sequence;
  double number;
  int32_t time;
  uint32_t flags;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  int32_t security;
  int32_t price;
  int32_t quantity;
  int32_t balance;
  double value;
  int32_t word1;
  char text3[13];
  int32_t word2;
  int32_t word3;
  int32_t trade_date;
  char long_text[65];
};
static_assert(sizeof(Msg805A_Order) == 216);

// 0x800F, received: 16-bit security and word 2, no trade date or long text.
struct Msg800F_Order {
  int32_t sequence;
  double number;
  int32_t time;
  uint32_t flags;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  int16_t security;
  int32_t price;
  int32_t quantity;
  int32_t balance;
  double value;
  double amount1;
  int32_t amount2;
  int32_t word1;
  char text3[13];
  int32_t second_price;
  char text4[13];
  int16_t word2;
  int32_t word3;
};
static_assert(sizeof(Msg800F_Order) == 168);

// 0x800E, received: 0x800F without amounts 1 and 2, second price and text 4.
struct Msg800E_Order {
  int32_t sequence;
  double number;
  int32_t time;
  uint32_t flags;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  int16_t security;
  int32_t price;
  int32_t quantity;
  int32_t balance;
  double value;
  int32_t word1;
  char text3[13];
  int16_t word2;
  int32_t word3;
};
static_assert(sizeof(Msg800E_Order) == 136);

// 0x00F6, received: the oldest order form with second price and text 4.
struct Msg00F6_Order {
  int32_t sequence;
  double number;
  int32_t time;
  uint32_t flags;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  int16_t security;
  int32_t price;
  int32_t quantity;
  int32_t unused_word1;
  int32_t balance;
  double value;
  double unused_amount;
  double amount1;
  int32_t unused_word2;
  int32_t amount2;
  int32_t word1;
  char text3[13];
  int32_t second_price;
  char text4[13];
  int16_t word2;
};
static_assert(sizeof(Msg00F6_Order) == 176);

// 0x00F4, received: 0x00F6 without second price and text 4.
struct Msg00F4_Order {
  int32_t sequence;
  double number;
  int32_t time;
  uint32_t flags;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  int16_t security;
  int32_t price;
  int32_t quantity;
  int32_t unused_word1;
  int32_t balance;
  double value;
  double unused_amount;
  double amount1;
  int32_t unused_word2;
  int32_t amount2;
  int32_t word1;
  char text3[13];
  int16_t word2;
};
static_assert(sizeof(Msg00F4_Order) == 160);

// 0x001E and 0x001F, sent: orders from a sequence number on; one order again.
using Msg001E_OrdersRequest = Word32;
using Msg001F_OrderRequest = Word32;
// 0x002E, received, carries no fields: the server asks for a fresh start.

// Stop orders: the newest form 0x808F and the older forms 0x8059 and 0x00F3,
// written once (see record_forms.h). 0x00F3 converts into the 0x8059 form,
// 0x8059 into 0x808F.
struct StopOrderForm808F {
  static constexpr int security_bits = 32;  // also the condition security
  static constexpr int word3_bits = 32;
  // Word 4, the second stop price, words 5 and 6.
  static constexpr bool after_filled = true;
};
// 0x8059: ends with the filled quantity.
struct StopOrderForm8059 : StopOrderForm808F {
  static constexpr bool after_filled = false;
};
// 0x00F3: 0x8059 with 16-bit securities and word 3.
struct StopOrderForm00F3 : StopOrderForm8059 {
  static constexpr int security_bits = 16;
  static constexpr int word3_bits = 16;
};

template <typename Form>
struct StopOrderRecord {
  int32_t sequence;
  double number;
  int32_t time;
  uint32_t flags;
  char comment[21];
  char text2[13];
  char account[13];
  FormInt<Form::security_bits> security;
  int16_t short1;
  int32_t stop_price;
  int32_t price;
  int32_t quantity;
  double placed_order;
  int32_t expiry_date;
  int32_t word1;
  char text3[13];
  FormInt<Form::security_bits> condition_security;
  double linked_order;
  int32_t linked_price;
  int16_t kind;
  int32_t word2;
  int64_t value8;
  uint32_t options;
  int32_t offset;
  int32_t spread;
  int32_t balance;
  FormInt<Form::word3_bits> word3;
  int32_t filled;
  KELAPI_FORM_MEMBER(Form::after_filled, int32_t) word4;
  KELAPI_FORM_MEMBER(Form::after_filled, int32_t) second_stop_price;
  KELAPI_FORM_MEMBER(Form::after_filled, int32_t) word5;
  KELAPI_FORM_MEMBER(Form::after_filled, int32_t) word6;
};

// 0x808F, received: a stop order. Its bytes are the stop-order row.
using Msg808F_StopOrder = StopOrderRecord<StopOrderForm808F>;
static_assert(sizeof(Msg808F_StopOrder) == 208);
// 0x8059, received; also the journal record of tag 51.
using Msg8059_StopOrder = StopOrderRecord<StopOrderForm8059>;
static_assert(sizeof(Msg8059_StopOrder) == 192);
// 0x00F3, received; also the journal record of tag 34.
using Msg00F3_StopOrder = StopOrderRecord<StopOrderForm00F3>;
static_assert(sizeof(Msg00F3_StopOrder) == 176);

// 0x00A2 and 0x00A3, sent: stop orders from a number on; one again.
using Msg00A2_StopOrdersRequest = Word32;
using Msg00A3_StopOrderRequest = Word32;
// 0x00A4, received, carries no fields: fresh start of stop orders.

}  // namespace kelda::kelapi
