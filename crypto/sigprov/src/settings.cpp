// The settings loader: older sections carried into the current ones, then
// the common section read.
#include "settings.h"

#include <filesystem>

namespace kelda::sigprov {

namespace {

constexpr char kOldCarrier[] = "key carrier settings";
constexpr char kOldCommon[] = "common settings";
constexpr char kOldSign[] = "sign settings";
constexpr int kNoUsageMode = -0x7FFFFFFF;

// The ".sav" copy of a file that still has the older layout, made once.
void keep_old_copy(const std::string& ini) {
  const std::string copy = os_path(ini + ".sav");
  std::error_code ec;
  if (std::filesystem::exists(copy, ec)) return;
  std::filesystem::copy_file(os_path(ini), copy, ec);
}

void carry_formats(const std::string& ini, CommonSettings& common) {
  const char* keys[] = {"input_data_format", "output_data_format"};
  int* targets[] = {&common.input_format, &common.output_format};
  for (int i = 0; i < 2; ++i) {
    const std::string old = ini_string(ini, kOldCommon, keys[i]);
    if (old == "FORMAT_PEM" || old == "FORMAT_ASN1") {
      ini_write(ini, kCommonSection, keys[i], old);
      *targets[i] = format_of(old);
      continue;
    }
    *targets[i] = format_of(ini_string(ini, kCommonSection, keys[i], "FORMAT_ASN1"));
    ini_write(ini, kCommonSection, keys[i], format_name(*targets[i]));
  }
}

std::string carried_path(const std::string& ini, const char* old_key, const char* key) {
  const std::string old = ini_string(ini, kOldCommon, old_key);
  if (!blank(old)) ini_write(ini, kCommonSection, key, old);
  return absolute_path(ini_string(ini, kCommonSection, key));
}

}  // namespace

int format_of(const std::string& text) {
  if (text == "FORMAT_ASN1") return 1;
  if (text == "FORMAT_PEM") return 3;
  return 0;
}

const char* format_name(int format) {
  switch (format) {
    case 1: return "FORMAT_ASN1";
    case 3: return "FORMAT_PEM";
    default: return "";
  }
}

int warning_days(int days) { return days < 3 || days > 30 ? 5 : days; }

void load_settings(const std::string& ini, ProviderState& state) {
  CommonSettings& common = state.common;
  if (ini_int(ini, kOldCarrier, "usage_mode", kNoUsageMode) != kNoUsageMode) keep_old_copy(ini);
  state.pse_path = carrier_path(ini_string(ini, kOldCarrier, "pse_path"));
  const std::string old_keys = ini_string(ini, kOldCarrier, "pse_private_keys_path");
  if (!blank(old_keys)) ini_write(ini, kCommonSection, "pse_private_keys_path", old_keys);
  common.pse_private_keys_path = absolute_path(ini_string(ini, kCommonSection, "pse_private_keys_path"));
  const int old_serial = ini_int(ini, kOldCommon, "use_certificate_serial_number_instead_of_subject", 0);
  common.use_serial_number =
      ini_int(ini, kCommonSection, "use_certificate_serial_number_instead_of_subject", old_serial);
  carry_formats(ini, common);
  common.certificates_path = carried_path(ini, "certificates_path", "certificates_path");
  common.crls_path = carried_path(ini, "crl_path", "CRLs_path");
  common.cas_path = carried_path(ini, "ca_path", "CAs_path");
  common.check_certs_expiry = ini_int(ini, kCommonSection, "check_certs_expiry", 1);
  common.days_to_check_expiry = warning_days(ini_int(ini, kCommonSection, "n_days_to_check_certs_expiry", 5));
  const std::string old_cert = ini_string(ini, kOldSign, "sign_certificate_file");
  if (!blank(old_cert)) ini_write(ini, kSignSection, "sign_cert_file_name", old_cert);
}

const char* cert_key_name(bool cipher) { return cipher ? "cipher_cert_file_name" : "sign_cert_file_name"; }
const char* key_key_name(bool cipher) { return cipher ? "cipher_key_file_name" : "sign_key_file_name"; }

ContextSettings read_context_settings(const std::string& ini, bool cipher) {
  const char* section = cipher ? kCipherSection : kSignSection;
  ContextSettings s;
  s.pse_path = ini_string(ini, section, "pse_path");
  s.cert_file = ini_string(ini, section, cert_key_name(cipher));
  s.key_file = ini_string(ini, section, key_key_name(cipher));
  s.ca_cert_file = ini_string(ini, section, "CA_cert_file_name");
  s.crl_file = ini_string(ini, section, "CRL_file_name");
  s.pse_password_mode = ini_int(ini, section, "pse_get_password_mode", 2);
  s.key_password_mode = ini_int(ini, section, "get_key_password_mode", 2);
  if (s.pse_password_mode == 1) s.pse_password = ini_string(ini, section, "pse_password", "", 1023);
  if (s.key_password_mode == 1) s.key_password = ini_string(ini, section, "key_password", "", 1023);
  return s;
}

}  // namespace kelda::sigprov
