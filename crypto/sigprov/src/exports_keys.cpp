// Exports for key generation into a key carrier and for decoding
// certificate requests.
#include <cstring>
#include <functional>
#include <memory>

#include "passwords.h"
#include "pkcs7tk/pkcs7tk.h"
#include "provider.h"
#include "sigprov/sigprov.h"

using namespace kelda::sigprov;
namespace tk = kelda::pkcs7tk;

namespace {

// A text field of the caller's record, read within its size.
template <std::size_t N>
std::string field(const char (&text)[N]) {
  return std::string(text, strnlen(text, N));
}

bool toolkit_failed(int status, char* error, uint32_t size) {
  if (status == tk::tk_ok) return false;
  write_text(error, size, from_utf8(tk::GetErrorText()));
  return true;
}

// One open initialisation of the toolkit for the length of a call.
class ToolkitSession {
 public:
  ToolkitSession() : open_(tk::PKCS7Init(nullptr, 0) == tk::tk_ok) {}
  ~ToolkitSession() {
    if (open_) tk::PKCS7Final();
  }
  ToolkitSession(const ToolkitSession&) = delete;
  ToolkitSession& operator=(const ToolkitSession&) = delete;
  bool open() const { return open_; }

 private:
  bool open_;
};

// The generation parameters by parameter mode: the record (4) or the
// callback's answer (5); null with the text written.
const CpapiKeyGenParams* generation_params(int32_t params_mode, const CpapiKeyGenParams* params,
                                           CpapiParamCallback callback, uintptr_t callback_value, char* error,
                                           uint32_t size) {
  if (params_mode == 4) {
    if (params != nullptr && params->tag == SIGPROV_KEYGEN_PARAMS_TAG) return params;
    write_text(error, size, "Wrong parameters for crypto key generation was set");
    return nullptr;
  }
  if (params_mode == 5) {
    if (callback == nullptr) {
      write_text(error, size, "Wrong callback function address was set");
      return nullptr;
    }
    void* out = nullptr;
    uint32_t value = 0;
    if (callback(nullptr, callback_value, 0, 0, &out, &value, error, size) == 0) return nullptr;
    const auto* answer = static_cast<const CpapiKeyGenParams*>(out);
    if (answer != nullptr && answer->tag == SIGPROV_KEYGEN_PARAMS_TAG) return answer;
    write_text(error, size, "Wrong output params in callback function was set");
    return nullptr;
  }
  write_error(error, size, "Parameters request mode '%ld' for crypto key generation not supported",
              static_cast<long>(params_mode));
  return nullptr;
}

// The required fields, in the order they are checked.
bool complete(const CpapiKeyGenParams& p, char* error, uint32_t size) {
  const char* missing = nullptr;
  if (blank(field(p.pse_path))) {
    missing = "Key carrier PSE path undefined";
  } else if (blank(field(p.first_name)) || blank(field(p.second_name)) || blank(field(p.last_name))) {
    missing = "User first name or second name or last name not set";
  } else if (blank(field(p.email))) {
    missing = "User E-Mail address not set";
  } else if (blank(field(p.request_file))) {
    missing = "File name for user certificate request not set";
  } else if (p.request_in_memory != 0) {
    missing = "Cerificate request file transmission through memory block not supported";
  }
  if (missing != nullptr) write_text(error, size, missing);
  return missing == nullptr;
}

std::string common_name(const CpapiKeyGenParams& p) {
  return field(p.first_name) + " " + field(p.second_name) + " " + field(p.last_name);
}

// The toolkit's steps: carrier, algorithm, subject, key pair, request.
bool generate(const CpapiKeyGenParams& p, char* error, uint32_t size) {
  const std::string carrier = os_path(carrier_path(absolute_path(field(p.pse_path))));
  const std::string request = os_path(absolute_path(field(p.request_file)));
  clear_password_cache();
  tk::SetPSEPasswordCallbackFun(pse_password_callback, nullptr, nullptr, nullptr);
  ToolkitSession session;
  if (!session.open()) return !toolkit_failed(tk::tk_not_initialized, error, size);
  const std::string country = os_path(field(p.country)), state = os_path(field(p.state_or_province)),
                    locality = os_path(field(p.locality)), organization = os_path(field(p.organization)),
                    unit = os_path(field(p.organizational_unit)), title = os_path(field(p.title)),
                    name = os_path(common_name(p)), email = os_path(field(p.email));
  // Each step runs only when the one before it succeeded.
  const std::function<int()> steps[] = {
      [&] { return tk::PSE_Generation(carrier.c_str()); },
      [&] { return tk::PSE_Erase(carrier.c_str()); },
      [] { return tk::SetNewKeysAlgorithm("ECR3410"); },
      [] { return tk::SetCertificateRequestFlags(tk::REQUEST_PEM); },
      [] { return tk::ResetDistinguishedName(); },
      [&] { return tk::SetCountry(country.c_str()); },
      [&] { return tk::SetStateOrProvince(state.c_str()); },
      [&] { return tk::SetLocality(locality.c_str()); },
      [&] { return tk::SetOrganization(organization.c_str()); },
      [&] { return tk::SetOrganizationalUnit(unit.c_str()); },
      [&] { return tk::SetTitle(title.c_str()); },
      [&] { return tk::SetCommonName(name.c_str()); },
      [&] { return tk::SetEmailAddress(email.c_str()); },
      [&] { return tk::NewKeysGenerationEx(carrier.c_str(), nullptr); },
      [&] { return tk::MakePSECertificateRequestEx(request.c_str()); },
  };
  for (const auto& step : steps) {
    if (toolkit_failed(step(), error, size)) return false;
  }
  return true;
}

bool fill_request(CpapiCertRequestInfo& record, const tk::RequestInfo& info, const char* fingerprint) {
  return put_utf8(&record.subject, info.subject) &&
         put_utf8(&record.country, info.country) &&
         put_utf8(&record.state_or_province, info.state_or_province) &&
         put_utf8(&record.locality, info.locality) &&
         put_utf8(&record.organization, info.organization) &&
         put_utf8(&record.organizational_unit, info.organizational_unit) &&
         put_utf8(&record.title, info.title) &&
         put_utf8(&record.common_name, info.common_name) &&
         put_utf8(&record.email, info.email) && replace_text(&record.fingerprint, fingerprint);
}

using InfoPtr = std::unique_ptr<tk::RequestInfo, void (*)(tk::RequestInfo*)>;
using TextPtr = std::unique_ptr<char, void (*)(char*)>;

}  // namespace

extern "C" {

int32_t CPAPI_GenerateNewKey(int32_t generation_mode, int32_t params_mode, const CpapiKeyGenParams* params,
                             CpapiParamCallback callback, uintptr_t callback_value, char* error,
                             uint32_t error_size) {
  try {
    const CpapiKeyGenParams* p = generation_params(params_mode, params, callback, callback_value, error, error_size);
    if (p == nullptr) return 0;
    if (generation_mode != SIGPROV_KEYGEN_NEW_KEYS) {
      write_error(error, error_size, "Crypto key generation mode '%ld' not supported",
                  static_cast<long>(generation_mode));
      return 0;
    }
    if (!complete(*p, error, error_size)) return 0;
    return generate(*p, error, error_size) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_GetCertRequestInfo(int32_t source_kind, const void* source, uint32_t length,
                                 CpapiCertRequestInfo* info, char* error, uint32_t error_size) {
  try {
    if (info == nullptr || info->tag != SIGPROV_CERT_REQUEST_TAG) {
      write_text(error, error_size, "Wrong certificate request information record was set");
      return 0;
    }
    if (source == nullptr || (source_kind != SIGPROV_REQUEST_FROM_FILE && source_kind != SIGPROV_REQUEST_FROM_MEMORY)) {
      write_error(error, error_size, "Certificate request source kind '%ld' not supported",
                  static_cast<long>(source_kind));
      return 0;
    }
    ToolkitSession session;
    if (!session.open()) {
      toolkit_failed(tk::tk_not_initialized, error, error_size);
      return 0;
    }
    tk::RequestInfo* decoded = nullptr;
    char* fingerprint = nullptr;
    int status;
    if (source_kind == SIGPROV_REQUEST_FROM_FILE) {
      const std::string file = os_path(absolute_path(static_cast<const char*>(source)));
      status = tk::GetRequestInfo(file.c_str(), &decoded);
      if (status == tk::tk_ok) status = tk::GetRequestFingerprint(file.c_str(), &fingerprint);
    } else {
      status = tk::GetRequestInfoBuffer(source, length, &decoded);
      if (status == tk::tk_ok) status = tk::GetRequestFingerprintBuffer(source, length, &fingerprint);
    }
    InfoPtr owned_info(decoded, tk::FreeRequestInfo);
    TextPtr owned_fingerprint(fingerprint, tk::FreeText);
    if (toolkit_failed(status, error, error_size)) return 0;
    *info = CpapiCertRequestInfo{};
    info->tag = SIGPROV_CERT_REQUEST_TAG;
    if (!fill_request(*info, *decoded, fingerprint)) {
      CPAPI_FreeCertRequestInfo(info, nullptr, 0);
      write_text(error, error_size, kNoMemory);
      return 0;
    }
    return 1;
  } catch (...) {
    return 0;
  }
}

int32_t CPAPI_FreeCertRequestInfo(CpapiCertRequestInfo* info, char* error, uint32_t error_size) {
  if (info == nullptr || info->tag != SIGPROV_CERT_REQUEST_TAG) {
    write_text(error, error_size, "Wrong certificate request information record was set");
    return 0;
  }
  for (char** text : {&info->subject, &info->country, &info->state_or_province, &info->locality, &info->organization,
                      &info->organizational_unit, &info->title, &info->common_name, &info->email,
                      &info->fingerprint}) {
    release_text(*text);
  }
  return 1;
}

}  // extern "C"
