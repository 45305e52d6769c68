// Test support: the Sekura32_Pr module loaded from the build folder, the
// test key rings (users "demo", password "demo", and "KeldaServer",
// password "server") as the library's default rings, and a headless
// user-interface session with a script for the provider's dialogs.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "sekura32_pr/sekura32_pr.h"
#include "server_double/sekura_channel.h"
#include "testsupport/plugin_module.h"
#include "testsupport/test_dir.h"
#include "ui/testing.h"

namespace kelda::sekura32_pr::testing {

class Module : public test::PluginModule {
 public:
  Module() : PluginModule("Sekura32_Pr.so") {}
};

#define PLUGIN(name) module.get<decltype(name)>(#name)

using server_double::set_library_setting;

inline std::string library_setting(int slot) { return skSettings[slot] != nullptr ? skSettings[slot] : ""; }

// Copies the test rings into the test's folder and makes them the defaults.
inline void use_test_key_rings() { server_double::use_test_key_rings(test::test_data("sekura32"), test::test_dir()); }

inline Sekura32ConnectParams connect_params(const char* user, const char* password, const char* target) {
  Sekura32ConnectParams p{};
  p.version = SEKURA32_PR_CONNECT_PARAMS_V1;
  std::strncpy(p.user_name, user, sizeof p.user_name);
  std::strncpy(p.password, password, sizeof p.password);
  std::strncpy(p.target_server, target, sizeof p.target_server);
  return p;
}

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    use_test_key_rings();
    char error[256] = "";
    ASSERT_EQ(PLUGIN(CPAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, "", 0, 0, 0, 0, error, sizeof error), 1) << error;
  }
  void TearDown() override { PLUGIN(CPAPI_UninitializeLib)(0, 0, 0, 0); }

  // A context of the usage in initialisation mode 4 (or another mode with
  // its own arguments); null with the text in *error_out.
  CpapiContext* context(int32_t usage, const Sekura32ConnectParams& params, std::string* error_out = nullptr) {
    return context_in_mode(usage, 4, &params, nullptr, 0, "", error_out);
  }
  CpapiContext* context_in_mode(int32_t usage, int32_t mode, const void* params, CpapiParamCallback callback,
                                uintptr_t callback_value, const std::string& ini, std::string* error_out) {
    char error[512] = "";
    CpapiContext* c = PLUGIN(CPAPI_NewCryptoContext)(nullptr, usage, 9, 1, 1, 0, mode, callback, callback_value,
                                                     ini.c_str(), params, 0, 0, 0, error, sizeof error);
    if (error_out != nullptr) *error_out = error;
    return c;
  }
  void free_context(CpapiContext* c) { EXPECT_EQ(PLUGIN(CPAPI_FreeCryptoContext)(c, 0, 0, 0, 0, nullptr, 0), 1); }

  Module module;
  ui::HeadlessUi session;
  ui::ScriptedServices& script = session.script();
};

}  // namespace kelda::sekura32_pr::testing
