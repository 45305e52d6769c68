// Message records of transaction kinds and fields, transactions and their
// replies, two-factor authentication, the client environment report, and
// traders and trader messages. Layouts in layouts_services.cpp; plain data
// (see records_common.h).
#pragma once

#include <cstdint>

#include "records_common.h"

namespace kelda::kelapi {

// 0x8095, received: a transaction kind. Its bytes are the first 152 bytes of
// the kind record kept in trans.dat.
struct Msg8095_TransactionKind {
  int16_t kind_id;
  char name[129];
  int16_t class_server_id;
  int16_t field_count;
  uint32_t kind_code;
  int32_t revision;
  uint32_t extra1;
  uint32_t extra2;
};
static_assert(sizeof(Msg8095_TransactionKind) == 152);

// 0x00D2, received: a transaction kind without the extra words.
struct Msg00D2_TransactionKindOld {
  int16_t kind_id;
  char name[129];
  int16_t class_server_id;
  int16_t field_count;
  uint32_t kind_code;
  int32_t revision;
};
static_assert(sizeof(Msg00D2_TransactionKindOld) == 144);

// 0x8096, received: one field of a transaction kind; also the field record
// of trans.dat.
struct Msg8096_TransactionField {
  int16_t class_server_id;
  int16_t kind_id;
  char key[33];
  char description[129];
  char default_value[33];
  uint32_t roles;
  int16_t width;
  int16_t type;
  int16_t extra3;
  char values[257];
  int32_t field_code;
  int32_t extra4;
};
static_assert(sizeof(Msg8096_TransactionField) == 476);

// 0x003B, received: a field without field code and extra word 4.
struct Msg003B_TransactionFieldOld {
  int16_t class_server_id;
  int16_t kind_id;
  char key[33];
  char description[129];
  char default_value[33];
  uint32_t roles;
  int16_t width;
  int16_t type;
  int16_t extra3;
  char values[257];
};
static_assert(sizeof(Msg003B_TransactionFieldOld) == 468);

// 0x0049, received: end of a kind's field list.
using Msg0049_KindFieldsEnd = Word16;  // kind id
// 0x0044, received: end of a class's kind list.
using Msg0044_ClassKindsEnd = Word16;  // class server id

// 0x003A, sent: the field request of a kind.
struct Msg003A_FieldsRequest {
  int16_t class_server_id;
  int16_t kind_id;
};
static_assert(sizeof(Msg003A_FieldsRequest) == 4);

// 0x00FA, sent: one chunk of a transaction.
struct Msg00FA_TransactionChunk {
  uint32_t transaction_id;
  uint32_t version;  // 1
  int16_t class_server_id;
  int16_t kind_id;
  int16_t chunk;
  int16_t part;         // 1 transaction text, 2 description
  int16_t chunk_flags;  // 1 first, 2 continuation, 4 last
  uint16_t data_count;
  uint8_t data[998];
};
static_assert(sizeof(Msg00FA_TransactionChunk) == 1020);

// 0x00F2, received: the reply to a transaction.
struct Msg00F2_TransactionReply {
  int32_t transaction_id;
  int32_t unused;
  int16_t status;
  char text[257];
  int64_t number;
};
static_assert(sizeof(Msg00F2_TransactionReply) == 280);

// 0x00FE, received: the server asks for a new PIN.
struct Msg00FE_NewPinRequest {
  int16_t min_length;
  int16_t max_length;
  int16_t letters_allowed;
  int32_t mode;
  uint16_t system_pin_count;
  uint8_t system_pin[32];
};
static_assert(sizeof(Msg00FE_NewPinRequest) == 48);

// 0x00FC, sent: the answer to a token request.
struct Msg00FC_TokenAnswer {
  uint16_t count;
  uint8_t text[128];
};
static_assert(sizeof(Msg00FC_TokenAnswer) == 130);

// 0x00FF, sent: the new PIN.
struct Msg00FF_NewPin {
  uint16_t count;
  uint8_t pin[32];
};
static_assert(sizeof(Msg00FF_NewPin) == 34);
// 0x00FB and 0x00FD, received, carry no fields: token requests.

// 0x001A, sent: one name and value pair of the client environment report.
struct Msg001A_EnvironmentPair {
  char name[33];
  char value[257];
};
static_assert(sizeof(Msg001A_EnvironmentPair) == 290);

// 0x803E, received: a trader. Its bytes are the trader journal record.
struct Msg803E_Trader {
  int32_t trader_id;
  char name[129];
  char text1[65];
  char code[13];
};
static_assert(sizeof(Msg803E_Trader) == 212);

// 0x00ED, received: a trader with a 16-bit id.
struct Msg00ED_TraderOld {
  int16_t trader_id;
  char name[129];
  char text1[65];
  char code[13];
};
static_assert(sizeof(Msg00ED_TraderOld) == 210);

// Received: a trader leaves (0x803F, 0x0030), goes on line (0x8040, 0x0031)
// or off line (0x8041, 0x0032); the older forms carry a 16-bit id.
using Msg803F_TraderRemoved = Word32;
using Msg0030_TraderRemovedOld = Word16;
using Msg8040_TraderOnLine = Word32;
using Msg0031_TraderOnLineOld = Word16;
using Msg8041_TraderOffLine = Word32;
using Msg0032_TraderOffLineOld = Word16;

// 0x8083, received: a trader message. Its bytes are the message record.
struct Msg8083_TraderMessage {
  MessageTimes times;
  int32_t message_id;
  int32_t recipient;
  int32_t sender;
  char text2[129];
  char text3[65];
  uint16_t flags;
  char text[901];
};
static_assert(sizeof(Msg8083_TraderMessage) == 1128);

// 0x8043, received: a trader message with a 257-character text.
struct Msg8043_TraderMessageOld {
  MessageTimes times;
  int32_t message_id;
  int32_t recipient;
  int32_t sender;
  char text2[129];
  char text3[65];
  uint16_t flags;
  char text[257];
};
static_assert(sizeof(Msg8043_TraderMessageOld) == 484);

// 0x006F, received: a trader message with 16-bit trader ids.
struct Msg006F_TraderMessageOld {
  MessageTimes times;
  int32_t message_id;
  int16_t recipient;
  int16_t sender;
  char text2[129];
  char text3[65];
  int16_t flags;
  char text[257];
};
static_assert(sizeof(Msg006F_TraderMessageOld) == 480);

// 0x8044, received and sent: the receipt of a trader message.
struct Msg8044_Receipt {
  MessageTimes times;
  int32_t message_id;
  int32_t sender;
  int16_t flags;
};
static_assert(sizeof(Msg8044_Receipt) == 28);

// 0x0070, received: a receipt with a 16-bit sender id.
struct Msg0070_ReceiptOld {
  MessageTimes times;
  int32_t message_id;
  int16_t sender;
  int16_t flags;
};
static_assert(sizeof(Msg0070_ReceiptOld) == 24);

// 0x8082, sent: a message to another trader.
struct Msg8082_SendTraderMessage {
  DateTime now;
  int32_t recipient;
  int32_t sender;
  int16_t flags;
  char text[901];
};
static_assert(sizeof(Msg8082_SendTraderMessage) == 920);

// 0x0071, sent: trader messages after a message id.
using Msg0071_TraderMessagesRequest = Word32;

}  // namespace kelda::kelapi
