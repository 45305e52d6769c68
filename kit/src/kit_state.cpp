// The kit's per-library state.
#include "kit/kit_state.h"

#include <array>
#include <atomic>
#include <memory>

#include "platform/no_destroy.h"
#include "platform/sync.h"

namespace kelda::kit {
namespace {

namespace plat = kelda::platform;

struct State {
  std::atomic<ResourceTable*> resource_module{nullptr};
  std::atomic<ResourceTable*> own_module{nullptr};
  std::atomic<uintptr_t> owner{0};
  LocaleTriple locale = kDefaultLocale;
  std::array<std::unique_ptr<plat::Mutex>, 3> locks;  // A, B, C
};

// Never destroyed: a provider's uninitialise may reach it from a thread
// still running at process exit, or from its module's unload hook after the
// exit handlers; it then finds the locks already released and does nothing.
State& state() {
  static plat::NoDestroy<State> s;
  return s.get();
}

uint32_t lock(std::size_t which) {
  plat::Mutex* m = state().locks[which].get();
  return m != nullptr && m->lock(plat::kInfinite) ? 0 : kWaitFailed;
}

int unlock(std::size_t which) {
  plat::Mutex* m = state().locks[which].get();
  return m != nullptr && m->unlock() ? 1 : 0;
}

}  // namespace

int kit_locale_override(uint16_t, uint16_t, uint16_t) noexcept { return 0; }

LocaleTriple current_locale() noexcept { return state().locale; }

void set_library_module(ResourceTable* table) noexcept {
  state().own_module = table;
  state().resource_module = table;
}

void set_resource_module(ResourceTable* table) noexcept { state().resource_module = table; }
ResourceTable* resource_module() noexcept { return state().resource_module; }
ResourceTable* own_module() noexcept { return state().own_module; }

void kit_init(uint16_t language, uint16_t sub_language, uint16_t dialect, uintptr_t owner) noexcept {
  State& s = state();
  if (kit_locale_override(language, sub_language, dialect) != 0) {
    s.locale = LocaleTriple{language, sub_language, dialect};
  }
  s.owner = owner;
  try {
    for (auto& m : s.locks) {
      if (!m) m = std::make_unique<plat::Mutex>();
    }
  } catch (...) {
    // Without memory for a lock its wrappers report failure.
  }
}

void kit_uninit() noexcept {
  State& s = state();
  for (auto& m : s.locks) m.reset();
  if (s.resource_module.load() != s.own_module.load()) s.resource_module = nullptr;
}

uintptr_t kit_owner() noexcept { return state().owner; }

uint32_t kit_lock_a() noexcept { return lock(0); }
uint32_t kit_lock_b() noexcept { return lock(1); }
uint32_t kit_lock_c() noexcept { return lock(2); }
int kit_unlock_a() noexcept { return unlock(0); }
int kit_unlock_b() noexcept { return unlock(1); }
int kit_unlock_c() noexcept { return unlock(2); }

}  // namespace kelda::kit
