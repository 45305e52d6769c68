/* Sigprov: the signing provider plug-in over the PKCS#7 toolkit (our layer
 * over OpenSSL 3). Loaded by the dispatcher Cipherhub, which binds its
 * CPAPI_* entry points (cipherhub/cpapi.h); this header adds the records and
 * the further exports of the plug-in: certificates, key carriers, file
 * signatures, key generation and certificate requests.
 *
 * Provider: name "SignalComMessagePro", id 4, interface version 1, usage 1
 * (signing). Settings: an INI file (default "SignalCOM.ini" beside the
 * program), sections "signal_com_message_pro_common_settings",
 * "signal_com_message_pro_sign_settings" and
 * "signal_com_message_pro_cipher_settings". Contexts: 1 signing,
 * 2 verification, 5 decryption, 6 encryption; a context begins with the tag
 * 18102004 and is used by one thread at a time.
 *
 * Key carrier: a directory (relative paths are taken against the program's
 * folder) holding
 *   keys/            the private keys: PKCS#12 files (".p12", ".pfx") or PEM
 *                    or DER PKCS#8 files (".pem", ".key", ".der"), protected
 *                    by the carrier password (asked as "PSE_Path");
 *   cert_main.cer    the user's certificate (or cert_main.pem), DER or PEM;
 *   certca.cer       the CA's certificate (or certca.pem), optional;
 *   crl.crl          the CA's revocation list, optional.
 * A key file named in the settings (sign_key_file_name, cipher_key_file_name)
 * may lie anywhere; it is opened with its own key password. CPAPI_CheckPSE
 * with its flag set checks that the "keys" directory exists and holds a key
 * file. Hardware tokens ("ibutton:", "etoken:", "rutoken:" paths) are not
 * supported here: contexts on them fail with a text saying so.
 *
 * Passwords: modes 1 (the INI value) or 2 (asked): asked through the
 * user-interface layer's dialog service, on the user-interface thread also
 * when asked from another thread; without a user-interface thread the
 * question counts as refused. Answers are kept in a process-wide cache
 * (cleared when a context is created and when opening keys fails) and are
 * never logged.
 *
 * Algorithms: digest "SHA1" by default (any digest OpenSSL knows by name);
 * the content cipher "RUS-GAMMAR" (GOST 28147-89 with feedback) and the key
 * type "ECR3410" (GOST R 34.10-2012, 256 bits) come from Debian's GOST engine
 * for OpenSSL; without it they are refused with a text naming the package.
 *
 * Errors and threads: every export checks its arguments, lets no exception
 * out, and on failure writes one text into the caller's error buffer (cut to
 * its size and terminated; nothing for a null buffer). Calls run on the
 * caller's thread; the toolkit's state and the password cache are guarded.
 * Every buffer handed out is released with CPAPI_FreeMemory, every record
 * with its Free function.
 *
 * Records holding pointers have their 64-bit layout (pointers at natural
 * alignment); callers use sizeof.
 */
#ifndef SIGPROV_SIGPROV_H
#define SIGPROV_SIGPROV_H

#include <stdint.h>

#include "cipherhub/cpapi.h"
#include "platform/export.h"
#include "platform/win_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SIGPROV_PROVIDER_ID 4
#define SIGPROV_CONTEXT_TAG 18102004u

/* Context types. */
#define SIGPROV_CONTEXT_SIGN 1
#define SIGPROV_CONTEXT_VERIFY 2
#define SIGPROV_CONTEXT_DECRYPT 5
#define SIGPROV_CONTEXT_ENCRYPT 6

/* Data formats of CPAPI_SetInputFormat / CPAPI_SetOutputFormat. */
#define SIGPROV_FORMAT_ASN1 1
#define SIGPROV_FORMAT_PEM 3

/* Context initialisation mode 4 (and the mode-5 callback's answer): the key
 * carrier and files, 8-bit texts in 1024-byte fields, each read within its
 * field. */
#define SIGPROV_KEY_CARRIER_V1 1u
#define SIGPROV_KEY_CARRIER_V2 2032007u
#define SIGPROV_KEY_CARRIER_V3 2032008u
typedef struct CpapiKeyCarrierParams {
  uint32_t version; /* one of the three above */
  char pse_path[1024];
  char ca_cert_file[1024];
  char crl_file[1024];
  char key_file[1024];
  char cert_file[1024];
  char key_password[1024]; /* versions 2032007 and 2032008 */
  char further[1024];      /* version 2032008; not used */
} CpapiKeyCarrierParams;

/* Certificate information (CPAPI_GetCertificateInfoEx). */
#define SIGPROV_CERT_INFO_TAG 1443689u
#define SIGPROV_CERT_INFO_DN_TAG 1443690u
#define SIGPROV_DN_TAG 0x2052007u
typedef struct CpapiDistinguishedName {
  uint32_t tag; /* SIGPROV_DN_TAG */
  char* country;
  char* state_or_province;
  char* locality;
  char* organization;
  char* organizational_unit;
  char* title;
  char* common_name;
  char* email;
} CpapiDistinguishedName;
typedef struct CpapiCertificateInfo {
  uint32_t tag; /* SIGPROV_CERT_INFO_TAG, or SIGPROV_CERT_INFO_DN_TAG for the form with subject_dn */
  char* subject;
  char* issuer;
  char* serial_number;
  FILETIME not_before;
  FILETIME not_after;
  char* key_algorithm;
  CpapiDistinguishedName subject_dn; /* filled in the SIGPROV_CERT_INFO_DN_TAG form */
} CpapiCertificateInfo;

/* Key generation (CPAPI_GenerateNewKey): generation mode 1 makes a new key
 * pair in the key carrier and its certificate request; parameter mode 4
 * takes the record, mode 5 asks the callback for it (the callback gets a
 * null provider record and the callback value, and returns the record in
 * its params_out). 8-bit texts, each read within its field. */
#define SIGPROV_KEYGEN_NEW_KEYS 1
#define SIGPROV_KEYGEN_PARAMS_TAG 4032007u
typedef struct CpapiKeyGenParams {
  uint32_t tag; /* SIGPROV_KEYGEN_PARAMS_TAG */
  char pse_path[1024];      /* the key carrier directory (made when missing) */
  char country[3];          /* two letters */
  char state_or_province[256];
  char locality[256];
  char organization[256];
  char organizational_unit[256];
  char title[256];
  char first_name[256];     /* the common name is "first second last" */
  char second_name[256];
  char last_name[256];
  char email[256];
  char request_file[1024];  /* the request, written in PEM */
  int32_t request_in_memory; /* nonzero asks for the request in memory: refused */
} CpapiKeyGenParams;

/* A certificate request (CPAPI_GetCertRequestInfo): texts allocated by the
 * provider, released by CPAPI_FreeCertRequestInfo. The fingerprint is the
 * SHA-1 digest of the request's DER encoding in upper-case hex digits. */
#define SIGPROV_CERT_REQUEST_TAG 0x2052008u
#define SIGPROV_REQUEST_FROM_FILE 1
#define SIGPROV_REQUEST_FROM_MEMORY 2
typedef struct CpapiCertRequestInfo {
  uint32_t tag; /* SIGPROV_CERT_REQUEST_TAG */
  char* subject; /* "C = RU, ..., CN = ..." */
  char* country;
  char* state_or_province;
  char* locality;
  char* organization;
  char* organizational_unit;
  char* title;
  char* common_name;
  char* email;
  char* fingerprint;
} CpapiCertRequestInfo;

/* ---- Exports beyond the dispatcher's set (1 ok, 0 failure unless said) ---- */

KELDA_EXPORT int32_t CPAPI_GetCertificateInfo(const char* cert_file, char** subject, char** issuer,
                                              char** serial_number, FILETIME* not_before,
                                              FILETIME* not_after, char* error,
                                              uint32_t error_size);
KELDA_EXPORT int32_t CPAPI_GetCertificateInfoEx(const char* cert_file, CpapiCertificateInfo* info,
                                                char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPAPI_FreeCertificateInfo(CpapiCertificateInfo* info, char* error,
                                               uint32_t error_size);
/* Certificate chain, revocation, validity and purpose checks on (1) or off. */
KELDA_EXPORT int32_t CPAPI_SetCertificateVerifyMode(int32_t on, char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPAPI_SetInputFormat(int32_t format, char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPAPI_SetOutputFormat(int32_t format, char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPAPI_UseCertificateSerialNumberInsteadOfSubject(char* error,
                                                                      uint32_t error_size);
/* 1 for an empty path, a token path, or (flag 0) any directory path; with
 * the flag, 1 only when the carrier has its "keys" directory with a key. */
KELDA_EXPORT int32_t CPAPI_CheckPSE(const char* pse_path, int32_t flag, char* error,
                                    uint32_t error_size);
/* 1 valid (a warning text may be left when it ends within warning_days), 0
 * not yet valid or expired. */
KELDA_EXPORT int32_t CPAPI_CheckCertificateValidityPeriod(const char* cert_file,
                                                          int32_t warning_days, char* error,
                                                          uint32_t error_size);
/* 1 when a key file of the keys directory (default: the carrier's "keys")
 * belongs to the certificate, 0 when none does, -1 for an empty carrier. */
KELDA_EXPORT int32_t CPAPI_CheckPrivateKeysToCertCorrespondence(const char* cert_file,
                                                                const char* pse_path,
                                                                const char* keys_directory,
                                                                char* error, uint32_t error_size);
/* Checks the signatures of a file of signed data (content inside) for the
 * certificate file, or for the certificates of a directory. */
KELDA_EXPORT int32_t CPAPI_VerifyFileSignature(const char* signed_file, const char* certificates,
                                               char* error, uint32_t error_size);

/* The same for one certificate file or a directory of them, returning the
 * issuer and the serial number or subject (by the provider's setting) of
 * the signature that verified, else of the certificate looked for, and the
 * last verification's diagnostics, each reallocated in place (release with
 * CPAPI_FreeMemory; null pointers are skipped). verify_mode 1 checks the
 * signer's certificate (chain, revocation, validity, purpose), 0 only the
 * signature, -1 as CPAPI_SetCertificateVerifyMode set. */
KELDA_EXPORT int32_t CPAPI_VerifyFileSignatureEx(const char* signed_file, const char* certificates,
                                                 int32_t verify_mode, char** issuer,
                                                 char** serial_number_or_subject, char** diagnostics,
                                                 char* error, uint32_t error_size);
/* A new key pair, written as an encrypted PEM PKCS#8 file into the carrier's
 * "keys" directory (key files already there are removed) with the carrier
 * password asked as "PSE_Path", and its certificate request (key type
 * "ECR3410", which needs the GOST engine). */
KELDA_EXPORT int32_t CPAPI_GenerateNewKey(int32_t generation_mode, int32_t params_mode,
                                          const CpapiKeyGenParams* params,
                                          CpapiParamCallback callback, uintptr_t callback_value,
                                          char* error, uint32_t error_size);
/* Decodes a request (PEM or DER) from a file (source: its name, length
 * unused) or memory (source: the block of length bytes) into the record,
 * whose tag the caller sets. */
KELDA_EXPORT int32_t CPAPI_GetCertRequestInfo(int32_t source_kind, const void* source,
                                              uint32_t length, CpapiCertRequestInfo* info,
                                              char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPAPI_FreeCertRequestInfo(CpapiCertRequestInfo* info, char* error,
                                               uint32_t error_size);

#ifdef __cplusplus
}
#endif

#endif /* SIGPROV_SIGPROV_H */
