// Arbitrary server bytes into the transport's negotiation and key exchange,
// as the connection thread reads them once the link stands: the answers to
// the cipher provider and locale requests, then the blocks, keep-alives and
// server error and information frames of the key exchange. The first byte
// picks the length prefix width (bit 0), whether the negotiation runs or the
// key exchange starts at once (bit 1), whether the upper layer refuses server
// frames (bit 2) and whether answer bodies fail to decrypt (bit 3).
//
// A malformed answer must end the negotiation or the exchange with a text,
// never crash, hang or allocate what the server asks for. The provider here
// never finishes its exchange, so that no data thread starts: it wants input
// until the stream ends, and refuses an input block that begins with 0xEE.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "connection.h"
#include "crypto_port.h"
#include "negotiation.h"

using namespace kelda::dtcp;

namespace {

class ScriptedProvider final : public CryptoPort {
 public:
  bool fail_decrypt = false;

  bool initialize(const std::string&, const Locale&, uintptr_t, std::string&) override { return true; }
  void finish() override {}
  bool cipher_provider_name(const zn_crypto_params&, const std::string&, uintptr_t, std::string& out,
                            std::string&) override {
    out = "Sekura32";
    return true;
  }
  bool open(CryptoSession&, const zn_crypto_params&, const Locale&, uintptr_t, std::string&) override {
    return true;
  }
  int32_t provider_id(const std::string&, std::string&) override { return 4; }
  uint32_t handshake(CryptoSession&, std::span<const uint8_t> in, std::span<const uint8_t>& out,
                     const uintptr_t[4], std::string& error) override {
    if (!in.empty() && in[0] == 0xEE) {
      error = "provider refused the key exchange";
      return kHandshakeError;
    }
    // The first step and every answer to a long block send something back.
    if (in.empty() || in.size() > 64) {
      out = std::span<const uint8_t>(reply_, sizeof reply_);
      return kHandshakeOutput | kHandshakeNeedInput;
    }
    return kHandshakeNeedInput;
  }
  bool encrypt(CryptoSession&, std::span<const uint8_t> in, std::vector<uint8_t>& out, std::string&) override {
    out.assign(in.begin(), in.end());
    return true;
  }
  bool decrypt(CryptoSession&, std::span<const uint8_t> in, std::vector<uint8_t>& out,
               std::string& error) override {
    if (fail_decrypt) {
      error = "decryption failed";
      return false;
    }
    out.assign(in.begin(), in.end());
    return true;
  }
  bool set_context_param(CryptoSession&, uint32_t, uintptr_t, std::string&) override { return true; }
  void close(CryptoSession&) override {}

 private:
  const uint8_t reply_[16] = {'k', 'e', 'y', ' ', 'e', 'x', 'c', 'h', 'a', 'n', 'g', 'e', 0, 1, 2, 3};
};

bool g_refuse_frames = false;

int32_t upper(uintptr_t, int32_t event, int32_t* result, void*, const void*, uint32_t) {
  if (event == ZN_TCP_EVENT_SERVER_ERROR || event == ZN_TCP_EVENT_SERVER_INFO) {
    if (g_refuse_frames) return -1;
    *result = ZN_KEEP_BLOCK;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::shared_ptr<ScriptedProvider> provider = [] {
    auto port = std::make_shared<ScriptedProvider>();
    set_crypto_port(port);
    return port;
  }();
  if (size < 1 || size > 64 * 1024) return 0;
  const uint8_t mode = data[0];
  provider->fail_decrypt = (mode & 8) != 0;
  g_refuse_frames = (mode & 4) != 0;
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  // Room for what the client writes (requests and exchange blocks), which
  // nobody reads here.
  int buffer = 1024 * 1024;
  ::setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  const ssize_t written = ::write(fds[1], data + 1, size - 1);
  ::shutdown(fds[1], SHUT_WR);
  if (written != static_cast<ssize_t>(size - 1)) {
    ::close(fds[1]);
    ::close(fds[0]);
    return 0;
  }
  auto c = std::make_shared<Connection>();
  c->width = (mode & 1) ? 4 : 2;
  c->callback = &upper;
  c->crypto.provider_name = "Sekura32";
  c->crypto.provider_id.store(4);
  c->link.adopt(fds[0]);
  c->connected.store(true);
  c->send_allowed.store(true);
  std::string error;
  int r = kOk;
  if ((mode & 2) == 0) {
    r = negotiate_transport(*c, error);
    if (r != kOk && r != kStopped && error.empty()) std::abort();
  }
  if (r == kOk) {
    const uintptr_t words[4] = {};
    // Ends when the stream does: the provider never finishes.
    if (c->handshake(words, error)) std::abort();
    if (error.empty()) std::abort();
  }
  c->disconnecting.store(true);
  ::close(fds[1]);
  return 0;
}
