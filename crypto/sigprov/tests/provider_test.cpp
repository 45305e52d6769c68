// Contexts, settings, parameters, certificates and key carriers through the
// plug-in's exports.
#include <cstring>

#include "provider_fixture.h"

namespace kelda::sigprov::testing {
namespace {

namespace fs = std::filesystem;
using Kind = ui::ScriptedServices::Asked::Kind;

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

class Provider : public SigprovTest {};

TEST_F(Provider, ContextCreationFailsWithTheTextOfItsCause) {
  // The second user's certificate beside the first user's key.
  const fs::path mismatched = test::test_dir() / "mismatched";
  fs::create_directories(mismatched / "keys");
  fs::copy_file(pki().cert("second"), mismatched / "cert_main.pem");
  fs::copy_file(pki().p12("user"), mismatched / "keys" / "user.p12");
  const fs::path empty = test::test_dir() / "empty";
  fs::create_directories(empty / "keys");
  struct Case {
    std::string pse_path;
    std::vector<std::string> sign_extra;
    std::string text;  // the error text begins with it
  };
  const Case cases[] = {
      {"", {}, "Key carrier PSE path undefined"},
      {"rutoken:/0", {"sign_cert_file_name=" + pki().cert("user").string()}, "Hardware key carriers (iButton, eToken, ruToken) are not supported"},
      {empty.string(), {}, "Digital signature certificate file name was not set. Check current digital signature settings."},
      {empty.string(), {"sign_cert_file_name=" + (empty / "none.pem").string()},
       "Digital signature certificate file \"" + (empty / "none.pem").string() +
           "\" was not found. Check content and access rights for directory for directory \"" + empty.string() + "\"."},
      {empty.string(), {"sign_cert_file_name=" + (empty / "gone" / "none.pem").string()},
       "Digital signature certificate file \"" + (empty / "gone" / "none.pem").string() +
           "\" was not found because directory \"" + (empty / "gone").string() + "\" not exist."},
      {mismatched.string(), {}, "Certificate from file \"" + (mismatched / "cert_main.pem").string() +
                                    "\" not correspond to any secret key from from root key carrier directory"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    carrier = k.pse_path;
    write_settings({}, k.sign_extra);
    initialize();
    answer_password();
    std::string error;
    EXPECT_EQ(context(SIGPROV_CONTEXT_SIGN, &error), nullptr);
    EXPECT_EQ(error.substr(0, k.text.size()), k.text) << error;
    SIGPROV(CPAPI_UninitializeLib)(0, 0, 0, 0);
  }
}

TEST_F(Provider, APasswordRefusedOrWrongFailsCleanlyAndIsAskedAgainNextTime) {
  write_settings();
  initialize();
  script.on_dialog(kPasswordDialog, [](ui::DialogDriver& d) { d.click(ui::id::cancel); });
  std::string error;
  EXPECT_EQ(context(SIGPROV_CONTEXT_SIGN, &error), nullptr);
  EXPECT_NE(error.find("was not given"), std::string::npos) << error;
  answer_password(u"wrong");
  EXPECT_EQ(context(SIGPROV_CONTEXT_SIGN, &error), nullptr);
  EXPECT_NE(error.find("wrong password"), std::string::npos) << error;
  // The wrong answer was not kept: the next context asks again.
  answer_password();
  CpapiContext* c = context(SIGPROV_CONTEXT_SIGN, &error);
  EXPECT_NE(c, nullptr) << error;
  EXPECT_EQ(script.asked(Kind::modal_dialog).size(), 3u);
  free_context(c);
}

TEST_F(Provider, CertificateValidityIsCheckedWithTheWarningDays) {
  carrier = pki().make_carrier(test::test_dir(), "ending");
  struct Case {
    int days;
    std::string warning;
  };
  const std::string warning = "The period of validity for Your digital signature certificate expired in 4 days.";
  const Case cases[] = {{2, warning}, {3, ""}, {30, warning}, {31, warning}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.days);
    write_settings({"n_days_to_check_certs_expiry=" + std::to_string(k.days)});
    initialize();
    answer_password();
    std::string error;
    CpapiContext* c = context(SIGPROV_CONTEXT_SIGN, &error);
    EXPECT_NE(c, nullptr);
    EXPECT_EQ(error, k.warning);
    free_context(c);
    SIGPROV(CPAPI_UninitializeLib)(0, 0, 0, 0);
  }
  // An expired certificate refuses the context, unless expiry checks are off.
  carrier = pki().make_carrier(test::test_dir(), "expired");
  write_settings();
  initialize();
  std::string error;
  EXPECT_EQ(context(SIGPROV_CONTEXT_SIGN, &error), nullptr);
  EXPECT_EQ(error, "The period of validity for Your digital signature certificate was expired.");
  char text[256] = "";
  const std::string expired = pki().cert("expired").string();
  EXPECT_EQ(SIGPROV(CPAPI_CheckCertificateValidityPeriod)(expired.c_str(), 5, text, sizeof text), 0);
  SIGPROV(CPAPI_UninitializeLib)(0, 0, 0, 0);
  write_settings({"check_certs_expiry=0"});
  initialize();
  EXPECT_EQ(SIGPROV(CPAPI_CheckCertificateValidityPeriod)(expired.c_str(), 5, text, sizeof text), 1);
}

TEST_F(Provider, KeyCarrierRecordsAreReadWithinTheirFields) {
  write_settings();
  initialize();
  auto record = std::make_unique<CpapiKeyCarrierParams>();
  std::memset(record.get(), 0, sizeof *record);
  record->version = SIGPROV_KEY_CARRIER_V2;
  std::strcpy(record->pse_path, carrier.string().c_str());
  std::strcpy(record->key_password, kCarrierPassword);
  std::string error;
  // The password comes with the record: no dialog.
  CpapiContext* c = context(SIGPROV_CONTEXT_SIGN, &error, 4, record.get());
  EXPECT_NE(c, nullptr) << error;
  free_context(c);
  EXPECT_TRUE(script.asked(Kind::modal_dialog).empty());
  // A field without its terminator is taken as its 1024 bytes and no more.
  std::memset(record->cert_file, 'x', sizeof record->cert_file);
  std::memset(record->pse_path, 0, sizeof record->pse_path);
  std::memcpy(record->pse_path, "rutoken:/", 9);
  EXPECT_EQ(context(SIGPROV_CONTEXT_SIGN, &error, 4, record.get()), nullptr);
  EXPECT_EQ(error.rfind("Digital signature certificate file \"", 0), 0u) << error;
  record->version = 3;
  EXPECT_EQ(context(SIGPROV_CONTEXT_SIGN, &error, 4, record.get()), nullptr);
  EXPECT_EQ(error, "Wrong initialization params for chiper crypto context was set");
  EXPECT_EQ(context(SIGPROV_CONTEXT_SIGN, &error, 7), nullptr);
  EXPECT_EQ(error, "Crypto context initialization mode '7' not supported");
  EXPECT_EQ(context(3, &error), nullptr);
  EXPECT_EQ(error, "");
}

TEST_F(Provider, OlderSettingsAreCarriedOverAndFormatsNormalised) {
  write_lines(ini, {"[key carrier settings]", "usage_mode=1", "pse_path=" + carrier.string(), "[common settings]",
                    "ca_path=" + pki().ca_dir.string(), "output_data_format=FORMAT_PEM",
                    "[signal_com_message_pro_common_settings]", "input_data_format=FORMAT_XML"});
  initialize();
  const std::string saved = read_bytes(ini + ".sav");
  const std::string file = read_bytes(ini);
  EXPECT_NE(file.find("CAs_path=" + pki().ca_dir.string()), std::string::npos) << file;
  EXPECT_NE(file.find("output_data_format=FORMAT_PEM"), std::string::npos);
  EXPECT_NE(file.find("input_data_format=\r\n"), std::string::npos) << file;
  // The carrier of the older section signs, in PEM.
  answer_password();
  CpapiContext* c = context(SIGPROV_CONTEXT_SIGN);
  ASSERT_NE(c, nullptr);
  void* buffer = nullptr;
  uint32_t length = 0;
  char error[256] = "";
  ASSERT_EQ(SIGPROV(CPAPI_SignData)(c, "x", 2, &buffer, &length, 0, 0, 0, 0, error, sizeof error), 1) << error;
  EXPECT_EQ(std::string(static_cast<char*>(buffer) + 2, 19), "-----BEGIN CMS-----");
  SIGPROV(CPAPI_FreeMemory)(buffer);
  free_context(c);
  SIGPROV(CPAPI_UninitializeLib)(0, 0, 0, 0);
  // A later load leaves the copy as it was; an unknown output format stops signing.
  write_lines(ini, {"[key carrier settings]", "usage_mode=2", "pse_path=" + carrier.string(),
                    "[signal_com_message_pro_common_settings]", "output_data_format=FORMAT_XML"});
  initialize();
  EXPECT_EQ(read_bytes(ini + ".sav"), saved);
  EXPECT_NE(read_bytes(ini).find("output_data_format=\r\n"), std::string::npos);
  answer_password();
  c = context(SIGPROV_CONTEXT_SIGN);
  ASSERT_NE(c, nullptr);
  buffer = nullptr;
  EXPECT_EQ(SIGPROV(CPAPI_SignData)(c, "x", 2, &buffer, &length, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Not set output data format");
  free_context(c);
}

TEST_F(Provider, ParametersHandlesAndKeyHandlers) {
  write_settings();
  char error[256] = "";
  EXPECT_EQ(SIGPROV(CPAPI_InitializeLib)(9, 1, 1, 0, 1, 0, 0, ini.c_str(), 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong parameters for provider initialization function was set");
  EXPECT_EQ(SIGPROV(CPAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, "  ", 0, 0, 0, 0, error, sizeof error), 0);
  initialize();
  EXPECT_EQ(SIGPROV(CPAPI_SetProviderParam)(1, 0x1234, 0, 0, error, sizeof error), 1);
  uintptr_t value = 0;
  uint32_t size = 0;
  EXPECT_EQ(SIGPROV(CPAPI_GetProviderParam)(1, &value, &size, error, sizeof error), 1);
  EXPECT_EQ(value, 0x1234u);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(SIGPROV(CPAPI_GetProviderParam)(5, &value, &size, error, sizeof error), 0);
  EXPECT_STREQ(error, "Provider parameter with identifier '5' not supported");
  error[0] = '\0';
  EXPECT_EQ(SIGPROV(CPAPI_SetProviderParam)(4, 0xdead, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "");
  EXPECT_EQ(SIGPROV(CPAPI_SetProviderParam)(7, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "It's impossible to get parameter with identifier '7'");
  SIGPROV(CPAPI_SetProviderParam)(1, 0, 0, 0, error, sizeof error);

  EXPECT_EQ(SIGPROV(CPAPI_FreeCryptoContext)(nullptr, 0, 0, 0, 0, error, sizeof error), 1);
  uint32_t bogus[8] = {18102004u};
  auto* fake = reinterpret_cast<CpapiContext*>(bogus);
  EXPECT_EQ(SIGPROV(CPAPI_FreeCryptoContext)(fake, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong crypto context info");
  EXPECT_EQ(SIGPROV(CPAPI_SetContextParam)(fake, 1, 0, 0, 0, error, sizeof error), 0);
  EXPECT_EQ(SIGPROV(CPAPI_GetContextParam)(fake, 1, &value, 0, 0, error, sizeof error), 0);
  EXPECT_EQ(SIGPROV(CPAPI_SetKeyHandler)(1, nullptr, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong key handler function address was set");
  EXPECT_EQ(SIGPROV(CPAPI_SetKeyHandler)(1, reinterpret_cast<CpapiKeyHandler>(&std::abort), 0, 0, 0, 0, error,
                                         sizeof error),
            1);
  EXPECT_STREQ(SIGPROV(CPAPI_GetProviderName)(0, 0, 0, 0, nullptr, 0), "SignalComMessagePro");
  EXPECT_EQ(SIGPROV(CPAPI_GetProviderId)(0, 0, 0, 0, nullptr, 0), 4);
  EXPECT_EQ(SIGPROV(CPAPI_GetProviderUsageMode)(0, 0, 0, 0, nullptr, 0), 1);
}

TEST_F(Provider, KeyFilesAreMatchedWithCertificates) {
  write_settings();
  initialize();
  answer_password();
  char error[256] = "";
  const std::string user = pki().cert("user").string(), second = pki().cert("second").string();
  const std::string pse = carrier.string();
  EXPECT_EQ(SIGPROV(CPAPI_CheckPrivateKeysToCertCorrespondence)(user.c_str(), "", nullptr, error, sizeof error), -1);
  EXPECT_EQ(SIGPROV(CPAPI_CheckPrivateKeysToCertCorrespondence)(user.c_str(), pse.c_str(), nullptr, error, sizeof error),
            1);
  answer_password();
  EXPECT_EQ(
      SIGPROV(CPAPI_CheckPrivateKeysToCertCorrespondence)(second.c_str(), pse.c_str(), nullptr, error, sizeof error), 0);
  // Key carriers.
  EXPECT_EQ(SIGPROV(CPAPI_CheckPSE)("", 1, error, sizeof error), 1);
  EXPECT_EQ(SIGPROV(CPAPI_CheckPSE)("rutoken:\\0", 1, error, sizeof error), 1);
  EXPECT_EQ(SIGPROV(CPAPI_CheckPSE)("rutoken:0", 0, error, sizeof error), 0);
  EXPECT_EQ(SIGPROV(CPAPI_CheckPSE)(pse.c_str(), 1, error, sizeof error), 1);
  const fs::path bare = test::test_dir() / "bare";
  fs::create_directories(bare);
  EXPECT_EQ(SIGPROV(CPAPI_CheckPSE)(bare.string().c_str(), 1, error, sizeof error), 0);
  EXPECT_STREQ(error, "Key carrier structure is corrupted. Please, generate new keys.");
}

TEST_F(Provider, CertificateInformationAndFileSignatures) {
  write_settings();
  initialize();
  CpapiCertificateInfo info{};
  info.tag = SIGPROV_CERT_INFO_DN_TAG;
  char error[512] = "";
  const std::string user = pki().cert("user").string();
  ASSERT_EQ(SIGPROV(CPAPI_GetCertificateInfoEx)(user.c_str(), &info, error, sizeof error), 1) << error;
  EXPECT_STREQ(info.subject, "C = RU, O = Kelda Test, CN = user");
  EXPECT_STREQ(info.issuer, "C = RU, O = Kelda Test, CN = Kelda Test CA");
  EXPECT_STREQ(info.subject_dn.common_name, "user");
  EXPECT_STREQ(info.subject_dn.country, "RU");
  EXPECT_STREQ(info.key_algorithm, "rsaEncryption");
  EXPECT_GT(platform::to_u64(info.not_after), platform::to_u64(info.not_before));
  EXPECT_EQ(SIGPROV(CPAPI_FreeCertificateInfo)(&info, error, sizeof error), 1);
  EXPECT_EQ(info.subject, nullptr);
  EXPECT_EQ(SIGPROV(CPAPI_GetCertificateInfo)("missing.pem", nullptr, nullptr, nullptr, nullptr, nullptr, error,
                                              sizeof error),
            0);
  EXPECT_STREQ(error, "Can't read content for file \"missing.pem\"");

  const fs::path dir = test::test_dir();
  test::write_file_bytes(dir / "content.bin", "file content");
  const auto sign_file = [&](const std::string& who) {
    const fs::path out = dir / (who + ".p7s");
    EXPECT_EQ(run(openssl() + " cms -sign -nodetach -binary -outform DER -signer " + q(pki().cert(who)) + " -inkey " +
                  q(pki().key(who)) + " -in " + q(dir / "content.bin") + " -out " + q(out)),
              0);
    return out.string();
  };
  const std::string good = sign_file("user"), revoked = sign_file("revoked");
  EXPECT_EQ(SIGPROV(CPAPI_VerifyFileSignature)(good.c_str(), user.c_str(), error, sizeof error), 1) << error;
  EXPECT_EQ(SIGPROV(CPAPI_VerifyFileSignature)(good.c_str(), pki().ca_dir.string().c_str(), error, sizeof error), 0);
  EXPECT_EQ(std::string(error), "Not found signature for certificates from directory \"" + pki().ca_dir.string() + "\"");
  const std::string revoked_cert = pki().cert("revoked").string();
  EXPECT_EQ(SIGPROV(CPAPI_VerifyFileSignature)(revoked.c_str(), revoked_cert.c_str(), error, sizeof error), 0);
  EXPECT_EQ(std::string(error),
            "One signature was found:\\n issuer 'C = RU, O = Kelda Test, CN = Kelda Test CA'\\n subject 'C = RU, O = "
            "Kelda Test, CN = revoked'\\n Diagnostics was: 'certificate revoked'");
}

}  // namespace
}  // namespace kelda::sigprov::testing
