// Test support: a small PKI made once per test program with the real
// openssl program: a CA with a revocation list, a user with a key carrier
// (PKCS#12 key protected by "secret"), a revoked user, an expired user, a
// user whose certificate ends in 4.4 days, and a second CA with its own
// user. Files live in a folder of their own for the whole run.
#pragma once

#include <filesystem>
#include <string>

namespace kelda::sigprov::testing {

struct Pki {
  std::filesystem::path dir;
  std::filesystem::path ca_cert, ca_dir, crl_dir, crl;
  // Per user "<name>.key" (PEM, no password), "<name>.pem", "<name>.p12".
  std::filesystem::path key(const std::string& user) const { return dir / (user + ".key"); }
  std::filesystem::path cert(const std::string& user) const { return dir / (user + ".pem"); }
  std::filesystem::path p12(const std::string& user) const { return dir / (user + ".p12"); }
  // A key carrier folder for the user under `parent`: cert_main.pem and
  // keys/<user>.p12.
  std::filesystem::path make_carrier(const std::filesystem::path& parent, const std::string& user) const;
};

inline constexpr char kCarrierPassword[] = "secret";

// The PKI (made on first use).
const Pki& pki();

// Runs a shell command line; its exit code.
int run(const std::string& command);
// The openssl program with a clean configuration.
std::string openssl();
bool gost_engine_installed();

}  // namespace kelda::sigprov::testing
