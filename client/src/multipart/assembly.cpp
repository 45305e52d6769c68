#include "multipart/assembly.h"

#include <algorithm>
#include <cstring>

#include "core/diag.h"

namespace kelda::kelapi {

bool append_part(std::vector<uint8_t>& buffer, std::span<const uint8_t> part) {
  if (part.size() > kMaxAssembly - buffer.size()) {
    diag("KeldaApi: an assembled server message would pass %zu bytes; it is dropped\n", kMaxAssembly);
    return false;
  }
  if (buffer.capacity() - buffer.size() < part.size()) {
    buffer.reserve(std::min(kMaxAssembly, std::max(buffer.size() + part.size(), buffer.capacity() * 2)));
  }
  buffer.insert(buffer.end(), part.begin(), part.end());
  return true;
}

void MessageAssembler::clear() noexcept {
  code_ = 0;
  buffer_.clear();
  buffer_.shrink_to_fit();
  dispatched_ = false;
}

std::optional<MessageAssembler::Complete> MessageAssembler::take(uint32_t code, uint16_t flags,
                                                                 std::span<const uint8_t> data) {
  if (dispatched_) clear();
  if ((flags & kPartFirst) != 0) {
    clear();
    code_ = code;
  }
  if ((flags & kPartAbort) == 0 && code == code_ && code != 0) {
    if (!append_part(buffer_, data)) {
      clear();
      return std::nullopt;
    }
    if ((flags & kPartLast) == 0) return std::nullopt;
    dispatched_ = true;
    return Complete{code_, buffer_};
  }
  clear();
  return std::nullopt;
}

BlockSlot* NamedBlocks::free_slot() {
  for (BlockSlot& s : slots_) {
    if (!s.in_use()) return &s;
  }
  const std::size_t n = slots_.size();
  if (n >= kMaxBlockSlots) {
    diag("KeldaApi: %zu named blocks are open; a new one is dropped\n", n);
    return nullptr;
  }
  // Growing moves the slots: the block handed out last was freed already.
  slots_.resize(n == 0 ? 10 : std::min(n * 2, kMaxBlockSlots));
  return &slots_[n];
}

void NamedBlocks::release_finished() {
  if (finished_ == nullptr) return;
  *finished_ = BlockSlot{};
  finished_ = nullptr;
}

std::optional<NamedBlocks::Complete> NamedBlocks::add(BlockSlot& slot, uint16_t flags, std::span<const uint8_t> data,
                                                      bool keep, uint32_t first_word, uint32_t second_word) {
  if (!keep || !append_part(slot.data, data)) {
    slot = BlockSlot{};
    return std::nullopt;
  }
  if ((flags & kPartLast) == 0) return std::nullopt;
  finished_ = &slot;
  return Complete{first_word, second_word,
                  std::string_view(reinterpret_cast<const char*>(slot.name), slot.name_length), slot.data};
}

std::optional<NamedBlocks::Complete> NamedBlocks::first(uint32_t block_id, uint32_t request_word, uint16_t flags,
                                                        std::span<const uint8_t> data,
                                                        std::span<const uint8_t> name) {
  release_finished();
  if ((flags & kPartFirst) == 0) return std::nullopt;
  BlockSlot* slot = free_slot();
  if (slot == nullptr) return std::nullopt;
  *slot = BlockSlot{};
  slot->request_word = request_word;
  slot->block_id = block_id;
  slot->name_length = static_cast<uint32_t>(std::min(name.size(), kMaxBlockName));
  if (slot->name_length != 0) std::memcpy(slot->name, name.data(), slot->name_length);
  const bool keep = (flags & kPartAbort) == 0 && request_word != 0;
  return add(*slot, flags, data, keep, request_word, block_id);
}

std::optional<NamedBlocks::Complete> NamedBlocks::further(uint32_t block_id, uint16_t flags,
                                                          std::span<const uint8_t> data) {
  release_finished();
  if ((flags & kPartFirst) != 0) return std::nullopt;
  auto it = std::find_if(slots_.begin(), slots_.end(),
                         [&](const BlockSlot& s) { return s.in_use() && s.block_id == block_id; });
  if (it == slots_.end()) return std::nullopt;
  return add(*it, flags, data, (flags & kPartAbort) == 0, it->request_word, it->block_id);
}

std::optional<NamedBlocks::Complete> NamedBlocks::named(uint32_t block_id, uint16_t flags,
                                                        std::span<const uint8_t> data,
                                                        std::span<const uint8_t> name) {
  release_finished();
  name = name.first(std::min(name.size(), kMaxBlockName));
  BlockSlot* slot = nullptr;
  if ((flags & kPartFirst) != 0) {
    // A slot that nothing uses: a 0x8090 block without a name keeps its own.
    slot = free_slot();
    if (slot == nullptr) return std::nullopt;
    *slot = BlockSlot{};
    slot->block_id = block_id;
    slot->name_length = static_cast<uint32_t>(name.size());
    if (!name.empty()) std::memcpy(slot->name, name.data(), name.size());
  } else {
    auto it = std::find_if(slots_.begin(), slots_.end(), [&](const BlockSlot& s) {
      return s.in_use() && s.block_id == block_id && s.name_length == name.size() &&
             (name.empty() || std::memcmp(s.name, name.data(), name.size()) == 0);
    });
    if (it == slots_.end()) return std::nullopt;
    slot = &*it;
  }
  return add(*slot, flags, data, (flags & kPartAbort) == 0 && block_id != 0, block_id, 0);
}

std::size_t NamedBlocks::open() const noexcept {
  return static_cast<std::size_t>(std::count_if(slots_.begin(), slots_.end(), [](const BlockSlot& s) { return s.in_use(); }));
}

}  // namespace kelda::kelapi
