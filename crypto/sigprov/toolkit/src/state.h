// The toolkit-wide state: formats, flags, algorithm names, stores, open
// keys, password callbacks and the count of open initialisations, behind
// one lock.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "ossl.h"

namespace kelda::pkcs7tk {

struct OpenKey {
  KeyPtr key;
  X509Ptr certificate;  // the one stored with it (PKCS#12), or null
  std::string file;
};

struct ToolkitState {
  std::mutex lock;
  int open_count = 0;
  int input_format = FORMAT_ASN1;
  int output_format = FORMAT_ASN1;
  int verify_flags = VERIFY_ALL;
  bool insert_certificate = true;
  std::string cipher = "RUS-GAMMAR";
  std::string digest = "SHA1";
  std::vector<X509Ptr> certificates;  // extra certificates
  std::vector<X509Ptr> cas;           // trusted
  std::vector<CrlPtr> crls;
  std::vector<OpenKey> keys;
  PasswordCallback pse_callback = nullptr;
  PasswordCallback keys_callback = nullptr;
  PasswordCallback etoken_callback = nullptr;
  PasswordCallback rutoken_callback = nullptr;
  std::string pse_password;
  std::string preset_key_file;
  std::string preset_key_password;

  void clear_stores();
};

ToolkitState& state();

// A copy of a certificate list (references taken), for use outside the lock.
std::vector<X509Ptr> copies(const std::vector<X509Ptr>& certificates);

// Loads the national algorithms into OpenSSL's tables once, so that data
// naming them by object identifier (enveloped or signed data made elsewhere)
// can be opened before anything here looked one up by name. A missing engine
// is not a failure here: look-ups by name report it.
void load_national_algorithms();

// The digest or cipher of a name, national names through the GOST engine;
// null with the failure recorded.
const EVP_MD* digest_by_name(const std::string& name);
const EVP_CIPHER* cipher_by_name(const std::string& name);
bool is_known_cipher_name(const std::string& name);
bool is_known_digest_name(const std::string& name);

}  // namespace kelda::pkcs7tk
