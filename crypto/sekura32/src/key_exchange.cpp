// The channel key exchange: what messages 65, 66 and 67 carry, what their
// acceptance changes, and the calls that write the due message.
//
// 65 carries the opener's new key in clear, signed. 66 and 67 carry the
// recipient's last key (the echo) and the sender's new key, enciphered for
// the recipient's public key and signed; each makes the sender's channel from
// the message's cipher state. 67 also gives the recipient the opener's last
// key, so that every session of the pair ends holding it.
#include "message.h"

namespace kelda::sekura32 {
namespace {

constexpr uint32_t kOpenFlags = kSign | kNumbered;                 // 65
constexpr uint32_t kAnswerFlags = kSign | kFreshKey | kNumbered;  // 73

}  // namespace

uint32_t exchange_produce(int32_t code, SkSession* sender, SkSession* recipient, Bytes& body, uint32_t* flags,
                          SessionChanges& changes) {
  if (sender == nullptr || recipient == nullptr) return SK_BAD_HANDLE;
  if (code != 65 && sender->channel != nullptr) return SK_SESSION_BUSY;
  if (code != 65 && recipient->key == nullptr) return SK_BAD_ARGUMENT;
  uint32_t result = skCheckRandomBytes(24, 1);
  if (result < 16) result = skGetRandomBytes(changes.sender_key, kKeyBytes, -1, 0);
  if (result >= 16) return result;
  changes.set_sender_key = true;
  if (code == 65) {
    body.assign(changes.sender_key, changes.sender_key + kKeyBytes);
    *flags = kOpenFlags;
    return SK_OK;
  }
  body.assign(recipient->key, recipient->key + kKeyBytes);
  body.insert(body.end(), changes.sender_key, changes.sender_key + kKeyBytes);
  *flags = kAnswerFlags;
  if (code == 67) {
    changes.set_recipient_key = true;
    std::memcpy(changes.recipient_key, changes.sender_key, kKeyBytes);
  }
  return SK_OK;
}

uint32_t exchange_accept(int32_t code, SkSession* sender, SkSession* recipient, const Bytes& body,
                         const ChannelCipherContext& message, uint32_t* found, SessionChanges& changes) noexcept {
  if (sender == nullptr || recipient == nullptr) return SK_BAD_HANDLE;
  if (code == 65) {
    if (body.size() != kKeyBytes) return SK_BAD_FORMAT;
    *found |= kEncipher;
    changes.set_sender_key = true;
    std::memcpy(changes.sender_key, body.data(), kKeyBytes);
    return SK_OK;
  }
  if (body.size() != 2 * kKeyBytes) return SK_BAD_FORMAT;
  *found |= kEncipher;
  if (code == 67 && sender->key == nullptr) return SK_SESSION_BUSY;
  if (recipient->key == nullptr || sender->channel != nullptr) return SK_SESSION_BUSY;
  if (std::memcmp(recipient->key, body.data(), kKeyBytes) != 0) return kEchoMismatch;
  changes.set_sender_key = true;
  std::memcpy(changes.sender_key, body.data() + kKeyBytes, kKeyBytes);
  if (code == 67) {
    changes.set_recipient_key = true;
    std::memcpy(changes.recipient_key, body.data() + kKeyBytes, kKeyBytes);
  }
  changes.make_sender_channel = true;
  copy_for_channel(changes.new_channel, message);
  return SK_OK;
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t SystemMessageStream(SkSession* sender, SkSession* recipient, SkStream* output, uint32_t* written) {
  SkSession* senders[1] = {sender};
  SkSession* recipients[1] = {recipient};
  return ProtectStream(senders, recipients, 0, nullptr, output, written, nullptr);
}

SK_API uint32_t SystemMessage(SkSession* sender, SkSession* recipient, uint8_t** out, uint32_t* capacity,
                              uint32_t* out_length) {
  SkSession* senders[1] = {sender};
  SkSession* recipients[1] = {recipient};
  return protect_to_buffer(senders, recipients, 0, nullptr, out, capacity, out_length);
}
