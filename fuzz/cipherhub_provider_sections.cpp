// Arbitrary settings files through the dispatcher's reading of its provider
// sections: the "CryptoProviders" list (flags, comments, names given twice),
// each listed section's "Module" and "IniFile", the built-in provider, and
// the remembered default providers of "CryptoProvidersSettings", then the
// look-ups of the provider table by name, section and id. Modules are looked
// for beside this program only: an input that names a path is skipped.
// Nothing may crash; every entry of the table must be a bound provider whose
// names fit their fields.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "dispatcher.h"
#include "fuzz_work_file.h"
#include "settings_io.h"

using namespace kelda::cipherhub;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = kelda::fuzzing::work_folder("cipherhub") + "/settings.ini";
  if (size > 64 * 1024) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.find('/') != std::string_view::npos) return 0;
  kelda::fuzzing::write_work_file(path, bytes);

  Dispatcher d;
  ProviderInit init;
  init.init_mode = 2;
  init.ini_path = path.c_str();
  char text[256] = "";
  ErrorText error(text, sizeof text);
  if (initialize(d, init, error) != 1) std::abort();
  for (std::size_t i = 0; i < d.table.size(); ++i) {
    const cp_provider_record& r = d.table.at(i).record;
    if (!record_valid(&r) || strnlen(r.provider_name, sizeof r.provider_name) == sizeof r.provider_name ||
        strnlen(r.section_name, sizeof r.section_name) == sizeof r.section_name) {
      std::abort();
    }
    if (d.table.find(r.provider_name, FindMode::either) == nullptr) std::abort();
    if (d.table.find(r.section_name, FindMode::section) == nullptr) std::abort();
    if (d.table.find_by_id(r.provider_id) == nullptr) std::abort();
  }
  (void)provider_name_for_key(d, path, "CipherCryptoProvider");
  (void)provider_name_for_key(d, path, "SignCryptoProvider");
  // The section read into buffers of every small capacity.
  for (std::size_t capacity = 1; capacity < 8; ++capacity) {
    if (read_ini_section(path, "CryptoProviders", capacity).size() >= capacity) std::abort();
  }
  return 0;
}
