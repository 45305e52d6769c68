// Placeholder handlers: each drops its message until the code of its table
// defines it. When a table is built, its handlers move out of this file into
// the table's code.
#include "handlers.h"

namespace kelda::kelapi {

// Negotiated deals, trades and reports.
void on_0047_neg_deals_restart(uint16_t, const void*) {}
void on_0080_neg_reports_restart(uint16_t, const void*) {}
void on_0084_neg_trades_restart(uint16_t, const void*) {}
void on_8079_neg_deal(uint16_t, const void*) {}
void on_807E_neg_report(uint16_t, const void*) {}
void on_807F_neg_trade(uint16_t, const void*) {}

// Two-factor authentication.
void on_00FB_token_request(uint16_t, const void*) {}
void on_00FD_next_token_request(uint16_t, const void*) {}
void on_00FE_new_pin_request(uint16_t, const void*) {}

// Money and depository limits and limit changes.
void on_0060_money_limits_restart(uint16_t, const void*) {}
void on_0064_depo_limits_restart(uint16_t, const void*) {}
void on_0087_money_limit_deleted(uint16_t, const void*) {}
void on_0088_depo_limit_deleted(uint16_t, const void*) {}
void on_008E_limit_result(uint16_t, const void*) {}
void on_009E_limit_result(uint16_t, const void*) {}
void on_00F0_money_limit(uint16_t, const void*) {}
void on_8009_limit_reply(uint16_t, const void*) {}
void on_800B_money_limit_amounts(uint16_t, const void*) {}
void on_8072_depo_limit(uint16_t, const void*) {}
void on_8073_depo_limit_values(uint16_t, const void*) {}

// Firms and depository accounts.
void on_004F_sec_depo_account_old(uint16_t, const void*) {}
void on_0052_sec_depo_accounts_restart(uint16_t, const void*) {}
void on_0053_firm_depo_account_old(uint16_t, const void*) {}
void on_0056_firm_depo_accounts_restart(uint16_t, const void*) {}
void on_0099_firm_with_text(uint16_t, const void*) {}
void on_009B_firms_restart(uint16_t, const void*) {}
void on_00D6_firms_version(uint16_t, const void*) {}
void on_8066_firm_old(uint16_t, const void*) {}
void on_8067_firm_text(uint16_t, const void*) {}
void on_806C_sec_depo_account_old(uint16_t, const void*) {}
void on_806D_firm_depo_account_old(uint16_t, const void*) {}
void on_8076_sec_depo_account(uint16_t, const void*) {}
void on_8077_firm_depo_account(uint16_t, const void*) {}
void on_8089_firm(uint16_t, const void*) {}

// Futures limits and holdings.
void on_0092_futures_limit_old(uint16_t, const void*) {}
void on_0094_futures_limits_restart(uint16_t, const void*) {}
void on_0095_futures_holding_old(uint16_t, const void*) {}
void on_0097_futures_holdings_restart(uint16_t, const void*) {}
void on_0098_futures_limit_deleted(uint16_t, const void*) {}
void on_8068_futures_limit(uint16_t, const void*) {}
void on_8069_futures_holding(uint16_t, const void*) {}

// Account positions.
void on_0046_positions_restart(uint16_t, const void*) {}
void on_004C_account_position_old(uint16_t, const void*) {}
void on_8029_position_values_old(uint16_t, const void*) {}
void on_802A_account_position(uint16_t, const void*) {}
void on_807D_position_values_old(uint16_t, const void*) {}
void on_808B_position_values(uint16_t, const void*) {}

// All trades.
void on_00E0_all_trade(uint16_t, const void*) {}
void on_00E1_all_trade(uint16_t, const void*) {}
void on_00E9_all_trade(uint16_t, const void*) {}
void on_8020_all_trade(uint16_t, const void*) {}
void on_8021_all_trade(uint16_t, const void*) {}
void on_8022_all_trade(uint16_t, const void*) {}
void on_8023_all_trade(uint16_t, const void*) {}
void on_8024_all_trade(uint16_t, const void*) {}
void on_8025_all_trade(uint16_t, const void*) {}

// Minute bars.
void on_00E3_minute_bar_old(uint16_t, const void*) {}
void on_00E4_tick_old(uint16_t, const void*) {}
void on_00E6_history_begins_old(uint16_t, const void*) {}
void on_00E8_history_ends_old(uint16_t, const void*) {}
void on_802B_minute_bar(uint16_t, const void*) {}
void on_802C_tick(uint16_t, const void*) {}
void on_802E_history_begins(uint16_t, const void*) {}
void on_8030_history_ends(uint16_t, const void*) {}
void on_8063_minute_bar(uint16_t, const void*) {}
void on_8064_tick(uint16_t, const void*) {}
void on_8092_minute_update(uint16_t, const void*) {}
void on_8093_minute_update(uint16_t, const void*) {}

// News.
void on_0057_news_item(uint16_t, const void*) {}
void on_0058_news_body_part(uint16_t, const void*) {}
void on_005A_news_deleted(uint16_t, const void*) {}

// Rule files.
void on_00BB_rule_file_part(uint16_t, const void*) {}

}  // namespace kelda::kelapi
