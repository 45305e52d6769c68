// Arbitrary configuration files ("SEKURA.CFG") through the channel
// provider's scanner and its rewriting of one key. Byte 0 picks the key
// (bits 0-2) and how much of the rest is the new value (bits 3-7, in
// eighths of a line: the value is the input's first line, cut, with the
// characters the format gives meaning dropped); the rest is the file.
// Nothing may crash; a key written must then be found with that value, and
// the rest of the file must stay as it was.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "fuzz_work_file.h"
#include "library_config.h"

using namespace kelda::sekura32_pr;

namespace {

constexpr const char* kKeys[] = {"SECRING", "PUBRING", "RANDSEED", "secring", "Key Name", "K", "LOG", "CFG"};

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = kelda::fuzzing::work_folder("sekura-cfg") + "/SEKURA.CFG";
  if (size < 1 || size > 64 * 1024) return 0;
  const std::string key = kKeys[data[0] & 7];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  // The scanner on its own, with each key.
  for (const char* k : kKeys) {
    const ConfigScan scan = scan_library_config(text, k);
    if (scan.found && (scan.value_begin > scan.value_end || scan.value_end > text.size())) std::abort();
  }

  // A value without line ends, comments, section marks or blanks around it.
  std::string value;
  for (const char c : text.substr(0, text.find_first_of("\r\n"))) {
    if (c != '#' && c != '[' && c != ']' && c != '\0') value += c;
  }
  value.resize(value.size() * (data[0] >> 3) / 31);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.erase(0, 1);

  kelda::fuzzing::write_work_file(path, text);
  char error[256] = "";
  const ConfigScan before = scan_library_config(text, key);
  if (write_library_config(path, key, value, error, sizeof error) == 1) {
    const std::string after = read_all(path);
    const ConfigScan scan = scan_library_config(after, key);
    if (!scan.found || after.substr(scan.value_begin, scan.value_end - scan.value_begin) != value) std::abort();
    // Only the key's value changed, or the key's line came in front.
    const std::string expected =
        before.found ? std::string(text.substr(0, before.value_begin)) + value + std::string(text.substr(before.value_end))
                     : key + "=" + value + "\r\n" + std::string(text);
    if (after != expected) std::abort();
  } else if (error[0] == '\0' || !before.wrong_format) {
    std::abort();
  }
  return 0;
}
