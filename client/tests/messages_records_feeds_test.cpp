// Record checks of all trades, the price-bar archive, minute bars, multi-part
// server messages and named data blocks, news and rule files.
#include "messages_record_checks.h"
#include "records_feeds.h"

namespace kelda::kelapi::testing {
namespace {

RECORD_CHECK(word16, Word16, F(value))
RECORD_CHECK(word32, Word32, F(value))
RECORD_CHECK(all_trade, Msg8025_AllTrade, F(sequence), F(trade_number), F(date), F(time), F(flags),
             F(security), F(price), F(quantity), F(value), F(amount2), F(amount3), F(code), F(rate),
             F(amount5), F(amount6), F(word))
RECORD_CHECK(all_trade_8024, Msg8024_AllTrade, F(sequence), F(trade_number), F(time), F(flags),
             F(security), F(price), F(quantity), F(value), F(amount2), F(amount3), F(code), F(rate),
             F(amount5), F(amount6), F(word))
RECORD_CHECK(all_trade_8023, Msg8023_AllTrade, F(sequence), F(trade_number), F(date), F(time), F(flags),
             F(security), F(price), F(quantity), F(value), F(amount2), F(amount3), F(code))
RECORD_CHECK(all_trade_8022, Msg8022_AllTrade, F(sequence), F(trade_number), F(time), F(flags),
             F(security), F(price), F(quantity), F(value), F(amount2), F(amount3), F(code))
RECORD_CHECK(all_trade_8021, Msg8021_AllTrade, F(sequence), F(trade_number), F(date), F(time), F(flags),
             F(security), F(price), F(quantity), F(code))
RECORD_CHECK(all_trade_8020, Msg8020_AllTrade, F(sequence), F(trade_number), F(time), F(flags),
             F(security), F(price), F(quantity), F(code))
RECORD_CHECK(all_trade_00E1, Msg00E1_AllTrade, F(sequence), F(trade_number), F(time), F(security),
             F(price), F(quantity), F(value), F(amount2), F(amount3), F(code), F(rate), F(amount5),
             F(amount6), F(word))
RECORD_CHECK(all_trade_00E0, Msg00E0_AllTrade, F(sequence), F(trade_number), F(time), F(security),
             F(price), F(quantity), F(value), F(amount2), F(amount3), F(code))
RECORD_CHECK(all_trade_00E9, Msg00E9_AllTrade, F(sequence), F(trade_number), F(time), F(security),
             F(price), F(quantity), F(code))
RECORD_CHECK(history_request, Msg8031_HistoryRequest, F(security_id), F(parameter_code), F(period),
             F(date), F(time))
RECORD_CHECK(minutes_request, Msg802D_MinutesRequest, F(security_id), F(last_time))
RECORD_CHECK(minute_bar, Msg8063_MinuteBar, F(security_id), F(date), F(time), F(open), F(high), F(low),
             F(close), F(volume))
RECORD_CHECK(minute_bar_no_date, Msg802B_MinuteBar, F(security_id), F(time), F(open), F(high), F(low),
             F(close), F(volume))
RECORD_CHECK(minute_bar_old, Msg00E3_MinuteBarOld, F(security_id), F(time), F(open), F(high), F(low),
             F(close), F(volume))
RECORD_CHECK(tick, Msg8064_Tick, F(security_id), F(date), F(time), F(price), F(quantity))
RECORD_CHECK(tick_no_date, Msg802C_Tick, F(security_id), F(time), F(price), F(quantity))
RECORD_CHECK(tick_old, Msg00E4_TickOld, F(security_id), F(time), F(price), F(quantity))
RECORD_CHECK(server_message_part, Msg00EE_ServerMessagePart, F(code), F(flags), F(data_count), F(data))
RECORD_CHECK(named_block_first, Msg8090_NamedBlockFirst, F(block_id), F(request_word), F(flags),
             F(data_count), F(data), F(name_count), F(name))
RECORD_CHECK(named_block_part, Msg8091_NamedBlockPart, F(block_id), F(flags), F(data_count), F(data))
RECORD_CHECK(named_block, Msg8084_NamedBlock, F(block_id), F(flags), F(data_count), F(data),
             F(name_count), F(name))
RECORD_CHECK(named_data_request, Msg8085_NamedDataRequest, F(first_word), F(second_word), F(name_count),
             F(name))
RECORD_CHECK(news_item, Msg0057_NewsItem, F(number), F(id), F(code), F(source), F(time), F(date),
             F(flags), F(body_size), F(headline))
RECORD_CHECK(news_body_part, Msg0058_NewsBodyPart, F(number), F(flags), F(text_count), F(text))
RECORD_CHECK(news_key, NewsKey, F(id), F(code), F(time), F(date))
RECORD_CHECK(news_body_request, Msg0078_NewsBodyRequest, F(number), F(id), F(code), F(time), F(date))
RECORD_CHECK(rule_file_part, Msg00BB_RuleFilePart, F(request), F(flags), F(firm_id), F(name_count),
             F(name), F(text_count), F(text))
RECORD_CHECK(rule_file_request, Msg00BA_RuleFileRequest, F(request), F(firm_id))

const RecordCheck kFeedsChecks[] = {
    // All trades.
    {0x8025, all_trade},
    {0x8024, all_trade_8024},
    {0x8023, all_trade_8023},
    {0x8022, all_trade_8022},
    {0x8021, all_trade_8021},
    {0x8020, all_trade_8020},
    {0x00E1, all_trade_00E1},
    {0x00E0, all_trade_00E0},
    {0x00E9, all_trade_00E9},
    {0x0075, word32},
    // Price-bar archive and minute bars.
    {0x8031, history_request},
    {0x802D, minutes_request},
    {0x802F, word32},
    {0x802E, word32},
    {0x8030, word32},
    {0x00E6, word16},
    {0x00E8, word16},
    {0x8063, minute_bar},
    {0x8093, minute_bar},
    {0x802B, minute_bar_no_date},
    {0x8092, minute_bar_no_date},
    {0x00E3, minute_bar_old},
    {0x8064, tick},
    {0x802C, tick_no_date},
    {0x00E4, tick_old},
    // Multi-part server messages and named data blocks.
    {0x00EE, server_message_part},
    {0x8090, named_block_first},
    {0x8091, named_block_part},
    {0x8084, named_block},
    {0x8085, named_data_request},
    // News and rule files.
    {0x0057, news_item},
    {0x0058, news_body_part},
    {0x005A, news_key},
    {0x0059, news_key},
    {0x0078, news_body_request},
    {0x00BB, rule_file_part},
    {0x00BA, rule_file_request},
};

}  // namespace

std::span<const RecordCheck> feeds_record_checks() { return kFeedsChecks; }

}  // namespace kelda::kelapi::testing
