// Arbitrary profile files through the per-user profile's reader and writer.
// The input's first byte picks the operation, the next two the lengths of
// the section and key names (each cut to 31; Latin-1 bytes widened), then
// come the names, the value up to the first NUL, and the file's bytes.
// Nothing may crash; a value that was written must read back unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/user_profile.h"

namespace {

const kelda::platform::UserProfile& profile() {
  static const kelda::platform::UserProfile p = [] {
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    static const std::string folder = base + "/kelda-fuzz-profile-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
    return kelda::platform::UserProfile(u"Fuzz", u"Profile");
  }();
  return p;
}

std::u16string widen(std::string_view bytes) {
  std::u16string out;
  for (char c : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const unsigned op = static_cast<uint8_t>(in[0]) % 3;
  std::string_view rest = in.substr(3);
  const size_t section_len = std::min<size_t>(static_cast<uint8_t>(in[1]) % 32, rest.size());
  const std::u16string section = widen(rest.substr(0, section_len));
  rest.remove_prefix(section_len);
  const size_t key_len = std::min<size_t>(static_cast<uint8_t>(in[2]) % 32, rest.size());
  const std::u16string key = widen(rest.substr(0, key_len));
  rest.remove_prefix(key_len);
  const size_t nul = rest.find('\0');
  const std::u16string value = widen(rest.substr(0, nul));
  const std::string_view file = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);

  auto& p = const_cast<kelda::platform::UserProfile&>(profile());
  std::filesystem::create_directories(p.file().parent_path());
  std::ofstream(p.file(), std::ios::binary | std::ios::trunc).write(file.data(), static_cast<std::streamsize>(file.size()));

  (void)p.read_string(section, key, u"default");
  (void)p.read_int(section, key, 0);
  if (op == 0 && p.write_string(section, key, value) && p.read_string(section, key) != value) std::abort();
  if (op == 1) (void)p.delete_key(section, key);
  if (op == 2) (void)p.write_int(section, key, 42);
  return 0;
}
