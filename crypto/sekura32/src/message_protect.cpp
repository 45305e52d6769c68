// Writing protected messages: message mode (session-key packet, data packet
// around signature packets and one literal packet) and channel mode (the
// pair's running cipher over escaped data), with the exchange messages of a
// linked pair written in message mode.
#include <cstdio>
#include <new>

#include "armour.h"
#include "message.h"
#include "text_lines.h"

namespace kelda::sekura32 {
namespace {

// The writer's flags merged with the library's defaults.
uint32_t normalise(uint32_t flags, uint32_t defaults) {
  if ((flags & kFreshKey) != 0) flags |= kEncipher;
  if ((flags & kChannelMode) != 0) return flags | (defaults & 0x1A7u);
  if ((flags & ~0x381u) == 0) {
    if ((flags & kClearSigned) != 0) flags |= kText;
    if ((flags & kText) != 0 && (defaults & 0x1Fu) == 0) defaults &= ~kArmoured;
    if ((defaults & kClearSigned) != 0 && ((defaults | flags) & kText) != 0)
      defaults &= 0x381u;
    else
      defaults &= ~kClearSigned;
    return flags | defaults;
  }
  return (defaults & ~kClearSigned) | (flags & ~kClearSigned);
}

Bytes contents(SkStream* stream) {
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  skLookMemStream(stream, &buffer, nullptr, &length, nullptr);
  return Bytes(buffer, buffer + length);
}

// The signature packets of the data hashed so far into `running`, also
// copied to the detached stream.
uint32_t signature_packets(uint32_t flags, SkSession* sender, const SkMd5Context& running, SkStream* detached,
                           Bytes& packets) {
  StreamHandle stream(skTempMemStream());
  if (!stream) return SK_NO_MEMORY;
  uint32_t result = write_signatures(stream.get(), flags, sender, running);
  if (result >= 16) return result;
  packets = contents(stream.get());
  if (detached != nullptr) result = write_exact(detached, packets.data(), uint32_t(packets.size()));
  return result;
}

class MessageWriter {
 public:
  MessageWriter(SkSession* sender, SkSession* recipient) : sender_(sender), recipient_(recipient) {
    changes_.sender = sender;
    changes_.recipient = recipient;
  }
  ~MessageWriter() {
    wipe(fresh_key_, sizeof fresh_key_);
    clear_channel(fresh_);
  }

  uint32_t run(uint32_t flags, SkStream* input, SkStream* output, uint32_t* written, SkStream* detached) {
    int32_t code = 0;
    uint32_t result = channel_state(sender_, recipient_, &code);
    if (result >= 16) return result;
    thread_status() = SK_BAD_FORMAT;
    session_key_ = sender_ != nullptr && sender_->key != nullptr ? sender_->key
                   : recipient_ != nullptr                       ? recipient_->key
                                                                 : nullptr;
    fresh_context(fresh_);
    ChannelCipherContext* context = &fresh_;
    if ((flags & kChannelMode) != 0 && sender_ != nullptr && sender_->channel != nullptr) {
      changes_.channel_state = *sender_->channel;
      changes_.update_channel = sender_->channel;
      context = &changes_.channel_state;
    }
    if (recipient_ != nullptr && recipient_->channel != nullptr && recipient_->channel->tag != 0)
      context->tag = recipient_->channel->tag;
    Bytes data;
    if (code != 0) {
      if (input != nullptr) return kFlagsNotAllowed;
      result = exchange_produce(code, sender_, recipient_, data, &flags, changes_);
    } else {
      if (input == nullptr) return kFlagsNotAllowed;
      result = read_all(input, data);
    }
    if (result >= 16) return result;
    flags = normalise(flags, default_protect_flags());
    bool channel_mode = (flags & kChannelMode) != 0;
    if (channel_mode && ((flags & ~0x9A7u) != 0 || context == &fresh_)) return kFlagsNotAllowed;
    if ((flags & (kClearSigned | kArmouredSignature)) != 0) return kFlagsNotAllowed;
    // Text goes out as lines ended by CR LF, in message and channel mode alike.
    if ((flags & kText) != 0 && (result = convert_text_lines(data)) >= 16) return result;
    Bytes message;
    result = channel_mode ? write_channel(flags, *context, data, detached, message)
                          : write_message(flags, *context, data, detached, message);
    if (result >= 16) return result;
    uint32_t count = 0;
    if ((flags & kArmoured) != 0) {
      StreamHandle in(view_stream(message.data(), uint32_t(message.size())));
      if (!in) return SK_NO_MEMORY;
      result = armour_write(in.get(), output, nullptr, &count, kArmourMessage);
    } else {
      count = uint32_t(message.size());
      result = write_exact(output, message.data(), count);
    }
    if (result >= 16) return result;
    changes_.count = true;
    if (code == 66 || code == 67) {
      changes_.make_sender_channel = true;
      copy_for_channel(changes_.new_channel, *context);
    }
    if ((result = changes_.commit()) >= 16) return result;
    if (written != nullptr) *written = count;
    return with_exchange_flag(SK_OK, sender_, recipient_);
  }

 private:
  uint32_t write_channel(uint32_t flags, ChannelCipherContext& channel, const Bytes& data, SkStream* detached,
                         Bytes& message) {
    Bytes inner;
    escape_data(channel, data.data(), data.size(), inner);
    uint32_t result = SK_OK;
    if ((flags & (kSign | kDigestPacket)) != 0) {
      Bytes packets;
      result = signature_packets(flags, sender_, channel.digest, detached, packets);
      if (result < 16) result = escape_packets(channel, packets.data(), packets.size(), inner);
      if (result >= 16) return result;
    }
    if ((flags & kEncipher) != 0) {
      if (channel.started == 0) {
        if (session_key_ == nullptr) return SK_BAD_HANDLE;
        if ((result = start_cipher_writing(channel, session_key_, message)) >= 16) return result;
        channel.started = 1;
      }
      encipher(channel, inner.data(), inner.size());
    }
    message.insert(message.end(), inner.begin(), inner.end());
    return SK_OK;
  }

  uint32_t write_message(uint32_t flags, ChannelCipherContext& context, const Bytes& data, SkStream* detached,
                         Bytes& message) {
    char name[16] = {};
    if ((flags & kNumbered) != 0) {
      if (recipient_ == nullptr) return SK_BAD_HANDLE;
      changes_.set_sequence = true;
      changes_.sequence = recipient_->sequence + 1;
      std::snprintf(name, sizeof name, "#%ld", long(changes_.sequence));
    }
    md5_update(context.digest, data.data(), data.size());
    StreamHandle inner(skTempMemStream());
    if (!inner) return SK_NO_MEMORY;
    uint32_t result = SK_OK;
    if ((flags & (kSign | kDigestPacket)) != 0) {
      Bytes packets;
      result = signature_packets(flags, sender_, context.digest, detached, packets);
      if (result < 16) result = write_exact(inner.get(), packets.data(), uint32_t(packets.size()));
    }
    char mode = (flags & kText) != 0 ? 't' : 'b';
    if (result < 16) result = write_literal_header(inner.get(), mode, name, time_now(), uint32_t(data.size()));
    if (result < 16) result = write_exact(inner.get(), data.data(), uint32_t(data.size()));
    if (result >= 16) return result;
    Bytes plain = contents(inner.get());
    if ((flags & kEncipher) == 0) {
      message = std::move(plain);
      return SK_OK;
    }
    StreamHandle packets(skTempMemStream());
    if (!packets) return SK_NO_MEMORY;
    const uint8_t* key = session_key_;
    if ((flags & kFreshKey) != 0) {
      if ((result = session_key_packet(packets.get())) >= 16) return result;
      key = fresh_key_;
    }
    if (key == nullptr) return SK_BAD_HANDLE;
    Bytes start;
    if ((result = start_cipher_writing(context, key, start)) >= 16) return result;
    context.started = 1;
    encipher(context, plain.data(), plain.size());
    finish_message_cipher(context);
    uint64_t length = uint64_t(start.size()) + plain.size();
    if (length > uint64_t(INT32_MAX)) return SK_BAD_ARGUMENT;
    result = write_packet_header(packets.get(), uses_idea(context) ? kPacketIdeaData : kPacketTableData,
                                 int32_t(length), 0, nullptr);
    if (result < 16) result = write_exact(packets.get(), start.data(), uint32_t(start.size()));
    if (result < 16) result = write_exact(packets.get(), plain.data(), uint32_t(plain.size()));
    if (result < 16) message = contents(packets.get());
    return result;
  }

  // A fresh key for the recipient's public key.
  uint32_t session_key_packet(SkStream* out) {
    if (recipient_ == nullptr) return SK_BAD_HANDLE;
    if (recipient_->user.n == nullptr) return SK_NOT_FOUND;
    uint32_t result = skCheckRandomBytes(24, 1);
    if (result < 16) result = skGetRandomBytes(fresh_key_, kKeyBytes, -1, 0);
    if (result >= 16) return result;
    SessionKeyPacket packet;
    std::memcpy(packet.key_id, recipient_->user.keyId, 8);
    result = make_session_key_block(rsa_key_of(recipient_->user), fresh_key_, kKeyBytes, packet.block, &packet.count);
    if (result < 16) result = write_session_key_packet(out, packet);
    wipe(&packet, sizeof packet);
    return result;
  }

  SkSession* sender_;
  SkSession* recipient_;
  const uint8_t* session_key_ = nullptr;
  uint8_t fresh_key_[kKeyBytes] = {};
  ChannelCipherContext fresh_{};
  SessionChanges changes_;
};

}  // namespace

uint32_t protect_to_buffer(SkSession** senders, SkSession** recipients, uint32_t flags, SkStream* input,
                           uint8_t** out, uint32_t* capacity, uint32_t* out_length) noexcept {
  return with_buffer_stream(out, capacity, out_length, [&](SkStream* output, uint32_t* written) {
    return ProtectStream(senders, recipients, flags, input, output, written, nullptr);
  });
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t ProtectStream(SkSession** senders, SkSession** recipients, uint32_t flags, SkStream* input,
                              SkStream* output, uint32_t* written, SkStream* detached_signature) {
  if (written != nullptr) *written = 0;
  if (output == nullptr) return SK_BAD_ARGUMENT;
  SkSession* sender = nullptr;
  SkSession* recipient = nullptr;
  uint32_t result = resolve_session(senders, &sender);
  if (result < 16) result = resolve_session(recipients, &recipient);
  if (result >= 16) return result;
  try {
    MessageWriter writer(sender, recipient);
    return writer.run(flags, input, output, written, detached_signature);
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
}

SK_API uint32_t Protect(SkSession** senders, uint32_t sender_count, SkSession** recipients,
                        uint32_t recipient_count, uint32_t flags, const void* data, uint32_t length, uint8_t** out,
                        uint32_t* capacity, uint32_t* out_length) {
  if (sender_count != 1 || recipient_count != 1) return SK_SESSION_BUSY;
  if (data == nullptr && length != 0) return SK_BAD_ARGUMENT;
  StreamHandle input(view_stream(static_cast<const uint8_t*>(data), length));
  if (!input) return SK_NO_MEMORY;
  return protect_to_buffer(senders, recipients, flags, input.get(), out, capacity, out_length);
}
