// Reading protected messages: message mode (session-key packets, one data
// packet, signature packets and one literal packet) and channel mode, with the
// exchange messages of a linked pair recognised by the pair's state.
//
// Every field is read within the length its packet gives; the number of a
// numbered message is checked against the recipient's sequence; nothing of
// the pair changes unless the whole message is accepted.
#include <new>

#include "armour.h"
#include "message.h"
#include "text_lines.h"

namespace kelda::sekura32 {
namespace {

// The number of a literal name "#<signed decimal>", else false.
bool numbered_name(const char* name, int64_t* number) {
  if (name[0] != '#') return false;
  const char* p = name + 1;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p == '\0') return false;
  int64_t value = 0;
  for (; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    if (value < (int64_t(1) << 40)) value = value * 10 + (*p - '0');
  }
  *number = negative ? -value : value;
  return true;
}

class MessageReader {
 public:
  MessageReader(SkSession* sender, SkSession* recipient) : sender_(sender), recipient_(recipient) {
    changes_.sender = sender;
    changes_.recipient = recipient;
  }
  ~MessageReader() {
    wipe(fresh_key_, sizeof fresh_key_);
    clear_channel(message_);
  }

  uint32_t run(uint32_t* flags, SkStream* input, SkStream* output, uint32_t* written, SkStream* detached,
               SkSignatureCallback callback, SkSession** signer_slot) {
    int32_t code = 0;
    uint32_t result = channel_state(sender_, recipient_, &code);
    if (result >= 16) return result;
    uint32_t expected = code == 0 ? *flags : code == 65 ? 65u : 73u;
    thread_status() = SK_BAD_FORMAT;
    session_key_ = sender_ != nullptr ? sender_->key : recipient_ != nullptr ? recipient_->key : nullptr;
    callback_ = callback;
    Bytes in;
    if ((result = read_all(input, in)) >= 16) return result;
    if (detached != nullptr && (result = read_all(detached, collected_)) >= 16) return result;
    bool armoured = (expected & kChannelMode) != 0
                        ? ((expected & (kArmoured | kClearSigned)) != 0 || (default_protect_flags() & kArmoured) != 0)
                        : !in.empty() && in[0] < 0x80;
    if (armoured && (result = dearmour(in)) >= 16) return result;
    Bytes data;
    result = (expected & kChannelMode) != 0 ? read_channel(expected, in, data) : read_message(in, data);
    changes_.filled_user = outcome_.filled;
    if (result >= 16) {
      changes_.roll_back();
      return result;
    }
    found_ |= outcome_.found;
    *flags = found_;
    uint32_t missing = expected & ~found_;
    result = (missing & kSign) != 0 ? kNoSignature : (missing & kDigestPacket) != 0 ? kNoDigest
             : missing != 0                                                      ? SK_BAD_FORMAT
                                                                                 : SK_OK;
    if (result < 16 && code != 0) result = exchange_accept(code, sender_, recipient_, data, message_, &found_, changes_);
    *flags = found_;
    if (result < 16 && code == 0 && !data.empty()) result = write_exact(output, data.data(), uint32_t(data.size()));
    if (result < 16) {
      changes_.count = true;
      result = changes_.commit();
    }
    if (result >= 16) {
      changes_.roll_back();
      return result;
    }
    output->time = time_;
    if (written != nullptr) *written = code == 0 ? uint32_t(data.size()) : 0;
    if (signer_slot != nullptr && *signer_slot == nullptr && outcome_.first_signer != nullptr) {
      *signer_slot = outcome_.first_signer;  // the caller closes it
      std::erase(outcome_.opened, outcome_.first_signer);
    }
    return with_exchange_flag(SK_OK, sender_, recipient_);
  }

 private:
  uint32_t dearmour(Bytes& in) {
    StreamHandle source(view_stream(in.data(), uint32_t(in.size())));
    StreamHandle decoded(skTempMemStream());
    if (!source || !decoded) return SK_NO_MEMORY;
    char line[1024];
    uint32_t armour = 0;
    uint32_t result = armour_read(&armour, source.get(), decoded.get(), nullptr, nullptr, nullptr, line, sizeof line);
    wipe(line, sizeof line);
    if (result < 16 && (armour & kArmoured) == 0) result = SK_BAD_FORMAT;
    if (result >= 16) return result;
    found_ |= kArmoured;
    uint8_t* bytes = nullptr;
    uint32_t length = 0;
    skLookMemStream(decoded.get(), &bytes, nullptr, &length, nullptr);
    in.assign(bytes, bytes + length);
    return SK_OK;
  }

  uint32_t read_channel(uint32_t expected, Bytes& in, Bytes& data) {
    if (sender_ == nullptr || sender_->channel == nullptr) return kFlagsNotAllowed;
    found_ |= kChannelMode;
    changes_.channel_state = *sender_->channel;
    changes_.update_channel = sender_->channel;
    ChannelCipherContext& channel = changes_.channel_state;
    std::size_t at = 0;
    if ((expected & kEncipher) != 0) {
      if (channel.started == 0) {
        if (session_key_ == nullptr) return SK_BAD_HANDLE;
        uint32_t result = start_cipher_reading(channel, session_key_, in.data(), in.size(), &at);
        if (result >= 16) return result;
        channel.started = 1;
      }
      decipher(channel, in.data() + at, in.size() - at);
      found_ |= kEncipher;
    }
    uint32_t result = unescape_data(channel, in.data() + at, in.size() - at, data, sender_, callback_, outcome_);
    return result < 16 ? outcome_.result() : result;
  }

  uint32_t read_message(const Bytes& in, Bytes& data) {
    StreamHandle stream(view_stream(in.data(), uint32_t(in.size())));
    if (!stream) return SK_NO_MEMORY;
    uint32_t type = 0, result = SK_OK;
    int32_t length = 0;
    std::size_t packet_start = 0;
    bool met_key_packet = false, have_fresh_key = false;
    for (;;) {
      packet_start = stream->u.memory.position;
      if ((result = read_packet_header(stream.get(), &type, &length, nullptr)) >= 16) return result;
      if (type != kPacketSessionKey) break;
      met_key_packet = true;
      found_ |= kFreshKey;
      SessionKeyPacket packet;
      result = read_session_key_body(stream.get(), length, &packet);
      if (result < 16 && !have_fresh_key) result = open_session_key(packet, &have_fresh_key);
      wipe(&packet, sizeof packet);
      if (result >= 16) return result;
    }
    if (met_key_packet && !have_fresh_key) return SK_NOT_FOUND;
    if (type != kPacketIdeaData && type != kPacketTableData)
      return read_inner(in.data() + packet_start, in.size() - packet_start, data);
    uint32_t body = length == kLengthToEnd ? stream->remaining(stream.get()) : uint32_t(length);
    if (body != stream->remaining(stream.get())) return SK_BAD_FORMAT;  // one data packet, nothing behind it
    const uint8_t* key = have_fresh_key ? fresh_key_ : session_key_;
    if (key == nullptr) return SK_BAD_HANDLE;
    message_.tag = type == kPacketIdeaData ? SK_CHANNEL_IDEA : SK_CHANNEL_TABLE;
    Bytes plain(in.begin() + std::ptrdiff_t(stream->u.memory.position), in.end());
    std::size_t at = 0;
    if ((result = start_cipher_reading(message_, key, plain.data(), plain.size(), &at)) >= 16) return result;
    message_.started = 1;
    decipher(message_, plain.data() + at, plain.size() - at);
    finish_message_cipher(message_);
    found_ |= kEncipher;
    return read_inner(plain.data() + at, plain.size() - at, data);
  }

  // Opens a session-key packet with the recipient's secret key, or with a
  // session the channel finder opens for its key id. Keys that are not here,
  // a wrong password and a declined prompt pass the packet over.
  uint32_t open_session_key(const SessionKeyPacket& packet, bool* opened_key) {
    SkSession* use = nullptr;
    SkSession* opened = nullptr;
    bool filled = false;
    uint32_t result = session_for_key_id(recipient_, packet.key_id, true, &use, &opened, &filled);
    if (result < 16) {
      uint8_t key[kMaxSessionKey];
      uint32_t length = 0;
      result = open_session_key_block(rsa_key_of(use->user), packet.block, packet.count, key, &length);
      for (uint32_t k = 0; result < 16 && k < kKeyBytes; ++k) fresh_key_[k] = key[k % length];
      wipe(key, sizeof key);
      *opened_key = result < 16;
    }
    if (opened != nullptr) LogOut(opened);
    if (result == SK_NOT_FOUND || result == SK_WRONG_PASSWORD || result == SK_DECLINED) return SK_OK;
    return result;
  }

  // Signature and digest packets, then one literal packet.
  uint32_t read_inner(const uint8_t* inner, std::size_t size, Bytes& data) {
    StreamHandle stream(view_stream(inner, uint32_t(size)));
    if (!stream) return SK_NO_MEMORY;
    md5_init(message_.digest);
    for (;;) {
      std::size_t start = stream->u.memory.position;
      uint32_t type = 0;
      int32_t length = 0;
      uint32_t result = read_packet_header(stream.get(), &type, &length, nullptr);
      if (result >= 16) return result;
      if (type == kPacketSignature || type == kPacketDigest) {
        uint32_t body = length == kLengthToEnd ? stream->remaining(stream.get()) : uint32_t(length);
        if ((result = skip_bytes(stream.get(), body)) >= 16) return result;
        collected_.insert(collected_.end(), inner + start, inner + stream->u.memory.position);
        continue;
      }
      if (type != kPacketLiteral) return SK_BAD_FORMAT;
      LiteralHeader header;
      if ((result = read_literal_header(stream.get(), length, &header)) >= 16) return result;
      if (header.data_length != stream->remaining(stream.get())) return SK_BAD_FORMAT;
      std::size_t at = stream->u.memory.position;
      data.assign(inner + at, inner + at + header.data_length);
      // The digest covers the literal bytes as they were sent; text is then
      // handed on as lines ended by CR LF, whatever line ends it came with.
      md5_update(message_.digest, data.data(), data.size());
      if (header.mode == 't') {
        found_ |= kText;
        if ((result = convert_text_lines(data)) >= 16) return result;
      }
      time_ = header.time;
      int64_t number = 0;
      if (numbered_name(header.name, &number)) {
        found_ |= kNumbered;
        if (recipient_ != nullptr) {
          int64_t next = int64_t(recipient_->sequence) + 1;
          if (number > next) return kNumberTooEarly;
          if (number < next) return kNumberTooLate;
          changes_.set_sequence = true;
          changes_.sequence = int32_t(number);
        }
      }
      check_signatures(collected_.data(), collected_.size(), message_.digest, header.data_length, sender_,
                       callback_, outcome_);
      return outcome_.result();
    }
  }

  SkSession* sender_;
  SkSession* recipient_;
  const uint8_t* session_key_ = nullptr;
  uint8_t fresh_key_[kKeyBytes] = {};
  ChannelCipherContext message_{};
  SessionChanges changes_;
  SignatureOutcome outcome_;
  SkSignatureCallback callback_ = nullptr;
  Bytes collected_;
  uint32_t found_ = 0;
  uint32_t time_ = 0;
};

}  // namespace

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t UnprotectStream(SkSession** senders, SkSession** recipients, uint32_t* flags, SkStream* input,
                                SkStream* output, uint32_t* written, SkStream* detached_signature,
                                SkSignatureCallback callback) {
  if (written != nullptr) *written = 0;
  if (flags == nullptr || input == nullptr || output == nullptr) return SK_BAD_ARGUMENT;
  SkSession* sender = nullptr;
  SkSession* recipient = nullptr;
  uint32_t result = resolve_session(senders, &sender);
  if (result < 16) result = resolve_session(recipients, &recipient);
  if (result >= 16) return result;
  try {
    MessageReader reader(sender, recipient);
    return reader.run(flags, input, output, written, detached_signature, callback,
                      senders != nullptr && sender == nullptr ? &senders[0] : nullptr);
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
}

SK_API uint32_t Unprotect(SkSession** senders, SkSession** recipients, uint32_t* flags, const void* data,
                          uint32_t length, uint8_t** out, uint32_t* capacity, uint32_t* out_length, uint32_t* time,
                          const void* signature, uint32_t signature_length, SkSignatureCallback callback) {
  if ((data == nullptr && length != 0) || (signature == nullptr && signature_length != 0)) return SK_BAD_ARGUMENT;
  StreamHandle input(view_stream(static_cast<const uint8_t*>(data), length));
  StreamHandle detached(signature != nullptr ? view_stream(static_cast<const uint8_t*>(signature), signature_length)
                                             : nullptr);
  if (!input || (signature != nullptr && !detached)) return SK_NO_MEMORY;
  return with_buffer_stream(out, capacity, out_length, [&](SkStream* output, uint32_t* written) {
    uint32_t result = UnprotectStream(senders, recipients, flags, input.get(), output, written, detached.get(),
                                      callback);
    if (result < 16 && time != nullptr) *time = output->time;
    return result;
  });
}
