// The proxy negotiation against scripted proxies on a socket pair: what the
// client sends, how every answer a proxy may give is judged, and that the
// bytes after a proxy's answer stay for the trading server's stream.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "connection.h"
#include "proxy.h"

namespace kelda::dtcp::testing {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes_of(std::string_view s) { return Bytes(s.begin(), s.end()); }

// 127.0.0.1 in network order, and the trading server 10.1.2.3:15100.
constexpr uint32_t kLoopback = 0x0100007F;
constexpr uint32_t kServer = 0x0302010A;
constexpr uint32_t kServerPort = 15100;

// A connection whose socket is one end of a pair; the test plays the proxy.
struct ScriptedProxy {
  explicit ScriptedProxy(uint32_t protocol, uint32_t mode = 1, std::string_view name = "",
                         std::string_view password = "") {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    c = std::make_shared<Connection>();
    c->link.adopt(fds[0]);
    c->link.set_check_timeout_ms(200);
    c->params = zn_conn_params{1, 0, kServer, kServerPort, nullptr};
    c->proxy = zn_proxy_params{1, 1, kLoopback, 3128, protocol, mode, {}, {}};
    set_proxy_field(c->proxy.user_name, name);
    set_proxy_field(c->proxy.password, password);
    c->has_proxy = true;
    peer = fds[1];
  }
  ~ScriptedProxy() { ::close(peer); }

  // Queues the proxy's answer; with `close_after` the proxy then hangs up.
  void answer(const Bytes& b, bool close_after = false) {
    ASSERT_EQ(::write(peer, b.data(), b.size()), ssize_t(b.size()));
    if (close_after) ::shutdown(peer, SHUT_WR);
  }
  void answer(std::string_view s, bool close_after = false) { answer(bytes_of(s), close_after); }

  int negotiate() { return negotiate_proxy(*c, error); }

  // Everything the client has sent so far.
  Bytes sent() {
    Bytes out(64 * 1024);
    ssize_t n = ::recv(peer, out.data(), out.size(), MSG_DONTWAIT);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
  }

  // The next bytes the transport reads after the negotiation.
  Bytes next_stream_bytes(std::size_t n) {
    Bytes out(n);
    uint32_t code = 0;
    EXPECT_EQ(c->link.recv_exact(out, code), kOk);
    return out;
  }

  std::shared_ptr<Connection> c;
  int peer = -1;
  std::string error;
};

TEST(ProxyHttp, Base64FollowsTheStandardVectors) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xFF\xFE", "//4="},
  };
  for (const auto& [plain, encoded] : cases) {
    const auto* p = reinterpret_cast<const uint8_t*>(plain.data());
    EXPECT_EQ(base64_encode(std::span<const uint8_t>(p, plain.size())), encoded) << plain;
  }
}

TEST(ProxyHttp, RequestsNameTheServerAndCarryTheLogin) {
  EXPECT_EQ(http_connect_request(kServer, kServerPort, std::nullopt),
            "CONNECT 10.1.2.3:15100 HTTP/1.0\r\n\r\n");
  EXPECT_EQ(http_connect_request(kServer, kServerPort, std::string("alice:s3cret")),
            "CONNECT 10.1.2.3:15100 HTTP/1.0\r\nProxy-Authorization: Basic YWxpY2U6czNjcmV0\r\n\r\n");

  // Over the wire: a stored name with an empty password still sends "name:".
  ScriptedProxy p(kProxyHttpLogin, 1, "alice", "");
  p.answer("HTTP/1.0 200 Connection established\r\n\r\n");
  ASSERT_EQ(p.negotiate(), kOk) << p.error;
  EXPECT_EQ(p.sent(), bytes_of("CONNECT 10.1.2.3:15100 HTTP/1.0\r\nProxy-Authorization: Basic "
                               "YWxpY2U6\r\n\r\n"));
}

TEST(ProxyHttp, AnswersAreJudgedByTheirStatus) {
  const std::pair<std::string_view, std::optional<std::string_view>> cases[] = {
      {"HTTP/1.0 200 Connection established\r\n\r\n", std::nullopt},
      {"HTTP/1.1 301 Moved\r\n\r\n", std::nullopt},
      {"HTTP/1.0 401 Unauthorized\r\nServer: x\r\n\r\n",
       "Wrong user name or password set. Proxy answer was: \"HTTP/1.0 401 Unauthorized\""},
      {"HTTP/1.0 407 Proxy Authentication Required\r\n\r\n",
       "User authentification required. Proxy answer was: \"HTTP/1.0 407 Proxy Authentication "
       "Required\""},
      {"HTTP/1.0 403 Forbidden\nVia: y\n\n",
       "Error during connection to proxy. Proxy answer was: \"HTTP/1.0 403 Forbidden\""},
      {"HTTP/1.0 502 Bad gateway\r\nX: 1\r\n\r\n<html><body>down</body></html>",
       "Error during connection to proxy. Proxy answer was: \"HTTP/1.0 502 Bad gateway\r\nX: 1\""},
      {"GARBAGE\r\n\r\n", "Wrong proxy answer: \"GARBAGE\""},
      {"HTTP/1.0 ", "Error during connection to proxy. Proxy answer was: \"HTTP/1.0\""},
      {"", "Wrong proxy answer: "},
  };
  for (const auto& [answer, expected] : cases) {
    SCOPED_TRACE(answer);
    std::optional<std::string> error = http_answer_error(answer);
    ASSERT_EQ(error.has_value(), expected.has_value());
    if (expected) {
      EXPECT_EQ(*error, *expected);
    }
  }
}

TEST(ProxyHttp, ReadsTheAnswerToItsHeaderEndAndNoFurther) {
  // The server's first bytes follow the proxy's answer in the same segment.
  ScriptedProxy p(kProxyHttp);
  p.answer("HTTP/1.0 200 Connection established\r\nProxy-agent: t\r\n\r\n\xFF\xFF");
  ASSERT_EQ(p.negotiate(), kOk) << p.error;
  EXPECT_EQ(p.next_stream_bytes(2), (Bytes{0xFF, 0xFF}));

  // An answer that ends with the proxy hanging up is judged as it stands.
  ScriptedProxy closed(kProxyHttp);
  closed.answer("HTTP/1.0 403 Forbidden", true);
  EXPECT_EQ(closed.negotiate(), kApplicationError);
  EXPECT_EQ(closed.error, "Error during connection to proxy. Proxy answer was: \"HTTP/1.0 403 Forbidden\"");
}

TEST(ProxyHttp, BadAnswersEndTheAttemptWithTheirTexts) {
  struct Case {
    const char* what;
    std::string answer;
    bool close_after;
    int result;
    std::string text;
    uint32_t timeout_ms;  // short only where the time-out is the outcome under test
  };
  const std::string endless = "HTTP/1.0 200 OK\r\n" + std::string(20000, 'x');
  const std::vector<Case> cases = {
      {"no answer at all", "", true, kSocketError,
       "Can't get answer from proxy server 127.0.0.1:3128, connection was closed", 10000},
      {"an answer that never ends", "HTTP/1.0 200 OK\r\n", false, kSocketError,
       "Can't get answer from proxy server 127.0.0.1:3128. Timeout period has expired.", 200},
      {"headers beyond the cap", endless, false, kApplicationError,
       "Wrong proxy answer: \"HTTP/1.0 200 OK\"", 10000},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    ScriptedProxy p(kProxyHttp);
    p.c->link.set_check_timeout_ms(k.timeout_ms);
    if (!k.answer.empty() || k.close_after) p.answer(k.answer, k.close_after);
    EXPECT_EQ(p.negotiate(), k.result);
    EXPECT_EQ(p.error, k.text);
  }
}

TEST(ProxyHttp, AStopEndsTheWaitWithoutAText) {
  ScriptedProxy p(kProxyHttp);
  p.c->link.set_check_timeout_ms(0);  // no time-out: only the stop ends the wait
  p.c->link.stop();
  EXPECT_EQ(p.negotiate(), kStopped);
  EXPECT_EQ(p.error, "");
}

// The connect reply for 10.1.2.3:15100 bound at an IPv4 address.
const Bytes kIpv4Reply = {5, 0, 0, 1, 127, 0, 0, 1, 0x3B, 0x1C};
const Bytes kConnectRequest = {5, 1, 0, 1, 10, 1, 2, 3, 0x3A, 0xFC};

TEST(ProxySocks5, SpeaksBothMethodsByteForByte) {
  ScriptedProxy open(kProxySocks5);
  Bytes answer = {5, 0};
  answer.insert(answer.end(), kIpv4Reply.begin(), kIpv4Reply.end());
  open.answer(answer);
  ASSERT_EQ(open.negotiate(), kOk) << open.error;
  Bytes expected = {5, 1, 0};
  expected.insert(expected.end(), kConnectRequest.begin(), kConnectRequest.end());
  EXPECT_EQ(open.sent(), expected);

  ScriptedProxy login(kProxySocks5Login, 1, "bob", "pw");
  answer = {5, 2, 1, 0};
  answer.insert(answer.end(), kIpv4Reply.begin(), kIpv4Reply.end());
  login.answer(answer);
  ASSERT_EQ(login.negotiate(), kOk) << login.error;
  expected = {5, 1, 2, 1, 3, 'b', 'o', 'b', 2, 'p', 'w'};
  expected.insert(expected.end(), kConnectRequest.begin(), kConnectRequest.end());
  EXPECT_EQ(login.sent(), expected);
}

TEST(ProxySocks5, RepliesWithAnyBoundAddressAreReadWhole) {
  Bytes domain = {5, 0, 5, 0, 0, 3, 9};
  for (char ch : std::string_view("localhost")) domain.push_back(static_cast<uint8_t>(ch));
  domain.insert(domain.end(), {0x3B, 0x1C});
  Bytes ipv6 = {5, 0, 5, 0, 0, 4};
  ipv6.insert(ipv6.end(), 16, 0);
  ipv6.back() = 1;
  ipv6.insert(ipv6.end(), {0x3B, 0x1C});
  for (Bytes answer : {domain, ipv6}) {
    ScriptedProxy p(kProxySocks5);
    answer.insert(answer.end(), {0xFF, 0xFF, 0x00});  // the server's first bytes
    p.answer(answer);
    ASSERT_EQ(p.negotiate(), kOk) << p.error;
    EXPECT_EQ(p.next_stream_bytes(3), (Bytes{0xFF, 0xFF, 0x00}));
  }
}

TEST(ProxySocks5, RefusalsAndBrokenAnswersEndTheAttemptWithTheirTexts) {
  struct Case {
    const char* what;
    uint32_t protocol;
    Bytes answer;
    int result;
    std::string text;
  };
  const std::string at = "127.0.0.1:3128";
  const std::vector<Case> cases = {
      {"no method without login", kProxySocks5, {5, 0xFF}, kApplicationError,
       "Mode without identification not supported by SOCKS server " + at},
      {"no method with login", kProxySocks5Login, {5, 0xFF}, kApplicationError,
       "Identification with name and password not supported by SOCKS server " + at},
      {"wrong version in the method choice", kProxySocks5, {4, 0}, kApplicationError,
       "Error during connection to SOCKS server " + at + " occur"},
      {"a method that was not offered", kProxySocks5, {5, 2}, kApplicationError,
       "Error during connection to SOCKS server " + at + " occur"},
      {"login refused", kProxySocks5Login, {5, 2, 1, 1}, kApplicationError,
       "Error during negotiations with SOCKS server " + at + " occur"},
      {"connect refused with code 5", kProxySocks5, {5, 0, 5, 5, 0, 1}, kApplicationError,
       "Error 5 occur during negotiations with SOCKS server " + at},
      {"an unknown reply code", kProxySocks5, {5, 0, 5, 9, 0, 1}, kApplicationError,
       "Error 255 occur during negotiations with SOCKS server " + at},
      {"wrong version in the reply", kProxySocks5, {5, 0, 4, 0, 0, 1}, kApplicationError,
       "Error during negotiations with SOCKS server " + at + " occur"},
      {"an unknown address type", kProxySocks5, {5, 0, 5, 0, 0, 7}, kApplicationError,
       "Error during negotiations with SOCKS server " + at + " occur"},
      {"a truncated method choice", kProxySocks5, {5}, kSocketError,
       "Can't get answer from SOCKS proxy server " + at},
      {"a truncated bound address", kProxySocks5, {5, 0, 5, 0, 0, 3, 20, 'a', 'b'}, kSocketError,
       "Can't get answer from SOCKS proxy server " + at},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    ScriptedProxy p(k.protocol, 1, "bob", "pw");
    p.answer(k.answer, true);
    EXPECT_EQ(p.negotiate(), k.result);
    EXPECT_EQ(p.error, k.text);
  }
}

TEST(ProxySocks5, AStalledReplyIsCutOffByTheTimeOut) {
  ScriptedProxy p(kProxySocks5);
  p.answer(Bytes{5, 0, 5, 0});
  EXPECT_EQ(p.negotiate(), kSocketError);
  EXPECT_EQ(p.error, "Can't get answer from SOCKS proxy server 127.0.0.1:3128");
}

// Mode 0 asks for the name and password when the protocol needs them; a
// cancelled prompt ends the attempt without a proxy text.
TEST(ProxyPrompt, AskedOnlyWhenNeededAndCancelEndsQuietly) {
  struct Restore {
    ~Restore() { set_proxy_prompt(nullptr); }
  } restore;
  int asked = 0;
  bool cancel = false;
  set_proxy_prompt([&](zn_proxy_params& proxy, uintptr_t, const Locale&) {
    ++asked;
    set_proxy_field(proxy.user_name, "typed");
    set_proxy_field(proxy.password, "secret");
    return !cancel;
  });

  ScriptedProxy http(kProxyHttpLogin, 0, "stored", "old");
  http.answer("HTTP/1.0 200 OK\r\n\r\n");
  ASSERT_EQ(http.negotiate(), kOk) << http.error;
  EXPECT_EQ(asked, 1);
  const Bytes request = http.sent();
  EXPECT_NE(std::string(request.begin(), request.end()).find("Basic dHlwZWQ6c2VjcmV0\r\n"),
            std::string::npos);

  ScriptedProxy socks(kProxySocks5Login, 0);
  socks.answer(Bytes{5, 2, 1, 0, 5, 0, 0, 1, 1, 2, 3, 4, 0, 1});
  ASSERT_EQ(socks.negotiate(), kOk) << socks.error;
  EXPECT_EQ(asked, 2);

  for (uint32_t protocol : {kProxyHttp, kProxySocks5}) {  // no login: no question
    ScriptedProxy p(protocol, 0);
    p.answer(protocol == kProxyHttp ? bytes_of("HTTP/1.0 200 OK\r\n\r\n")
                                    : Bytes{5, 0, 5, 0, 0, 1, 1, 2, 3, 4, 0, 1});
    ASSERT_EQ(p.negotiate(), kOk) << p.error;
  }
  EXPECT_EQ(asked, 2);

  cancel = true;
  for (uint32_t protocol : {kProxyHttpLogin, kProxySocks5Login}) {
    ScriptedProxy p(protocol, 0);
    p.answer(Bytes{5, 2});
    EXPECT_EQ(p.negotiate(), kApplicationError);
    EXPECT_EQ(p.error, "");
  }
}

}  // namespace
}  // namespace kelda::dtcp::testing
