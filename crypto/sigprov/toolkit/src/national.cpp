// National algorithms through Debian's GOST engine for OpenSSL, loaded once
// (at the toolkit's initialisation, or at the first look-up by name); and
// algorithm look-up by name.
//
// The engine interface is the one the GOST package offers for OpenSSL 3
// (its provider lacks the key types), so this file alone uses the engine
// calls that OpenSSL 3 marks as deprecated.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/engine.h>
#include <openssl/err.h>

#include <cstring>
#include <mutex>

#include "state.h"

namespace kelda::pkcs7tk {

namespace {

constexpr const char* kMissingEngine =
    "National (GOST) algorithms are not available: the GOST engine for OpenSSL "
    "(Debian package libengine-gost-openssl) is not installed or cannot be loaded";

struct NationalEngine {
  bool loaded = false;
  std::string error;
};

NationalEngine& engine() {
  static NationalEngine* e = [] {
    auto* result = new NationalEngine;
    ENGINE* gost = ENGINE_by_id("gost");
    if (gost == nullptr) {
      result->error = kMissingEngine;
      ERR_clear_error();
      return result;
    }
    if (ENGINE_init(gost) != 1 || ENGINE_set_default(gost, ENGINE_METHOD_ALL) != 1) {
      result->error = kMissingEngine;
      ERR_clear_error();
    } else {
      result->loaded = true;
      ENGINE_finish(gost);  // the default registrations keep their own reference
    }
    ENGINE_free(gost);
    return result;
  }();
  return *e;
}

// The toolkit's own names of national algorithms and OpenSSL's names for them.
struct NationalName {
  const char* name;
  const char* openssl;
};
constexpr NationalName kNationalCiphers[] = {{"RUS-GAMMAR", "gost89"}, {"GOST89", "gost89"}};
constexpr NationalName kNationalDigests[] = {{"GOST3411-94", "md_gost94"},
                                            {"GOST3411-2012-256", "md_gost12_256"},
                                            {"GOST3411-2012-512", "md_gost12_512"}};

template <std::size_t N>
const char* national(const NationalName (&table)[N], const std::string& name) {
  for (const NationalName& entry : table) {
    if (strcasecmp(entry.name, name.c_str()) == 0) return entry.openssl;
  }
  return nullptr;
}

bool is_gost_name(const std::string& name) {
  return strncasecmp(name.c_str(), "gost", 4) == 0 || strncasecmp(name.c_str(), "md_gost", 7) == 0 ||
         strncasecmp(name.c_str(), "magma", 5) == 0 || strncasecmp(name.c_str(), "kuznyechik", 10) == 0;
}

}  // namespace

void load_national_algorithms() { engine(); }

bool NationalAlgorithmsAvailable() {
  NationalEngine& e = engine();
  if (!e.loaded) fail(tk_unsupported_algorithm, e.error);
  return e.loaded;
}

const EVP_MD* digest_by_name(const std::string& name) {
  const char* mapped = national(kNationalDigests, name);
  if (mapped != nullptr || is_gost_name(name)) {
    if (!NationalAlgorithmsAvailable()) {
      fail(tk_unsupported_algorithm, "Digest algorithm \"" + name + "\": " + engine().error);
      return nullptr;
    }
  }
  const EVP_MD* md = EVP_get_digestbyname(mapped != nullptr ? mapped : name.c_str());
  if (md == nullptr) fail(tk_unsupported_algorithm, "Unknown digest algorithm \"" + name + "\"");
  return md;
}

const EVP_CIPHER* cipher_by_name(const std::string& name) {
  const char* mapped = national(kNationalCiphers, name);
  if (mapped != nullptr || is_gost_name(name)) {
    if (!NationalAlgorithmsAvailable()) {
      fail(tk_unsupported_algorithm, "Cipher algorithm \"" + name + "\": " + engine().error);
      return nullptr;
    }
  }
  const EVP_CIPHER* cipher = EVP_get_cipherbyname(mapped != nullptr ? mapped : name.c_str());
  if (cipher == nullptr) fail(tk_unsupported_algorithm, "Unknown cipher algorithm \"" + name + "\"");
  return cipher;
}

bool is_known_cipher_name(const std::string& name) {
  return national(kNationalCiphers, name) != nullptr || is_gost_name(name) ||
         EVP_get_cipherbyname(name.c_str()) != nullptr;
}

bool is_known_digest_name(const std::string& name) {
  return national(kNationalDigests, name) != nullptr || is_gost_name(name) ||
         EVP_get_digestbyname(name.c_str()) != nullptr;
}

}  // namespace kelda::pkcs7tk
