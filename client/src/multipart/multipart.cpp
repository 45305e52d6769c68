// Handlers of the multi-part server messages and named data blocks: parts
// are joined (assembly.h), and complete ones go to their consumers: the
// parameter history of the current values, or the caller's events 41 and 44
// (see messages/handlers.h for the rules every handler follows).
#include "multipart/multipart.h"

#include <algorithm>
#include <cstring>

#include "bars/archive.h"
#include "messages/handlers.h"
#include "messages/records_feeds.h"
#include "session/handler_support.h"
#include "values/values.h"

namespace kelda::kelapi {
namespace {

constexpr uint32_t kCodeDropped = 21;
constexpr uint32_t kCodeParamHistory = 30;
constexpr uint32_t kCodeArchiveHistory = 31;
constexpr uint16_t kMsgNamedDataRequest = 0x8085;

template <std::size_t N>
std::span<const uint8_t> counted(const uint8_t (&bytes)[N], uint16_t count) {
  return std::span(bytes, std::min<std::size_t>(count, N));
}

void dispatch_message(Library& lib, const MessageAssembler::Complete& m) {
  switch (m.code) {
    case kCodeDropped:
      return;
    case kCodeParamHistory:
      on_history_reply(lib, m.data);
      return;
    case kCodeArchiveHistory:
      on_archive_reply(lib, m.data);
      return;
    default: {
      const KelapiServerMessage event{m.code, static_cast<uint32_t>(m.data.size()), m.data.data()};
      lib.raise_event(KELAPI_EVENT_SERVERMESSAGE, 0, reinterpret_cast<uintptr_t>(&event));
    }
  }
}

void raise_block(Library& lib, const std::optional<NamedBlocks::Complete>& b) {
  if (!b) return;
  KelapiDataBlock event;
  std::memset(&event, 0, sizeof event);
  event.first_word = b->first_word;
  event.second_word = b->second_word;
  event.name_length = static_cast<uint32_t>(b->name.size());
  std::memcpy(event.name, b->name.data(), std::min(b->name.size(), sizeof event.name));
  event.data_length = static_cast<uint32_t>(b->data.size());
  event.data = b->data.data();
  lib.raise_event(KELAPI_EVENT_DATABLOCK, 0, reinterpret_cast<uintptr_t>(&event));
}

}  // namespace

void run_named_data_request(Library& lib, uint32_t word) {
  if (!lib.connected()) return;
  Msg8085_NamedDataRequest m;
  std::memset(&m, 0, sizeof m);
  m.first_word = static_cast<int32_t>(word);
  lib.send_message(kMsgNamedDataRequest, &m);
}

void on_server_message_part(Library& lib, uint32_t code, uint16_t flags, std::span<const uint8_t> data) {
  if (auto complete = lib.multipart.messages.take(code, flags, data)) dispatch_message(lib, *complete);
}

}  // namespace kelda::kelapi

namespace kelda::kelapi {

void on_00EE_server_message_part(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Msg00EE_ServerMessagePart>(record, KELAPI_RECORD_END(Msg00EE_ServerMessagePart, data));
    on_server_message_part(lib, static_cast<uint32_t>(r.code), static_cast<uint16_t>(r.flags),
                           counted(r.data, r.data_count));
  });
}

void on_8090_named_block_first(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Msg8090_NamedBlockFirst>(record, KELAPI_RECORD_END(Msg8090_NamedBlockFirst, name));
    raise_block(lib, lib.multipart.blocks.first(static_cast<uint32_t>(r.block_id), static_cast<uint32_t>(r.request_word),
                                                static_cast<uint16_t>(r.flags), counted(r.data, r.data_count),
                                                counted(r.name, r.name_count)));
  });
}

void on_8091_named_block_part(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Msg8091_NamedBlockPart>(record, KELAPI_RECORD_END(Msg8091_NamedBlockPart, data));
    raise_block(lib, lib.multipart.blocks.further(static_cast<uint32_t>(r.block_id), static_cast<uint16_t>(r.flags),
                                                  counted(r.data, r.data_count)));
  });
}

void on_8084_named_block(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Msg8084_NamedBlock>(record, KELAPI_RECORD_END(Msg8084_NamedBlock, name));
    raise_block(lib, lib.multipart.blocks.named(static_cast<uint32_t>(r.block_id), static_cast<uint16_t>(r.flags),
                                                counted(r.data, r.data_count), counted(r.name, r.name_count)));
  });
}

}  // namespace kelda::kelapi
