// The transport negotiation that the connection thread runs once the TCP
// link (and a proxy, when one is used) stands: the cipher provider request
// and the locale request, each answered by the server with an answer frame.
//
// Threading: the connection thread, holding the receive mutex (nothing else
// reads the socket meanwhile). Errors: a socket result; anything but kOk
// comes with its text in `error` (none for kStopped, a stop under way).
#pragma once

#include <string>

#include "connection.h"

namespace kelda::dtcp {

// Asks for the connection's cipher provider, then for its locale; kOk when
// the server accepts both.
int negotiate_transport(Connection& c, std::string& error);

}  // namespace kelda::dtcp
