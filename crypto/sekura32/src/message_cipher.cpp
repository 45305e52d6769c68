// The cipher of one message or channel direction, the work-buffer helpers and
// the deferred session changes of a message.
#include <algorithm>
#include <new>

#include "message.h"

namespace kelda::sekura32 {

uint32_t default_protect_flags() noexcept {
  char** settings = skSettings;
  return settings == nullptr ? 0 : uint32_t(reinterpret_cast<uintptr_t>(settings[SK_SETTING_PROTECT_FLAGS]));
}

uint32_t read_all(SkStream* in, Bytes& out, uint32_t limit) noexcept {
  uint8_t piece[512];
  uint32_t result = SK_OK;
  try {
    while (limit > 0) {
      uint32_t want = std::min<uint32_t>(limit, sizeof piece);
      uint32_t got = in->read(in, piece, want);
      if (got == 0) {
        if (skIOerror != 0) result = SK_IO_ERROR;
        break;
      }
      out.insert(out.end(), piece, piece + got);
      if (limit != 0xFFFFFFFFu) limit -= got;
    }
  } catch (const std::bad_alloc&) {
    result = SK_NO_MEMORY;
  }
  wipe(piece, sizeof piece);
  return result;
}

uint32_t resolve_session(SkSession** list, SkSession** session) noexcept {
  *session = nullptr;
  if (list == nullptr || list[0] == nullptr) return SK_OK;
  *session = live_session(list[0]);
  return *session != nullptr ? SK_OK : SK_BAD_HANDLE;
}

SkStream* view_stream(const uint8_t* data, uint32_t length) noexcept {
  static uint8_t empty = 0;
  return skMemStream(data != nullptr ? const_cast<uint8_t*>(data) : &empty, length, length, &skDummyRealloc);
}

void fresh_context(ChannelCipherContext& context) noexcept {
  clear_channel(context);
  context.tag = SK_CHANNEL_TABLE;
  md5_init(context.digest);
}

void copy_for_channel(ChannelCipherContext& channel, const ChannelCipherContext& message) noexcept {
  clear_channel(channel);
  channel.tag = message.tag;
  channel.idea = message.idea;
  channel.table = message.table;
  channel.started = message.started;
  md5_init(channel.digest);
}

bool uses_idea(const ChannelCipherContext& context) noexcept { return context.tag == SK_CHANNEL_IDEA; }

uint32_t start_cipher_writing(ChannelCipherContext& context, const uint8_t key[kKeyBytes], Bytes& out) noexcept {
  if (!uses_idea(context)) {
    table_cipher_setup(context.table, key, 6, key[6], key[7]);
    return SK_OK;
  }
  idea_cfb_key(context.idea, key);
  uint8_t start[kIdeaStart];
  uint32_t result = skGetRandomBytes(start, 8, -1, 0);
  if (result >= 16) return result;
  start[8] = start[6];
  start[9] = start[7];
  idea_cfb_encrypt(context.idea, start, start, sizeof start);
  idea_cfb_resync(context.idea);
  try {
    out.insert(out.end(), start, start + sizeof start);
  } catch (const std::bad_alloc&) {
    result = SK_NO_MEMORY;
  }
  wipe(start, sizeof start);
  if (result < 16) result = skEncryptRandom(&context.idea);
  return result;
}

uint32_t start_cipher_reading(ChannelCipherContext& context, const uint8_t key[kKeyBytes], const uint8_t* data,
                              std::size_t length, std::size_t* at) noexcept {
  if (!uses_idea(context)) {
    table_cipher_setup(context.table, key, 6, key[6], key[7]);
    return SK_OK;
  }
  if (length - *at < kIdeaStart) return SK_BAD_FORMAT;
  idea_cfb_key(context.idea, key);
  uint8_t start[kIdeaStart];
  idea_cfb_decrypt(context.idea, data + *at, start, sizeof start);
  bool matches = start[8] == start[6] && start[9] == start[7];
  wipe(start, sizeof start);
  if (!matches) return SK_BAD_FORMAT;
  idea_cfb_resync(context.idea);
  *at += kIdeaStart;
  return SK_OK;
}

void encipher(ChannelCipherContext& context, uint8_t* data, std::size_t length) noexcept {
  if (uses_idea(context))
    idea_cfb_encrypt(context.idea, data, data, length);
  else
    table_cipher_apply(context.table, data, length);
}

void decipher(ChannelCipherContext& context, uint8_t* data, std::size_t length) noexcept {
  if (uses_idea(context))
    idea_cfb_decrypt(context.idea, data, data, length);
  else
    table_cipher_apply(context.table, data, length);
}

void finish_message_cipher(ChannelCipherContext& context) noexcept {
  if (uses_idea(context)) idea_cfb_resync(context.idea);
}

SessionChanges::~SessionChanges() {
  wipe(sender_key, sizeof sender_key);
  wipe(recipient_key, sizeof recipient_key);
  clear_channel(new_channel);
  clear_channel(channel_state);
}

namespace {

bool ensure_key(SkSession* session) {
  if (session->key == nullptr) session->key = static_cast<uint8_t*>(skCalloc(1, kKeyBytes));
  return session->key != nullptr;
}

}  // namespace

uint32_t SessionChanges::commit() noexcept {
  // Everything that can fail comes first.
  ChannelCipherContext* channel = nullptr;
  if (make_sender_channel) {
    void* block = skCalloc(1, sizeof(ChannelCipherContext));
    if (block == nullptr) return SK_NO_MEMORY;
    channel = new (block) ChannelCipherContext(new_channel);
  }
  if ((set_sender_key && !ensure_key(sender)) || (set_recipient_key && !ensure_key(recipient))) {
    if (channel != nullptr) {
      clear_channel(*channel);
      skFree(channel);
    }
    return SK_NO_MEMORY;
  }
  if (set_sender_key) std::memcpy(sender->key, sender_key, kKeyBytes);
  if (set_recipient_key) std::memcpy(recipient->key, recipient_key, kKeyBytes);
  if (channel != nullptr) sender->channel = channel;
  if (update_channel != nullptr) {
    // The opposite direction's thread reads the tag at any time: it is
    // written only when it really changes (a sender taking its partner's
    // cipher), never rewritten with the value it already holds.
    if (update_channel->tag != channel_state.tag) update_channel->tag = channel_state.tag;
    update_channel->digest = channel_state.digest;
    update_channel->idea = channel_state.idea;
    update_channel->table = channel_state.table;
    update_channel->started = channel_state.started;
    update_channel->count = channel_state.count;
    std::memcpy(update_channel->pending, channel_state.pending, sizeof channel_state.pending);
    update_channel->pending_length = channel_state.pending_length;
  }
  if (set_sequence) recipient->sequence = sequence;
  if (count) {
    // Channel traffic keeps counting; the counters stop short of overflow.
    if (sender != nullptr && sender->sent < INT32_MAX) ++sender->sent;
    if (recipient != nullptr && recipient->received < INT32_MAX) ++recipient->received;
  }
  filled_user = nullptr;
  return SK_OK;
}

void SessionChanges::roll_back() noexcept {
  if (filled_user != nullptr) {
    skBurnUser(&filled_user->user);
    skIniUser(&filled_user->user);
    filled_user = nullptr;
  }
}

uint32_t with_exchange_flag(uint32_t result, const SkSession* a, const SkSession* b) noexcept {
  if (result >= 16) return result;
  bool incomplete = (a != nullptr && (a->sent < 0 || a->received < 0)) ||
                    (b != nullptr && (b->sent < 0 || b->received < 0));
  return incomplete ? result | SK_EXCHANGE_INCOMPLETE : result;
}

}  // namespace kelda::sekura32
