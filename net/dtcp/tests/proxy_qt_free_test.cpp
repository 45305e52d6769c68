// The transport and the dispatcher, loaded by a program without a screen:
// no Qt library comes with them, and their dialogs answer "cancelled".
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "platform/module.h"
#include "zn_dtcp/zn_dtcp.h"

namespace {

using kelda::platform::Module;

bool qt_loaded() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find("libQt") != std::string::npos) return true;
  }
  return false;
}

TEST(WithoutAScreen, TransportAndDispatcherLoadWithoutQtAndTheirDialogsAreCancelled) {
  const Module transport = Module::load("zn_dtcp.DLL", this_module_anchor());
  ASSERT_TRUE(transport) << transport.error_text();
  const Module dispatcher = Module::load("Cipherhub.DLL", this_module_anchor());
  ASSERT_TRUE(dispatcher) << dispatcher.error_text();

  auto* config_proxy = transport.function<decltype(&zn_tcp_config_proxy_settings)>(
      "zn_tcp_config_proxy_settings");
  ASSERT_NE(config_proxy, nullptr);
  zn_proxy_params proxy{1, 1, 0x0100007F, 3128, 1, 1, "name", "password"};
  const zn_proxy_params before = proxy;
  EXPECT_EQ(config_proxy(0, "", &proxy), 0);
  EXPECT_EQ(std::memcmp(&proxy, &before, sizeof proxy), 0);

  using ConfigProviders = int32_t (*)(uintptr_t, char*, uint32_t, int32_t);
  auto* config_providers = dispatcher.function<ConfigProviders>("CPDAPI_ConfigCryptoProviders");
  ASSERT_NE(config_providers, nullptr);
  char name[32] = "Sekura32";
  EXPECT_EQ(config_providers(0, name, sizeof name, 3), 0);
  EXPECT_STREQ(name, "Sekura32");

  // The transport's way to the providers dialog is cancelled the same way.
  auto* set_default = transport.function<decltype(&zn_tcp_set_default_cipher_crypto_provider)>(
      "zn_tcp_set_default_cipher_crypto_provider");
  auto* select = transport.function<decltype(&zn_tcp_select_sign_crypto_provider)>(
      "zn_tcp_select_sign_crypto_provider");
  ASSERT_NE(set_default, nullptr);
  ASSERT_NE(select, nullptr);
  char error[64] = "stale";
  EXPECT_EQ(set_default(0, name, sizeof name, error, sizeof error), 0);
  EXPECT_STREQ(error, "");
  std::strcpy(error, "stale");
  EXPECT_EQ(select("", 0, name, sizeof name, error, sizeof error), 0);
  EXPECT_STREQ(error, "");
  EXPECT_STREQ(name, "Sekura32");

  EXPECT_FALSE(qt_loaded());
}

}  // namespace
