// The dispatcher's state and its operations on providers: initialisation
// from the INI file, the built-in provider, provider initialisation, the
// default providers and uninitialisation. The C exports are thin wrappers
// over these.
//
// One dispatcher per process, never destroyed: providers are not finalised
// at process exit (their modules may already be finalised then). Every
// operation here runs under the dispatcher's lock, except the provider calls
// that may open a dialog (see with_provider_call).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "error_text.h"
#include "provider_table.h"

namespace kelda::cipherhub {

inline constexpr std::size_t kIniPathChars = 259;
inline constexpr std::size_t kDefaultNameChars = 1023;

// The values a provider's CPAPI_InitializeLib receives.
struct ProviderInit {
  uint16_t language = 0;
  uint16_t sub_language = 0;
  uint16_t dialect = 0;
  uintptr_t owner = 0;
  int32_t init_mode = 0;
  uintptr_t values[6] = {};
  const char* ini_path = nullptr;
};

// Calls into providers that run without the dispatcher's lock (calls by
// provider handle, and configuration dialogs) are counted: a call by handle
// from before its handle is checked, a dialog from the look-up under the
// lock, until the provider has returned. Uninitialisation marks every handle
// invalid and waits for the count to fall to zero before any provider is
// finalised or unloaded.
struct CallsByHandle {
  std::atomic<int32_t> running{0};
  std::mutex mutex;
  std::condition_variable left;
};

struct Dispatcher {
  std::recursive_mutex lock;
  CallsByHandle calls;
  bool initialized = false;
  std::string ini_path;
  uintptr_t owner = 0;
  std::filesystem::path folder;
  // The remembered default providers' names. Their exports hand out these
  // texts themselves, so they stay at one address for the process's life.
  char default_sign[kDefaultNameChars + 1] = {};
  char default_cipher[kDefaultNameChars + 1] = {};
  ProviderTable table;
};

Dispatcher& dispatcher();

// CPDAPI_InitializeLib's work; the caller holds the lock.
int32_t initialize(Dispatcher& d, const ProviderInit& init, ErrorText& error);
// CPDAPI_UninitializeLib's work: stops new calls by handle, waits (with the
// lock let go) for the running ones to return, then finalises and unbinds
// the providers under the lock. False, with nothing changed, when called
// from inside a call by handle (it would unload the module it runs in).
bool uninitialize(Dispatcher& d, const uintptr_t values[4]);

// A call into a provider without the lock: counted while it lives (see
// CallsByHandle).
class CallByHandle {
 public:
  CallByHandle();
  ~CallByHandle();
  CallByHandle(const CallByHandle&) = delete;
  CallByHandle& operator=(const CallByHandle&) = delete;
};

// Initialises the provider once; its record, or null.
cp_provider_record* init_provider(Dispatcher& d, ProviderEntry* entry, const ProviderInit& init,
                                  ErrorText& error);

// Reads "Module" and "IniFile" of a section, binds the module and appends it.
bool load_provider_from_section(Dispatcher& d, std::string_view ini_path, std::string_view section,
                                ErrorText& error);

// The provider name for a settings key holding a section name, or "".
std::string provider_name_for_key(Dispatcher& d, std::string_view ini_path, std::string_view key);

}  // namespace kelda::cipherhub
