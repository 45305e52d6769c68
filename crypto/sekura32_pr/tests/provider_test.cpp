// The plug-in's entry points as the dispatcher calls them: constants and
// parameters, memory, contexts by initialisation mode and key handlers.
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <vector>

#include "plugin_fixture.h"

namespace kelda::sekura32_pr::testing {
namespace {

using ProviderEntries = PluginTest;

TEST_F(ProviderEntries, ConstantsParametersAndHandlesAnswerAsTheDispatcherExpects) {
  EXPECT_EQ(PLUGIN(CPAPI_GetProviderId)(0, 0, 0, 0, nullptr, 0), 1);
  EXPECT_EQ(PLUGIN(CPAPI_GetProviderUsageMode)(0, 0, 0, 0, nullptr, 0), 2);
  EXPECT_EQ(PLUGIN(CPAPI_GetProviderVersion)(0, 0, 0, 0, nullptr, 0), 1);
  EXPECT_STREQ(PLUGIN(CPAPI_GetProviderName)(0, 0, 0, 0, nullptr, 0), "Sekura32");

  char error[128] = "";
  EXPECT_EQ(PLUGIN(CPAPI_SetProviderParam)(1, 0x1234, 0, 0, error, sizeof error), 1);
  uintptr_t value = 0;
  uint32_t size = 0;
  EXPECT_EQ(PLUGIN(CPAPI_GetProviderParam)(1, &value, &size, error, sizeof error), 1);
  EXPECT_EQ(value, 0x1234u);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(PLUGIN(CPAPI_GetProviderParam)(2, &value, &size, error, sizeof error), 0);
  EXPECT_STREQ(error, "Provider parameter with identifier '2' not supported");
  error[0] = '\0';
  EXPECT_EQ(PLUGIN(CPAPI_SetProviderParam)(CP_PARAM_LOCALE, 0x10, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "");
  EXPECT_EQ(PLUGIN(CPAPI_SetProviderParam)(7, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "It's impossible to get parameter with identifier '7'");
  EXPECT_EQ(PLUGIN(CPAPI_SetProviderParam)(2, reinterpret_cast<uintptr_t>(u"sekura32_pr.ini"), 0, 0, error,
                                           sizeof error),
            1);

  EXPECT_EQ(PLUGIN(CPAPI_FreeCryptoContext)(nullptr, 0, 0, 0, 0, error, sizeof error), 1);
  uint32_t forged[16] = {SEKURA32_PR_CONTEXT_TAG};
  auto* not_a_context = reinterpret_cast<CpapiContext*>(forged);
  EXPECT_EQ(PLUGIN(CPAPI_FreeCryptoContext)(not_a_context, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong crypto context info");
  EXPECT_EQ(PLUGIN(CPAPI_SetContextParam)(not_a_context, 1, 2052, 0, 0, error, sizeof error), 0);
  EXPECT_EQ(PLUGIN(CPAPI_GetContextParam)(not_a_context, 1, &value, 0, 0, error, sizeof error), 0);
  // Without an error buffer the initialisation has nowhere to report to.
  EXPECT_EQ(PLUGIN(CPAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, "", 0, 0, 0, 0, nullptr, 0), 0);
}

TEST_F(ProviderEntries, ReallocationKeepsWhatFitsOfTheOldBlock) {
  auto* block = static_cast<char*>(PLUGIN(CPAPI_AllocMemory)(8));
  std::memcpy(block, "abcdefgh", 8);
  block = static_cast<char*>(PLUGIN(CPAPI_ReallocMemory)(block, 4096));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::string(block, 8), "abcdefgh");
  block = static_cast<char*>(PLUGIN(CPAPI_ReallocMemory)(block, 3));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::string(block, 3), "abc");
  EXPECT_EQ(PLUGIN(CPAPI_FreeMemory)(block), 1);
}

int32_t g_callback_calls = 0;
Sekura32ConnectParams g_callback_params;
int32_t answer_params(const cp_provider_record*, uintptr_t value, uintptr_t, uintptr_t, void** out, uint32_t*,
                      char* error, uint32_t size) {
  ++g_callback_calls;
  if (value == 0) {
    std::snprintf(error, size, "refused by the caller");
    return 0;
  }
  *out = value == 1 ? &g_callback_params : nullptr;
  return 1;
}

TEST_F(ProviderEntries, ContextsTakeTheUserFromEachInitialisationModeAndRefuseWhatIsWrong) {
  const std::string ini = (test::test_dir() / "settings.ini").string();
  test::write_file_bytes(ini, "[connect]\r\nuser-name=demo\r\nuser-password=demo\r\nauth-name=KeldaServer\r\n");
  g_callback_params = connect_params("demo", "demo", "KeldaServer");
  std::string error;
  for (int32_t usage : {3, 4}) {
    SCOPED_TRACE(usage);
    CpapiContext* from_file = context_in_mode(usage, 2, nullptr, nullptr, 0, ini, &error);
    ASSERT_NE(from_file, nullptr) << error;
    free_context(from_file);
    CpapiContext* from_callback = context_in_mode(usage, 5, nullptr, &answer_params, 1, "", &error);
    ASSERT_NE(from_callback, nullptr) << error;
    free_context(from_callback);
  }
  CpapiContext* c = context(4, connect_params("demo", "demo", "KeldaServer"), &error);
  ASSERT_NE(c, nullptr) << error;
  char text[128] = "";
  EXPECT_EQ(PLUGIN(CPAPI_SetContextParam)(c, CP_CONTEXT_PARAM_PROTECT_FLAGS, 2052, 0, 0, text, sizeof text), 1);
  EXPECT_EQ(PLUGIN(CPAPI_SetContextParam)(c, 2, 0, 0, 0, text, sizeof text), 0);
  EXPECT_STREQ(text, "Incorrect parameter type '2' for chiper crypto context was set");
  free_context(c);
  EXPECT_EQ(PLUGIN(CPAPI_FreeCryptoContext)(c, 0, 0, 0, 0, text, sizeof text), 0) << "freed already";

  Sekura32ConnectParams wrong_version = connect_params("demo", "demo", "KeldaServer");
  wrong_version.version = 2;
  // Every field full, without a terminator: read within its size.
  Sekura32ConnectParams unterminated{};
  unterminated.version = 1;
  constexpr std::size_t kTexts = offsetof(Sekura32ConnectParams, user_name);
  std::memset(reinterpret_cast<char*>(&unterminated) + kTexts, 'x', sizeof unterminated - kTexts);
  struct Case {
    int32_t usage, mode;
    const void* params;
    uintptr_t callback_value;
    const char* text;
  };
  const Sekura32ConnectParams wrong_password = connect_params("demo", "nope", "KeldaServer");
  const Sekura32ConnectParams unknown_user = connect_params("nobody", "demo", "KeldaServer");
  const Case cases[] = {
      {5, 3, nullptr, 0, "Crypto context usage mode '5' not supported"},
      {4, 7, nullptr, 0, "Crypto context initialization mode '7' not supported"},
      {4, 4, nullptr, 0, "Wrong initialization params for chiper crypto context was set"},
      {4, 4, &wrong_version, 0, "Wrong initialization params for chiper crypto context was set"},
      {4, 5, nullptr, 0, "refused by the caller"},
      {4, 5, nullptr, 2, "Wrong output params in callback function was set"},
      {4, 4, &wrong_password, 0, "Wrong password"},
      {3, 4, &unknown_user, 0, "User or server key not found"},
      {4, 4, &unterminated, 0, "User or server key not found"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    EXPECT_EQ(context_in_mode(k.usage, k.mode, k.params, &answer_params, k.callback_value, "", &error), nullptr);
    EXPECT_EQ(error, k.text);
  }
  EXPECT_EQ(context_in_mode(4, 5, nullptr, nullptr, 0, "", &error), nullptr);
  EXPECT_EQ(error, "Wrong callback function address was set");
  EXPECT_TRUE(script.asked().empty()) << "usage 5 is refused before the user is asked";
}

// The public key packet of a user of the test rings (the KEY line of the
// text ring, in hexadecimal).
std::vector<uint8_t> public_packet(const std::string& user) {
  std::ifstream ring(test::test_dir() / "pubring.txk");
  std::string line;
  bool in_section = false;
  while (std::getline(ring, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("[", 0) == 0) in_section = line == "[" + user + "]";
    if (in_section && line.rfind("KEY=", 0) == 0) {
      std::vector<uint8_t> bytes;
      for (std::size_t i = 4; i + 1 < line.size(); i += 2) bytes.push_back(std::stoi(line.substr(i, 2), nullptr, 16));
      return bytes;
    }
  }
  return {};
}

std::vector<std::string> g_bases_asked;
std::vector<uint8_t> g_key_text;
uint32_t g_lookup_answer = SK_NOT_FOUND;

uint32_t lookup_handler(SkKeySearch*, const char* base, const char* const*, uint32_t, const uint8_t*, int32_t) {
  g_bases_asked.push_back(base);
  return g_lookup_answer;
}

uint32_t key_text_handler(SkKeySearch*, const char*, const char* const*, uint32_t, const uint8_t*, int32_t,
                          int32_t* user_id, uint32_t*, int32_t*, uint32_t* bits, char** text, uint32_t* length) {
  *user_id = 2;
  *bits = 1024;
  *text = static_cast<char*>(skMalloc(g_key_text.size() + 1));
  if (!g_key_text.empty()) std::memcpy(*text, g_key_text.data(), g_key_text.size());
  *length = static_cast<uint32_t>(g_key_text.size());
  return SK_OK;
}

TEST_F(ProviderEntries, KeyHandlersServeTheProvidersKeyBasesOnly) {
  char error[128] = "";
  EXPECT_EQ(PLUGIN(CPAPI_SetKeyHandler)(1, nullptr, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong key handler function address was set");
  uint32_t not_code = 0;
  EXPECT_EQ(PLUGIN(CPAPI_SetKeyHandler)(1, reinterpret_cast<CpapiKeyHandler>(&not_code), 0, 0, 0, 0, error,
                                        sizeof error),
            0);
  EXPECT_EQ(PLUGIN(CPAPI_SetKeyHandler)(9, reinterpret_cast<CpapiKeyHandler>(&lookup_handler), 0, 0, 0, 0, error,
                                        sizeof error),
            0);
  EXPECT_STREQ(error, "Key handler type '9' not supported");
  ASSERT_EQ(PLUGIN(CPAPI_SetKeyHandler)(1, reinterpret_cast<CpapiKeyHandler>(&lookup_handler), 0, 0, 0, 0, error,
                                        sizeof error),
            1);
  ASSERT_EQ(PLUGIN(CPAPI_SetKeyHandler)(3, reinterpret_cast<CpapiKeyHandler>(&key_text_handler), 0, 0, 0, 0, error,
                                        sizeof error),
            1);

  // The server's public key comes from the key-text handler of a ".DWQ" base.
  g_bases_asked.clear();
  g_key_text = public_packet("KeldaServer");
  ASSERT_FALSE(g_key_text.empty());
  const std::string keys = (test::test_dir() / "keys.DWQ").string();
  set_library_setting(SK_SETTING_PUBLIC_RING, keys);
  std::string text;
  CpapiContext* c = context(4, connect_params("demo", "demo", "KeldaServer"), &text);
  ASSERT_NE(c, nullptr) << text;
  free_context(c);
  EXPECT_EQ(g_bases_asked, std::vector<std::string>{keys});

  // An empty key text is an invalid key; other bases are never asked.
  g_key_text.clear();
  EXPECT_EQ(context(4, connect_params("demo", "demo", "KeldaServer"), &text), nullptr);
  EXPECT_EQ(text, "Invalid key in key base");
  for (const char* other : {"pubring.txk", "pubring"}) {
    g_bases_asked.clear();
    set_library_setting(SK_SETTING_PUBLIC_RING, (test::test_dir() / other).string());
    context(4, connect_params("demo", "demo", "KeldaServer"), &text);
    EXPECT_TRUE(g_bases_asked.empty()) << other;
  }
  // Uninitialising forgets the handlers: the base is then not served.
  PLUGIN(CPAPI_UninitializeLib)(0, 0, 0, 0);
  g_bases_asked.clear();
  set_library_setting(SK_SETTING_PUBLIC_RING, keys);
  EXPECT_EQ(context(4, connect_params("demo", "demo", "KeldaServer"), &text), nullptr);
  EXPECT_EQ(text, "User or server key not found");
  EXPECT_TRUE(g_bases_asked.empty());
}

}  // namespace
}  // namespace kelda::sekura32_pr::testing
