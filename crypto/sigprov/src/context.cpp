// Context creation (parameters, key carrier, certificate checks, toolkit
// initialisation, signer or recipient), the live-context registry, and the
// certificate validity check.
#include "context.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

#include "cipherhub/live_contexts.h"
#include "passwords.h"
#include "provider.h"
#include "settings.h"
#include "sigprov/sigprov.h"

namespace kelda::sigprov {

namespace {

namespace tk = pkcs7tk;
using Lock = std::lock_guard<std::mutex>;

using Registry = cpapi::LiveContexts<Context, SIGPROV_CONTEXT_TAG>;
Registry& registry() {
  static auto* r = new Registry;
  return *r;
}

// A text field of a caller's record, read within its size.
std::string field(const char (&text)[1024]) { return std::string(text, strnlen(text, sizeof text)); }

bool read_carrier_params(const void* params, ContextSettings& s) {
  if (params == nullptr) return false;
  const auto* p = static_cast<const CpapiKeyCarrierParams*>(params);
  if (p->version != SIGPROV_KEY_CARRIER_V1 && p->version != SIGPROV_KEY_CARRIER_V2 &&
      p->version != SIGPROV_KEY_CARRIER_V3) {
    return false;
  }
  s = ContextSettings{};
  s.pse_path = field(p->pse_path);
  s.ca_cert_file = field(p->ca_cert_file);
  s.crl_file = field(p->crl_file);
  s.key_file = field(p->key_file);
  s.cert_file = field(p->cert_file);
  if (p->version != SIGPROV_KEY_CARRIER_V1) {
    s.key_password = field(p->key_password);
    if (!s.key_password.empty()) s.key_password_mode = 1;
  }
  return true;
}

// Parameters by initialisation mode; false with the text written.
bool parameters(const CreateRequest& r, bool cipher, const std::string& ini, ContextSettings& s, char* error,
                uint32_t size) {
  switch (r.init_mode) {
    case 2:
      s = read_context_settings(ini, cipher);
      return true;
    case 4:
      if (read_carrier_params(r.params, s)) return true;
      write_text(error, size, "Wrong initialization params for chiper crypto context was set");
      return false;
    case 5: {
      if (r.callback == nullptr) {
        write_text(error, size, "Wrong callback function address was set");
        return false;
      }
      void* out = nullptr;
      uint32_t value = 0;
      if (r.callback(r.provider, r.callback_value, 0, 0, &out, &value, error, size) == 0) return false;
      if (read_carrier_params(out != nullptr ? out : r.params, s)) return true;
      write_text(error, size, "Wrong output params in callback function was set");
      return false;
    }
    default:
      write_error(error, size, "Crypto context initialization mode '%ld' not supported", static_cast<long>(r.init_mode));
      return false;
  }
}

// The certificate, CA and CRL files a key carrier directory holds.
void take_carrier_files(const std::string& carrier, ContextSettings& s, bool& ca_from_carrier, bool cipher,
                        bool write_back, const std::string& ini) {
  const char* section = cipher ? kCipherSection : kSignSection;
  const auto first_present = [&](std::initializer_list<const char*> names) -> std::string {
    for (const char* name : names) {
      if (file_exists(carrier + name)) return carrier + name;
    }
    return {};
  };
  if (std::string cert = first_present({"cert_main.cer", "cert_main.pem"}); !cert.empty()) {
    s.cert_file = cert;
    if (write_back) ini_write(ini, section, cert_key_name(cipher), cert);
  }
  if (std::string ca = first_present({"certca.cer", "certca.pem"}); !ca.empty()) {
    s.ca_cert_file = ca;
    ca_from_carrier = true;
    if (write_back) ini_write(ini, section, "CA_cert_file_name", ca);
  }
  if (std::string crl = first_present({"crl.crl"}); !crl.empty()) {
    s.crl_file = crl;
    if (write_back) ini_write(ini, section, "CRL_file_name", crl);
  }
}

std::string directory_of(const std::string& file) {
  const std::size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

bool check_certificate_file(const std::string& cert, bool cipher, char* error, uint32_t size) {
  const char* what = cipher ? "Cipher key" : "Digital signature";
  if (blank(cert)) {
    write_text(error, size, cipher ? "Cipher key certificate file name was not set. Check current cipher settings."
                                   : "Digital signature certificate file name was not set. Check current digital "
                                     "signature settings.");
    return false;
  }
  if (file_exists(cert)) return true;
  const std::string dir = directory_of(cert);
  if (directory_exists(dir)) {
    write_error(error, size,
                "%s certificate file \"%s\" was not found. Check content and access rights for directory for "
                "directory \"%s\".",
                what, cert.c_str(), dir.c_str());
  } else {
    write_error(error, size,
                "%s certificate file \"%s\" was not found because directory \"%s\" not exist. Check presence and "
                "access rights for directory.",
                what, cert.c_str(), dir.c_str());
  }
  return false;
}

bool toolkit_failed(int status, char* error, uint32_t size) {
  if (status == tk::tk_ok) return false;
  write_text(error, size, from_utf8(tk::GetErrorText()));
  return true;
}

// Toolkit initialisation for one context.
bool init_toolkit(const std::string& carrier, const ContextSettings& s, bool ca_from_carrier, bool with_keys,
                  char* error, uint32_t size) {
  CommonSettings common;
  {
    Lock lock(provider().lock);
    common = provider().common;
  }
  const std::string pse_password = s.pse_password_mode == 1 ? s.pse_password : "";
  const std::string key_password = s.key_password_mode == 1 ? s.key_password : "";
  const std::string key_file = os_path(s.key_file);
  const std::string carrier_os = os_path(carrier);
  tk::SetPSEPasswordCallbackFun(pse_password_callback, pse_password.c_str(), key_file.c_str(), key_password.c_str());
  tk::Set_eTokenPasswordCallbackFun(etoken_password_callback);
  tk::Set_ruTokenPasswordCallbackFun(rutoken_password_callback);
  if (toolkit_failed(tk::PKCS7Init(carrier.empty() ? nullptr : carrier_os.c_str(), 0), error, size)) return false;
  if (tk::OpenInitCount() == 1) {
    tk::SetKeysPasswordCallbackFun(key_password_callback);
    if (common.input_format != 0) tk::SetInputFormat(common.input_format);
    if (common.output_format != 0) tk::SetOutputFormat(common.output_format);
  }
  if (!blank(common.certificates_path) &&
      toolkit_failed(tk::AddCertificates(os_path(common.certificates_path).c_str()), error, size)) {
    return false;
  }
  if (!ca_from_carrier && !blank(common.cas_path) && toolkit_failed(tk::AddCAs(os_path(common.cas_path).c_str()), error, size)) {
    return false;
  }
  if (!blank(common.crls_path) && toolkit_failed(tk::AddCRLs(os_path(common.crls_path).c_str()), error, size)) {
    return false;
  }
  if (toolkit_failed(tk::SetCipherAlgorithm("RUS-GAMMAR"), error, size) ||
      toolkit_failed(tk::SetDigestAlgorithm("SHA1"), error, size) ||
      toolkit_failed(tk::InsertCertificateToSign(1), error, size)) {
    return false;
  }
  if (!with_keys || carrier.empty()) return true;
  int status = tk::tk_ok;
  if (!blank(common.pse_private_keys_path)) {
    status = tk::AddPSEPrivateKeys(carrier_os.c_str(), os_path(common.pse_private_keys_path).c_str());
  }
  if (status == tk::tk_ok) {
    if (!s.key_file.empty() || !key_password.empty()) {
      status = tk::AddPSEPrivateKeyEx(carrier_os.c_str(), pse_password.empty() ? nullptr : pse_password.c_str(),
                                      s.key_file.empty() ? nullptr : key_file.c_str(),
                                      key_password.empty() ? nullptr : key_password.c_str());
    } else if (blank(common.pse_private_keys_path) || tk::PrivateKeyCount() == 0) {
      status = tk::AddPSEPrivateKeys(carrier_os.c_str(), nullptr);
    }
  }
  if (status != tk::tk_ok) {
    clear_password_cache();
    return !toolkit_failed(status, error, size);
  }
  return true;
}

bool read_whole(const std::string& file, std::string& bytes, char* error, uint32_t size) {
  std::string os = os_path(file);
  FILE* f = std::fopen(os.c_str(), "rb");
  if (f != nullptr) {
    char block[4096];
    std::size_t n;
    bytes.clear();
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.append(block, n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    if (ok) return true;
  }
  write_error(error, size, "Can't read content for file \"%s\"", file.c_str());
  return false;
}

// The certificate matched with its secret key.
bool match_key(const std::string& carrier, const ContextSettings& s, char* error, uint32_t size) {
  CommonSettings common;
  {
    Lock lock(provider().lock);
    common = provider().common;
  }
  if (!s.key_file.empty()) {
    std::string cert, key;
    if (!read_whole(s.cert_file, cert, error, size) || !read_whole(s.key_file, key, error, size)) return false;
    const int status = tk::CertAndPSEPrivateKeyMatchBufferEx(cert.data(), cert.size(), key.data(), key.size(),
                                                             os_path(s.key_file).c_str());
    if (status == tk::tk_key_mismatch) {
      write_error(error, size, "Certificate from file \"%s\" not correspond to secret key from file \"%s\"",
                  s.cert_file.c_str(), s.key_file.c_str());
      return false;
    }
    return !toolkit_failed(status, error, size);
  }
  const int status = tk::CertAndPSEPrivateKeysMatch(os_path(s.cert_file).c_str());
  if (status == tk::tk_key_mismatch) {
    if (!blank(common.pse_private_keys_path)) {
      write_error(error, size, "There is no secret key from catalog \"%s\", corresponding to certificate from file \"%s\"",
                  common.pse_private_keys_path.c_str(), s.cert_file.c_str());
    } else {
      write_error(error, size,
                  "Certificate from file \"%s\" not correspond to any secret key from from root key carrier "
                  "directory \"%s\".",
                  s.cert_file.c_str(), carrier.c_str());
    }
    return false;
  }
  return !toolkit_failed(status, error, size);
}

struct ToolkitContexts {
  tk::SignCTX* sign = nullptr;
  tk::CipherCTX* cipher = nullptr;
  ~ToolkitContexts() {
    tk::FreeSignCTX(sign);
    tk::FreeCipherCTX(cipher);
  }
};

}  // namespace

Context* context_of(CpapiContext* handle) { return registry().find(handle); }

CpapiContext* create_context(const CreateRequest& r, char* error, uint32_t size) {
  const bool cipher = r.type == SIGPROV_CONTEXT_DECRYPT || r.type == SIGPROV_CONTEXT_ENCRYPT;
  if (!cipher && r.type != SIGPROV_CONTEXT_SIGN && r.type != SIGPROV_CONTEXT_VERIFY) return nullptr;
  std::string ini;
  std::string provider_carrier;
  int warn_days;
  {
    Lock lock(provider().lock);
    ini = blank(r.ini_path) ? provider().ini_path : std::string(r.ini_path);
    provider_carrier = provider().pse_path;
    warn_days = provider().common.days_to_check_expiry;
  }
  ContextSettings s;
  if (!parameters(r, cipher, ini, s, error, size)) return nullptr;
  const bool with_keys = r.type != SIGPROV_CONTEXT_VERIFY;
  std::string carrier = carrier_path(!blank(s.pse_path) ? s.pse_path : provider_carrier);
  if (with_keys) {
    if (carrier.empty()) {
      write_text(error, size, "Key carrier PSE path undefined");
      return nullptr;
    }
    if (r.init_mode == 2) ini_write(ini, cipher ? kCipherSection : kSignSection, "pse_path", carrier);
  }
  bool ca_from_carrier = false;
  if (!carrier.empty() && !is_token_path(carrier)) {
    take_carrier_files(carrier, s, ca_from_carrier, cipher, r.init_mode == 2, ini);
  }
  clear_password_cache();
  for (std::string* path : {&s.cert_file, &s.key_file, &s.ca_cert_file, &s.crl_file}) *path = absolute_path(*path);
  if (with_keys) {
    if (!check_certificate_file(s.cert_file, cipher, error, size)) return nullptr;
    if (check_validity_period(s.cert_file, warn_days, error, size) == 0) return nullptr;
  }
  if (!init_toolkit(carrier, s, ca_from_carrier, with_keys, error, size)) return nullptr;
  ToolkitContexts t;
  if (cipher) {
    t.cipher = tk::GetCipherCTX();
  } else {
    t.sign = tk::GetSignCTX();
  }
  if (t.sign == nullptr && t.cipher == nullptr) {
    write_text(error, size, "Can not create sign context");
    return nullptr;
  }
  if (t.sign != nullptr) {
    if (toolkit_failed(tk::AddCA(t.sign, blank(s.ca_cert_file) ? nullptr : os_path(s.ca_cert_file).c_str()), error, size) ||
        toolkit_failed(tk::AddCRL(t.sign, blank(s.crl_file) ? nullptr : os_path(s.crl_file).c_str()), error, size)) {
      return nullptr;
    }
  }
  if (with_keys) {
    if (!match_key(carrier, s, error, size)) return nullptr;
    const std::string cert = os_path(s.cert_file);
    const int status = t.sign != nullptr ? tk::AddSigner(t.sign, cert.c_str()) : tk::AddRecipient(t.cipher, cert.c_str());
    if (toolkit_failed(status, error, size)) return nullptr;
  }
  // Out of memory here leaves the toolkit's objects to `t` and reaches the
  // export, which gives "Memory allocation error".
  auto context =
      std::make_unique<Context>(Context{SIGPROV_CONTEXT_TAG, r.type, r.language, r.sub_language, r.dialect});
  context->sign = std::exchange(t.sign, nullptr);
  context->cipher = std::exchange(t.cipher, nullptr);
  return registry().add(std::move(context));
}

int32_t free_context(CpapiContext* handle) {
  std::unique_ptr<Context> context = registry().take(handle);
  if (context == nullptr) return 0;
  tk::FreeSignCTX(context->sign);
  tk::FreeCipherCTX(context->cipher);
  context->tag = 0;
  return 1;
}

int32_t check_validity_period(const std::string& cert_file, int32_t warning_days, char* error, uint32_t size) {
  std::time_t now;
  {
    Lock lock(provider().lock);
    if (provider().common.check_certs_expiry == 0) return 1;
    now = provider().now();
  }
  std::string bytes;
  if (!read_whole(cert_file, bytes, error, size)) return 0;
  tk::CertificateInfo info;
  if (toolkit_failed(tk::GetCertificateInfoBuffer(bytes.data(), bytes.size(), &info), error, size)) return 0;
  if (now < info.not_before) {
    write_text(error, size, "The period of validity for Your digital signature certificate not begin.");
    return 0;
  }
  if (now > info.not_after) {
    write_text(error, size, "The period of validity for Your digital signature certificate was expired.");
    return 0;
  }
  const double seconds_left = std::difftime(info.not_after, now);
  if (seconds_left <= static_cast<double>(warning_days) * 86400.0) {
    const long days = static_cast<long>(std::floor(seconds_left / 86400.0 + 0.5));
    write_error(error, size, "The period of validity for Your digital signature certificate expired in %ld days.", days);
  }
  return 1;
}

}  // namespace kelda::sigprov
