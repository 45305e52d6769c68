// Record checks of transaction kinds and fields, transactions and replies,
// two-factor authentication, the client environment report, and traders and
// trader messages.
#include "messages_record_checks.h"
#include "records_services.h"

namespace kelda::kelapi::testing {
namespace {

RECORD_CHECK(word16, Word16, F(value))
RECORD_CHECK(word32, Word32, F(value))
RECORD_CHECK(transaction_kind, Msg8095_TransactionKind, F(kind_id), F(name), F(class_server_id),
             F(field_count), F(kind_code), F(revision), F(extra1), F(extra2))
RECORD_CHECK(transaction_kind_old, Msg00D2_TransactionKindOld, F(kind_id), F(name), F(class_server_id),
             F(field_count), F(kind_code), F(revision))
RECORD_CHECK(transaction_field, Msg8096_TransactionField, F(class_server_id), F(kind_id), F(key),
             F(description), F(default_value), F(roles), F(width), F(type), F(extra3), F(values),
             F(field_code), F(extra4))
RECORD_CHECK(transaction_field_old, Msg003B_TransactionFieldOld, F(class_server_id), F(kind_id), F(key),
             F(description), F(default_value), F(roles), F(width), F(type), F(extra3), F(values))
RECORD_CHECK(fields_request, Msg003A_FieldsRequest, F(class_server_id), F(kind_id))
RECORD_CHECK(transaction_chunk, Msg00FA_TransactionChunk, F(transaction_id), F(version),
             F(class_server_id), F(kind_id), F(chunk), F(part), F(chunk_flags), F(data_count), F(data))
RECORD_CHECK(transaction_reply, Msg00F2_TransactionReply, F(transaction_id), F(unused), F(status),
             F(text), F(number))
RECORD_CHECK(new_pin_request, Msg00FE_NewPinRequest, F(min_length), F(max_length), F(letters_allowed),
             F(mode), F(system_pin_count), F(system_pin))
RECORD_CHECK(token_answer, Msg00FC_TokenAnswer, F(count), F(text))
RECORD_CHECK(new_pin, Msg00FF_NewPin, F(count), F(pin))
RECORD_CHECK(environment_pair, Msg001A_EnvironmentPair, F(name), F(value))
RECORD_CHECK(trader, Msg803E_Trader, F(trader_id), F(name), F(text1), F(code))
RECORD_CHECK(trader_old, Msg00ED_TraderOld, F(trader_id), F(name), F(text1), F(code))
RECORD_CHECK(trader_message, Msg8083_TraderMessage, F(times), F(message_id), F(recipient), F(sender),
             F(text2), F(text3), F(flags), F(text))
RECORD_CHECK(trader_message_8043, Msg8043_TraderMessageOld, F(times), F(message_id), F(recipient),
             F(sender), F(text2), F(text3), F(flags), F(text))
RECORD_CHECK(trader_message_006F, Msg006F_TraderMessageOld, F(times), F(message_id), F(recipient),
             F(sender), F(text2), F(text3), F(flags), F(text))
RECORD_CHECK(receipt, Msg8044_Receipt, F(times), F(message_id), F(sender), F(flags))
RECORD_CHECK(receipt_old, Msg0070_ReceiptOld, F(times), F(message_id), F(sender), F(flags))
RECORD_CHECK(send_trader_message, Msg8082_SendTraderMessage, F(now), F(recipient), F(sender), F(flags),
             F(text))

const RecordCheck kServicesChecks[] = {
    // Transaction kinds and fields, transactions and replies.
    {0x8095, transaction_kind},
    {0x00D2, transaction_kind_old},
    {0x8096, transaction_field},
    {0x003B, transaction_field_old},
    {0x0049, word16},
    {0x0044, word16},
    {0x003A, fields_request},
    {0x00FA, transaction_chunk},
    {0x00F2, transaction_reply},
    // Two-factor authentication and the client environment report.
    {0x00FE, new_pin_request},
    {0x00FC, token_answer},
    {0x00FF, new_pin},
    {0x001A, environment_pair},
    // Traders and trader messages.
    {0x803E, trader},
    {0x00ED, trader_old},
    {0x803F, word32},
    {0x0030, word16},
    {0x8040, word32},
    {0x0031, word16},
    {0x8041, word32},
    {0x0032, word16},
    {0x8083, trader_message},
    {0x8043, trader_message_8043},
    {0x006F, trader_message_006F},
    {0x8044, receipt},
    {0x0070, receipt_old},
    {0x8082, send_trader_message},
    {0x0071, word32},
};

}  // namespace

std::span<const RecordCheck> services_record_checks() { return kServicesChecks; }

}  // namespace kelda::kelapi::testing
