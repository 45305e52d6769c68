// Key ring files (".bkr" binary rings, ".txk" text rings): an index of their
// entries built once per version of the file and kept in a process-wide
// cache, so a lookup reads only the packets of its candidates; the lookup,
// store and delete handlers; whole-file rewrites (temporary file and rename).
//
// Damaged rings: any packet, line or key that does not parse (or a key above
// the arithmetic's limit) refuses the whole ring with 266 (265, 264 for
// unknown key versions or protection bytes); a damaged ring is never
// rewritten. Threading: the cache is guarded by a mutex and hands out
// immutable snapshots; handlers may run on any thread. Key bytes are never
// cached: candidates are read from the file at their offsets and wiped.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sekura32/sekura32.h"

namespace kelda::sekura32 {

struct RingEntry {
  std::string name;
  uint8_t key_id[8] = {};
  int32_t user_id = -1;
  uint32_t time = 0;
  bool secret = false;
  uint32_t bits = 0;
  uint64_t start = 0;       // first byte of the entry (section or key group)
  uint64_t end = 0;         // one past its last byte
  uint64_t key_at = 0;      // the key packet (binary) or the KEY line (text)
  uint32_t key_length = 0;  // packet bytes (binary) or line bytes (text)
};

struct RingIndex {
  bool text = false;
  std::vector<RingEntry> entries;  // in file order
  uint64_t size = 0;
};

// An open ring file: the version its index describes, even when the file is
// replaced meanwhile (-1 for a missing ring).
class RingFile {
 public:
  RingFile() = default;
  RingFile(const RingFile&) = delete;
  RingFile& operator=(const RingFile&) = delete;
  ~RingFile();
  void reset(int fd) noexcept;
  int fd() const noexcept { return fd_; }

 private:
  int fd_ = -1;
};

// Opens the ring and gives its index, from the cache when the file has not
// changed. Opening failures go to the key-read retry hook (flags | 9, error,
// path, attempt). A missing file gives 259 (through the hook) unless
// `missing_is_empty`, which gives an empty index.
uint32_t load_ring(const char* path, bool text, uint32_t prompt_flags, bool missing_is_empty,
                   std::shared_ptr<const RingIndex>* index, RingFile* file) noexcept;
// The key packet of an entry, read from the open ring (the caller wipes it).
uint32_t read_entry_packet(const RingFile& file, const RingIndex& index, const RingEntry& entry,
                           std::vector<uint8_t>* packet) noexcept;
// The whole open ring (to rewrite it); the caller wipes it.
uint32_t read_ring_bytes(const RingFile& file, std::string* bytes) noexcept;
// Replaces the file with `bytes` (temporary file and rename) and forgets its
// cached index.
uint32_t write_ring(const char* path, const std::string& bytes) noexcept;

// Builds an index from a ring's bytes (used by the loader and the fuzz
// target).
uint32_t index_binary_ring(const uint8_t* bytes, std::size_t size, RingIndex* index) noexcept;
uint32_t index_text_ring(const uint8_t* bytes, std::size_t size, RingIndex* index) noexcept;

bool ends_with_suffix(const char* path, const char* suffix) noexcept;

// Whether an entry is a candidate: every text part of its name, the key id
// when given, and for text rings the user id when both are above 0.
bool is_candidate(const RingEntry& entry, const char* const* texts, uint32_t text_count, const uint8_t* key_id,
                  int32_t user_id, bool text) noexcept;
// Hands the candidates of a ring to the search's callback (in file order);
// 144 when it asked to stop, else 0.
uint32_t offer_candidates(SkKeySearch* search, const RingFile& file, const RingIndex& index, const char* const* texts,
                          uint32_t text_count, const uint8_t* key_id, int32_t user_id) noexcept;

// The handlers of the two built-in kinds.
uint32_t binary_ring_lookup(SkKeySearch* search, const char* base, const char* const* texts, uint32_t text_count,
                            const uint8_t* key_id, int32_t user_id);
uint32_t binary_ring_store(const char* base, const char* name, const uint8_t* key_id, int32_t user_id, uint32_t time,
                           int32_t secret, uint32_t bits, const uint8_t* packet, uint32_t length);
uint32_t text_ring_lookup(SkKeySearch* search, const char* base, const char* const* texts, uint32_t text_count,
                          const uint8_t* key_id, int32_t user_id);
uint32_t text_ring_store(const char* base, const char* name, const uint8_t* key_id, int32_t user_id, uint32_t time,
                         int32_t secret, uint32_t bits, const uint8_t* packet, uint32_t length);
uint32_t text_ring_delete(const char* base, const char* name, int32_t user_id, const uint8_t* key_id,
                          int32_t secret);

// The comparing check of a store: the entries of the ring with the same name
// and key id are compared with the new packet; an identical key is reported
// ("registered repeatedly") and may be replaced, a different one gives 18.
// *found receives the first such entry (or null).
uint32_t check_existing(const RingIndex& index, const RingFile& file, const char* name, const uint8_t* key_id,
                        bool secret, const uint8_t* packet, uint32_t length, const RingEntry** found) noexcept;

}  // namespace kelda::sekura32
