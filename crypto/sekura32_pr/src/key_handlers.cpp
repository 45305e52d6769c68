// Key handlers and the ".dwq" key base they serve.
#include "key_handlers.h"

#include <strings.h>

#include <cstring>
#include <vector>

#include "provider.h"

namespace kelda::sekura32_pr {

namespace {

using Lock = std::lock_guard<std::mutex>;

// Whether the key base's name, from its first full stop on, is ".dwq".
bool is_provider_base(const char* base) {
  const char* dot = base != nullptr ? std::strchr(base, '.') : nullptr;
  return dot != nullptr && strncasecmp(dot, ".dwq", 4) == 0;
}

// Hands a key packet to the library's key check as a candidate of the search.
uint32_t offer_key(SkKeySearch* search, const uint8_t* key_id, int32_t key_user_id, uint32_t key_time,
                   int32_t key_secret, uint32_t key_bits, const char* text, uint32_t length) {
  SkStream* stream = skTempMemStream();
  if (stream == nullptr) return SK_NO_MEMORY;
  uint32_t result = SK_OK;
  if (stream->write(stream, text, length) != length || stream->rewind_read(stream) != 0) result = SK_IO_ERROR;
  if (result == SK_OK) {
    if (search != nullptr && search->tag == SK_KEY_SEARCH_TAG) ++search->candidates;
    result = skKeyIs(search, "don't care", key_id, key_user_id, key_time, key_secret, key_bits, stream, length);
  }
  stream->close(stream);
  return result;
}

}  // namespace

int32_t set_key_handler(int32_t type, CpapiKeyHandler handler, char* error, uint32_t error_size) {
  if (!is_code_address(reinterpret_cast<const void*>(handler))) {
    write_error(error, error_size, "Wrong key handler function address was set");
    return 0;
  }
  ProviderState& p = provider();
  Lock lock(p.lock);
  switch (type) {
    case CP_KEY_HANDLER_LOOKUP:
    case CP_KEY_HANDLER_KEY_TEXT:
      if (!p.key_base_installed) {
        skInstallKeyBase(&provider_key_lookup, nullptr, nullptr);
        p.key_base_installed = true;
      }
      if (type == CP_KEY_HANDLER_LOOKUP) {
        p.lookup_handlers.push_back(reinterpret_cast<Sekura32KeyLookupHandler>(handler));
      } else {
        p.key_text_handlers.push_back(reinterpret_cast<Sekura32KeyTextHandler>(handler));
      }
      return 1;
    case CP_KEY_HANDLER_VALIDATOR:
      p.validator = reinterpret_cast<CpapiPeerValidator>(handler);
      return 1;
    default:
      write_error(error, error_size, "Key handler type '%ld' not supported", static_cast<long>(type));
      return 0;
  }
}

void release_key_handlers() {
  ProviderState& p = provider();
  Lock lock(p.lock);
  p.lookup_handlers.clear();
  p.key_text_handlers.clear();
}

CpapiPeerValidator peer_validator() {
  ProviderState& p = provider();
  Lock lock(p.lock);
  return p.validator;
}

uint32_t provider_key_lookup(SkKeySearch* search, const char* base, const char* const* texts, uint32_t text_count,
                             const uint8_t* key_id, int32_t user_id) {
  if (!is_provider_base(base)) return SK_NOT_MY_BASE;
  std::vector<Sekura32KeyLookupHandler> lookups;
  std::vector<Sekura32KeyTextHandler> key_texts;
  try {
    ProviderState& p = provider();
    Lock lock(p.lock);
    lookups = p.lookup_handlers;
    key_texts = p.key_text_handlers;
  } catch (...) {
    return SK_NO_MEMORY;
  }
  for (Sekura32KeyLookupHandler handler : lookups) {
    const uint32_t answer = handler(search, base, texts, text_count, key_id, user_id);
    if (answer == SK_OK || answer == SK_STOP_SEARCH) return answer;
  }
  if (key_texts.empty()) return SK_NOT_FOUND;
  for (Sekura32KeyTextHandler handler : key_texts) {
    int32_t key_user_id = user_id, key_secret = 0;
    uint32_t key_time = 0, key_bits = 0, length = 0;
    char* text = nullptr;
    const uint32_t answer = handler(search, base, texts, text_count, key_id, user_id, &key_user_id, &key_time,
                                    &key_secret, &key_bits, &text, &length);
    if (answer == SK_STOP_SEARCH) {
      skFree(text);
      return answer;
    }
    if (answer != SK_OK) {
      skFree(text);
      continue;
    }
    uint32_t result = SK_KEY_TOO_LARGE;  // an empty text is no key
    if (text != nullptr && length > 0) {
      result = offer_key(search, key_id, key_user_id, key_time, key_secret, key_bits, text, length);
    }
    skFree(text);
    return result;
  }
  return SK_NOT_FOUND;
}

}  // namespace kelda::sekura32_pr
