// Message records of money and depository limits and their change requests,
// firms and depository accounts, futures limits and holdings, and account
// positions. Every 64-bit value of these records is an IEEE double. Layouts
// in layouts_limits.cpp; plain data (see records_common.h).
#pragma once

#include <cstdint>

#include "records_common.h"

namespace kelda::kelapi {

// 0x00F0, received: a money limit.
struct Msg00F0_MoneyLimit {
  int32_t number;
  char currency[5];
  char tag[5];
  char firm[13];
  char client[13];
  double opening_balance;
  double opening_limit;
  double current_balance;
  double current_limit;
  double locked;
  double amount6;
  int32_t leverage;
};
static_assert(sizeof(Msg00F0_MoneyLimit) == 96);

// 0x800B, received: the amounts of a money limit by number, without codes.
struct Msg800B_MoneyLimitAmounts {
  int32_t number;
  double opening_balance;
  double opening_limit;
  int32_t leverage;
  double current_balance;
  double current_limit;
  double locked;
  double amount6;
};
static_assert(sizeof(Msg800B_MoneyLimitAmounts) == 64);

// 0x0087, received: a money limit is deleted.
struct Msg0087_MoneyLimitDeleted {
  char currency[5];
  char tag[5];
  char client[13];
  char firm[13];
};
static_assert(sizeof(Msg0087_MoneyLimitDeleted) == 36);

// 0x8072, received: a depository limit.
struct Msg8072_DepoLimit {
  int32_t number;
  char account[13];
  char security[13];
  char firm[13];
  char client[13];
  double quantity1;
  double quantity2;
  double quantity3;
  double quantity4;
  double quantity5;
  double quantity6;
  double amount1;
  double amount2;
  double value9;
};
static_assert(sizeof(Msg8072_DepoLimit) == 128);

// 0x8073, received: the values of a depository limit by number.
struct Msg8073_DepoLimitValues {
  int32_t number;
  double quantity1;
  double quantity2;
  double quantity3;
  double quantity4;
  double quantity5;
  double quantity6;
  double amount1;
  double amount2;
  double value9;
};
static_assert(sizeof(Msg8073_DepoLimitValues) == 80);

// 0x0088, received: a depository limit is deleted.
struct Msg0088_DepoLimitDeleted {
  char account[13];
  char security[13];
  char firm[13];
  char client[13];
};
static_assert(sizeof(Msg0088_DepoLimitDeleted) == 52);

// 0x005E and 0x0062, sent: money and depository limits from the start (0).
using Msg005E_MoneyLimitsRequest = Word32;
using Msg0062_DepoLimitsRequest = Word32;
// 0x0060 and 0x0064, received, carry no fields: the limits are asked again.

// 0x8003, sent: set a money limit.
struct Msg8003_SetMoneyLimit {
  int32_t request_id;
  char currency[5];
  char tag[5];
  char client[13];
  char firm[13];
  double value1;
  double value2;
  double value2_again;
};
static_assert(sizeof(Msg8003_SetMoneyLimit) == 64);

// 0x8097, sent: set a money limit with a leverage.
struct Msg8097_SetMoneyLimitLeverage {
  int32_t request_id;
  char currency[5];
  char tag[5];
  char client[13];
  char firm[13];
  double limit;
  int32_t leverage;
  int16_t leverage_mode;
};
static_assert(sizeof(Msg8097_SetMoneyLimitLeverage) == 56);

// 0x8006, sent: delete a money limit.
struct Msg8006_KillMoneyLimit {
  int32_t request_id;
  char currency[5];
  char tag[5];
  char client[13];
  char firm[13];
};
static_assert(sizeof(Msg8006_KillMoneyLimit) == 40);

// 0x009C, sent: correct a money limit.
struct Msg009C_CorrectMoneyLimit {
  int32_t request_id;
  char currency[5];
  char tag[5];
  char client[13];
  char firm[13];
  int16_t flags;
  double value1;
  double value2;
  double value3;
  double value4;
};
static_assert(sizeof(Msg009C_CorrectMoneyLimit) == 80);

// 0x8071, sent: set a depository limit.
struct Msg8071_SetDepoLimit {
  int32_t request_id;
  char account[13];
  char security[13];
  char firm[13];
  char client[13];
  double value1;
  double value2;
  double value2_again;
  double value3;
};
static_assert(sizeof(Msg8071_SetDepoLimit) == 88);

// 0x8007, sent: delete a depository limit.
struct Msg8007_KillDepoLimit {
  int32_t request_id;
  char account[13];
  char security[13];
  char firm[13];
  char client[13];
};
static_assert(sizeof(Msg8007_KillDepoLimit) == 56);

// 0x8075, sent: correct a depository limit.
struct Msg8075_CorrectDepoLimit {
  int32_t request_id;
  char account[13];
  char security[13];
  char firm[13];
  char client[13];
  int16_t flags;
  double value1;
  double value2;
  double value3;
  double value4;
  double value5;
};
static_assert(sizeof(Msg8075_CorrectDepoLimit) == 104);

// 0x8008, sent: the limit-request start word (255).
using Msg8008_LimitStartWord = Word32;

// 0x8009, received: the reply to a limit change request.
struct Msg8009_LimitReply {
  int32_t request_id;
  int32_t status;
  int32_t unused;
  uint16_t text_count;
  uint8_t text[768];
};
static_assert(sizeof(Msg8009_LimitReply) == 784);

// 0x008E and 0x009E, received: the result of a limit change.
struct Msg008E_LimitResult {
  int32_t word1;
  int32_t word2;
};
static_assert(sizeof(Msg008E_LimitResult) == 8);
using Msg009E_LimitResult = Msg008E_LimitResult;

// 0x8089, received: a firm.
struct Msg8089_Firm {
  int32_t number;
  char firm_id[13];
  char name[129];
  int16_t status;
  char second_code[13];
  int32_t word;
};
static_assert(sizeof(Msg8089_Firm) == 168);

// 0x8066, received: a firm with a 31-character name.
struct Msg8066_FirmOld {
  int32_t number;
  char firm_id[13];
  char name[31];
  int16_t status;
  char second_code[13];
  int32_t word;
};
static_assert(sizeof(Msg8066_FirmOld) == 68);

// 0x0099, received: a firm and the first part of its text.
struct Msg0099_FirmWithText {
  int32_t number;
  char firm_id[13];
  char name[31];
  int16_t status;
  char second_code[13];
  uint16_t text_count;
  uint8_t text[998];
};
static_assert(sizeof(Msg0099_FirmWithText) == 1064);

// 0x8067, received: a part of a firm's text.
struct Msg8067_FirmText {
  int32_t number;
  int16_t flags;  // 4 = last part
  uint16_t text_count;
  uint8_t text[998];
};
static_assert(sizeof(Msg8067_FirmText) == 1008);

// 0x009A, sent: firms from a number on.
using Msg009A_FirmsRequest = Word32;
// 0x00D6, received: the firms version word.
using Msg00D6_FirmsVersion = Word32;
// 0x009B, 0x0056 and 0x0052, received, carry no fields: fresh starts.

// 0x8077, received: a firm's depository account.
struct Msg8077_FirmDepoAccount {
  int32_t number;
  char code1[13];
  char code2[13];
  double d1;
  double d2;
  double d3;
  double d4;
  double d5;
  double d6;
};
static_assert(sizeof(Msg8077_FirmDepoAccount) == 80);

// 0x806D, received: a firm's depository account with four values.
struct Msg806D_FirmDepoAccountOld {
  int32_t number;
  char code1[13];
  char code2[13];
  double d1;
  double d2;
  double d3;
  double d4;
};
static_assert(sizeof(Msg806D_FirmDepoAccountOld) == 64);

// 0x0053, received: a firm's depository account with four 32-bit values.
struct Msg0053_FirmDepoAccountOld {
  int32_t number;
  char code1[13];
  char code2[13];
  int32_t d1;
  int32_t d2;
  int32_t d3;
  int32_t d4;
};
static_assert(sizeof(Msg0053_FirmDepoAccountOld) == 48);

// 0x8076, received: a depository account of a security.
struct Msg8076_SecDepoAccount {
  int32_t number;
  char code1[13];
  char code2[13];
  char code3[13];
  char code4[13];
  double d1;
  double d2;
  double d3;
  double d4;
  double d5;
  double d6;
  double d7;
  double d8;
};
static_assert(sizeof(Msg8076_SecDepoAccount) == 120);

// 0x806C, received: a security's depository account with four values.
struct Msg806C_SecDepoAccountOld {
  int32_t number;
  char code1[13];
  char code2[13];
  char code3[13];
  char code4[13];
  double d1;
  double d2;
  double d3;
  double d4;
};
static_assert(sizeof(Msg806C_SecDepoAccountOld) == 88);

// 0x004F, received: a security's depository account, four 32-bit values.
struct Msg004F_SecDepoAccountOld {
  int32_t number;
  char code1[13];
  char code2[13];
  char code3[13];
  char code4[13];
  int32_t d1;
  int32_t d2;
  int32_t d3;
  int32_t d4;
};
static_assert(sizeof(Msg004F_SecDepoAccountOld) == 72);

// 0x0054 and 0x0050, sent: firm and security depository accounts (0).
using Msg0054_FirmDepoAccountsRequest = Word32;
using Msg0050_SecDepoAccountsRequest = Word32;

// 0x8068, received: a futures limit.
struct Msg8068_FuturesLimit {
  int32_t number;
  char firm[13];
  char account[13];
  int16_t type;
  double l0;
  double l1;
  double l2;
  double l3;
  double l4;
  double l5;
  double l6;
  int32_t w1;
  int32_t w2;
  double l7;
  double l8;
  double l9;
  double l10;
  int32_t w3;
};
static_assert(sizeof(Msg8068_FuturesLimit) == 136);

// 0x0092, received: a futures limit up to W2.
struct Msg0092_FuturesLimitOld {
  int32_t number;
  char firm[13];
  char account[13];
  int16_t type;
  double l0;
  double l1;
  double l2;
  double l3;
  double l4;
  double l5;
  double l6;
  int32_t w1;
  int32_t w2;
};
static_assert(sizeof(Msg0092_FuturesLimitOld) == 96);

// 0x8069, received: a futures holding.
struct Msg8069_FuturesHolding {
  int32_t number;
  char firm[13];
  char account[13];
  char security[13];
  int16_t kind;
  int32_t h0;
  int32_t h1;
  int32_t h2;
  int32_t h3;
  int32_t h4;
  int32_t h5;
  int32_t h6;
  int32_t h7;
  double e0;
  double e1;
  double e2;
  int32_t h8;
  double e3;
};
static_assert(sizeof(Msg8069_FuturesHolding) == 120);

// 0x0095, received: a futures holding with two dropped words and no E3.
struct Msg0095_FuturesHoldingOld {
  int32_t number;
  char firm[13];
  char account[13];
  char security[13];
  int16_t kind;
  int32_t h0;
  int32_t h1;
  int32_t h2;
  int32_t h3;
  int32_t h4;
  int32_t h5;
  int32_t h6;
  int32_t h7;
  double e0;
  double e1;
  double e2;
  int16_t unused1;
  int16_t unused2;
  int32_t h8;
};
static_assert(sizeof(Msg0095_FuturesHoldingOld) == 112);

// 0x0098, received: a futures limit is deleted.
struct Msg0098_FuturesLimitDeleted {
  int32_t number;
  char account[13];
  int16_t type;
};
static_assert(sizeof(Msg0098_FuturesLimitDeleted) == 20);

// 0x0093 and 0x0096, sent: futures limits and holdings (0).
using Msg0093_FuturesLimitsRequest = Word32;
using Msg0096_FuturesHoldingsRequest = Word32;
// 0x0094 and 0x0097, received, carry no fields: fresh starts.

// 0x8087, sent: correction of a client's open position.
struct Msg8087_HoldingCorrection {
  int32_t request_id;
  char firm[13];
  char account[13];
  char security[13];
  int16_t zero;
  double value;
  double zero_value;
};
static_assert(sizeof(Msg8087_HoldingCorrection) == 64);

// 0x802A, received: an account position with its codes.
struct Msg802A_AccountPosition {
  int32_t number;
  char code1[13];
  char code2[5];
  char code3[5];
  char code4[31];
};
static_assert(sizeof(Msg802A_AccountPosition) == 60);

// 0x808B, received: the values of an account position.
struct Msg808B_PositionValues {
  int32_t number;
  double p0;
  double p1;
  double p2;
  double p3;
  double p4;
  double p5;
  double p6;
  double p7;
  double p8;
  double p9;
  double p10;
};
static_assert(sizeof(Msg808B_PositionValues) == 96);

// 0x807D, received: values P0 to P8 of an account position.
struct Msg807D_PositionValuesOld {
  int32_t number;
  double p0;
  double p1;
  double p2;
  double p3;
  double p4;
  double p5;
  double p6;
  double p7;
  double p8;
};
static_assert(sizeof(Msg807D_PositionValuesOld) == 80);

// 0x8029, received: values of an account position, oldest update form.
struct Msg8029_PositionValuesOld {
  int32_t number;
  double value1;
  double value2;
  double value3;
  double value4;
  int16_t short1;
  double value5;
  int16_t short2;
  double value6;
  double value7;
  double value8;
  double value9;
  int16_t short3;
};
static_assert(sizeof(Msg8029_PositionValuesOld) == 104);

// 0x004C, received: an account position with codes and values, oldest form.
struct Msg004C_AccountPositionOld {
  int32_t number;
  char code1[13];
  char code2[5];
  char code3[5];
  char code4[31];
  double value1;
  double value2;
  double value3;
  double value4;
  int16_t short1;
  double value5;
  int16_t short2;
  double value6;
  double value7;
  double value8;
  double value9;
  int16_t short3;
  double value10;
  double value11;
};
static_assert(sizeof(Msg004C_AccountPositionOld) == 176);

// 0x0043, sent: account positions (0). 0x801B, sent, and 0x0046, received,
// carry no fields.
using Msg0043_PositionsRequest = Word32;

}  // namespace kelda::kelapi
