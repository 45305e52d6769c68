// Multi-part server messages and named data blocks as the library receives
// them: the assembled server message goes by its code to the parameter
// history (30), the price-bar archive (31), nowhere (21) or to the caller as KELAPI_EVENT_SERVERMESSAGE; a complete named
// block goes to the caller as KELAPI_EVENT_DATABLOCK. Both events carry 0
// in wparam and their record's address in lparam; the records are valid
// during the call only.
//
// Runs under the library lock on the receive thread (the request on the
// worker).
#pragma once

#include <cstdint>
#include <span>

#include "multipart/assembly.h"

namespace kelda::kelapi {

class Library;

struct Multipart {
  MessageAssembler messages;
  NamedBlocks blocks;
};

// A part of a server message (0xEE).
void on_server_message_part(Library& lib, uint32_t code, uint16_t flags, std::span<const uint8_t> data);

// Worker command 26: asks the server for named data with the word.
void run_named_data_request(Library& lib, uint32_t word);

}  // namespace kelda::kelapi
