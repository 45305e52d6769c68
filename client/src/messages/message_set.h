// The client library's message set: the layout registry and the handler
// table that the library hands to the protocol library (zn_init and
// zn_connect_ex).
//
// The registry gives each of the 406 registered message ids its layout and
// the protocol version in which it appeared; the handler table names the
// library's handler (handlers.h) for each of the 194 ids it receives. Both
// are sorted by id and end with an all-zero entry.
//
// Threading: both tables are built once, on the first call, in a thread-safe
// way, and are constant afterwards except for word 0 of each layout, which
// the protocol library writes (always with the same value) when it sets up a
// connection. Ownership: the tables are static and live until the process
// ends. Errors: none.
#pragma once

#include <cstddef>

#include "zn_de/message_layout.h"

namespace kelda::kelapi {

inline constexpr std::size_t kRegisteredMessageCount = 406;
inline constexpr std::size_t kHandledMessageCount = 194;

// The layout registry: kRegisteredMessageCount entries, then an all-zero one.
const MessageLayoutEntry* kelapi_layout_registry();

// The handler table: kHandledMessageCount entries, then an all-zero one.
const MessageHandlerEntry* kelapi_handler_table();

}  // namespace kelda::kelapi
