// Test support: the Sigprov module loaded from the build folder, its
// settings file in the test's folder, a headless user-interface session
// whose script answers the password dialog, and helpers for files.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pki.h"
#include "platform/time.h"
#include "sigprov/sigprov.h"
#include "testsupport/plugin_module.h"
#include "testsupport/test_dir.h"
#include "ui/testing.h"

namespace kelda::sigprov::testing {

inline constexpr char16_t kPasswordDialog[] = u"PASSWORD_DIALOG_0X09_0X01";
inline constexpr int kPasswordEdit = 1002;

class Module : public test::PluginModule {
 public:
  Module() : PluginModule("Sigprov.so") {}
};

#define SIGPROV(name) module.get<decltype(name)>(#name)

inline void write_lines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary);
  for (const std::string& line : lines) out << line << "\r\n";
}

inline std::string read_bytes(const std::filesystem::path& path) { return test::read_file_bytes(path); }

class SigprovTest : public ::testing::Test {
 protected:
  void SetUp() override {
    carrier = pki().make_carrier(test::test_dir(), "user");
    ini = (test::test_dir() / "sigprov.ini").string();
  }
  void TearDown() override { SIGPROV(CPAPI_UninitializeLib)(0, 0, 0, 0); }

  // The settings file: the common section, then the sign and cipher sections.
  void write_settings(const std::vector<std::string>& common_extra = {},
                      const std::vector<std::string>& sign_extra = {}) {
    std::vector<std::string> lines = {"[signal_com_message_pro_common_settings]",
                                      "CAs_path=" + pki().ca_dir.string(), "CRLs_path=" + pki().crl_dir.string()};
    lines.insert(lines.end(), common_extra.begin(), common_extra.end());
    lines.push_back("[signal_com_message_pro_sign_settings]");
    lines.push_back("pse_path=" + carrier.string());
    lines.insert(lines.end(), sign_extra.begin(), sign_extra.end());
    lines.push_back("[signal_com_message_pro_cipher_settings]");
    lines.push_back("pse_path=" + carrier.string());
    write_lines(ini, lines);
  }

  void initialize() {
    char error[512] = "";
    ASSERT_EQ(SIGPROV(CPAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, ini.c_str(), 0, 0, 0, 0, error, sizeof error), 1)
        << error;
  }

  void answer_password(const std::u16string& password = u"secret") {
    script.on_dialog(kPasswordDialog, [password](ui::DialogDriver& d) {
      d.set_text(kPasswordEdit, password);
      d.click(ui::id::ok);
    });
  }

  CpapiContext* context(int32_t type, std::string* error_out = nullptr, int32_t mode = 2,
                        const void* params = nullptr) {
    char error[1024] = "";
    CpapiContext* c = SIGPROV(CPAPI_NewCryptoContext)(nullptr, type, 9, 1, 1, 0, mode, nullptr, 0, ini.c_str(),
                                                      params, 0, 0, 0, error, sizeof error);
    if (error_out != nullptr) *error_out = error;
    return c;
  }

  void free_context(CpapiContext* c) { EXPECT_EQ(SIGPROV(CPAPI_FreeCryptoContext)(c, 0, 0, 0, 0, nullptr, 0), 1); }

  Module module;
  ui::HeadlessUi session;
  ui::ScriptedServices& script = session.script();
  std::filesystem::path carrier;
  std::string ini;
};

}  // namespace kelda::sigprov::testing
