// Enveloping for recipient certificates and opening with the open keys.
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/cmserr.h>

#include <limits>
#include <new>

#include "contexts.h"
#include "state.h"

namespace kelda::pkcs7tk {

namespace {
using Lock = std::lock_guard<std::mutex>;

// Whether the failure on the OpenSSL queue is the content cipher being
// unknown here (the recipient key was found and opened): OpenSSL either finds
// no cipher for the identifier or finds a name whose implementation is not
// loaded.
bool unknown_content_cipher() {
  const unsigned long last = ERR_peek_last_error();
  if (ERR_GET_LIB(last) != ERR_LIB_CMS) return false;
  if (ERR_GET_REASON(last) == CMS_R_UNKNOWN_CIPHER) return true;
  return ERR_GET_REASON(last) == CMS_R_CIPHER_INITIALISATION_ERROR &&
         ERR_GET_REASON(ERR_peek_error()) == ERR_R_UNSUPPORTED;
}
}  // namespace

CipherCTX* GetCipherCTX() {
  auto* context = new (std::nothrow) CipherCTX;
  if (context == nullptr) fail(tk_no_memory, "Not enough memory");
  return context;
}

void FreeCipherCTX(CipherCTX* context) { delete context; }

int AddRecipient(CipherCTX* context, const char* cert_file) {
  if (context == nullptr || cert_file == nullptr) return fail(tk_bad_argument, "Wrong arguments");
  std::string bytes;
  if (!read_file(cert_file, bytes)) return fail(tk_read_failed, std::string("Can not read certificate file \"") + cert_file + "\"");
  X509Ptr certificate = parse_certificate(bytes);
  if (!certificate) return fail(tk_bad_format, std::string("File \"") + cert_file + "\" holds no certificate");
  context->recipients.push_back(std::move(certificate));
  succeed();
  return tk_ok;
}

int EncryptBuffer(CipherCTX* context, const void* data, std::size_t length, uint8_t** out, std::size_t* out_length) {
  if (context == nullptr || out == nullptr || out_length == nullptr || (data == nullptr && length > 0)) {
    return fail(tk_bad_argument, "Wrong arguments of encryption");
  }
  if (context->recipients.empty()) return fail(tk_no_recipient, "No recipient was set for the cipher context");
  std::string cipher_name;
  int format;
  {
    Lock lock(state().lock);
    cipher_name = state().cipher;
    format = state().output_format;
  }
  const EVP_CIPHER* cipher = cipher_by_name(cipher_name);
  if (cipher == nullptr) return tk_unsupported_algorithm;
  X509StackPtr recipients(sk_X509_new_null());
  if (!recipients) return fail(tk_no_memory, "Not enough memory");
  for (const X509Ptr& c : context->recipients) {
    X509_up_ref(c.get());
    sk_X509_push(recipients.get(), c.get());
  }
  BioPtr in = memory_bio(data, length);
  if (!in) return fail(tk_bad_argument, "The data is too large to encrypt");
  CmsPtr cms(CMS_encrypt(recipients.get(), in.get(), cipher, CMS_BINARY));
  if (!cms) return fail(tk_crypto_failed, "Encryption with \"" + cipher_name + "\" failed");
  std::string encoded;
  if (!encode_message(cms.get(), format, encoded)) return fail(tk_crypto_failed, "Can not encode the enveloped data");
  const int result = hand_out(encoded, out, out_length);
  if (result == tk_ok) succeed();
  return result;
}

int DecryptBuffer(const void* data, std::size_t length, uint8_t** out, std::size_t* out_length) {
  if (data == nullptr || out == nullptr || out_length == nullptr || length == 0 ||
      length > static_cast<std::size_t>(std::numeric_limits<long>::max())) {
    return fail(tk_bad_argument, "Wrong arguments of decryption");
  }
  // Enveloped data in either format.
  CmsPtr cms;
  {
    BioPtr bio = memory_bio(data, length);
    if (bio) cms.reset(PEM_read_bio_CMS(bio.get(), nullptr, nullptr, nullptr));
    if (!cms) {
      ERR_clear_error();
      const auto* p = static_cast<const unsigned char*>(data);
      cms.reset(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(length)));
    }
  }
  if (!cms || OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_enveloped) {
    return fail(tk_bad_format, "Input data is not PKCS#7 enveloped data");
  }
  std::vector<std::pair<KeyPtr, X509Ptr>> keys;
  {
    Lock lock(state().lock);
    for (const OpenKey& k : state().keys) {
      EVP_PKEY_up_ref(k.key.get());
      if (k.certificate) X509_up_ref(k.certificate.get());
      keys.emplace_back(KeyPtr(k.key.get()), X509Ptr(k.certificate.get()));
    }
  }
  if (keys.empty()) return fail(tk_no_private_key, "No private key is open to decrypt with");
  // Data made before this process looked up a national cipher by name.
  load_national_algorithms();
  for (const auto& [key, certificate] : keys) {
    BioPtr plain(BIO_new(BIO_s_mem()));
    if (!plain) return fail(tk_no_memory, "Not enough memory");
    ERR_clear_error();  // each key's failure stands alone
    if (CMS_decrypt(cms.get(), key.get(), certificate.get(), nullptr, plain.get(), CMS_BINARY) == 1) {
      const int result = hand_out(bio_text(plain.get()), out, out_length);
      if (result == tk_ok) succeed();
      return result;
    }
    if (unknown_content_cipher()) {
      return fail(tk_unsupported_algorithm, "The enveloped data is enciphered with an unknown cipher algorithm");
    }
  }
  return fail(tk_no_private_key, "No open private key can decrypt the data");
}

}  // namespace kelda::pkcs7tk
