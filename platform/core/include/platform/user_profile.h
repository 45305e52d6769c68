// The per-user profile: small settings of a program kept outside the
// program's folder, by section and key (the ping utility's recent hosts,
// say).
//
// A program's profile is the file <configuration folder>/<application
// key>/<program>.ini, where the configuration folder is $XDG_CONFIG_HOME when
// it is set to an absolute path, else $HOME/.config (the home folder of the
// password database when HOME is unset). The file is UTF-8 text: "[section]"
// lines and "key=value" lines; section and key names compare without regard
// to ASCII case and to the blanks around them; the first of repeated names
// wins; a value is everything after the "=" of its line. Lines that are neither are
// kept as they are. Each write reads the file, changes it and writes it whole
// (a temporary file in the same folder, flushed, then renamed over it), making
// the folders as needed, so a crash never leaves half a profile.
//
// Errors: reads answer the default when the file, section or key is missing
// or the file cannot be read; writes answer false and set the last error
// (error::invalid_parameter for empty names or names and values holding a
// line end or, in names, "[", "]" or "="; error::write_fault when the file
// cannot be written). Threading: any thread; writes within the process are
// serialised, two processes writing at once may lose one change.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/export.h"

namespace kelda::platform {

// The user's configuration folder (see above).
KELDA_PLATFORM_API std::filesystem::path user_config_folder();

class KELDA_PLATFORM_API UserProfile {
 public:
  // The profile of `program` under `application_key` (names of one path
  // element each: no '/', not empty, not "." or "..").
  UserProfile(std::u16string_view application_key, std::u16string_view program);

  // The profile's file; empty when the names are not usable (every read then
  // answers its default and every write fails).
  const std::filesystem::path& file() const { return file_; }

  std::u16string read_string(std::u16string_view section, std::u16string_view key,
                             std::u16string_view default_value = {}) const;
  // The value read as a decimal integer (sign and digits; anything else ends
  // it; saturates at the int range); the default when missing or not a number.
  int read_int(std::u16string_view section, std::u16string_view key, int default_value) const;

  bool write_string(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  bool write_int(std::u16string_view section, std::u16string_view key, int value);
  // Removes the key; true also when it was not there.
  bool delete_key(std::u16string_view section, std::u16string_view key);

 private:
  std::filesystem::path file_;
};

}  // namespace kelda::platform
