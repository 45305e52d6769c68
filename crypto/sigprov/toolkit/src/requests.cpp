// Key generation into a key carrier and certificate requests: the new key
// pair is written as an encrypted PEM PKCS#8 file of the carrier's "keys"
// directory, the request is signed with it over the distinguished name set
// before; requests are decoded back into their subject fields.
#include <openssl/err.h>
#include <openssl/rand.h>

#include <cstdio>
#include <filesystem>
#include <optional>

#include "contexts.h"
#include "state.h"

namespace kelda::pkcs7tk {

namespace {

using Lock = std::lock_guard<std::mutex>;
using ReqPtr = std::unique_ptr<X509_REQ, Deleter<X509_REQ_free>>;
using KeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using NamePtr = std::unique_ptr<X509_NAME, Deleter<X509_NAME_free>>;

constexpr char kDefaultKeyName[] = "pse_key";

struct DistinguishedName {
  std::string country, state_or_province, locality, organization, organizational_unit, title, common_name, email;
};

struct Generation {
  std::mutex lock;
  std::string algorithm = "ECR3410";
  int request_flags = 0;
  DistinguishedName name;
  KeyPtr key;  // the pair made last
};

Generation& generation() {
  static Generation* g = new Generation;
  return *g;
}

bool blank(const char* text) { return text == nullptr || text[0] == '\0'; }

std::filesystem::path keys_of(const char* pse_path) { return std::filesystem::path(pse_path) / "keys"; }

int set_field(std::string DistinguishedName::*field, const char* text) {
  Lock lock(generation().lock);
  generation().name.*field = text != nullptr ? text : "";
  succeed();
  return tk_ok;
}

// The key pair of the algorithm; null with the failure recorded.
KeyPtr new_key(const std::string& algorithm) {
  KeyCtxPtr ctx;
  if (algorithm == "ECR3410") {
    if (!NationalAlgorithmsAvailable()) return nullptr;
    ctx.reset(EVP_PKEY_CTX_new_id(NID_id_GostR3410_2012_256, nullptr));
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_CTX_ctrl_str(ctx.get(), "paramset", "A") <= 0) {
      fail(tk_crypto_failed, "Can not prepare generation of a GOST R 34.10-2012 key");
      return nullptr;
    }
  } else if (algorithm == "RSA") {
    ctx.reset(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), 2048) != 1) {
      fail(tk_crypto_failed, "Can not prepare generation of an RSA key");
      return nullptr;
    }
  } else {
    ctx.reset(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_ec_paramgen_curve_nid(ctx.get(), NID_X9_62_prime256v1) != 1) {
      fail(tk_crypto_failed, "Can not prepare generation of an EC key");
      return nullptr;
    }
  }
  EVP_PKEY* key = nullptr;
  if (EVP_PKEY_keygen(ctx.get(), &key) != 1) {
    fail(tk_crypto_failed, "Key generation failed");
    return nullptr;
  }
  return KeyPtr(key);
}

// The carrier password: the preset one, else the carrier callback's answer.
std::optional<std::string> carrier_password() {
  PasswordCallback callback;
  std::string preset;
  {
    Lock lock(state().lock);
    preset = state().pse_password;
    callback = state().pse_callback;
  }
  if (!preset.empty()) return preset;
  if (callback == nullptr) return std::nullopt;
  char buffer[1024] = "";
  const int length = callback(buffer, sizeof buffer);
  std::optional<std::string> answer;
  if (length > 0 && length < static_cast<int>(sizeof buffer)) answer.emplace(buffer, static_cast<std::size_t>(length));
  OPENSSL_cleanse(buffer, sizeof buffer);
  return answer;
}

// Writes the bytes to a temporary file beside the target, then renames it.
bool write_whole(const std::filesystem::path& file, const std::string& bytes) {
  const std::filesystem::path temporary = file.string() + ".tmp";
  FILE* out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (std::fclose(out) != 0 || !written) {
    std::remove(temporary.c_str());
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temporary, file, ec);
  if (ec) std::remove(temporary.c_str());
  return !ec;
}

bool add_entry(X509_NAME* name, int nid, const std::string& text) {
  if (text.empty()) return true;
  return X509_NAME_add_entry_by_NID(name, nid, MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(text.c_str()),
                                    static_cast<int>(text.size()), -1, 0) == 1;
}

NamePtr subject_of(const DistinguishedName& dn) {
  NamePtr name(X509_NAME_new());
  if (!name) return nullptr;
  const bool ok = add_entry(name.get(), NID_countryName, dn.country) &&
                  add_entry(name.get(), NID_stateOrProvinceName, dn.state_or_province) &&
                  add_entry(name.get(), NID_localityName, dn.locality) &&
                  add_entry(name.get(), NID_organizationName, dn.organization) &&
                  add_entry(name.get(), NID_organizationalUnitName, dn.organizational_unit) &&
                  add_entry(name.get(), NID_title, dn.title) && add_entry(name.get(), NID_commonName, dn.common_name) &&
                  add_entry(name.get(), NID_pkcs9_emailAddress, dn.email);
  return ok ? std::move(name) : nullptr;
}

const EVP_MD* request_digest(EVP_PKEY* key) {
  const int id = EVP_PKEY_get_base_id(key);
  if (id == NID_id_GostR3410_2012_256) return digest_by_name("GOST3411-2012-256");
  return EVP_sha256();
}

// A request in PEM or DER whose signature verifies; null with the failure recorded.
ReqPtr parse_request(const void* buffer, std::size_t length) {
  if (buffer == nullptr || length == 0) {
    fail(tk_bad_argument, "Empty certificate request");
    return nullptr;
  }
  BioPtr pem = memory_bio(buffer, length);
  ReqPtr request(PEM_read_bio_X509_REQ(pem.get(), nullptr, nullptr, nullptr));
  if (!request) {
    ERR_clear_error();
    BioPtr der = memory_bio(buffer, length);
    request.reset(d2i_X509_REQ_bio(der.get(), nullptr));
  }
  if (!request) {
    fail(tk_bad_format, "Data is not a certificate request");
    return nullptr;
  }
  EVP_PKEY* key = X509_REQ_get0_pubkey(request.get());
  if (key == nullptr || X509_REQ_verify(request.get(), key) != 1) {
    fail(tk_bad_format, "The certificate request's signature does not verify");
    return nullptr;
  }
  return request;
}

std::optional<std::string> file_bytes(const char* file) {
  std::string bytes;
  if (blank(file) || !read_file(file, bytes)) {
    fail(tk_read_failed, std::string("Can not read file \"") + (file != nullptr ? file : "") + "\"");
    return std::nullopt;
  }
  return bytes;
}

}  // namespace

int PSE_Generation(const char* pse_path) {
  if (blank(pse_path)) return fail(tk_bad_argument, "Key carrier PSE path undefined");
  if (is_token_path(pse_path)) return fail(tk_token_not_supported, "Hardware key carriers are not supported");
  std::error_code ec;
  std::filesystem::create_directories(keys_of(pse_path), ec);
  if (ec) return fail(tk_write_failed, std::string("Can not create key carrier directory \"") + pse_path + "\"");
  succeed();
  return tk_ok;
}

int PSE_Erase(const char* pse_path) {
  if (blank(pse_path)) return fail(tk_bad_argument, "Key carrier PSE path undefined");
  for (const std::string& file : files_of(keys_of(pse_path).string())) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    if (ec) return fail(tk_write_failed, "Can not remove key file \"" + file + "\"");
  }
  succeed();
  return tk_ok;
}

int SetNewKeysAlgorithm(const char* name) {
  if (blank(name)) return fail(tk_bad_argument, "Key algorithm not set");
  const std::string algorithm = name;
  if (algorithm != "ECR3410" && algorithm != "RSA" && algorithm != "EC") {
    return fail(tk_unsupported_algorithm, "Unknown key algorithm \"" + algorithm + "\"");
  }
  Lock lock(generation().lock);
  generation().algorithm = algorithm;
  succeed();
  return tk_ok;
}

int SetCertificateRequestFlags(int flags) {
  Lock lock(generation().lock);
  generation().request_flags = flags;
  succeed();
  return tk_ok;
}

int ResetDistinguishedName() {
  Lock lock(generation().lock);
  generation().name = {};
  succeed();
  return tk_ok;
}

int SetCountry(const char* text) {
  if (!blank(text) && std::string_view(text).size() != 2) return fail(tk_bad_argument, "Country must be two letters");
  return set_field(&DistinguishedName::country, text);
}
int SetStateOrProvince(const char* text) { return set_field(&DistinguishedName::state_or_province, text); }
int SetLocality(const char* text) { return set_field(&DistinguishedName::locality, text); }
int SetOrganization(const char* text) { return set_field(&DistinguishedName::organization, text); }
int SetOrganizationalUnit(const char* text) { return set_field(&DistinguishedName::organizational_unit, text); }
int SetTitle(const char* text) { return set_field(&DistinguishedName::title, text); }
int SetCommonName(const char* text) { return set_field(&DistinguishedName::common_name, text); }
int SetEmailAddress(const char* text) { return set_field(&DistinguishedName::email, text); }

int NewKeysGenerationEx(const char* pse_path, const char* key_name) {
  if (blank(pse_path)) return fail(tk_bad_argument, "Key carrier PSE path undefined");
  std::string algorithm;
  {
    Lock lock(generation().lock);
    algorithm = generation().algorithm;
  }
  KeyPtr key = new_key(algorithm);
  if (!key) return tk_crypto_failed;
  std::optional<std::string> password = carrier_password();
  if (!password) return fail(tk_password_refused, "Password for the key carrier was not given");
  BioPtr bio(BIO_new(BIO_s_mem()));
  const int written = bio ? PEM_write_bio_PKCS8PrivateKey(bio.get(), key.get(), EVP_aes_256_cbc(), password->data(),
                                                          static_cast<int>(password->size()), nullptr, nullptr)
                          : 0;
  OPENSSL_cleanse(password->data(), password->size());
  if (written != 1) return fail(tk_crypto_failed, "Can not encode the new private key");
  const std::filesystem::path file =
      keys_of(pse_path) / (std::string(blank(key_name) ? kDefaultKeyName : key_name) + ".pem");
  if (!write_whole(file, bio_text(bio.get()))) {
    return fail(tk_write_failed, "Can not write key file \"" + file.string() + "\"");
  }
  Lock lock(generation().lock);
  generation().key = std::move(key);
  succeed();
  return tk_ok;
}

int MakePSECertificateRequestEx(const char* request_file) {
  if (blank(request_file)) return fail(tk_bad_argument, "File name for the certificate request not set");
  Lock lock(generation().lock);
  EVP_PKEY* key = generation().key.get();
  if (key == nullptr) return fail(tk_no_private_key, "No key pair was generated for the certificate request");
  NamePtr subject = subject_of(generation().name);
  const EVP_MD* md = request_digest(key);
  if (md == nullptr) return tk_unsupported_algorithm;
  ReqPtr request(X509_REQ_new());
  if (!subject || !request || X509_REQ_set_version(request.get(), 0) != 1 ||
      X509_REQ_set_subject_name(request.get(), subject.get()) != 1 || X509_REQ_set_pubkey(request.get(), key) != 1 ||
      X509_REQ_sign(request.get(), key, md) <= 0) {
    return fail(tk_crypto_failed, "Can not make the certificate request");
  }
  BioPtr bio(BIO_new(BIO_s_mem()));
  const bool pem = (generation().request_flags & REQUEST_PEM) != 0;
  if (!bio || (pem ? PEM_write_bio_X509_REQ(bio.get(), request.get()) : i2d_X509_REQ_bio(bio.get(), request.get())) != 1) {
    return fail(tk_crypto_failed, "Can not encode the certificate request");
  }
  if (!write_whole(request_file, bio_text(bio.get()))) {
    return fail(tk_write_failed, std::string("Can not write file \"") + request_file + "\"");
  }
  succeed();
  return tk_ok;
}

int GetRequestInfoBuffer(const void* buffer, std::size_t length, RequestInfo** info) {
  if (info == nullptr) return fail(tk_bad_argument, "Wrong arguments");
  *info = nullptr;
  ReqPtr request = parse_request(buffer, length);
  if (!request) return tk_bad_format;
  auto result = std::make_unique<RequestInfo>();
  const X509_NAME* subject = X509_REQ_get_subject_name(request.get());
  result->subject = name_text(subject);
  result->country = name_entry(subject, NID_countryName);
  result->state_or_province = name_entry(subject, NID_stateOrProvinceName);
  result->locality = name_entry(subject, NID_localityName);
  result->organization = name_entry(subject, NID_organizationName);
  result->organizational_unit = name_entry(subject, NID_organizationalUnitName);
  result->title = name_entry(subject, NID_title);
  result->common_name = name_entry(subject, NID_commonName);
  result->email = name_entry(subject, NID_pkcs9_emailAddress);
  const int nid = EVP_PKEY_get_base_id(X509_REQ_get0_pubkey(request.get()));
  result->key_algorithm = nid != NID_undef ? OBJ_nid2ln(nid) : "";
  *info = result.release();
  succeed();
  return tk_ok;
}

int GetRequestInfo(const char* file, RequestInfo** info) {
  if (info != nullptr) *info = nullptr;
  const std::optional<std::string> bytes = file_bytes(file);
  if (!bytes) return tk_read_failed;
  return GetRequestInfoBuffer(bytes->data(), bytes->size(), info);
}

void FreeRequestInfo(RequestInfo* info) { delete info; }

int GetRequestFingerprintBuffer(const void* buffer, std::size_t length, char** text) {
  if (text == nullptr) return fail(tk_bad_argument, "Wrong arguments");
  *text = nullptr;
  ReqPtr request = parse_request(buffer, length);
  if (!request) return tk_bad_format;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (X509_REQ_digest(request.get(), EVP_sha1(), digest, &size) != 1) {
    return fail(tk_crypto_failed, "Can not compute the request's fingerprint");
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  *text = hand_out_text(hex);
  if (*text == nullptr) return fail(tk_no_memory, "Not enough memory");
  succeed();
  return tk_ok;
}

int GetRequestFingerprint(const char* file, char** text) {
  if (text != nullptr) *text = nullptr;
  const std::optional<std::string> bytes = file_bytes(file);
  if (!bytes) return tk_read_failed;
  return GetRequestFingerprintBuffer(bytes->data(), bytes->size(), text);
}

}  // namespace kelda::pkcs7tk
