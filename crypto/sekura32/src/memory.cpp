// The library allocator: the system allocator with a running total of the
// bytes held, and the growth functions of memory streams.
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "frame.h"

namespace kelda::sekura32 {
namespace {

std::atomic<size_t> memory_total{0};

// The block's real size as the allocator knows it, or `requested` when it
// answers 0.
size_t block_size(void* block, size_t requested) noexcept {
  size_t real = malloc_usable_size(block);
  return real != 0 ? real : requested;
}

}  // namespace
}  // namespace kelda::sekura32

using namespace kelda::sekura32;

extern "C" {

SK_API void* skMalloc(size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block != nullptr) memory_total += block_size(block, size);
  return block;
}

SK_API void* skCalloc(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  size_t bytes = count * size;
  void* block = std::calloc(1, bytes != 0 ? bytes : 1);
  if (block != nullptr) memory_total += block_size(block, bytes);
  return block;
}

SK_API void skFree(void* block) {
  if (block == nullptr) return;
  memory_total -= block_size(block, 0);
  std::free(block);
}

SK_API void* skRealloc(void* block, size_t new_size, size_t old_size) {
  if (new_size == 0) {
    skFree(block);
    return nullptr;
  }
  void* fresh = skCalloc(1, new_size);
  if (fresh == nullptr) return nullptr;
  if (block != nullptr) {
    std::memcpy(fresh, block, std::min(new_size, old_size));
    skFree(block);
  }
  return fresh;
}

SK_API void* skDummyRealloc(void*, size_t, size_t) { return nullptr; }

SK_API size_t skGetMemTotal(void) { return memory_total.load(); }

SK_API void* skMemAdd(void* block, size_t size) {
  if (block == nullptr) return nullptr;
  memory_total += block_size(block, size);
  return block;
}

SK_API void* skMemDec(void* block) {
  if (block != nullptr) memory_total -= block_size(block, 0);
  return block;
}

SK_API uint32_t skHeapCheck(void) { return 0; }

}  // extern "C"
