// The connection thread: TCP connection, transport negotiation (cipher
// provider and locale requests), event 11, and the key exchange that
// zn_tcp_handshake runs inside it.
#include <arpa/inet.h>

#include "negotiation.h"

#include "frames.h"
#include "library.h"
#include "platform/last_error.h"
#include "proxy.h"
#include "texts.h"

namespace kelda::dtcp {

namespace {

std::string dotted(uint32_t address_network_order) {
  const auto* b = reinterpret_cast<const uint8_t*>(&address_network_order);
  return format("%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
}

// Reads the marker that must open an answer; `failure` is the text for a
// missing or wrong marker.
int read_marker(Connection& c, const std::string& failure, std::string& error) {
  int64_t length = 0;
  uint32_t code = 0;
  int r = c.read_block_length(length, code);
  if (r == kStopped) return r;
  if (r != kOk || length != -1) {
    error = failure;
    return kApplicationError;
  }
  return kOk;
}

// Reads the accepted / not supported word of an answer.
int read_accepted(Connection::AnswerReader& reader, bool& accepted, std::string& error) {
  uint32_t v = 0;
  int r = reader.word(v, "Wait for ZN_ACCEPTED or ZN_NOT_SUPPORTED magic: ", error);
  if (r != kOk) return r;
  if (v != 0 && v != 1) {
    error = format("Wait for ZN_ACCEPTED or ZN_NOT_SUPPORTED magic: wrong value received - %ld",
                   static_cast<long>(static_cast<int32_t>(v)));
    return kApplicationError;
  }
  accepted = v == 1;
  return kOk;
}

int provider_request(Connection& c, std::string& error) {
  const uint32_t id = static_cast<uint32_t>(c.crypto.provider_id);
  int r = c.write_request(1, std::span<const uint32_t>(&id, 1), error);
  if (r != kOk) return r;
  std::string not_found = message_text(kMsgServerNotFound, c.locale.language,
                                       c.locale.sub_language, "KELDA server not found");
  r = read_marker(c, not_found, error);
  if (r != kOk) return r;
  Connection::AnswerReader reader(c);
  int32_t answer = 0;
  r = reader.header(answer, error);
  if (r != kOk) return r;
  if (answer != 1) {
    error = format("Wait for ZN_CHIPER_CRYPTO_PROVIDER_ID: wrong value received - %ld",
                   static_cast<long>(answer));
    return kApplicationError;
  }
  uint32_t echoed = 0;
  r = reader.word(echoed, "Wait for cipher crypto provider identifier: ", error);
  if (r != kOk) return r;
  if (echoed != id) {
    error = format("Wait for cipher crypto provider identifier: wrong value received - %ld",
                   static_cast<long>(static_cast<int32_t>(echoed)));
    return kApplicationError;
  }
  bool accepted = false;
  r = read_accepted(reader, accepted, error);
  if (r != kOk) return r;
  r = reader.trailer(error);
  if (r != kOk) return r;
  if (!accepted) {
    error = format("Cipher crypto provider \"%s\" not supported by server.",
                   c.crypto.provider_name.c_str());
    return kApplicationError;
  }
  return kOk;
}

int locale_request(Connection& c, std::string& error) {
  const uint32_t ids[3] = {c.locale.language, c.locale.sub_language, c.locale.dialect};
  int r = c.write_request(2, ids, error);
  if (r != kOk) return r;
  int64_t length = 0;
  uint32_t code = 0;
  r = c.read_block_length(length, code);
  if (r != kOk) {
    error = "Wait for begin locale info request answer: ";
    return r;
  }
  if (length != -1) {
    error = format("Wait for begin locale info request answer: received wrong size value %d",
                   static_cast<int>(length));
    return kApplicationError;
  }
  Connection::AnswerReader reader(c);
  int32_t answer = 0;
  r = reader.header(answer, error);
  if (r != kOk) return r;
  if (answer != 2) {
    error = format("Wait for ZN_LOCALE_INFO: wrong value received - %ld", static_cast<long>(answer));
    return kApplicationError;
  }
  bool accepted = false;
  r = read_accepted(reader, accepted, error);
  if (r != kOk) return r;
  r = reader.trailer(error);
  if (r != kOk) return r;
  if (!accepted) {
    error = format("Locale info: LanguageId %ld, SubLanguageId %ld, LanguageDialectId %ld not "
                   "supported by server.",
                   static_cast<long>(c.locale.language), static_cast<long>(c.locale.sub_language),
                   static_cast<long>(c.locale.dialect));
    return kApplicationError;
  }
  return kOk;
}

}  // namespace

int negotiate_transport(Connection& c, std::string& error) {
  int r = provider_request(c, error);
  if (r != kOk) return r;
  if (c.disconnecting.load()) return kStopped;
  return locale_request(c, error);
}

uint32_t Connection::connection_thread_main() {
  std::string error;
  auto abandon = [this](int result, uint32_t code, const std::string& text) {
    if (result != kStopped && !text.empty()) record_error(result, code, text);
    std::string ignored;
    start_disconnect(false, ignored);
    return 0u;
  };
  if (disconnecting.load()) return 0;

  uint32_t code = 0;
  if (!link.create(code)) return abandon(kSocketError, code, "Can't create tcp_connection socket");
  const bool via_proxy = has_proxy && proxy.use_proxy == 1;
  const uint32_t address = via_proxy ? proxy.address : params.address;
  const uint32_t port = via_proxy ? proxy.port : params.port;
  const uint32_t t = link.check_timeout_ms();
  int r = link.connect_to(address, static_cast<uint16_t>(port), t > 0 ? t : 150 * second_ms(), code);
  if (r == kTimedOut) code = platform::socket_error::timed_out;
  if (r != kOk) {
    return abandon(r == kStopped ? kStopped : kSocketError, code,
                format("Can't connect to host %s:%u", dotted(address).c_str(), port));
  }
  if (via_proxy) {
    r = negotiate_proxy(*this, error);
    if (r != kOk) return abandon(r, 0, error);
  }
  send_allowed.store(true);
  receive_allowed.store(true);
  if (disconnecting.load()) return 0;

  connected.store(true);
  int32_t result = ZN_KEEP_BLOCK;
  if (raise(ZN_TCP_EVENT_CONNECTED, &result, nullptr, nullptr, 0) < 0) {
    return abandon(kStopped, 0, "");
  }
  if (disconnecting.load()) return 0;

  crypto.provider_id = crypto_port().provider_id(crypto.provider_name, error);
  if (crypto.provider_id == -1) {
    return abandon(kApplicationError, 0,
                format("Can't get cipher crypto provider identifier for provider \"%s\".",
                       crypto.provider_name.c_str()));
  }
  if (handshake_mode != 0 && handshake_mode != 1) {
    return abandon(kApplicationError, 0,
                format("Unknown handshake mode was set: %ld.", static_cast<long>(handshake_mode)));
  }
  if (handshake_mode == 1) {
    // The socket is read here; a direct zn_tcp_recv waits meanwhile.
    std::lock_guard<std::mutex> reading(receive_mutex);
    r = negotiate_transport(*this, error);
    if (r != kOk) return abandon(r, 0, error);
  }
  if (disconnecting.load()) return 0;

  result = 0;
  if (raise(ZN_TCP_EVENT_NEGOTIATE, &result, nullptr, nullptr, 0) < 0) {
    // A failure already recorded during the negotiation (key exchange) is the
    // more telling text and stays.
    if (error_class() != -1) return abandon(kStopped, 0, "");
    return abandon(kApplicationError, 0,
                "When notify about receiving new data from net, TCP callback return negative "
                "value.");
  }
  return 0;
}

bool Connection::handshake(const uintptr_t words[4], std::string& error) {
  // One key exchange per connection, once the link is up: a second one would
  // read the socket beside the receive thread and start the threads again.
  if (!connected.load()) {
    error = "Connection not established";
    return false;
  }
  if (key_exchange_started.exchange(true)) {
    error = "Key exchange was already run on this connection";
    return false;
  }
  std::vector<uint8_t> input;
  bool have_input = false;
  // A provider that never finishes must not spin for ever.
  constexpr int kMaxSteps = 1000;
  for (int step = 0; step < kMaxSteps; ++step) {
    if (link.stopped()) {
      error = error_class_text(1);
      return false;
    }
    std::span<const uint8_t> out;
    std::string provider_error;
    uint32_t flags = crypto_port().handshake(
        crypto, have_input ? std::span<const uint8_t>(input) : std::span<const uint8_t>(), out,
        words, provider_error);
    have_input = false;
    if (flags & kHandshakeError) return fail(error, {kCryptoError, provider_error});
    if (flags & kHandshakeOutput) {
      if (out.size() > largest_block()) {
        return fail(error, {kCryptoError, format("Key exchange block of %zu bytes is longer than "
                                                 "a block of the connection can be",
                                                 out.size())});
      }
      uint32_t code = 0;
      std::lock_guard<std::mutex> lock(send_mutex);
      int r = write_block_length(static_cast<uint32_t>(out.size()), code);
      if (r == kOk) r = link.send_all(out, code);
      if (r != kOk) return fail(error, {r, "Can't send key exchange data to net", code});
    }
    if (flags & kHandshakeDone) break;
    if (flags & kHandshakeNeedInput) {
      std::unique_lock<std::mutex> reading(receive_mutex);
      for (;;) {
        int64_t length = 0;
        int r = read_block(read_buffer, length, error);
        if (r != kOk) return fail(error, {r, error});
        if (length == -1) {
          int32_t answer = 0;
          r = read_server_message(answer, error, &reading);
          if (r != kOk) return fail(error, {r, error});
          if (answer == 3) {
            return fail(error, {kApplicationError,
                                last_server_text.empty()
                                    ? "Got error message from server during negotiations."
                                    : last_server_text});
          }
          continue;  // information: the exchange goes on
        }
        if (length == 0) continue;  // keep-alive
        input.assign(read_buffer.begin(), read_buffer.begin() + length);
        have_input = true;
        break;
      }
    }
    if (step == kMaxSteps - 1) return fail(error, {kCryptoError, "Key exchange did not finish"});
  }
  data_mode.store(true);
  try {
    start_data_threads();
  } catch (const std::exception&) {
    return fail(error, {kSystemError, receive_thread_missing() ? "Can't start net receiving thread."
                                                               : "Can't start net sending thread."});
  }
  return true;
}

void Connection::start_data_threads() {
  std::lock_guard<std::mutex> lock(threads_mutex_);
  send_thread_ = spawn("zn send", &Connection::send_thread_main);
  receive_thread_ = spawn("zn receive", &Connection::receive_thread_main);
}

bool Connection::receive_thread_missing() {
  std::lock_guard<std::mutex> lock(threads_mutex_);
  return send_thread_ != nullptr && receive_thread_ == nullptr;
}

}  // namespace kelda::dtcp
