// Error texts, BIO and file helpers, certificate parsing and names.
#include "ossl.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/cms.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

namespace kelda::pkcs7tk {

namespace {
thread_local std::string last_error;

std::string drain_openssl_queue() {
  std::string text;
  unsigned long code;
  while ((code = ERR_get_error()) != 0) {
    char line[256];
    ERR_error_string_n(code, line, sizeof line);
    if (!text.empty()) text += "; ";
    text += line;
  }
  return text;
}
}  // namespace

const char* GetErrorText() { return last_error.c_str(); }

int fail(Status code, std::string_view text) {
  last_error.assign(text);
  const std::string queue = drain_openssl_queue();
  if (!queue.empty()) {
    last_error += last_error.empty() ? "" : " (";
    last_error += queue;
    if (!text.empty()) last_error += ")";
  }
  return code;
}

void succeed() {
  last_error.clear();
  ERR_clear_error();
}

BioPtr memory_bio(const void* data, std::size_t length) {
  if (length > static_cast<std::size_t>(std::numeric_limits<int>::max())) return nullptr;
  static const char empty = 0;
  return BioPtr(BIO_new_mem_buf(data != nullptr ? data : &empty, static_cast<int>(length)));
}

std::string bio_text(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

bool read_file(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::vector<std::string> files_of(const std::string& directory) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
    if (entry.is_regular_file(ec)) files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

namespace {
bool looks_like_pem(std::string_view bytes) { return bytes.find("-----BEGIN") != std::string_view::npos; }
}  // namespace

X509Ptr parse_certificate(std::string_view bytes) {
  BioPtr bio = memory_bio(bytes.data(), bytes.size());
  if (!bio) return nullptr;
  if (looks_like_pem(bytes)) return X509Ptr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
  return X509Ptr(d2i_X509_bio(bio.get(), nullptr));
}

CrlPtr parse_crl(std::string_view bytes) {
  BioPtr bio = memory_bio(bytes.data(), bytes.size());
  if (!bio) return nullptr;
  if (looks_like_pem(bytes)) return CrlPtr(PEM_read_bio_X509_CRL(bio.get(), nullptr, nullptr, nullptr));
  return CrlPtr(d2i_X509_CRL_bio(bio.get(), nullptr));
}

std::vector<X509Ptr> parse_certificates(std::string_view bytes) {
  std::vector<X509Ptr> out;
  if (!looks_like_pem(bytes)) {
    if (X509Ptr one = parse_certificate(bytes)) out.push_back(std::move(one));
    return out;
  }
  BioPtr bio = memory_bio(bytes.data(), bytes.size());
  if (!bio) return out;
  while (X509* cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) out.emplace_back(cert);
  ERR_clear_error();  // the end of the blocks
  return out;
}

std::string name_text(const X509_NAME* name) {
  if (name == nullptr) return {};
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio) return {};
  X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
  return bio_text(bio.get());
}

std::string serial_text(const ASN1_INTEGER* serial) {
  if (serial == nullptr) return {};
  BIGNUM* bn = ASN1_INTEGER_to_BN(serial, nullptr);
  if (bn == nullptr) return {};
  char* hex = BN_bn2hex(bn);
  std::string text = hex != nullptr ? hex : "";
  OPENSSL_free(hex);
  BN_free(bn);
  return text;
}

int hand_out(std::string_view bytes, uint8_t** out, std::size_t* out_length) {
  auto* buffer = static_cast<uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
  if (buffer == nullptr) return fail(tk_no_memory, "Not enough memory");
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  *out = buffer;
  *out_length = bytes.size();
  return tk_ok;
}

char* hand_out_text(const std::string& text) {
  auto* buffer = static_cast<char*>(std::malloc(text.size() + 1));
  if (buffer != nullptr) std::memcpy(buffer, text.c_str(), text.size() + 1);
  return buffer;
}

bool encode_message(CMS_ContentInfo* cms, int format, std::string& out) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio) return false;
  const int ok = format == FORMAT_PEM ? PEM_write_bio_CMS(bio.get(), cms) : i2d_CMS_bio(bio.get(), cms);
  if (ok != 1) return false;
  out = bio_text(bio.get());
  return true;
}

bool is_token_path(const char* path) {
  if (path == nullptr) return false;
  for (const char* prefix : {"ibutton:", "etoken:", "rutoken:"}) {
    const std::size_t n = std::strlen(prefix);
    if (strncasecmp(path, prefix, n) == 0 && (path[n] == '\\' || path[n] == '/')) return true;
  }
  return false;
}

void FreeBuffer(void* buffer) { std::free(buffer); }
void FreeText(char* text) { std::free(text); }

}  // namespace kelda::pkcs7tk
