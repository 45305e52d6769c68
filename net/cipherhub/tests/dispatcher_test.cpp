// The dispatcher through its exports: providers from the settings file, the
// built-in provider, lookups by name and id, and the forwarders by handle.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "hub.h"

namespace kelda::cipherhub::testing {
namespace {

constexpr uintptr_t kOwner = 0x1234;

// A settings file naming providers of every kind.
std::string write_settings() {
  const std::string path = (test::test_dir() / "KeldaMobile.txt").string();
  write_lines(path, {"[connect]", "port=15100", "",
                     "[CryptoProviders]", "Cipher=1", "Signer=1", "Old=0", "Broken=1", "NoModule=1",
                     "; Commented=1", "NotALine",
                     "[Cipher]", "Module=NullCipher.DLL", "IniFile=cipher.ini",
                     "[Signer]", "Module=FakeSigner.DLL",
                     "[Old]", "Module=DualProvider.DLL",
                     "[Broken]", "Module=BadVersion.DLL",
                     "[NoModule]", "IniFile=x.ini",
                     "[CryptoProvidersSettings]", "DefaultCipherCryptoProvider=cipher",
                     "DefaultSignCryptoProvider=Signer"});
  return path;
}

struct Initialised : ::testing::Test {
  Hub hub{{"NullCipher", "FakeSigner", "DualProvider", "BadVersion"}};
  std::string settings = write_settings();
  char error[512] = "stale";

  void SetUp() override {
    ASSERT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, kOwner, 2, 0, 0, settings.c_str(), 0, 0, 0, 0,
                                              error, sizeof error),
              1);
  }

  cp_provider_record* init(const char* name, int32_t mode = 2) {
    return HUB(hub, CPDAPI_InitCryptoProviderByName)(name, 9, 1, 1, 0, mode, 11, 12, nullptr, 13, 14,
                                                     15, 16, error, sizeof error);
  }
};

TEST_F(Initialised, LoadsTheProvidersTheSettingsName) {
  EXPECT_EQ(std::string(error),
            "Wrong parameters in INI-file \"" + settings +
                "\". Is absent parameter \"Module\" in section [NoModule] ")
      << "the last failure's message stays";
  auto supported = HUB(hub, CPDAPI_IsCryptoProviderSupported);
  int32_t initialized = 7;
  EXPECT_EQ(supported("nullcipher", &initialized), 1);
  EXPECT_EQ(initialized, 0);
  EXPECT_EQ(supported("FakeSigner", &initialized), 1);
  EXPECT_EQ(supported("DualProvider.provider-name-long", &initialized), 0) << "its flag is 0";
  EXPECT_EQ(supported("BadVersion", &initialized), 0);
  EXPECT_EQ(supported("Sekura32", &initialized), 0) << "no built-in module beside the dispatcher";

  char name[64];
  EXPECT_STREQ(HUB(hub, CPDAPI_GetDefaultCipherCryptoProvider)(name, sizeof name), "NullCipher");
  EXPECT_STREQ(name, "NullCipher");
  char small[5];
  EXPECT_STREQ(HUB(hub, CPDAPI_GetDefaultSignCryptoProvider)(small, sizeof small), "FakeSigner");
  EXPECT_STREQ(small, "Fake");

  char ini[64], module[64];
  int32_t configurable = 7;
  auto info = HUB(hub, CPDAPI_GetCryptoProviderInfo);
  EXPECT_EQ(info("NullCipher", ini, sizeof ini, module, sizeof module, &initialized, &configurable,
                 0, 0, 0, 0, error, sizeof error),
            1);
  EXPECT_STREQ(ini, "cipher.ini");
  EXPECT_STREQ(module, "NullCipher.DLL");
  EXPECT_EQ(configurable, 7) << "left as it was: no configuration entry point";
  EXPECT_EQ(info("FakeSigner", ini, sizeof ini, module, 5, &initialized, &configurable, 0, 0, 0, 0,
                 error, sizeof error),
            1);
  EXPECT_STREQ(module, "Fake");
  EXPECT_EQ(configurable, 1);
  initialized = 7;
  EXPECT_EQ(info("Nobody", ini, sizeof ini, module, sizeof module, &initialized, &configurable, 0, 0,
                 0, 0, error, sizeof error),
            0);
  EXPECT_STREQ(error, "Crypto provider \"Nobody\" not installed");
  EXPECT_EQ(initialized, 0);

  // A second initialisation changes nothing.
  EXPECT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, "other.ini", 0, 0, 0, 0, error,
                                           sizeof error),
            1);
  EXPECT_EQ(supported("NullCipher", &initialized), 1);
}

TEST_F(Initialised, InitialisesAProviderOnce) {
  cp_provider_record* handle = init("NullCipher");
  ASSERT_NE(handle, nullptr) << error;
  const TestPluginCall& call = Hub::last_call("NullCipher");
  EXPECT_STREQ(call.entry, "CPAPI_InitializeLib");
  EXPECT_EQ(call.args[3], kOwner) << "the dispatcher's owner in place of none";
  EXPECT_STREQ(call.text, "cipher.ini") << "the provider's own file in place of none";
  const uintptr_t values[] = {9, 1, 1, kOwner, 2, 11, 12};
  for (std::size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(call.args[i], values[i]) << i;
  EXPECT_EQ(call.args[8], 13u);
  EXPECT_EQ(call.args[11], 16u);

  EXPECT_EQ(init("nullcipher"), handle);
  EXPECT_EQ(HUB(hub, CPDAPI_InitCryptoProviderById)(100, 9, 1, 1, 0, 2, 0, 0, nullptr, 0, 0, 0, 0,
                                                    error, sizeof error),
            handle);
  EXPECT_EQ(Hub::call_count("NullCipher", "CPAPI_InitializeLib"), 1);
  int32_t initialized = 0;
  HUB(hub, CPDAPI_IsCryptoProviderSupported)("NullCipher", &initialized);
  EXPECT_EQ(initialized, 1);

  EXPECT_EQ(HUB(hub, CPDAPI_DeInitCryptoProviderByName)("NullCipher", 1, 2, 3, 4, error, sizeof error), 1);
  EXPECT_EQ(Hub::last_call("NullCipher").args[3], 4u);
  EXPECT_EQ(HUB(hub, CPDAPI_DeInitCryptoProviderByName)("NullCipher", 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_EQ(HUB(hub, CPDAPI_DeInitCryptoProviderById)(100, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_EQ(init("NullCipher"), handle) << "the module stayed bound";
  EXPECT_EQ(init("FakeSigner"), HUB(hub, CPDAPI_GetCryptoProviderHandle)(40, 0, 0, 0, 0, 0, error, sizeof error));

  // A provider that refuses initialisation stays uninitialised.
  HUB(hub, CPDAPI_DeInitCryptoProviderById)(100, 0, 0, 0, 0, error, sizeof error);
  EXPECT_EQ(init("NullCipher", 99), nullptr);
  EXPECT_STREQ(error, "Wrong parameters for provider initialization function was set");
  HUB(hub, CPDAPI_IsCryptoProviderSupported)("NullCipher", &initialized);
  EXPECT_EQ(initialized, 0);
}

TEST_F(Initialised, AnswersUnknownNamesAndIds) {
  char before[] = "stale";
  auto run = [&](auto&& call) {
    std::strcpy(error, before);
    return static_cast<int32_t>(call());
  };
  const int32_t id = run([&] { return HUB(hub, CPDAPI_GetProviderId)("Nobody", 0, 0, 0, 0, error, sizeof error); });
  EXPECT_EQ(id, -1);
  EXPECT_STREQ(error, "Crypto provider \"Nobody\" not initialized");
  EXPECT_EQ(run([&] { return HUB(hub, CPDAPI_GetProviderId)(nullptr, 0, 0, 0, 0, error, sizeof error); }), -1);
  EXPECT_STREQ(error, "");
  EXPECT_EQ(run([&] { return HUB(hub, CPDAPI_GetProviderId)("FAKESIGNER", 0, 0, 0, 0, error, sizeof error); }), 40);
  EXPECT_EQ(run([&] { return HUB(hub, CPDAPI_GetProviderUsageMode)("NullCipher", 0, 0, 0, 0, error, sizeof error); }), 2);
  EXPECT_EQ(run([&] { return HUB(hub, CPDAPI_GetProviderUsageMode)("Nobody", 0, 0, 0, 0, error, sizeof error); }), -1);
  EXPECT_STREQ(error, "");
  EXPECT_EQ(run([&] { return HUB(hub, CPDAPI_GetProviderVersion)("FakeSigner", 0, 0, 0, 0, error, sizeof error); }), 1);
  EXPECT_EQ(run([&] { return HUB(hub, CPDAPI_GetProviderVersion)(nullptr, 0, 0, 0, 0, error, sizeof error); }), -1);

  EXPECT_EQ(HUB(hub, CPDAPI_InitCryptoProviderByName)("Nobody", 9, 1, 1, 0, 2, 0, 0, nullptr, 0, 0, 0,
                                                      0, error, sizeof error),
            nullptr);
  EXPECT_STREQ(error, "Can't initialize crypto provider \"Nobody\" because it not installed");
  EXPECT_EQ(HUB(hub, CPDAPI_InitCryptoProviderById)(999, 9, 1, 1, 0, 2, 0, 0, nullptr, 0, 0, 0, 0,
                                                    error, sizeof error),
            nullptr);
  EXPECT_STREQ(error, "Can't initialize crypto provider with identifier \"999\" because it not installed");
  EXPECT_EQ(HUB(hub, CPDAPI_DeInitCryptoProviderByName)("Nobody", 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Can't initialize crypto provider \"Nobody\" because it not installed");
  EXPECT_EQ(HUB(hub, CPDAPI_DeInitCryptoProviderById)(999, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Can't uninitialize crypto provider with identifier \"999\" because it not installed");
  EXPECT_EQ(HUB(hub, CPDAPI_GetCryptoProviderHandle)(999, 0, 0, 0, 0, 0, error, sizeof error), nullptr);
  EXPECT_STREQ(error, "Provider with identifier 999 not supported.");
  EXPECT_STREQ(HUB(hub, CPDAPI_GetProviderName)(40, 0, 0, 0, 0, error, sizeof error), "FakeSigner");
  EXPECT_EQ(HUB(hub, CPDAPI_GetProviderName)(999, 0, 0, 0, 0, error, sizeof error), nullptr);

  auto config = HUB(hub, CPDAPI_ConfigCryptoProvider);
  EXPECT_EQ(config("Nobody", nullptr, 5, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Crypto provider \"Nobody\" not installed");
  EXPECT_EQ(config("NullCipher", nullptr, 5, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Crypto provider \"NullCipher\" can not be configured");
  EXPECT_EQ(config("FakeSigner", "given.ini", 5, 0, 0, 0, 0, error, sizeof error), 1);
  EXPECT_EQ(Hub::last_call("FakeSigner").args[0], 5u);
  EXPECT_STREQ(Hub::last_call("FakeSigner").text, "given.ini");

  uintptr_t value = 0;
  uint32_t size = 0;
  EXPECT_EQ(HUB(hub, CPDAPI_SetProviderParam)("NullCipher", 1, 77, 0, 0, error, sizeof error), 1);
  EXPECT_EQ(HUB(hub, CPDAPI_GetProviderParam)("NullCipher", 1, &value, &size, error, sizeof error), 1);
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(HUB(hub, CPDAPI_GetProviderParam)("FakeSigner", 1, &value, &size, error, sizeof error), 0)
      << "no getter";
  EXPECT_EQ(HUB(hub, CPDAPI_SetProviderParam)("Nobody", 1, 77, 0, 0, error, sizeof error), 0);
  EXPECT_EQ(HUB(hub, CPDAPI_SetProviderParam)("NullCipher", 7, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "It's impossible to get parameter with identifier '7'");
}

TEST_F(Initialised, ErrorTextsAreCutOnlyByTheirBuffer) {
  // A message longer than any fixed scratch size, into buffers around its length.
  const std::string name(3000, 'n');
  const std::string message = "Crypto provider \"" + name + "\" not installed";
  auto config = HUB(hub, CPDAPI_ConfigCryptoProvider);
  for (const std::size_t size : {message.size() + 1, message.size(), std::size_t{1}}) {
    SCOPED_TRACE(size);
    std::string buffer(size + 1, '#');  // one guard byte behind the capacity
    EXPECT_EQ(config(name.c_str(), nullptr, 0, 0, 0, 0, 0, buffer.data(), static_cast<uint32_t>(size)), 0);
    EXPECT_EQ(std::string(buffer.c_str()), message.substr(0, size - 1));
    EXPECT_EQ(buffer[size], '#') << "nothing written past the capacity";
  }
}

TEST_F(Initialised, ForwardsCipherCallsByHandle) {
  cp_provider_record* handle = init("NullCipher");
  ASSERT_NE(handle, nullptr);
  std::strcpy(error, "stale");
  CpapiContext* context = HUB(hub, CPDAPI_NewCryptoContext)(handle, 3, 9, 1, 1, 0, 2, nullptr, 0, "",
                                                            nullptr, 0, 0, 0, error, sizeof error);
  ASSERT_NE(context, nullptr) << error;
  const TestPluginCall& created = Hub::last_call("NullCipher");
  EXPECT_EQ(created.args[0], reinterpret_cast<uintptr_t>(handle)) << "the handle goes first";
  EXPECT_STREQ(created.text, "cipher.ini") << "an empty path becomes the provider's file";
  EXPECT_EQ(created.error_cleared, 1);

  void* out = nullptr;
  uint32_t out_length = 0;
  std::strcpy(error, "stale");
  EXPECT_EQ(HUB(hub, CPDAPI_HandShake)(handle, context, 0, nullptr, 0, &out, &out_length, 0, 0, 5, 6,
                                       error, sizeof error),
            CP_HANDSHAKE_DONE);
  const TestPluginCall& shake = Hub::last_call("NullCipher");
  EXPECT_EQ(shake.args[0], reinterpret_cast<uintptr_t>(handle));
  EXPECT_EQ(shake.args[9], 5u);
  EXPECT_EQ(shake.error_cleared, 1);

  const char text[] = "payload";
  ASSERT_EQ(HUB(hub, CPDAPI_EnCryptData)(handle, context, text, 7, &out, &out_length, 0, 0, 0, 0, error,
                                         sizeof error),
            CP_CRYPT_DONE);
  EXPECT_EQ(std::string(static_cast<char*>(out), out_length), "payload");
  ASSERT_EQ(HUB(hub, CPDAPI_DeCryptData)(handle, context, "abc", 3, &out, &out_length, 0, 0, 0, 0, error,
                                         sizeof error),
            CP_CRYPT_DONE);
  EXPECT_EQ(std::string(static_cast<char*>(out), out_length), "abc");
  HUB(hub, CPDAPI_FreeMemory)(handle, out);
  EXPECT_EQ(Hub::last_call("NullCipher").args[0], reinterpret_cast<uintptr_t>(out));

  auto handler = reinterpret_cast<CpapiKeyHandler>(+[]() {});
  EXPECT_EQ(HUB(hub, CPDAPI_SetKeyHandler)(handle, CP_KEY_HANDLER_VALIDATOR, handler, 42, 0, 0, 0, error,
                                           sizeof error),
            1);
  const TestPluginCall& keys = Hub::last_call("NullCipher");
  EXPECT_EQ(keys.args[0], uintptr_t{CP_KEY_HANDLER_VALIDATOR}) << "the handler's type goes first";
  EXPECT_EQ(keys.args[1], reinterpret_cast<uintptr_t>(handler));
  EXPECT_EQ(keys.args[2], 42u);

  EXPECT_EQ(HUB(hub, CPDAPI_SetContextParam)(handle, context, CP_CONTEXT_PARAM_PROTECT_FLAGS, 2052, 0, 0,
                                             error, sizeof error),
            1);
  uintptr_t value = 0;
  EXPECT_EQ(HUB(hub, CPDAPI_GetContextParam)(handle, context, 1, &value, 0, 0, error, sizeof error), 0)
      << "the provider's own answer";
  uint32_t size = 0;
  EXPECT_EQ(HUB(hub, CPDAPI_GetProviderParamByHandle)(handle, 1, &value, &size, error, sizeof error), 1);
  EXPECT_EQ(HUB(hub, CPDAPI_SetProviderParamByHandle)(handle, 9, 0, 0, 0, error, sizeof error), 0);
  EXPECT_EQ(HUB(hub, CPDAPI_Random)(handle, &value, sizeof value, error, sizeof error), 0) << "not exported";
  EXPECT_EQ(HUB(hub, CPDAPI_SignData)(handle, context, text, 7, &out, &out_length, 0, 0, 0, 0, error,
                                      sizeof error),
            0)
      << "a cipher provider does not sign";
  void* block = HUB(hub, CPDAPI_AllocMemory)(handle, 16);
  block = HUB(hub, CPDAPI_ReallocMemory)(handle, block, 32);
  ASSERT_NE(block, nullptr);
  HUB(hub, CPDAPI_FreeMemory)(handle, block);
  HUB(hub, CPDAPI_FreeMemory)(handle, nullptr);

  auto free_context = HUB(hub, CPDAPI_FreeCryptoContext);
  const int32_t frees = Hub::call_count("NullCipher", "CPAPI_FreeCryptoContext");
  EXPECT_EQ(free_context(handle, nullptr, 0, 0, 0, 0, error, sizeof error), 1);
  EXPECT_EQ(Hub::call_count("NullCipher", "CPAPI_FreeCryptoContext"), frees) << "no call for null";
  EXPECT_EQ(free_context(handle, context, 0, 0, 0, 0, error, sizeof error), 1);
}

TEST_F(Initialised, ForwardsSigningCallsByHandle) {
  cp_provider_record* handle = init("FakeSigner");
  ASSERT_NE(handle, nullptr);
  CpapiContext* context = HUB(hub, CPDAPI_NewCryptoContext)(handle, 1, 9, 1, 1, 0, 2, nullptr, 0, nullptr,
                                                            nullptr, 0, 0, 0, error, sizeof error);
  ASSERT_NE(context, nullptr);
  void* signed_data = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(HUB(hub, CPDAPI_SignData)(handle, context, "abc", 3, &signed_data, &length, 0, 0, 0, 0, error,
                                      sizeof error),
            1);
  EXPECT_EQ(std::string(static_cast<char*>(signed_data), length), "abc|signed");
  EXPECT_EQ(HUB(hub, CPDAPI_IsDataSigned)(handle, context, signed_data, length, nullptr, 0, 0, 0, error,
                                          sizeof error),
            1);
  void* content = nullptr;
  uint32_t content_length = 0;
  CpapiSenderInfo sender{};
  ASSERT_EQ(HUB(hub, CPDAPI_CheckData)(handle, context, signed_data, length, &content, &content_length,
                                       &sender, 0, 0, 0, error, sizeof error),
            1);
  EXPECT_EQ(std::string(static_cast<char*>(content), content_length), "abc");
  HUB(hub, CPDAPI_FreeMemory)(handle, content);
  HUB(hub, CPDAPI_FreeMemory)(handle, signed_data);
  void* out = nullptr;
  EXPECT_EQ(HUB(hub, CPDAPI_EnCryptData)(handle, context, "abc", 3, &out, &length, 0, 0, 0, 0, error,
                                         sizeof error),
            CP_CRYPT_ERROR)
      << "a signing provider does not encrypt";
  EXPECT_EQ(HUB(hub, CPDAPI_FreeCryptoContext)(handle, context, 0, 0, 0, 0, error, sizeof error), 1);
}

TEST_F(Initialised, UninitialisingWaitsForTheCallsByHandleThatRun) {
  cp_provider_record* handle = init("FakeSigner");
  ASSERT_NE(handle, nullptr);
  CpapiContext* context = HUB(hub, CPDAPI_NewCryptoContext)(handle, 1, 9, 1, 1, 0, 2, nullptr, 0, nullptr,
                                                            nullptr, 0, 0, 0, error, sizeof error);
  ASSERT_NE(context, nullptr);
  const platform::Module signer =
      platform::Module::load((test::test_dir() / "FakeSigner.so").string(), nullptr);
  auto* wait_held = signer.function<int32_t (*)()>("FakeSigner_WaitHeld");
  auto* release = signer.function<void (*)()>("FakeSigner_Release");
  auto* free_context = signer.function<CPAPI_FreeCryptoContext_fn*>("CPAPI_FreeCryptoContext");
  ASSERT_TRUE(wait_held && release && free_context);

  // A signing call is held inside the provider ("HOLD" asks the test plug-in to wait).
  void* output = nullptr;
  uint32_t output_length = 0;
  int32_t signed_result = 0;
  std::thread caller([&] {
    char caller_error[64];
    signed_result = HUB(hub, CPDAPI_SignData)(handle, context, "HOLD", 4, &output, &output_length, 0, 0,
                                              0, 0, caller_error, sizeof caller_error);
  });
  ASSERT_EQ(wait_held(), 1);
  int32_t uninitialised = -1;
  std::thread closer([&] { uninitialised = HUB(hub, CPDAPI_UninitializeLib)(0, 0, 0, 0); });
  // Once the handle is refused, the closer waits for the running call.
  while (std::atomic_ref<int32_t>(handle->valid).load() != 0) std::this_thread::yield();
  EXPECT_EQ(Hub::call_count("FakeSigner", "CPAPI_UninitializeLib"), 0)
      << "the provider is not finalised under a running call";
  release();
  caller.join();
  closer.join();
  EXPECT_EQ(signed_result, 1);
  EXPECT_EQ(std::string(static_cast<char*>(output), output_length), "HOLD|signed");
  EXPECT_EQ(uninitialised, 1);
  EXPECT_EQ(Hub::call_count("FakeSigner", "CPAPI_UninitializeLib"), 1);
  std::free(output);
  free_context(context, 0, 0, 0, 0, nullptr, 0);  // the handle is retired: straight to the module
}

TEST_F(Initialised, RefusesBadHandlesWithAnEmptyText) {
  cp_provider_record* handle = init("NullCipher");
  ASSERT_NE(handle, nullptr);
  const platform::Module keep = platform::Module::load((test::test_dir() / "NullCipher.so").string(), nullptr);
  ASSERT_EQ(HUB(hub, CPDAPI_UninitializeLib)(1, 2, 3, 4), 1);
  EXPECT_STREQ(Hub::last_call("NullCipher").entry, "CPAPI_UninitializeLib");
  EXPECT_EQ(Hub::last_call("NullCipher").args[3], 4u);

  cp_provider_record unbound{};
  for (cp_provider_record* bad : {static_cast<cp_provider_record*>(nullptr), handle, &unbound}) {
    SCOPED_TRACE(bad == nullptr ? "null" : bad == handle ? "retired" : "unbound");
    struct Case {
      const char* name;
      std::function<int64_t()> call;
      int64_t result;
    };
    void* out = nullptr;
    uint32_t length = 0;
    uintptr_t value = 0;
    auto* context = reinterpret_cast<CpapiContext*>(&value);
    const Case cases[] = {
        {"NewCryptoContext", [&] { return reinterpret_cast<int64_t>(HUB(hub, CPDAPI_NewCryptoContext)(
                                       bad, 3, 0, 0, 0, 0, 2, nullptr, 0, nullptr, nullptr, 0, 0, 0, error,
                                       sizeof error)); }, 0},
        {"FreeCryptoContext", [&] { return HUB(hub, CPDAPI_FreeCryptoContext)(bad, context, 0, 0, 0, 0, error, sizeof error); }, 0},
        {"SignData", [&] { return HUB(hub, CPDAPI_SignData)(bad, context, "a", 1, &out, &length, 0, 0, 0, 0, error, sizeof error); }, 0},
        {"IsDataSigned", [&] { return HUB(hub, CPDAPI_IsDataSigned)(bad, context, "a", 1, nullptr, 0, 0, 0, error, sizeof error); }, 0},
        {"CheckData", [&] { return HUB(hub, CPDAPI_CheckData)(bad, context, "a", 1, &out, &length, nullptr, 0, 0, 0, error, sizeof error); }, 0},
        {"Random", [&] { return HUB(hub, CPDAPI_Random)(bad, &value, 4, error, sizeof error); }, 0},
        {"EnCryptData", [&] { return HUB(hub, CPDAPI_EnCryptData)(bad, context, "a", 1, &out, &length, 0, 0, 0, 0, error, sizeof error); }, 1},
        {"DeCryptData", [&] { return HUB(hub, CPDAPI_DeCryptData)(bad, context, "a", 1, &out, &length, 0, 0, 0, 0, error, sizeof error); }, 1},
        {"HandShake", [&] { return HUB(hub, CPDAPI_HandShake)(bad, context, 0, nullptr, 0, &out, &length, 0, 0, 0, 0, error, sizeof error); }, 1},
        {"SetKeyHandler", [&] { return HUB(hub, CPDAPI_SetKeyHandler)(bad, 1, reinterpret_cast<CpapiKeyHandler>(+[]() {}), 0, 0, 0, 0, error, sizeof error); }, 0},
        {"SetContextParam", [&] { return HUB(hub, CPDAPI_SetContextParam)(bad, context, 1, 0, 0, 0, error, sizeof error); }, 0},
        {"GetContextParam", [&] { return HUB(hub, CPDAPI_GetContextParam)(bad, context, 1, &value, 0, 0, error, sizeof error); }, -1},
        {"SetProviderParamByHandle", [&] { return HUB(hub, CPDAPI_SetProviderParamByHandle)(bad, 1, 0, 0, 0, error, sizeof error); }, 0},
        {"GetProviderParamByHandle", [&] { return HUB(hub, CPDAPI_GetProviderParamByHandle)(bad, 1, &value, &length, error, sizeof error); }, 0},
        {"AllocMemory", [&] { return reinterpret_cast<int64_t>(HUB(hub, CPDAPI_AllocMemory)(bad, 8)); }, 0},
        {"ReallocMemory", [&] { return reinterpret_cast<int64_t>(HUB(hub, CPDAPI_ReallocMemory)(bad, nullptr, 8)); }, 0},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      std::strcpy(error, "stale");
      EXPECT_EQ(c.call(), c.result);
      const bool takes_error_text = std::strstr(c.name, "Memory") == nullptr;
      if (takes_error_text) {
        EXPECT_STREQ(error, "") << "an empty error text";
      }
    }
    HUB(hub, CPDAPI_FreeMemory)(bad, &value);  // nothing is freed
  }
  int32_t initialized = 7;
  EXPECT_EQ(HUB(hub, CPDAPI_IsCryptoProviderSupported)("NullCipher", &initialized), 0);
  EXPECT_EQ(initialized, 0);
}

TEST(CipherhubInitialize, NeedsASettingsFileInMode2) {
  Hub hub({});
  char error[256] = "stale";
  auto initialize = HUB(hub, CPDAPI_InitializeLib);
  for (const char* path : {static_cast<const char*>(nullptr), ""}) {
    EXPECT_EQ(initialize(9, 1, 1, 0, 2, 0, 0, path, 0, 0, 0, 0, error, sizeof error), 0);
    EXPECT_STREQ(error, "Wrong INI-file name was set: \"\", initialization failed.");
  }
  // A file that is not there, or not a file.
  const std::string folder = test::test_dir().string();
  for (const std::string& path : {folder + "/missing.ini", folder}) {
    EXPECT_EQ(initialize(9, 1, 1, 0, 2, 0, 0, path.c_str(), 0, 0, 0, 0, error, sizeof error), 0);
    EXPECT_EQ(std::string(error), "Wrong INI-file name was set: \"" + path + "\", initialization failed.");
  }
  EXPECT_EQ(initialize(9, 1, 1, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, error, sizeof error), 1)
      << "other modes need no file";
}

TEST(CipherhubInitialize, ReadsASettingsFileOfALongPath) {
  Hub hub({"NullCipher"});
  std::filesystem::path folder = test::test_dir();
  for (int i = 0; i < 6; ++i) folder /= std::string(50, static_cast<char>('a' + i));
  std::filesystem::create_directories(folder);
  const std::string settings = (folder / "settings.ini").string();
  ASSERT_GT(settings.size(), 300u);
  write_lines(settings, {"[CryptoProviders]", "Enc=1", "[Enc]", "Module=NullCipher.DLL"});
  char error[256] = "";
  ASSERT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, settings.c_str(), 0, 0, 0, 0, error,
                                           sizeof error),
            1)
      << error;
  int32_t initialized = 0;
  EXPECT_EQ(HUB(hub, CPDAPI_IsCryptoProviderSupported)("NullCipher", &initialized), 1) << error;
  EXPECT_EQ(HUB(hub, CPDAPI_SetCryptoProviderName)(nullptr, "Enc", 1, 1), 1);
  EXPECT_NE(test::read_file_bytes(settings).find("DefaultCipherCryptoProvider=Enc"), std::string::npos)
      << "written to the same file";
  HUB(hub, CPDAPI_UninitializeLib)(0, 0, 0, 0);
}

// "Module" may name the provider by a full path (the terminal writes the
// module's path in its program folder) or by a bare name beside the
// dispatcher, as older settings files do.
TEST(CipherhubInitialize, LoadsProvidersNamedByAFullPathOrABareName) {
  Hub hub({"NullCipher"});
  const std::filesystem::path program = test::test_dir() / "program";
  std::filesystem::create_directories(program);
  std::filesystem::copy_file(build_folder() / "FakeSigner.so", program / "FakeSigner.so");
  const std::string signer = (program / "FAKESIGNER.DLL").string();
  const std::string missing = (test::test_dir() / "nowhere" / "FakeSigner.DLL").string();
  const std::string settings = (test::test_dir() / "settings.ini").string();
  const std::string signer_line = "Module=" + signer, missing_line = "Module=" + missing;
  write_lines(settings, {"[CryptoProviders]", "Bare=1", "Full=1", "Missing=1", "[Bare]", "Module=NullCipher.DLL",
                         "[Full]", signer_line.c_str(), "[Missing]", missing_line.c_str()});
  char error[512] = "";
  ASSERT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, settings.c_str(), 0, 0, 0, 0, error,
                                           sizeof error),
            1);
  EXPECT_EQ(std::string(error).rfind("Can't load crypto provider module \"" + missing + "\"", 0), 0u) << error;
  auto supported = HUB(hub, CPDAPI_IsCryptoProviderSupported);
  int32_t initialized = 0;
  EXPECT_EQ(supported("NullCipher", &initialized), 1) << "a bare name: beside the dispatcher";
  EXPECT_EQ(supported("FakeSigner", &initialized), 1) << "a full path: from the folder it names";
  char ini[64], module[300];
  int32_t configurable = 0;
  ASSERT_EQ(HUB(hub, CPDAPI_GetCryptoProviderInfo)("FakeSigner", ini, sizeof ini, module, sizeof module,
                                                   &initialized, &configurable, 0, 0, 0, 0, error, sizeof error),
            1);
  EXPECT_EQ(std::string(module), signer);
  HUB(hub, CPDAPI_UninitializeLib)(0, 0, 0, 0);
}

TEST(CipherhubInitialize, LoadsASectionNamedTwiceOnceAndLogsTheRepeat) {
  Hub hub({"FakeSigner"});
  const std::string settings = (test::test_dir() / "settings.ini").string();
  write_lines(settings, {"[CryptoProviders]", "Signer=1", "Other=0", "SIGNER=1", "[Signer]",
                         "Module=FakeSigner.DLL"});
  char error[256] = "";
  ::testing::internal::CaptureStderr();
  const int32_t initialised = HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, settings.c_str(), 0, 0,
                                                             0, 0, error, sizeof error);
  const std::string log = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(initialised, 1) << error;
  EXPECT_EQ(Hub::call_count("FakeSigner", "CPAPI_SetProviderParam"), 1) << "bound once";
  EXPECT_NE(log.find("section [SIGNER] is named again"), std::string::npos) << log;
  HUB(hub, CPDAPI_UninitializeLib)(0, 0, 0, 0);
}

TEST(CipherhubInitialize, AddsTheBuiltInProviderFromBesideTheDispatcher) {
  Hub hub({"FakeSekura"});
  copy_module("NullCipher.so", "Sekura32_Pr.so");
  const std::string settings = (test::test_dir() / "settings.ini").string();
  write_lines(settings, {"[CryptoProvidersSettings]", "CipherCryptoProvider=SEKURA32"});
  char error[256] = "";
  ASSERT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, error, sizeof error), 1);
  char name[32];
  EXPECT_EQ(HUB(hub, CPDAPI_GetCryptoProviderName)(settings.c_str(), name, sizeof name, 1, 0), 1);
  EXPECT_STREQ(name, "NullCipher") << "the built-in provider's section is Sekura32";
  char module[512];
  int32_t initialized = 0, configurable = 0;
  ASSERT_EQ(HUB(hub, CPDAPI_GetCryptoProviderInfo)("NullCipher", nullptr, 0, module, sizeof module,
                                                   &initialized, &configurable, 0, 0, 0, 0, error,
                                                   sizeof error),
            1);
  EXPECT_EQ(std::string(module), (test::test_dir() / "Sekura32_Pr.so").string());
}

TEST(CipherhubInitialize, LeavesTheBuiltInProviderOutWhenOneIsConfigured) {
  Hub hub({"FakeSekura"});
  copy_module("NullCipher.so", "Sekura32_Pr.so");
  const std::string settings = (test::test_dir() / "settings.ini").string();
  write_lines(settings, {"[CryptoProviders]", "Own=1", "[Own]", "Module=FakeSekura.DLL"});
  char error[256] = "";
  ASSERT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, settings.c_str(), 0, 0, 0, 0, error,
                                           sizeof error),
            1);
  int32_t initialized = 0;
  EXPECT_EQ(HUB(hub, CPDAPI_IsCryptoProviderSupported)("NullCipher", &initialized), 0);
  char module[512];
  ASSERT_EQ(HUB(hub, CPDAPI_GetCryptoProviderInfo)("sekura32", nullptr, 0, module, sizeof module,
                                                   &initialized, nullptr, 0, 0, 0, 0, error,
                                                   sizeof error),
            1);
  EXPECT_STREQ(module, "FakeSekura.DLL");
}

TEST(CipherhubSettings, TheRememberedDefaultStaysAtItsAddress) {
  // A name longer than a short string keeps inline, to be sure it is not on
  // a heap block that a later change frees.
  Hub hub({"DualProvider"});
  const std::string own = (test::test_dir() / "own.ini").string();
  write_lines(own, {"[CryptoProviders]", "Dual=1", "[Dual]", "Module=DualProvider.DLL",
                    "[CryptoProvidersSettings]", "DefaultCipherCryptoProvider=Dual"});
  auto initialize = [&] {
    char error[256] = "";
    ASSERT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, own.c_str(), 0, 0, 0, 0, error,
                                             sizeof error),
              1)
        << error;
  };
  initialize();
  const char* remembered = HUB(hub, CPDAPI_GetDefaultCipherCryptoProvider)(nullptr, 0);
  ASSERT_STREQ(remembered, "DualProvider.provider-name-long");
  HUB(hub, CPDAPI_UninitializeLib)(0, 0, 0, 0);
  initialize();
  EXPECT_EQ(HUB(hub, CPDAPI_GetDefaultCipherCryptoProvider)(nullptr, 0), remembered);
  EXPECT_STREQ(remembered, "DualProvider.provider-name-long");
  HUB(hub, CPDAPI_UninitializeLib)(0, 0, 0, 0);
}

TEST(CipherhubSettings, ReadsAndWritesTheProviderChoice) {
  Hub hub({"NullCipher", "FakeSigner"});
  const std::string own = (test::test_dir() / "own.ini").string();
  write_lines(own, {"[CryptoProviders]", "Enc=1", "Sig=1", "[Enc]", "Module=NullCipher.DLL", "[Sig]",
                    "Module=FakeSigner.DLL", "[CryptoProvidersSettings]",
                    "DefaultSignCryptoProvider=sig"});
  const std::string user = (test::test_dir() / "user.ini").string();
  write_lines(user, {"[CryptoProvidersSettings]", "CipherCryptoProvider=enc",
                     "SignCryptoProvider=Unknown"});
  char error[256] = "";
  ASSERT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, own.c_str(), 0, 0, 0, 0, error, sizeof error), 1);

  auto get = HUB(hub, CPDAPI_GetCryptoProviderName);
  struct Case {
    const char* name;
    const char* file;
    int32_t cipher;
    int32_t is_default;
    const char* expected;
  };
  const Case cases[] = {
      {"cipher choice of the settings file", user.c_str(), 1, 0, "NullCipher"},
      {"a section no provider has", user.c_str(), 0, 0, ""},
      {"default sign provider of the dispatcher's file", nullptr, 0, 1, "FakeSigner"},
      {"no default cipher provider", nullptr, 1, 1, ""},
      {"missing file", "missing.ini", 1, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char name[32] = "stale";
    EXPECT_EQ(get(c.file, name, sizeof name, c.cipher, c.is_default), c.expected[0] ? 1 : 0);
    EXPECT_STREQ(name, c.expected);
  }

  auto set = HUB(hub, CPDAPI_SetCryptoProviderName);
  EXPECT_EQ(set(user.c_str(), "Sig", 0, 0), 1);
  EXPECT_EQ(set(nullptr, "Enc", 1, 1), 1);
  char name[32];
  EXPECT_EQ(get(user.c_str(), name, sizeof name, 0, 0), 1);
  EXPECT_STREQ(name, "FakeSigner");
  EXPECT_EQ(get(nullptr, name, sizeof name, 1, 1), 1);
  EXPECT_STREQ(name, "NullCipher");
  EXPECT_EQ(set(nullptr, "Enc", 1, 0), 0) << "no file to write";
}

}  // namespace
}  // namespace kelda::cipherhub::testing
