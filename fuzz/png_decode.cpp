// Arbitrary bytes through the PNG decoder: it must answer a picture whose
// size matches what it claims, or nothing, and never crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ui/images.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto bitmap = kelda::ui::decode_png(std::span<const uint8_t>(data, size));
  if (bitmap) {
    if (bitmap->width() <= 0 || bitmap->height() <= 0 || bitmap->width() > kelda::ui::kMaxImageSide ||
        bitmap->height() > kelda::ui::kMaxImageSide)
      std::abort();
    volatile uint32_t last = bitmap->pixel(bitmap->width() - 1, bitmap->height() - 1);
    (void)last;
  }
  return 0;
}
