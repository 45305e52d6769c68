// Initialisation, formats, flags, algorithm names and the certificate, CA
// and CRL stores.
#include "state.h"

#include <openssl/err.h>

#include <algorithm>
#include <filesystem>

namespace kelda::pkcs7tk {

namespace {
using Lock = std::lock_guard<std::mutex>;

bool same(const X509* a, const X509* b) { return X509_cmp(a, b) == 0; }
bool same(const X509_CRL* a, const X509_CRL* b) { return X509_CRL_cmp(a, b) == 0 && X509_CRL_match(a, b) == 0; }

bool blank(const char* text) { return text == nullptr || text[0] == '\0'; }

// Loads every certificate (or CRL) file of a directory into the list.
template <typename T, typename Parse>
int load_directory(const char* directory, std::vector<T>& into, Parse parse, const char* what) {
  if (blank(directory)) return fail(tk_bad_argument, std::string("No directory of ") + what);
  std::error_code ec;
  if (!std::filesystem::is_directory(directory, ec)) {
    return fail(tk_read_failed, std::string("Directory of ") + what + " \"" + directory + "\" not found");
  }
  std::vector<T> loaded;
  for (const std::string& file : files_of(directory)) {
    std::string bytes;
    if (!read_file(file, bytes)) continue;
    parse(bytes, loaded);
  }
  ERR_clear_error();  // files of other kinds in the directory are skipped
  Lock lock(state().lock);
  // Every context adds the directories again: what is there already stays once.
  for (T& item : loaded) {
    const bool known = std::any_of(into.begin(), into.end(), [&](const T& have) { return same(have.get(), item.get()); });
    if (!known) into.push_back(std::move(item));
  }
  succeed();
  return tk_ok;
}
}  // namespace

ToolkitState& state() {
  static auto* s = new ToolkitState;  // lives for the process: contexts may outlive statics
  return *s;
}

void ToolkitState::clear_stores() {
  certificates.clear();
  cas.clear();
  crls.clear();
  keys.clear();
}

std::vector<X509Ptr> copies(const std::vector<X509Ptr>& certificates) {
  std::vector<X509Ptr> out;
  out.reserve(certificates.size());
  for (const X509Ptr& c : certificates) {
    X509_up_ref(c.get());
    out.emplace_back(c.get());
  }
  return out;
}

int PKCS7Init(const char* pse_path, int /*flags*/) {
  if (is_token_path(pse_path)) {
    return fail(tk_token_not_supported,
                std::string("Hardware key carriers (iButton, eToken, ruToken) are not supported on this "
                            "system: \"") + pse_path + "\"");
  }
  if (!blank(pse_path)) {
    std::error_code ec;
    if (!std::filesystem::is_directory(pse_path, ec)) {
      return fail(tk_read_failed, std::string("Key carrier directory \"") + pse_path + "\" not found");
    }
  }
  load_national_algorithms();
  Lock lock(state().lock);
  ++state().open_count;
  succeed();
  return tk_ok;
}

int PKCS7Final() {
  Lock lock(state().lock);
  ToolkitState& s = state();
  if (s.open_count == 0) return fail(tk_not_initialized, "The toolkit is not initialised");
  if (--s.open_count == 0) s.clear_stores();
  succeed();
  return tk_ok;
}

int OpenInitCount() {
  Lock lock(state().lock);
  return state().open_count;
}

int SetInputFormat(int format) {
  if (format != FORMAT_ASN1 && format != FORMAT_PEM) return fail(tk_bad_argument, "Unknown data format");
  Lock lock(state().lock);
  state().input_format = format;
  return tk_ok;
}

int SetOutputFormat(int format) {
  if (format != FORMAT_ASN1 && format != FORMAT_PEM) return fail(tk_bad_argument, "Unknown data format");
  Lock lock(state().lock);
  state().output_format = format;
  return tk_ok;
}

int GetInputFormat() {
  Lock lock(state().lock);
  return state().input_format;
}

int GetOutputFormat() {
  Lock lock(state().lock);
  return state().output_format;
}

int SetVerifyFlags(int flags) {
  Lock lock(state().lock);
  state().verify_flags = flags & VERIFY_ALL;
  return tk_ok;
}

int AddCertificates(const char* directory) {
  return load_directory(directory, state().certificates,
                        [](const std::string& bytes, std::vector<X509Ptr>& out) {
                          for (X509Ptr& c : parse_certificates(bytes)) out.push_back(std::move(c));
                        },
                        "certificates");
}

int AddCAs(const char* directory) {
  return load_directory(directory, state().cas,
                        [](const std::string& bytes, std::vector<X509Ptr>& out) {
                          for (X509Ptr& c : parse_certificates(bytes)) out.push_back(std::move(c));
                        },
                        "CA certificates");
}

int AddCRLs(const char* directory) {
  return load_directory(directory, state().crls,
                        [](const std::string& bytes, std::vector<CrlPtr>& out) {
                          if (CrlPtr crl = parse_crl(bytes)) out.push_back(std::move(crl));
                        },
                        "CRL files");
}

int SetCipherAlgorithm(const char* name) {
  if (blank(name)) return fail(tk_bad_argument, "No cipher algorithm");
  if (!is_known_cipher_name(name)) {
    return fail(tk_unsupported_algorithm, std::string("Unknown cipher algorithm \"") + name + "\"");
  }
  Lock lock(state().lock);
  state().cipher = name;
  succeed();
  return tk_ok;
}

int SetDigestAlgorithm(const char* name) {
  if (blank(name)) return fail(tk_bad_argument, "No digest algorithm");
  if (!is_known_digest_name(name)) {
    return fail(tk_unsupported_algorithm, std::string("Unknown digest algorithm \"") + name + "\"");
  }
  Lock lock(state().lock);
  state().digest = name;
  succeed();
  return tk_ok;
}

int InsertCertificateToSign(int insert) {
  Lock lock(state().lock);
  state().insert_certificate = insert != 0;
  return tk_ok;
}

int SetPSEPasswordCallbackFun(PasswordCallback callback, const char* pse_password, const char* key_file,
                              const char* key_password) {
  Lock lock(state().lock);
  ToolkitState& s = state();
  s.pse_callback = callback;
  s.pse_password = pse_password != nullptr ? pse_password : "";
  s.preset_key_file = key_file != nullptr ? key_file : "";
  s.preset_key_password = key_password != nullptr ? key_password : "";
  return tk_ok;
}

int Set_eTokenPasswordCallbackFun(PasswordCallback callback) {
  Lock lock(state().lock);
  state().etoken_callback = callback;
  return tk_ok;
}

int Set_ruTokenPasswordCallbackFun(PasswordCallback callback) {
  Lock lock(state().lock);
  state().rutoken_callback = callback;
  return tk_ok;
}

int SetKeysPasswordCallbackFun(PasswordCallback callback) {
  Lock lock(state().lock);
  state().keys_callback = callback;
  return tk_ok;
}

}  // namespace kelda::pkcs7tk
