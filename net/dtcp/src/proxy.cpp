// The proxy negotiation's entry, its deadline-bound reads and writes, the
// name and password prompt, and the texts shared by both protocols.
#include "proxy.h"

#include <cstring>
#include <mutex>

#include "library.h"
#include "proxy_dialogs.h"
#include "proxy_io.h"
#include "platform/no_destroy.h"
#include "texts.h"

namespace kelda::dtcp {

namespace {

using Clock = std::chrono::steady_clock;

// A proxy that never answers is given this long when the check time-out is 0.
constexpr uint32_t kDefaultProxyTimeoutSeconds = 150;

std::mutex& prompt_mutex() {
  static std::mutex m;
  return m;
}

ProxyPrompt& installed_prompt() {
  static platform::NoDestroy<ProxyPrompt> p;  // connect threads may outlive main
  return p.get();
}

}  // namespace

ProxyIo::ProxyIo(Connection& c) : c_(c), endpoint_(proxy_endpoint_text(c.proxy)) {
  uint32_t ms = c.link.check_timeout_ms();
  if (ms == 0) ms = kDefaultProxyTimeoutSeconds * second_ms();
  deadline_ = Clock::now() + std::chrono::milliseconds(ms);
}

int ProxyIo::read(std::span<uint8_t> out) {
  for (uint8_t& byte : out) {
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
      if (left <= 0) return kTimedOut;
      uint32_t code = 0;
      int r = c_.link.wait_readable(static_cast<uint32_t>(left), code);
      if (r == kTimedOut) continue;
      if (r != kOk) return r;
      // Readable: one byte comes from the read-ahead buffer or the socket;
      // bytes past the answer stay buffered for the transport.
      r = c_.link.recv_exact(std::span<uint8_t>(&byte, 1), code);
      if (r != kOk) return r;
      break;
    }
  }
  return kOk;
}

int ProxyIo::write(std::span<const uint8_t> bytes) {
  uint32_t code = 0;
  std::lock_guard<std::mutex> lock(c_.send_mutex);
  return c_.link.send_all(bytes, code);
}

int ProxyIo::write(const std::string& text) {
  return write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

int negotiate_proxy(Connection& c, std::string& error) {
  ProxyIo io(c);
  switch (c.proxy.protocol) {
    case kProxyHttp:
    case kProxyHttpLogin:
      return negotiate_http(io, error);
    case kProxySocks5:
    case kProxySocks5Login:
      return negotiate_socks5(io, error);
    default:
      error = format("Proxy protocol %u is not supported", c.proxy.protocol);
      return kApplicationError;
  }
}

const char* proxy_protocol_name(uint32_t protocol) {
  switch (protocol) {
    case kProxyHttp: return "CONNECT through HTTP port";
    case kProxySocks5: return "SOCKS5 without identification";
    case kProxySocks5Login: return "SOCKS5 with name and password identification";
    case kProxyHttpLogin: return "CONNECT through HTTP port with name and password identification";
    default: return "UNKNOWN";
  }
}

std::string proxy_description(const zn_proxy_params& proxy) {
  return format("%s, protocol \"%s\"", proxy_endpoint_text(proxy).c_str(),
                proxy_protocol_name(proxy.protocol));
}

std::string proxy_endpoint_text(const zn_proxy_params& proxy) {
  const auto* b = reinterpret_cast<const uint8_t*>(&proxy.address);
  return format("%u.%u.%u.%u:%u", b[0], b[1], b[2], b[3], proxy.port);
}

void set_proxy_field(char (&field)[64], std::string_view text) {
  const std::size_t n = std::min(text.size(), kMaxProxyField);
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, sizeof field - n);
}

void set_proxy_prompt(ProxyPrompt prompt) {
  std::lock_guard<std::mutex> lock(prompt_mutex());
  installed_prompt() = std::move(prompt);
}

bool ask_proxy_credentials(zn_proxy_params& proxy, uintptr_t owner, const Locale& locale) {
  ProxyPrompt prompt;
  {
    std::lock_guard<std::mutex> lock(prompt_mutex());
    prompt = installed_prompt();
  }
  if (!prompt) return run_proxy_login_dialog(proxy, owner, locale);
  return prompt(proxy, owner, locale);
}

}  // namespace kelda::dtcp
