// Every way a scripted server can fail the connection, with the last error
// text the upper layer reads when the link closes. One row per text.
#include <cstdio>
#include <thread>

#include "testsupport/test_dir.h"

#include "harness.h"

namespace sd = kelda::server_double;

namespace kelda::dtcp::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using Script = std::function<void(sd::Session&)>;

const Bytes kFrameHead = {0xFF, 0xFF, 0, 0, 0, 1, 'A', 'S', 'T', 'A'};

Bytes frame(std::initializer_list<uint8_t> rest) {
  Bytes b = kFrameHead;
  b.insert(b.end(), rest);
  return b;
}

void to_locale(sd::Session& s) {
  s.read_provider_request();
  s.answer_provider(4, true);
  s.read_locale_request();
}

void to_data_mode(sd::Session& s) {
  sd::HandshakeScript script;
  script.permissions.reset();
  s.handshake(script);
}

struct Case {
  const char* what;
  uint32_t check_timeout;
  std::function<void(FakeCrypto&, Upper&)> prepare;
  Script script;
  std::string text;
};

const std::string kNotFound =
    "Application error: Server with mentioned IP-address and port not found. Possibly you try to "
    "connect in non-work unit or use wrong IP-address or port.";

class FailureTexts : public TransportTest {};

TEST_F(FailureTexts, EachFailureClosesTheLinkWithItsText) {
  const std::vector<Case> cases = {
      {"server closes after the provider request", 0, nullptr,
       [](sd::Session& s) {
         s.read_provider_request();
         s.drop();
       },
       kNotFound},
      {"server answers with a data block", 0, nullptr,
       [](sd::Session& s) {
         s.read_provider_request();
         s.write(Bytes{0x00, 0x02, 1, 2});
       },
       kNotFound},
      {"provider refused", 0, nullptr,
       [](sd::Session& s) {
         s.read_provider_request();
         s.answer_provider(4, false);
       },
       "Application error: Cipher crypto provider \"Sekura32\" not supported by server."},
      {"provider id mismatch", 0, nullptr,
       [](sd::Session& s) {
         s.read_provider_request();
         s.answer_provider(9, true);
       },
       "Application error: Wait for cipher crypto provider identifier: wrong value received - 9"},
      {"answer id other than the provider's", 0, nullptr,
       [](sd::Session& s) {
         s.read_provider_request();
         s.write(frame({0, 0, 0, 2, 0, 0, 0, 1, 'A', 'F', 'I', 'N'}));
       },
       "Application error: Wait for ZN_CHIPER_CRYPTO_PROVIDER_ID: wrong value received - 2"},
      {"accepted word neither 0 nor 1", 0, nullptr,
       [](sd::Session& s) {
         s.read_provider_request();
         s.write(frame({0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 7, 'A', 'F', 'I', 'N'}));
       },
       "Application error: Wait for ZN_ACCEPTED or ZN_NOT_SUPPORTED magic: wrong value received - "
       "7"},
      {"locale refused", 0, nullptr,
       [](sd::Session& s) {
         to_locale(s);
         s.answer_locale(false);
       },
       "Application error: Locale info: LanguageId 9, SubLanguageId 1, LanguageDialectId 1 not "
       "supported by server."},
      {"locale answer without its marker", 0, nullptr,
       [](sd::Session& s) {
         to_locale(s);
         s.write(Bytes{0x00, 0x05});
       },
       "Application error: Wait for begin locale info request answer: received wrong size value "
       "5"},
      {"server stalls before the locale answer", 3, nullptr,
       [](sd::Session& s) {
         to_locale(s);
         s.wait_closed(2000);
       },
       "Timeout has expired. Connection with server was lost.: Wait for begin locale info request "
       "answer: "},
      {"provider fails the key exchange", 0,
       [](FakeCrypto& c, Upper&) { c.steps = {{kHandshakeError, {}}}; },
       [](sd::Session& s) {
         to_locale(s);
         s.answer_locale(true);
         s.wait_closed(2000);
       },
       "Crypto error: provider refused the key exchange"},
      {"key exchange block too long for 2-byte prefixes", 0,
       [](FakeCrypto& c, Upper&) { c.steps = {{kHandshakeOutput, Bytes(65535, 1)}}; },
       [](sd::Session& s) {
         to_locale(s);
         s.answer_locale(true);
         s.wait_closed(2000);
       },
       "Crypto error: Key exchange block of 65535 bytes is longer than a block of the connection "
       "can be"},
      {"server error during the key exchange", 0,
       [](FakeCrypto& c, Upper&) { c.steps = {{kHandshakeNeedInput, {}}}; },
       [](sd::Session& s) {
         to_locale(s);
         s.answer_locale(true);
         s.read_check_timeout();
         s.send_error_frame(17, "unregistered keys");
         s.wait_closed(2000);
       },
       "Application error: unregistered keys"},
      {"upper layer refuses the negotiation", 0,
       [](FakeCrypto&, Upper& u) {
         u.answers[ZN_TCP_EVENT_NEGOTIATE] = [](int32_t&, const void*, uint32_t) { return -1; };
       },
       [](sd::Session& s) {
         to_locale(s);
         s.answer_locale(true);
         s.wait_closed(2000);
       },
       "Application error: When notify about receiving new data from net, TCP callback return "
       "negative value."},
      {"upper layer refuses a data block", 0,
       [](FakeCrypto&, Upper& u) {
         u.answers[ZN_TCP_EVENT_DATA] = [](int32_t&, const void*, uint32_t) { return -1; };
       },
       [](sd::Session& s) {
         to_data_mode(s);
         s.send_block(Bytes{1});
         s.wait_closed(2000);
       },
       "Application error: When notify about receiving new data from net, TCP callback return "
       "negative value."},
      {"upper layer refuses a stored block", 0,
       [](FakeCrypto&, Upper& u) {
         u.answers[ZN_TCP_EVENT_STORED] = [](int32_t&, const void*, uint32_t) { return -1; };
       },
       [](sd::Session& s) {
         to_data_mode(s);
         s.send_block(Bytes{1});
         s.wait_closed(2000);
       },
       "Application error: When notify about storing new data from net, TCP callback return "
       "negative value."},
      {"block that does not decrypt", 0, [](FakeCrypto& c, Upper&) { c.fail_decrypt = true; },
       [](sd::Session& s) {
         to_data_mode(s);
         s.send_block(Bytes{1});
         s.wait_closed(2000);
       },
       "Crypto error: decryption failed"},
      {"server error text of a size no server sends", 0, nullptr,
       [](sd::Session& s) {
         to_data_mode(s);
         s.send_server_frame(1, 3, 5, 0x7FFFFFFF, {});
         s.wait_closed(2000);
       },
       "Application error: Read error message: Wait for error message size but received wrong "
       "value - 2147483647"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    crypto->steps.clear();
    crypto->fail_decrypt = false;
    Upper& upper = make_upper();
    if (k.prepare) k.prepare(*crypto, upper);
    sd::ServerDouble server;
    ASSERT_NE(connect(upper, server.port(), k.check_timeout), nullptr);
    std::unique_ptr<sd::Session> session = server.accept();
    ASSERT_TRUE(session);
    k.script(*session);
    ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
    EXPECT_EQ(upper.closing_error(), k.text);
    std::vector<int32_t> codes = upper.event_codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), ZN_TCP_EVENT_CLOSED), 1);
  }
}

TEST_F(FailureTexts, NoServerListeningIsANetError) {
  uint16_t port = 0;
  {
    sd::ServerDouble probe;  // a port that was free a moment ago
    port = probe.port();
  }
  Upper& upper = make_upper();
  ASSERT_NE(connect(upper, port), nullptr);
  ASSERT_TRUE(upper.wait_for(ZN_TCP_EVENT_FREEING));
  EXPECT_EQ(upper.closing_error().rfind("Net error: ", 0), 0u) << upper.closing_error();
  EXPECT_EQ(upper.event_codes(), (std::vector<int32_t>{ZN_TCP_EVENT_CLOSED, ZN_TCP_EVENT_FREEING}));
}

TEST_F(FailureTexts, ConnectionSetupRefusals) {
  zn_conn_params params{1, 0, sd::ServerDouble::address(), 1, nullptr};
  zn_crypto_params crypto_params{};
  crypto_params.version = 1;
  struct Row {
    const char* what;
    uint32_t crypto_version;
    zn_conn_setup setup;
    zn_tcp_event_callback callback;
    std::string text;
  };
  zn_conn_setup record{};
  record.mode = ZN_SETUP_RECORD;
  record.params = &params;
  zn_conn_setup bad_record = record;
  static zn_conn_params version2{2, 0, 0, 0, nullptr};
  bad_record.params = &version2;
  zn_conn_setup no_callback{};
  no_callback.mode = ZN_SETUP_CALLBACK;
  zn_conn_setup refusing_callback = no_callback;
  refusing_callback.callback = [](uintptr_t, zn_conn_params**) -> int32_t { return 0; };
  zn_conn_setup mode9{};
  mode9.mode = 9;
  const std::vector<Row> rows = {
      {"crypto record of version 2", 2, record, &Upper::callback,
       "Wrong parameters for connection initialization."},
      {"no event callback", 1, record, nullptr, "TCP tcp_connection callback function was not set"},
      {"parameter record of version 2", 1, bad_record, &Upper::callback,
       "\xCD\xE5\xE2\xE5\xF0\xED\xEE \xF3\xEA\xE0\xE7\xE0\xED\xFB \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0"
       "\xFB \xF1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xFF"},
      {"mode 5 without a callback", 1, no_callback, &Upper::callback,
       "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED \xE0\xE4\xF0\xE5\xF1 \xF4\xF3\xED\xEA\xF6\xE8\xE8 \xEE"
       "\xE1\xF0\xE0\xF2\xED\xEE\xE3\xEE \xE2\xFB\xE7\xEE\xE2\xE0 \xE4\xEB\xFF \xEF\xEE\xEB\xF3"
       "\xF7\xE5\xED\xE8\xFF \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xEE\xE2 \xF1\xEE\xE5\xE4\xE8\xED"
       "\xE5\xED\xE8\xFF"},
      {"mode 5 callback gives nothing", 1, refusing_callback, &Upper::callback,
       "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED\xFB \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB \xF1\xEE\xE5"
       "\xE4\xE8\xED\xE5\xED\xE8\xFF"},
      {"unknown mode", 1, mode9, &Upper::callback,
       "\xD1\xEF\xEE\xF1\xEE\xE1 \xF3\xF1\xF2\xE0\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF \xF1\xEE\xE5"
       "\xE4\xE8\xED\xE5\xED\xE8\xFF 9 \xED\xE5 \xEF\xEE\xE4\xE4\xE5\xF0\xE6\xE8\xE2\xE0\xE5\xF2"
       "\xF1\xFF"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    crypto_params.version = row.crypto_version;
    char error[512] = "";
    Upper& upper = make_upper();
    uint32_t number = 0;
    EXPECT_EQ(zn_tcp_connect("x", &number, 0, 0, 0, &crypto_params, 0, 2, 1, &row.setup,
                             row.callback, reinterpret_cast<uintptr_t>(&upper), 0, 0, 0, 0, error,
                             sizeof error),
              nullptr);
    EXPECT_EQ(std::string(error), row.text);
    EXPECT_EQ(number, 0u);  // no connection number consumed
  }
}

}  // namespace
}  // namespace kelda::dtcp::testing

namespace kelda::dtcp::testing {
namespace {

TEST_F(FailureTexts, SettingsFileSetUp) {
  struct Row {
    const char* what;
    std::string connect_section;
    std::string text;  // empty: the connection is made
  };
  sd::ServerDouble server;
  const std::string port = std::to_string(server.port());
  const std::vector<Row> rows = {
      {"no address", "port=" + port + "\r\n", "INI-file \"%s\". Can't read trade server IP address"},
      {"a host name in place of the address", "trade-server-ip-address=localhost\r\nport=" + port +
       "\r\n", "INI-file \"%s\". Not valid trade server IP address set: \"localhost\""},
      {"port 0", "trade-server-ip-address=127.0.0.1\r\nport=0\r\n",
       "INI-file \"%s\". Can't read trade server port"},
      {"a complete section", "trade-server-ip-address = 127.0.0.1\r\nport = " + port +
       "\r\ncheck-tmo=7\r\n", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = (::kelda::test::test_dir() / "settings.ini").string();
    ::kelda::test::write_file_bytes(path, "[connect]\r\n" + row.connect_section);
    zn_conn_setup setup{};
    setup.mode = ZN_SETUP_INI;
    std::snprintf(setup.ini_path, sizeof setup.ini_path, "%s", path.c_str());
    zn_crypto_params crypto_params{};
    crypto_params.version = 1;
    Upper& upper = make_upper();
    char error[1024] = "";
    zn_tcp_connection* c = nullptr;
    {
      std::lock_guard<std::mutex> hold(upper.setup_mutex);
      c = zn_tcp_connect("x", nullptr, 0, 0, 0, &crypto_params, 0, 2, 1, &setup, &Upper::callback,
                         reinterpret_cast<uintptr_t>(&upper), 0, 0, 0, 0, error, sizeof error);
      upper.connection = c;
    }
    if (row.text.empty()) {
      ASSERT_NE(c, nullptr) << error;
      auto session = server.accept();
      ASSERT_TRUE(session);
      sd::HandshakeScript script;
      script.permissions.reset();
      std::optional<sd::HandshakeResult> hs = session->handshake(script);
      ASSERT_TRUE(hs);
      EXPECT_EQ(hs->check_timeout, 3);  // sent by the test's upper layer
      zn_tcp_disconnect(c, 1, error, sizeof error);
    } else {
      EXPECT_EQ(c, nullptr);
      char expected[1024];
      std::snprintf(expected, sizeof expected, row.text.c_str(), path.c_str());
      EXPECT_STREQ(error, expected);
    }
  }
}

}  // namespace
}  // namespace kelda::dtcp::testing
