// Key lookups, stores and deletions over lists of key bases, the handler
// lists and the default key-lookup callback.
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "frame.h"
#include "key_packet.h"
#include "key_ring.h"

namespace kelda::sekura32 {
namespace {

constexpr std::size_t kMaxHandlers = 5;

// Stores and deletions of this process rewrite rings one at a time, so two
// of them never lose each other's entry.
std::mutex rewrite_mutex;

// A handler list: at most five, appended under a lock, read without one
// (slots are atomics and never removed).
template <typename Handler>
struct HandlerList {
  std::atomic<Handler> slots[kMaxHandlers] = {};
  void add(Handler handler) {
    static std::mutex add_mutex;
    std::lock_guard lock(add_mutex);
    for (auto& slot : slots) {
      Handler present = slot.load();
      if (present == handler) return;
      if (present == nullptr) {
        slot.store(handler);
        return;
      }
    }
  }
};

HandlerList<SkKeyBaseLookup>& lookups() {
  static HandlerList<SkKeyBaseLookup> list;
  static std::once_flag built_in;
  std::call_once(built_in, [] {
    list.add(&binary_ring_lookup);
    list.add(&text_ring_lookup);
  });
  return list;
}

HandlerList<SkKeyBaseStore>& stores() {
  static HandlerList<SkKeyBaseStore> list;
  static std::once_flag built_in;
  std::call_once(built_in, [] {
    list.add(&binary_ring_store);
    list.add(&text_ring_store);
  });
  return list;
}

HandlerList<SkKeyBaseDelete>& deletes() {
  static HandlerList<SkKeyBaseDelete> list;
  static std::once_flag built_in;
  std::call_once(built_in, [] { list.add(&text_ring_delete); });
  return list;
}

// The default ring of a settings slot (skInit first when it is empty).
const char* default_ring(int slot) {
  if (skSettings == nullptr) return nullptr;
  if (skSettings[slot] == nullptr || skSettings[slot][0] == '\0') skInit(nullptr);
  return skSettings[slot];
}

// Splits "a|b|c" (an empty name ends the list).
std::vector<std::string> split_bases(const char* bases) {
  std::vector<std::string> names;
  for (const char* at = bases; at != nullptr && *at != '\0';) {
    const char* bar = std::strchr(at, '|');
    std::string name = bar != nullptr ? std::string(at, bar) : std::string(at);
    if (name.empty()) break;
    names.push_back(std::move(name));
    at = bar != nullptr ? bar + 1 : nullptr;
  }
  return names;
}

char* copy_text(const char* text) {
  if (text == nullptr) return nullptr;
  std::size_t n = std::strlen(text);
  auto* copy = static_cast<char*>(skMalloc(n + 1));
  if (copy != nullptr) std::memcpy(copy, text, n + 1);
  return copy;
}

// Opens the secret part: asks for the password when the search asks the
// user and the key is protected.
uint32_t open_candidate_secret(SkKeySearch& search, KeyPacketReader& reader, SkStream* packet, UserRecord& user,
                               const char* name) {
  bool protected_key = false;
  uint32_t result = reader.read_protection(packet, &protected_key);
  if (result >= 16) return result;
  if (!protected_key || search.passwordMode != 1) return reader.open_secret(packet, user, search.passwordDigest);
  char password[256] = {};
  SkPromptOptions options{};
  options.flags = search.promptFlags;
  result = skAskPwd(&options, password, sizeof password, "Enter password", name);
  uint8_t digest[16];
  password_digest(password, digest);
  wipe(password, sizeof password);
  if (result < 16) result = reader.open_secret(packet, user, digest);
  wipe(digest, sizeof digest);
  return result;
}

}  // namespace
}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t skInstallKeyBase(SkKeyBaseLookup lookup, SkKeyBaseStore store, SkKeyBaseDelete remove) {
  if (lookup != nullptr) lookups().add(lookup);
  if (store != nullptr) stores().add(store);
  if (remove != nullptr) deletes().add(remove);
  return SK_OK;
}

SK_API SkKeyIsFunction StoreKeyIsCallback(SkKeyIsFunction callback) {
  SkKeyIsFunction previous = skVarKeyIs;
  skVarKeyIs = callback;
  return previous;
}

SK_API uint32_t skKeyIs(void* search_handle, const char* name, const uint8_t*, int32_t user_id, uint32_t time,
                        int32_t, uint32_t, SkStream* packet, uint32_t) {
  auto* search = static_cast<SkKeySearch*>(search_handle);
  if (search == nullptr || search->tag != SK_KEY_SEARCH_TAG || search->target == nullptr || packet == nullptr)
    return SK_BAD_ARGUMENT;
  UserRecord& target = *search->target;
  if (target.time != 0 && time <= target.time) return SK_OK;  // the newest key wins
  UserRecord user;
  skIniUser(&user);
  uint32_t saved = thread_status();
  thread_status() = SK_BAD_FORMAT;
  KeyPacketReader reader;
  uint32_t result = reader.read_public(packet, user);
  if (result < 16 && search->passwordMode != 2) {
    result = reader.secret() ? open_candidate_secret(*search, reader, packet, user, name) : SK_NO_SECRET_PART;
  }
  thread_status() = saved;
  if (result < 16) {
    user.userId = user_id;
    user.name = copy_text(name);
    user.extra = copy_text(search->base);
    if ((name != nullptr && user.name == nullptr) || (search->base != nullptr && user.extra == nullptr))
      result = SK_NO_MEMORY;
  }
  if (result >= 16) {
    skBurnUser(&user);
    --search->candidates;  // this candidate does not count
    search->result = result;
    return SK_OK;
  }
  skBurnUser(&target);
  target = user;
  search->result = SK_OK;
  return SK_OK;
}

SK_API uint32_t skGetUser(const char* bases, const char* const* texts, uint32_t text_count, const uint8_t* key_id,
                          UserRecord* user, uint32_t flags, const char* password, uint32_t prompt_flags) {
  if (user == nullptr || (text_count > 0 && texts == nullptr)) return SK_BAD_ARGUMENT;
  skBurnUser(user);
  skIniUser(user);
  if (bases == nullptr) bases = default_ring(password != nullptr ? SK_SETTING_SECRET_RING : SK_SETTING_PUBLIC_RING);
  SkKeySearch search{};
  search.tag = SK_KEY_SEARCH_TAG;
  search.target = user;
  search.passwordMode = password == nullptr ? 2 : password == skAskWhenNeed ? 1 : 0;
  if (search.passwordMode == 0) password_digest(password, search.passwordDigest);
  search.result = SK_NOT_FOUND;
  search.flags = flags;
  search.promptFlags = prompt_flags;
  search.keyIs = skVarKeyIs;
  search.firstCandidateAt = search.firstMatchAt = -1;
  uint32_t last = SK_OK;
  try {
    for (const std::string& base : split_bases(bases)) {
      search.base = base.c_str();
      uint32_t answer = SK_BAD_PROTECTION;  // no handler serves this base
      for (auto& slot : lookups().slots) {
        SkKeyBaseLookup handler = slot.load();
        if (handler == nullptr) break;
        answer = handler(&search, search.base, texts, text_count, key_id, -1);
        if (answer != SK_NOT_MY_BASE) break;
      }
      if (answer == SK_NOT_MY_BASE) answer = SK_BAD_PROTECTION;
      last = answer;
      if (answer >= 16) break;
    }
  } catch (const std::bad_alloc&) {
    last = SK_NO_MEMORY;
  }
  search.base = nullptr;
  wipe(search.passwordDigest, sizeof search.passwordDigest);
  // A base that could not be searched (no handler, unreadable, damaged)
  // reports its own error unless a candidate was accepted before it.
  uint32_t chosen = search.candidates == 0 ? (search.result < 16 ? SK_NOT_FOUND : search.result) : last;
  if (last >= 16 && (chosen < 16 || search.candidates == 0)) chosen = last;
  if (chosen >= 16) {
    skBurnUser(user);
    skIniUser(user);
  }
  return chosen;
}

SK_API uint32_t skPutUser(const char* base, const char* name, const uint8_t* key_id, int32_t user_id, uint32_t time,
                          int32_t secret, uint32_t bits, const uint8_t* packet, uint32_t length) {
  if (name == nullptr || packet == nullptr || length == 0) return SK_BAD_ARGUMENT;
  if (base == nullptr) base = default_ring(secret != 0 ? SK_SETTING_SECRET_RING : SK_SETTING_PUBLIC_RING);
  if (base == nullptr) return SK_NOT_FOUND;
  try {
    std::string first(base, std::strcspn(base, "|"));
    std::lock_guard lock(rewrite_mutex);
    uint32_t answer = SK_BAD_PROTECTION;
    for (auto& slot : stores().slots) {
      SkKeyBaseStore handler = slot.load();
      if (handler == nullptr) break;
      answer = handler(first.c_str(), name, key_id, user_id, time, secret, bits, packet, length);
      if (answer != SK_NOT_MY_BASE) break;
    }
    return answer == SK_NOT_MY_BASE ? SK_BAD_PROTECTION : answer;
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
}

SK_API uint32_t skDelUser(const char* bases, const char* name, int32_t user_id, const uint8_t* key_id,
                          int32_t secret) {
  if (name == nullptr) return SK_BAD_ARGUMENT;
  if (bases == nullptr) bases = default_ring(secret != 0 ? SK_SETTING_SECRET_RING : SK_SETTING_PUBLIC_RING);
  if (bases == nullptr || bases[0] == '\0') return SK_NOT_FOUND;
  uint32_t deleted = 0;
  try {
    std::lock_guard lock(rewrite_mutex);
    for (const std::string& base : split_bases(bases)) {
      uint32_t answer = SK_NOT_MY_BASE;
      for (auto& slot : deletes().slots) {
        SkKeyBaseDelete handler = slot.load();
        if (handler == nullptr) break;
        answer = handler(base.c_str(), name, user_id, key_id, secret);
        if (answer != SK_NOT_MY_BASE) break;
      }
      if (answer == SK_NOT_MY_BASE) {
        answer = skMessage(9, "Sorry...", "Deletion keys from base %s not realized", base.c_str());
        if (answer >= 16) return answer;
        continue;
      }
      if (answer == SK_STOP_SEARCH)
        ++deleted;
      else if (answer >= 16)
        return answer;
    }
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
  return deleted > 0 ? SK_OK : SK_NOT_FOUND;
}
