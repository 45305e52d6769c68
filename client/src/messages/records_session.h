// Message records of the session: session information, the trading session,
// the character mode and the messages the library sends while it connects.
// Layouts in layouts_session.cpp; plain data (see records_common.h).
#pragma once

#include <cstdint>

#include "records_common.h"

namespace kelda::kelapi {

// 0x0002, received: a securities or parameters request is complete.
using Msg0002_RequestComplete = Word16;  // request number

// Head of the session information, older form (16-bit session id).
struct SessionHeadOld {
  int16_t session_id;
  char first_text[65];
  char second_text[65];
  char code[13];
};
static_assert(sizeof(SessionHeadOld) == 146);

// Head of the session information.
struct SessionHead {
  int32_t session_id;
  char first_text[65];
  char second_text[65];
  char code[13];
};
static_assert(sizeof(SessionHead) == 148);

// 0x0021, received: session information, older form.
struct Msg0021_SessionInfoOld {
  SessionHeadOld head;
  char text[65];
  int32_t word1;
  int32_t word2;
};
static_assert(sizeof(Msg0021_SessionInfoOld) == 220);

// 0x803D, received: session information.
struct Msg803D_SessionInfo {
  SessionHead head;
  char text[65];
  int32_t word1;
  int32_t word2;
};
static_assert(sizeof(Msg803D_SessionInfo) == 224);

// 0x0022, received: the trading session.
struct Msg0022_TradingSession {
  char key[37];
  int32_t word;
  int32_t trade_date;  // YYYYMMDD
};
static_assert(sizeof(Msg0022_TradingSession) == 48);

// 0x0085, received: the character-mode word.
using Msg0085_CharacterMode = Word32;

// 0x0091, sent: the client's language.
struct Msg0091_Language {
  int16_t language;
  int16_t sub_language;
};
static_assert(sizeof(Msg0091_Language) == 4);

// 0x00A5, sent: the answer to the session information.
struct Msg00A5_SessionAnswer {
  int32_t application_mode;
  int32_t zero;
};
static_assert(sizeof(Msg00A5_SessionAnswer) == 8);

// 0x801F, sent: the data refresh period.
struct Msg801F_RefreshPeriod {
  int32_t zero;
  int32_t period;
};
static_assert(sizeof(Msg801F_RefreshPeriod) == 8);

// 0x004A (end of the class lists, received) and 0x004E (logout, sent) carry
// no fields.

}  // namespace kelda::kelapi
