// The message type probe and the check of every signature of a message.
#include <openssl/err.h>
#include <openssl/pem.h>

#include <limits>
#include <new>

#include "contexts.h"
#include "state.h"

namespace kelda::pkcs7tk {

namespace {

using Lock = std::lock_guard<std::mutex>;

int type_of(const CMS_ContentInfo* cms) {
  switch (OBJ_obj2nid(CMS_get0_type(cms))) {
    case NID_pkcs7_signed: return PKCS7_TYPE_SIGNED;
    case NID_pkcs7_enveloped: return PKCS7_TYPE_ENVELOPED;
    default: return PKCS7_TYPE_OTHER;
  }
}

// The message in the given format; DER must fill the buffer exactly.
CmsPtr decode(const void* buffer, std::size_t length, int format) {
  if (length == 0 || length > static_cast<std::size_t>(std::numeric_limits<long>::max())) return nullptr;
  if (format == FORMAT_PEM) {
    BioPtr bio = memory_bio(buffer, length);
    return bio ? CmsPtr(PEM_read_bio_CMS(bio.get(), nullptr, nullptr, nullptr)) : nullptr;
  }
  const auto* p = static_cast<const unsigned char*>(buffer);
  CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(length)));
  if (cms && p != static_cast<const unsigned char*>(buffer) + length) return nullptr;
  return cms;
}

// The snapshot of what verification needs, taken under the lock.
struct TrustSnapshot {
  std::vector<X509Ptr> cas;
  std::vector<X509Ptr> certificates;
  std::vector<CrlPtr> crls;
  int flags;
};

TrustSnapshot snapshot(const SignCTX& context) {
  TrustSnapshot t;
  Lock lock(state().lock);
  const ToolkitState& s = state();
  t.cas = copies(s.cas);
  for (X509Ptr& c : copies(context.cas)) t.cas.push_back(std::move(c));
  t.certificates = copies(s.certificates);
  for (const auto* list : {&s.crls, &context.crls}) {
    for (const CrlPtr& crl : *list) {
      X509_CRL_up_ref(crl.get());
      t.crls.emplace_back(crl.get());
    }
  }
  t.flags = context.verify_flags >= 0 ? context.verify_flags : s.verify_flags;
  return t;
}

StorePtr make_store(const TrustSnapshot& t) {
  StorePtr store(X509_STORE_new());
  if (!store) return nullptr;
  for (const X509Ptr& c : t.cas) X509_STORE_add_cert(store.get(), c.get());
  for (const CrlPtr& crl : t.crls) X509_STORE_add_crl(store.get(), crl.get());
  ERR_clear_error();  // duplicates are not failures
  return store;
}

// The certificate path of the signer: "" when it verifies, else why not.
std::string check_path(X509_STORE* store, X509* signer, STACK_OF(X509) * untrusted, const TrustSnapshot& t) {
  if ((t.flags & VERIFY_CHAIN) == 0) return {};
  StoreCtxPtr ctx(X509_STORE_CTX_new());
  if (!ctx || X509_STORE_CTX_init(ctx.get(), store, signer, untrusted) != 1) return "Can not check the certificate";
  unsigned long flags = 0;
  if ((t.flags & VERIFY_CRL) != 0 && !t.crls.empty()) flags |= X509_V_FLAG_CRL_CHECK;
  if ((t.flags & VERIFY_TIME) == 0) flags |= X509_V_FLAG_NO_CHECK_TIME;
  X509_STORE_CTX_set_flags(ctx.get(), flags);
  if ((t.flags & VERIFY_PURPOSE) != 0) X509_STORE_CTX_set_purpose(ctx.get(), X509_PURPOSE_SMIME_SIGN);
  if (X509_verify_cert(ctx.get()) == 1) return {};
  const int error = X509_STORE_CTX_get_error(ctx.get());
  ERR_clear_error();
  return X509_verify_cert_error_string(error);
}

SignatureResult check_one(CMS_SignerInfo* si, BIO* content, X509_STORE* store, STACK_OF(X509) * untrusted,
                          const TrustSnapshot& t) {
  SignatureResult r;
  ASN1_OCTET_STRING* key_id = nullptr;
  X509_NAME* issuer = nullptr;
  ASN1_INTEGER* serial = nullptr;
  if (CMS_SignerInfo_get0_signer_id(si, &key_id, &issuer, &serial) == 1) {
    r.issuer = name_text(issuer);
    r.serial = serial_text(serial);
  }
  X509* signer = nullptr;
  CMS_SignerInfo_get0_algs(si, nullptr, &signer, nullptr, nullptr);
  if (signer == nullptr) {
    r.diagnostics = "The signer's certificate was not found";
    return r;
  }
  r.issuer = name_text(X509_get_issuer_name(signer));
  r.subject = name_text(X509_get_subject_name(signer));
  r.serial = serial_text(X509_get_serialNumber(signer));
  if (std::string path = check_path(store, signer, untrusted, t); !path.empty()) {
    r.diagnostics = path;
    return r;
  }
  if (CMS_signed_get_attr_count(si) >= 0 && CMS_SignerInfo_verify(si) != 1) {
    ERR_clear_error();
    r.diagnostics = "The signature does not match the signed attributes";
    return r;
  }
  if (CMS_SignerInfo_verify_content(si, content) != 1) {
    ERR_clear_error();
    r.diagnostics = "The signature does not match the content";
    return r;
  }
  r.status = 0;
  r.diagnostics = "Verified";
  return r;
}

}  // namespace

int GetPKCS7TypeBufferEx(const void* buffer, std::size_t length, int* type, PKCS7CTX** message) {
  if (buffer == nullptr || type == nullptr) return fail(tk_bad_argument, "Wrong arguments of the type probe");
  if (message != nullptr) *message = nullptr;
  const int format = GetInputFormat();
  CmsPtr cms = decode(buffer, length, format);
  if (!cms) {
    *type = PKCS7_TYPE_OTHER;
    return fail(tk_bad_format, format == FORMAT_PEM ? "Input data is not a PEM PKCS#7 message"
                                                    : "Input data is not an ASN.1 PKCS#7 message");
  }
  *type = type_of(cms.get());
  if (message != nullptr && *type == PKCS7_TYPE_SIGNED) {
    auto* ctx = new (std::nothrow) PKCS7CTX;
    if (ctx == nullptr) return fail(tk_no_memory, "Not enough memory");
    ctx->cms = std::move(cms);
    *message = ctx;
  }
  succeed();
  return tk_ok;
}

void FreePKCS7CTX(PKCS7CTX* message) { delete message; }

int CheckBufferSignEx(SignCTX* context, PKCS7CTX* message, const void* detached, std::size_t detached_length,
                      uint8_t** content, std::size_t* content_length, int flag) {
  if (context == nullptr || message == nullptr || !message->cms) return fail(tk_bad_argument, "Wrong arguments of the check");
  if (flag == 1 && (content == nullptr || content_length == nullptr)) return fail(tk_bad_argument, "No content buffer");
  if (flag != 1 && detached == nullptr && detached_length > 0) return fail(tk_bad_argument, "No detached content");
  CMS_ContentInfo* cms = message->cms.get();
  message->signatures.clear();
  const bool has_content = CMS_get0_content(cms) != nullptr && *CMS_get0_content(cms) != nullptr;
  if (flag == 1 && !has_content) return fail(tk_bad_format, "The signed message does not carry its content");
  const TrustSnapshot t = snapshot(*context);
  StorePtr store = make_store(t);
  X509StackPtr untrusted(CMS_get1_certs(cms));
  if (!untrusted) untrusted.reset(sk_X509_new_null());
  if (!store || !untrusted) return fail(tk_no_memory, "Not enough memory");
  X509StackPtr extra(sk_X509_new_null());
  for (const X509Ptr& c : t.certificates) {
    X509_up_ref(c.get());
    sk_X509_push(extra.get(), c.get());
    X509_up_ref(c.get());
    sk_X509_push(untrusted.get(), c.get());
  }
  CMS_set1_signers_certs(cms, extra.get(), 0);
  ERR_clear_error();
  // The chain of digest BIOs that CMS_dataInit builds ends in the detached
  // content's BIO and takes it over; freeing the chain frees it.
  BIO* detached_bio = nullptr;
  if (flag != 1) {
    detached_bio = memory_bio(detached, detached_length).release();
    if (detached_bio == nullptr) return fail(tk_bad_argument, "The content is too large");
  }
  BIO* chain = CMS_dataInit(cms, detached_bio);
  if (chain == nullptr) {
    BIO_free(detached_bio);
    return fail(tk_bad_format, "Can not read the signed message");
  }
  std::string data;
  char block[4096];
  for (int n; (n = BIO_read(chain, block, sizeof block)) > 0;) data.append(block, static_cast<std::size_t>(n));
  STACK_OF(CMS_SignerInfo)* infos = CMS_get0_SignerInfos(cms);
  for (int i = 0; i < sk_CMS_SignerInfo_num(infos); ++i) {
    message->signatures.push_back(check_one(sk_CMS_SignerInfo_value(infos, i), chain, store.get(), untrusted.get(), t));
  }
  BIO_free_all(chain);
  if (message->signatures.empty()) return fail(tk_no_signer, "Input data not contain digital_signature");
  if (flag == 1) {
    const int result = hand_out(data, content, content_length);
    if (result != tk_ok) return result;
  }
  succeed();
  return tk_ok;
}

int GetSignatureCount(PKCS7CTX* message, int* count) {
  if (message == nullptr || count == nullptr) return fail(tk_bad_argument, "Wrong arguments");
  *count = static_cast<int>(message->signatures.size());
  return tk_ok;
}

namespace {
template <typename Field>
int signature_text(PKCS7CTX* message, int index, char** text, Field field) {
  if (message == nullptr || text == nullptr || index < 0 || index >= static_cast<int>(message->signatures.size())) {
    return fail(tk_bad_argument, "No such signature");
  }
  *text = hand_out_text(field(message->signatures[static_cast<std::size_t>(index)]));
  return *text != nullptr ? tk_ok : fail(tk_no_memory, "Not enough memory");
}
}  // namespace

int GetSignatureIssuer(PKCS7CTX* message, int index, char** text) {
  return signature_text(message, index, text, [](const SignatureResult& r) { return r.issuer; });
}

int GetPKCS7SignatureSerial(PKCS7CTX* message, int index, char** text) {
  return signature_text(message, index, text, [](const SignatureResult& r) { return r.serial; });
}

int GetSignatureSubject(PKCS7CTX* message, int index, char** text) {
  return signature_text(message, index, text, [](const SignatureResult& r) { return r.subject; });
}

int GetSignatureStatus(PKCS7CTX* message, int index, int* status, char** text) {
  if (status == nullptr) return fail(tk_bad_argument, "No status");
  const int result = signature_text(message, index, text, [](const SignatureResult& r) { return r.diagnostics; });
  if (result == tk_ok) *status = message->signatures[static_cast<std::size_t>(index)].status;
  return result;
}

}  // namespace kelda::pkcs7tk
