#include "memory.h"

#include <climits>
#include <cstdlib>

namespace kelda::margin {
namespace {
MargoMemoryCallbacks g_hooks{};
}

void set_memory_hooks(const MargoMemoryCallbacks& hooks) noexcept { g_hooks = hooks; }

MargoMemoryCallbacks memory_hooks() noexcept { return g_hooks; }

void* allocate_bytes(std::size_t size) {
  if (size == 0) size = 1;
  void* block = nullptr;
  if (g_hooks.alloc) {
    // The callback takes a 32-bit size.
    if (size > static_cast<std::size_t>(INT32_MAX)) throw std::bad_alloc();
    block = g_hooks.alloc(static_cast<int32_t>(size));
  } else {
    block = std::malloc(size);
  }
  if (!block) throw std::bad_alloc();
  return block;
}

void release_bytes(void* block) noexcept {
  if (!block) return;
  if (g_hooks.free) {
    g_hooks.free(block);
  } else {
    std::free(block);
  }
}

}  // namespace kelda::margin
