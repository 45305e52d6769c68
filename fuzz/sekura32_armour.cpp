// The armour scan over arbitrary text: messages, clear-signed text and
// signatures decoded into temporary streams with a digest, through a line
// buffer whose size the input chooses.
#include <cstdint>

#include "armour.h"
#include "md5.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelda::sekura32;
  if (size > UINT32_MAX / 2) return 0;
  SkStream* in = skMemStream(const_cast<uint8_t*>(data), uint32_t(size), uint32_t(size), &skDummyRealloc);
  SkStream* message = skTempMemStream();
  SkStream* clear = skTempMemStream();
  SkStream* signature = skTempMemStream();
  if (in != nullptr && message != nullptr && clear != nullptr && signature != nullptr) {
    SkMd5Context digest;
    md5_init(digest);
    char line[300];
    uint32_t flags = 0;
    armour_read(&flags, in, message, clear, signature, &digest, line, uint32_t(size % 299) + 2);
  }
  for (SkStream* s : {in, message, clear, signature})
    if (s != nullptr) s->close(s);
  return 0;
}
