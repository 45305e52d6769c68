// How the protocol library reacts to the transport's events: the negotiation
// inside event 11, the permissions message, pings, the hand-over of received
// messages to the caller, and the dispatch of stored messages to handlers.
#include <array>
#include <cstring>

#include "context.h"

namespace kelda::de {

namespace {

constexpr uint32_t kBlockErrorSize = 1024;

// Negotiation results.
constexpr int kNegotiated = 1024;
constexpr int kFailedTransport = -5;
constexpr int kFailedByCaller = -6;
constexpr int kFailedCrypto = -7;

void put16(uint8_t*& p, uint16_t v) {
  *p++ = static_cast<uint8_t>(v >> 8);
  *p++ = static_cast<uint8_t>(v);
}
void put32(uint8_t*& p, uint32_t v) {
  put16(p, static_cast<uint16_t>(v >> 16));
  put16(p, static_cast<uint16_t>(v));
}

int negotiate(Context& c) {
  zn_tcp_connection* t = c.transport.load();
  char error[kBlockErrorSize] = "";
  const uint8_t timeout[2] = {static_cast<uint8_t>(c.check_timeout >> 8),
                              static_cast<uint8_t>(c.check_timeout)};
  if (!zn_tcp_send(t, timeout, 2, error, sizeof error)) {
    c.fail_link(ZN_ERROR_TRANSPORT, error);
    return kFailedTransport;
  }
  if (!zn_tcp_handshake(t, 0, 0, 0, 0, error, sizeof error)) {
    c.fail_link(ZN_ERROR_CRYPTO, crypto_failure_text(c, error));
    return kFailedCrypto;
  }
  int32_t result = 0;
  if (c.raise(ZN_EVENT_NEGOTIATED, &result, nullptr, 0, nullptr, 0) < 0) {
    c.fail_link(ZN_ERROR_REFUSED_BY_CALLER, "");
    return kFailedByCaller;
  }
  // The cipher's protect flags change right after the layout check has been
  // encrypted, so the switch is armed before the layout check goes out.
  if (!zn_tcp_set_crypto_provider_context_params(t, 0, 0, 0, 0, 0, error, sizeof error)) {
    c.fail_link(ZN_ERROR_CRYPTO, crypto_failure_text(c, error));
    return kFailedCrypto;
  }
  std::array<uint8_t, 18> check{};
  uint8_t* p = check.data();
  const int version = c.registry->highest_version();
  put16(p, ZN_MSG_LAYOUT_CHECK);
  put16(p, 3);
  put16(p, static_cast<uint16_t>(version));
  put32(p, layout_check_word(*c.registry, version));
  put16(p, 0);
  put16(p, 0);
  put32(p, 3);
  if (!zn_tcp_send(t, check.data(), static_cast<uint32_t>(check.size()), error, sizeof error)) {
    c.fail_link(ZN_ERROR_TRANSPORT, error);
    return kFailedTransport;
  }
  return kNegotiated;
}

// The record buffer of this thread, which every decoding of a received
// block on it reuses (the receive thread's first one, the caller's second),
// so that a stream of messages is decoded without an allocation each. A
// decoding nested in a handler of an outer one gets a buffer of its own, so
// the outer record stays as it was.
thread_local RecordBuffer t_records;
thread_local bool t_records_leased = false;

class RecordLease {
 public:
  RecordLease() : leased_(!t_records_leased) {
    if (leased_) t_records_leased = true;
  }
  ~RecordLease() {
    if (leased_) t_records_leased = false;
  }
  RecordLease(const RecordLease&) = delete;
  RecordLease& operator=(const RecordLease&) = delete;
  RecordBuffer& buffer() { return leased_ ? t_records : own_; }

 private:
  bool leased_;
  RecordBuffer own_;
};

// Decodes a received block into `buffer`; on failure gives nothing and the
// text in `failure` (empty on success).
std::optional<DecodedRecord> decode(Context& c, const void* block, uint32_t size,
                                    RecordBuffer& buffer, std::string& failure) {
  failure.clear();
  CodecResult<std::optional<DecodedRecord>> r =
      decode_message_into(*c.registry, {static_cast<const uint8_t*>(block), size}, buffer);
  if (!r) {
    failure = r.error().status == CodecStatus::access_refused ? access_refused_text(c)
                                                              : r.error().text;
    return std::nullopt;
  }
  return r.value();
}

int32_t on_block(Context& c, int32_t* result, const void* block, uint32_t size) {
  std::string failure;
  RecordLease records;
  if (!c.permitted.load()) {
    // Every block before the permissions is consumed as the permissions.
    *result = ZN_DROP_BLOCK;
    std::optional<DecodedRecord> m = decode(c, block, size, records.buffer(), failure);
    if (!failure.empty()) return c.fail_link(ZN_ERROR_APPLICATION, failure);
    const uint32_t id = m ? m->id : 0;
    if (id != SN_PERMS) {
      return c.fail_link(ZN_ERROR_APPLICATION,
                         format("Wait for SN_PERMS message, but receive network message with id %d",
                                static_cast<int>(id)));
    }
    uint32_t permissions = 0;
    std::memcpy(&permissions, m->record, std::min<uint32_t>(m->size, 4));
    c.permissions.store(permissions);
    int32_t event_result = 0;
    if (c.raise(ZN_EVENT_PERMISSIONS, &event_result, &permissions, 0, nullptr, 0) == -1) {
      return c.fail_link(ZN_ERROR_REFUSED_BY_CALLER, "");
    }
    c.permitted.store(1);
    return 0;
  }
  std::optional<DecodedRecord> m = decode(c, block, size, records.buffer(), failure);
  if (!failure.empty()) return c.fail_link(ZN_ERROR_APPLICATION, failure);
  if (!m) return 0;  // an empty block carries no message
  if (m->id == ZN_MSG_PING) {
    *result = ZN_DROP_BLOCK;
    // The answer has an empty body: its id and the check word.
    const uint8_t pong[4] = {ZN_MSG_PONG >> 8, ZN_MSG_PONG & 0xFF, ZN_CHECK_WORD_BYTE0,
                             ZN_CHECK_WORD_BYTE1};
    char error[kBlockErrorSize] = "";
    if (!zn_tcp_send(c.transport.load(), pong, sizeof pong, error, sizeof error)) {
      // An answer the transport cannot take now is dropped: it is a
      // keep-alive, and the link's own time-outs decide its fate.
      if (refused_by_closing_link(error) || std::strcmp(error, ZN_TCP_TEXT_SEND_QUEUE_FULL) == 0) {
        return 0;
      }
      return c.fail_link(ZN_ERROR_APPLICATION, error);
    }
    return 0;
  }
  *result = ZN_KEEP_BLOCK;
  if (c.raise(ZN_EVENT_MESSAGE, result, nullptr, m->id, m->record, m->size) == -1) {
    return c.fail_link(ZN_ERROR_REFUSED_BY_CALLER, "");
  }
  return 0;
}

}  // namespace

namespace {

// Events 5 and 6 come from the transport's receive thread once per block.
// Looking the context up each time would make that thread and the caller's
// zn_recvmsg meet on the library mutex and the context's reference count for
// every message, so the receive thread holds the context it found last and
// uses it while the library has not let it go and its transport is there.
// The hold ends with the thread, which ends before its connection's freeing
// event unless that event is raised on the thread itself; a nested event
// never drops the hold, so the outer one keeps its context.
thread_local std::shared_ptr<Context> t_receiving;
thread_local int t_receive_depth = 0;

struct ReceiveDepth {
  ReceiveDepth() { ++t_receive_depth; }
  ~ReceiveDepth() { --t_receive_depth; }
  ReceiveDepth(const ReceiveDepth&) = delete;
  ReceiveDepth& operator=(const ReceiveDepth&) = delete;
};

}  // namespace

int32_t transport_event_handler(uintptr_t user_data, int32_t event, int32_t* result,
                                void* event_data, const void* block, uint32_t size) {
  std::string ignored;
  const void* handle = reinterpret_cast<const void*>(user_data);
  const bool per_block = event == ZN_TCP_EVENT_DATA || event == ZN_TCP_EVENT_STORED;
  std::shared_ptr<Context> held;
  Context* context = nullptr;
  if (per_block && t_receiving.get() == handle && !t_receiving->released.load() &&
      t_receiving->transport.load() != nullptr) {
    context = t_receiving.get();
  } else {
    // Waits for a set-up still in progress.
    held = find_context(handle, ignored);
    if (per_block && t_receive_depth == 0) t_receiving = held;
    if (!held) return -1;
    context = held.get();
  }
  ReceiveDepth depth;
  Context& c = *context;
  int32_t local = ZN_KEEP_BLOCK;
  if (result == nullptr) result = &local;
  switch (event) {
    case ZN_TCP_EVENT_CONNECTED:
      c.up.store(1);
      c.connecting.store(0);
      return 0;
    case ZN_TCP_EVENT_NEGOTIATE:
      return negotiate(c) == kNegotiated ? 0 : -1;
    case ZN_TCP_EVENT_DATA:
      return on_block(c, result, block, size);
    case ZN_TCP_EVENT_STORED:
      return c.raise(ZN_EVENT_STORED, result, nullptr, 0, nullptr, 0);
    case ZN_TCP_EVENT_SERVER_ERROR:
    case ZN_TCP_EVENT_SERVER_INFO:
      return c.raise(event, result, event_data, 0, block, size);
    case ZN_TCP_EVENT_CLOSED: {
      c.link_closed();
      int32_t answer = c.raise(ZN_EVENT_CLOSED, result, nullptr, 0, nullptr, 0);
      c.up.store(0);
      c.connecting.store(0);
      return answer;
    }
    case ZN_TCP_EVENT_FREEING: {
      if (c.up.load() || c.connecting.load()) {
        c.link_closed();
        c.raise(ZN_EVENT_CLOSED, result, nullptr, 0, nullptr, 0);
      }
      c.raise(ZN_EVENT_FREEING, result, nullptr, 0, nullptr, 0);
      c.up.store(0);
      c.connecting.store(0);
      c.transport.store(nullptr);
      unlink_context(&c);
      return -1;
    }
    case 7:
      return 0;
    default:
      return c.fail_link(ZN_ERROR_APPLICATION,
                         format("Unknown TCP callback event occur: %ld", static_cast<long>(event)));
  }
}

int send_message(Context& c, uint32_t id, const void* record, std::string& error) {
  // Only a message without fields may come without its record.
  const RecordLayout* layout = c.registry->find(id);
  if (record == nullptr && layout != nullptr && layout->native_size() > 0) {
    error = "Wrong input params was set.";
    c.set_error(ZN_ERROR_APPLICATION, error);
    return 0;
  }
  std::array<uint8_t, kWorkAreaSize> work;
  CodecResult<std::size_t> packed = pack_message(*c.registry, id, record, true, work);
  if (!packed) {
    error = packed.error().text;
    c.set_error(ZN_ERROR_APPLICATION, error);
    return 0;
  }
  char text[kBlockErrorSize] = "";
  const uint32_t length = static_cast<uint32_t>(packed.value());
  if (!zn_tcp_send(c.transport.load(), work.data(), length, text, sizeof text)) {
    // Every refusal of the transport is a failure, with or without a text;
    // one that only says the link is closing is not the link's error.
    error = text[0] ? text : "Connection not established";
    if (!refused_by_closing_link(text)) c.set_error(ZN_ERROR_APPLICATION, error);
    return 0;
  }
  if (id != ZN_MSG_PONG && id != ZN_MSG_LAYOUT_CHECK) {
    c.count(c.stats.messages_sent, 1);
    c.count(c.stats.message_bytes_sent, length);
  }
  return 1;
}

int receive_message(Context& c, std::string& error) {
  void* block = nullptr;
  uint32_t size = 0;
  // zn_tcp_recv writes the text on a failure; clearing the first byte is
  // enough, which spares a kilobyte of zeroes per message.
  char text[kBlockErrorSize];
  text[0] = '\0';
  if (!zn_tcp_recv(c.transport.load(), &block, &size, text, sizeof text)) {
    if (text[0] == '\0') return 1;
    error = text;
    if (!refused_by_closing_link(text)) c.set_error(ZN_ERROR_APPLICATION, error);
    return 0;
  }
  if (block == nullptr) return 1;
  c.count(c.stats.messages_received, 1);
  c.count(c.stats.message_bytes_received, size >= 2 ? size - 2 : 0);
  std::string failure;
  RecordLease records;
  std::optional<DecodedRecord> m = decode(c, block, size, records.buffer(), failure);
  zn_tcp_free_mem(block);
  if (!failure.empty()) {
    c.set_error(ZN_ERROR_APPLICATION, failure);
    error = ("Application error: " + failure).substr(0, kMaxErrorText);
    return 0;
  }
  if (!m) return 1;
  const MessageHandlerEntry* entry = c.find_handler(m->id);
  if (entry == nullptr || entry->handler == nullptr) {
    error = format("Unknown message %ld. May be program version expired. Contact technical "
                   "support.",
                   static_cast<long>(m->id));
    c.set_error(ZN_ERROR_APPLICATION, error);
    return 0;
  }
  entry->handler(m->id, m->record);
  return 1;
}

}  // namespace kelda::de
