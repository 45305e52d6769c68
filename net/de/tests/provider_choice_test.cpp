// Choosing and configuring crypto providers through the protocol library's
// forwarders, the transport and the dispatcher with the test plug-ins: the
// providers dialog answered by a script (a default, a provider for a
// settings file, the provider asked for at connect), the provider's own
// settings dialog, the proxy settings dialog, and whether data is signed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cipherhub/cpapi.h"
#include "event_log.h"
#include "platform/module.h"
#include "platform/sync.h"
#include "server_double/server_double.h"
#include "testplugins/probe.h"
#include "testsupport/test_dir.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/testing.h"
#include "zn_de/zn_de.h"

namespace sd = kelda::server_double;
namespace ui = kelda::ui;

namespace {

using Kind = ui::ScriptedServices::Asked::Kind;

const char16_t* const kProvidersDialog = u"CONFIG_CRYPTO_PROVIDERS_DIALOG_0X09_0X01";
constexpr int kProviderList = 1002;
const std::u16string kNullLine = u"Null [NullCipher]";
const std::u16string kSignerLine = u"Signer [FakeSigner]";
const std::u16string kDualLine = u"Dual [DualProvider.provider-name-long]";

// "Не указан криптопровайдер шифрования" and "... подписи", code page 1251.
const std::string kNoCipherProvider =
    "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED \xEA\xF0\xE8\xEF\xF2\xEE\xEF\xF0\xEE\xE2\xE0\xE9\xE4\xE5"
    "\xF0 \xF8\xE8\xF4\xF0\xEE\xE2\xE0\xED\xE8\xFF";
const std::string kNoSignProvider =
    "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED \xEA\xF0\xE8\xEF\xF2\xEE\xEF\xF0\xEE\xE2\xE0\xE9\xE4\xE5"
    "\xF0 \xEF\xEE\xE4\xEF\xE8\xF1\xE8";

MessageLayout g_int32[] = {0, ZN_FIELD_INT32, 0};
MessageLayout g_empty[] = {0, 0};
MessageLayoutEntry g_registry[] = {{SN_PERMS, g_int32, 0},
                                   {ZN_MSG_PING, g_empty, 0},
                                   {ZN_MSG_PONG, g_empty, 0},
                                   {ZN_MSG_LOGOUT, g_empty, 0},
                                   {0, nullptr, 0}};
MessageHandlerEntry g_handlers[] = {{0, nullptr}};

using Events = kelda::de::testing::EventLog;

std::vector<std::u16string> lines(const ui::DialogDriver& d) {
  std::vector<std::u16string> out;
  const ui::Hwnd list = d.item(kProviderList);
  for (LRESULT i = 0, n = ui::send_message(list, ui::lb::get_count); i < n; ++i) {
    std::u16string text(
        static_cast<std::size_t>(ui::send_message(list, ui::lb::get_text_len, i)), u'\0');
    ui::send_message(list, ui::lb::get_text, i, reinterpret_cast<LPARAM>(text.data()));
    out.push_back(text);
  }
  return out;
}

bool listed(const std::vector<std::u16string>& all, const std::u16string& line) {
  return std::find(all.begin(), all.end(), line) != all.end();
}

bool file_has_line(const std::string& file, const std::string& line) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return false;
  return ("\n" + kelda::test::read_file_bytes(file)).find("\n" + line + "\r\n") !=
         std::string::npos;
}

// The call record of a test plug-in as the dispatcher loaded it.
const TestPluginCall& last_call(const char* plugin) {
  const kelda::platform::Module module =
      kelda::platform::Module::load(std::string(plugin) + ".DLL", this_module_anchor());
  return *module.function<TestPlugin_LastCall_fn*>("TestPlugin_LastCall")();
}

zn_crypto_params crypto_params(uint32_t selection_mode, const std::string& ini, bool cipher) {
  zn_crypto_params p{};
  p.version = 1;
  p.open_context = cipher ? 1 : 0;
  p.selection_mode = selection_mode;
  std::snprintf(p.ini_path, sizeof p.ini_path, "%s", ini.c_str());
  p.provider_words[4] = cipher ? 4 : 1;  // a channel context, or a signing one
  p.provider_words[5] = 2;
  return p;
}

// The transport and the dispatcher are started from the library's settings
// file for each test and ended after it (zn_init could start them only once
// per process).
class ProviderChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    kelda::test::write_file_bytes(own,
                                  "[CryptoProviders]\r\nNull=1\r\nSigner=1\r\nDual=1\r\n"
                                  "[Null]\r\nModule=NullCipher.DLL\r\nIniFile=\r\n"
                                  "[Signer]\r\nModule=FakeSigner.DLL\r\nIniFile=signer.ini\r\n"
                                  "[Dual]\r\nModule=DualProvider.DLL\r\n");
    char error[1024] = "";
    ASSERT_EQ(zn_tcp_init(own.c_str(), 0, 0, 0, 0, 0, 0, 0, 0, error, sizeof error), 1) << error;
  }
  void TearDown() override { zn_tcp_fin(); }

  zn_connection* connect(const zn_crypto_params& crypto, uint16_t port, Events& events,
                         char* error, uint32_t error_size) {
    zn_conn_params params{1, 30, sd::ServerDouble::address(), port, nullptr};
    zn_conn_setup setup{};
    setup.mode = ZN_SETUP_RECORD;
    setup.params = &params;
    return zn_connect_ex(g_handlers, g_registry, "choice", nullptr, &crypto, 0, 0, 0, 0, &setup,
                         &Events::callback, reinterpret_cast<uintptr_t>(&events), 0, 0, 0, 0,
                         error, error_size);
  }

  const std::string own = (kelda::test::test_dir() / "KeldaMobile.txt").string();
  const std::string settings = (kelda::test::test_dir() / "session.ini").string();
};

class ProviderChoiceOnScreen : public ProviderChoice {
 protected:
  ui::HeadlessUi session;
  ui::ScriptedServices& script = session.script();
};

TEST_F(ProviderChoiceOnScreen, TheUserPicksADefaultOrAProviderForASettingsFile) {
  using Pick = std::function<int32_t(char*, uint32_t, char*, uint32_t)>;
  using ReadBack = std::function<int32_t(char*, uint32_t)>;
  struct Case {
    const char* what;
    Pick pick;
    bool cipher;
    std::u16string line;
    const char* name;
    std::string file;
    const char* key;
    ReadBack read_back;
  };
  const std::string& file = settings;
  const Case cases[] = {
      {"default cipher",
       [](char* n, uint32_t s, char* e, uint32_t es) {
         return zn_set_default_cipher_crypto_provider(0, n, s, e, es);
       },
       true, kNullLine, "NullCipher", own, "DefaultCipherCryptoProvider=Null",
       [](char* n, uint32_t s) { return zn_get_default_cipher_crypto_provider(n, s, nullptr, 0); }},
      {"default sign",
       [](char* n, uint32_t s, char* e, uint32_t es) {
         return zn_set_default_sign_crypto_provider(0, n, s, e, es);
       },
       false, kSignerLine, "FakeSigner", own, "DefaultSignCryptoProvider=Signer",
       [](char* n, uint32_t s) { return zn_get_default_sign_crypto_provider(n, s, nullptr, 0); }},
      {"cipher for a file",
       [&](char* n, uint32_t s, char* e, uint32_t es) {
         return zn_select_cipher_crypto_provider(file.c_str(), 0, n, s, e, es);
       },
       true, kDualLine, "DualProvider.provider-name-long", file, "CipherCryptoProvider=Dual",
       [&](char* n, uint32_t s) {
         return zn_get_cipher_crypto_provider(n, s, file.c_str(), nullptr, 0);
       }},
      {"sign for a file",
       [&](char* n, uint32_t s, char* e, uint32_t es) {
         return zn_select_sign_crypto_provider(file.c_str(), 0, n, s, e, es);
       },
       false, kSignerLine, "FakeSigner", file, "SignCryptoProvider=Signer",
       [&](char* n, uint32_t s) {
         return zn_get_sign_crypto_provider(n, s, file.c_str(), nullptr, 0);
       }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    script.on_dialog(kProvidersDialog, [&](ui::DialogDriver& d) {
      const std::vector<std::u16string> all = lines(d);
      // Only providers of the asked kind are offered.
      EXPECT_EQ(listed(all, kNullLine), k.cipher);
      EXPECT_EQ(listed(all, kSignerLine), !k.cipher);
      ASSERT_TRUE(d.choose(kProviderList, k.line));
      d.click(ui::id::ok);
    });
    char name[64] = "";
    char error[256] = "untouched";
    ASSERT_EQ(k.pick(name, sizeof name, error, sizeof error), 1);
    EXPECT_STREQ(name, k.name);
    EXPECT_STREQ(error, "untouched");
    EXPECT_TRUE(file_has_line(k.file, k.key)) << kelda::test::read_file_bytes(k.file);
    char again[64] = "";
    EXPECT_EQ(k.read_back(again, sizeof again), 1);
    EXPECT_STREQ(again, k.name);
  }
  // A choice for a file changes no default, a default no other file.
  EXPECT_EQ(kelda::test::read_file_bytes(settings).find("Default"), std::string::npos);
  EXPECT_FALSE(file_has_line(own, "CipherCryptoProvider=Null"));

  // Cancelled: 0 with an empty text, the buffer and the files as they were.
  const std::string own_before = kelda::test::read_file_bytes(own);
  const std::string settings_before = kelda::test::read_file_bytes(settings);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    script.on_dialog(kProvidersDialog, [](ui::DialogDriver& d) { d.click(ui::id::cancel); });
    char name[64] = "FakeSigner";
    char error[256] = "stale";
    EXPECT_EQ(k.pick(name, sizeof name, error, sizeof error), 0);
    EXPECT_STREQ(name, "FakeSigner");
    EXPECT_STREQ(error, "");
  }
  EXPECT_EQ(kelda::test::read_file_bytes(own), own_before);
  EXPECT_EQ(kelda::test::read_file_bytes(settings), settings_before);
  EXPECT_TRUE(script.all_used());
}

TEST_F(ProviderChoice, ConfiguringRunsTheProvidersOwnDialog) {
  struct Case {
    const char* name;
    const char* ini;
    int32_t result;
    const char* error;
    const char* file_seen;  // by the provider
  };
  const Case cases[] = {
      {"FakeSigner", "other.ini", 1, "", "other.ini"},
      {"fakesigner", nullptr, 1, "", "signer.ini"},
      {"NullCipher", nullptr, 0, "Crypto provider \"NullCipher\" can not be configured", nullptr},
      {"Nobody", nullptr, 0, "Crypto provider \"Nobody\" not installed", nullptr},
      {nullptr, nullptr, 0, "Wrong input params was set.", nullptr},
  };
  constexpr uintptr_t kOwner = 0x5A5A;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name ? k.name : "(null)");
    char error[256] = "";
    EXPECT_EQ(zn_config_crypto_provider(k.name, k.ini, kOwner, 0, 0, 0, 0, error, sizeof error),
              k.result);
    EXPECT_STREQ(error, k.error);
    if (k.file_seen) {
      const TestPluginCall& call = last_call("FakeSigner");
      EXPECT_STREQ(call.entry, "CPAPI_ConfigCryptoProvider");
      EXPECT_EQ(call.args[0], kOwner);
      EXPECT_STREQ(call.text, k.file_seen);
    }
  }
}

TEST_F(ProviderChoice, AProviderChoiceThatCannotBeWrittenFailsWithAText) {
  const std::string unwritable = (kelda::test::test_dir() / "missing" / "session.ini").string();
  for (auto* set : {&zn_set_cipher_crypto_provider, &zn_set_sign_crypto_provider}) {
    char error[512] = "stale";
    EXPECT_EQ(set("Null", unwritable.c_str(), error, sizeof error), 0);
    EXPECT_NE(std::string(error).find(unwritable), std::string::npos) << error;
  }
  char error[512] = "";
  EXPECT_EQ(zn_set_cipher_crypto_provider("Null", settings.c_str(), error, sizeof error), 1);
  EXPECT_TRUE(file_has_line(settings, "CipherCryptoProvider=Null"));
}

TEST_F(ProviderChoice, TheSignProviderSaysWhetherDataIsSigned) {
  kelda::test::write_file_bytes(settings, "[CryptoProvidersSettings]\r\nSignCryptoProvider=Signer\r\n");
  const zn_crypto_params signing = crypto_params(2, settings, false);
  char error[256] = "";
  zn_sign_context* signer =
      zn_init_crypto_sign_context(0, 0, 0, &signing, 0, 0, 0, 0, 0, error, sizeof error);
  ASSERT_NE(signer, nullptr) << error;

  const CpapiSignedData split{CP_SIGNED_DATA_TAG, 1, nullptr, 0, nullptr, 0};
  struct Case {
    std::string data;
    int32_t result;
  };
  for (const Case& k : {Case{"ORDER|signed", 1}, Case{"ORDER", 0}}) {
    SCOPED_TRACE(k.data);
    EXPECT_EQ(zn_is_data_signed(signer, k.data.data(), static_cast<uint32_t>(k.data.size()),
                                &split, 0, 0, 0, error, sizeof error),
              k.result);
    const TestPluginCall& call = last_call("FakeSigner");
    EXPECT_STREQ(call.entry, "CPAPI_IsDataSigned");
    EXPECT_EQ(call.args[2], k.data.size());
    EXPECT_EQ(call.args[3], reinterpret_cast<uintptr_t>(&split));
  }
  EXPECT_EQ(zn_is_data_signed(signer, nullptr, 3, nullptr, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong input params was set.");

  ASSERT_EQ(zn_delete_crypto_sign_context(signer, 0, 0, 0, 0, error, sizeof error), 1) << error;
  struct Refusal {
    zn_sign_context* context;
    const char* text;
  };
  for (const Refusal& r : {Refusal{signer, "Wrong sign context handle info was set."},
                           Refusal{nullptr,
                                   "Wrong sign context handle info was set, sign contexts list "
                                   "is empty."}}) {
    EXPECT_EQ(zn_is_data_signed(r.context, "x|signed", 8, nullptr, 0, 0, 0, error, sizeof error),
              0);
    EXPECT_STREQ(error, r.text);
  }
}

// A signing context deleted while a call on another thread still signs with
// it: the call finishes with it, and the provider's context goes after.
TEST_F(ProviderChoice, ADeletedSigningContextLastsUntilItsRunningCallEnds) {
  kelda::test::write_file_bytes(settings, "[CryptoProvidersSettings]\r\nSignCryptoProvider=Signer\r\n");
  const zn_crypto_params signing = crypto_params(2, settings, false);
  char error[256] = "";
  zn_sign_context* signer =
      zn_init_crypto_sign_context(0, 0, 0, &signing, 0, 0, 0, 0, 0, error, sizeof error);
  ASSERT_NE(signer, nullptr) << error;
  const kelda::platform::Module plugin =
      kelda::platform::Module::load("FakeSigner.DLL", this_module_anchor());
  auto* wait_held = plugin.function<int32_t (*)()>("FakeSigner_WaitHeld");
  auto* release = plugin.function<void (*)()>("FakeSigner_Release");
  auto* calls = plugin.function<TestPlugin_CallCount_fn*>("TestPlugin_CallCount");
  ASSERT_TRUE(wait_held && release && calls);
  const int32_t frees_before = calls("CPAPI_FreeCryptoContext");

  void* output = nullptr;
  uint32_t output_length = 0;
  int32_t signed_result = 0;
  char signing_error[256] = "";
  std::thread caller([&] {
    signed_result = zn_sign_data(signer, "HOLD", 4, &output, &output_length, 0, 0, 0, 0,
                                 signing_error, sizeof signing_error);
  });
  EXPECT_EQ(wait_held(), 1);
  EXPECT_EQ(zn_delete_crypto_sign_context(signer, 0, 0, 0, 0, error, sizeof error), 1);
  EXPECT_EQ(calls("CPAPI_FreeCryptoContext"), frees_before) << "freed under the running call";
  EXPECT_EQ(zn_sign_data(signer, "x", 1, &output, &output_length, 0, 0, 0, 0, error,
                         sizeof error),
            0);
  EXPECT_STREQ(error, "Wrong sign context handle info was set.");
  release();
  caller.join();
  ASSERT_EQ(signed_result, 1) << signing_error;
  EXPECT_EQ(std::string(static_cast<char*>(output), output_length), "HOLD|signed");
  zn_free_mem(output);
  EXPECT_EQ(calls("CPAPI_FreeCryptoContext"), frees_before + 1);
}

// Selection mode 3 asks the user. The client library connects from its own
// thread, so the dialog is asked for there and runs on the user-interface
// thread while the connect call waits; the library answers other calls
// meanwhile. The signing context is opened here, on the user-interface
// thread itself.
TEST_F(ProviderChoiceOnScreen, ModeThreeConnectsWithTheProviderTheUserPicked) {
  bool answered_meanwhile = false;
  std::future<bool> call;  // outlives the dialog, which a held call waits for
  script.on_dialog(kProvidersDialog, [&](ui::DialogDriver& d) {
    // On a thread of its own, so that a call held up by the connect fails
    // the wait instead of hanging the dialog.
    call = std::async(std::launch::async, [] {
      char error[256] = "";
      return zn_getstataddr(nullptr, error, sizeof error) == nullptr && zn_is_initialized() >= 0;
    });
    answered_meanwhile = call.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    const std::vector<std::u16string> all = lines(d);
    EXPECT_TRUE(listed(all, kNullLine));
    EXPECT_FALSE(listed(all, kSignerLine));
    ASSERT_TRUE(d.choose(kProviderList, kNullLine));
    d.click(ui::id::ok);
  });
  sd::ServerDouble server;
  const zn_crypto_params crypto = crypto_params(3, settings, true);
  Events events;
  char error[1024] = "";
  zn_connection* c = nullptr;
  kelda::platform::Event connected(kelda::platform::Event::Reset::manual);
  std::thread worker([&] {
    c = connect(crypto, server.port(), events, error, sizeof error);
    connected.set();
  });
  kelda::platform::Waitable* const waits[] = {&connected};
  const auto waited = ui::wait_pumping(waits, 10000).status;
  worker.join();
  EXPECT_TRUE(answered_meanwhile) << "the library's calls waited for the connect's dialog";
  ASSERT_EQ(waited, kelda::platform::WaitStatus::signaled);
  ASSERT_NE(c, nullptr) << error;
  EXPECT_TRUE(call.get());
  EXPECT_TRUE(file_has_line(settings, "CipherCryptoProvider=Null"));

  std::unique_ptr<sd::Session> peer = server.accept();
  ASSERT_TRUE(peer);
  sd::HandshakeScript handshake;
  handshake.permissions = 1;
  const std::optional<sd::HandshakeResult> result = peer->handshake(handshake);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->provider_id, 100u);  // the null cipher's
  ASSERT_TRUE(events.wait_for(ZN_EVENT_PERMISSIONS));
  int32_t provider_id = 0;
  char name[64] = "";
  ASSERT_EQ(zn_get_connection_cipher_crypto_provider_info(c, &provider_id, name, sizeof name, 0,
                                                          0, 0, 0, 0, 0, 0, 0, 0, 0, error,
                                                          sizeof error),
            1);
  EXPECT_STREQ(name, "NullCipher");

  script.on_dialog(kProvidersDialog, [](ui::DialogDriver& d) {
    EXPECT_FALSE(listed(lines(d), kNullLine));
    ASSERT_TRUE(d.choose(kProviderList, kSignerLine));
    d.click(ui::id::ok);
  });
  const zn_crypto_params signing = crypto_params(3, settings, false);
  zn_sign_context* signer =
      zn_init_crypto_sign_context(0, 0, 0, &signing, 0, 0, 0, 0, 0, error, sizeof error);
  ASSERT_NE(signer, nullptr) << error;
  EXPECT_TRUE(file_has_line(settings, "SignCryptoProvider=Signer"));
  void* signed_text = nullptr;
  uint32_t signed_length = 0;
  ASSERT_EQ(zn_sign_data(signer, "ORDER", 5, &signed_text, &signed_length, 0, 0, 0, 0, error,
                         sizeof error),
            1)
      << error;
  EXPECT_EQ(std::string(static_cast<char*>(signed_text), signed_length), "ORDER|signed");
  zn_free_mem(signed_text);
  EXPECT_EQ(zn_delete_crypto_sign_context(signer, 0, 0, 0, 0, error, sizeof error), 1);

  ASSERT_EQ(zn_disconnect(c, 0, error, sizeof error), 1) << error;
  EXPECT_TRUE(events.wait_for(ZN_EVENT_FREEING));
  EXPECT_TRUE(script.all_used());
}

// Cancelled, by the user or for want of a user-interface thread: no
// provider, so neither a connection nor a signing context, and nothing is
// written.
TEST_F(ProviderChoice, ModeThreeCancelledLeavesNoProvider) {
  for (const bool screen : {false, true}) {
    SCOPED_TRACE(screen ? "cancelled by the user" : "no user-interface thread");
    std::optional<ui::HeadlessUi> session;
    if (screen) session.emplace();
    Events events;
    char error[1024] = "";
    EXPECT_EQ(connect(crypto_params(3, settings, true), 1, events, error, sizeof error), nullptr);
    EXPECT_EQ(error, kNoCipherProvider);
    const zn_crypto_params signing = crypto_params(3, settings, false);
    EXPECT_EQ(zn_init_crypto_sign_context(0, 0, 0, &signing, 0, 0, 0, 0, 0, error, sizeof error),
              nullptr);
    EXPECT_EQ(error, kNoSignProvider);
    if (session) {
      EXPECT_EQ(session->script().asked(Kind::modal_dialog).size(), 2u);
    }
    EXPECT_TRUE(events.empty());
  }
  std::error_code ec;
  EXPECT_FALSE(std::filesystem::exists(settings, ec));
}

TEST_F(ProviderChoiceOnScreen, TheProxyDialogEditsTheGivenRecordAndFile) {
  zn_proxy_params proxy{1, 1, 0x0100007F, 3128, 1, 1, "name", "password"};
  script.on_dialog(u"PROXY_CFG_DIALOG_0X09_0X01", [](ui::DialogDriver& d) { d.click(ui::id::ok); });
  EXPECT_EQ(zn_config_proxy_settings(0, own.c_str(), &proxy, 0, 0, 0, 0), 1);
  EXPECT_TRUE(file_has_line(own, "proxy-server-ip-address=127.0.0.1"));
  EXPECT_TRUE(file_has_line(own, "proxy-port=3128"));

  const std::string before = kelda::test::read_file_bytes(own);
  script.on_dialog(u"PROXY_CFG_DIALOG_0X09_0X01",
                   [](ui::DialogDriver& d) { d.click(ui::id::cancel); });
  EXPECT_EQ(zn_config_proxy_settings(0, own.c_str(), &proxy, 0, 0, 0, 0), 0);
  EXPECT_EQ(kelda::test::read_file_bytes(own), before);
}

}  // namespace
