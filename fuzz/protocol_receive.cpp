// Arbitrary server blocks into the protocol library's receive side, through
// the transport's receive step as in data mode: the permissions message that
// must come first, pings and their answers, the refusal 0x4166, messages
// handed to the caller and kept, and the dispatch of kept messages to their
// handlers (or the failure of an unknown one).
//
// Input: byte 0 chooses how the caller answers (bit 0 refuses the
// permissions, bit 1 refuses messages with an odd id, bit 2 drops messages
// instead of keeping them); then blocks as the server frames them with
// 2-byte prefixes ([u16 big-endian length][bytes], a length of 0 being a
// keep-alive). A cut last block is cut to what is left.
//
// Nothing may crash; a failure that ends the link must leave its text, and a
// message that cannot be dispatched must say why.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "connection.h"
#include "context.h"
#include "fake_crypto.h"
#include "library.h"

namespace dtcp = kelda::dtcp;
namespace de = kelda::de;

namespace {

constexpr uint32_t kQuote = 0x0201;
constexpr uint32_t kNews = 0x0202;
constexpr uint32_t kUnhandled = 0x0203;
constexpr uint32_t kNested = 0x0204;

MessageLayout g_int32[] = {0, ZN_FIELD_INT32, 0};
MessageLayout g_empty[] = {0, 0};
MessageLayout g_quote[] = {0, ZN_FIELD_INT32, ZN_FIELD_ARRAY(12), ZN_FIELD_CHAR, ZN_FIELD_INT64, ZN_FIELD_INT16, 0};
MessageLayout g_news[] = {0, ZN_FIELD_INT32, ZN_FIELD_COUNTED_ARRAY(200), ZN_FIELD_CHAR, 0};
MessageLayout g_leg[] = {0, ZN_FIELD_BYTE, ZN_FIELD_INT32, 0};
MessageLayout g_nested[] = {0, ZN_FIELD_COUNTED_ARRAY(8), ZN_FIELD_NESTED(g_leg), ZN_FIELD_INT16, 0};
MessageLayoutEntry g_table[] = {
    {SN_PERMS, g_int32, 3},   {ZN_MSG_PING, g_empty, 0}, {ZN_MSG_PONG, g_empty, 0},
    {ZN_MSG_LOGOUT, g_empty, 0}, {kQuote, g_quote, 1},  {kNews, g_news, 1},
    {kUnhandled, g_int32, 1}, {kNested, g_nested, 2},    {0, nullptr, 0},
};

volatile uint32_t g_sink = 0;
void on_message(uint16_t id, const void* record) {
  // Touches the first and last byte of the record the codec gives.
  const std::size_t size = id == kQuote ? 28 : id == kNews ? 206 : 4;
  const auto* bytes = static_cast<const uint8_t*>(record);
  g_sink = g_sink + bytes[0] + bytes[size - 1];
}
MessageHandlerEntry g_handlers[] = {{kQuote, &on_message}, {kNews, &on_message}, {0, nullptr}};

uint8_t g_mode = 0;

int32_t caller(uintptr_t, int32_t event, int32_t* result, void*, uint32_t id, const void*, uint32_t) {
  if (event == ZN_EVENT_PERMISSIONS && (g_mode & 1) != 0) return -1;
  if (event == ZN_EVENT_MESSAGE) {
    if ((g_mode & 2) != 0 && (id & 1) != 0) return -1;
    if ((g_mode & 4) != 0) *result = ZN_DROP_BLOCK;
  }
  return 0;
}

dtcp::Connection* g_transport = nullptr;

// The protocol library's answer as the transport gets it. A refusal ends the
// link; the stop is marked here so that the transport starts no thread to
// carry it out (the stop itself is not what is fuzzed).
int32_t relay(uintptr_t user, int32_t event, int32_t* result, void* event_data, const void* block,
              uint32_t size) {
  const int32_t answer = de::transport_event_handler(user, event, result, event_data, block, size);
  if (answer < 0) g_transport->disconnecting.store(true);
  return answer;
}

const de::LayoutRegistry& registry() {
  static const de::LayoutRegistry r = de::LayoutRegistry::build(g_table, "fuzz").value();
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const auto crypto = [] {
    auto port = std::make_shared<dtcp::testing::FakeCrypto>();
    dtcp::set_crypto_port(port);
    return port;
  }();
  if (size < 1 || size > 64 * 1024) return 0;
  g_mode = data[0];

  // The server's stream: whole blocks only, no frame markers.
  std::vector<uint8_t> stream;
  int blocks = 0;
  for (std::size_t at = 1; at + 2 <= size; ++blocks) {
    std::size_t length = (std::size_t{data[at]} << 8) | data[at + 1];
    at += 2;
    length = std::min({length, size - at, std::size_t{0xFFFE}});
    stream.push_back(static_cast<uint8_t>(length >> 8));
    stream.push_back(static_cast<uint8_t>(length));
    stream.insert(stream.end(), data + at, data + at + length);
    at += length;
  }

  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  int buffer = 1024 * 1024;
  ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  const ssize_t written = ::write(fds[1], stream.data(), stream.size());
  ::shutdown(fds[1], SHUT_WR);
  if (written != static_cast<ssize_t>(stream.size())) {
    ::close(fds[0]);
    ::close(fds[1]);
    return 0;
  }

  auto context = std::make_shared<de::Context>();
  context->name = "fuzz";
  context->registry = registry();
  for (const MessageHandlerEntry* h = g_handlers; h->handler != nullptr; ++h) context->handlers.push_back(*h);
  context->callback = &caller;
  context->up.store(1);

  auto transport = std::make_shared<dtcp::Connection>();
  g_transport = transport.get();
  transport->width = 2;
  transport->callback = &relay;
  transport->user_data = reinterpret_cast<uintptr_t>(context.get());
  transport->connected.store(true);
  transport->send_allowed.store(true);
  transport->receive_allowed.store(true);
  transport->data_mode.store(true);
  transport->receive_threshold.store(0);
  transport->link.adopt(fds[0]);
  dtcp::link_connection(transport);
  context->transport.store(dtcp::handle_of(transport.get()));
  {
    de::Library& lib = de::library();
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    lib.contexts[context.get()] = context;
  }
  context->end_set_up(true);

  for (int i = 0; i < blocks; ++i) {
    if (transport->receive_one() != dtcp::kOk) {
      // The link ended with the transport's text, and unless the caller
      // refused something, with the protocol library's cause.
      if (transport->error_text().empty()) std::abort();
      if ((g_mode & 3) == 0 && context->error_text().empty()) std::abort();
      break;
    }
    while (transport->queued_receive_blocks() > 0) {
      std::string error;
      if (de::receive_message(*context, error) == 0 && error.empty()) std::abort();
    }
  }

  transport->disconnecting.store(true);
  {
    de::Library& lib = de::library();
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    lib.contexts.erase(context.get());
  }
  dtcp::unlink_connection(transport.get());
  g_transport = nullptr;
  ::close(fds[1]);
  return 0;
}
