// Handlers of the messages that the client library receives: the handler
// table of message_set.h binds each received id to one of them.
//
// A handler runs on the library's receive thread with the library mutex held
// (the protocol library calls it from zn_recvmsg). It gets the message id and
// the decoded record, whose type is named beside each declaration (records_*.h;
// "no fields" for an empty message). The record belongs to the protocol
// library and is freed when the handler returns: a handler copies what it
// keeps. A handler returns nothing and throws nothing.
//
// The handlers of handlers_pending.cpp drop their message until the code of
// their table defines them.
#pragma once

#include <cstdint>

namespace kelda::kelapi {

// Messages that are accepted and dropped: messages the library has no use
// for, messages it ignores, and older forms of negotiated deals, trades and
// reports whose field order is not known (registered with no fields).
void on_dropped_message(uint16_t id, const void* record);

// Session.
void on_0002_request_complete(uint16_t id, const void* record);   // Msg0002_RequestComplete
void on_0021_session_info_old(uint16_t id, const void* record);   // Msg0021_SessionInfoOld
void on_0022_trading_session(uint16_t id, const void* record);    // Msg0022_TradingSession
void on_004A_class_lists_end(uint16_t id, const void* record);    // (no fields)
void on_0085_character_mode(uint16_t id, const void* record);     // Msg0085_CharacterMode
void on_803C_class_description(uint16_t id, const void* record);  // Msg803C_ClassDescription
void on_803D_session_info(uint16_t id, const void* record);       // Msg803D_SessionInfo

// Classes and securities.
void on_00D0_server_ids_old(uint16_t id, const void* record);            // Msg00D0_ServerIdsOld
void on_8037_class_texts(uint16_t id, const void* record);               // Msg8037_ClassTexts
void on_8038_server_ids(uint16_t id, const void* record);                // Msg8038_ServerIds
void on_803B_security_description_old(uint16_t id, const void* record);  // Msg803B_SecurityDescriptionOld
void on_8081_security_description(uint16_t id, const void* record);      // Msg8081_SecurityDescription

// Parameter descriptions.
void on_0024_parameter_description(uint16_t id, const void* record);  // Msg0024_ParameterDescription

// Current values.
void on_0007_values_old(uint16_t id, const void* record);                // Msg0007_ValuesOld
void on_002A_entry_confirmed_old(uint16_t id, const void* record);       // Msg002A_EntryConfirmedOld
void on_8013_values_short_id(uint16_t id, const void* record);           // Msg8013_ValuesShortId
void on_8014_values_snapshot_short_id(uint16_t id, const void* record);  // Msg8014_ValuesSnapshotShortId
void on_8015_values_plain_short_id(uint16_t id, const void* record);     // Msg8015_ValuesPlainShortId
void on_8048_entry_confirmed(uint16_t id, const void* record);           // Msg8048_EntryConfirmed
void on_805F_values(uint16_t id, const void* record);                    // Msg805F_Values
void on_8060_values_snapshot(uint16_t id, const void* record);           // Msg8060_ValuesSnapshot
void on_8061_values_plain(uint16_t id, const void* record);              // Msg8061_ValuesPlain

// Price lists.
void on_0010_price_level_old(uint16_t id, const void* record);         // Msg0010_PriceLevelOld
void on_0077_price_level_both_old(uint16_t id, const void* record);    // Msg0077_PriceLevelBothOld
void on_00D9_price_volume_old(uint16_t id, const void* record);        // Msg00D9_PriceVolumeOld
void on_00DA_price_removed_old(uint16_t id, const void* record);       // Msg00DA_PriceRemovedOld
void on_8052_price_level(uint16_t id, const void* record);             // Msg8052_PriceLevel
void on_8053_price_level_both(uint16_t id, const void* record);        // Msg8053_PriceLevelBoth
void on_8055_price_volume(uint16_t id, const void* record);            // Msg8055_PriceVolume
void on_8056_price_removed(uint16_t id, const void* record);           // Msg8056_PriceRemoved
void on_808A_packed_levels_short_id(uint16_t id, const void* record);  // Msg808A_PackedLevelsShortId
void on_808E_packed_levels(uint16_t id, const void* record);           // Msg808E_PackedLevels
void on_8094_price_list_cleared(uint16_t id, const void* record);      // Msg8094_PriceListCleared

// Quotes and order books.
void on_00BF_quote_old(uint16_t id, const void* record);             // Msg00BF_QuoteOld
void on_00C2_quotes_restart(uint16_t id, const void* record);        // (no fields)
void on_00C5_order_book_begin_old(uint16_t id, const void* record);  // Msg00C5_OrderBookBeginOld
void on_00C6_order_book_end_old(uint16_t id, const void* record);    // Msg00C6_OrderBookEndOld
void on_00C7_order_book_level_old(uint16_t id, const void* record);  // Msg00C7_OrderBookLevelOld
void on_804D_order_book_begin(uint16_t id, const void* record);      // Msg804D_OrderBookBegin
void on_804E_order_book_end(uint16_t id, const void* record);        // Msg804E_OrderBookEnd
void on_804F_quote(uint16_t id, const void* record);                 // Msg804F_Quote
void on_8050_order_book_level(uint16_t id, const void* record);      // Msg8050_OrderBookLevel

// Orders.
void on_002E_orders_restart(uint16_t id, const void* record);  // (no fields)
void on_00F4_order(uint16_t id, const void* record);           // Msg00F4_Order
void on_00F6_order(uint16_t id, const void* record);           // Msg00F6_Order
void on_800E_order(uint16_t id, const void* record);           // Msg800E_Order
void on_800F_order(uint16_t id, const void* record);           // Msg800F_Order
void on_805A_order(uint16_t id, const void* record);           // Msg805A_Order
void on_805B_order(uint16_t id, const void* record);           // Msg805B_Order
void on_807A_order(uint16_t id, const void* record);           // Msg807A_Order
void on_807B_order(uint16_t id, const void* record);           // Msg807B_Order

// Trades.
void on_002D_trades_restart(uint16_t id, const void* record);  // (no fields)
void on_806F_trade(uint16_t id, const void* record);           // Msg806F_Trade
void on_806E_trade(uint16_t id, const void* record);           // Msg806E_Trade
void on_806B_trade(uint16_t id, const void* record);           // Msg806B_Trade
void on_806A_trade(uint16_t id, const void* record);           // Msg806A_Trade
void on_8027_trade(uint16_t id, const void* record);           // Msg8027_Trade
void on_8026_trade(uint16_t id, const void* record);           // Msg8026_Trade
void on_00DF_trade(uint16_t id, const void* record);           // Msg00DF_Trade
void on_800D_trade(uint16_t id, const void* record);           // Msg800D_Trade
void on_00CA_trade(uint16_t id, const void* record);           // Msg00CA_Trade

// Stop orders.
void on_00A4_stop_orders_restart(uint16_t id, const void* record);  // (no fields)
void on_00F3_stop_order(uint16_t id, const void* record);           // Msg00F3_StopOrder
void on_8059_stop_order(uint16_t id, const void* record);           // Msg8059_StopOrder
void on_808F_stop_order(uint16_t id, const void* record);           // Msg808F_StopOrder

// Trade accounts.
void on_0045_accounts_restart(uint16_t id, const void* record);  // (no fields)
void on_00C8_trade_account(uint16_t id, const void* record);     // Msg00C8_TradeAccount

// Negotiated deals, trades and reports.
void on_0047_neg_deals_restart(uint16_t id, const void* record);    // (no fields)
void on_0080_neg_reports_restart(uint16_t id, const void* record);  // (no fields)
void on_0084_neg_trades_restart(uint16_t id, const void* record);   // (no fields)
void on_8079_neg_deal(uint16_t id, const void* record);             // Msg8079_NegDeal
void on_807E_neg_report(uint16_t id, const void* record);           // Msg807E_NegReport
void on_807F_neg_trade(uint16_t id, const void* record);            // Msg807F_NegTrade
void on_805D_neg_deal(uint16_t id, const void* record);             // Msg805D_NegDeal
void on_805E_neg_report(uint16_t id, const void* record);           // Msg805E_NegReport
void on_8058_neg_trade(uint16_t id, const void* record);            // Msg8058_NegTrade

// Transaction kinds and fields.
void on_003B_transaction_field_old(uint16_t id, const void* record);  // Msg003B_TransactionFieldOld
void on_0044_class_kinds_end(uint16_t id, const void* record);        // Msg0044_ClassKindsEnd
void on_0049_kind_fields_end(uint16_t id, const void* record);        // Msg0049_KindFieldsEnd
void on_00D2_transaction_kind_old(uint16_t id, const void* record);   // Msg00D2_TransactionKindOld
void on_8095_transaction_kind(uint16_t id, const void* record);       // Msg8095_TransactionKind
void on_8096_transaction_field(uint16_t id, const void* record);      // Msg8096_TransactionField

// Transaction replies.
void on_00F2_transaction_reply(uint16_t id, const void* record);  // Msg00F2_TransactionReply

// Two-factor authentication.
void on_00FB_token_request(uint16_t id, const void* record);       // (no fields)
void on_00FD_next_token_request(uint16_t id, const void* record);  // (no fields)
void on_00FE_new_pin_request(uint16_t id, const void* record);     // Msg00FE_NewPinRequest

// Traders and trader messages.
void on_0030_trader_removed_old(uint16_t id, const void* record);   // Msg0030_TraderRemovedOld
void on_0031_trader_on_line_old(uint16_t id, const void* record);   // Msg0031_TraderOnLineOld
void on_0032_trader_off_line_old(uint16_t id, const void* record);  // Msg0032_TraderOffLineOld
void on_006F_trader_message_old(uint16_t id, const void* record);   // Msg006F_TraderMessageOld
void on_0070_receipt_old(uint16_t id, const void* record);          // Msg0070_ReceiptOld
void on_00ED_trader_old(uint16_t id, const void* record);           // Msg00ED_TraderOld
void on_803E_trader(uint16_t id, const void* record);               // Msg803E_Trader
void on_803F_trader_removed(uint16_t id, const void* record);       // Msg803F_TraderRemoved
void on_8040_trader_on_line(uint16_t id, const void* record);       // Msg8040_TraderOnLine
void on_8041_trader_off_line(uint16_t id, const void* record);      // Msg8041_TraderOffLine
void on_8043_trader_message_old(uint16_t id, const void* record);   // Msg8043_TraderMessageOld
void on_8044_receipt(uint16_t id, const void* record);              // Msg8044_Receipt
void on_8083_trader_message(uint16_t id, const void* record);       // Msg8083_TraderMessage

// Money and depository limits and limit changes.
void on_0060_money_limits_restart(uint16_t id, const void* record);  // (no fields)
void on_0064_depo_limits_restart(uint16_t id, const void* record);   // (no fields)
void on_0087_money_limit_deleted(uint16_t id, const void* record);   // Msg0087_MoneyLimitDeleted
void on_0088_depo_limit_deleted(uint16_t id, const void* record);    // Msg0088_DepoLimitDeleted
void on_008E_limit_result(uint16_t id, const void* record);          // Msg008E_LimitResult
void on_009E_limit_result(uint16_t id, const void* record);          // Msg009E_LimitResult
void on_00F0_money_limit(uint16_t id, const void* record);           // Msg00F0_MoneyLimit
void on_8009_limit_reply(uint16_t id, const void* record);           // Msg8009_LimitReply
void on_800B_money_limit_amounts(uint16_t id, const void* record);   // Msg800B_MoneyLimitAmounts
void on_8072_depo_limit(uint16_t id, const void* record);            // Msg8072_DepoLimit
void on_8073_depo_limit_values(uint16_t id, const void* record);     // Msg8073_DepoLimitValues

// Firms and depository accounts.
void on_004F_sec_depo_account_old(uint16_t id, const void* record);        // Msg004F_SecDepoAccountOld
void on_0052_sec_depo_accounts_restart(uint16_t id, const void* record);   // (no fields)
void on_0053_firm_depo_account_old(uint16_t id, const void* record);       // Msg0053_FirmDepoAccountOld
void on_0056_firm_depo_accounts_restart(uint16_t id, const void* record);  // (no fields)
void on_0099_firm_with_text(uint16_t id, const void* record);              // Msg0099_FirmWithText
void on_009B_firms_restart(uint16_t id, const void* record);               // (no fields)
void on_00D6_firms_version(uint16_t id, const void* record);               // Msg00D6_FirmsVersion
void on_8066_firm_old(uint16_t id, const void* record);                    // Msg8066_FirmOld
void on_8067_firm_text(uint16_t id, const void* record);                   // Msg8067_FirmText
void on_806C_sec_depo_account_old(uint16_t id, const void* record);        // Msg806C_SecDepoAccountOld
void on_806D_firm_depo_account_old(uint16_t id, const void* record);       // Msg806D_FirmDepoAccountOld
void on_8076_sec_depo_account(uint16_t id, const void* record);            // Msg8076_SecDepoAccount
void on_8077_firm_depo_account(uint16_t id, const void* record);           // Msg8077_FirmDepoAccount
void on_8089_firm(uint16_t id, const void* record);                        // Msg8089_Firm

// Futures limits and holdings.
void on_0092_futures_limit_old(uint16_t id, const void* record);         // Msg0092_FuturesLimitOld
void on_0094_futures_limits_restart(uint16_t id, const void* record);    // (no fields)
void on_0095_futures_holding_old(uint16_t id, const void* record);       // Msg0095_FuturesHoldingOld
void on_0097_futures_holdings_restart(uint16_t id, const void* record);  // (no fields)
void on_0098_futures_limit_deleted(uint16_t id, const void* record);     // Msg0098_FuturesLimitDeleted
void on_8068_futures_limit(uint16_t id, const void* record);             // Msg8068_FuturesLimit
void on_8069_futures_holding(uint16_t id, const void* record);           // Msg8069_FuturesHolding

// Account positions.
void on_0046_positions_restart(uint16_t id, const void* record);     // (no fields)
void on_004C_account_position_old(uint16_t id, const void* record);  // Msg004C_AccountPositionOld
void on_8029_position_values_old(uint16_t id, const void* record);   // Msg8029_PositionValuesOld
void on_802A_account_position(uint16_t id, const void* record);      // Msg802A_AccountPosition
void on_807D_position_values_old(uint16_t id, const void* record);   // Msg807D_PositionValuesOld
void on_808B_position_values(uint16_t id, const void* record);       // Msg808B_PositionValues

// All trades.
void on_00E0_all_trade(uint16_t id, const void* record);  // Msg00E0_AllTrade
void on_00E1_all_trade(uint16_t id, const void* record);  // Msg00E1_AllTrade
void on_00E9_all_trade(uint16_t id, const void* record);  // Msg00E9_AllTrade
void on_8020_all_trade(uint16_t id, const void* record);  // Msg8020_AllTrade
void on_8021_all_trade(uint16_t id, const void* record);  // Msg8021_AllTrade
void on_8022_all_trade(uint16_t id, const void* record);  // Msg8022_AllTrade
void on_8023_all_trade(uint16_t id, const void* record);  // Msg8023_AllTrade
void on_8024_all_trade(uint16_t id, const void* record);  // Msg8024_AllTrade
void on_8025_all_trade(uint16_t id, const void* record);  // Msg8025_AllTrade

// Multi-part server messages and named data blocks.
void on_00EE_server_message_part(uint16_t id, const void* record);  // Msg00EE_ServerMessagePart
void on_8084_named_block(uint16_t id, const void* record);          // Msg8084_NamedBlock
void on_8090_named_block_first(uint16_t id, const void* record);    // Msg8090_NamedBlockFirst
void on_8091_named_block_part(uint16_t id, const void* record);     // Msg8091_NamedBlockPart

// Minute bars.
void on_00E3_minute_bar_old(uint16_t id, const void* record);      // Msg00E3_MinuteBarOld
void on_00E4_tick_old(uint16_t id, const void* record);            // Msg00E4_TickOld
void on_00E6_history_begins_old(uint16_t id, const void* record);  // Msg00E6_HistoryBeginsOld
void on_00E8_history_ends_old(uint16_t id, const void* record);    // Msg00E8_HistoryEndsOld
void on_802B_minute_bar(uint16_t id, const void* record);          // Msg802B_MinuteBar
void on_802C_tick(uint16_t id, const void* record);                // Msg802C_Tick
void on_802E_history_begins(uint16_t id, const void* record);      // Msg802E_HistoryBegins
void on_8030_history_ends(uint16_t id, const void* record);        // Msg8030_HistoryEnds
void on_8063_minute_bar(uint16_t id, const void* record);          // Msg8063_MinuteBar
void on_8064_tick(uint16_t id, const void* record);                // Msg8064_Tick
void on_8092_minute_update(uint16_t id, const void* record);       // Msg8092_MinuteUpdate
void on_8093_minute_update(uint16_t id, const void* record);       // Msg8093_MinuteUpdate

// News.
void on_0057_news_item(uint16_t id, const void* record);       // Msg0057_NewsItem
void on_0058_news_body_part(uint16_t id, const void* record);  // Msg0058_NewsBodyPart
void on_005A_news_deleted(uint16_t id, const void* record);    // Msg005A_NewsDeleted

// Rule files.
void on_00BB_rule_file_part(uint16_t id, const void* record);  // Msg00BB_RuleFilePart

}  // namespace kelda::kelapi
