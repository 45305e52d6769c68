#include "values/value_store.h"

#include <cstring>
#include <new>

#include "core/diag.h"
#include "core/tagged_memory.h"

namespace kelda::kelapi {

void ValueStore::Free::operator()(uint8_t* p) const noexcept { tagged_free(p); }

ValueStore::ValueStore() = default;
ValueStore::~ValueStore() = default;

ValueStore::Put ValueStore::put(std::span<const uint8_t> entry) {
  if (entry.size() < kValueHeadSize || entry.size() > kMaxValueEntry) return Put::out_of_range;
  ValueEntryHead h;
  std::memcpy(&h, entry.data(), sizeof h);
  const int64_t number = h.entry;
  if (number < 0) {
    // It would name a negative chunk: bad input, refused; the store stays sound.
    diag("ERROR (Alloc_chunk): negative entry number %d refused.\n", static_cast<int>(number));
    return Put::out_of_range;
  }
  if (number >= kMaxEntries) {
    diag("ERROR (Alloc_chunk): num = %d, NCHUNKS = %d.\n", static_cast<int>(number / kChunkSlots),
         static_cast<int>(kMaxChunks));
    failed_ = true;
    return Put::out_of_range;
  }
  const auto c = static_cast<std::size_t>(number / kChunkSlots);
  const auto s = static_cast<std::size_t>(number % kChunkSlots);
  try {
    if (chunks_.size() <= c) chunks_.resize(c + 1);
    if (!chunks_[c]) {
      chunks_[c] = std::make_unique<Chunk>();
      ++chunk_count_;
    }
    auto* block = static_cast<uint8_t*>(tagged_alloc(AllocTag::data, sizeof(uint32_t) + entry.size()));
    const auto size = static_cast<uint32_t>(entry.size());
    std::memcpy(block, &size, sizeof size);
    std::memcpy(block + sizeof size, entry.data(), entry.size());
    (*chunks_[c])[s].reset(block);
  } catch (const std::bad_alloc&) {
    diag("ERROR (Alloc_chunk): num = %d, NCHUNKS = %d.\n", static_cast<int>(c), static_cast<int>(kMaxChunks));
    failed_ = true;
    return Put::no_memory;
  }
  if (h.entry > highest_) highest_ = h.entry;
  return Put::stored;
}

std::span<const uint8_t> ValueStore::get(int64_t number) const noexcept {
  if (number < 0 || number >= kMaxEntries) return {};
  const auto c = static_cast<std::size_t>(number / kChunkSlots);
  if (c >= chunks_.size() || !chunks_[c]) return {};
  const uint8_t* block = (*chunks_[c])[static_cast<std::size_t>(number % kChunkSlots)].get();
  if (block == nullptr) return {};
  uint32_t size;
  std::memcpy(&size, block, sizeof size);
  return {block + sizeof size, size};
}

ValueEntryHead* ValueStore::head(int64_t number) noexcept {
  const std::span<const uint8_t> e = get(number);
  // The head sits 4 bytes into a 16-byte aligned block: 4-byte aligned.
  return e.empty() ? nullptr : reinterpret_cast<ValueEntryHead*>(const_cast<uint8_t*>(e.data()));
}

const ValueEntryHead* ValueStore::head(int64_t number) const noexcept {
  return const_cast<ValueStore*>(this)->head(number);
}

int64_t ValueStore::last_of_security(int32_t security, int64_t at_or_below) const noexcept {
  if (at_or_below >= kMaxEntries) at_or_below = kMaxEntries - 1;
  for (int64_t n = at_or_below; n >= 0; --n) {
    const auto c = static_cast<std::size_t>(n / kChunkSlots);
    if (c >= chunks_.size() || !chunks_[c]) {
      n = static_cast<int64_t>(c) * kChunkSlots;  // skip the missing chunk
      continue;
    }
    const ValueEntryHead* h = head(n);
    if (h != nullptr && h->security == security) return n;
  }
  return -1;
}

void ValueStore::reset() {
  reset_entries();
  chunks_.clear();
  chunks_.shrink_to_fit();
  chunk_count_ = 0;
  mark.fill(0);
  start.fill(0);
}

void ValueStore::reset_entries() {
  for (auto& chunk : chunks_) {
    if (!chunk) continue;
    for (auto& e : *chunk) e.reset();
  }
  highest_ = 0;
  replayed = 0;
  failed_ = false;
}

}  // namespace kelda::kelapi
