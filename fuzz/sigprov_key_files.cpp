// Arbitrary private-key files and enveloped data through the signing
// provider's toolkit. Byte 0 picks the road (bits 0-1) and whether a
// password is given (bit 2: preset, else asked through the callback, which
// refuses when bit 3 is set):
//   0: the bytes as a key file matched with the user's certificate (buffer);
//   1: the bytes as a key file named on its own (opened, then matched with
//      the certificate file against the open keys);
//   2: the bytes as the one key file of a key carrier (".p12" or ".pem" by
//      bit 4), opened with the carrier password;
//   3: the bytes as enveloped data, opened with the user's key.
// Nothing may crash or leak; a key that opens must answer the match.
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

bool g_refuse = false;

int ask_password(char* buffer, int size) {
  if (g_refuse || size < 8) return -1;
  std::strcpy(buffer, fz::kKeyPassword);
  return static_cast<int>(std::strlen(fz::kKeyPassword));
}

struct Files {
  std::string folder = fz::work_folder("sigprov-keys");
  std::string certificate = folder + "/user.pem";
  std::string user_key = folder + "/user.key";
  std::string key = folder + "/input.key";
  std::string carrier = folder + "/carrier";
  Files() {
    fz::write_work_file(certificate, fz::kUserCertificate);
    fz::write_work_file(user_key, fz::kUserKey);
    std::filesystem::create_directories(carrier + "/keys");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Files files;
  if (size < 1 || size > 32 * 1024) return 0;
  const uint8_t mode = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool preset = (mode & 4) != 0;
  g_refuse = (mode & 8) != 0;
  if (tk::PKCS7Init(nullptr, 0) != tk::tk_ok) std::abort();
  tk::SetKeysPasswordCallbackFun(&ask_password);
  tk::SetPSEPasswordCallbackFun(&ask_password, preset ? fz::kKeyPassword : nullptr, files.key.c_str(),
                                preset ? fz::kKeyPassword : nullptr);
  switch (mode & 3) {
    case 0: {
      const int r = tk::CertAndPSEPrivateKeyMatchBufferEx(fz::kUserCertificate, std::strlen(fz::kUserCertificate),
                                                          bytes.data(), bytes.size(), files.key.c_str());
      if (r != tk::tk_ok && tk::GetErrorText()[0] == '\0') std::abort();
      break;
    }
    case 1: {
      fz::write_work_file(files.key, bytes);
      if (tk::AddPSEPrivateKeyEx(nullptr, nullptr, files.key.c_str(), nullptr) == tk::tk_ok) {
        if (tk::PrivateKeyCount() != 1) std::abort();
        (void)tk::CertAndPSEPrivateKeysMatch(files.certificate.c_str());
        (void)tk::CertAndPSEPrivateKeyMatch(files.certificate.c_str(), files.key.c_str());
      }
      break;
    }
    case 2: {
      std::error_code ec;
      std::filesystem::remove(files.carrier + "/keys/user.p12", ec);
      std::filesystem::remove(files.carrier + "/keys/user.pem", ec);
      fz::write_work_file(files.carrier + ((mode & 16) != 0 ? "/keys/user.pem" : "/keys/user.p12"), bytes);
      if (tk::AddPSEPrivateKeys(files.carrier.c_str(), nullptr) == tk::tk_ok) {
        (void)tk::CertAndPSEPrivateKeysMatch(files.certificate.c_str());
      }
      break;
    }
    case 3: {
      if (tk::AddPSEPrivateKeyEx(nullptr, nullptr, files.user_key.c_str(), nullptr) != tk::tk_ok) std::abort();
      uint8_t* out = nullptr;
      std::size_t out_length = 0;
      if (tk::DecryptBuffer(bytes.data(), bytes.size(), &out, &out_length) == tk::tk_ok && out == nullptr &&
          out_length > 0) {
        std::abort();
      }
      tk::FreeBuffer(out);
      break;
    }
  }
  if (tk::PKCS7Final() != tk::tk_ok || tk::PrivateKeyCount() != 0) std::abort();
  return 0;
}
