// Signing contexts and PKCS#7 (CMS) signing.
#include <openssl/err.h>

#include <new>

#include "contexts.h"
#include "state.h"

namespace kelda::pkcs7tk {

namespace {
using Lock = std::lock_guard<std::mutex>;
bool blank(const char* text) { return text == nullptr || text[0] == '\0'; }
}  // namespace

SignCTX* GetSignCTX() {
  auto* context = new (std::nothrow) SignCTX;
  if (context == nullptr) fail(tk_no_memory, "Not enough memory");
  return context;
}

int SetSignCTXVerifyFlags(SignCTX* context, int flags) {
  if (context == nullptr) return fail(tk_bad_argument, "Wrong arguments");
  context->verify_flags = flags < 0 ? -1 : (flags & VERIFY_ALL);
  succeed();
  return tk_ok;
}

void FreeSignCTX(SignCTX* context) { delete context; }

int AddCA(SignCTX* context, const char* file) {
  if (context == nullptr) return fail(tk_bad_argument, "No signing context");
  if (blank(file)) return tk_ok;
  std::string bytes;
  if (!read_file(file, bytes)) return fail(tk_read_failed, std::string("Can not read CA certificate file \"") + file + "\"");
  std::vector<X509Ptr> certificates = parse_certificates(bytes);
  if (certificates.empty()) return fail(tk_bad_format, std::string("File \"") + file + "\" holds no certificate");
  for (X509Ptr& c : certificates) context->cas.push_back(std::move(c));
  succeed();
  return tk_ok;
}

int AddCRL(SignCTX* context, const char* file) {
  if (context == nullptr) return fail(tk_bad_argument, "No signing context");
  if (blank(file)) return tk_ok;
  std::string bytes;
  if (!read_file(file, bytes)) return fail(tk_read_failed, std::string("Can not read CRL file \"") + file + "\"");
  CrlPtr crl = parse_crl(bytes);
  if (!crl) return fail(tk_bad_format, std::string("File \"") + file + "\" holds no revocation list");
  context->crls.push_back(std::move(crl));
  succeed();
  return tk_ok;
}

int SignBufferEx(SignCTX* context, const void* data, std::size_t length, uint8_t** signature,
                 std::size_t* signature_length, int flag) {
  if (context == nullptr || signature == nullptr || signature_length == nullptr || (data == nullptr && length > 0)) {
    return fail(tk_bad_argument, "Wrong arguments of signing");
  }
  if (!context->signer || !context->key) return fail(tk_no_signer, "No signer was set for the signing context");
  std::string digest_name;
  int format;
  bool insert;
  {
    Lock lock(state().lock);
    digest_name = state().digest;
    format = state().output_format;
    insert = state().insert_certificate;
  }
  const EVP_MD* md = digest_by_name(digest_name);
  if (md == nullptr) return tk_unsupported_algorithm;
  BioPtr in = memory_bio(data, length);
  if (!in) return fail(tk_bad_argument, "The data is too large to sign");
  const unsigned flags = CMS_BINARY | CMS_PARTIAL | (flag == 1 ? CMS_DETACHED : 0u);
  CmsPtr cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags));
  if (!cms) return fail(tk_crypto_failed, "Can not create signed data");
  if (CMS_add1_signer(cms.get(), context->signer.get(), context->key.get(), md,
                      flags | (insert ? 0u : CMS_NOCERTS)) == nullptr) {
    return fail(tk_crypto_failed, "Can not add the signer");
  }
  if (CMS_final(cms.get(), in.get(), nullptr, flags) != 1) return fail(tk_crypto_failed, "Signing failed");
  std::string out;
  if (!encode_message(cms.get(), format, out)) return fail(tk_crypto_failed, "Can not encode the signed data");
  const int result = hand_out(out, signature, signature_length);
  if (result == tk_ok) succeed();
  return result;
}

}  // namespace kelda::pkcs7tk
