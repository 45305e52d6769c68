// The shipped libraries together: zn_de over zn_dtcp over the dispatcher,
// with the null-cipher test plug-in named in a settings file, to the server
// double and back; and a signing context of the fake signer plug-in.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "event_log.h"
#include "server_double/server_double.h"
#include "testsupport/test_dir.h"
#include "zn_de/zn_de.h"

namespace sd = kelda::server_double;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kQuote = 0x0410;
MessageLayout g_int32[] = {0, ZN_FIELD_INT32, 0};
MessageLayout g_empty[] = {0, 0};
MessageLayoutEntry g_registry[] = {{SN_PERMS, g_int32, 0},    {ZN_MSG_PING, g_empty, 0},
                                   {ZN_MSG_PONG, g_empty, 0}, {ZN_MSG_LOGOUT, g_empty, 0},
                                   {kQuote, g_int32, 0},      {0, nullptr, 0}};
std::atomic<int32_t> g_quote{0};
void on_quote(uint16_t, const void* record) {
  int32_t v = 0;
  std::memcpy(&v, record, 4);
  g_quote.store(v);
}
MessageHandlerEntry g_handlers[] = {{kQuote, &on_quote}, {0, nullptr}};

using Events = kelda::de::testing::EventLog;

TEST(EndToEnd, NullCipherSessionThroughTheDispatcher) {
  const std::string ini = (kelda::test::test_dir() / "terminal.ini").string();
  kelda::test::write_file_bytes(ini,
                                "[CryptoProviders]\r\nNullCipher=1\r\nFakeSigner=1\r\n"
                                "[NullCipher]\r\nModule=NullCipher.DLL\r\nIniFile=\r\n"
                                "[FakeSigner]\r\nModule=FakeSigner.DLL\r\nIniFile=\r\n"
                                "[CryptoProvidersSettings]\r\nCipherCryptoProvider=NullCipher\r\n"
                                "SignCryptoProvider=FakeSigner\r\n");
  char error[1024] = "";
  ASSERT_EQ(zn_init(ini.c_str(), g_registry, g_handlers, 0, 0, 0, 0, 0, 0, 0, 0, error,
                    sizeof error),
            1)
      << error;

  sd::ServerDouble server;
  zn_conn_params params{1, 30, sd::ServerDouble::address(), server.port(), nullptr};
  zn_conn_setup setup{};
  setup.mode = ZN_SETUP_RECORD;
  setup.params = &params;
  zn_crypto_params crypto{};
  crypto.version = 1;
  crypto.open_context = 1;
  crypto.selection_mode = 2;
  std::snprintf(crypto.ini_path, sizeof crypto.ini_path, "%s", ini.c_str());
  crypto.provider_words[4] = 4;  // a context that names its peer
  crypto.provider_words[5] = 2;
  Events events;
  zn_connection* c = zn_connect_ex(nullptr, nullptr, "end to end", nullptr, &crypto, 0, 0, 0, 0,
                                   &setup, &Events::callback, reinterpret_cast<uintptr_t>(&events),
                                   0, 0, 0, 0, error, sizeof error);
  ASSERT_NE(c, nullptr) << error;
  std::unique_ptr<sd::Session> session = server.accept();
  ASSERT_TRUE(session);
  sd::HandshakeScript script;
  script.permissions = 1;
  std::optional<sd::HandshakeResult> hs = session->handshake(script);
  ASSERT_TRUE(hs);
  EXPECT_EQ(hs->provider_id, 100u);  // the null cipher's id
  EXPECT_EQ(hs->check_timeout, 30);
  ASSERT_TRUE(events.wait_for(ZN_EVENT_PERMISSIONS));

  int32_t provider_id = 0;
  char name[64] = "";
  ASSERT_EQ(zn_get_connection_cipher_crypto_provider_info(c, &provider_id, name, sizeof name, 0,
                                                          0, 0, 0, 0, 0, 0, 0, 0, 0, error,
                                                          sizeof error),
            1);
  EXPECT_EQ(provider_id, 100);
  EXPECT_STREQ(name, "NullCipher");

  Bytes body;
  sd::put32(body, 4242);
  session->send_message(kQuote, body);
  ASSERT_TRUE(events.wait_for(ZN_EVENT_STORED));
  ASSERT_EQ(zn_recvmsg(c, error, sizeof error), 1) << error;
  EXPECT_EQ(g_quote.load(), 4242);

  // A transaction text signed through a signing context of the sign provider.
  zn_crypto_params signing{};
  signing.version = 1;
  signing.selection_mode = 2;
  std::snprintf(signing.ini_path, sizeof signing.ini_path, "%s", ini.c_str());
  signing.provider_words[4] = 1;
  signing.provider_words[5] = 2;
  zn_sign_context* signer = zn_init_crypto_sign_context(0, 0, 0, &signing, 0, 0, 0, 0, 0, error,
                                                        sizeof error);
  ASSERT_NE(signer, nullptr) << error;
  void* signed_text = nullptr;
  uint32_t signed_length = 0;
  ASSERT_EQ(zn_sign_data(signer, "ORDER", 5, &signed_text, &signed_length, 0, 0, 0, 0, error,
                         sizeof error),
            1)
      << error;
  EXPECT_EQ(std::string(static_cast<char*>(signed_text), signed_length), "ORDER|signed");
  zn_free_mem(signed_text);
  EXPECT_EQ(zn_delete_crypto_sign_context(signer, 0, 0, 0, 0, error, sizeof error), 1);
  EXPECT_EQ(zn_delete_crypto_sign_context(signer, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong sign context handle info was set.");

  ASSERT_EQ(zn_sendmsg(c, ZN_MSG_LOGOUT, nullptr, error, sizeof error), 1) << error;
  ASSERT_EQ(zn_disconnect(c, 0, error, sizeof error), 1) << error;
  std::optional<sd::Message> logout = session->read_message();
  ASSERT_TRUE(logout);
  EXPECT_EQ(logout->id, sd::kLogout);
  ASSERT_TRUE(events.wait_for(ZN_EVENT_FREEING));
  zn_tcp_fin();
}

}  // namespace
