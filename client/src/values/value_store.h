// The value store: every current-value entry of the trading day by entry
// number, in chunks of 1024 slots (entry numbers 0 to 51199999), so that an
// entry is reached in constant time. Each entry is one allocation of its
// exact size. A chunk is allocated when the first entry of its range
// arrives; chunks are freed only when the store is reset.
//
// Also kept here: the per-class re-request marks and starts, and the count
// of entries that the journal replay added.
//
// Not thread-safe: used under the library lock. Allocation failure throws
// std::bad_alloc except where put() reports it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "market/records.h"
#include "values/value_entry.h"

namespace kelda::kelapi {

class ValueStore {
 public:
  static constexpr int64_t kChunkSlots = 1024;
  static constexpr int64_t kMaxChunks = 50000;
  static constexpr int64_t kMaxEntries = kChunkSlots * kMaxChunks;

  ValueStore();
  ~ValueStore();
  ValueStore(const ValueStore&) = delete;
  ValueStore& operator=(const ValueStore&) = delete;

  enum class Put { stored, out_of_range, no_memory };
  // Copies an entry (head and values) into its slot, replacing what was
  // there. A negative entry number is refused; numbers beyond 51199999 and a
  // failed allocation set the failed flag; none of them stores anything.
  Put put(std::span<const uint8_t> entry);

  // The entry with that number, or an empty span.
  std::span<const uint8_t> get(int64_t number) const noexcept;
  ValueEntryHead* head(int64_t number) noexcept;
  const ValueEntryHead* head(int64_t number) const noexcept;

  // The highest entry number stored (0 when none).
  int32_t highest() const noexcept { return highest_; }
  bool failed() const noexcept { return failed_; }
  std::size_t chunks() const noexcept { return chunk_count_; }

  // The last entry of a security at or below a number (searching
  // downwards); -1 when none.
  int64_t last_of_security(int32_t security, int64_t at_or_below) const noexcept;
  // Calls f(number, bytes) for every entry in entry-number order while f
  // returns true.
  template <typename F>
  void for_each(F f) const;

  // Frees everything and clears the marks; the count of replayed entries,
  // the highest number and the failed flag become 0.
  void reset();
  // Frees the entries only (before the journal replay).
  void reset_entries();

  // Per class: the re-request mark (-1 once the entry at the mark has been
  // confirmed) and the re-request start.
  std::array<int32_t, kMaxClasses> mark{};
  std::array<int32_t, kMaxClasses> start{};
  uint32_t replayed = 0;

 private:
  struct Free {
    void operator()(uint8_t* p) const noexcept;
  };
  using Entry = std::unique_ptr<uint8_t, Free>;  // u32 size, then the entry
  using Chunk = std::array<Entry, kChunkSlots>;

  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::size_t chunk_count_ = 0;
  int32_t highest_ = 0;
  bool failed_ = false;
};

template <typename F>
void ValueStore::for_each(F f) const {
  for (std::size_t c = 0; c < chunks_.size(); ++c) {
    if (!chunks_[c]) continue;
    for (std::size_t s = 0; s < static_cast<std::size_t>(kChunkSlots); ++s) {
      const int64_t n = static_cast<int64_t>(c) * kChunkSlots + static_cast<int64_t>(s);
      const std::span<const uint8_t> e = get(n);
      if (!e.empty() && !f(n, e)) return;
    }
  }
}

}  // namespace kelda::kelapi
