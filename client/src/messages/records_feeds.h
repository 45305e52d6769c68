// Message records of all trades, the price-bar archive, minute bars,
// multi-part server messages and named data blocks, news and rule files.
// Layouts in layouts_feeds.cpp; plain data (see records_common.h).
#pragma once

#include <cstdint>

#include "records_common.h"

namespace kelda::kelapi {

// 0x8025, received: a trade of the market. Its bytes are the stored entry.
struct Msg8025_AllTrade {
  int32_t sequence;
  int64_t trade_number;
  int32_t date;
  int32_t time;
  int16_t flags;
  int32_t security;
  int32_t price;
  int32_t quantity;
  double value;
  double amount2;
  int32_t amount3;
  char code[13];
  int32_t rate;
  double amount5;
  double amount6;
  uint16_t word;
};
static_assert(sizeof(Msg8025_AllTrade) == 104);

// 0x8024, received: 0x8025 without the date.
struct Msg8024_AllTrade {
  int32_t sequence;
  int64_t trade_number;
  int32_t time;
  int16_t flags;
  int32_t security;
  int32_t price;
  int32_t quantity;
  double value;
  double amount2;
  int32_t amount3;
  char code[13];
  int32_t rate;
  double amount5;
  double amount6;
  uint16_t word;
};
static_assert(sizeof(Msg8024_AllTrade) == 104);

// 0x8023, received: a trade up to a three-character code.
struct Msg8023_AllTrade {
  int32_t sequence;
  int64_t trade_number;
  int32_t date;
  int32_t time;
  int16_t flags;
  int32_t security;
  int32_t price;
  int32_t quantity;
  double value;
  double amount2;
  int32_t amount3;
  char code[4];
};
static_assert(sizeof(Msg8023_AllTrade) == 64);

// 0x8022, received: 0x8023 without the date.
struct Msg8022_AllTrade {
  int32_t sequence;
  int64_t trade_number;
  int32_t time;
  int16_t flags;
  int32_t security;
  int32_t price;
  int32_t quantity;
  double value;
  double amount2;
  int32_t amount3;
  char code[4];
};
static_assert(sizeof(Msg8022_AllTrade) == 64);

// 0x8021, received: a trade without amounts.
struct Msg8021_AllTrade {
  int32_t sequence;
  int64_t trade_number;
  int32_t date;
  int32_t time;
  int16_t flags;
  int32_t security;
  int32_t price;
  int32_t quantity;
  char code[4];
};
static_assert(sizeof(Msg8021_AllTrade) == 48);

// 0x8020, received: 0x8021 without the date.
struct Msg8020_AllTrade {
  int32_t sequence;
  int64_t trade_number;
  int32_t time;
  int16_t flags;
  int32_t security;
  int32_t price;
  int32_t quantity;
  char code[4];
};
static_assert(sizeof(Msg8020_AllTrade) == 40);

// 0x00E1, received: a trade with a 16-bit security id, no date or flags.
struct Msg00E1_AllTrade {
  int32_t sequence;
  int64_t trade_number;
  int32_t time;
  int16_t security;
  int32_t price;
  int32_t quantity;
  double value;
  double amount2;
  int32_t amount3;
  char code[13];
  int32_t rate;
  double amount5;
  double amount6;
  uint16_t word;
};
static_assert(sizeof(Msg00E1_AllTrade) == 96);

// 0x00E0, received: 0x00E1 up to a three-character code.
struct Msg00E0_AllTrade {
  int32_t sequence;
  int64_t trade_number;
  int32_t time;
  int16_t security;
  int32_t price;
  int32_t quantity;
  double value;
  double amount2;
  int32_t amount3;
  char code[4];
};
static_assert(sizeof(Msg00E0_AllTrade) == 56);

// 0x00E9, received: the oldest form, without amounts.
struct Msg00E9_AllTrade {
  int32_t sequence;
  int64_t trade_number;
  int32_t time;
  int16_t security;
  int32_t price;
  int32_t quantity;
  char code[4];
};
static_assert(sizeof(Msg00E9_AllTrade) == 40);

// 0x0075, sent: the feed from a sequence number on. 0x0076 (sent, cancel the
// feed) carries no fields.
using Msg0075_AllTradesRequest = Word32;

// 0x8031, sent: a history request of the price-bar archive.
struct Msg8031_HistoryRequest {
  int32_t security_id;
  int32_t parameter_code;  // -1 for a price series
  int32_t period;
  int32_t date;
  int32_t time;
};
static_assert(sizeof(Msg8031_HistoryRequest) == 20);

// 0x802D, sent: minute bars of a security after a time.
struct Msg802D_MinutesRequest {
  int32_t security_id;
  int32_t last_time;
};
static_assert(sizeof(Msg802D_MinutesRequest) == 8);

// 0x802F, sent: cancel the minute bars of a security.
using Msg802F_MinutesCancel = Word32;  // security server id
// Received: the minute history begins (0x802E, 0x00E6) and ends (0x8030,
// 0x00E8); the older forms carry a 16-bit id.
using Msg802E_HistoryBegins = Word32;
using Msg00E6_HistoryBeginsOld = Word16;
using Msg8030_HistoryEnds = Word32;
using Msg00E8_HistoryEndsOld = Word16;

// 0x8063 (history) and 0x8093 (update), received: a minute bar.
struct Msg8063_MinuteBar {
  int32_t security_id;
  int32_t date;
  int32_t time;
  int32_t open;
  int32_t high;
  int32_t low;
  int32_t close;
  int32_t volume;
};
static_assert(sizeof(Msg8063_MinuteBar) == 32);
using Msg8093_MinuteUpdate = Msg8063_MinuteBar;

// 0x802B (history) and 0x8092 (update), received: a minute bar without date.
struct Msg802B_MinuteBar {
  int32_t security_id;
  int32_t time;
  int32_t open;
  int32_t high;
  int32_t low;
  int32_t close;
  int32_t volume;
};
static_assert(sizeof(Msg802B_MinuteBar) == 28);
using Msg8092_MinuteUpdate = Msg802B_MinuteBar;

// 0x00E3, received: 0x802B with a 16-bit security id.
struct Msg00E3_MinuteBarOld {
  int16_t security_id;
  int32_t time;
  int32_t open;
  int32_t high;
  int32_t low;
  int32_t close;
  int32_t volume;
};
static_assert(sizeof(Msg00E3_MinuteBarOld) == 28);

// 0x8064, received: a tick.
struct Msg8064_Tick {
  int32_t security_id;
  int32_t date;
  int32_t time;
  int32_t price;
  int32_t quantity;
};
static_assert(sizeof(Msg8064_Tick) == 20);

// 0x802C, received: a tick without date.
struct Msg802C_Tick {
  int32_t security_id;
  int32_t time;
  int32_t price;
  int32_t quantity;
};
static_assert(sizeof(Msg802C_Tick) == 16);

// 0x00E4, received: 0x802C with a 16-bit security id.
struct Msg00E4_TickOld {
  int16_t security_id;
  int32_t time;
  int32_t price;
  int32_t quantity;
};
static_assert(sizeof(Msg00E4_TickOld) == 16);

// 0x00EE, received: a part of a server message.
struct Msg00EE_ServerMessagePart {
  int32_t code;
  int16_t flags;  // 1 first, 4 last, 8 abort
  uint16_t data_count;
  uint8_t data[650];
};
static_assert(sizeof(Msg00EE_ServerMessagePart) == 660);

// 0x8090, received: the first part of a named data block.
struct Msg8090_NamedBlockFirst {
  int32_t block_id;
  int32_t request_word;
  int16_t flags;
  uint16_t data_count;
  uint8_t data[650];
  uint16_t name_count;
  uint8_t name[39];
};
static_assert(sizeof(Msg8090_NamedBlockFirst) == 704);

// 0x8091, received: a further part of a 0x8090 block.
struct Msg8091_NamedBlockPart {
  int32_t block_id;
  int16_t flags;
  uint16_t data_count;
  uint8_t data[650];
};
static_assert(sizeof(Msg8091_NamedBlockPart) == 660);

// 0x8084, received: a part of a named data block matched by id and name.
struct Msg8084_NamedBlock {
  int32_t block_id;
  int16_t flags;
  uint16_t data_count;
  uint8_t data[650];
  uint16_t name_count;
  uint8_t name[39];
};
static_assert(sizeof(Msg8084_NamedBlock) == 700);

// 0x8085, sent: a named-data request.
struct Msg8085_NamedDataRequest {
  int32_t first_word;
  int32_t second_word;
  uint16_t name_count;
  uint8_t name[39];
};
static_assert(sizeof(Msg8085_NamedDataRequest) == 52);

// 0x0057, received: a news item. Its bytes are the saved item of news.log.
struct Msg0057_NewsItem {
  int32_t number;
  int32_t id;
  char code[13];
  char source[65];
  int32_t time;
  int32_t date;
  int32_t flags;
  int32_t body_size;
  char headline[129];
};
static_assert(sizeof(Msg0057_NewsItem) == 236);

// 0x0058, received: a part of a news body.
struct Msg0058_NewsBodyPart {
  int32_t number;
  int32_t flags;  // bit 0: last part
  uint16_t text_count;
  uint8_t text[500];
};
static_assert(sizeof(Msg0058_NewsBodyPart) == 512);

// The key of a news item: 0x005A (received: the item was deleted; sent: ask
// to delete it) and 0x0059 (sent: news after the newest item held).
struct NewsKey {
  int32_t id;
  char code[13];
  int32_t time;
  int32_t date;
};
static_assert(sizeof(NewsKey) == 28);
using Msg005A_NewsDeleted = NewsKey;
using Msg0059_NewsRequest = NewsKey;

// 0x0078, sent: the body of a news item.
struct Msg0078_NewsBodyRequest {
  int32_t number;
  int32_t id;
  char code[13];
  int32_t time;
  int32_t date;
};
static_assert(sizeof(Msg0078_NewsBodyRequest) == 32);

// 0x00BB, received: a part of a rule file.
struct Msg00BB_RuleFilePart {
  int32_t request;
  int16_t flags;  // 4 last part, 8 ends without a file
  char firm_id[13];
  uint16_t name_count;
  uint8_t name[64];
  uint16_t text_count;
  uint8_t text[650];
};
static_assert(sizeof(Msg00BB_RuleFilePart) == 740);

// 0x00BA, sent: a rule-file request.
struct Msg00BA_RuleFileRequest {
  int32_t request;
  char firm_id[13];
};
static_assert(sizeof(Msg00BA_RuleFileRequest) == 20);

}  // namespace kelda::kelapi
