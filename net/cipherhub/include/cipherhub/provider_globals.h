// The provider side of the plug-in interface (cpapi.h): what every provider
// plug-in keeps and answers alike, linked into each plug-in module as its own
// copy (kelda_cpapi_provider), so that the modules stay independent.
//
// - ProviderGlobals: the process-wide values of one plug-in (owner window,
//   dialog font, the initialised mark and the re-entry mark of
//   CPAPI_UninitializeLib), guarded by its lock. A plug-in's own state
//   derives from it.
// - The provider parameters: get_provider_param answers CPAPI_GetProviderParam
//   whole; set_provider_param answers CPAPI_SetProviderParam for every id but
//   2 (the settings path), whose text each plug-in reads in its own width.
// - UninitializeScope: the re-entry guard of CPAPI_UninitializeLib.
// - write_error: one message into the caller's 8-bit error buffer.
//
// Threading: every function may run on any thread; the globals are read and
// written under their lock. Errors: the interface's convention, 1 done and 0
// refused with the refusal text in the caller's buffer (nothing is written
// for a null buffer or size 0). Nothing here throws.
#pragma once

#include <cstdint>
#include <mutex>

namespace kelda::cpapi {

// Texts both plug-ins give.
inline constexpr char kWrongContext[] = "Wrong crypto context info";
inline constexpr char kNoMemory[] = "Memory allocation error";

struct ProviderGlobals {
  std::mutex lock;
  bool initialized = false;
  bool uninitializing = false;  // CPAPI_UninitializeLib is running
  uintptr_t owner = 0;          // parameter 1: the parent of the provider's dialogs
  uintptr_t font = 0;           // parameter 3: the dialog font
};

// Writes the formatted text into the caller's buffer, cut to its size and
// always terminated.
void write_error(char* error, uint32_t size, const char* format, ...) noexcept __attribute__((format(printf, 3, 4)));

// Parameter 1 (the owner window, size 4); any other id is refused with
// "Provider parameter with identifier '<id>' not supported".
int32_t get_provider_param(ProviderGlobals& globals, int32_t id, uintptr_t* value, uint32_t* value_size, char* error,
                           uint32_t error_size) noexcept;

// Parameters 1 (owner window) and 3 (font) are stored; 4 (the caller's
// locale record) goes to the kit's default setter, which keeps nothing and
// answers 0; any other id, 2 among them, is refused with "It's impossible to
// get parameter with identifier '<id>'".
int32_t set_provider_param(ProviderGlobals& globals, int32_t id, uintptr_t value, char* error,
                           uint32_t error_size) noexcept;

// Entered unless an uninitialisation of the same plug-in is already running
// (a nested call returns at once); when an entered scope ends, the plug-in is
// marked uninitialised and may be uninitialised again.
class UninitializeScope {
 public:
  explicit UninitializeScope(ProviderGlobals& globals) noexcept;
  ~UninitializeScope();
  UninitializeScope(const UninitializeScope&) = delete;
  UninitializeScope& operator=(const UninitializeScope&) = delete;
  bool entered() const noexcept { return entered_; }

 private:
  ProviderGlobals& globals_;
  bool entered_ = false;
};

}  // namespace kelda::cpapi
