// The handler table: one entry per received message id, sorted by id.
#include <algorithm>
#include <array>

#include "handlers.h"
#include "message_set.h"

namespace kelda::kelapi {
namespace {

constexpr MessageHandlerEntry kEntries[] = {
    // Session.
    {0x0001, on_dropped_message},
    {0x0002, on_0002_request_complete},
    {0x0020, on_dropped_message},
    {0x0021, on_0021_session_info_old},
    {0x0022, on_0022_trading_session},
    {0x0028, on_dropped_message},
    {0x004A, on_004A_class_lists_end},
    {0x0085, on_0085_character_mode},
    {0x8001, on_dropped_message},
    {0x803C, on_803C_class_description},
    {0x803D, on_803D_session_info},
    {0x808D, on_dropped_message},
    // Accepted and dropped.
    {0x0090, on_dropped_message},
    {0x00A8, on_dropped_message},
    {0x00AC, on_dropped_message},
    {0x00AE, on_dropped_message},
    {0x00B0, on_dropped_message},
    {0x00B2, on_dropped_message},
    {0x00B4, on_dropped_message},
    {0x00B6, on_dropped_message},
    {0x00BC, on_dropped_message},
    {0x00F9, on_dropped_message},
    // Classes and securities.
    {0x00D0, on_00D0_server_ids_old},
    {0x8037, on_8037_class_texts},
    {0x8038, on_8038_server_ids},
    {0x803B, on_803B_security_description_old},
    {0x8081, on_8081_security_description},
    // Parameter descriptions.
    {0x0024, on_0024_parameter_description},
    // Current values.
    {0x0007, on_0007_values_old},
    {0x002A, on_002A_entry_confirmed_old},
    {0x8013, on_8013_values_short_id},
    {0x8014, on_8014_values_snapshot_short_id},
    {0x8015, on_8015_values_plain_short_id},
    {0x8048, on_8048_entry_confirmed},
    {0x805F, on_805F_values},
    {0x8060, on_8060_values_snapshot},
    {0x8061, on_8061_values_plain},
    // Price lists.
    {0x0010, on_0010_price_level_old},
    {0x0077, on_0077_price_level_both_old},
    {0x00D9, on_00D9_price_volume_old},
    {0x00DA, on_00DA_price_removed_old},
    {0x8052, on_8052_price_level},
    {0x8053, on_8053_price_level_both},
    {0x8055, on_8055_price_volume},
    {0x8056, on_8056_price_removed},
    {0x808A, on_808A_packed_levels_short_id},
    {0x808E, on_808E_packed_levels},
    {0x8094, on_8094_price_list_cleared},
    // Quotes and order books.
    {0x00BF, on_00BF_quote_old},
    {0x00C2, on_00C2_quotes_restart},
    {0x00C5, on_00C5_order_book_begin_old},
    {0x00C6, on_00C6_order_book_end_old},
    {0x00C7, on_00C7_order_book_level_old},
    {0x804D, on_804D_order_book_begin},
    {0x804E, on_804E_order_book_end},
    {0x804F, on_804F_quote},
    {0x8050, on_8050_order_book_level},
    // Orders.
    {0x002E, on_002E_orders_restart},
    {0x00F4, on_00F4_order},
    {0x00F6, on_00F6_order},
    {0x800E, on_800E_order},
    {0x800F, on_800F_order},
    {0x805A, on_805A_order},
    {0x805B, on_805B_order},
    {0x807A, on_807A_order},
    {0x807B, on_807B_order},
    // Trades.
    {0x002D, on_002D_trades_restart},
    {0x00CA, on_00CA_trade},
    {0x00DF, on_00DF_trade},
    {0x800D, on_800D_trade},
    {0x8026, on_8026_trade},
    {0x8027, on_8027_trade},
    {0x806A, on_806A_trade},
    {0x806B, on_806B_trade},
    {0x806E, on_806E_trade},
    {0x806F, on_806F_trade},
    // Stop orders.
    {0x00A4, on_00A4_stop_orders_restart},
    {0x00F3, on_00F3_stop_order},
    {0x8059, on_8059_stop_order},
    {0x808F, on_808F_stop_order},
    // Trade accounts.
    {0x0045, on_0045_accounts_restart},
    {0x00C8, on_00C8_trade_account},
    // Negotiated deals, trades and reports.
    {0x0047, on_0047_neg_deals_restart},
    {0x007D, on_dropped_message},
    {0x0080, on_0080_neg_reports_restart},
    {0x0084, on_0084_neg_trades_restart},
    {0x00DD, on_dropped_message},
    {0x00DE, on_dropped_message},
    {0x00F5, on_dropped_message},
    {0x00F7, on_dropped_message},
    {0x8010, on_dropped_message},
    {0x8011, on_dropped_message},
    {0x8012, on_dropped_message},
    {0x8057, on_dropped_message},
    {0x8058, on_8058_neg_trade},
    {0x805C, on_dropped_message},
    {0x805D, on_805D_neg_deal},
    {0x805E, on_805E_neg_report},
    {0x8078, on_dropped_message},
    {0x8079, on_8079_neg_deal},
    {0x807E, on_807E_neg_report},
    {0x807F, on_807F_neg_trade},
    // Transaction kinds and fields.
    {0x003B, on_003B_transaction_field_old},
    {0x0044, on_0044_class_kinds_end},
    {0x0048, on_dropped_message},
    {0x0049, on_0049_kind_fields_end},
    {0x00D2, on_00D2_transaction_kind_old},
    {0x00DB, on_dropped_message},
    {0x8095, on_8095_transaction_kind},
    {0x8096, on_8096_transaction_field},
    // Transaction replies.
    {0x00F2, on_00F2_transaction_reply},
    // Two-factor authentication.
    {0x00FB, on_00FB_token_request},
    {0x00FD, on_00FD_next_token_request},
    {0x00FE, on_00FE_new_pin_request},
    // Traders and trader messages.
    {0x0030, on_0030_trader_removed_old},
    {0x0031, on_0031_trader_on_line_old},
    {0x0032, on_0032_trader_off_line_old},
    {0x006F, on_006F_trader_message_old},
    {0x0070, on_0070_receipt_old},
    {0x00ED, on_00ED_trader_old},
    {0x803E, on_803E_trader},
    {0x803F, on_803F_trader_removed},
    {0x8040, on_8040_trader_on_line},
    {0x8041, on_8041_trader_off_line},
    {0x8043, on_8043_trader_message_old},
    {0x8044, on_8044_receipt},
    {0x8083, on_8083_trader_message},
    // Money and depository limits and limit changes.
    {0x0060, on_0060_money_limits_restart},
    {0x0064, on_0064_depo_limits_restart},
    {0x0087, on_0087_money_limit_deleted},
    {0x0088, on_0088_depo_limit_deleted},
    {0x008E, on_008E_limit_result},
    {0x009E, on_009E_limit_result},
    {0x00F0, on_00F0_money_limit},
    {0x8009, on_8009_limit_reply},
    {0x800B, on_800B_money_limit_amounts},
    {0x8072, on_8072_depo_limit},
    {0x8073, on_8073_depo_limit_values},
    // Firms and depository accounts.
    {0x004F, on_004F_sec_depo_account_old},
    {0x0052, on_0052_sec_depo_accounts_restart},
    {0x0053, on_0053_firm_depo_account_old},
    {0x0056, on_0056_firm_depo_accounts_restart},
    {0x0099, on_0099_firm_with_text},
    {0x009B, on_009B_firms_restart},
    {0x00D6, on_00D6_firms_version},
    {0x8066, on_8066_firm_old},
    {0x8067, on_8067_firm_text},
    {0x806C, on_806C_sec_depo_account_old},
    {0x806D, on_806D_firm_depo_account_old},
    {0x8076, on_8076_sec_depo_account},
    {0x8077, on_8077_firm_depo_account},
    {0x8089, on_8089_firm},
    // Futures limits and holdings.
    {0x0092, on_0092_futures_limit_old},
    {0x0094, on_0094_futures_limits_restart},
    {0x0095, on_0095_futures_holding_old},
    {0x0097, on_0097_futures_holdings_restart},
    {0x0098, on_0098_futures_limit_deleted},
    {0x8068, on_8068_futures_limit},
    {0x8069, on_8069_futures_holding},
    // Account positions.
    {0x0046, on_0046_positions_restart},
    {0x004C, on_004C_account_position_old},
    {0x8029, on_8029_position_values_old},
    {0x802A, on_802A_account_position},
    {0x807D, on_807D_position_values_old},
    {0x808B, on_808B_position_values},
    // All trades.
    {0x00E0, on_00E0_all_trade},
    {0x00E1, on_00E1_all_trade},
    {0x00E9, on_00E9_all_trade},
    {0x8020, on_8020_all_trade},
    {0x8021, on_8021_all_trade},
    {0x8022, on_8022_all_trade},
    {0x8023, on_8023_all_trade},
    {0x8024, on_8024_all_trade},
    {0x8025, on_8025_all_trade},
    // Multi-part server messages and named data blocks.
    {0x00EE, on_00EE_server_message_part},
    {0x8084, on_8084_named_block},
    {0x8090, on_8090_named_block_first},
    {0x8091, on_8091_named_block_part},
    // Minute bars.
    {0x00E3, on_00E3_minute_bar_old},
    {0x00E4, on_00E4_tick_old},
    {0x00E6, on_00E6_history_begins_old},
    {0x00E8, on_00E8_history_ends_old},
    {0x802B, on_802B_minute_bar},
    {0x802C, on_802C_tick},
    {0x802E, on_802E_history_begins},
    {0x8030, on_8030_history_ends},
    {0x8063, on_8063_minute_bar},
    {0x8064, on_8064_tick},
    {0x8092, on_8092_minute_update},
    {0x8093, on_8093_minute_update},
    // News.
    {0x0057, on_0057_news_item},
    {0x0058, on_0058_news_body_part},
    {0x005A, on_005A_news_deleted},
    // Rule files.
    {0x00BB, on_00BB_rule_file_part},
};
static_assert(std::size(kEntries) == kHandledMessageCount);

}  // namespace

const MessageHandlerEntry* kelapi_handler_table() {
  static const auto table = [] {
    std::array<MessageHandlerEntry, kHandledMessageCount + 1> sorted{};
    std::copy(std::begin(kEntries), std::end(kEntries), sorted.begin());
    std::sort(sorted.begin(), sorted.end() - 1,
              [](const MessageHandlerEntry& a, const MessageHandlerEntry& b) { return a.id < b.id; });
    return sorted;
  }();
  return table.data();
}

}  // namespace kelda::kelapi
