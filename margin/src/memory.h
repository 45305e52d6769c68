// Allocation through the caller's memory callbacks.
//
// Every block the library holds comes from allocate_bytes(), which calls the
// caller's alloc callback (or malloc when none was given) and throws
// std::bad_alloc when it returns null; release_bytes() calls the free callback
// (or free). The containers below carry HookAllocator so that they follow the
// same rule. The hooks are process-wide; they change only before the library
// is initialised, when it holds no block, so no block outlives its hooks.
// Not thread-safe by itself: the library's lock covers every use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "margin/kelda_margin.h"

namespace kelda::margin {

// Any null member falls back to the process allocator for that one call kind.
void set_memory_hooks(const MargoMemoryCallbacks& hooks) noexcept;
MargoMemoryCallbacks memory_hooks() noexcept;

void* allocate_bytes(std::size_t size);  // throws std::bad_alloc
void release_bytes(void* block) noexcept;

template <class T>
struct HookAllocator {
  using value_type = T;
  HookAllocator() noexcept = default;
  template <class U>
  HookAllocator(const HookAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(allocate_bytes(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t) noexcept { release_bytes(p); }

  template <class U>
  bool operator==(const HookAllocator<U>&) const noexcept { return true; }
};

template <class T>
using Vec = std::vector<T, HookAllocator<T>>;
template <class K, class V, class Hash = std::hash<K>>
using HashMap = std::unordered_map<K, V, Hash, std::equal_to<K>, HookAllocator<std::pair<const K, V>>>;
template <class K, class Hash = std::hash<K>>
using HashSet = std::unordered_set<K, Hash, std::equal_to<K>, HookAllocator<K>>;
using Str = std::basic_string<char, std::char_traits<char>, HookAllocator<char>>;

// Makes room for `extra` more elements, growing geometrically, so that the
// push_backs that follow cannot throw.
template <class V>
void reserve_more(V& v, std::size_t extra) {
  const std::size_t need = v.size() + extra;
  if (need > v.capacity()) v.reserve(need > 2 * v.capacity() ? need : 2 * v.capacity());
}

// Owning pointer to one object in a hook-allocated block.
struct HookDelete {
  template <class T>
  void operator()(T* p) const noexcept {
    p->~T();
    release_bytes(p);
  }
};
template <class T>
using Owned = std::unique_ptr<T, HookDelete>;

template <class T, class... Args>
Owned<T> make_owned(Args&&... args) {
  void* block = allocate_bytes(sizeof(T));
  try {
    return Owned<T>(new (block) T(std::forward<Args>(args)...));
  } catch (...) {
    release_bytes(block);
    throw;
  }
}

template <class T, class... Args>
std::shared_ptr<T> make_shared_owned(Args&&... args) {
  return std::allocate_shared<T>(HookAllocator<T>(), std::forward<Args>(args)...);
}

}  // namespace kelda::margin
