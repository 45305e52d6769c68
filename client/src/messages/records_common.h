// Shapes shared by many message records of the client library.
//
// A message record is the native form of one message as the protocol library
// decodes or encodes it: every member at its natural alignment, in the order
// of the message's layout. Records hold no pointers, so each keeps exactly
// the size that its static_assert pins. Plain data: no threading or
// ownership rules of their own.
#pragma once

#include <cstdint>

namespace kelda::kelapi {

// A message that carries one 32-bit word (a number, an id, a request word).
struct Word32 {
  int32_t value;
};
static_assert(sizeof(Word32) == 4);

// A message that carries one 16-bit word.
struct Word16 {
  int16_t value;
};
static_assert(sizeof(Word16) == 2);

// A date and a time of day as the server sends them: YYYYMMDD and HHMMSS.
struct DateTime {
  int32_t date;
  int32_t time;
};
static_assert(sizeof(DateTime) == 8);

// The two moments of a trader message: sent and received.
struct MessageTimes {
  DateTime sent;
  DateTime received;
};
static_assert(sizeof(MessageTimes) == 16);

// A 64-bit parameter mask sent as two 32-bit words, low word first.
struct Mask64 {
  uint32_t low;
  uint32_t high;
};
static_assert(sizeof(Mask64) == 8);

}  // namespace kelda::kelapi
