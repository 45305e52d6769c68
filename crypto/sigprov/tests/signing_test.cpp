// Signing, checking and enveloping through the plug-in's exports, against
// the real openssl program and a PKI it made.
#include <cstdlib>
#include <cstring>

#include "provider_fixture.h"

namespace kelda::sigprov::testing {
namespace {

const std::string kTransaction = std::string("ACTION=NEW_ORDER|CLASSCODE=TQBR|PRICE=101.5|QUANTITY=10") + '\0';

std::string q(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// openssl cms -sign over the content file; detached unless told otherwise.
std::string openssl_sign(const std::string& user, const std::string& content, bool detached = true) {
  const auto dir = test::test_dir();
  test::write_file_bytes(dir / "content.bin", content);
  const auto out = dir / (user + ".sig");
  EXPECT_EQ(run(openssl() + " cms -sign -binary -outform DER -md sha256 -signer " + q(pki().cert(user)) +
                " -inkey " + q(pki().key(user)) + (detached ? "" : " -nodetach") + " -in " +
                q(dir / "content.bin") + " -out " + q(out)),
            0);
  return read_bytes(out);
}

struct Checked {
  int32_t result;
  std::string content;
  std::string error;
};

class Signing : public SigprovTest {
 protected:
  Checked check(CpapiContext* c, const std::string& data, CpapiSenderInfo& sender) {
    void* buffer = nullptr;
    uint32_t length = 0;
    char error[1024] = "";
    Checked out;
    out.result = SIGPROV(CPAPI_CheckData)(c, data.data(), static_cast<uint32_t>(data.size()), &buffer, &length,
                                          &sender, 0, 0, 0, error, sizeof error);
    if (buffer != nullptr) out.content.assign(static_cast<char*>(buffer), length);
    SIGPROV(CPAPI_FreeMemory)(buffer);
    out.error = error;
    return out;
  }
};

TEST_F(Signing, SignsTransactionsThatOpensslVerifiesAndChecksThemBack) {
  write_settings();
  initialize();
  answer_password();
  CpapiContext* signer = context(SIGPROV_CONTEXT_SIGN);
  ASSERT_NE(signer, nullptr);
  // A buffer of capacity 10 grows to the data and its signature.
  void* buffer = SIGPROV(CPAPI_AllocMemory)(10);
  uint32_t length = 10;
  char error[512] = "";
  ASSERT_EQ(SIGPROV(CPAPI_SignData)(signer, kTransaction.data(), static_cast<uint32_t>(kTransaction.size()), &buffer,
                                    &length, 0, 0, 0, 0, error, sizeof error),
            1)
      << error;
  const std::string output(static_cast<char*>(buffer), length);
  SIGPROV(CPAPI_FreeMemory)(buffer);
  ASSERT_GT(output.size(), kTransaction.size());
  EXPECT_EQ(output.substr(0, kTransaction.size()), kTransaction);

  const auto dir = test::test_dir();
  test::write_file_bytes(dir / "data.bin", kTransaction);
  test::write_file_bytes(dir / "sig.der", output.substr(kTransaction.size()));
  EXPECT_EQ(run(openssl() + " cms -verify -binary -inform DER -in " + q(dir / "sig.der") + " -content " +
                q(dir / "data.bin") + " -CAfile " + q(pki().ca_cert) + " -purpose any -out " + q(dir / "out.bin")),
            0);
  EXPECT_EQ(read_bytes(dir / "out.bin"), kTransaction);

  // The provider checks its own output; an empty sender takes the signer.
  CpapiSenderInfo sender{};
  const Checked checked = check(signer, output, sender);
  EXPECT_EQ(checked.result, 1) << checked.error;
  EXPECT_EQ(checked.content, kTransaction);
  EXPECT_NE(std::string(sender.issuer).find("Kelda Test CA"), std::string::npos) << sender.issuer;
  EXPECT_NE(std::string(sender.subject).find("CN = user"), std::string::npos) << sender.subject;
  EXPECT_FALSE(std::string(sender.serial_number).empty());
  EXPECT_EQ(SIGPROV(CPAPI_IsDataSigned)(signer, output.data(), static_cast<uint32_t>(output.size()), nullptr, 0, 0, 0,
                                         nullptr, 0),
            1);
  // The password was asked once, through the dialog.
  EXPECT_EQ(script.asked(ui::ScriptedServices::Asked::Kind::modal_dialog).size(), 1u);
  free_context(signer);
}

TEST_F(Signing, ChecksWhatOpensslSignedForTheSender) {
  write_settings();
  initialize();
  CpapiContext* verifier = context(SIGPROV_CONTEXT_VERIFY);
  ASSERT_NE(verifier, nullptr);
  const std::string signature = openssl_sign("user", kTransaction);
  const std::string data = kTransaction + signature;

  CpapiSenderInfo sender{};
  Checked any = check(verifier, data, sender);
  ASSERT_EQ(any.result, 1) << any.error;
  EXPECT_EQ(any.content, kTransaction);

  // The same sender again is accepted; another subject is not found.
  CpapiSenderInfo same = sender;
  EXPECT_EQ(check(verifier, data, same).result, 1);
  CpapiSenderInfo other = sender;
  std::strcpy(other.subject, "C = RU, O = Kelda Test, CN = somebody");
  const Checked refused = check(verifier, data, other);
  EXPECT_EQ(refused.result, 0);
  EXPECT_EQ(refused.error, "Digital signature for the user certificate not found");

  // Layout 4: the message carries its content.
  const std::string attached = openssl_sign("user", "inner text", false);
  const CpapiSignedData layout4{CP_SIGNED_DATA_TAG, 4, nullptr, 0, nullptr, 0};
  EXPECT_EQ(SIGPROV(CPAPI_IsDataSigned)(verifier, attached.data(), static_cast<uint32_t>(attached.size()), &layout4, 0,
                                         0, 0, nullptr, 0),
            1);
  CpapiSenderInfoEx ex{};
  ex.sender.tag = CP_SENDER_INFO_EX_TAG;
  ex.signed_data = &layout4;
  const Checked carried = check(verifier, attached, ex.sender);
  EXPECT_EQ(carried.result, 1) << carried.error;
  EXPECT_EQ(carried.content, "inner text");
  free_context(verifier);
}

TEST_F(Signing, RefusesRevokedExpiredAndForeignSignersWithTheirTexts) {
  write_settings();
  initialize();
  CpapiContext* verifier = context(SIGPROV_CONTEXT_VERIFY);
  ASSERT_NE(verifier, nullptr);
  struct Case {
    const char* user;
    const char* text;
  };
  const Case cases[] = {
      {"revoked", "Digital signature verification error: \"certificate revoked\""},
      {"expired", "Digital signature verification error: \"certificate has expired\""},
      {"stranger", "Digital signature verification error: \"unable to get local issuer certificate\""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.user);
    CpapiSenderInfo sender{};
    const Checked checked = check(verifier, kTransaction + openssl_sign(k.user, kTransaction), sender);
    EXPECT_EQ(checked.result, 0);
    EXPECT_EQ(checked.error, k.text);
  }
  free_context(verifier);
}

TEST_F(Signing, TwoFailedSignaturesOfTheSenderAreCountedAndOthersIgnored) {
  write_settings();
  initialize();
  CpapiContext* verifier = context(SIGPROV_CONTEXT_VERIFY);
  ASSERT_NE(verifier, nullptr);
  // Signed by the revoked user and a stranger, then by the revoked user again
  // (its certificate is in the message once).
  const auto dir = test::test_dir();
  test::write_file_bytes(dir / "content.bin", kTransaction);
  ASSERT_EQ(run(openssl() + " cms -sign -binary -outform DER -md sha256 -signer " + q(pki().cert("revoked")) +
                " -inkey " + q(pki().key("revoked")) + " -signer " + q(pki().cert("stranger")) + " -inkey " +
                q(pki().key("stranger")) + " -in " + q(dir / "content.bin") + " -out " + q(dir / "once.sig")),
            0);
  ASSERT_EQ(run(openssl() + " cms -resign -binary -inform DER -outform DER -md sha256 -nocerts -in " +
                q(dir / "once.sig") + " -content " + q(dir / "content.bin") + " -signer " +
                q(pki().cert("revoked")) + " -inkey " + q(pki().key("revoked")) + " -out " + q(dir / "twice.sig")),
            0);
  const std::string data = kTransaction + read_bytes(dir / "twice.sig");
  CpapiSenderInfo sender{};
  CpapiCertificateInfo info{};
  info.tag = SIGPROV_CERT_INFO_TAG;
  ASSERT_EQ(SIGPROV(CPAPI_GetCertificateInfoEx)(pki().cert("revoked").c_str(), &info, nullptr, 0), 1);
  std::strncpy(sender.issuer, info.issuer, sizeof sender.issuer - 1);
  std::strncpy(sender.subject, info.subject, sizeof sender.subject - 1);
  SIGPROV(CPAPI_FreeCertificateInfo)(&info, nullptr, 0);
  const Checked checked = check(verifier, data, sender);
  EXPECT_EQ(checked.result, 0);
  EXPECT_EQ(checked.error,
            "Was found 2 digital signatures. All of them not verified. Error message for last verification was: "
            "\"certificate revoked\"");
  free_context(verifier);
}

TEST_F(Signing, RecognisesOnlyWellFormedSignedData) {
  write_settings();
  initialize();
  CpapiContext* verifier = context(SIGPROV_CONTEXT_VERIFY);
  ASSERT_NE(verifier, nullptr);
  const std::string signature = openssl_sign("user", kTransaction);
  const auto is_signed = [&](const std::string& data, const CpapiSignedData* d = nullptr) {
    return SIGPROV(CPAPI_IsDataSigned)(verifier, data.data(), static_cast<uint32_t>(data.size()), d, 0, 0, 0, nullptr,
                                       0);
  };
  EXPECT_EQ(is_signed(kTransaction + signature), 1);
  // No terminator within the length: the text never ends, nothing is signed.
  const std::string unterminated = kTransaction.substr(0, kTransaction.size() - 1);
  EXPECT_EQ(is_signed(unterminated), 0);
  EXPECT_EQ(is_signed(kTransaction), 0);
  EXPECT_EQ(is_signed(kTransaction + signature.substr(0, signature.size() / 2)), 0);
  // The same signature in PEM is found although the input format is ASN.1.
  const auto dir = test::test_dir();
  test::write_file_bytes(dir / "sig.der", signature);
  ASSERT_EQ(run(openssl() + " cms -cmsout -inform DER -outform PEM -in " + q(dir / "sig.der") + " -out " +
                q(dir / "sig.pem")),
            0);
  EXPECT_EQ(is_signed(kTransaction + read_bytes(dir / "sig.pem")), 1);
  // Layout 2 with the signature in the descriptor; a wrong tag is refused with a text.
  const CpapiSignedData layout2{CP_SIGNED_DATA_TAG, 2, nullptr, 0, signature.data(),
                                static_cast<uint32_t>(signature.size())};
  EXPECT_EQ(is_signed(kTransaction, &layout2), 1);
  CpapiSignedData wrong = layout2;
  wrong.tag = 1;
  char error[256] = "";
  EXPECT_EQ(SIGPROV(CPAPI_IsDataSigned)(verifier, kTransaction.data(), static_cast<uint32_t>(kTransaction.size()),
                                         &wrong, 0, 0, 0, error, sizeof error),
            0);
  EXPECT_STREQ(error, "Wrong format for input data");
  // A verification context does not sign.
  void* buffer = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(SIGPROV(CPAPI_SignData)(verifier, "x", 1, &buffer, &length, 0, 0, 0, 0, error, sizeof error), 0);
  EXPECT_STREQ(error, "Wrong input data - can not use context for digital signature generation");
  free_context(verifier);
}

TEST_F(Signing, EnvelopesRoundTripWithOpensslBothWays) {
  if (!gost_engine_installed()) GTEST_SKIP() << "the GOST engine (libengine-gost-openssl) is not installed";
  write_settings();
  initialize();
  answer_password();
  answer_password();
  CpapiContext* encryptor = context(SIGPROV_CONTEXT_ENCRYPT);
  ASSERT_NE(encryptor, nullptr);
  CpapiContext* decryptor = context(SIGPROV_CONTEXT_DECRYPT);
  ASSERT_NE(decryptor, nullptr);
  const auto dir = test::test_dir();
  const std::string plain = "secret order book";

  void* out = nullptr;
  uint32_t length = 0;
  char error[512] = "";
  ASSERT_EQ(SIGPROV(CPAPI_EnCryptData)(encryptor, plain.data(), static_cast<uint32_t>(plain.size()), &out, &length, 0,
                                        0, 0, 0, error, sizeof error),
            CP_CRYPT_DONE)
      << error;
  test::write_file_bytes(dir / "enc.der", std::string(static_cast<char*>(out), length));
  SIGPROV(CPAPI_FreeMemory)(out);
  EXPECT_EQ(run(openssl() + " cms -decrypt -engine gost -binary -inform DER -in " + q(dir / "enc.der") + " -inkey " +
                q(pki().key("user")) + " -recip " + q(pki().cert("user")) + " -out " + q(dir / "dec.bin")),
            0);
  EXPECT_EQ(read_bytes(dir / "dec.bin"), plain);

  test::write_file_bytes(dir / "plain.bin", plain);
  ASSERT_EQ(run(openssl() + " cms -encrypt -binary -aes256 -outform DER -in " + q(dir / "plain.bin") + " -out " +
                q(dir / "from-openssl.der") + " " + q(pki().cert("user"))),
            0);
  const std::string enveloped = read_bytes(dir / "from-openssl.der");
  out = nullptr;
  length = 0;
  ASSERT_EQ(SIGPROV(CPAPI_DeCryptData)(decryptor, enveloped.data(), static_cast<uint32_t>(enveloped.size()), &out,
                                        &length, 0, 0, 0, 0, error, sizeof error),
            CP_CRYPT_DONE)
      << error;
  EXPECT_EQ(std::string(static_cast<char*>(out), length), plain);
  SIGPROV(CPAPI_FreeMemory)(out);
  // Each context keeps to its direction.
  EXPECT_EQ(SIGPROV(CPAPI_EnCryptData)(decryptor, "x", 1, &out, &length, 0, 0, 0, 0, error, sizeof error),
            CP_CRYPT_ERROR);
  EXPECT_STREQ(error, "Wrong input data - can not use context for digital signature generation");
  free_context(encryptor);
  free_context(decryptor);
}

// Enveloped data made elsewhere (by the module in another process, by the
// openssl program) opened by a process that has enciphered nothing itself.
TEST_F(Signing, AFreshProcessOpensEnvelopesMadeElsewhere) {
  if (!gost_engine_installed()) GTEST_SKIP() << "the GOST engine (libengine-gost-openssl) is not installed";
  write_settings();
  const auto dir = test::test_dir();
  const std::string tool = q(platform::program_folder() / "sigprov_envelope_tool");
  const std::string plain = "secret order book";
  test::write_file_bytes(dir / "plain.bin", plain);
  const std::string recipient = q(pki().cert("user"));
  struct Case {
    const char* name;
    std::string make;   // writes the envelope to <name>.der
    const char* error;  // expected text of the failed opening, or null
  };
  const Case cases[] = {
      {"module", tool + " encrypt " + q(ini) + " " + q(dir / "plain.bin") + " " + q(dir / "module.der"), nullptr},
      {"gost89",
       openssl() + " cms -encrypt -engine gost -gost89 -binary -outform DER -in " + q(dir / "plain.bin") + " -out " +
           q(dir / "gost89.der") + " " + recipient,
       nullptr},
      // Single DES lives in OpenSSL's legacy provider, which the module does not load.
      {"des",
       openssl() + " cms -encrypt -provider legacy -provider default -des -binary -outform DER -in " +
           q(dir / "plain.bin") + " -out " + q(dir / "des.der") + " " + recipient,
       "The enveloped data is enciphered with an unknown cipher algorithm"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ASSERT_EQ(run(k.make), 0) << k.make;
    const std::string in = dir / (std::string(k.name) + ".der"), out = dir / (std::string(k.name) + ".out");
    const auto err = dir / (std::string(k.name) + ".err");
    const int status = std::system((tool + " decrypt " + q(ini) + " " + q(in) + " " + q(out) + " 2>" + q(err)).c_str());
    const std::string error = read_bytes(err);
    if (k.error == nullptr) {
      ASSERT_EQ(status, 0) << error;
      EXPECT_EQ(read_bytes(out), plain);
    } else {
      EXPECT_NE(status, 0);
      EXPECT_NE(error.find(k.error), std::string::npos) << error;
      EXPECT_EQ(error.find("private key"), std::string::npos) << error;
    }
  }
}

}  // namespace
}  // namespace kelda::sigprov::testing
