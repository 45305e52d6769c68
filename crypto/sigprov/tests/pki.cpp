#include "pki.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>

namespace kelda::sigprov::testing {

namespace fs = std::filesystem;

int run(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string openssl() { return "OPENSSL_CONF=/dev/null openssl"; }

bool gost_engine_installed() { return run(openssl() + " engine gost -t") == 0; }

namespace {

void must(const std::string& command) {
  if (run(command) != 0) throw std::runtime_error("failed: " + command);
}

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

std::string stamp(std::time_t t) {
  char text[32];
  std::tm tm{};
  gmtime_r(&t, &tm);
  std::strftime(text, sizeof text, "%Y%m%d%H%M%SZ", &tm);
  return text;
}

// A CA folder able to issue and revoke with "openssl ca".
struct Authority {
  fs::path home;
  std::string name;

  fs::path conf() const { return home / "ca.cnf"; }
  fs::path cert() const { return home / "ca.pem"; }

  void create(const fs::path& dir, const std::string& ca_name) {
    name = ca_name;
    home = dir / ca_name;
    fs::create_directories(home / "issued");
    std::ofstream(home / "index.txt").close();
    std::ofstream(home / "serial") << "1000\n";
    std::ofstream(home / "crlnumber") << "01\n";
    std::ofstream(conf()) << "[ca]\ndefault_ca=own\n[own]\ndir=" << home.string()
                          << "\ndatabase=$dir/index.txt\nnew_certs_dir=$dir/issued\ncertificate=$dir/ca.pem\n"
                             "private_key=$dir/ca.key\nserial=$dir/serial\ncrlnumber=$dir/crlnumber\n"
                             "default_md=sha256\ndefault_days=365\ndefault_crl_days=30\npolicy=any\n"
                             "unique_subject=no\ncopy_extensions=none\n[any]\ncountryName=optional\n"
                             "organizationName=optional\ncommonName=supplied\n[user]\nbasicConstraints=CA:FALSE\n"
                             "keyUsage=digitalSignature,nonRepudiation,keyEncipherment\n"
                             "[req]\ndistinguished_name=dn\n[dn]\n[v3_ca]\nbasicConstraints=critical,CA:TRUE\n"
                             "keyUsage=keyCertSign,cRLSign\nsubjectKeyIdentifier=hash\n";
    must(openssl() + " genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out " + q(home / "ca.key"));
    must("openssl req -config " + q(conf()) + " -new -x509 -days 3650 -key " + q(home / "ca.key") +
         " -subj '/C=RU/O=Kelda Test/CN=" + ca_name + "' -extensions v3_ca -out " + q(cert()));
  }

  void issue(const fs::path& dir, const std::string& user, const std::string& start, const std::string& end) {
    const fs::path key = dir / (user + ".key"), csr = home / (user + ".csr"), cert = dir / (user + ".pem");
    must(openssl() + " genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out " + q(key));
    must(openssl() + " req -new -key " + q(key) + " -subj '/C=RU/O=Kelda Test/CN=" + user + "' -out " + q(csr));
    must("openssl ca -batch -notext -config " + q(conf()) + " -extensions user -startdate " + start +
         " -enddate " + end + " -in " + q(csr) + " -out " + q(cert));
    must(openssl() + " pkcs12 -export -inkey " + q(key) + " -in " + q(cert) + " -passout pass:" + kCarrierPassword +
         " -out " + q(dir / (user + ".p12")));
  }

  void revoke(const fs::path& dir, const std::string& user) {
    must("openssl ca -batch -config " + q(conf()) + " -revoke " + q(dir / (user + ".pem")));
  }

  void crl(const fs::path& out) { must("openssl ca -batch -config " + q(conf()) + " -gencrl -out " + q(out)); }
};

Pki make_pki() {
  Pki p;
  char pattern[] = "/tmp/sigprov-pki-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
  p.dir = pattern;
  const std::time_t now = std::time(nullptr);
  const std::string valid_from = stamp(now - 86400), valid_to = stamp(now + 300 * 86400);
  Authority ca, other;
  ca.create(p.dir, "Kelda Test CA");
  other.create(p.dir, "Other CA");
  ca.issue(p.dir, "user", valid_from, valid_to);
  ca.issue(p.dir, "second", valid_from, valid_to);
  ca.issue(p.dir, "revoked", valid_from, valid_to);
  ca.issue(p.dir, "expired", stamp(now - 40 * 86400), stamp(now - 10 * 86400));
  ca.issue(p.dir, "ending", valid_from, stamp(now + 4 * 86400 + 86400 * 4 / 10));
  other.issue(p.dir, "stranger", valid_from, valid_to);
  ca.revoke(p.dir, "revoked");
  p.ca_cert = ca.cert();
  p.ca_dir = p.dir / "cas";
  p.crl_dir = p.dir / "crls";
  fs::create_directories(p.ca_dir);
  fs::create_directories(p.crl_dir);
  fs::copy_file(ca.cert(), p.ca_dir / "ca.pem");
  p.crl = p.crl_dir / "ca.crl";
  ca.crl(p.crl);
  return p;
}

struct PkiHolder {
  Pki pki = make_pki();
  ~PkiHolder() {
    std::error_code ec;
    fs::remove_all(pki.dir, ec);
  }
};

}  // namespace

fs::path Pki::make_carrier(const fs::path& parent, const std::string& user) const {
  const fs::path carrier = parent / ("carrier-" + user);
  fs::create_directories(carrier / "keys");
  fs::copy_file(cert(user), carrier / "cert_main.pem", fs::copy_options::overwrite_existing);
  fs::copy_file(p12(user), carrier / "keys" / (user + ".p12"), fs::copy_options::overwrite_existing);
  return carrier;
}

const Pki& pki() {
  static PkiHolder holder;
  return holder.pki;
}

}  // namespace kelda::sigprov::testing
