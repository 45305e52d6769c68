// The PKCS#7 toolkit: the signing, checking, enveloping, certificate and key
// carrier calls the Sigprov provider makes, over OpenSSL 3's libcrypto (CMS,
// X.509, PKCS#12, PEM). National (GOST) algorithms come from Debian's GOST
// engine for OpenSSL when it is installed; without it they are refused with a
// clear text.
//
// Results: every call that can fail returns 0 on success, else one of the
// tk_* codes below; the text of the calling thread's last failure (with the
// OpenSSL error queue appended) is GetErrorText(). Buffers the toolkit hands
// out are released with FreeBuffer, texts with FreeText.
//
// State: the formats, verification flags, algorithm names, the certificate,
// CA and CRL stores, the private keys and the password callbacks are
// toolkit-wide, guarded by one internal lock; PKCS7Init/PKCS7Final count
// open initialisations and the last PKCS7Final clears the stores and keys.
// Signing, message and cipher contexts are objects of their own: one context
// is used by one thread at a time; different contexts may be used at once.
//
// Key carrier: a directory whose "keys" subdirectory holds private key files:
// PKCS#12 (".p12", ".pfx") or PEM (".pem", ".key", PKCS#8, encrypted or not).
// A key of the carrier is opened with the carrier password; a key file named
// on its own (AddPSEPrivateKeyEx) with the key password. Paths beginning with
// "ibutton:", "etoken:" or "rutoken:" name hardware tokens, which this
// toolkit does not support (tk_token_not_supported).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace kelda::pkcs7tk {

enum Status : int {
  tk_ok = 0,
  tk_bad_argument = 1,
  tk_not_initialized = 2,
  tk_read_failed = 3,
  tk_bad_format = 4,
  tk_no_private_key = 5,
  tk_key_mismatch = 6,
  tk_password_refused = 7,
  tk_crypto_failed = 8,
  tk_unsupported_algorithm = 9,
  tk_token_not_supported = 10,
  tk_no_signer = 11,
  tk_no_recipient = 12,
  tk_no_memory = 13,
  tk_write_failed = 14,
};

// Data formats of SetInputFormat and SetOutputFormat.
inline constexpr int FORMAT_UNKNOWN = 0;
inline constexpr int FORMAT_ASN1 = 1;
inline constexpr int FORMAT_PEM = 3;

// Message types of GetPKCS7TypeBufferEx.
inline constexpr int PKCS7_TYPE_OTHER = 0;
inline constexpr int PKCS7_TYPE_SIGNED = 1;
inline constexpr int PKCS7_TYPE_ENVELOPED = 2;

// Verification flags (SetVerifyFlags): all on is 15, all off 0 (then only the
// signature itself is checked).
inline constexpr int VERIFY_CHAIN = 1;    // the signer's certificate leads to a trusted CA
inline constexpr int VERIFY_CRL = 2;      // and is not revoked (when CRLs are loaded)
inline constexpr int VERIFY_TIME = 4;     // and is within its validity period
inline constexpr int VERIFY_PURPOSE = 8;  // and may sign messages
inline constexpr int VERIFY_ALL = 15;

// The text of this thread's last failure ("" after a success).
const char* GetErrorText();

// ---- Passwords ----
// A password callback writes the password into buffer (at most size - 1
// bytes, terminated) and returns its length, or -1 when refused.
using PasswordCallback = int (*)(char* buffer, int size);
// The carrier password callback, and preset passwords (null or "" when not
// preset): the carrier's, and the one of the named key file.
int SetPSEPasswordCallbackFun(PasswordCallback callback, const char* pse_password,
                              const char* key_file, const char* key_password);
int Set_eTokenPasswordCallbackFun(PasswordCallback callback);
int Set_ruTokenPasswordCallbackFun(PasswordCallback callback);
// The key file password callback; GetKeyFileNameForPassword names the file
// while it runs.
int SetKeysPasswordCallbackFun(PasswordCallback callback);
const char* GetKeyFileNameForPassword();

// ---- Initialisation ----
// pse_path: the key carrier directory or null; a token path fails.
int PKCS7Init(const char* pse_path, int flags);
int PKCS7Final();
int OpenInitCount();
int SetInputFormat(int format);
int SetOutputFormat(int format);
int GetInputFormat();
int GetOutputFormat();
int SetVerifyFlags(int flags);
// Every certificate (".cer", ".crt", ".pem", DER or PEM) of the directory:
// extra certificates to find signers by, trusted CAs, revocation lists.
int AddCertificates(const char* directory);
int AddCAs(const char* directory);
int AddCRLs(const char* directory);
// The content cipher by name: "RUS-GAMMAR" (GOST 28147-89 with feedback,
// national) or any cipher OpenSSL knows ("AES-256-CBC"); checked when used.
int SetCipherAlgorithm(const char* name);
// The digest by name: "SHA1", "SHA256", ... or a national one ("md_gost12_256").
int SetDigestAlgorithm(const char* name);
// Whether signatures carry the signer's certificate (on by default).
int InsertCertificateToSign(int insert = 1);
// Opens the private keys of a carrier: every key file of keys_path, or of
// the carrier's "keys" directory when keys_path is null.
int AddPSEPrivateKeys(const char* pse_path, const char* keys_path);
// Opens one key file (with key_password, else through the key callback);
// without a key file, the carrier's keys with pse_password (else
// key_password, else through the carrier callback).
int AddPSEPrivateKeyEx(const char* pse_path, const char* pse_password, const char* key_file,
                       const char* key_password);
int PrivateKeyCount();

// ---- Signing contexts ----
struct SignCTX;
SignCTX* GetSignCTX();
void FreeSignCTX(SignCTX* context);
// The verification flags of checks with this context in place of the
// toolkit's (a negative value returns to the toolkit's).
int SetSignCTXVerifyFlags(SignCTX* context, int flags);
// A CA certificate file and a CRL file for this context (null: none).
int AddCA(SignCTX* context, const char* file);
int AddCRL(SignCTX* context, const char* file);
// 0 when the key (file bytes, opened with its password or the key callback)
// belongs to the certificate (file bytes).
int CertAndPSEPrivateKeyMatchBufferEx(const void* cert, std::size_t cert_length, const void* key,
                                      std::size_t key_length, const char* key_name);
// 0 when the key file belongs to the certificate file.
int CertAndPSEPrivateKeyMatch(const char* cert_file, const char* key_file);
// 0 when an open private key belongs to the certificate file.
int CertAndPSEPrivateKeysMatch(const char* cert_file);
// The signer: the certificate file and its open private key.
int AddSigner(SignCTX* context, const char* cert_file);
// The PKCS#7 signed data of the bytes in the output format; flag 1 leaves
// the content out (detached signature). Release *signature with FreeBuffer.
int SignBufferEx(SignCTX* context, const void* data, std::size_t length, uint8_t** signature,
                 std::size_t* signature_length, int flag);
void FreeBuffer(void* buffer);
void FreeText(char* text);

// ---- Checking ----
struct PKCS7CTX;
// Decodes a message in the input format: its type and, for signed data, its
// message context (release with FreePKCS7CTX).
int GetPKCS7TypeBufferEx(const void* buffer, std::size_t length, int* type, PKCS7CTX** message);
void FreePKCS7CTX(PKCS7CTX* message);
// Checks every signature of the message with the context's and the
// toolkit's certificates. flag 1: the content comes from the message and is
// returned in *content (FreeBuffer); flag 0: the detached content is given.
int CheckBufferSignEx(SignCTX* context, PKCS7CTX* message, const void* detached,
                      std::size_t detached_length, uint8_t** content, std::size_t* content_length,
                      int flag);
int GetSignatureCount(PKCS7CTX* message, int* count);
// Texts of signature i (FreeText): issuer and subject as "C = RU, CN = ...",
// serial number in hex digits.
int GetSignatureIssuer(PKCS7CTX* message, int index, char** text);
int GetPKCS7SignatureSerial(PKCS7CTX* message, int index, char** text);
int GetSignatureSubject(PKCS7CTX* message, int index, char** text);
// 0 in *status when verified; *text the verification's diagnostics.
int GetSignatureStatus(PKCS7CTX* message, int index, int* status, char** text);

// ---- Enveloping ----
struct CipherCTX;
CipherCTX* GetCipherCTX();
void FreeCipherCTX(CipherCTX* context);
int AddRecipient(CipherCTX* context, const char* cert_file);
int EncryptBuffer(CipherCTX* context, const void* data, std::size_t length, uint8_t** out,
                  std::size_t* out_length);
// Opens enveloped data with any open private key.
int DecryptBuffer(const void* data, std::size_t length, uint8_t** out, std::size_t* out_length);

// ---- Certificates ----
struct CertificateInfo {
  std::string subject;
  std::string issuer;
  std::string serial;
  std::time_t not_before = 0;
  std::time_t not_after = 0;
  std::string key_algorithm;
  // Subject fields (UTF-8), empty when absent.
  std::string country, state_or_province, locality, organization, organizational_unit, title, common_name, email;
};
int GetCertificateInfoBuffer(const void* buffer, std::size_t length, CertificateInfo* info);

// ---- Key generation and certificate requests ----
// The generation state (algorithm, request flags, distinguished name, the
// key pair made last) is toolkit-wide, guarded by its own lock.
//
// PSE_Generation makes the carrier directory and its "keys" directory;
// PSE_Erase removes the key files of the carrier's "keys" directory.
int PSE_Generation(const char* pse_path);
int PSE_Erase(const char* pse_path);
// The type of new keys: "ECR3410" (GOST R 34.10-2012, 256 bits, national),
// "RSA" (2048 bits) or "EC" (P-256).
int SetNewKeysAlgorithm(const char* name);
// REQUEST_PEM: requests are written in PEM, else DER.
inline constexpr int REQUEST_PEM = 1;
int SetCertificateRequestFlags(int flags);
// The subject of the next request (UTF-8 texts; empty or null leaves a field
// out). The country is two letters.
int ResetDistinguishedName();
int SetCountry(const char* text);
int SetStateOrProvince(const char* text);
int SetLocality(const char* text);
int SetOrganization(const char* text);
int SetOrganizationalUnit(const char* text);
int SetTitle(const char* text);
int SetCommonName(const char* text);
int SetEmailAddress(const char* text);
// A new key pair of the algorithm, written into the carrier's "keys"
// directory as an encrypted PEM PKCS#8 file "<key_name>.pem" (the carrier's
// key file name when key_name is null), protected by the carrier password
// (preset, else asked through the carrier callback). The pair stays for
// MakePSECertificateRequestEx.
int NewKeysGenerationEx(const char* pse_path, const char* key_name);
// The certificate request of the key pair made last, signed with it, over
// the distinguished name; written whole to request_file.
int MakePSECertificateRequestEx(const char* request_file);

// What a certificate request holds (UTF-8 texts, empty when absent).
struct RequestInfo {
  std::string subject;
  std::string country, state_or_province, locality, organization, organizational_unit, title, common_name, email;
  std::string key_algorithm;
};
// Decodes a request (DER or PEM) from a file or memory; release *info with
// FreeRequestInfo. A request whose signature does not verify is refused.
int GetRequestInfo(const char* file, RequestInfo** info);
int GetRequestInfoBuffer(const void* buffer, std::size_t length, RequestInfo** info);
void FreeRequestInfo(RequestInfo* info);
// The SHA-1 digest of the request's DER encoding, as upper-case hex digits
// (FreeText).
int GetRequestFingerprint(const char* file, char** text);
int GetRequestFingerprintBuffer(const void* buffer, std::size_t length, char** text);

// ---- National algorithms ----
// Loads the GOST engine once; false (with the reason in GetErrorText) when
// it is not installed.
bool NationalAlgorithmsAvailable();

}  // namespace kelda::pkcs7tk
