// Arbitrary signed files through the signing provider's comparison of a
// file's signatures with the certificates looked for: the file is read
// whole, its signatures checked with a verification context of the
// provider's settings (the test CA and its revocation list), and each
// signature's issuer, serial number and subject compared with those of the
// certificate file or of every certificate of a directory. Byte 0 picks a
// directory or the user's certificate file (bit 0), the serial number or the
// subject (bit 1), and the verification flags (bits 2-5, all 15 with bit 6).
// Nothing may crash or leak; a failed comparison must say why.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "file_signatures.h"
#include "fuzz_work_file.h"
#include "pkcs7tk/pkcs7tk.h"
#include "provider.h"
#include "sigprov_test_pki.h"

namespace fz = kelda::fuzzing;
using namespace kelda::sigprov;

namespace {

struct Files {
  std::string folder = fz::work_folder("sigprov-files");
  std::string cas = folder + "/cas";
  std::string certificates = folder + "/certificates";
  std::string user = certificates + "/user.pem";
  std::string signed_file = folder + "/order.p7s";
  Files() {
    std::filesystem::create_directories(cas);
    std::filesystem::create_directories(certificates);
    fz::write_work_file(cas + "/ca.pem", fz::kCaCertificate);
    fz::write_work_file(user, fz::kUserCertificate);
    fz::write_work_file(certificates + "/ca.pem", fz::kCaCertificate);
    std::lock_guard<std::mutex> lock(provider().lock);
    provider().module_dir = folder;
    provider().common.cas_path = cas;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Files files;
  if (size < 1 || size > 32 * 1024) return 0;
  const uint8_t mode = data[0];
  fz::write_work_file(files.signed_file, {reinterpret_cast<const char*>(data) + 1, size - 1});
  {
    std::lock_guard<std::mutex> lock(provider().lock);
    provider().common.use_serial_number = (mode & 2) != 0 ? 1 : 0;
  }
  const int flags = (mode & 64) != 0 ? kelda::pkcs7tk::VERIFY_ALL : (mode >> 2) & 15;
  FileVerdict verdict;
  char error[512] = "";
  const std::string& certificates = (mode & 1) != 0 ? files.certificates : files.user;
  const int32_t r =
      verify_file_signature(files.signed_file.c_str(), certificates.c_str(), flags, verdict, error, sizeof error);
  if (r != 1 && error[0] == '\0') std::abort();
  // Each context opens the toolkit once more; the provider's end closes it
  // as often, which empties its stores for the next input.
  while (kelda::pkcs7tk::OpenInitCount() > 0) kelda::pkcs7tk::PKCS7Final();
  return 0;
}
