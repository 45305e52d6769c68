#include "core/tagged_memory.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace kelda::kelapi {
namespace {

constexpr uint32_t kMark = 0x4B4C4D42;  // "BMLK"

struct alignas(16) BlockHeader {
  uint32_t mark;
  uint32_t tag;
  uint64_t size;  // the caller's bytes plus this header
};
static_assert(sizeof(BlockHeader) == 16);
static_assert(alignof(std::max_align_t) >= 16, "malloc must give 16-byte alignment");

constexpr std::array<const char*, kAllocTagCount> kNames = {
    "__ACNT__",    "__ALLTRADE__", "__DATA__",      "__ORDER__",     "__PARAM__",
    "__CLASSPARAM__", "__FIRMS__", "__TRANS__",     "__MONEY__",     "__DEPO__",
    "__LIMITS__",  "__NEGDEALS__", "__FUTURES__",   "__MANAGER__",   "__PRICE__",
    "__EXTUSER__", "__NEWS__",     "__DLIFILES__",  "__STOPORDER__", "__TRADE__",
    "__SEC__",     "__QUOTES_PRICE__", "__MINUTES__", "__TRADERMSG__", "__QUOTES__",
    "__ALERTS__",  "__CHOOSE__",   "__QSTREAM__",
};

std::array<std::atomic<std::size_t>, kAllocTagCount> g_by_tag{};
std::atomic<std::size_t> g_total{0};

BlockHeader* header_of(const void* block) {
  return reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(block)) -
                                        sizeof(BlockHeader));
}

}  // namespace

namespace detail {
void count_alloc(AllocTag tag, std::size_t bytes) noexcept {
  g_by_tag[static_cast<std::size_t>(tag)].fetch_add(bytes, std::memory_order_relaxed);
  g_total.fetch_add(bytes, std::memory_order_relaxed);
}
void count_free(AllocTag tag, std::size_t bytes) noexcept {
  g_by_tag[static_cast<std::size_t>(tag)].fetch_sub(bytes, std::memory_order_relaxed);
  g_total.fetch_sub(bytes, std::memory_order_relaxed);
}
}  // namespace detail

const char* alloc_tag_name(AllocTag tag) { return kNames[static_cast<std::size_t>(tag)]; }

std::size_t allocated_bytes(AllocTag tag) {
  return g_by_tag[static_cast<std::size_t>(tag)].load(std::memory_order_relaxed);
}
std::size_t allocated_total() { return g_total.load(std::memory_order_relaxed); }

void* tagged_alloc(AllocTag tag, std::size_t size) {
  if (size > SIZE_MAX - sizeof(BlockHeader)) throw std::bad_alloc();
  void* raw = std::calloc(1, sizeof(BlockHeader) + size);
  if (raw == nullptr) throw std::bad_alloc();
  auto* h = static_cast<BlockHeader*>(raw);
  h->mark = kMark;
  h->tag = static_cast<uint32_t>(tag);
  h->size = sizeof(BlockHeader) + size;
  detail::count_alloc(tag, h->size);
  return h + 1;
}

void tagged_free(void* block) noexcept {
  if (block == nullptr) return;
  BlockHeader* h = header_of(block);
  detail::count_free(static_cast<AllocTag>(h->tag), h->size);
  h->mark = 0;
  std::free(h);
}

void* tagged_realloc(void* block, std::size_t size) {
  if (size == 0) {
    tagged_free(block);
    return nullptr;
  }
  BlockHeader* h = header_of(block);
  const AllocTag tag = static_cast<AllocTag>(h->tag);
  const std::size_t old_size = h->size - sizeof(BlockHeader);
  void* grown = tagged_alloc(tag, size);
  std::memcpy(grown, block, old_size < size ? old_size : size);
  tagged_free(block);
  return grown;
}

AllocTag tagged_block_tag(const void* block) noexcept {
  return static_cast<AllocTag>(header_of(block)->tag);
}

}  // namespace kelda::kelapi
