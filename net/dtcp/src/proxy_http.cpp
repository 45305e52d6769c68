// HTTP CONNECT through a proxy, with or without Basic authorisation.
//
// The answer is read up to the blank line that ends its headers and no
// further (a proxy that lets the connection through sends nothing else, and
// whatever follows belongs to the trading server), at most
// kMaxHttpProxyAnswer bytes, before the deadline.
#include <algorithm>
#include <cctype>

#include "proxy.h"
#include "proxy_io.h"
#include "texts.h"

namespace kelda::dtcp {

namespace {

bool headers_complete(const std::string& answer) {
  const std::string_view a(answer);
  return a.ends_with("\r\n\r\n") || a.ends_with("\n\n");
}

std::string_view first_line(std::string_view answer) {
  return answer.substr(0, answer.find_first_of("\r\n"));
}

// The answer as text: up to its first NUL, without the line ends that close it.
std::string_view printable(std::string_view answer) {
  answer = answer.substr(0, answer.find('\0'));
  while (!answer.empty() && (answer.back() == '\r' || answer.back() == '\n' || answer.back() == ' ')) {
    answer.remove_suffix(1);
  }
  return answer;
}

std::size_t find_html(std::string_view answer) {
  constexpr std::string_view tag = "<HTML>";
  auto it = std::search(answer.begin(), answer.end(), tag.begin(), tag.end(), [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == b;
  });
  return it == answer.end() ? std::string_view::npos : static_cast<std::size_t>(it - answer.begin());
}

std::string quoted(const char* lead, std::string_view text) {
  return format("%s\"%.*s\"", lead, static_cast<int>(text.size()), text.data());
}

}  // namespace

std::string base64_encode(std::span<const uint8_t> bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = uint32_t{bytes[i]} << 16;
    if (rest == 2) v |= uint32_t{bytes[i + 1]} << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string http_connect_request(uint32_t address, uint32_t port,
                                 const std::optional<std::string>& basic_credentials) {
  const auto* b = reinterpret_cast<const uint8_t*>(&address);
  std::string request =
      format("CONNECT %u.%u.%u.%u:%u HTTP/1.0\r\n", b[0], b[1], b[2], b[3], port);
  if (basic_credentials) {
    const auto* p = reinterpret_cast<const uint8_t*>(basic_credentials->data());
    request += "Proxy-Authorization: Basic " +
               base64_encode(std::span<const uint8_t>(p, basic_credentials->size())) + "\r\n\r\n";
  } else {
    request += "\r\n";
  }
  return request;
}

std::optional<std::string> http_answer_error(std::string_view answer) {
  if (answer.empty()) return std::string("Wrong proxy answer: ");
  const std::size_t blank = answer.find(' ');
  if (blank == std::string_view::npos) return quoted("Wrong proxy answer: ", printable(answer));
  const std::string_view status = answer.substr(blank + 1, 3);
  if (!status.empty() && (status[0] == '2' || status[0] == '3')) return std::nullopt;
  const std::string_view line = printable(first_line(answer));
  if (status == "401") return quoted("Wrong user name or password set. Proxy answer was: ", line);
  if (status == "407") return quoted("User authentification required. Proxy answer was: ", line);
  if (!status.empty() && status[0] == '4') {
    return quoted("Error during connection to proxy. Proxy answer was: ", line);
  }
  const std::string_view before_html = printable(answer.substr(0, find_html(answer)));
  return quoted("Error during connection to proxy. Proxy answer was: ", before_html);
}

int negotiate_http(ProxyIo& io, std::string& error) {
  Connection& c = io.connection();
  std::optional<std::string> credentials;
  if (c.proxy.protocol == kProxyHttpLogin) {
    if (c.proxy.get_password_mode == 0 && !ask_proxy_credentials(c.proxy, c.owner, c.locale)) {
      error.clear();  // cancelled by the user: no proxy text
      return kApplicationError;
    }
    c.proxy.user_name[sizeof c.proxy.user_name - 1] = '\0';
    c.proxy.password[sizeof c.proxy.password - 1] = '\0';
    credentials = std::string(c.proxy.user_name) + ":" + c.proxy.password;
  }
  const std::string request = http_connect_request(c.params.address, c.params.port, credentials);
  int r = io.write(request);
  if (r == kStopped) return r;
  if (r != kOk) {
    error = "Can't send CONNECT request to proxy server " + io.endpoint();
    return kSocketError;
  }

  std::string answer;
  while (!headers_complete(answer)) {
    if (answer.size() >= kMaxHttpProxyAnswer) {
      error = quoted("Wrong proxy answer: ", printable(first_line(answer)));
      return kApplicationError;
    }
    uint8_t byte = 0;
    r = io.read(std::span<uint8_t>(&byte, 1));
    if (r == kOk) {
      answer += static_cast<char>(byte);
      continue;
    }
    if (r == kStopped) return r;
    if (r == kPeerClosed && !answer.empty()) break;  // the proxy said all it had
    if (r == kPeerClosed) {
      error = "Can't get answer from proxy server " + io.endpoint() + ", connection was closed";
    } else if (r == kTimedOut) {
      error = "Can't get answer from proxy server " + io.endpoint() +
              ". Timeout period has expired.";
    } else {
      error = "Can't get answer from proxy server " + io.endpoint();
    }
    return kSocketError;
  }
  if (std::optional<std::string> refusal = http_answer_error(answer)) {
    error = std::move(*refusal);
    return kApplicationError;
  }
  return kOk;
}

}  // namespace kelda::dtcp
