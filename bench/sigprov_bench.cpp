// Signing and checking 1,000 transaction texts through the PKCS#7 toolkit
// layer of the signing provider, beside the same work straight through
// OpenSSL's CMS API in the same run, so that the layer's own cost shows.
// Both sign with RSA-2048 and SHA-1 into detached DER signatures.
#include <benchmark/benchmark.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "pkcs7tk/pkcs7tk.h"

namespace {

namespace tk = kelda::pkcs7tk;
constexpr int kTexts = 1000;

struct Fixture {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  std::vector<std::string> texts;
  tk::SignCTX* context = nullptr;
  std::filesystem::path dir;

  Fixture() {
    key = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(2048));
    cert = X509_new();
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 86400);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("bench"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509_sign(cert, key, EVP_sha256());
    for (int i = 0; i < kTexts; ++i) {
      texts.push_back("TRANS_ID=" + std::to_string(i) + "|ACTION=NEW_ORDER|CLASSCODE=TQBR|SECCODE=SBER|OPERATION=B|"
                      "PRICE=" + std::to_string(250 + i % 50) + ".5|QUANTITY=10|ACCOUNT=L01-00000F00" + '\0');
    }
    // The toolkit opens its keys and certificates from files.
    char pattern[] = "/tmp/sigprov-bench-XXXXXX";
    dir = mkdtemp(pattern);
    FILE* f = std::fopen((dir / "key.pem").c_str(), "w");
    PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(f);
    f = std::fopen((dir / "cert.pem").c_str(), "w");
    PEM_write_X509(f, cert);
    std::fclose(f);
    tk::PKCS7Init(nullptr, 0);
    tk::SetDigestAlgorithm("SHA1");
    tk::SetVerifyFlags(0);
    tk::AddPSEPrivateKeyEx(nullptr, nullptr, (dir / "key.pem").c_str(), nullptr);
    context = tk::GetSignCTX();
    tk::AddSigner(context, (dir / "cert.pem").c_str());
  }
  ~Fixture() {
    tk::FreeSignCTX(context);
    tk::PKCS7Final();
    X509_free(cert);
    EVP_PKEY_free(key);
    std::filesystem::remove_all(dir);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

std::string raw_sign(const Fixture& f, const std::string& text) {
  const unsigned flags = CMS_BINARY | CMS_DETACHED;
  BIO* in = BIO_new_mem_buf(text.data(), static_cast<int>(text.size()));
  CMS_ContentInfo* cms = CMS_sign(nullptr, nullptr, nullptr, nullptr, flags | CMS_PARTIAL);
  CMS_add1_signer(cms, f.cert, f.key, EVP_sha1(), flags);
  CMS_final(cms, in, nullptr, flags);
  unsigned char* der = nullptr;
  const int n = i2d_CMS_ContentInfo(cms, &der);
  std::string out(reinterpret_cast<char*>(der), static_cast<std::size_t>(n));
  OPENSSL_free(der);
  CMS_ContentInfo_free(cms);
  BIO_free(in);
  return out;
}

std::string layer_sign(const Fixture& f, const std::string& text) {
  uint8_t* signature = nullptr;
  std::size_t length = 0;
  tk::SignBufferEx(f.context, text.data(), text.size(), &signature, &length, 1);
  std::string out(reinterpret_cast<char*>(signature), length);
  tk::FreeBuffer(signature);
  return out;
}

void BM_SignThroughToolkit(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    for (const std::string& text : f.texts) benchmark::DoNotOptimize(layer_sign(f, text));
  }
  state.SetItemsProcessed(state.iterations() * kTexts);
}

void BM_SignThroughOpensslCms(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    for (const std::string& text : f.texts) benchmark::DoNotOptimize(raw_sign(f, text));
  }
  state.SetItemsProcessed(state.iterations() * kTexts);
}

std::vector<std::string>& signatures() {
  static std::vector<std::string> all = [] {
    std::vector<std::string> out;
    for (const std::string& text : fixture().texts) out.push_back(raw_sign(fixture(), text));
    return out;
  }();
  return all;
}

void BM_CheckThroughToolkit(benchmark::State& state) {
  Fixture& f = fixture();
  const auto& sigs = signatures();
  for (auto _ : state) {
    for (int i = 0; i < kTexts; ++i) {
      int type = 0;
      tk::PKCS7CTX* message = nullptr;
      tk::GetPKCS7TypeBufferEx(sigs[i].data(), sigs[i].size(), &type, &message);
      tk::CheckBufferSignEx(f.context, message, f.texts[i].data(), f.texts[i].size(), nullptr, nullptr, 0);
      int status = 1;
      char* text = nullptr;
      tk::GetSignatureStatus(message, 0, &status, &text);
      tk::FreeText(text);
      if (status != 0) state.SkipWithError("a signature did not verify");
      tk::FreePKCS7CTX(message);
    }
  }
  state.SetItemsProcessed(state.iterations() * kTexts);
}

void BM_CheckThroughOpensslCms(benchmark::State& state) {
  Fixture& f = fixture();
  const auto& sigs = signatures();
  for (auto _ : state) {
    for (int i = 0; i < kTexts; ++i) {
      const auto* p = reinterpret_cast<const unsigned char*>(sigs[i].data());
      CMS_ContentInfo* cms = d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(sigs[i].size()));
      BIO* content = BIO_new_mem_buf(f.texts[i].data(), static_cast<int>(f.texts[i].size()));
      if (CMS_verify(cms, nullptr, nullptr, content, nullptr, CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY) != 1) {
        state.SkipWithError("a signature did not verify");
      }
      BIO_free(content);
      CMS_ContentInfo_free(cms);
    }
  }
  state.SetItemsProcessed(state.iterations() * kTexts);
}

BENCHMARK(BM_SignThroughToolkit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SignThroughOpensslCms)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckThroughToolkit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckThroughOpensslCms)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
