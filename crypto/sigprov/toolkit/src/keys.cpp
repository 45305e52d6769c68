// Private keys: PKCS#12 and PEM/DER PKCS#8 key files opened with passwords
// from presets or the password callbacks, the carrier's keys, and matching
// keys with certificates.
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

#include "contexts.h"
#include "state.h"

namespace kelda::pkcs7tk {

namespace {

using Lock = std::lock_guard<std::mutex>;
thread_local std::string key_file_for_password;

bool blank(const char* text) { return text == nullptr || text[0] == '\0'; }

// A password: the preset one, else the callback's answer (the callback runs
// without the toolkit's lock: it may show a dialog).
struct PasswordAsk {
  std::string preset;
  PasswordSource source = nullptr;
  std::string file;
  bool refused = false;
  bool asked = false;
  std::string answer;

  std::optional<std::string> get() {
    if (asked) return refused ? std::nullopt : std::optional<std::string>(answer);
    asked = true;
    if (!preset.empty()) return answer = preset;
    if (source == nullptr) {
      refused = true;
      return std::nullopt;
    }
    key_file_for_password = file;
    char buffer[1024] = "";
    const int length = source(buffer, sizeof buffer);
    key_file_for_password.clear();
    if (length < 0 || length >= static_cast<int>(sizeof buffer)) {
      OPENSSL_cleanse(buffer, sizeof buffer);
      refused = true;
      return std::nullopt;
    }
    answer.assign(buffer, static_cast<std::size_t>(length));
    OPENSSL_cleanse(buffer, sizeof buffer);
    return answer;
  }
  ~PasswordAsk() {
    if (!answer.empty()) OPENSSL_cleanse(answer.data(), answer.size());
  }
};

int pem_password(char* buffer, int size, int /*rwflag*/, void* user) {
  auto* ask = static_cast<PasswordAsk*>(user);
  const std::optional<std::string> password = ask->get();
  if (!password || static_cast<int>(password->size()) >= size) return -1;
  std::memcpy(buffer, password->data(), password->size());
  return static_cast<int>(password->size());
}

LoadedKey from_pkcs12(PKCS12* p12, PasswordAsk& ask, const std::string& name) {
  LoadedKey out;
  const char* password = nullptr;
  std::optional<std::string> asked;
  if (PKCS12_verify_mac(p12, nullptr, 0) != 1 && PKCS12_verify_mac(p12, "", 0) != 1) {
    asked = ask.get();
    if (!asked) {
      out.status = fail(tk_password_refused, "Password for key from \"" + name + "\" was not given");
      return out;
    }
    password = asked->c_str();
  }
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  if (PKCS12_parse(p12, password, &key, &cert, nullptr) != 1 || key == nullptr) {
    EVP_PKEY_free(key);
    X509_free(cert);
    out.status = fail(tk_bad_format, "Can not open private key from \"" + name + "\": wrong password or damaged file");
    return out;
  }
  out.key.reset(key);
  out.certificate.reset(cert);
  return out;
}

}  // namespace

LoadedKey load_key(const std::string& bytes, const std::string& name, const std::string& preset,
                   PasswordSource source, const std::string& file_for_prompt) {
  PasswordAsk ask{preset, source, file_for_prompt};
  LoadedKey out;
  BioPtr bio = memory_bio(bytes.data(), bytes.size());
  if (!bio) {
    out.status = fail(tk_bad_format, "Key file \"" + name + "\" is too large");
    return out;
  }
  if (bytes.find("-----BEGIN") != std::string::npos) {
    out.key.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, pem_password, &ask));
  } else if (PKCS12* p12 = d2i_PKCS12_bio(bio.get(), nullptr)) {
    out = from_pkcs12(p12, ask, name);
    PKCS12_free(p12);
    return out;
  } else {
    ERR_clear_error();
    BioPtr der = memory_bio(bytes.data(), bytes.size());
    out.key.reset(d2i_PKCS8PrivateKey_bio(der.get(), nullptr, pem_password, &ask));
    if (!out.key && !ask.asked) {
      BioPtr plain = memory_bio(bytes.data(), bytes.size());
      out.key.reset(d2i_PrivateKey_bio(plain.get(), nullptr));
    }
  }
  if (!out.key) {
    if (ask.refused && ask.asked) {
      out.status = fail(tk_password_refused, "Password for key from \"" + name + "\" was not given");
    } else {
      out.status = fail(tk_bad_format, "Can not open private key from \"" + name + "\": wrong password or damaged file");
    }
  }
  return out;
}

namespace {

bool is_key_file(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".p12" || ext == ".pfx" || ext == ".pem" || ext == ".key" || ext == ".der";
}

std::string keys_directory(const char* pse_path, const char* keys_path) {
  if (!blank(keys_path)) return keys_path;
  return (std::filesystem::path(pse_path) / "keys").string();
}

// Every context opens its keys again: a file opened before is replaced, so
// the open keys do not grow with each context.
void keep(LoadedKey loaded, const std::string& file) {
  Lock lock(state().lock);
  for (OpenKey& k : state().keys) {
    if (k.file == file) {
      k.key = std::move(loaded.key);
      k.certificate = std::move(loaded.certificate);
      return;
    }
  }
  state().keys.push_back({std::move(loaded.key), std::move(loaded.certificate), file});
}

// Opens every key file of the directory with one carrier password.
int open_carrier_keys(const std::string& directory, const std::string& preset, PasswordSource source) {
  std::error_code ec;
  if (!std::filesystem::is_directory(directory, ec)) {
    return fail(tk_no_private_key, "Directory of private keys \"" + directory + "\" not found");
  }
  std::vector<LoadedKey> loaded;
  std::vector<std::string> names;
  std::string password = preset;
  for (const std::string& file : files_of(directory)) {
    if (!is_key_file(file)) continue;
    std::string bytes;
    if (!read_file(file, bytes)) return fail(tk_read_failed, "Can not read key file \"" + file + "\"");
    // The carrier password is asked once for all its keys.
    LoadedKey key = load_key(bytes, file, password, password.empty() ? source : nullptr, file);
    if (!key.key) return key.status;
    loaded.push_back(std::move(key));
    names.push_back(file);
  }
  if (loaded.empty()) return fail(tk_no_private_key, "No private key files in \"" + directory + "\"");
  for (std::size_t i = 0; i < loaded.size(); ++i) keep(std::move(loaded[i]), names[i]);
  succeed();
  return tk_ok;
}

}  // namespace

const char* GetKeyFileNameForPassword() { return key_file_for_password.c_str(); }

int AddPSEPrivateKeys(const char* pse_path, const char* keys_path) {
  if (blank(pse_path) && blank(keys_path)) return fail(tk_bad_argument, "Key carrier PSE path undefined");
  if (is_token_path(pse_path)) return PKCS7Init(pse_path, 0);
  std::string preset;
  PasswordSource source;
  {
    Lock lock(state().lock);
    preset = state().pse_password;
    source = state().pse_callback;
  }
  return open_carrier_keys(keys_directory(pse_path, keys_path), preset, source);
}

int AddPSEPrivateKeyEx(const char* pse_path, const char* pse_password, const char* key_file,
                       const char* key_password) {
  if (blank(key_file)) {
    if (blank(pse_path)) return fail(tk_bad_argument, "Key carrier PSE path undefined");
    PasswordSource source;
    {
      Lock lock(state().lock);
      source = state().pse_callback;
    }
    // The carrier's keys open with the carrier password, else the key password.
    const char* password = !blank(pse_password) ? pse_password : key_password;
    return open_carrier_keys(keys_directory(pse_path, nullptr), password != nullptr ? password : "", source);
  }
  std::string bytes;
  if (!read_file(key_file, bytes)) return fail(tk_read_failed, std::string("Can not read key file \"") + key_file + "\"");
  std::string preset = key_password != nullptr ? key_password : "";
  PasswordSource source;
  {
    Lock lock(state().lock);
    if (preset.empty() && state().preset_key_file == key_file) preset = state().preset_key_password;
    source = state().keys_callback;
  }
  LoadedKey key = load_key(bytes, key_file, preset, source, key_file);
  if (!key.key) return key.status;
  keep(std::move(key), key_file);
  succeed();
  return tk_ok;
}

int PrivateKeyCount() {
  Lock lock(state().lock);
  return static_cast<int>(state().keys.size());
}

namespace {

// The open key that belongs to the certificate (a new reference), or null.
KeyPtr open_key_for(X509* certificate) {
  Lock lock(state().lock);
  for (const OpenKey& k : state().keys) {
    if (X509_check_private_key(certificate, k.key.get()) == 1) {
      EVP_PKEY_up_ref(k.key.get());
      return KeyPtr(k.key.get());
    }
  }
  ERR_clear_error();
  return nullptr;
}

X509Ptr certificate_from_file(const char* file) {
  std::string bytes;
  if (blank(file) || !read_file(file, bytes)) {
    fail(tk_read_failed, std::string("Can not read certificate file \"") + (file ? file : "") + "\"");
    return nullptr;
  }
  X509Ptr certificate = parse_certificate(bytes);
  if (!certificate) fail(tk_bad_format, std::string("File \"") + file + "\" holds no certificate");
  return certificate;
}

}  // namespace

int CertAndPSEPrivateKeyMatchBufferEx(const void* cert, std::size_t cert_length, const void* key,
                                      std::size_t key_length, const char* key_name) {
  if (cert == nullptr || key == nullptr) return fail(tk_bad_argument, "No certificate or key");
  X509Ptr certificate = parse_certificate({static_cast<const char*>(cert), cert_length});
  if (!certificate) return fail(tk_bad_format, "The certificate can not be decoded");
  const std::string name = key_name != nullptr ? key_name : "";
  // A key already opened from that file needs no password again.
  {
    Lock lock(state().lock);
    for (const OpenKey& k : state().keys) {
      if (!name.empty() && k.file == name) {
        if (X509_check_private_key(certificate.get(), k.key.get()) == 1) {
          succeed();
          return tk_ok;
        }
      }
    }
  }
  PasswordSource source;
  std::string preset;
  {
    Lock lock(state().lock);
    source = state().keys_callback;
    if (state().preset_key_file == name) preset = state().preset_key_password;
  }
  LoadedKey loaded = load_key({static_cast<const char*>(key), key_length}, name, preset, source, name);
  if (!loaded.key) return loaded.status;
  if (X509_check_private_key(certificate.get(), loaded.key.get()) != 1) {
    ERR_clear_error();
    return fail(tk_key_mismatch, "The private key does not belong to the certificate");
  }
  succeed();
  return tk_ok;
}

int CertAndPSEPrivateKeyMatch(const char* cert_file, const char* key_file) {
  std::string cert, key;
  if (blank(cert_file) || !read_file(cert_file, cert)) {
    return fail(tk_read_failed, std::string("Can not read certificate file \"") + (cert_file ? cert_file : "") + "\"");
  }
  if (blank(key_file) || !read_file(key_file, key)) {
    return fail(tk_read_failed, std::string("Can not read key file \"") + (key_file ? key_file : "") + "\"");
  }
  return CertAndPSEPrivateKeyMatchBufferEx(cert.data(), cert.size(), key.data(), key.size(), key_file);
}

int CertAndPSEPrivateKeysMatch(const char* cert_file) {
  X509Ptr certificate = certificate_from_file(cert_file);
  if (!certificate) return tk_read_failed;
  if (!open_key_for(certificate.get())) {
    return fail(tk_key_mismatch, "No open private key belongs to the certificate");
  }
  succeed();
  return tk_ok;
}

int AddSigner(SignCTX* context, const char* cert_file) {
  if (context == nullptr) return fail(tk_bad_argument, "No signing context");
  X509Ptr certificate = certificate_from_file(cert_file);
  if (!certificate) return tk_read_failed;
  KeyPtr key = open_key_for(certificate.get());
  if (!key) return fail(tk_no_private_key, "No open private key belongs to the certificate");
  context->signer = std::move(certificate);
  context->key = std::move(key);
  succeed();
  return tk_ok;
}

}  // namespace kelda::pkcs7tk
