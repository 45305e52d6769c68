// Message records of current values, price lists, quotes and order books.
// Layouts in layouts_market.cpp; plain data (see records_common.h).
#pragma once

#include <cstdint>

#include "records_common.h"

namespace kelda::kelapi {

// 0x805F, 0x8060 and 0x8061, received: a value entry of a security.
struct Msg805F_Values {
  int32_t security_id;
  int32_t time;
  int32_t entry;
  Mask64 mask;
  uint16_t int_count;
  int32_t ints[64];
  uint16_t double_count;
  double doubles[64];
};
static_assert(sizeof(Msg805F_Values) == 800);
using Msg8060_ValuesSnapshot = Msg805F_Values;
using Msg8061_ValuesPlain = Msg805F_Values;

// 0x8013, 0x8014 and 0x8015, received: as 0x805F with a 16-bit security id.
struct Msg8013_ValuesShortId {
  int16_t security_id;
  int32_t time;
  int32_t entry;
  Mask64 mask;
  uint16_t int_count;
  int32_t ints[64];
  uint16_t double_count;
  double doubles[64];
};
static_assert(sizeof(Msg8013_ValuesShortId) == 800);
using Msg8014_ValuesSnapshotShortId = Msg8013_ValuesShortId;
using Msg8015_ValuesPlainShortId = Msg8013_ValuesShortId;

// 0x0007, received: a value entry with its entry flags, oldest form.
struct Msg0007_ValuesOld {
  int16_t security_id;
  int32_t time;
  int32_t entry;
  uint32_t flags;
  Mask64 mask;
  uint16_t int_count;
  int32_t ints[64];
  uint16_t double_count;
  double doubles[64];
};
static_assert(sizeof(Msg0007_ValuesOld) == 800);

// 0x8048, received: confirmation of an entry.
struct Msg8048_EntryConfirmed {
  int32_t class_server_id;
  int32_t entry;
};
static_assert(sizeof(Msg8048_EntryConfirmed) == 8);

// 0x002A, received: confirmation of an entry, older form.
struct Msg002A_EntryConfirmedOld {
  int16_t class_server_id;
  int32_t entry;
};
static_assert(sizeof(Msg002A_EntryConfirmedOld) == 8);

// 0x8047, sent: re-request of a class's entries from first up to end.
struct Msg8047_EntriesRequest {
  int32_t class_server_id;
  int32_t first;
  int32_t end;
};
static_assert(sizeof(Msg8047_EntriesRequest) == 12);

// 0x8052, received: one price level, one side (by the sign of the volume).
struct Msg8052_PriceLevel {
  int32_t security_id;
  int32_t price;
  int32_t volume;
  int32_t value;
};
static_assert(sizeof(Msg8052_PriceLevel) == 16);

// 0x0010, received: as 0x8052 with a 16-bit security id.
struct Msg0010_PriceLevelOld {
  int16_t security_id;
  int32_t price;
  int32_t volume;
  int32_t value;
};
static_assert(sizeof(Msg0010_PriceLevelOld) == 16);

// 0x8053, received: one price level with both sides.
struct Msg8053_PriceLevelBoth {
  int32_t security_id;
  int32_t price;
  int32_t negative_volume;
  int32_t negative_value;
  int32_t positive_volume;
  int32_t positive_value;
};
static_assert(sizeof(Msg8053_PriceLevelBoth) == 24);

// 0x0077, received: as 0x8053 with a 16-bit security id.
struct Msg0077_PriceLevelBothOld {
  int16_t security_id;
  int32_t price;
  int32_t negative_volume;
  int32_t negative_value;
  int32_t positive_volume;
  int32_t positive_value;
};
static_assert(sizeof(Msg0077_PriceLevelBothOld) == 24);

// 0x8055, received: one price level without value.
struct Msg8055_PriceVolume {
  int32_t security_id;
  int32_t price;
  int32_t volume;
};
static_assert(sizeof(Msg8055_PriceVolume) == 12);

// 0x00D9, received: as 0x8055 with a 16-bit security id.
struct Msg00D9_PriceVolumeOld {
  int16_t security_id;
  int32_t price;
  int32_t volume;
};
static_assert(sizeof(Msg00D9_PriceVolumeOld) == 12);

// 0x8056, received: a price leaves the list.
struct Msg8056_PriceRemoved {
  int32_t security_id;
  int32_t price;
};
static_assert(sizeof(Msg8056_PriceRemoved) == 8);

// 0x00DA, received: as 0x8056 with a 16-bit security id.
struct Msg00DA_PriceRemovedOld {
  int16_t security_id;
  int32_t price;
};
static_assert(sizeof(Msg00DA_PriceRemovedOld) == 8);

// 0x808A, received: packed price levels, 16-bit security id.
struct Msg808A_PackedLevelsShortId {
  uint16_t security_id;
  int16_t format;
  int16_t flags;  // 4 = last part
  uint16_t count;
  int32_t words[240];
};
static_assert(sizeof(Msg808A_PackedLevelsShortId) == 968);

// 0x808E, received: packed price levels.
struct Msg808E_PackedLevels {
  int32_t security_id;
  int16_t format;
  int16_t flags;  // 4 = last part
  uint16_t count;
  int32_t words[240];
};
static_assert(sizeof(Msg808E_PackedLevels) == 972);

// 0x8094, received: the security's price list is emptied.
using Msg8094_PriceListCleared = Word32;  // security server id
// 0x8049 and 0x804A, sent: subscribe to or cancel a price list.
using Msg8049_PriceSubscribe = Word32;    // security server id
using Msg804A_PriceUnsubscribe = Word32;  // security server id

// 0x804F, received: a quote. Its bytes are the quote record of the table.
struct Msg804F_Quote {
  int32_t number;
  int64_t value1;
  uint32_t word2;
  uint32_t flags;
  char text3[13];
  char text4[13];
  int32_t security_id;
  int32_t price5;
  uint32_t word6;
  char text7[4];
  int32_t price8;
  int32_t price9;
  double amount10;
  int16_t word11;
  double amount12;
  int32_t price13;
  int16_t word14;
  double amount15;
  uint32_t word16;
  int32_t price17;
};
static_assert(sizeof(Msg804F_Quote) == 128);

// 0x00BF, received: a quote, older form.
struct Msg00BF_QuoteOld {
  int32_t number;
  int64_t value1;
  uint32_t word2;
  uint32_t flags;
  char text3[13];
  char text4[13];
  int16_t security_id;
  int32_t price5;
  uint32_t word6;
  char text7[4];
  int32_t price8;
  int32_t price9;
};
static_assert(sizeof(Msg00BF_QuoteOld) == 72);

// 0x00C0 and 0x00C1, sent: quotes from a number on; one quote again.
using Msg00C0_QuotesRequest = Word32;  // first quote number
using Msg00C1_QuoteRequest = Word32;   // quote number
// 0x00C2, received, carries no fields: the quote table is asked for again.

// 0x804D and 0x804E (0x00C5 and 0x00C6 with 16-bit ids), received: an order
// book begins and is complete.
using Msg804D_OrderBookBegin = Word32;    // security server id
using Msg804E_OrderBookEnd = Word32;      // security server id
using Msg00C5_OrderBookBeginOld = Word16;
using Msg00C6_OrderBookEndOld = Word16;
// 0x804B and 0x804C, sent: subscribe to or cancel an order book.
using Msg804B_OrderBookSubscribe = Word32;    // security server id
using Msg804C_OrderBookUnsubscribe = Word32;  // security server id

// 0x8050, received: one order-book level.
struct Msg8050_OrderBookLevel {
  uint32_t flags;
  char text1[13];
  int32_t security_id;
  int32_t price;
  int32_t quantity;
  char text2[13];
  int32_t second_price;
  int32_t value;
  int64_t value1;
  int64_t value2;
  int16_t word1;
  int32_t word2;
};
static_assert(sizeof(Msg8050_OrderBookLevel) == 80);

// 0x00C7, received: one order-book level, older form.
struct Msg00C7_OrderBookLevelOld {
  uint32_t flags;
  char text1[13];
  int16_t security_id;
  int32_t price;
  int32_t quantity;
  char text2[4];
  int32_t second_price;
  int32_t value;
};
static_assert(sizeof(Msg00C7_OrderBookLevelOld) == 40);

}  // namespace kelda::kelapi
