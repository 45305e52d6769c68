// Protected messages from inside the library: the work buffers, the cipher of
// one message or one channel direction, the escape framing of channel mode,
// the signature and digest packets and their check, the search of a session
// for a key id, and the hooks of the channel key exchange.
//
// Every change a message makes to its sessions (keys, counters, sequence
// numbers, channel state, a user filled in for a peer) is collected in a
// SessionChanges record and applied only once the whole message was written
// or accepted, so that a refused message leaves the pair as it was.
//
// Threading: no state of its own; the caller serialises use of a pair.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "frame.h"
#include "md5.h"
#include "message_packets.h"
#include "session.h"

namespace kelda::sekura32 {

// Message results.
inline constexpr uint32_t kNoSignature = 19;
inline constexpr uint32_t kEchoMismatch = 22;
inline constexpr uint32_t kNoDigest = 23;
inline constexpr uint32_t kDigestMismatch = 24;
inline constexpr uint32_t kNumberTooEarly = 25;
inline constexpr uint32_t kNumberTooLate = 26;
inline constexpr uint32_t kFlagsNotAllowed = 263;

// Protect flags.
inline constexpr uint32_t kSign = 0x1;
inline constexpr uint32_t kDigestPacket = 0x2;
inline constexpr uint32_t kEncipher = 0x4;
inline constexpr uint32_t kFreshKey = 0x8;
inline constexpr uint32_t kArmoured = 0x20;
inline constexpr uint32_t kNumbered = 0x40;
inline constexpr uint32_t kArmouredSignature = 0x80;
inline constexpr uint32_t kText = 0x100;
inline constexpr uint32_t kClearSigned = 0x200;
inline constexpr uint32_t kChannelMode = 0x800;

inline constexpr uint8_t kEscape = 0x1B;
inline constexpr uint32_t kKeyBytes = 16;
inline constexpr uint32_t kIdeaStart = 10;

// An allocator that clears what it releases, so that no copy of message
// bytes or keys is left behind when a buffer grows or goes.
template <class T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() = default;
  template <class U>
  WipingAllocator(const WipingAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
  void deallocate(T* p, std::size_t n) noexcept {
    wipe(p, n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <class U>
  bool operator==(const WipingAllocator<U>&) const noexcept {
    return true;
  }
};
using Bytes = std::vector<uint8_t, WipingAllocator<uint8_t>>;

// The library's default protect flags (settings slot 8).
uint32_t default_protect_flags() noexcept;

// Reads what is left of a stream (at most `limit` bytes when not -1) into
// `out`; 259 on a read error.
uint32_t read_all(SkStream* in, Bytes& out, uint32_t limit = 0xFFFFFFFFu) noexcept;
// The live session of a one-entry list (null list or entry: none); 262 for a
// handle that is not live.
uint32_t resolve_session(SkSession** list, SkSession** session) noexcept;
// A memory stream over a buffer (read only).
SkStream* view_stream(const uint8_t* data, uint32_t length) noexcept;
// Closes a stream when it is not null.
struct StreamCloser {
  void operator()(SkStream* s) const noexcept {
    if (s != nullptr) s->close(s);
  }
};
using StreamHandle = std::unique_ptr<SkStream, StreamCloser>;

// Runs `run` with a memory stream over the caller's buffer (*out, *capacity;
// grown by the growth function), then hands back buffer, capacity and length;
// 272 when the bytes written differ from the stream's length.
template <class Run>
uint32_t with_buffer_stream(uint8_t** out, uint32_t* capacity, uint32_t* out_length, Run run) noexcept {
  if (out == nullptr || capacity == nullptr || out_length == nullptr) return SK_BAD_ARGUMENT;
  StreamHandle stream(skMemStream(*out, *capacity, 0, growth_function()));
  if (!stream) return SK_NO_MEMORY;
  uint32_t written = 0;
  uint32_t result = run(stream.get(), &written);
  uint32_t length = 0;
  skLookMemStream(stream.get(), out, capacity, &length, nullptr);
  *out_length = length;
  if (result < 16 && written != length) result = SK_BAD_ARGUMENT;
  return result;
}

// ProtectStream into a caller's buffer (the input may be null).
uint32_t protect_to_buffer(SkSession** senders, SkSession** recipients, uint32_t flags, SkStream* input,
                           uint8_t** out, uint32_t* capacity, uint32_t* out_length) noexcept;

// ---- cipher of one message or one channel direction ----

// A fresh per-message context: digest started, table cipher.
void fresh_context(ChannelCipherContext& context) noexcept;
// The copy that becomes a channel: tag, cipher states and started flag; the
// digest restarted, count and pending bytes cleared.
void copy_for_channel(ChannelCipherContext& channel, const ChannelCipherContext& message) noexcept;
bool uses_idea(const ChannelCipherContext& context) noexcept;
// Keys the context and, for IDEA-CFB, appends the enciphered 10-byte start
// block to `out` (and stirs the random pool with the cipher).
uint32_t start_cipher_writing(ChannelCipherContext& context, const uint8_t key[kKeyBytes], Bytes& out) noexcept;
// Keys the context and, for IDEA-CFB, takes the 10-byte start block from
// `data` at *at (17 when it is short or its check bytes differ).
uint32_t start_cipher_reading(ChannelCipherContext& context, const uint8_t key[kKeyBytes], const uint8_t* data,
                              std::size_t length, std::size_t* at) noexcept;
void encipher(ChannelCipherContext& context, uint8_t* data, std::size_t length) noexcept;
void decipher(ChannelCipherContext& context, uint8_t* data, std::size_t length) noexcept;
// The IDEA-CFB resynchronisation that ends a message-mode data packet.
void finish_message_cipher(ChannelCipherContext& context) noexcept;

// ---- sessions touched by one message ----

struct SessionChanges {
  SkSession* sender = nullptr;
  SkSession* recipient = nullptr;
  bool count = false;  // raise sender.sent and recipient.received
  bool set_sequence = false;
  int32_t sequence = 0;  // recipient's new sequence number
  bool set_sender_key = false;
  uint8_t sender_key[kKeyBytes] = {};
  bool set_recipient_key = false;
  uint8_t recipient_key[kKeyBytes] = {};
  bool make_sender_channel = false;
  ChannelCipherContext new_channel{};  // the sender's channel to make
  ChannelCipherContext* update_channel = nullptr;  // a live channel to overwrite
  ChannelCipherContext channel_state{};
  // Sessions whose user this message filled in; wiped again on failure.
  SkSession* filled_user = nullptr;
  SessionChanges() = default;
  SessionChanges(const SessionChanges&) = delete;
  SessionChanges& operator=(const SessionChanges&) = delete;
  ~SessionChanges();
  // Applies every change; 257 when a buffer cannot be made (nothing applied).
  uint32_t commit() noexcept;
  // Undoes what cannot wait for the commit (a user filled in).
  void roll_back() noexcept;
};

// Adds the incomplete-exchange flag to a success while a counter of either
// session is negative.
uint32_t with_exchange_flag(uint32_t result, const SkSession* a, const SkSession* b) noexcept;

// ---- keys for key ids ----

// Finds the session for a key id (see the header of message_signatures.cpp):
// *slot holds the named session or null; a session the channel finder opens
// is returned in *opened (the caller closes it) and used. *filled is set
// when the named session's user was filled in by this call.
uint32_t session_for_key_id(SkSession* named, const uint8_t key_id[8], bool secret, SkSession** use,
                            SkSession** opened, bool* filled) noexcept;

// ---- signatures ----

// Finishes a copy of the running digest with the class and time bytes.
void finish_digest(const SkMd5Context& running, uint8_t signature_class, uint32_t time,
                   uint8_t digest[16]) noexcept;
// Writes a type-2 packet (signed by `sender`) and/or a type-3 packet for the
// running digest, in that order.
uint32_t write_signatures(SkStream* out, uint32_t flags, SkSession* sender, const SkMd5Context& running) noexcept;

// What a signature check found.
struct SignatureOutcome {
  uint32_t found = 0;  // 1 a signature of the named signer, 2 a digest
  bool failed_signature = false;
  bool failed_digest = false;
  bool missing_key = false;
  bool verified_any = false;
  SkSession* first_signer = nullptr;  // an opened signer kept for the caller
  SkSession* filled = nullptr;        // the named session's user filled in
  uint32_t error = SK_OK;             // a hard error that ends the call
  std::vector<SkSession*> opened;     // sessions to close at the end
  ~SignatureOutcome();
  uint32_t result() const noexcept;
};

// Checks every packet of `packets` (types 2 and 3, else 17) against the
// running digest `running`; `hashed` is the data count for the callback.
void check_signatures(const uint8_t* packets, std::size_t length, const SkMd5Context& running, uint32_t hashed,
                      SkSession* named, SkSignatureCallback callback, SignatureOutcome& outcome) noexcept;

// ---- channel framing ----

// Appends the data with each escape byte doubled, counting into the channel
// (digest once per data byte, count per byte written).
// These append to growing buffers and may throw std::bad_alloc.
void escape_data(ChannelCipherContext& channel, const uint8_t* data, std::size_t length, Bytes& out);
// Appends an escape byte and the packets (one escape before each packet).
uint32_t escape_packets(ChannelCipherContext& channel, const uint8_t* packets, std::size_t length, Bytes& out);
// Scans deciphered channel bytes behind the channel's pending bytes: data to
// `out`, embedded packets checked; an incomplete escape sequence stays
// pending (17 beyond 256 bytes).
uint32_t unescape_data(ChannelCipherContext& channel, const uint8_t* data, std::size_t length, Bytes& out,
                       SkSession* named, SkSignatureCallback callback, SignatureOutcome& outcome);

// ---- key exchange ----

// What the exchange adds to a message being written: the body, the flags and
// the key changes (into `changes`); 65, 66 or 67 in `code`.
uint32_t exchange_produce(int32_t code, SkSession* sender, SkSession* recipient, Bytes& body, uint32_t* flags,
                          SessionChanges& changes);
// Takes the body of an accepted exchange message; `message` is the cipher
// context of the message (copied into the sender's new channel).
uint32_t exchange_accept(int32_t code, SkSession* sender, SkSession* recipient, const Bytes& body,
                         const ChannelCipherContext& message, uint32_t* found, SessionChanges& changes) noexcept;

}  // namespace kelda::sekura32
