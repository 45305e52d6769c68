// Arbitrary files through the terminal's profile reader and writer (the
// settings file and every layout file go through them) and through the
// server list IP.CFG. Byte 0 picks the reader: odd reads the file as the
// server list, even as a profile file, with the section and key named by
// bytes 1 and 2 (names the terminal uses). The rest is the file.
//
// Nothing may crash. A server list saved and loaded again keeps every
// record; a profile key written is read back wherever the reader and the
// writer find the same place for it (see same_place).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_work_file.h"
#include "terminal/profile.h"
#include "terminal/server_list.h"
#include "terminal/text_log.h"

using namespace kelda::terminal;

namespace {

constexpr const char* kSections[] = {"settings", "connect", "general", "ActiveWnd1", "QuotesWnd",
                                     "global_filter", "DataWnd", "TradesWnd"};
constexpr const char* kKeys[] = {"font_size", "num", "type", "caption", "numpars", "par1width",
                                 "global_filter", "trade-server-ip-address"};

template <std::size_t N>
bool terminated(const char (&field)[N]) {
  return field_text(field).size() < N;
}

void server_list(const std::string& path) {
  std::vector<ConnectionRecord> records;
  if (!load_server_list(records, path)) std::abort();
  for (const ConnectionRecord& r : records) {
    if (!terminated(r.line) || !terminated(r.description) || !terminated(r.address) || !terminated(r.port) ||
        !terminated(r.key)) {
      std::abort();
    }
  }
  if (!save_server_list(records, path)) std::abort();
  std::vector<ConnectionRecord> again;
  if (!load_server_list(again, path) || again.size() != records.size()) std::abort();
}

// Whether the reader and the writer find the same place for the key: the
// file never names the section, or it has one line naming it, which is the
// plain header, and never holds the key's name.
bool same_place(std::string_view text, const std::string& section, const std::string& key) {
  const std::string header = "[" + section + "]";
  if (text.find(section) == std::string_view::npos) return true;
  if (text.find(key) != std::string_view::npos) return false;
  int naming = 0;
  bool plain = false;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (line.find(header) == std::string_view::npos) continue;
    ++naming;
    // The reader looks at the first 1999 characters of a line.
    const bool short_line = line.size() < 1999;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.remove_suffix(1);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    plain = line == header && short_line;
  }
  return naming == 1 && plain;
}

void profile(const std::string& path, std::string_view text, const std::string& section, const std::string& key) {
  (void)profile_section_state(section, path);
  (void)profile_get_int(section, key, -7, path);
  (void)profile_get_string(section, key, "fallback", path, 40);
  const std::string value = "v" + std::to_string(text.size());
  if (!profile_set_string(section, key, value, path)) std::abort();
  if (same_place(text, section, key) && profile_find(section, key, path) != value) std::abort();
  profile_delete_section(section, path);
  profile_delete_sections({"[" + section + "]", "[general]"}, path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = kelda::fuzzing::work_folder("profile") + "/pdainfo.ini";
  if (size < 3 || size > 64 * 1024) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);
  kelda::fuzzing::write_work_file(path, text);
  if ((data[0] & 1) != 0) {
    server_list(path);
  } else {
    profile(path, text, kSections[data[1] % std::size(kSections)], kKeys[data[2] % std::size(kKeys)]);
  }
  return 0;
}
