// The toolkit's context objects.
#pragma once

#include <string>
#include <vector>

#include "ossl.h"

namespace kelda::pkcs7tk {

struct SignCTX {
  X509Ptr signer;
  KeyPtr key;
  std::vector<X509Ptr> cas;  // AddCA
  std::vector<CrlPtr> crls;  // AddCRL
  int verify_flags = -1;     // SetSignCTXVerifyFlags; -1: the toolkit's
};

struct SignatureResult {
  std::string issuer;
  std::string serial;
  std::string subject;
  int status = 1;  // 0 verified
  std::string diagnostics;
};

struct PKCS7CTX {
  CmsPtr cms;
  std::vector<SignatureResult> signatures;
};

struct CipherCTX {
  std::vector<X509Ptr> recipients;
};

// The key of a key file's bytes, opened with the password `ask` gives (asked
// only when the key is protected). Null with the failure recorded.
struct LoadedKey {
  KeyPtr key;
  X509Ptr certificate;
  int status = tk_ok;  // the failure's code when key is null
};
using PasswordSource = int (*)(char* buffer, int size);
LoadedKey load_key(const std::string& bytes, const std::string& name, const std::string& preset,
                   PasswordSource source, const std::string& file_for_prompt);

}  // namespace kelda::pkcs7tk
