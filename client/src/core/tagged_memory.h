// Allocation accounting of the client library.
//
// Every block the library holds for its tables is counted under one of 28
// tags, so that the total can be reported (KelapiGetAllocMemSize). Blocks
// from tagged_alloc carry a 16-byte header (size, tag, a check mark) in front
// of the caller's bytes, which stay 16-byte aligned. Standard containers count
// through TaggedAllocator, which needs no header.
//
// Threading: the counters are atomic, so any thread may allocate; a block is
// used by one owner at a time. Allocation failure throws std::bad_alloc,
// which the exports turn into a result code.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>

namespace kelda::kelapi {

enum class AllocTag : uint8_t {
  acnt, alltrade, data, order, param, classparam, firms, trans, money, depo, limits, negdeals,
  futures, manager, price, extuser, news, dlifiles, stoporder, trade, sec, quotes_price, minutes,
  tradermsg, quotes, alerts, choose, qstream,
};
inline constexpr std::size_t kAllocTagCount = 28;

// The name of a tag, "__SEC__" and so on.
const char* alloc_tag_name(AllocTag tag);

// Bytes held under one tag, and in all.
std::size_t allocated_bytes(AllocTag tag);
std::size_t allocated_total();

// Header-carrying blocks: zero-filled, 16-byte aligned.
void* tagged_alloc(AllocTag tag, std::size_t size);
// Null is ignored. The block must come from tagged_alloc.
void tagged_free(void* block) noexcept;
// Resizes a block from tagged_alloc (not null), keeping its tag and bytes; a
// size of 0 frees it and gives null.
void* tagged_realloc(void* block, std::size_t size);
// The tag of a block from tagged_alloc.
AllocTag tagged_block_tag(const void* block) noexcept;

namespace detail {
void count_alloc(AllocTag tag, std::size_t bytes) noexcept;
void count_free(AllocTag tag, std::size_t bytes) noexcept;
}  // namespace detail

// An allocator for standard containers that counts its bytes under Tag.
template <typename T, AllocTag Tag>
struct TaggedAllocator {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = TaggedAllocator<U, Tag>;
  };
  TaggedAllocator() noexcept = default;
  template <typename U>
  TaggedAllocator(const TaggedAllocator<U, Tag>&) noexcept {}

  T* allocate(std::size_t n) {
    T* p = static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t{alignof(T)}));
    detail::count_alloc(Tag, n * sizeof(T));
    return p;
  }
  void deallocate(T* p, std::size_t n) noexcept {
    detail::count_free(Tag, n * sizeof(T));
    ::operator delete(p, std::align_val_t{alignof(T)});
  }
  template <typename U>
  bool operator==(const TaggedAllocator<U, Tag>&) const noexcept {
    return true;
  }
};

}  // namespace kelda::kelapi
