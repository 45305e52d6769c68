// Record checks of the session, classes and securities, parameter
// descriptions, current values, price lists, quotes and order books.
#include "messages_record_checks.h"
#include "records_classes.h"
#include "records_session.h"
#include "records_values.h"

namespace kelda::kelapi::testing {
namespace {

RECORD_CHECK(word16, Word16, F(value))
RECORD_CHECK(word32, Word32, F(value))
RECORD_CHECK(session_info_old, Msg0021_SessionInfoOld, F(head), F(text), F(word1), F(word2))
RECORD_CHECK(session_info, Msg803D_SessionInfo, F(head), F(text), F(word1), F(word2))
RECORD_CHECK(trading_session, Msg0022_TradingSession, F(key), F(word), F(trade_date))
RECORD_CHECK(language, Msg0091_Language, F(language), F(sub_language))
RECORD_CHECK(session_answer, Msg00A5_SessionAnswer, F(application_mode), F(zero))
RECORD_CHECK(refresh_period, Msg801F_RefreshPeriod, F(zero), F(period))

const RecordCheck kSessionChecks[] = {
    {0x0002, word16},          {0x0021, session_info_old}, {0x803D, session_info},
    {0x0022, trading_session}, {0x0085, word32},           {0x0091, language},
    {0x00A5, session_answer},  {0x801F, refresh_period},
};

RECORD_CHECK(class_description, Msg803C_ClassDescription, F(server_id), F(code), F(name), F(flags),
             F(value1), F(value2), F(table_flags), F(second_code), F(securities_version),
             F(parameters_version), F(value3), F(list_count), F(list))
RECORD_CHECK(security_description, Msg8081_SecurityDescription, F(request), F(server_id), F(code),
             F(name), F(short_name), F(value1), F(value2), F(four_chars), F(scale), F(value3),
             F(trading_unit), F(text3), F(text4))
RECORD_CHECK(security_description_old, Msg803B_SecurityDescriptionOld, F(request), F(server_id),
             F(code), F(name), F(short_name), F(value1), F(four_chars), F(scale), F(value3),
             F(trading_unit), F(scaled_step), F(value4), F(text1), F(text2), F(text3))
RECORD_CHECK(server_ids, Msg8038_ServerIds, F(request), F(flags), F(first_position), F(count),
             F(server_ids))
RECORD_CHECK(server_ids_old, Msg00D0_ServerIdsOld, F(request), F(flags), F(first_position), F(count),
             F(server_ids))
RECORD_CHECK(class_texts, Msg8037_ClassTexts, F(request), F(text1), F(text2), F(text3), F(text4),
             F(unused))
RECORD_CHECK(class_request, ClassRequest, F(request), F(class_server_id))
RECORD_CHECK(parameter_mask, Msg8051_ParameterMask, F(mask_low), F(mask_high), F(class_server_id))
RECORD_CHECK(parameter_description, Msg0024_ParameterDescription, F(request), F(kind), F(flags),
             F(scale), F(db_name), F(short_name), F(long_name), F(enum_desc))
RECORD_CHECK(values, Msg805F_Values, F(security_id), F(time), F(entry), F(mask), F(int_count), F(ints),
             F(double_count), F(doubles))
RECORD_CHECK(values_short_id, Msg8013_ValuesShortId, F(security_id), F(time), F(entry), F(mask),
             F(int_count), F(ints), F(double_count), F(doubles))
RECORD_CHECK(values_old, Msg0007_ValuesOld, F(security_id), F(time), F(entry), F(flags), F(mask),
             F(int_count), F(ints), F(double_count), F(doubles))
RECORD_CHECK(entry_confirmed, Msg8048_EntryConfirmed, F(class_server_id), F(entry))
RECORD_CHECK(entry_confirmed_old, Msg002A_EntryConfirmedOld, F(class_server_id), F(entry))
RECORD_CHECK(entries_request, Msg8047_EntriesRequest, F(class_server_id), F(first), F(end))
RECORD_CHECK(price_level, Msg8052_PriceLevel, F(security_id), F(price), F(volume), F(value))
RECORD_CHECK(price_level_old, Msg0010_PriceLevelOld, F(security_id), F(price), F(volume), F(value))
RECORD_CHECK(price_level_both, Msg8053_PriceLevelBoth, F(security_id), F(price), F(negative_volume),
             F(negative_value), F(positive_volume), F(positive_value))
RECORD_CHECK(price_level_both_old, Msg0077_PriceLevelBothOld, F(security_id), F(price),
             F(negative_volume), F(negative_value), F(positive_volume), F(positive_value))
RECORD_CHECK(price_volume, Msg8055_PriceVolume, F(security_id), F(price), F(volume))
RECORD_CHECK(price_volume_old, Msg00D9_PriceVolumeOld, F(security_id), F(price), F(volume))
RECORD_CHECK(price_removed, Msg8056_PriceRemoved, F(security_id), F(price))
RECORD_CHECK(price_removed_old, Msg00DA_PriceRemovedOld, F(security_id), F(price))
RECORD_CHECK(packed_levels_short_id, Msg808A_PackedLevelsShortId, F(security_id), F(format), F(flags),
             F(count), F(words))
RECORD_CHECK(packed_levels, Msg808E_PackedLevels, F(security_id), F(format), F(flags), F(count),
             F(words))
RECORD_CHECK(quote, Msg804F_Quote, F(number), F(value1), F(word2), F(flags), F(text3), F(text4),
             F(security_id), F(price5), F(word6), F(text7), F(price8), F(price9), F(amount10),
             F(word11), F(amount12), F(price13), F(word14), F(amount15), F(word16), F(price17))
RECORD_CHECK(quote_old, Msg00BF_QuoteOld, F(number), F(value1), F(word2), F(flags), F(text3), F(text4),
             F(security_id), F(price5), F(word6), F(text7), F(price8), F(price9))
RECORD_CHECK(order_book_level, Msg8050_OrderBookLevel, F(flags), F(text1), F(security_id), F(price),
             F(quantity), F(text2), F(second_price), F(value), F(value1), F(value2), F(word1),
             F(word2))
RECORD_CHECK(order_book_level_old, Msg00C7_OrderBookLevelOld, F(flags), F(text1), F(security_id),
             F(price), F(quantity), F(text2), F(second_price), F(value))

const RecordCheck kMarketChecks[] = {
    // Classes, securities and parameter descriptions.
    {0x803C, class_description},
    {0x8081, security_description},
    {0x803B, security_description_old},
    {0x8038, server_ids},
    {0x00D0, server_ids_old},
    {0x8037, class_texts},
    {0x8034, class_request},
    {0x8039, class_request},
    {0x8032, class_request},
    {0x8045, word32},
    {0x8046, word32},
    {0x8051, parameter_mask},
    {0x0024, parameter_description},
    // Current values.
    {0x805F, values},
    {0x8060, values},
    {0x8061, values},
    {0x8013, values_short_id},
    {0x8014, values_short_id},
    {0x8015, values_short_id},
    {0x0007, values_old},
    {0x8048, entry_confirmed},
    {0x002A, entry_confirmed_old},
    {0x8047, entries_request},
    // Price lists.
    {0x8052, price_level},
    {0x0010, price_level_old},
    {0x8053, price_level_both},
    {0x0077, price_level_both_old},
    {0x8055, price_volume},
    {0x00D9, price_volume_old},
    {0x8056, price_removed},
    {0x00DA, price_removed_old},
    {0x808A, packed_levels_short_id},
    {0x808E, packed_levels},
    {0x8094, word32},
    {0x8049, word32},
    {0x804A, word32},
    // Quotes and order books.
    {0x804F, quote},
    {0x00BF, quote_old},
    {0x00C0, word32},
    {0x00C1, word32},
    {0x804D, word32},
    {0x804E, word32},
    {0x00C5, word16},
    {0x00C6, word16},
    {0x804B, word32},
    {0x804C, word32},
    {0x8050, order_book_level},
    {0x00C7, order_book_level_old},
};

}  // namespace

std::span<const RecordCheck> session_record_checks() { return kSessionChecks; }
std::span<const RecordCheck> market_record_checks() { return kMarketChecks; }

}  // namespace kelda::kelapi::testing
