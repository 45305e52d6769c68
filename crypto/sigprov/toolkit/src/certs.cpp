// Certificate information.
#include <openssl/err.h>

#include <ctime>

#include "contexts.h"
#include "state.h"

namespace kelda::pkcs7tk {

namespace {
std::time_t to_time(const ASN1_TIME* t) {
  std::tm tm{};
  if (t == nullptr || ASN1_TIME_to_tm(t, &tm) != 1) return 0;
  return timegm(&tm);
}
}  // namespace

std::string name_entry(const X509_NAME* name, int nid) {
  const int index = X509_NAME_get_index_by_NID(name, nid, -1);
  if (index < 0) return {};
  unsigned char* utf8 = nullptr;
  const int n = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
  if (n < 0) return {};
  std::string text(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(n));
  OPENSSL_free(utf8);
  return text;
}

int GetCertificateInfoBuffer(const void* buffer, std::size_t length, CertificateInfo* info) {
  if (buffer == nullptr || info == nullptr) return fail(tk_bad_argument, "Wrong arguments");
  X509Ptr certificate = parse_certificate({static_cast<const char*>(buffer), length});
  if (!certificate) return fail(tk_bad_format, "The certificate can not be decoded");
  info->subject = name_text(X509_get_subject_name(certificate.get()));
  info->issuer = name_text(X509_get_issuer_name(certificate.get()));
  info->serial = serial_text(X509_get_serialNumber(certificate.get()));
  info->not_before = to_time(X509_get0_notBefore(certificate.get()));
  info->not_after = to_time(X509_get0_notAfter(certificate.get()));
  const EVP_PKEY* key = X509_get0_pubkey(certificate.get());
  const int nid = key != nullptr ? EVP_PKEY_get_base_id(key) : NID_undef;
  info->key_algorithm = nid != NID_undef ? OBJ_nid2ln(nid) : (key != nullptr ? EVP_PKEY_get0_type_name(key) : "");
  const X509_NAME* subject = X509_get_subject_name(certificate.get());
  info->country = name_entry(subject, NID_countryName);
  info->state_or_province = name_entry(subject, NID_stateOrProvinceName);
  info->locality = name_entry(subject, NID_localityName);
  info->organization = name_entry(subject, NID_organizationName);
  info->organizational_unit = name_entry(subject, NID_organizationalUnitName);
  info->title = name_entry(subject, NID_title);
  info->common_name = name_entry(subject, NID_commonName);
  info->email = name_entry(subject, NID_pkcs9_emailAddress);
  succeed();
  return tk_ok;
}

}  // namespace kelda::pkcs7tk
