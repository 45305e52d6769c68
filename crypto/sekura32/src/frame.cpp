// The library's frame: exported variables, initialisation and exit with the
// default paths, the replaceable slots and the per-thread state.
#include "frame.h"

#include <pthread.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "kit/codepage.h"
#include "platform/module.h"
#include "prompt_layout.h"
#include "random_pool.h"
#include "stream.h"

namespace {

char* settings_array[SK_SETTINGS_COUNT] = {};

}  // namespace

extern "C" {

__thread uint32_t skIOerror = 0;
char** skSettings = settings_array;
FILE* skStdOut = nullptr;
FILE* skStdErr = nullptr;
uint32_t skTrace = 0;
uint32_t skCommonTrace = 2;
void* skInstance = nullptr;
void* skIcon = nullptr;
SkTickActivityFunction skTickActivity = &skTickActivityDefault;
SkWindowProcedure skEditorFilter = &kelda::sekura32::default_editor_filter;
SkKeyIsFunction skVarKeyIs = &skKeyIs;
const char* skAskWhenNeed = "-=Ask=-";
const char* skCfgHeading = "[*Heading*]";
uint32_t skGMT = 0;
uint32_t skStatNoiseVal[16] = {};
uint32_t skStatNoiseDelta[16] = {};
uint32_t skStatNoiseInd[5] = {};

}  // extern "C"

namespace kelda::sekura32 {
namespace {

std::atomic<SkGrowFunction> growth_slot{&skDummyRealloc};
std::atomic<SkFindChanFunction> finder_slot{&LogUser};

// Per-thread state: the status word lives in a plain thread-local word; the
// random pool is a heap record in a key slot whose destructor frees it when
// the thread ends (and the library's unload frees the unloading thread's).
__thread uint32_t status_word = 0;
__thread RandomPool* pool_cache = nullptr;
pthread_key_t pool_key;
bool pool_key_made = false;

void free_pool(void* pool) { delete static_cast<RandomPool*>(pool); }

// Fills an empty settings slot with "<folder>/<file>" in a 260-byte heap
// block; a path that does not fit is refused and the slot stays empty.
bool fill_default_path(int slot, const std::string& folder, const char* file) {
  if (skSettings == nullptr || skSettings[slot] != nullptr) return true;
  std::string path = folder + "/" + file;
  if (path.size() + 1 > SK_MAX_PATH) return false;
  auto* copy = static_cast<char*>(skCalloc(1, SK_MAX_PATH));
  if (copy == nullptr) return false;
  std::memcpy(copy, path.data(), path.size());
  skSettings[slot] = copy;
  return true;
}

}  // namespace

uint32_t& thread_status() noexcept { return status_word; }

RandomPool* thread_random_pool() noexcept {
  if (pool_cache != nullptr) return pool_cache;
  auto* pool = new (std::nothrow) RandomPool();
  if (pool == nullptr) return nullptr;
  if (pool_key_made) pthread_setspecific(pool_key, pool);
  pool_cache = pool;
  return pool;
}

SkGrowFunction growth_function() noexcept { return growth_slot.load(); }
SkFindChanFunction find_channel_function() noexcept { return finder_slot.load(); }

void wipe(void* data, std::size_t n) noexcept {
  if (data == nullptr || n == 0) return;
  std::memset(data, 0, n);
  asm volatile("" : : "r"(data) : "memory");
}

namespace {

// Loading the library: initialise, make the per-thread key, and exit at
// unload (which writes the random seed file when a seed path is set).
__attribute__((constructor)) void on_load() {
  pool_key_made = pthread_key_create(&pool_key, &free_pool) == 0;
  skInit(const_cast<void*>(this_module_anchor()));
}

__attribute__((destructor)) void on_unload() {
  if (ExiSekura() != 0) return;
  if (pool_cache != nullptr) {
    if (pool_key_made) pthread_setspecific(pool_key, nullptr);
    delete pool_cache;
    pool_cache = nullptr;
  }
  if (pool_key_made) pthread_key_delete(pool_key);
  pool_key_made = false;
  remove_temporary_folder();
}

}  // namespace
}  // namespace kelda::sekura32

using namespace kelda::sekura32;

extern "C" {

SK_API uint32_t skInit(void* instance) {
  if (skInstance == nullptr) skInstance = instance;
  std::string folder = kelda::kit::cp1251_from_utf8(kelda::platform::program_folder().string());
  bool fitted = fill_default_path(SK_SETTING_PUBLIC_RING, folder, "pubring.txk");
  fitted = fill_default_path(SK_SETTING_SECRET_RING, folder, "secring.txk") && fitted;
  fitted = fill_default_path(SK_SETTING_RANDOM_SEED, folder, "randseed.bin") && fitted;
  return fitted ? SK_OK : SK_BAD_ARGUMENT;
}

SK_API uint32_t skExit(void) {
  // No external key base (".gdb") is carried, so there is nothing to clean up
  // for one.
  if (skSettings != nullptr && skSettings[SK_SETTING_RANDOM_SEED] != nullptr)
    return skWriteRandomSeed(skSettings[SK_SETTING_RANDOM_SEED], 24, -1);
  return SK_OK;
}

SK_API uint32_t ExiSekura(void) { return skExit(); }

SK_API SkGrowFunction SetRealloc(SkGrowFunction function) {
  if (function == nullptr) return growth_slot.load();
  return growth_slot.exchange(function);
}

SK_API SkFindChanFunction skSetFindChan(SkFindChanFunction function) {
  if (function == nullptr) return finder_slot.load();
  return finder_slot.exchange(function);
}

}  // extern "C"
