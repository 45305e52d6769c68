// Message records of orders and stop orders, newest and older forms.
// Layouts in layouts_trading.cpp; plain data (see records_common.h).
#pragma once

#include <cstdint>

#include "record_forms.h"
#include "records_common.h"

namespace kelda::kelapi {

// Orders: the newest form 0x807B and its older forms, written once (see
// record_forms.h). 0x807A and 0x805B convert into 0x807B; 0x805A, 0x800F and
// 0x00F6 into 0x805B; 0x800E and 0x00F4 into 0x800F and 0x00F6
// (orders/order_forms.h).
struct OrderForm807B {
  static constexpr int security_bits = 32;
  // Three members of the oldest forms that are dropped on conversion: a word
  // before the balance, an 8-byte amount after the value and a word after
  // amount 1.
  static constexpr bool dropped_members = false;
  // Amounts 1 and 2.
  static constexpr bool amounts = true;
  static constexpr bool second_price_text4 = true;
  static constexpr int word2_bits = 32;
  static constexpr bool word3 = true;
  // The trade date and the long text.
  static constexpr bool date_text = true;
  // Word 4, the 8-byte value and word 5.
  static constexpr bool words_4_5 = true;
};
// 0x807A: no amounts, second price or text code 4.
struct OrderForm807A : OrderForm807B {
  static constexpr bool amounts = false;
  static constexpr bool second_price_text4 = false;
};
// 0x805B: ends with the long text.
struct OrderForm805B : OrderForm807B {
  static constexpr bool words_4_5 = false;
};
// 0x805A: 0x807A ending with the long text.
struct OrderForm805A : OrderForm807A {
  static constexpr bool words_4_5 = false;
};
// 0x800F: 0x805B with a 16-bit security and word 2, ending with word 3.
struct OrderForm800F : OrderForm805B {
  static constexpr int security_bits = 16;
  static constexpr int word2_bits = 16;
  static constexpr bool date_text = false;
};
// 0x800E: 0x800F without amounts, second price or text code 4.
struct OrderForm800E : OrderForm800F {
  static constexpr bool amounts = false;
  static constexpr bool second_price_text4 = false;
};
// 0x00F6: 0x800F with the three dropped members and without word 3.
struct OrderForm00F6 : OrderForm800F {
  static constexpr bool dropped_members = true;
  static constexpr bool word3 = false;
};
// 0x00F4: 0x00F6 without second price or text code 4.
struct OrderForm00F4 : OrderForm00F6 {
  static constexpr bool second_price_text4 = false;
};

template <typename Form>
struct OrderRecord {
  int32_t sequence;
  double number;
  int32_t time;
  uint32_t flags;
  char comment[21];
  char text2[13];
  char text1[13];
  char account[13];
  FormInt<Form::security_bits> security;
  int32_t price;
  int32_t quantity;
  KELAPI_FORM_MEMBER(Form::dropped_members, int32_t) unused_word1;
  int32_t balance;
  double value;
  KELAPI_FORM_MEMBER(Form::dropped_members, double) unused_amount;
  KELAPI_FORM_MEMBER(Form::amounts, double) amount1;
  KELAPI_FORM_MEMBER(Form::dropped_members, int32_t) unused_word2;
  KELAPI_FORM_MEMBER(Form::amounts, int32_t) amount2;
  int32_t word1;
  char text3[13];
  KELAPI_FORM_MEMBER(Form::second_price_text4, int32_t) second_price;
  KELAPI_FORM_MEMBER(Form::second_price_text4, char[13]) text4;
  FormInt<Form::word2_bits> word2;
  KELAPI_FORM_MEMBER(Form::word3, int32_t) word3;
  KELAPI_FORM_MEMBER(Form::date_text, int32_t) trade_date;
  KELAPI_FORM_MEMBER(Form::date_text, char[65]) long_text;
  KELAPI_FORM_MEMBER(Form::words_4_5, int32_t) word4;
  KELAPI_FORM_MEMBER(Form::words_4_5, int64_t) value8;
  KELAPI_FORM_MEMBER(Form::words_4_5, int32_t) word5;
};

// 0x807B, received: an order. Its bytes are the order row of the table.
using Msg807B_Order = OrderRecord<OrderForm807B>;
static_assert(sizeof(Msg807B_Order) == 264);
// The older forms, received (0x805B, 0x800F and 0x00F6 also as journal
// records).
using Msg807A_Order = OrderRecord<OrderForm807A>;
static_assert(sizeof(Msg807A_Order) == 232);
using Msg805B_Order = OrderRecord<OrderForm805B>;
static_assert(sizeof(Msg805B_Order) == 248);
using Msg805A_Order = OrderRecord<OrderForm805A>;
static_assert(sizeof(Msg805A_Order) == 216);
using Msg800F_Order = OrderRecord<OrderForm800F>;
static_assert(sizeof(Msg800F_Order) == 168);
using Msg800E_Order = OrderRecord<OrderForm800E>;
static_assert(sizeof(Msg800E_Order) == 136);
using Msg00F6_Order = OrderRecord<OrderForm00F6>;
static_assert(sizeof(Msg00F6_Order) == 176);
using Msg00F4_Order = OrderRecord<OrderForm00F4>;
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
