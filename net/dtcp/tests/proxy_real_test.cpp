// Connections through the real proxies of the system (tinyproxy for HTTP
// CONNECT, microsocks for SOCKS5), with and without a login, in every
// password mode, up to the server double's permissions message; and the
// proxies' own refusals.
#include <filesystem>

#include "harness.h"
#include "proxy.h"
#include "proxy_daemons.h"
#include "platform/sync.h"
#include "testsupport/test_dir.h"
#include "ui/loop.h"
#include "ui/testing.h"

namespace sd = kelda::server_double;

namespace kelda::dtcp::testing {
namespace {

const Login kLogin{"alice", "s3cret"};

struct Proxies {
  ProxyDaemon http{ProxyDaemon::Kind::http, std::nullopt};
  ProxyDaemon http_login{ProxyDaemon::Kind::http, kLogin};
  ProxyDaemon socks{ProxyDaemon::Kind::socks5, std::nullopt};
  ProxyDaemon socks_login{ProxyDaemon::Kind::socks5, kLogin};

  // Starts all four; the failure text of the first that could not start.
  std::string start() {
    for (ProxyDaemon* d : {&http, &http_login, &socks, &socks_login}) {
      std::string failure = d->start();
      if (!failure.empty()) return failure;
    }
    return {};
  }
};

class RealProxies : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    const std::string failure = proxies.start();
    ASSERT_TRUE(failure.empty()) << failure;
  }
  void TearDown() override {
    set_proxy_prompt(nullptr);
    TransportTest::TearDown();
  }

  zn_tcp_connection* connect_via(Upper& upper, const zn_conn_setup& how) {
    crypto_params = zn_crypto_params{};
    crypto_params.version = 1;
    crypto_params.open_context = 1;
    crypto_params.selection_mode = 1;
    char error[512] = "";
    std::lock_guard<std::mutex> hold(upper.setup_mutex);
    zn_tcp_connection* c = zn_tcp_connect("proxied", nullptr, 0, 0, 0, &crypto_params, 0, 2, 1,
                                          &how, &Upper::callback,
                                          reinterpret_cast<uintptr_t>(&upper), 0, 0, 0, 0, error,
                                          sizeof error);
    upper.connection = c;
    EXPECT_NE(c, nullptr) << error;
    return c;
  }

  zn_tcp_connection* connect_with_record(Upper& upper, const zn_proxy_params& proxy) {
    proxy_record = proxy;
    params = zn_conn_params{1, 0, sd::ServerDouble::address(), server.port(), &proxy_record};
    setup = zn_conn_setup{};
    setup.mode = ZN_SETUP_RECORD;
    setup.params = &params;
    return connect_via(upper, setup);
  }

  // The negotiation through the proxy reaches the server double, which
  // answers with its permissions message.
  void expect_permissions(Upper& upper, zn_tcp_connection* c) {
    std::unique_ptr<sd::Session> session = server.accept();
    ASSERT_TRUE(session) << "the proxy never reached the server; " << upper.closing_error();
    ASSERT_TRUE(session->handshake());
    ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_STORED));
    bool permissions = false;
    for (const Event& e : upper.events()) {
      if (e.event == ZN_TCP_EVENT_DATA) {
        permissions |= sd::parse_message(e.block).id == sd::kPermissions;
      }
    }
    EXPECT_TRUE(permissions);
    char error[256] = "";
    zn_tcp_disconnect(c, 1, error, sizeof error);
    EXPECT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
  }

  void expect_refusal(Upper& upper, const std::string& text) {
    ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
    EXPECT_NE(upper.closing_error().find(text), std::string::npos) << upper.closing_error();
  }

  static zn_proxy_params record(uint16_t port, uint32_t protocol, uint32_t mode,
                                const Login& login = {}) {
    zn_proxy_params p{1, 1, sd::ServerDouble::address(), port, protocol, mode, {}, {}};
    set_proxy_field(p.user_name, login.name);
    set_proxy_field(p.password, login.password);
    return p;
  }

  Proxies proxies;
  sd::ServerDouble server;
  zn_proxy_params proxy_record{};
};

TEST_F(RealProxies, EveryProtocolAndPasswordModeReachesTheServer) {
  int asked = 0;
  set_proxy_prompt([&](zn_proxy_params& proxy, uintptr_t, const Locale&) {
    ++asked;
    set_proxy_field(proxy.user_name, kLogin.name);
    set_proxy_field(proxy.password, kLogin.password);
    return true;
  });
  struct Case {
    const char* what;
    ProxyDaemon& daemon;
    uint32_t protocol;
    uint32_t mode;
    Login stored;
    const char* description;
  };
  const Case cases[] = {
      {"HTTP CONNECT", proxies.http, kProxyHttp, 1, {}, "CONNECT through HTTP port"},
      {"HTTP with a stored login", proxies.http_login, kProxyHttpLogin, 1, kLogin,
       "CONNECT through HTTP port with name and password identification"},
      {"HTTP with a login asked for", proxies.http_login, kProxyHttpLogin, 0, {},
       "CONNECT through HTTP port with name and password identification"},
      {"SOCKS5", proxies.socks, kProxySocks5, 1, {}, "SOCKS5 without identification"},
      {"SOCKS5 with a stored login", proxies.socks_login, kProxySocks5Login, 1, kLogin,
       "SOCKS5 with name and password identification"},
      {"SOCKS5 with a login asked for", proxies.socks_login, kProxySocks5Login, 0, {},
       "SOCKS5 with name and password identification"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Upper& upper = make_upper();
    zn_tcp_connection* c =
        connect_with_record(upper, record(k.daemon.port(), k.protocol, k.mode, k.stored));
    ASSERT_NE(c, nullptr);
    char description[256] = "";
    char error[256] = "";
    ASSERT_EQ(zn_tcp_get_proxy_settings_description(c, description, sizeof description, 0, 0, 0, 0,
                                                    error, sizeof error),
              1);
    EXPECT_EQ(std::string(description), "127.0.0.1:" + std::to_string(k.daemon.port()) +
                                            ", protocol \"" + k.description + "\"");
    expect_permissions(upper, c);
  }
  EXPECT_EQ(asked, 2);
}

TEST_F(RealProxies, SettingsFileProxiesReachTheServer) {
  // The older password-mode key still means "stored login" in a file.
  const char* const modes[] = {"get-password-mode=1", "take-name-password-from-ini-file=1"};
  const std::pair<ProxyDaemon*, uint32_t> routes[] = {{&proxies.http_login, kProxyHttpLogin},
                                                      {&proxies.socks_login, kProxySocks5Login}};
  for (const auto& [daemon, protocol] : routes) {
    for (const char* mode : modes) {
      SCOPED_TRACE(std::to_string(protocol) + " " + mode);
      const std::string file = (test::test_dir() / "KeldaMobile.txt").string();
      test::write_file_bytes(
          file, "[connect]\r\ntrade-server-ip-address=127.0.0.1\r\nport=" +
                    std::to_string(server.port()) + "\r\ncheck-tmo=0\r\n\r\n[proxy]\r\n" +
                    "use-proxy=1\r\nproxy-protocol=" + std::to_string(protocol) +
                    "\r\nproxy-server-ip-address=127.0.0.1\r\nproxy-port=" +
                    std::to_string(daemon->port()) + "\r\n" + mode +
                    "\r\nproxy-user-name=alice\r\nproxy-user-password=s3cret\r\n");
      zn_conn_setup how{};
      how.mode = ZN_SETUP_INI;
      std::snprintf(how.ini_path, sizeof how.ini_path, "%s", file.c_str());
      Upper& upper = make_upper();
      zn_tcp_connection* c = connect_via(upper, how);
      ASSERT_NE(c, nullptr);
      expect_permissions(upper, c);
    }
  }
}

TEST_F(RealProxies, TheProxiesRefusalsEndTheAttemptWithTheirTexts) {
  const Login wrong{"alice", "n0t-her-pa55"};
  const std::string socks_at = "127.0.0.1:" + std::to_string(proxies.socks_login.port());
  struct Case {
    const char* what;
    zn_proxy_params proxy;
    std::string text;
  };
  const Case cases[] = {
      {"HTTP without the login it requires", record(proxies.http_login.port(), kProxyHttp, 1),
       "User authentification required. Proxy answer was: \"HTTP/1.0 407 Proxy Authentication "
       "Required\""},
      {"HTTP with a wrong password",
       record(proxies.http_login.port(), kProxyHttpLogin, 1, wrong),
       "Wrong user name or password set. Proxy answer was: \"HTTP/1.0 401 Unauthorized\""},
      {"SOCKS5 without the login it requires",
       record(proxies.socks_login.port(), kProxySocks5, 1),
       "Mode without identification not supported by SOCKS server " + socks_at},
      {"SOCKS5 with a wrong password",
       record(proxies.socks_login.port(), kProxySocks5Login, 1, wrong),
       "Error during negotiations with SOCKS server " + socks_at + " occur"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Upper& upper = make_upper();
    ASSERT_NE(connect_with_record(upper, k.proxy), nullptr);
    expect_refusal(upper, k.text);
    // No failure text carries a password, in clear or encoded.
    for (const char* secret : {"n0t-her-pa55", "bjB0LWhlci1wYTU1", "YWxpY2U6bjB0"}) {
      EXPECT_EQ(upper.closing_error().find(secret), std::string::npos);
    }
  }
}

// Mode 0 without a prompt of the test's own: the name and password dialog is
// asked for on the connection thread and runs on the user-interface thread.
TEST_F(RealProxies, TheLoginDialogRunsForTheConnectionThread) {
  {
    // No user-interface thread: the dialog is cancelled, and so is the
    // attempt, without a proxy text.
    Upper& upper = make_upper();
    ASSERT_NE(connect_with_record(upper, record(proxies.socks_login.port(), kProxySocks5Login, 0)),
              nullptr);
    ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
    EXPECT_EQ(upper.closing_error(), "");
  }

  ui::HeadlessUi session;
  platform::Event answered(platform::Event::Reset::automatic);
  for (ProxyDaemon* daemon : {&proxies.http_login, &proxies.socks_login}) {
    SCOPED_TRACE(daemon->port());
    session.script().on_dialog(u"PROXY_NAME_PASSWORD_DIALOG_0X09_0X01", [&](ui::DialogDriver& d) {
      d.set_text(1202, u"alice");
      d.set_text(1203, u"s3cret");
      d.click(ui::id::ok);
      answered.set();
    });
    const uint32_t protocol = daemon == &proxies.http_login ? kProxyHttpLogin : kProxySocks5Login;
    Upper& upper = make_upper();
    zn_tcp_connection* c = connect_with_record(upper, record(daemon->port(), protocol, 0));
    ASSERT_NE(c, nullptr);
    platform::Waitable* const waits[] = {&answered};
    ASSERT_EQ(ui::wait_pumping(waits, 10000).status, platform::WaitStatus::signaled);
    expect_permissions(upper, c);
  }
  EXPECT_TRUE(session.script().all_used());
}

}  // namespace
}  // namespace kelda::dtcp::testing
