// Handshake steps, encryption and decryption over the library's message
// protection.
#include "channel.h"

#include "context.h"
#include "key_handlers.h"
#include "provider.h"

namespace kelda::sekura32_pr {

namespace {

// The live context of a call whose arguments hold; null with the text.
Context* checked_call(CpapiContext* handle, const void* input, uint32_t length, void** out, uint32_t* out_length,
                      char* error, uint32_t size) {
  Context* c = context_of(handle);
  if (c == nullptr) {
    write_error(error, size, kWrongContext);
    return nullptr;
  }
  if (out == nullptr || out_length == nullptr || (input == nullptr && length > 0)) {
    write_error(error, size, "Protection violation %x", SK_BAD_ARGUMENT);
    return nullptr;
  }
  return c;
}

// The caller's provider buffer as the library grows it.
uint8_t** bytes(void** out) { return reinterpret_cast<uint8_t**>(out); }

// The peer of an opening side approved by the caller's validator.
bool approve_peer(const cp_provider_record* provider, Context& c, uintptr_t caller_value, uintptr_t value1,
                  uintptr_t value2, char* error, uint32_t size) {
  int32_t user_id = -1;
  if (library_failed(skChanInfo(c.partner, nullptr, nullptr, nullptr, nullptr, &user_id, nullptr, nullptr), error,
                     size)) {
    return false;
  }
  if (user_id < 0) {
    write_error(error, size, "Incorrect user identifier was received ");
    return false;
  }
  const CpapiPeerValidator validator = peer_validator();
  if (validator == nullptr) {
    write_error(error, size, "Key validator function is absent ");
    return false;
  }
  if (!is_code_address(reinterpret_cast<const void*>(validator))) {
    write_error(error, size, "Wrong key validator function address ");
    return false;
  }
  CpapiPeerInfo peer{};
  peer.version = 1;
  peer.user_id = user_id;
  return validator(provider, caller_value, &peer, sizeof peer, value1, value2, error, size) != 0;
}

}  // namespace

int32_t handshake_step(const cp_provider_record* provider, CpapiContext* handle, uintptr_t caller_value,
                       const void* input, uint32_t input_length, void** out, uint32_t* out_length,
                       uintptr_t validator_value1, uintptr_t validator_value2, char* error, uint32_t size) {
  Context* c = checked_call(handle, input, input_length, out, out_length, error, size);
  if (c == nullptr) return CP_HANDSHAKE_ERROR;
  bool exchanging = true;
  if (input != nullptr && input_length > 0) {
    uint32_t flags = c->protect_flags.load();
    uint32_t written = 0, time = 0;
    SkSession* sender = c->partner;
    SkSession* recipient = c->own;
    const uint32_t result = Unprotect(&sender, &recipient, &flags, input, input_length, bytes(out), out_length,
                                      &written, &time, nullptr, 0, nullptr);
    if (library_failed(result, error, size)) return CP_HANDSHAKE_ERROR;
    exchanging = (result & SK_EXCHANGE_INCOMPLETE) != 0;
  }
  bool sending = false;
  if (exchanging) {
    const int32_t due = HaveSystemMessage(c->partner);
    if (due < 0) {
      write_error(error, size, "HandShake: Wrong channel info");
      return CP_HANDSHAKE_ERROR;
    }
    if (due == 0) return CP_HANDSHAKE_NEED_INPUT;
    uint32_t length = 0;
    const uint32_t result = SystemMessage(c->own, c->partner, bytes(out), out_length, &length);
    if (library_failed(result, error, size)) return CP_HANDSHAKE_ERROR;
    *out_length = length;
    if ((result & SK_EXCHANGE_INCOMPLETE) != 0) return CP_HANDSHAKE_SEND;
    sending = true;
  }
  const int32_t done = CP_HANDSHAKE_DONE | (sending ? CP_HANDSHAKE_SEND : 0);
  if (c->usage == 4) return done;
  return approve_peer(provider, *c, caller_value, validator_value1, validator_value2, error, size) ? done
                                                                                                    : CP_HANDSHAKE_ERROR;
}

int32_t encrypt_block(CpapiContext* handle, const void* input, uint32_t length, void** out, uint32_t* out_length,
                      char* error, uint32_t size) {
  Context* c = checked_call(handle, input, length, out, out_length, error, size);
  if (c == nullptr) return CP_CRYPT_ERROR;
  SkSession* sender = c->own;
  SkSession* recipient = c->partner;
  uint32_t written = 0;
  const uint32_t result =
      Protect(&sender, 1, &recipient, 1, c->protect_flags.load(), input, length, bytes(out), out_length, &written);
  if (library_failed(result, error, size)) return CP_CRYPT_ERROR;
  *out_length = written;
  return CP_CRYPT_DONE;
}

int32_t decrypt_block(CpapiContext* handle, const void* input, uint32_t length, void** out, uint32_t* out_length,
                      char* error, uint32_t size) {
  Context* c = checked_call(handle, input, length, out, out_length, error, size);
  if (c == nullptr) return CP_CRYPT_ERROR;
  SkSession* sender = c->partner;
  SkSession* recipient = c->own;
  uint32_t flags = c->protect_flags.load();
  uint32_t written = 0, time = 0;
  const uint32_t result = Unprotect(&sender, &recipient, &flags, input, length, bytes(out), out_length, &written,
                                    &time, nullptr, 0, nullptr);
  if (library_failed(result, error, size)) return CP_CRYPT_ERROR;
  *out_length = written;
  return CP_CRYPT_DONE;
}

}  // namespace kelda::sekura32_pr
