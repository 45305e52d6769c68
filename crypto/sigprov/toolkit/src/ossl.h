// Owning handles for OpenSSL objects, error texts and file and PEM/DER
// helpers shared by the toolkit's files.
#pragma once

#include <openssl/pem.h>  // before cms.h: it declares the CMS PEM calls only then
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pkcs7tk/pkcs7tk.h"

namespace kelda::pkcs7tk {

template <auto Free>
struct Deleter {
  template <typename T>
  void operator()(T* p) const {
    Free(p);
  }
};
using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free_all>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509_free>>;
using CrlPtr = std::unique_ptr<X509_CRL, Deleter<X509_CRL_free>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, Deleter<CMS_ContentInfo_free>>;
using StorePtr = std::unique_ptr<X509_STORE, Deleter<X509_STORE_free>>;
using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX_free>>;
struct X509StackDeleter {
  void operator()(STACK_OF(X509) * s) const { sk_X509_pop_free(s, X509_free); }
};
using X509StackPtr = std::unique_ptr<STACK_OF(X509), X509StackDeleter>;

// Records the failure for GetErrorText (the OpenSSL queue is appended and
// cleared) and returns the code.
int fail(Status code, std::string_view text);
// Clears this thread's failure text and the OpenSSL queue.
void succeed();

// A read-only memory BIO over the bytes (they must outlive it).
BioPtr memory_bio(const void* data, std::size_t length);
// Everything written to a memory BIO.
std::string bio_text(BIO* bio);

// The whole file, or false.
bool read_file(const std::string& path, std::string& bytes);
// The files (not directories) of a directory, sorted by name.
std::vector<std::string> files_of(const std::string& directory);

// A certificate or CRL in DER or PEM.
X509Ptr parse_certificate(std::string_view bytes);
CrlPtr parse_crl(std::string_view bytes);
// Every certificate of a file (one DER, or any number of PEM blocks).
std::vector<X509Ptr> parse_certificates(std::string_view bytes);

// "C = RU, O = ..., CN = ..." (UTF-8) and the serial number in hex.
std::string name_text(const X509_NAME* name);
std::string serial_text(const ASN1_INTEGER* serial);
// The first entry of the name with the nid, UTF-8 ("" when absent).
std::string name_entry(const X509_NAME* name, int nid);

// A copy of the bytes into a buffer the caller releases with FreeBuffer.
int hand_out(std::string_view bytes, uint8_t** out, std::size_t* out_length);
char* hand_out_text(const std::string& text);

// A message's DER or PEM encoding in the output format.
bool encode_message(CMS_ContentInfo* cms, int format, std::string& out);

bool is_token_path(const char* path);

}  // namespace kelda::pkcs7tk
