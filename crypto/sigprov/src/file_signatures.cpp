// Signed files: the file read whole, its signatures checked with a
// verification context of the settings and compared with the certificates
// looked for, the outcome told with the texts of the file-signature exports.
#include "file_signatures.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "context.h"
#include "pkcs7tk/pkcs7tk.h"
#include "provider.h"
#include "signed_data.h"
#include "sigprov/sigprov.h"

namespace kelda::sigprov {

namespace tk = kelda::pkcs7tk;

namespace {

using Lock = std::lock_guard<std::mutex>;

struct Identity {
  std::string issuer, serial, subject;
};

struct Tally {
  int failed = 0;  // signatures of the certificates that did not verify
  std::string diagnostics;
  bool verified = false;
  Identity signer;  // of the signature that verified
};

// The issuer, serial number and subject of each readable certificate.
std::vector<Identity> wanted_certificates(const std::string& source, bool directory) {
  std::vector<std::string> files;
  if (directory) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(os_path(source), ec)) {
      if (entry.is_regular_file(ec)) files.push_back(from_utf8(entry.path().string()));
    }
  } else {
    files.push_back(source);
  }
  std::vector<Identity> wanted;
  for (const std::string& f : files) {
    tk::CertificateInfo info;
    std::string cert;
    if (read_whole_file(f, cert) && tk::GetCertificateInfoBuffer(cert.data(), cert.size(), &info) == tk::tk_ok) {
      wanted.push_back({from_utf8(info.issuer), from_utf8(info.serial), from_utf8(info.subject)});
    }
  }
  return wanted;
}

std::string taken_text(char* text) {
  std::string result = from_utf8(text != nullptr ? text : "");
  tk::FreeText(text);
  return result;
}

// Goes through the signatures in order; the first one of a wanted
// certificate that verifies ends the search.
Tally compare_signatures(tk::PKCS7CTX* message, int count, const std::vector<Identity>& wanted, bool use_serial) {
  Tally tally;
  for (int i = 0; i < count; ++i) {
    char *issuer = nullptr, *serial = nullptr, *subject = nullptr, *text = nullptr;
    int status = 1;
    tk::GetSignatureIssuer(message, i, &issuer);
    tk::GetPKCS7SignatureSerial(message, i, &serial);
    tk::GetSignatureSubject(message, i, &subject);
    tk::GetSignatureStatus(message, i, &status, &text);
    const Identity s{taken_text(issuer), taken_text(serial), taken_text(subject)};
    const std::string diagnostics = taken_text(text);
    bool match = false;
    for (const Identity& w : wanted) {
      match = match || (w.issuer == s.issuer && (use_serial ? w.serial == s.serial : w.subject == s.subject));
    }
    if (!match) continue;
    tally.diagnostics = diagnostics;
    if (status == 0) {
      tally.verified = true;
      tally.signer = s;
      return tally;
    }
    ++tally.failed;
  }
  return tally;
}

void write_failure(const Tally& tally, const std::string& source, bool directory, const Identity& first,
                   bool use_serial, char* error, uint32_t size) {
  const char* kind = use_serial ? "serial number" : "subject";
  const std::string& id = use_serial ? first.serial : first.subject;
  if (directory) {
    if (tally.failed == 1) {
      write_error(error, size, "Was found signature for certificate from directory \"%s\". Diagnostics was '%s'",
                  source.c_str(), tally.diagnostics.c_str());
    } else if (tally.failed > 1) {
      write_error(error, size,
                  "%d signatures for certifices from directory \"%s\" was found. All signatures not verified. "
                  "Diagnostics for last signature verification was: '%s'",
                  tally.failed, source.c_str(), tally.diagnostics.c_str());
    } else {
      write_error(error, size, "Not found signature for certificates from directory \"%s\"", source.c_str());
    }
  } else if (tally.failed == 1) {
    write_error(error, size, "One signature was found:\\n issuer '%s'\\n %s '%s'\\n Diagnostics was: '%s'",
                first.issuer.c_str(), kind, id.c_str(), tally.diagnostics.c_str());
  } else if (tally.failed > 1) {
    write_error(error, size,
                "%d signatures was found:\\n issuer '%s'\\n %s '%s'\\n All signatures not verified. Diagnostics "
                "for last signature verification was: '%s'",
                tally.failed, first.issuer.c_str(), kind, id.c_str(), tally.diagnostics.c_str());
  } else {
    write_error(error, size, "Not found signature for certificate with parameters:\\n issuer '%s'\\n %s '%s'",
                first.issuer.c_str(), kind, id.c_str());
  }
}

}  // namespace

bool read_whole_file(const std::string& file, std::string& bytes) {
  FILE* f = std::fopen(os_path(file).c_str(), "rb");
  if (f == nullptr) return false;
  char block[4096];
  std::size_t n;
  bytes.clear();
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.append(block, n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

int32_t verify_file_signature(const char* signed_file, const char* certificates, int verify_flags,
                              FileVerdict& verdict, char* error, uint32_t size) {
  if (signed_file == nullptr || certificates == nullptr) {
    write_text(error, size, "Wrong input data");
    return 0;
  }
  const std::string file = absolute_path(signed_file);
  if (!file_exists(file)) {
    write_error(error, size, "Can not open file \"%s\"", file.c_str());
    return 0;
  }
  std::string bytes;
  if (!read_whole_file(file, bytes)) {
    write_error(error, size, "Can not read content of file \"%s\"", file.c_str());
    return 0;
  }
  SplitData split{nullptr, 0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), true};
  std::unique_ptr<tk::PKCS7CTX, void (*)(tk::PKCS7CTX*)> message(recognise_signed_data(split), tk::FreePKCS7CTX);
  if (!message) {
    write_error(error, size, "Can not get context of signed message from file \"%s\"", file.c_str());
    return 0;
  }
  // A verification context of the settings: their CAs and revocation lists.
  std::unique_ptr<CpapiContext, int32_t (*)(CpapiContext*)> verification(
      create_context({nullptr, SIGPROV_CONTEXT_VERIFY, 0, 0, 0, 2, nullptr, 0, nullptr, nullptr}, error, size),
      free_context);
  if (!verification) return 0;
  tk::SignCTX* verifier = context_of(verification.get())->sign;
  tk::SetSignCTXVerifyFlags(verifier, verify_flags);
  const std::string source = absolute_path(certificates);
  const bool directory = directory_exists(source);
  const std::vector<Identity> wanted = wanted_certificates(source, directory);
  if (!directory && wanted.empty()) {
    write_error(error, size, "Can't read content for file \"%s\"", source.c_str());
    return 0;
  }
  uint8_t* content = nullptr;
  std::size_t content_length = 0;
  const int status = tk::CheckBufferSignEx(verifier, message.get(), nullptr, 0, &content, &content_length, 1);
  tk::FreeBuffer(content);
  int count = 0;
  tk::GetSignatureCount(message.get(), &count);
  if (status != tk::tk_ok && count == 0) {
    write_text(error, size, from_utf8(tk::GetErrorText()));
    return 0;
  }
  bool use_serial;
  {
    Lock lock(provider().lock);
    use_serial = provider().common.use_serial_number == 1;
  }
  const Tally tally = compare_signatures(message.get(), count, wanted, use_serial);
  const Identity shown = tally.verified ? tally.signer : (wanted.empty() ? Identity{} : wanted.front());
  verdict = {shown.issuer, use_serial ? shown.serial : shown.subject, tally.diagnostics};
  if (tally.verified) return 1;
  write_failure(tally, source, directory, shown, use_serial, error, size);
  return 0;
}

}  // namespace kelda::sigprov
