// Arbitrary byte streams into the transport's block and frame reader, as the
// receive thread reads them from a socket. The first byte picks the length
// prefix width (bit 0) and whether data blocks fail to decrypt (bit 7). A malformed stream must end the reading with a recorded text
// (or a plain close by the peer), never crash, hang or allocate what the
// stream asks for.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "connection.h"
#include "crypto_port.h"
#include "fake_crypto.h"

using namespace kelda::dtcp;

namespace {


// Keeps every other block, answers server frames, and refuses blocks whose
// first byte is 0xFD, so that every answer of the upper layer is exercised.
int32_t upper(uintptr_t, int32_t event, int32_t* result, void*, const void* block,
              uint32_t size) {
  if (event == ZN_TCP_EVENT_DATA && size > 0) {
    const auto* b = static_cast<const uint8_t*>(block);
    if (b[0] == 0xFD) return -1;
    if (b[0] & 1) *result = ZN_DROP_BLOCK;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto crypto = [] {
    auto port = std::make_shared<kelda::dtcp::testing::FakeCrypto>();
    set_crypto_port(port);
    return port;
  }();
  if (size < 1 || size > 64 * 1024) return 0;
  crypto->fail_decrypt = (data[0] & 0x80) != 0;  // reaches the decryption failure too
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  int buffer = 256 * 1024;
  ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  auto c = std::make_shared<Connection>();
  c->width = (data[0] & 1) ? 4 : 2;
  c->callback = &upper;
  c->data_mode.store(true);
  c->disconnecting.store(true);  // a failure records its text; nothing more starts
  c->receive_threshold.store(0);
  c->receive_allowed.store(true);
  c->link.adopt(fds[0]);
  ssize_t written = ::write(fds[1], data + 1, size - 1);
  ::shutdown(fds[1], SHUT_WR);
  if (written != static_cast<ssize_t>(size - 1)) {
    ::close(fds[1]);
    return 0;
  }
  int r = kOk;
  while ((r = c->receive_one()) == kOk) {
    Block taken;
    std::string ignored;
    while (c->receive(taken, ignored) == 1 && taken.data) taken = Block{};
  }
  // Anything but a close by the peer must leave a text behind.
  if (r != kPeerClosed && c->error_text().empty()) std::abort();
  ::close(fds[1]);
  return 0;
}
