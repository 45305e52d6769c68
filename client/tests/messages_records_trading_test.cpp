// Record checks of orders, stop orders, trades, trade accounts and
// negotiated deals, trades and reports.
#include "messages_record_checks.h"
#include "records_orders.h"
#include "records_trades.h"

namespace kelda::kelapi::testing {
namespace {

RECORD_CHECK(word32, Word32, F(value))
RECORD_CHECK(order, Msg807B_Order, F(sequence), F(number), F(time), F(flags), F(comment), F(text2),
             F(text1), F(account), F(security), F(price), F(quantity), F(balance), F(value), F(amount1),
             F(amount2), F(word1), F(text3), F(second_price), F(text4), F(word2), F(word3), F(trade_date),
             F(long_text), F(word4), F(value8), F(word5))
RECORD_CHECK(order_807A, Msg807A_Order, F(sequence), F(number), F(time), F(flags), F(comment), F(text2),
             F(text1), F(account), F(security), F(price), F(quantity), F(balance), F(value), F(word1),
             F(text3), F(word2), F(word3), F(trade_date), F(long_text), F(word4), F(value8), F(word5))
RECORD_CHECK(order_805B, Msg805B_Order, F(sequence), F(number), F(time), F(flags), F(comment), F(text2),
             F(text1), F(account), F(security), F(price), F(quantity), F(balance), F(value), F(amount1),
             F(amount2), F(word1), F(text3), F(second_price), F(text4), F(word2), F(word3), F(trade_date),
             F(long_text))
RECORD_CHECK(order_805A, Msg805A_Order, F(sequence), F(number), F(time), F(flags), F(comment), F(text2),
             F(text1), F(account), F(security), F(price), F(quantity), F(balance), F(value), F(word1),
             F(text3), F(word2), F(word3), F(trade_date), F(long_text))
RECORD_CHECK(order_800F, Msg800F_Order, F(sequence), F(number), F(time), F(flags), F(comment), F(text2),
             F(text1), F(account), F(security), F(price), F(quantity), F(balance), F(value), F(amount1),
             F(amount2), F(word1), F(text3), F(second_price), F(text4), F(word2), F(word3))
RECORD_CHECK(order_800E, Msg800E_Order, F(sequence), F(number), F(time), F(flags), F(comment), F(text2),
             F(text1), F(account), F(security), F(price), F(quantity), F(balance), F(value), F(word1),
             F(text3), F(word2), F(word3))
RECORD_CHECK(order_00F6, Msg00F6_Order, F(sequence), F(number), F(time), F(flags), F(comment), F(text2),
             F(text1), F(account), F(security), F(price), F(quantity), F(unused_word1), F(balance),
             F(value), F(unused_amount), F(amount1), F(unused_word2), F(amount2), F(word1), F(text3),
             F(second_price), F(text4), F(word2))
RECORD_CHECK(order_00F4, Msg00F4_Order, F(sequence), F(number), F(time), F(flags), F(comment), F(text2),
             F(text1), F(account), F(security), F(price), F(quantity), F(unused_word1), F(balance),
             F(value), F(unused_amount), F(amount1), F(unused_word2), F(amount2), F(word1), F(text3),
             F(word2))
RECORD_CHECK(stop_order, Msg808F_StopOrder, F(sequence), F(number), F(time), F(flags), F(comment),
             F(text2), F(account), F(security), F(short1), F(stop_price), F(price), F(quantity),
             F(placed_order), F(expiry_date), F(word1), F(text3), F(condition_security),
             F(linked_order), F(linked_price), F(kind), F(word2), F(value8), F(options), F(offset),
             F(spread), F(balance), F(word3), F(filled), F(word4), F(second_stop_price), F(word5),
             F(word6))
RECORD_CHECK(stop_order_8059, Msg8059_StopOrder, F(sequence), F(number), F(time), F(flags), F(comment),
             F(text2), F(account), F(security), F(short1), F(stop_price), F(price), F(quantity),
             F(placed_order), F(expiry_date), F(word1), F(text3), F(condition_security),
             F(linked_order), F(linked_price), F(kind), F(word2), F(value8), F(options), F(offset),
             F(spread), F(balance), F(word3), F(filled))
RECORD_CHECK(stop_order_00F3, Msg00F3_StopOrder, F(sequence), F(number), F(time), F(flags), F(comment),
             F(text2), F(account), F(security), F(short1), F(stop_price), F(price), F(quantity),
             F(placed_order), F(expiry_date), F(word1), F(text3), F(condition_security),
             F(linked_order), F(linked_price), F(kind), F(word2), F(value8), F(options), F(offset),
             F(spread), F(balance), F(word3), F(filled))
RECORD_CHECK(trade, Msg806F_Trade, F(sequence), F(number), F(order_number), F(time), F(comment),
             F(text2), F(text1), F(account), F(security), F(price), F(quantity), F(value), F(amount1),
             F(amount2), F(text3), F(text4), F(flags), F(price2), F(price3), F(text5), F(amount3),
             F(amount4), F(amount5), F(short1), F(price4), F(price5), F(price6), F(short2), F(fee1),
             F(fee2), F(fee3), F(word1), F(short_code1), F(short_code2), F(text_count), F(text),
             F(short_text_count), F(short_text))
// The older trade forms: the members each form carries, in order.
#define TRADE_HEAD F(sequence), F(number), F(order_number), F(time)
#define TRADE_NAMES F(comment), F(text2), F(text1), F(account), F(security), F(price), F(quantity), F(value)
#define TRADE_MIDDLE F(text3), F(text4), F(flags), F(price2), F(price3), F(text5)
#define TRADE_SHORT_PRICES F(short1), F(price4), F(price5), F(price6), F(short2)
#define TRADE_FEES F(fee1), F(fee2), F(fee3)
#define TRADE_TAIL F(word1), F(short_code1), F(short_code2), F(text_count), F(text), F(short_text_count), \
    F(short_text)
RECORD_CHECK(trade_806E, Msg806E_Trade, TRADE_HEAD, TRADE_NAMES, TRADE_MIDDLE, TRADE_FEES, TRADE_TAIL)
RECORD_CHECK(trade_806B, Msg806B_Trade, TRADE_HEAD, F(side_word), TRADE_NAMES, F(amount1), F(amount2),
             TRADE_MIDDLE, F(amount3), F(amount4), F(amount5), TRADE_SHORT_PRICES, TRADE_FEES, F(plain_text))
RECORD_CHECK(trade_806A, Msg806A_Trade, TRADE_HEAD, TRADE_NAMES, TRADE_MIDDLE, TRADE_FEES, F(plain_text))
RECORD_CHECK(trade_8027, Msg8027_Trade, TRADE_HEAD, F(side_word), TRADE_NAMES, F(amount1), F(amount2),
             TRADE_MIDDLE, F(amount3), F(amount4), F(amount5), TRADE_SHORT_PRICES, TRADE_FEES)
RECORD_CHECK(trade_8026, Msg8026_Trade, TRADE_HEAD, TRADE_NAMES, TRADE_MIDDLE, TRADE_FEES)
RECORD_CHECK(trade_00DF, Msg00DF_Trade, TRADE_HEAD, F(side_word), TRADE_NAMES, F(amount1), F(amount2),
             TRADE_MIDDLE, F(values), TRADE_SHORT_PRICES)
RECORD_CHECK(trade_800D, Msg800D_Trade, TRADE_HEAD, TRADE_NAMES, TRADE_MIDDLE, F(single_value))
RECORD_CHECK(trade_00CA, Msg00CA_Trade, TRADE_HEAD, F(side_word), TRADE_NAMES, F(amount1), F(amount2),
             TRADE_MIDDLE, F(single_value), TRADE_SHORT_PRICES)
#undef TRADE_HEAD
#undef TRADE_NAMES
#undef TRADE_MIDDLE
#undef TRADE_SHORT_PRICES
#undef TRADE_FEES
#undef TRADE_TAIL
RECORD_CHECK(trade_account, Msg00C8_TradeAccount, F(number), F(second_code), F(account),
             F(description_count), F(description))
RECORD_CHECK(neg_deal, Msg8079_NegDeal, F(sequence), F(number), F(word10), F(flags), F(comment),
             F(text1), F(text2), F(text3), F(text4), F(text5), F(security), F(price), F(word1), F(text6),
             F(text7), F(amount1), F(amount2), F(amount3), F(price2), F(price3), F(amount4), F(word2),
             F(text8), F(short1), F(amount5), F(amount6), F(short2), F(price4), F(price5), F(price6),
             F(short3), F(word3), F(word4), F(word5), F(word6), F(amount7), F(word7), F(price7),
             F(word8), F(word9), F(value8))
RECORD_CHECK(neg_deal_805D, Msg805D_NegDeal, F(sequence), F(number), F(word10), F(flags), F(comment),
             F(text1), F(text2), F(text3), F(text4), F(text5), F(security), F(price), F(word1), F(text6),
             F(text7), F(amount1), F(amount2), F(amount3), F(price2), F(price3), F(amount4), F(word2),
             F(text8), F(short1), F(amount5), F(amount6), F(short2), F(price4), F(price5), F(price6),
             F(short3), F(word3), F(word4), F(word5), F(word6), F(amount7), F(word7), F(price7))
RECORD_CHECK(neg_trade_8058, Msg8058_NegTrade, F(sequence), F(number), F(word1), F(word9), F(flags),
             F(comment), F(text1), F(text2), F(text3), F(text4), F(security), F(price), F(word8),
             F(amount1), F(text5), F(value1), F(value2), F(value3), F(value4), F(price2), F(price3),
             F(price4), F(text6), F(amount2), F(word2), F(word3), F(amount3), F(amount4), F(short1),
             F(amount5), F(amount6), F(price5), F(price6), F(price7), F(short2), F(short3), F(short4),
             F(short5), F(price8), F(word4), F(amount7), F(amount8), F(amount9), F(amount10), F(word5))
RECORD_CHECK(neg_report_805E, Msg805E_NegReport, F(sequence), F(number), F(word1), F(word2), F(flags),
             F(text1), F(text2), F(text3), F(text4), F(text5), F(security), F(word3), F(amount),
             F(word4), F(short1), F(short2))
RECORD_CHECK(neg_trade, Msg807F_NegTrade, F(sequence), F(number), F(word1), F(word9), F(flags),
             F(comment), F(text1), F(text2), F(text3), F(text4), F(security), F(price), F(word8),
             F(amount1), F(text5), F(value1), F(value2), F(value3), F(value4), F(price2), F(price3),
             F(price4), F(text6), F(amount2), F(word2), F(word3), F(amount3), F(amount4), F(short1),
             F(amount5), F(amount6), F(price5), F(price6), F(price7), F(short2), F(short3), F(short4),
             F(short5), F(price8), F(word4), F(amount7), F(amount8), F(amount9), F(amount10), F(word5),
             F(short6), F(short7), F(value5), F(value6), F(word6), F(value7), F(word7), F(short8))
RECORD_CHECK(neg_report, Msg807E_NegReport, F(sequence), F(number), F(word1), F(word2), F(flags),
             F(text1), F(text2), F(text3), F(text4), F(text5), F(security), F(word3), F(amount),
             F(word4), F(short1), F(short2), F(value8))

const RecordCheck kTradingChecks[] = {
    // Orders.
    {0x807B, order},
    {0x807A, order_807A},
    {0x805B, order_805B},
    {0x805A, order_805A},
    {0x800F, order_800F},
    {0x800E, order_800E},
    {0x00F6, order_00F6},
    {0x00F4, order_00F4},
    {0x001E, word32},
    {0x001F, word32},
    // Stop orders.
    {0x808F, stop_order},
    {0x8059, stop_order_8059},
    {0x00F3, stop_order_00F3},
    {0x00A2, word32},
    {0x00A3, word32},
    // Trades and trade accounts.
    {0x806F, trade},
    {0x806E, trade_806E},
    {0x806B, trade_806B},
    {0x806A, trade_806A},
    {0x8027, trade_8027},
    {0x8026, trade_8026},
    {0x00DF, trade_00DF},
    {0x800D, trade_800D},
    {0x00CA, trade_00CA},
    {0x001C, word32},
    {0x00C8, trade_account},
    {0x0042, word32},
    // Negotiated deals, trades and reports.
    {0x8079, neg_deal},
    {0x807F, neg_trade},
    {0x807E, neg_report},
    {0x805D, neg_deal_805D},
    {0x8058, neg_trade_8058},
    {0x805E, neg_report_805E},
    {0x0040, word32},
    {0x0041, word32},
    {0x0082, word32},
    {0x0083, word32},
    {0x007E, word32},
    {0x007F, word32},
};

}  // namespace

std::span<const RecordCheck> trading_record_checks() { return kTradingChecks; }

}  // namespace kelda::kelapi::testing
