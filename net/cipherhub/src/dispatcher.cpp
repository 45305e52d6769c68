// The dispatcher's operations (dispatcher.h).
#include "dispatcher.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <system_error>
#include <vector>

#include "binding.h"
#include "platform/module.h"
#include "settings_io.h"

namespace kelda::cipherhub {
namespace {

constexpr const char* kBuiltInName = "Sekura32";
constexpr const char* kBuiltInModule = "Sekura32_Pr";
constexpr std::size_t kSectionChars = 8191;

std::string_view trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool append_bound(Dispatcher& d, std::unique_ptr<ProviderEntry> entry) {
  try {
    d.table.add(std::move(entry));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// The built-in provider: its module beside the dispatcher's, unless a
// provider of its name is configured. Failures are not reported.
void add_default_provider(Dispatcher& d) {
  if (d.table.find(kBuiltInName, FindMode::name) != nullptr) return;
  for (const char* prefix : {"", "lib"}) {
    const std::filesystem::path file = d.folder / (std::string(prefix) + kBuiltInModule + ".so");
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) continue;
    auto entry = std::make_unique<ProviderEntry>();
    std::string ignored;
    if (bind_provider_module(*entry, {file.string(), kBuiltInName, "", this_module_anchor(), locale_record()},
                             ignored)) {
      append_bound(d, std::move(entry));
    }
    return;
  }
}

// Each line of "CryptoProviders" is a section name, "=", and a flag; a
// non-zero flag loads the provider of that section. Comment lines are skipped.
// A section named again (in any letter case) is loaded once; the repeat is
// logged.
void load_configured_providers(Dispatcher& d, ErrorText& error) {
  const std::string lines = read_ini_section(d.ini_path, "CryptoProviders", kSectionChars + 1);
  std::vector<std::string_view> named;
  std::size_t start = 0;
  while (start < lines.size()) {
    std::size_t end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    const std::string_view line(lines.data() + start, end - start);
    start = end + 1;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || line.empty() || line.front() == ';') continue;
    const std::string flag(trim(line.substr(equals + 1)));
    if (std::strtol(flag.c_str(), nullptr, 10) == 0) continue;
    const std::string_view section = trim(line.substr(0, equals));
    if (std::any_of(named.begin(), named.end(), [&](std::string_view n) { return names_equal(n, section); })) {
      std::fprintf(stderr, "Cipherhub: section [%.*s] is named again in [CryptoProviders] of \"%s\"; loaded once\n",
                   static_cast<int>(section.size()), section.data(), d.ini_path.c_str());
      continue;
    }
    named.push_back(section);
    load_provider_from_section(d, d.ini_path, section, error);
  }
}

// The settings file of init mode 2 must be there to be read.
bool readable_file(std::string_view path) {
  const std::filesystem::path file{std::string(path)};
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return false;
  return std::ifstream(file, std::ios::binary).is_open();
}

}  // namespace

Dispatcher& dispatcher() {
  static Dispatcher* d = new Dispatcher;
  return *d;
}

bool load_provider_from_section(Dispatcher& d, std::string_view ini_path, std::string_view section,
                                ErrorText& error) {
  const std::string module = read_ini_string(ini_path, section, "Module", kIniPathChars + 1);
  const std::string ini_file = read_ini_string(ini_path, section, "IniFile", kIniPathChars + 1);
  if (module.empty()) {
    error.format("Wrong parameters in INI-file \"%.*s\". Is absent parameter \"Module\" in section [%.*s] ",
                 static_cast<int>(ini_path.size()), ini_path.data(), static_cast<int>(section.size()),
                 section.data());
    return false;
  }
  auto entry = std::make_unique<ProviderEntry>();
  std::string message;
  if (!bind_provider_module(*entry, {module, section, ini_file, this_module_anchor(), locale_record()},
                            message)) {
    if (!message.empty()) error.set(message);
    return false;
  }
  if (!append_bound(d, std::move(entry))) {
    error.format("Can't add crypto provider. Module name \"%s\",  ini-file \"%.*s\", section [%.*s] ",
                 module.c_str(), static_cast<int>(ini_path.size()), ini_path.data(),
                 static_cast<int>(section.size()), section.data());
    return false;
  }
  return true;
}

std::string provider_name_for_key(Dispatcher& d, std::string_view ini_path, std::string_view key) {
  if (ini_path.empty()) return {};
  const std::string section =
      read_ini_string(ini_path, "CryptoProvidersSettings", key, kDefaultNameChars + 1);
  if (section.empty()) return {};
  const ProviderEntry* entry = d.table.find(section, FindMode::section);
  return entry ? std::string(entry->record.provider_name) : std::string();
}

int32_t initialize(Dispatcher& d, const ProviderInit& init, ErrorText& error) {
  if (d.initialized) return 1;
  const std::string_view path = init.ini_path ? std::string_view(init.ini_path) : std::string_view();
  if (init.init_mode == 2 && (path.empty() || !readable_file(path))) {
    error.format("Wrong INI-file name was set: \"%.*s\", initialization failed.",
                 static_cast<int>(path.size()), path.data());
    return 0;
  }
  try {
    // Kept whole: a cut path would name another file.
    d.ini_path = std::string(path);
    d.folder = platform::module_folder_of(this_module_anchor());
    if (!d.ini_path.empty()) load_configured_providers(d, error);
    add_default_provider(d);
    copy_field(d.default_sign, sizeof d.default_sign,
               provider_name_for_key(d, d.ini_path, "DefaultSignCryptoProvider"));
    copy_field(d.default_cipher, sizeof d.default_cipher,
               provider_name_for_key(d, d.ini_path, "DefaultCipherCryptoProvider"));
  } catch (const std::bad_alloc&) {
    error.set("Memory allocation error occur, initialization failed.");
    return 0;
  }
  d.owner = init.owner;
  d.initialized = true;
  return 1;
}

namespace {
thread_local int t_calls_by_handle = 0;  // calls by handle this thread is inside
}  // namespace

CallByHandle::CallByHandle() {
  dispatcher().calls.running.fetch_add(1);
  ++t_calls_by_handle;
}

CallByHandle::~CallByHandle() {
  --t_calls_by_handle;
  CallsByHandle& calls = dispatcher().calls;
  if (calls.running.fetch_sub(1) == 1) {
    std::lock_guard<std::mutex> lock(calls.mutex);
    calls.left.notify_all();
  }
}

bool uninitialize(Dispatcher& d, const uintptr_t values[4]) {
  if (t_calls_by_handle > 0) return false;
  std::unique_lock<std::recursive_mutex> lock(d.lock);
  for (;;) {
    // Under the lock no call through a table look-up starts, and a call by
    // handle that is not counted yet will find its mark cleared (both sides
    // use sequentially consistent operations): with the count at zero
    // nothing runs inside a provider any more.
    for (std::size_t i = 0; i < d.table.size(); ++i) set_record_valid(d.table.at(i).record, false);
    if (d.calls.running.load() == 0) break;
    lock.unlock();
    {
      std::unique_lock<std::mutex> wait_lock(d.calls.mutex);
      d.calls.left.wait(wait_lock, [&] { return d.calls.running.load() == 0; });
    }
    lock.lock();
  }
  for (std::size_t i = 0; i < d.table.size(); ++i) {
    ProviderEntry& entry = d.table.at(i);
    if (entry.record.initialized && entry.record.entry.uninitialize_lib != nullptr) {
      entry.record.entry.uninitialize_lib(values[0], values[1], values[2], values[3]);
      entry.record.initialized = 0;
      unbind_provider(entry);
    }
  }
  // Providers never initialised keep their modules loaded.
  d.table.retire_all();
  d.initialized = false;
  return true;
}

cp_provider_record* init_provider(Dispatcher& d, ProviderEntry* entry, const ProviderInit& init,
                                  ErrorText& error) {
  if (entry == nullptr) return nullptr;
  cp_provider_record& record = entry->record;
  if (record.initialized) return &record;
  if (record.entry.initialize_lib == nullptr) return nullptr;
  const char* ini = init.ini_path != nullptr && init.ini_path[0] != '\0' ? init.ini_path : record.ini_file;
  const uintptr_t* v = init.values;
  error.clear();
  const int32_t result = record.entry.initialize_lib(
      init.language, init.sub_language, init.dialect, init.owner ? init.owner : d.owner, init.init_mode,
      v[0], v[1], ini, v[2], v[3], v[4], v[5], error.data(), error.size());
  record.initialized = result == 1 ? 1 : 0;
  return record.initialized ? &record : nullptr;
}

}  // namespace kelda::cipherhub
