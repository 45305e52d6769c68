// The key-ring readers over arbitrary bytes: the first byte chooses a binary
// or a text ring, the rest is the ring's content.
#include <cstdint>

#include "key_ring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelda::sekura32;
  if (size == 0 || size > (1u << 24)) return 0;
  RingIndex index;
  uint32_t result = (data[0] & 1) != 0 ? index_text_ring(data + 1, size - 1, &index)
                                        : index_binary_ring(data + 1, size - 1, &index);
  // An accepted ring's entries lie inside it (a refused one is dropped).
  if (result < 16)
    for (const RingEntry& entry : index.entries)
    if (entry.end > index.size || entry.start > entry.end || entry.key_at + entry.key_length > index.size)
        __builtin_trap();
  return 0;
}
