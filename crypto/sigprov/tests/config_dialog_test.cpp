// The configuration dialogs, driven by scripts: what Apply checks and
// writes, the advanced dialog, and paths following the root directory.
#include "provider_fixture.h"
#include "ui/window.h"

namespace kelda::sigprov::testing {
namespace {

namespace fs = std::filesystem;
using Kind = ui::ScriptedServices::Asked::Kind;

constexpr char16_t kSettings[] = u"CONFIG_SETTINGS_DIALOG_0X09_0X01";
constexpr char16_t kAdvancedSettings[] = u"CONFIG_ADVANCED_SETTINGS_DIALOG_0X09_0X01";
constexpr int kRoot = 1001, kCas = 1003, kCrls = 1005, kCert = 1007, kKey = 1009, kAdvanced = 1017;

std::u16string u(const fs::path& p) { return std::u16string(p.u16string()); }

class ConfigDialog : public SigprovTest {
 protected:
  int32_t configure() { return SIGPROV(CPAPI_ConfigCryptoProvider)(0, ini.c_str()); }
};

TEST_F(ConfigDialog, ApplyWritesThePathsOfBothDialogs) {
  write_lines(ini, {"[signal_com_message_pro_sign_settings]", "sign_key_file_name=" + pki().key("user").string()});
  script.on_dialog(kSettings, [&](ui::DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Settings for \"PKCS#7 toolkit\"");
    d.set_text(kRoot, u(carrier));
    d.set_text(kCas, u(pki().ca_dir));
    d.set_text(kCert, u(carrier / "cert_main.pem"));
    d.click(kAdvanced);
    d.click(ui::id::ok);
  });
  script.on_dialog(kAdvancedSettings, [&](ui::DialogDriver& d) {
    EXPECT_EQ(d.text(kKey), u(pki().key("user")));
    d.set_text(kCrls, u(pki().crl_dir));
    d.click(ui::id::ok);
  });
  ASSERT_EQ(configure(), 1);
  const std::string file = read_bytes(ini);
  for (const std::string& line :
       {"pse_path=" + carrier.string(), "CAs_path=" + pki().ca_dir.string(), "CRLs_path=" + pki().crl_dir.string(),
        "sign_cert_file_name=" + (carrier / "cert_main.pem").string(),
        "sign_key_file_name=" + pki().key("user").string()}) {
    EXPECT_NE(file.find(line + "\r\n"), std::string::npos) << line << "\n" << file;
  }
}

TEST_F(ConfigDialog, ApplyRefusesMissingPathsWithTheirTexts) {
  const fs::path missing = test::test_dir() / "nowhere";
  struct Case {
    fs::path root, cas, cert;
    std::u16string text;
  };
  const Case cases[] = {
      {"", pki().ca_dir, pki().cert("user"), u"Is not set root directory for key carrier"},
      {missing, pki().ca_dir, pki().cert("user"),
       u"Is not set root directory for key carrier\nSuch directory \"" + u(missing) + u"\" not exist"},
      {carrier, "", pki().cert("user"), u"Trusted certification authority certificates directory undefined"},
      {carrier, pki().ca_dir, carrier / "none.pem",
       u"Not set file with cipher key certificate\nSuch file \"none.pem\" not exist"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.text.begin(), k.text.end()));
    write_lines(ini, {"[signal_com_message_pro_sign_settings]"});
    script.answer_message_box(ui::id::ok, k.text);
    script.on_dialog(kSettings, [&](ui::DialogDriver& d) {
      d.set_text(kRoot, u(k.root));
      d.set_text(kCas, u(k.cas));
      d.set_text(kCert, u(k.cert));
      d.click(ui::id::ok);
      EXPECT_TRUE(d.open());
      d.click(ui::id::cancel);
    });
    EXPECT_EQ(configure(), 0);
    EXPECT_TRUE(script.problems().empty()) << script.problems().front();
    const auto boxes = script.asked(Kind::message_box);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, k.text);
    EXPECT_EQ(boxes.back().caption, u"Error");
    EXPECT_EQ(read_bytes(ini).find("pse_path="), std::string::npos);
  }
}

TEST_F(ConfigDialog, PathsUnderTheRootFollowItWhenItChanges) {
  const fs::path old_root = test::test_dir() / "old";
  write_lines(ini, {"[signal_com_message_pro_sign_settings]", "pse_path=" + old_root.string(),
                    "sign_cert_file_name=" + (old_root / "cert_main.pem").string(),
                    "[signal_com_message_pro_common_settings]", "CAs_path=" + (old_root / "cas").string()});
  script.on_dialog(kSettings, [&](ui::DialogDriver& d) {
    d.set_text(kRoot, u(carrier));
    d.click(kCas);  // leaving the field takes the new root
    EXPECT_EQ(d.text(kCert), u(carrier / "cert_main.pem"));
    EXPECT_EQ(d.text(kCas), u(carrier / "cas"));
    d.click(ui::id::cancel);
  });
  EXPECT_EQ(configure(), 0);
}

}  // namespace
}  // namespace kelda::sigprov::testing
