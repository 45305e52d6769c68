// Requests that set, correct or delete money and depository limits, and the
// server's replies to them.
//
// Each request is built from the caller's arguments and sent at once; the
// answer comes later as KELAPI_EVENT_LIMITREPLY or KELAPI_EVENT_LIMITRESULT.
// Codes are checked before anything is sent (null: KELAPI_E_POINTER; longer
// than 4 or 12 characters: KELAPI_E_INVALID_LENGTH); a request that could
// not be handed to the network gives KELAPI_E_NOT_CONNECTED.
//
// Exports take the library lock; the reply handlers run on the receive
// thread under it. Nothing here throws.
#pragma once

#include <cstdint>

#include "keldaapi/keldaapi.h"
#include "messages/records_limits.h"

namespace kelda::kelapi {

class Library;

// The four codes of a money limit request, in argument order.
struct MoneyCodes {
  const char* currency;
  const char* tag;
  const char* client;
  const char* firm;
};

// The four codes of a depository limit request, in argument order.
struct DepoCodes {
  const char* account;
  const char* security;
  const char* client;
  const char* firm;
};

// The correction flags sent for the caller's flags: bits 32 to 256 as given
// and 2 when the caller's flags hold 2, else 1; -1 when they hold neither 1
// nor 2 (the request is refused).
int32_t correction_flags(int flags);

KelapiResult set_money_limit(Library& lib, int request_id, const MoneyCodes& codes, double value1, double value2);
KelapiResult set_money_limit_leverage(Library& lib, int request_id, const MoneyCodes& codes, double limit,
                                      double leverage, int mode);
KelapiResult kill_money_limit(Library& lib, int request_id, int number);
KelapiResult kill_money_limit_codes(Library& lib, int request_id, const MoneyCodes& codes);
KelapiResult correct_money_limit(Library& lib, int request_id, const MoneyCodes& codes, const double (&values)[4],
                                 int flags);
KelapiResult set_depo_limit(Library& lib, int request_id, const DepoCodes& codes, double value1, double value2,
                            double value3);
KelapiResult kill_depo_limit(Library& lib, int request_id, int number);
KelapiResult kill_depo_limit_codes(Library& lib, int request_id, const DepoCodes& codes);
KelapiResult correct_depo_limit(Library& lib, int request_id, const DepoCodes& codes, const double (&values)[4],
                                int flags, double value5);

// ---- replies ----
void on_limit_reply(Library& lib, const Msg8009_LimitReply& message);
void on_limit_result(Library& lib, const Msg008E_LimitResult& message);

}  // namespace kelda::kelapi
