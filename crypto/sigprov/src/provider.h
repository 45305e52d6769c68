// The provider's process-wide state, its settings and the helpers every
// export uses: error texts, text conversion and paths.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "cipherhub/provider_globals.h"

namespace kelda::sigprov {

inline constexpr char kProviderName[] = "SignalComMessagePro";
inline constexpr int32_t kProviderId = 4;
inline constexpr int32_t kInterfaceVersion = 1;
inline constexpr int32_t kUsageMode = 1;
inline constexpr char kDefaultIniName[] = "SignalCOM.ini";

inline constexpr char kCommonSection[] = "signal_com_message_pro_common_settings";
inline constexpr char kSignSection[] = "signal_com_message_pro_sign_settings";
inline constexpr char kCipherSection[] = "signal_com_message_pro_cipher_settings";

// Settings read at initialisation (common section).
struct CommonSettings {
  std::string pse_private_keys_path;
  std::string certificates_path;
  std::string cas_path;
  std::string crls_path;
  int input_format = 1;
  int output_format = 1;
  int use_serial_number = 0;
  int check_certs_expiry = 1;
  int days_to_check_expiry = 5;
};

struct ProviderState : cpapi::ProviderGlobals {
  std::string ini_path;    // 8-bit
  std::string module_dir;  // 8-bit, no trailing separator
  std::string pse_path;    // the provider's key carrier
  CommonSettings common;
  // The clock of the certificate validity checks (tests set their own).
  std::time_t (*now)() = [] { return std::time(nullptr); };
};

ProviderState& provider();

using cpapi::kNoMemory;
using cpapi::kWrongContext;
using cpapi::write_error;
// The text as it is into the caller's buffer, cut and terminated.
void write_text(char* error, uint32_t size, const std::string& text);

// Code page 1251 text and wide text.
std::u16string wide(const std::string& text);
std::string narrow(const std::u16string& text);
// A 1251 path as the operating system's (UTF-8) file name, and back.
std::string os_path(const std::string& path);
// UTF-8 text (the toolkit's names) as 1251.
std::string from_utf8(const std::string& text);

bool blank(const char* text);
bool blank(const std::string& text);
// The path made absolute against the module directory ("" stays "").
std::string absolute_path(const std::string& path);
// A directory path with a trailing separator; a token path unchanged.
std::string carrier_path(const std::string& path);
bool is_token_path(const std::string& path);

// INI access on the provider's 8-bit paths.
std::string ini_string(const std::string& ini, const char* section, const char* key,
                       const std::string& fallback = "", std::size_t limit = 260);
int ini_int(const std::string& ini, const char* section, const char* key, int fallback);
bool ini_write(const std::string& ini, const char* section, const char* key, const std::string& value);

// Replaces *slot (null or a block of the run-time allocator, reallocated)
// with a copy of the text; false when out of memory. A null slot is skipped.
bool replace_text(char** slot, const std::string& text);
bool put_utf8(char** slot, const std::string& utf8);
// Frees the text and nulls the pointer.
void release_text(char*& text);

bool file_exists(const std::string& path);
bool directory_exists(const std::string& path);

}  // namespace kelda::sigprov
