// Binding provider modules: the test plug-ins, and one broken module per
// binding rule, loaded by name from beside the test program.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "binding.h"
#include "testplugins/probe.h"

namespace kelda::cipherhub {
namespace {

const char kLocale[] = "locale";

bool bind_module(ProviderEntry& entry, std::string_view module, std::string& error,
                 std::string_view section = "Section", std::string_view ini = "provider.ini") {
  return bind_provider_module(entry, {module, section, ini, this_module_anchor(), kLocale}, error);
}

TEST(CipherhubBinding, RefusesModulesThatBreakARule) {
  std::ofstream("garbage.so") << "not a module";
  struct Case {
    const char* module;
    const char* error;
  };
  const Case cases[] = {
      {"BadVersion.DLL",
       "Module \"BadVersion.DLL\": protocol version 2 not supported, current protocol version 1"},
      {"BadUsage.DLL", "Module \"BadUsage.DLL\": wrong crypto providers usage mode 4"},
      {"NoVersion.DLL", ""},
      {"NoId.DLL", ""},
      {"NoName.DLL", ""},
      {"NoUsage.DLL", ""},
      {"NoParamSetter.DLL", ""},
      {"Missing.DLL", "Can't load crypto provider module \"Missing.DLL\". Error 126"},
      {"./garbage.so", "Can't load crypto provider module \"./garbage.so\". Error 126"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module);
    ProviderEntry entry;
    std::string error = "stale";
    EXPECT_FALSE(bind_module(entry, c.module, error));
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(record_valid(&entry.record));
    EXPECT_FALSE(entry.module.loaded());
    EXPECT_EQ(entry.record.entry.initialize_lib, nullptr);
  }
}

TEST(CipherhubBinding, BindsTheEntryPointsOfTheUsageMode) {
  std::string error;
  ProviderEntry cipher;
  ASSERT_TRUE(bind_module(cipher, "NullCipher.DLL", error)) << error;
  const cp_provider_record& c = cipher.record;
  EXPECT_TRUE(record_valid(&c));
  EXPECT_EQ(c.provider_id, 100);
  EXPECT_EQ(c.usage_mode, CP_USAGE_CIPHER);
  EXPECT_EQ(c.version, 1);
  EXPECT_STREQ(c.provider_name, "NullCipher");
  EXPECT_STREQ(c.section_name, "Section");
  EXPECT_STREQ(c.ini_file, "provider.ini");
  EXPECT_STREQ(c.module_file, "NullCipher.DLL");
  EXPECT_EQ(c.initialized, 0);
  EXPECT_NE(c.entry.encrypt_data, nullptr);
  EXPECT_NE(c.entry.decrypt_data, nullptr);
  EXPECT_NE(c.entry.hand_shake, nullptr);
  EXPECT_NE(c.entry.set_key_handler, nullptr);
  EXPECT_NE(c.entry.get_provider_param, nullptr);
  EXPECT_EQ(c.entry.random, nullptr) << "not exported";
  EXPECT_EQ(c.entry.config_crypto_provider, nullptr) << "not exported";
  EXPECT_EQ(c.entry.sign_data, nullptr);
  EXPECT_EQ(c.entry.is_data_signed, nullptr);
  EXPECT_EQ(c.entry.check_data, nullptr);

  // The locale went to the provider right after binding.
  auto probe = platform::Module::load("NullCipher.DLL", this_module_anchor());
  const TestPluginCall* call = probe.function<TestPlugin_LastCall_fn*>("TestPlugin_LastCall")();
  EXPECT_STREQ(call->entry, "CPAPI_SetProviderParam");
  EXPECT_EQ(call->args[0], uintptr_t{CP_PARAM_LOCALE});
  EXPECT_EQ(call->args[1], reinterpret_cast<uintptr_t>(kLocale));

  ProviderEntry signer;
  ASSERT_TRUE(bind_module(signer, "FakeSigner.DLL", error, "", "")) << error;
  const cp_provider_record& s = signer.record;
  EXPECT_EQ(s.usage_mode, CP_USAGE_SIGN);
  EXPECT_STREQ(s.section_name, "");
  EXPECT_NE(s.entry.sign_data, nullptr);
  EXPECT_NE(s.entry.is_data_signed, nullptr);
  EXPECT_NE(s.entry.check_data, nullptr);
  EXPECT_NE(s.entry.config_crypto_provider, nullptr);
  EXPECT_EQ(s.entry.get_provider_param, nullptr) << "not exported";
  // Exported by the module, but a signing provider is never asked to encrypt.
  EXPECT_EQ(s.entry.encrypt_data, nullptr);
  EXPECT_EQ(s.entry.decrypt_data, nullptr);
  EXPECT_EQ(s.entry.set_key_handler, nullptr);
  EXPECT_EQ(s.entry.hand_shake, nullptr);

  ProviderEntry dual;
  ASSERT_TRUE(bind_module(dual, "DualProvider.DLL", error)) << error;
  EXPECT_EQ(dual.record.usage_mode, CP_USAGE_CIPHER_AND_SIGN);
  EXPECT_STREQ(dual.record.provider_name, "DualProvider.provider-name-long") << "cut to 31 characters";
  const auto* slots = reinterpret_cast<void* const*>(&dual.record.entry);
  for (std::size_t i = 0; i < sizeof(cp_provider_entry_points) / sizeof(void*); ++i) {
    EXPECT_NE(slots[i], nullptr) << "entry point " << i + 1;
  }

  unbind_provider(dual);
  EXPECT_FALSE(record_valid(&dual.record));
  EXPECT_FALSE(dual.module.loaded());
  EXPECT_EQ(dual.record.entry.sign_data, nullptr);
}

}  // namespace
}  // namespace kelda::cipherhub
