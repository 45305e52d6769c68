// Key generation into a key carrier, certificate requests checked by the
// real openssl program and decoded back, and signed files checked with the
// texts they are reported with.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "provider_fixture.h"

namespace kelda::sigprov::testing {
namespace {

std::string q(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

template <std::size_t N>
void put(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

class Keys : public SigprovTest {
 protected:
  CpapiKeyGenParams params(const std::filesystem::path& carrier_dir, const std::filesystem::path& request) {
    CpapiKeyGenParams p{};
    p.tag = SIGPROV_KEYGEN_PARAMS_TAG;
    put(p.pse_path, carrier_dir.string());
    put(p.country, "RU");
    put(p.locality, "Moscow");
    put(p.organization, "Broker");
    put(p.first_name, "Ivan");
    put(p.second_name, "Ivanovich");
    put(p.last_name, "Petrov");
    put(p.email, "ivan@example.org");
    put(p.request_file, request.string());
    return p;
  }

  std::string generate(int32_t generation_mode, int32_t params_mode, const CpapiKeyGenParams* p,
                       CpapiParamCallback callback = nullptr, uintptr_t value = 0, int32_t* result = nullptr) {
    char error[512] = "";
    const int32_t r = SIGPROV(CPAPI_GenerateNewKey)(generation_mode, params_mode, p, callback, value, error, sizeof error);
    if (result != nullptr) *result = r;
    return error;
  }
};

TEST_F(Keys, GeneratesAProtectedKeyAndARequestThatOpensslVerifies) {
  if (!gost_engine_installed()) GTEST_SKIP() << "the GOST engine (libengine-gost-openssl) is not installed";
  answer_password(u"new-secret");
  const auto dir = test::test_dir();
  const auto fresh = dir / "fresh";
  const CpapiKeyGenParams p = params(fresh, dir / "user.req");
  int32_t result = 0;
  const std::string error = generate(SIGPROV_KEYGEN_NEW_KEYS, 4, &p, nullptr, 0, &result);
  ASSERT_EQ(result, 1) << error;

  // The key lies in the carrier, encrypted, and opens with the password asked.
  const auto key = fresh / "keys" / "pse_key.pem";
  EXPECT_NE(read_bytes(key).find("ENCRYPTED PRIVATE KEY"), std::string::npos);
  EXPECT_EQ(run(openssl() + " pkey -engine gost -in " + q(key) + " -passin pass:new-secret -noout"), 0);
  EXPECT_NE(run(openssl() + " pkey -engine gost -in " + q(key) + " -passin pass:wrong -noout"), 0);
  EXPECT_EQ(SIGPROV(CPAPI_CheckPSE)(fresh.c_str(), 1, nullptr, 0), 1);

  // The request verifies, and its key is the carrier's.
  ASSERT_EQ(run(openssl() + " req -engine gost -verify -noout -in " + q(dir / "user.req")), 0);
  ASSERT_EQ(run(openssl() + " req -engine gost -pubkey -noout -in " + q(dir / "user.req") + " -out " +
                q(dir / "req.pub")),
            0);
  ASSERT_EQ(run(openssl() + " pkey -engine gost -in " + q(key) + " -passin pass:new-secret -pubout -out " +
                q(dir / "key.pub")),
            0);
  EXPECT_EQ(read_bytes(dir / "req.pub"), read_bytes(dir / "key.pub"));

  // Decoded from the file and from memory alike; the fingerprint is the
  // SHA-1 of the DER encoding.
  ASSERT_EQ(run(openssl() + " req -engine gost -in " + q(dir / "user.req") + " -outform DER -out " + q(dir / "user.der")),
            0);
  ASSERT_EQ(run(openssl() + " dgst -sha1 -r -out " + q(dir / "sha1.txt") + " " + q(dir / "user.der")), 0);
  std::string expected_fingerprint = read_bytes(dir / "sha1.txt").substr(0, 40);
  for (char& c : expected_fingerprint) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string request = read_bytes(dir / "user.req");
  const std::string der = read_bytes(dir / "user.der");
  struct Source {
    int32_t kind;
    const void* data;
    uint32_t length;
  };
  const std::string file = (dir / "user.req").string();
  for (const Source& s : {Source{SIGPROV_REQUEST_FROM_FILE, file.c_str(), 0},
                          Source{SIGPROV_REQUEST_FROM_MEMORY, request.data(), static_cast<uint32_t>(request.size())},
                          Source{SIGPROV_REQUEST_FROM_MEMORY, der.data(), static_cast<uint32_t>(der.size())}}) {
    CpapiCertRequestInfo info{};
    info.tag = SIGPROV_CERT_REQUEST_TAG;
    char text[512] = "";
    ASSERT_EQ(SIGPROV(CPAPI_GetCertRequestInfo)(s.kind, s.data, s.length, &info, text, sizeof text), 1) << text;
    EXPECT_STREQ(info.country, "RU");
    EXPECT_STREQ(info.locality, "Moscow");
    EXPECT_STREQ(info.organization, "Broker");
    EXPECT_STREQ(info.organizational_unit, "");
    EXPECT_STREQ(info.common_name, "Ivan Ivanovich Petrov");
    EXPECT_STREQ(info.email, "ivan@example.org");
    EXPECT_STREQ(info.fingerprint, expected_fingerprint.c_str());
    EXPECT_NE(std::string(info.subject).find("CN = Ivan Ivanovich Petrov"), std::string::npos) << info.subject;
    EXPECT_EQ(SIGPROV(CPAPI_FreeCertRequestInfo)(&info, nullptr, 0), 1);
    EXPECT_EQ(info.subject, nullptr);
    EXPECT_EQ(info.fingerprint, nullptr);
  }
}

TEST_F(Keys, RefusedPasswordLeavesNoKey) {
  if (!gost_engine_installed()) GTEST_SKIP() << "the GOST engine (libengine-gost-openssl) is not installed";
  script.on_dialog(kPasswordDialog, [](ui::DialogDriver& d) { d.click(ui::id::cancel); });
  const auto dir = test::test_dir();
  const CpapiKeyGenParams p = params(dir / "refused", dir / "refused.req");
  int32_t result = 1;
  const std::string error = generate(SIGPROV_KEYGEN_NEW_KEYS, 4, &p, nullptr, 0, &result);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "refused" / "keys" / "pse_key.pem"));
  EXPECT_FALSE(std::filesystem::exists(dir / "refused.req"));
}

// The record given back by a mode-5 callback (its callback value).
int32_t give_params(const cp_provider_record*, uintptr_t value, uintptr_t, uintptr_t, void** out, uint32_t*, char*,
                    uint32_t) {
  *out = reinterpret_cast<void*>(value);
  return 1;
}

TEST_F(Keys, RefusesIncompleteParametersWithTheirTexts) {
  const auto dir = test::test_dir();
  const CpapiKeyGenParams good = params(dir / "never", dir / "never.req");
  struct Case {
    const char* name;
    void (*spoil)(CpapiKeyGenParams&);
    const char* text;
  };
  const Case cases[] = {
      {"no carrier", [](CpapiKeyGenParams& p) { put(p.pse_path, ""); }, "Key carrier PSE path undefined"},
      {"no second name", [](CpapiKeyGenParams& p) { put(p.second_name, " "); },
       "User first name or second name or last name not set"},
      {"no e-mail", [](CpapiKeyGenParams& p) { put(p.email, ""); }, "User E-Mail address not set"},
      {"no request file", [](CpapiKeyGenParams& p) { put(p.request_file, ""); },
       "File name for user certificate request not set"},
      {"request in memory", [](CpapiKeyGenParams& p) { p.request_in_memory = 1; },
       "Cerificate request file transmission through memory block not supported"},
      {"wrong tag", [](CpapiKeyGenParams& p) { p.tag = 1; }, "Wrong parameters for crypto key generation was set"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    CpapiKeyGenParams p = good;
    k.spoil(p);
    int32_t result = 1;
    EXPECT_EQ(generate(SIGPROV_KEYGEN_NEW_KEYS, 4, &p, nullptr, 0, &result), k.text);
    EXPECT_EQ(result, 0);
  }
  EXPECT_EQ(generate(SIGPROV_KEYGEN_NEW_KEYS, 3, &good), "Parameters request mode '3' for crypto key generation not supported");
  EXPECT_EQ(generate(7, 4, &good), "Crypto key generation mode '7' not supported");
  EXPECT_EQ(generate(SIGPROV_KEYGEN_NEW_KEYS, 5, nullptr), "Wrong callback function address was set");
  CpapiKeyGenParams spoiled = good;
  spoiled.tag = 0;
  EXPECT_EQ(generate(SIGPROV_KEYGEN_NEW_KEYS, 5, nullptr, give_params, reinterpret_cast<uintptr_t>(&spoiled)),
            "Wrong output params in callback function was set");
  CpapiKeyGenParams no_mail = good;
  put(no_mail.email, "");
  EXPECT_EQ(generate(SIGPROV_KEYGEN_NEW_KEYS, 5, nullptr, give_params, reinterpret_cast<uintptr_t>(&no_mail)),
            "User E-Mail address not set");
  EXPECT_FALSE(std::filesystem::exists(dir / "never"));
}

TEST_F(Keys, RefusesWhatIsNotARequest) {
  const auto dir = test::test_dir();
  // A request whose signature was spoilt is refused like garbage.
  ASSERT_EQ(run(openssl() + " req -new -key " + q(pki().key("user")) + " -subj /CN=someone -outform DER -out " +
                q(dir / "plain.der")),
            0);
  std::string spoilt = read_bytes(dir / "plain.der");
  spoilt[spoilt.size() - 5] ^= 0x55;
  const std::string garbage = "not a request";
  for (const std::string& bytes : {spoilt, garbage}) {
    CpapiCertRequestInfo info{};
    info.tag = SIGPROV_CERT_REQUEST_TAG;
    char error[512] = "";
    EXPECT_EQ(SIGPROV(CPAPI_GetCertRequestInfo)(SIGPROV_REQUEST_FROM_MEMORY, bytes.data(),
                                                static_cast<uint32_t>(bytes.size()), &info, error, sizeof error),
              0);
    EXPECT_NE(error[0], '\0');
    EXPECT_EQ(info.subject, nullptr);
  }
  CpapiCertRequestInfo untagged{};
  char error[512] = "";
  const std::string file = (dir / "plain.der").string();
  EXPECT_EQ(SIGPROV(CPAPI_GetCertRequestInfo)(SIGPROV_REQUEST_FROM_FILE, file.c_str(), 0, &untagged, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong certificate request information record was set");
  CpapiCertRequestInfo info{};
  info.tag = SIGPROV_CERT_REQUEST_TAG;
  EXPECT_EQ(SIGPROV(CPAPI_GetCertRequestInfo)(3, file.c_str(), 0, &info, error, sizeof error), 0);
  EXPECT_STREQ(error, "Certificate request source kind '3' not supported");
  ASSERT_EQ(SIGPROV(CPAPI_GetCertRequestInfo)(SIGPROV_REQUEST_FROM_FILE, file.c_str(), 0, &info, error, sizeof error), 1)
      << error;
  EXPECT_STREQ(info.common_name, "someone");
  SIGPROV(CPAPI_FreeCertRequestInfo)(&info, nullptr, 0);
}

struct Verdict {
  int32_t result;
  std::string issuer, identity, diagnostics, error;
};

class FileSignatures : public SigprovTest {
 protected:
  // A file with content and the signatures of the users, made by openssl; a
  // user named again signs once more (its certificate is in the file once).
  std::string signed_file(const std::vector<std::string>& users) {
    const auto dir = test::test_dir();
    test::write_file_bytes(dir / "content.txt", "file content");
    const auto out = dir / "signed.p7";
    const auto step = dir / "step.p7";
    std::vector<std::string> signed_by;
    for (const std::string& user : users) {
      const bool again = std::find(signed_by.begin(), signed_by.end(), user) != signed_by.end();
      const std::string how = signed_by.empty() ? " cms -sign -nodetach -in " + q(dir / "content.txt")
                                                : " cms -resign -inform DER -in " + q(out) + (again ? " -nocerts" : "");
      EXPECT_EQ(run(openssl() + how + " -binary -outform DER -md sha256 -signer " + q(pki().cert(user)) + " -inkey " +
                    q(pki().key(user)) + " -out " + q(step)),
                0);
      std::filesystem::rename(step, out);
      signed_by.push_back(user);
    }
    return out.string();
  }

  Verdict verify(const std::string& file, const std::string& certificates, int32_t mode) {
    char *issuer = nullptr, *identity = nullptr, *diagnostics = nullptr;
    char error[2048] = "";
    Verdict v;
    v.result = SIGPROV(CPAPI_VerifyFileSignatureEx)(file.c_str(), certificates.c_str(), mode, &issuer, &identity,
                                                     &diagnostics, error, sizeof error);
    v.issuer = issuer != nullptr ? issuer : "";
    v.identity = identity != nullptr ? identity : "";
    v.diagnostics = diagnostics != nullptr ? diagnostics : "";
    v.error = error;
    for (char* text : {issuer, identity, diagnostics}) SIGPROV(CPAPI_FreeMemory)(text);
    return v;
  }

  std::string subject_of(const std::string& user) {
    char* subject = nullptr;
    EXPECT_EQ(SIGPROV(CPAPI_GetCertificateInfo)(pki().cert(user).c_str(), &subject, nullptr, nullptr, nullptr,
                                                nullptr, nullptr, 0),
              1);
    std::string text = subject != nullptr ? subject : "";
    SIGPROV(CPAPI_FreeMemory)(subject);
    return text;
  }
};

TEST_F(FileSignatures, ReturnsTheSignerAndTheDiagnosticsAndHonoursTheVerifyMode) {
  write_settings();
  initialize();
  const std::string user = pki().cert("user").string(), expired = pki().cert("expired").string();

  const Verdict good = verify(signed_file({"expired", "user"}), user, 1);
  EXPECT_EQ(good.result, 1) << good.error;
  EXPECT_EQ(good.identity, subject_of("user"));
  EXPECT_NE(good.issuer.find("CN"), std::string::npos);

  // The expired signer fails with the certificate checks and passes without.
  const std::string file = signed_file({"expired", "expired"});
  const Verdict twice = verify(file, expired, 1);
  EXPECT_EQ(twice.result, 0);
  EXPECT_EQ(twice.diagnostics, "certificate has expired");
  EXPECT_EQ(twice.identity, subject_of("expired"));
  EXPECT_EQ(twice.error, "2 signatures was found:\\n issuer '" + twice.issuer + "'\\n subject '" + twice.identity +
                             "'\\n All signatures not verified. Diagnostics for last signature verification was: "
                             "'certificate has expired'");
  EXPECT_EQ(verify(file, expired, 0).result, 1);

  const Verdict foreign = verify(file, user, 1);
  EXPECT_EQ(foreign.result, 0);
  EXPECT_EQ(foreign.identity, subject_of("user"));
  EXPECT_EQ(foreign.diagnostics, "");
  EXPECT_EQ(foreign.error.rfind("Not found signature for certificate with parameters:", 0), 0u) << foreign.error;

  EXPECT_EQ(verify(file, expired, 2).error, "Verify mode '2' not supported");
}

}  // namespace
}  // namespace kelda::sigprov::testing
