// Record checks of money and depository limits and their change requests,
// firms and depository accounts, futures limits and holdings, and account
// positions.
#include "messages_record_checks.h"
#include "records_limits.h"

namespace kelda::kelapi::testing {
namespace {

RECORD_CHECK(word32, Word32, F(value))
RECORD_CHECK(money_limit, Msg00F0_MoneyLimit, F(number), F(currency), F(tag), F(firm), F(client),
             F(opening_balance), F(opening_limit), F(current_balance), F(current_limit), F(locked),
             F(amount6), F(leverage))
RECORD_CHECK(money_limit_amounts, Msg800B_MoneyLimitAmounts, F(number), F(opening_balance),
             F(opening_limit), F(leverage), F(current_balance), F(current_limit), F(locked), F(amount6))
RECORD_CHECK(money_limit_deleted, Msg0087_MoneyLimitDeleted, F(currency), F(tag), F(client), F(firm))
RECORD_CHECK(depo_limit, Msg8072_DepoLimit, F(number), F(account), F(security), F(firm), F(client),
             F(quantity1), F(quantity2), F(quantity3), F(quantity4), F(quantity5), F(quantity6),
             F(amount1), F(amount2), F(value9))
RECORD_CHECK(depo_limit_values, Msg8073_DepoLimitValues, F(number), F(quantity1), F(quantity2),
             F(quantity3), F(quantity4), F(quantity5), F(quantity6), F(amount1), F(amount2), F(value9))
RECORD_CHECK(depo_limit_deleted, Msg0088_DepoLimitDeleted, F(account), F(security), F(firm), F(client))
RECORD_CHECK(set_money_limit, Msg8003_SetMoneyLimit, F(request_id), F(currency), F(tag), F(client),
             F(firm), F(value1), F(value2), F(value2_again))
RECORD_CHECK(set_money_limit_leverage, Msg8097_SetMoneyLimitLeverage, F(request_id), F(currency), F(tag),
             F(client), F(firm), F(limit), F(leverage), F(leverage_mode))
RECORD_CHECK(kill_money_limit, Msg8006_KillMoneyLimit, F(request_id), F(currency), F(tag), F(client),
             F(firm))
RECORD_CHECK(correct_money_limit, Msg009C_CorrectMoneyLimit, F(request_id), F(currency), F(tag),
             F(client), F(firm), F(flags), F(value1), F(value2), F(value3), F(value4))
RECORD_CHECK(set_depo_limit, Msg8071_SetDepoLimit, F(request_id), F(account), F(security), F(firm),
             F(client), F(value1), F(value2), F(value2_again), F(value3))
RECORD_CHECK(kill_depo_limit, Msg8007_KillDepoLimit, F(request_id), F(account), F(security), F(firm),
             F(client))
RECORD_CHECK(correct_depo_limit, Msg8075_CorrectDepoLimit, F(request_id), F(account), F(security),
             F(firm), F(client), F(flags), F(value1), F(value2), F(value3), F(value4), F(value5))
RECORD_CHECK(limit_reply, Msg8009_LimitReply, F(request_id), F(status), F(unused), F(text_count), F(text))
RECORD_CHECK(limit_result, Msg008E_LimitResult, F(word1), F(word2))
RECORD_CHECK(firm, Msg8089_Firm, F(number), F(firm_id), F(name), F(status), F(second_code), F(word))
RECORD_CHECK(firm_old, Msg8066_FirmOld, F(number), F(firm_id), F(name), F(status), F(second_code),
             F(word))
RECORD_CHECK(firm_with_text, Msg0099_FirmWithText, F(number), F(firm_id), F(name), F(status),
             F(second_code), F(text_count), F(text))
RECORD_CHECK(firm_text, Msg8067_FirmText, F(number), F(flags), F(text_count), F(text))
RECORD_CHECK(firm_depo_account, Msg8077_FirmDepoAccount, F(number), F(code1), F(code2), F(d1), F(d2),
             F(d3), F(d4), F(d5), F(d6))
RECORD_CHECK(firm_depo_account_806D, Msg806D_FirmDepoAccountOld, F(number), F(code1), F(code2), F(d1),
             F(d2), F(d3), F(d4))
RECORD_CHECK(firm_depo_account_0053, Msg0053_FirmDepoAccountOld, F(number), F(code1), F(code2), F(d1),
             F(d2), F(d3), F(d4))
RECORD_CHECK(sec_depo_account, Msg8076_SecDepoAccount, F(number), F(code1), F(code2), F(code3),
             F(code4), F(d1), F(d2), F(d3), F(d4), F(d5), F(d6), F(d7), F(d8))
RECORD_CHECK(sec_depo_account_806C, Msg806C_SecDepoAccountOld, F(number), F(code1), F(code2), F(code3),
             F(code4), F(d1), F(d2), F(d3), F(d4))
RECORD_CHECK(sec_depo_account_004F, Msg004F_SecDepoAccountOld, F(number), F(code1), F(code2), F(code3),
             F(code4), F(d1), F(d2), F(d3), F(d4))
RECORD_CHECK(futures_limit, Msg8068_FuturesLimit, F(number), F(firm), F(account), F(type), F(l0), F(l1),
             F(l2), F(l3), F(l4), F(l5), F(l6), F(w1), F(w2), F(l7), F(l8), F(l9), F(l10), F(w3))
RECORD_CHECK(futures_limit_old, Msg0092_FuturesLimitOld, F(number), F(firm), F(account), F(type), F(l0),
             F(l1), F(l2), F(l3), F(l4), F(l5), F(l6), F(w1), F(w2))
RECORD_CHECK(futures_holding, Msg8069_FuturesHolding, F(number), F(firm), F(account), F(security),
             F(kind), F(h0), F(h1), F(h2), F(h3), F(h4), F(h5), F(h6), F(h7), F(e0), F(e1), F(e2), F(h8),
             F(e3))
RECORD_CHECK(futures_holding_old, Msg0095_FuturesHoldingOld, F(number), F(firm), F(account), F(security),
             F(kind), F(h0), F(h1), F(h2), F(h3), F(h4), F(h5), F(h6), F(h7), F(e0), F(e1), F(e2),
             F(unused1), F(unused2), F(h8))
RECORD_CHECK(futures_limit_deleted, Msg0098_FuturesLimitDeleted, F(number), F(account), F(type))
RECORD_CHECK(holding_correction, Msg8087_HoldingCorrection, F(request_id), F(firm), F(account),
             F(security), F(zero), F(value), F(zero_value))
RECORD_CHECK(account_position, Msg802A_AccountPosition, F(number), F(code1), F(code2), F(code3),
             F(code4))
RECORD_CHECK(position_values, Msg808B_PositionValues, F(number), F(p0), F(p1), F(p2), F(p3), F(p4),
             F(p5), F(p6), F(p7), F(p8), F(p9), F(p10))
RECORD_CHECK(position_values_807D, Msg807D_PositionValuesOld, F(number), F(p0), F(p1), F(p2), F(p3),
             F(p4), F(p5), F(p6), F(p7), F(p8))
RECORD_CHECK(position_values_8029, Msg8029_PositionValuesOld, F(number), F(value1), F(value2),
             F(value3), F(value4), F(short1), F(value5), F(short2), F(value6), F(value7), F(value8),
             F(value9), F(short3))
RECORD_CHECK(account_position_old, Msg004C_AccountPositionOld, F(number), F(code1), F(code2), F(code3),
             F(code4), F(value1), F(value2), F(value3), F(value4), F(short1), F(value5), F(short2),
             F(value6), F(value7), F(value8), F(value9), F(short3), F(value10), F(value11))

const RecordCheck kLimitsChecks[] = {
    // Money and depository limits.
    {0x00F0, money_limit},
    {0x800B, money_limit_amounts},
    {0x0087, money_limit_deleted},
    {0x005E, word32},
    {0x8072, depo_limit},
    {0x8073, depo_limit_values},
    {0x0088, depo_limit_deleted},
    {0x0062, word32},
    // Limit change requests and replies.
    {0x8003, set_money_limit},
    {0x8097, set_money_limit_leverage},
    {0x8006, kill_money_limit},
    {0x009C, correct_money_limit},
    {0x8071, set_depo_limit},
    {0x8007, kill_depo_limit},
    {0x8075, correct_depo_limit},
    {0x8008, word32},
    {0x8009, limit_reply},
    {0x008E, limit_result},
    {0x009E, limit_result},
    // Firms and depository accounts.
    {0x8089, firm},
    {0x8066, firm_old},
    {0x0099, firm_with_text},
    {0x8067, firm_text},
    {0x009A, word32},
    {0x00D6, word32},
    {0x8077, firm_depo_account},
    {0x806D, firm_depo_account_806D},
    {0x0053, firm_depo_account_0053},
    {0x8076, sec_depo_account},
    {0x806C, sec_depo_account_806C},
    {0x004F, sec_depo_account_004F},
    {0x0054, word32},
    {0x0050, word32},
    // Futures limits and holdings.
    {0x8068, futures_limit},
    {0x0092, futures_limit_old},
    {0x8069, futures_holding},
    {0x0095, futures_holding_old},
    {0x0098, futures_limit_deleted},
    {0x0093, word32},
    {0x0096, word32},
    {0x8087, holding_correction},
    // Account positions.
    {0x802A, account_position},
    {0x808B, position_values},
    {0x807D, position_values_807D},
    {0x8029, position_values_8029},
    {0x004C, account_position_old},
    {0x0043, word32},
};

}  // namespace

std::span<const RecordCheck> limits_record_checks() { return kLimitsChecks; }

}  // namespace kelda::kelapi::testing
