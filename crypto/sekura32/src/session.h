// Sessions and channels as seen from inside the library: the session record,
// the channel cipher context, the registry of live handles and the exchange
// state function that message processing asks.
//
// Threading: the registry is guarded by a mutex; a session itself carries no
// lock (see the public header for who may use a pair at once).
#pragma once

#include <atomic>
#include <cstdint>

#include "idea.h"
#include "sekura32/sekura32.h"
#include "table_cipher.h"

namespace kelda::sekura32 {

// One direction of a channel's running cipher state.
struct ChannelCipherContext {
  uint32_t tag = SK_CHANNEL_IDEA;  // SK_CHANNEL_IDEA, or SK_CHANNEL_TABLE (0 counts as it)
  SkMd5Context digest{};           // over the data bytes since the channel was made
  IdeaCfbContext idea{};
  TableCipherContext table{};
  uint32_t started = 0;
  uint32_t count = 0;
  uint8_t pending[256] = {};
  uint32_t pending_length = 0;
};

// Zeroes the context and sets its tag to SK_CHANNEL_IDEA.
void clear_channel(ChannelCipherContext& channel) noexcept;

}  // namespace kelda::sekura32

struct SkSession {
  uint32_t tag;
  uint8_t* key;  // 16 bytes, or null
  UserRecord user;
  int32_t side;
  SkSession* partner;
  // Once the exchange is complete, protecting (one thread) raises the
  // sender's sent and the recipient's received while accepting (another
  // thread) raises the others, and each reads all four: atomic words.
  std::atomic<int32_t> received;
  std::atomic<int32_t> sent;
  int32_t sequence;
  kelda::sekura32::ChannelCipherContext* channel;
};

namespace kelda::sekura32 {

// The session behind a handle when it is live (registered and tagged), else
// null.
SkSession* live_session(const void* handle) noexcept;

// The exchange message due from `sender` to `recipient` (either may be null):
// 0 with *code 0 (nothing due or complete), 65, 66 or 67; or 262, 258.
uint32_t channel_state(const SkSession* sender, const SkSession* recipient, int32_t* code) noexcept;

}  // namespace kelda::sekura32
