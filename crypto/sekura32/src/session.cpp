// Sessions: making, linking and closing them, the password-derived channel
// key, the information and state queries, the registry of live handles.
#include "session.h"

#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "frame.h"
#include "md5.h"

namespace kelda::sekura32 {
namespace {

std::mutex registry_mutex;
std::unordered_set<const void*>& registry() {
  static auto* live = new std::unordered_set<const void*>();  // lives to the end of the process
  return *live;
}

SkSession* make_session() {
  auto* session = static_cast<SkSession*>(skCalloc(1, sizeof(SkSession)));
  if (session == nullptr) return nullptr;
  skIniUser(&session->user);
  session->tag = SK_SESSION_TAG;
  try {
    std::lock_guard lock(registry_mutex);
    registry().insert(session);
  } catch (const std::bad_alloc&) {
    skFree(session);
    return nullptr;
  }
  return session;
}

void close_session(SkSession* session) {
  {
    std::lock_guard lock(registry_mutex);
    registry().erase(session);
  }
  skBurnUser(&session->user);
  if (session->channel != nullptr) {
    clear_channel(*session->channel);
    skFree(session->channel);
  }
  if (session->key != nullptr) {
    wipe(session->key, 16);
    skFree(session->key);
  }
  if (session->partner != nullptr && session->partner->partner == session) session->partner->partner = nullptr;
  wipe(session, sizeof *session);
  skFree(session);
}

bool unlinked(const SkSession& s) { return s.partner == nullptr && s.sent == 0 && s.received == 0; }

void link(SkSession& made, SkSession& partner) {
  made.side = -1;
  made.partner = &partner;
  made.received = -2;
  made.sent = -1;
  made.sequence = -2;
  partner.side = 1;
  partner.partner = &made;
  partner.received = -1;
  partner.sent = -2;
  partner.sequence = -1;
}

// Makes a session for a named key-base user (and links it to a partner).
uint32_t log_user(SkSession** out, const uint8_t* key_id, const char* name, SkSession* partner, const char* password) {
  if (partner != nullptr) {
    SkSession* live = live_session(partner);
    if (live == nullptr) return SK_BAD_HANDLE;
    if (!unlinked(*live)) return SK_SESSION_BUSY;
  }
  SkSession* session = make_session();
  if (session == nullptr) return SK_NO_MEMORY;
  const char* texts[] = {name};
  uint32_t result = skGetUser(nullptr, texts, name != nullptr ? 1 : 0, key_id, &session->user, 0, password, 6);
  if (result >= 16) {
    close_session(session);
    return result;
  }
  if (partner != nullptr) {
    link(*session, *partner);
    result += SK_EXCHANGE_INCOMPLETE;
  }
  if (out != nullptr) *out = session;
  return result;
}

}  // namespace

void clear_channel(ChannelCipherContext& channel) noexcept {
  wipe(&channel, sizeof channel);
  channel.tag = SK_CHANNEL_IDEA;
}

SkSession* live_session(const void* handle) noexcept {
  if (handle == nullptr) return nullptr;
  std::lock_guard lock(registry_mutex);
  if (registry().count(handle) == 0) return nullptr;
  auto* session = static_cast<SkSession*>(const_cast<void*>(handle));
  return session->tag == SK_SESSION_TAG ? session : nullptr;
}

uint32_t channel_state(const SkSession* a, const SkSession* b, int32_t* code) noexcept {
  *code = 0;
  if ((a != nullptr && live_session(a) == nullptr) || (b != nullptr && live_session(b) == nullptr))
    return SK_BAD_HANDLE;
  if (a != nullptr && b != nullptr && a->partner == b && b->partner == a && b->side == -a->side) {
    if (a->received >= 0 && a->sent >= 0 && b->received >= 0 && b->sent >= 0) return SK_OK;
    if (a->sent == -2 && b->sent == -1 && a->received == -1 && b->received == -2 && a->side > 0) {
      *code = 65;
      return SK_OK;
    }
    if (a->sent != -1) return SK_SESSION_BUSY;
    if (b->sent == -1 && a->received == -1 && b->received == -1 && a->side < 0) {
      *code = 66;
      return SK_OK;
    }
    if (b->sent == 0 && a->received == 0 && b->received == -1 && a->side >= 1) {
      *code = 67;
      return SK_OK;
    }
    return SK_SESSION_BUSY;
  }
  if (a != nullptr && (a->partner != nullptr || a->side != 0 || a->sent < 0 || a->received < 0))
    return SK_SESSION_BUSY;
  if (b == nullptr || (b->partner == nullptr && b->side == 0 && b->sent >= 0 && b->received >= 0)) return SK_OK;
  return SK_SESSION_BUSY;
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t Login(SkSession** out, SkSession* partner) {
  SkSession* live = nullptr;
  if (partner != nullptr) {
    live = live_session(partner);
    if (live == nullptr) return SK_BAD_HANDLE;
    if (!unlinked(*live)) return SK_SESSION_BUSY;
  }
  SkSession* session = make_session();
  if (session == nullptr) return SK_NO_MEMORY;
  uint32_t result = SK_OK;
  if (live != nullptr) {
    link(*session, *live);
    result = SK_EXCHANGE_INCOMPLETE;
  }
  if (out != nullptr) *out = session;
  return result;
}

SK_API uint32_t LogMan(SkSession** out, const char* name, SkSession* partner, const char* password) {
  return log_user(out, nullptr, name, partner, password);
}

SK_API uint32_t LogUser(void** out, const uint8_t* key_id, const char* name, const char* password) {
  SkSession* session = nullptr;
  uint32_t result = log_user(&session, key_id, name, nullptr, password);
  if (out != nullptr) *out = result < 16 ? session : nullptr;
  return result;
}

SK_API uint32_t LogOut(SkSession* session) {
  if (session == nullptr) return SK_OK;
  SkSession* live = live_session(session);
  if (live == nullptr) return SK_BAD_HANDLE;
  close_session(live);
  return SK_OK;
}

SK_API uint32_t ChanPassword(SkSession* handle, const char* password, uint32_t with_channel) {
  SkSession* session = live_session(handle);
  if (session == nullptr) return SK_BAD_HANDLE;
  if (password == nullptr) return SK_BAD_ARGUMENT;
  if (session->key == nullptr) {
    session->key = static_cast<uint8_t*>(skCalloc(1, 16));
    if (session->key == nullptr) return SK_NO_MEMORY;
  }
  SkMd5Context md5;
  md5_init(md5);
  md5_update(md5, reinterpret_cast<const uint8_t*>(password), std::strlen(password));
  md5_final(session->key, md5);
  wipe(&md5, sizeof md5);
  if (with_channel == 0) return SK_OK;
  if (session->channel == nullptr) {
    void* block = skCalloc(1, sizeof(ChannelCipherContext));
    if (block == nullptr) return SK_NO_MEMORY;
    session->channel = new (block) ChannelCipherContext();
  }
  ChannelCipherContext& channel = *session->channel;
  clear_channel(channel);
  idea_cfb_key(channel.idea, session->key);
  md5_init(channel.digest);
  return SK_OK;
}

SK_API uint32_t skChanInfo(SkSession* handle, const char** name, SkSession** partner, int32_t* sent,
                           int32_t* received, int32_t* user_id, void** channel, UserRecord** user) {
  SkSession* session = live_session(handle);
  if (session == nullptr) return SK_BAD_HANDLE;
  if (name != nullptr) *name = session->user.name;
  if (partner != nullptr) *partner = session->partner;
  if (sent != nullptr) *sent = session->sent;
  if (received != nullptr) *received = session->received;
  if (user_id != nullptr) *user_id = session->user.userId;
  if (channel != nullptr) *channel = session->channel;
  if (user != nullptr) *user = &session->user;
  return session->sent < 0 || session->received < 0 ? SK_EXCHANGE_INCOMPLETE : SK_OK;
}

SK_API int32_t HaveSystemMessage(SkSession* handle) {
  SkSession* recipient = live_session(handle);
  if (recipient == nullptr) return -1;
  int32_t code = 0;
  uint32_t result = channel_state(recipient->partner, recipient, &code);
  if (result == SK_SESSION_BUSY) return 0;
  return result < 16 ? code : -1;
}

SK_API uint32_t skGetKeyId(SkSession* handle, char* text) {
  SkSession* session = live_session(handle);
  if (session == nullptr) return SK_BAD_HANDLE;
  if (text == nullptr) return SK_BAD_ARGUMENT;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int k = 0; k < 8; ++k) {
    text[2 * k] = kDigits[session->user.keyId[k] >> 4];
    text[2 * k + 1] = kDigits[session->user.keyId[k] & 15];
  }
  return SK_OK;
}
