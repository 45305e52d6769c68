// Joining server data that arrives in parts: the one server-message
// assembler (parts carry a code) and the named data blocks (any number at
// once, matched by block id, or by block id and name).
//
// Part flags: 1 first part, 4 last part, 8 abort; a part may be first and
// last. An assembly is capped at kMaxAssembly bytes: a part that would pass
// the cap aborts it. Buffers grow geometrically. The classes only join
// bytes; what a complete message or block means is the caller's (see
// multipart.h).
//
// Not thread-safe: used under the library lock. Allocation failure throws
// std::bad_alloc.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kelda::kelapi {

inline constexpr uint16_t kPartFirst = 0x1;
inline constexpr uint16_t kPartLast = 0x4;
inline constexpr uint16_t kPartAbort = 0x8;
inline constexpr std::size_t kMaxAssembly = 16u << 20;
inline constexpr std::size_t kMaxBlockName = 39;
// Named blocks open at once, at most.
inline constexpr std::size_t kMaxBlockSlots = 1024;

// Appends a part, unless the result would pass the cap; false then.
bool append_part(std::vector<uint8_t>& buffer, std::span<const uint8_t> part);

class MessageAssembler {
 public:
  struct Complete {
    uint32_t code;
    std::span<const uint8_t> data;  // valid until the next call
  };
  // Takes a part; a complete message is returned once, and the assembler is
  // cleared at the next call.
  std::optional<Complete> take(uint32_t code, uint16_t flags, std::span<const uint8_t> data);
  bool open() const noexcept { return code_ != 0; }
  std::size_t size() const noexcept { return buffer_.size(); }

 private:
  void clear() noexcept;
  uint32_t code_ = 0;
  std::vector<uint8_t> buffer_;
  bool dispatched_ = false;
};

struct BlockSlot {
  uint32_t block_id = 0;
  uint32_t request_word = 0;
  uint8_t name[kMaxBlockName] = {};
  uint32_t name_length = 0;
  std::vector<uint8_t> data;
  bool in_use() const noexcept { return block_id != 0 || name_length != 0; }
};

class NamedBlocks {
 public:
  struct Complete {
    uint32_t first_word;
    uint32_t second_word;
    std::string_view name;
    std::span<const uint8_t> data;  // valid until the next call
  };
  // 0x8090: the first part of a block (other parts are ignored).
  std::optional<Complete> first(uint32_t block_id, uint32_t request_word, uint16_t flags,
                                std::span<const uint8_t> data, std::span<const uint8_t> name);
  // 0x8091: a further part of a 0x8090 block.
  std::optional<Complete> further(uint32_t block_id, uint16_t flags, std::span<const uint8_t> data);
  // 0x8084: a part matched by block id and name.
  std::optional<Complete> named(uint32_t block_id, uint16_t flags, std::span<const uint8_t> data,
                                std::span<const uint8_t> name);

  std::size_t slots() const noexcept { return slots_.size(); }
  std::size_t open() const noexcept;

 private:
  BlockSlot* free_slot();
  std::optional<Complete> add(BlockSlot& slot, uint16_t flags, std::span<const uint8_t> data, bool keep,
                              uint32_t first_word, uint32_t second_word);
  void release_finished();

  std::vector<BlockSlot> slots_;
  BlockSlot* finished_ = nullptr;  // handed out by the last call, freed at the next
};

}  // namespace kelda::kelapi
