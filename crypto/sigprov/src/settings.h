// Loading the provider-wide settings (carrying older entries over) and the
// settings of a context's section.
#pragma once

#include <string>

#include "provider.h"

namespace kelda::sigprov {

// Loads the common settings of the file into the provider (its lock held by
// the caller), carrying the older sections' values over first.
void load_settings(const std::string& ini, ProviderState& state);

// "FORMAT_ASN1" 1, "FORMAT_PEM" 3, anything else 0.
int format_of(const std::string& text);
const char* format_name(int format);
// Warning days: 3..30 kept, anything else 5.
int warning_days(int days);

// The keys of a signing or cipher section.
struct ContextSettings {
  std::string pse_path;
  std::string cert_file;
  std::string key_file;
  std::string ca_cert_file;
  std::string crl_file;
  int pse_password_mode = 2;
  int key_password_mode = 2;
  std::string pse_password;
  std::string key_password;
};
ContextSettings read_context_settings(const std::string& ini, bool cipher);
const char* cert_key_name(bool cipher);
const char* key_key_name(bool cipher);

}  // namespace kelda::sigprov
