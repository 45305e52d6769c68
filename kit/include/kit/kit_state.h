// The kit's state in one library, its start-up and shut-down, and its three
// lock wrappers.
//
// The kit is a static library compiled into each library of the system with
// hidden symbols, so every library has its own copy of this state: its
// resource module and own module (the library's resource table), the owner
// value of its dialogs, the current locale and the locks.
//
// Life cycle: a library calls set_library_module() while it is loaded,
// kit_init() from its initialisation and kit_uninit() from its
// uninitialisation or unload; the lock wrappers are valid between the two.
// kit_init and kit_uninit must not run while another thread uses the locks.
// Threading: everything else may be called from any thread. Nothing throws.
#pragma once

#include <cstdint>

#include "kit/resources.h"

namespace kelda::kit {

struct LocaleTriple {
  uint16_t language;
  uint16_t sub_language;
  uint16_t dialect;
};

// English: the current and default locale of every library of the system.
inline constexpr LocaleTriple kDefaultLocale{kLanguageEnglish, kSubLanguageDefault, 0x01};

// Whether the kit takes a locale given to kit_init (or to a library's own
// initialisation) in place of its current one: never, so every text, dialog
// and the locale reported to the server stay English. Always 0.
int kit_locale_override(uint16_t language, uint16_t sub_language, uint16_t dialect) noexcept;

LocaleTriple current_locale() noexcept;

// Makes `table` both the library's own module and its resource module.
void set_library_module(ResourceTable* table) noexcept;
// Points the message functions at another library's resources.
void set_resource_module(ResourceTable* table) noexcept;
ResourceTable* resource_module() noexcept;
ResourceTable* own_module() noexcept;

// Keeps the locale ids only when kit_locale_override allows it (never),
// stores the owner value (the owner window of the library's dialogs) and
// creates the locks.
void kit_init(uint16_t language, uint16_t sub_language, uint16_t dialect, uintptr_t owner) noexcept;
// Destroys the locks and lets go of a resource module that is not the
// library's own.
void kit_uninit() noexcept;
uintptr_t kit_owner() noexcept;

// Wait without a time limit for lock A, B or C: 0 once it is held,
// kWaitFailed when the kit is not initialised. The locks are recursive.
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;
uint32_t kit_lock_a() noexcept;
uint32_t kit_lock_b() noexcept;
uint32_t kit_lock_c() noexcept;
// Release lock A, B or C: 1, or 0 when the calling thread does not hold it or
// the kit is not initialised.
int kit_unlock_a() noexcept;
int kit_unlock_b() noexcept;
int kit_unlock_c() noexcept;

}  // namespace kelda::kit
