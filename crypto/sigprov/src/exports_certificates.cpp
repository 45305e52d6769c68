// Exports for certificates, formats, key carriers and file signatures.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "context.h"
#include "passwords.h"
#include "pkcs7tk/pkcs7tk.h"
#include "provider.h"
#include "signed_data.h"
#include "sigprov/sigprov.h"

using namespace kelda::sigprov;
namespace tk = kelda::pkcs7tk;

namespace {

using Lock = std::lock_guard<std::mutex>;

bool read_file(const std::string& file, std::string& bytes) {
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

bool certificate_info(const char* cert_file, tk::CertificateInfo& info, char* error, uint32_t size) {
  std::string bytes;
  if (cert_file == nullptr || !read_file(cert_file, bytes)) {
    write_error(error, size, "Can't read content for file \"%s\"", cert_file != nullptr ? cert_file : "");
    return false;
  }
  if (tk::GetCertificateInfoBuffer(bytes.data(), bytes.size(), &info) != tk::tk_ok) {
    write_text(error, size, from_utf8(tk::GetErrorText()));
    return false;
  }
  return true;
}

FILETIME file_time(std::time_t t) {
  const uint64_t units = (static_cast<uint64_t>(t) + 11644473600ull) * 10000000ull;
  return {static_cast<uint32_t>(units), static_cast<uint32_t>(units >> 32)};
}

// Replaces *slot with a copy of the text (the old block reallocated).
bool put_text(char** slot, const std::string& utf8) {
  if (slot == nullptr) return true;
  const std::string text = from_utf8(utf8);
  char* grown = static_cast<char*>(std::realloc(*slot, text.size() + 1));
  if (grown == nullptr) return false;
  std::memcpy(grown, text.c_str(), text.size() + 1);
  *slot = grown;
  return true;
}

void free_text(char*& text) {
  std::free(text);
  text = nullptr;
}

struct Compared {
  std::string issuer, serial, subject;
};

}  // namespace

extern "C" {

int32_t CPAPI_GetCertificateInfo(const char* cert_file, char** subject, char** issuer, char** serial_number,
                                 FILETIME* not_before, FILETIME* not_after, char* error, uint32_t error_size) {
  try {
    tk::CertificateInfo info;
    if (!certificate_info(cert_file, info, error, error_size)) return 0;
    if (!put_text(subject, info.subject) || !put_text(issuer, info.issuer) || !put_text(serial_number, info.serial)) {
      write_text(error, error_size, "Memory allocation error");
      return 0;
    }
    if (not_before != nullptr) *not_before = file_time(info.not_before);
    if (not_after != nullptr) *not_after = file_time(info.not_after);
    return 1;
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_GetCertificateInfoEx(const char* cert_file, CpapiCertificateInfo* record, char* error,
                                   uint32_t error_size) {
  try {
    if (record == nullptr || (record->tag != SIGPROV_CERT_INFO_TAG && record->tag != SIGPROV_CERT_INFO_DN_TAG)) {
      write_text(error, error_size, "Wrong certificate information record was set");
      return 0;
    }
    tk::CertificateInfo info;
    if (!certificate_info(cert_file, info, error, error_size)) return 0;
    const uint32_t tag = record->tag;
    *record = CpapiCertificateInfo{};
    record->tag = tag;
    bool ok = put_text(&record->subject, info.subject) && put_text(&record->issuer, info.issuer) &&
              put_text(&record->serial_number, info.serial) && put_text(&record->key_algorithm, info.key_algorithm);
    record->not_before = file_time(info.not_before);
    record->not_after = file_time(info.not_after);
    if (ok && tag == SIGPROV_CERT_INFO_DN_TAG) {
      CpapiDistinguishedName& dn = record->subject_dn;
      dn.tag = SIGPROV_DN_TAG;
      ok = put_text(&dn.country, info.country) && put_text(&dn.state_or_province, info.state_or_province) &&
           put_text(&dn.locality, info.locality) && put_text(&dn.organization, info.organization) &&
           put_text(&dn.organizational_unit, info.organizational_unit) && put_text(&dn.title, info.title) &&
           put_text(&dn.common_name, info.common_name) && put_text(&dn.email, info.email);
    }
    if (!ok) {
      CPAPI_FreeCertificateInfo(record, nullptr, 0);
      write_text(error, error_size, "Memory allocation error");
      return 0;
    }
    return 1;
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_FreeCertificateInfo(CpapiCertificateInfo* record, char* error, uint32_t error_size) {
  if (record == nullptr || (record->tag != SIGPROV_CERT_INFO_TAG && record->tag != SIGPROV_CERT_INFO_DN_TAG)) {
    write_text(error, error_size, "Wrong certificate information record was set");
    return 0;
  }
  for (char** text : {&record->subject, &record->issuer, &record->serial_number, &record->key_algorithm}) free_text(*text);
  if (record->tag == SIGPROV_CERT_INFO_DN_TAG) {
    CpapiDistinguishedName& dn = record->subject_dn;
    for (char** text : {&dn.country, &dn.state_or_province, &dn.locality, &dn.organization, &dn.organizational_unit,
                        &dn.title, &dn.common_name, &dn.email}) {
      free_text(*text);
    }
  }
  return 1;
}

int32_t CPAPI_SetCertificateVerifyMode(int32_t on, char*, uint32_t) {
  tk::SetVerifyFlags(on != 0 ? tk::VERIFY_ALL : 0);
  return 1;
}

int32_t CPAPI_SetInputFormat(int32_t format, char* error, uint32_t error_size) {
  if (tk::SetInputFormat(format) != tk::tk_ok) {
    write_text(error, error_size, from_utf8(tk::GetErrorText()));
    return 0;
  }
  Lock lock(provider().lock);
  provider().common.input_format = format;
  return 1;
}

int32_t CPAPI_SetOutputFormat(int32_t format, char* error, uint32_t error_size) {
  if (tk::SetOutputFormat(format) != tk::tk_ok) {
    write_text(error, error_size, from_utf8(tk::GetErrorText()));
    return 0;
  }
  Lock lock(provider().lock);
  provider().common.output_format = format;
  return 1;
}

int32_t CPAPI_UseCertificateSerialNumberInsteadOfSubject(char*, uint32_t) {
  Lock lock(provider().lock);
  return provider().common.use_serial_number;
}

int32_t CPAPI_CheckPSE(const char* pse_path, int32_t flag, char* error, uint32_t error_size) {
  try {
    if (blank(pse_path) || is_token_path(pse_path)) return 1;
    if (flag == 0) return 0;
    const std::string keys = carrier_path(pse_path) + "keys";
    std::error_code ec;
    bool has_key = false;
    for (const auto& entry : std::filesystem::directory_iterator(os_path(keys), ec)) {
      if (entry.is_regular_file(ec)) has_key = true;
    }
    if (has_key) return 1;
    write_text(error, error_size, "Key carrier structure is corrupted. Please, generate new keys.");
    return 0;
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_CheckCertificateValidityPeriod(const char* cert_file, int32_t warning_days, char* error,
                                             uint32_t error_size) {
  try {
    if (cert_file == nullptr) {
      write_error(error, error_size, "Can't read content for file \"%s\"", "");
      return 0;
    }
    return check_validity_period(absolute_path(cert_file), warning_days, error, error_size);
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_CheckPrivateKeysToCertCorrespondence(const char* cert_file, const char* pse_path,
                                                   const char* keys_directory, char* error, uint32_t error_size) {
  try {
    if (blank(pse_path)) return -1;
    if (cert_file == nullptr) {
      write_error(error, error_size, "Can't read content for file \"%s\"", "");
      return 0;
    }
    const std::string keys = !blank(keys_directory) ? absolute_path(keys_directory) : carrier_path(pse_path) + "keys";
    clear_password_cache();
    tk::SetKeysPasswordCallbackFun(key_password_callback);
    const std::string cert = os_path(absolute_path(cert_file));
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(os_path(keys), ec)) {
      if (!entry.is_regular_file(ec)) continue;
      if (tk::CertAndPSEPrivateKeyMatch(cert.c_str(), entry.path().string().c_str()) == tk::tk_ok) return 1;
    }
    return 0;
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_VerifyFileSignature(const char* signed_file, const char* certificates, char* error,
                                  uint32_t error_size) {
  try {
    if (signed_file == nullptr || certificates == nullptr) {
      write_text(error, error_size, "Wrong input data");
      return 0;
    }
    const std::string file = absolute_path(signed_file);
    if (!file_exists(file)) {
      write_error(error, error_size, "Can not open file \"%s\"", file.c_str());
      return 0;
    }
    std::string bytes;
    if (!read_file(file, bytes)) {
      write_error(error, error_size, "Can not read content of file \"%s\"", file.c_str());
      return 0;
    }
    SplitData split{nullptr, 0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), true};
    tk::PKCS7CTX* message = recognise_signed_data(split);
    if (message == nullptr) {
      write_error(error, error_size, "Can not get context of signed message from file \"%s\"", file.c_str());
      return 0;
    }
    std::unique_ptr<tk::PKCS7CTX, void (*)(tk::PKCS7CTX*)> owned(message, tk::FreePKCS7CTX);
    // A verification context of the settings: their CAs and revocation lists.
    std::unique_ptr<CpapiContext, int32_t (*)(CpapiContext*)> verification(
        create_context({nullptr, SIGPROV_CONTEXT_VERIFY, 0, 0, 0, 2, nullptr, 0, nullptr, nullptr}, error, error_size),
        free_context);
    if (!verification) return 0;
    tk::SignCTX* verifier = context_of(verification.get())->sign;
    // The certificates the signatures are compared with.
    const std::string source = absolute_path(certificates);
    const bool directory = directory_exists(source);
    std::vector<Compared> wanted;
    std::vector<std::string> files;
    if (directory) {
      std::error_code ec;
      for (const auto& entry : std::filesystem::directory_iterator(os_path(source), ec)) {
        if (entry.is_regular_file(ec)) files.push_back(from_utf8(entry.path().string()));
      }
    } else {
      files.push_back(source);
    }
    for (const std::string& f : files) {
      tk::CertificateInfo info;
      std::string cert;
      if (read_file(f, cert) && tk::GetCertificateInfoBuffer(cert.data(), cert.size(), &info) == tk::tk_ok) {
        wanted.push_back({from_utf8(info.issuer), from_utf8(info.serial), from_utf8(info.subject)});
      }
    }
    if (!directory && wanted.empty()) {
      write_error(error, error_size, "Can't read content for file \"%s\"", source.c_str());
      return 0;
    }
    uint8_t* content = nullptr;
    std::size_t content_length = 0;
    const int status = tk::CheckBufferSignEx(verifier, message, nullptr, 0, &content, &content_length, 1);
    tk::FreeBuffer(content);
    int count = 0;
    tk::GetSignatureCount(message, &count);
    if (status != tk::tk_ok && count == 0) {
      write_text(error, error_size, from_utf8(tk::GetErrorText()));
      return 0;
    }
    bool use_serial;
    {
      Lock lock(provider().lock);
      use_serial = provider().common.use_serial_number == 1;
    }
    int failed = 0;
    std::string diagnostics;
    for (int i = 0; i < count; ++i) {
      char *issuer = nullptr, *serial = nullptr, *subject = nullptr, *text = nullptr;
      int verified = 1;
      tk::GetSignatureIssuer(message, i, &issuer);
      tk::GetPKCS7SignatureSerial(message, i, &serial);
      tk::GetSignatureSubject(message, i, &subject);
      tk::GetSignatureStatus(message, i, &verified, &text);
      const Compared s{from_utf8(issuer ? issuer : ""), from_utf8(serial ? serial : ""), from_utf8(subject ? subject : "")};
      diagnostics = from_utf8(text ? text : "");
      for (char* t : {issuer, serial, subject, text}) tk::FreeText(t);
      bool match = false;
      for (const Compared& w : wanted) {
        match = match || (w.issuer == s.issuer && (use_serial ? w.serial == s.serial : w.subject == s.subject));
      }
      if (!match) continue;
      if (verified == 0) return 1;
      ++failed;
    }
    const Compared first = wanted.empty() ? Compared{} : wanted.front();
    const char* kind = use_serial ? "serial number" : "subject";
    const std::string& id = use_serial ? first.serial : first.subject;
    if (directory) {
      if (failed == 1) {
        write_error(error, error_size, "Was found signature for certificate from directory \"%s\". Diagnostics was '%s'",
                    source.c_str(), diagnostics.c_str());
      } else if (failed > 1) {
        write_error(error, error_size,
                    "%d signatures for certifices from directory \"%s\" was found. All signatures not verified. "
                    "Diagnostics for last signature verification was: '%s'",
                    failed, source.c_str(), diagnostics.c_str());
      } else {
        write_error(error, error_size, "Not found signature for certificates from directory \"%s\"", source.c_str());
      }
    } else if (failed == 1) {
      write_error(error, error_size, "One signature was found:\\n issuer '%s'\\n %s '%s'\\n Diagnostics was: '%s'",
                  first.issuer.c_str(), kind, id.c_str(), diagnostics.c_str());
    } else if (failed > 1) {
      write_error(error, error_size,
                  "%d signatures was found:\\n issuer '%s'\\n %s '%s'\\n All signatures not verified. Diagnostics "
                  "for last signature verification was: '%s'",
                  failed, first.issuer.c_str(), kind, id.c_str(), diagnostics.c_str());
    } else {
      write_error(error, error_size, "Not found signature for certificate with parameters:\\n issuer '%s'\\n %s '%s'",
                  first.issuer.c_str(), kind, id.c_str());
    }
    return 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
