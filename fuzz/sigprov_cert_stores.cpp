// Arbitrary certificate and revocation-list files through the signing
// provider's toolkit: the certificate reader (one buffer), the stores of
// extra certificates, CAs and revocation lists filled from a directory, the
// CA and revocation-list files of a signing context, and a check of a text
// signed by the test user against those stores with every verification on
// (chain, revocation, time, purpose). Byte 0 picks the file name's
// extension (bits 0-1) and whether the test CA is in the CA directory too
// (bit 2); the rest is the file.
// Nothing may crash or leak; the check must tell each signature's status.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz_work_file.h"
#include "pkcs7tk/pkcs7tk.h"
#include "sigprov_test_pki.h"

namespace tk = kelda::pkcs7tk;
namespace fz = kelda::fuzzing;

namespace {

struct Files {
  std::string folder = fz::work_folder("sigprov-stores");
  std::string input_dir = folder + "/input";
  std::string ca_dir = folder + "/cas";
  std::string ca = ca_dir + "/ca.pem";
  Files() {
    std::filesystem::create_directories(input_dir);
    std::filesystem::create_directories(ca_dir);
  }
};

constexpr const char* kNames[] = {"/file.pem", "/file.cer", "/file.crl", "/file.crt"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Files files;
  if (size < 1 || size > 32 * 1024) return 0;
  const uint8_t mode = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  tk::CertificateInfo info;
  (void)tk::GetCertificateInfoBuffer(bytes.data(), bytes.size(), &info);

  std::error_code ec;
  for (const char* name : kNames) std::filesystem::remove(files.input_dir + name, ec);
  const std::string file = files.input_dir + kNames[mode & 3];
  fz::write_work_file(file, bytes);
  if ((mode & 4) != 0) {
    fz::write_work_file(files.ca, fz::kCaCertificate);
  } else {
    std::filesystem::remove(files.ca, ec);
  }

  if (tk::PKCS7Init(nullptr, 0) != tk::tk_ok) std::abort();
  tk::SetInputFormat(tk::FORMAT_PEM);
  tk::AddCertificates(files.input_dir.c_str());
  tk::AddCAs(files.input_dir.c_str());
  tk::AddCAs(files.ca_dir.c_str());
  tk::AddCRLs(files.input_dir.c_str());
  tk::SignCTX* context = tk::GetSignCTX();
  if (context == nullptr) std::abort();
  tk::AddCA(context, file.c_str());
  tk::AddCRL(context, file.c_str());
  tk::SetSignCTXVerifyFlags(context, tk::VERIFY_ALL);

  int type = 0;
  tk::PKCS7CTX* message = nullptr;
  if (tk::GetPKCS7TypeBufferEx(fz::kSignedText, std::strlen(fz::kSignedText), &type, &message) != tk::tk_ok ||
      message == nullptr) {
    std::abort();
  }
  uint8_t* content = nullptr;
  std::size_t content_length = 0;
  tk::CheckBufferSignEx(context, message, nullptr, 0, &content, &content_length, 1);
  tk::FreeBuffer(content);
  int count = 0;
  if (tk::GetSignatureCount(message, &count) != tk::tk_ok || count != 1) std::abort();
  int status = -1;
  char* text = nullptr;
  if (tk::GetSignatureStatus(message, 0, &status, &text) != tk::tk_ok) std::abort();
  tk::FreeText(text);
  tk::FreePKCS7CTX(message);
  tk::FreeSignCTX(context);
  tk::SetInputFormat(tk::FORMAT_ASN1);
  if (tk::PKCS7Final() != tk::tk_ok) std::abort();
  return 0;
}
