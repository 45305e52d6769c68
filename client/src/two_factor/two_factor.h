// Two-factor authentication during log-in: the server asks for the PIN and
// token number (0xFB), the next token number (0xFD) or a new PIN (0xFE);
// the caller's callbacks answer when set, else the library's dialogs. The
// answer goes back as 0xFC or 0xFF; a cancelled dialog or a refusing token
// callback ends the connection.
//
// Threading: the handlers run on the receive thread, which holds the library
// lock for the callbacks (a callback must not call the library) but releases
// it while one of the library's dialogs is open, so that the exports and
// the worker go on meanwhile; an answer is sent only if the same connection
// is still up when the dialog closes. Buffers that held a PIN are zeroed.
#pragma once

#include <cstdint>

#include "messages/records_services.h"

namespace kelda::kelapi {

class Library;

void on_token_request(Library& lib, bool next);
void on_new_pin_request(Library& lib, const Msg00FE_NewPinRequest& request);

}  // namespace kelda::kelapi
