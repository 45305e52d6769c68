// Exports for certificates, formats, key carriers and file signatures.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "context.h"
#include "file_signatures.h"
#include "passwords.h"
#include "pkcs7tk/pkcs7tk.h"
#include "provider.h"
#include "signed_data.h"
#include "sigprov/sigprov.h"

using namespace kelda::sigprov;
namespace tk = kelda::pkcs7tk;

namespace {

using Lock = std::lock_guard<std::mutex>;

bool certificate_info(const char* cert_file, tk::CertificateInfo& info, char* error, uint32_t size) {
  std::string bytes;
  if (cert_file == nullptr || !read_whole_file(cert_file, bytes)) {
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

}  // namespace

extern "C" {

int32_t CPAPI_GetCertificateInfo(const char* cert_file, char** subject, char** issuer, char** serial_number,
                                 FILETIME* not_before, FILETIME* not_after, char* error, uint32_t error_size) {
  try {
    tk::CertificateInfo info;
    if (!certificate_info(cert_file, info, error, error_size)) return 0;
    if (!put_utf8(subject, info.subject) || !put_utf8(issuer, info.issuer) || !put_utf8(serial_number, info.serial)) {
      write_text(error, error_size, kNoMemory);
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
    bool ok = put_utf8(&record->subject, info.subject) && put_utf8(&record->issuer, info.issuer) &&
              put_utf8(&record->serial_number, info.serial) && put_utf8(&record->key_algorithm, info.key_algorithm);
    record->not_before = file_time(info.not_before);
    record->not_after = file_time(info.not_after);
    if (ok && tag == SIGPROV_CERT_INFO_DN_TAG) {
      CpapiDistinguishedName& dn = record->subject_dn;
      dn.tag = SIGPROV_DN_TAG;
      ok = put_utf8(&dn.country, info.country) && put_utf8(&dn.state_or_province, info.state_or_province) &&
           put_utf8(&dn.locality, info.locality) && put_utf8(&dn.organization, info.organization) &&
           put_utf8(&dn.organizational_unit, info.organizational_unit) && put_utf8(&dn.title, info.title) &&
           put_utf8(&dn.common_name, info.common_name) && put_utf8(&dn.email, info.email);
    }
    if (!ok) {
      CPAPI_FreeCertificateInfo(record, nullptr, 0);
      write_text(error, error_size, kNoMemory);
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
  for (char** text : {&record->subject, &record->issuer, &record->serial_number, &record->key_algorithm}) release_text(*text);
  if (record->tag == SIGPROV_CERT_INFO_DN_TAG) {
    CpapiDistinguishedName& dn = record->subject_dn;
    for (char** text : {&dn.country, &dn.state_or_province, &dn.locality, &dn.organization, &dn.organizational_unit,
                        &dn.title, &dn.common_name, &dn.email}) {
      release_text(*text);
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

int32_t CPAPI_VerifyFileSignatureEx(const char* signed_file, const char* certificates, int32_t verify_mode,
                                    char** issuer, char** serial_number_or_subject, char** diagnostics, char* error,
                                    uint32_t error_size) {
  try {
    if (verify_mode < -1 || verify_mode > 1) {
      write_error(error, error_size, "Verify mode '%ld' not supported", static_cast<long>(verify_mode));
      return 0;
    }
    FileVerdict verdict;
    const int flags = verify_mode == 1 ? tk::VERIFY_ALL : verify_mode;
    const int32_t result = verify_file_signature(signed_file, certificates, flags, verdict, error, error_size);
    if (!replace_text(issuer, verdict.issuer) || !replace_text(serial_number_or_subject, verdict.identity) ||
        !replace_text(diagnostics, verdict.diagnostics)) {
      write_text(error, error_size, kNoMemory);
      return 0;
    }
    return result;
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_VerifyFileSignature(const char* signed_file, const char* certificates, char* error,
                                  uint32_t error_size) {
  try {
    FileVerdict verdict;
    return verify_file_signature(signed_file, certificates, -1, verdict, error, error_size);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
