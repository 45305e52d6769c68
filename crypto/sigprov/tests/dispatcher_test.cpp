// Signing end to end through the dispatcher's CPDAPI_* calls: Cipherhub
// loads Sigprov by its settings, a connection-like thread opens a signing
// context (its password asked on the user-interface thread), signs a
// transaction text and checks it, and openssl verifies the signature.
#include <atomic>
#include <thread>

#include "hub.h"
#include "pki.h"
#include "ui/loop.h"
#include "ui/testing.h"

namespace kelda::sigprov::testing {
namespace {

namespace fs = std::filesystem;
using cipherhub::testing::Hub;
using cipherhub::testing::write_lines;

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

TEST(SigprovThroughDispatcher, SignsOnAnotherThreadWithThePasswordAskedOnTheUserInterfaceThread) {
  ui::HeadlessUi session;
  session.script().on_dialog(u"PASSWORD_DIALOG_0X09_0X01", [](ui::DialogDriver& d) {
    EXPECT_EQ(d.text(1001), u"Enter password for key container");
    d.set_text(1002, u"secret");
    d.click(ui::id::ok);
  });
  Hub hub{{"Sigprov"}};
  const fs::path dir = test::test_dir();
  const fs::path carrier = pki().make_carrier(dir, "user");
  const std::string own = (dir / "KeldaMobile.txt").string();
  write_lines(own, {"[CryptoProviders]", "Sigprov=1", "[Sigprov]", "Module=Sigprov.DLL", "IniFile=sigprov.ini"});
  const std::string common = "CAs_path=" + pki().ca_dir.string(), crls = "CRLs_path=" + pki().crl_dir.string(),
                    pse = "pse_path=" + carrier.string();
  write_lines(dir / "sigprov.ini", {"[signal_com_message_pro_common_settings]", common.c_str(), crls.c_str(),
                                    "[signal_com_message_pro_sign_settings]", pse.c_str()});
  char error[512] = "";
  ASSERT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, own.c_str(), 0, 0, 0, 0, error, sizeof error), 1)
      << error;
  EXPECT_STREQ(error, "");
  cp_provider_record* provider = HUB(hub, CPDAPI_InitCryptoProviderByName)(
      "SignalComMessagePro", 9, 1, 1, 0, 2, 0, 0, (dir / "sigprov.ini").string().c_str(), 0, 0, 0, 0, error, sizeof error);
  ASSERT_NE(provider, nullptr) << error;
  EXPECT_EQ(provider->usage_mode, 1);
  EXPECT_EQ(provider->entry.encrypt_data, nullptr);

  const std::string transaction = std::string("TRANS_ID=7|ACTION=KILL_ORDER|ORDER_KEY=1234") + '\0';
  std::string signed_output, checked, thread_error;
  std::atomic<bool> done{false};
  std::thread connection([&] {
    char text[512] = "";
    CpapiContext* context = HUB(hub, CPDAPI_NewCryptoContext)(provider, 1, 9, 1, 1, 0, 2, nullptr, 0, "", nullptr, 0,
                                                              0, 0, text, sizeof text);
    if (context != nullptr) {
      void* buffer = nullptr;
      uint32_t length = 0;
      if (HUB(hub, CPDAPI_SignData)(provider, context, transaction.data(), static_cast<uint32_t>(transaction.size()),
                                    &buffer, &length, 0, 0, 0, 0, text, sizeof text) == 1) {
        signed_output.assign(static_cast<char*>(buffer), length);
      }
      HUB(hub, CPDAPI_FreeMemory)(provider, buffer);
      CpapiSenderInfo sender{};
      void* content = nullptr;
      uint32_t content_length = 0;
      if (HUB(hub, CPDAPI_CheckData)(provider, context, signed_output.data(),
                                     static_cast<uint32_t>(signed_output.size()), &content, &content_length, &sender, 0,
                                     0, 0, text, sizeof text) == 1) {
        checked.assign(static_cast<char*>(content), content_length);
      }
      HUB(hub, CPDAPI_FreeMemory)(provider, content);
      HUB(hub, CPDAPI_FreeCryptoContext)(provider, context, 0, 0, 0, 0, text, sizeof text);
    }
    thread_error = text;
    done = true;
    ui::post_thread_message(ui::ui_thread_id(), ui::wm::user, 0, 0);  // wakes the loop to see it
  });
  ui::run_loop_until([&] { return done.load(); });
  connection.join();
  ASSERT_GT(signed_output.size(), transaction.size()) << thread_error;
  EXPECT_EQ(checked, transaction) << thread_error;
  EXPECT_EQ(session.script().asked(ui::ScriptedServices::Asked::Kind::modal_dialog).size(), 1u);

  test::write_file_bytes(dir / "data.bin", transaction);
  test::write_file_bytes(dir / "sig.der", signed_output.substr(transaction.size()));
  EXPECT_EQ(run(openssl() + " cms -verify -binary -inform DER -in " + q(dir / "sig.der") + " -content " +
                q(dir / "data.bin") + " -CAfile " + q(pki().ca_cert) + " -purpose any -out " + q(dir / "out.bin")),
            0);
  EXPECT_EQ(test::read_file_bytes(dir / "out.bin"), transaction);
  HUB(hub, CPDAPI_UninitializeLib)(0, 0, 0, 0);
}

}  // namespace
}  // namespace kelda::sigprov::testing
