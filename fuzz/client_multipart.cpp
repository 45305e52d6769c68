// Fuzz target: the multi-part assemblers fed arbitrary part sequences.
//
// Input: records of [u8 kind][u8 flags][u8 id][u8 word][u8 name length]
// [name][u16 data length][data]; kind modulo 4 picks a server-message part,
// a first named-block part (0x8090), a further one (0x8091) or a named part
// (0x8084). Checks that nothing complete passes the cap, that an assembly
// never holds more than the cap, and that the open blocks stay bounded.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "multipart/assembly.h"

using namespace kelda::kelapi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  MessageAssembler messages;
  NamedBlocks blocks;
  std::size_t at = 0;
  while (size - at >= 5) {
    const uint8_t kind = data[at];
    const auto flags = static_cast<uint16_t>(data[at + 1] & 0x0F);
    const uint32_t id = data[at + 2] % 8;
    const uint32_t word = data[at + 3] % 4;
    const std::size_t name_length = data[at + 4] % 48;
    at += 5;
    if (size - at < name_length + 2) break;
    const std::span<const uint8_t> name(data + at, name_length);
    at += name_length;
    uint16_t data_length;
    std::memcpy(&data_length, data + at, 2);
    at += 2;
    const std::size_t n = std::min<std::size_t>(data_length % 700, size - at);
    const std::span<const uint8_t> part(data + at, n);
    at += n;
    std::size_t complete = 0;
    switch (kind % 4) {
      case 0:
        if (auto done = messages.take(id, flags, part)) complete = done->data.size();
        if (messages.size() > kMaxAssembly) std::abort();
        break;
      case 1:
        if (auto done = blocks.first(id, word, flags, part, name)) complete = done->data.size();
        break;
      case 2:
        if (auto done = blocks.further(id, flags, part)) complete = done->data.size();
        break;
      default:
        if (auto done = blocks.named(id, flags, part, name)) {
          complete = done->data.size();
          if (done->name.size() > kMaxBlockName) std::abort();
        }
        break;
    }
    if (complete > kMaxAssembly || blocks.slots() > kMaxBlockSlots) std::abort();
  }
  return 0;
}
