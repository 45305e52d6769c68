// Pictures from PNG files: the decoder and the registration of a module's
// embedded images in the image registry (resources.h).
//
// How a module gets its pictures:
//  1. Keep the PNG files in the module's tree (artwork/ beside its sources;
//     our own drawings, e.g. made by a small script kept beside them, as
//     platform/ui/artwork/draw_artwork.py does).
//  2. Embed them in the build with the CMake function of
//     platform/ui/cmake/KeldaImages.cmake, naming each file's resource:
//       kelda_embed_images(KeldaChart
//         MODULE "KeldaChart" FUNCTION kelda::chart::register_images
//         IMAGES 201 artwork/cursor_move_copy.png  LOGO artwork/logo.png)
//     A name made of digits is a number, any other a text name (compared
//     without regard to case, so "ADDCOL_BTNU" finds the file registered as
//     ADDCOL_BTNU). The function generates a source file holding the bytes
//     and a header <function's last name>.h declaring the function.
//  3. Call the generated function once at start-up (before the first window
//     of the module is made). It decodes every image with libpng and
//     registers it under the module's name; find_bitmap(module, name) then
//     answers it, and a bitmap button loads its "U", "D" and "F" forms by
//     name (bitmap_button.h).
//
// Decoded images are 0xAARRGGBB pixels, transparent where the PNG is. Any PNG
// colour type, bit depth and interlacing is taken; images wider or higher
// than kMaxImageSide are refused.
// Threading: any thread. Errors: decode_png answers nothing and sets the last
// error error::invalid_data; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "ui/export.h"
#include "ui/gdi.h"
#include "ui/resources.h"

namespace kelda::ui {

inline constexpr int kMaxImageSide = 4096;

KELDA_UI_API std::optional<Bitmap> decode_png(std::span<const uint8_t> png);

// One embedded picture: a number (text == nullptr) or a text name, and the
// PNG file's bytes.
struct EmbeddedImage {
  int number = 0;
  const char16_t* text = nullptr;
  const uint8_t* data = nullptr;
  size_t size = 0;
};
// Decodes and registers every image under the module; answers how many were
// registered (an image that does not decode is left out and logged to
// stderr with its name).
KELDA_UI_API int register_embedded_images(std::string_view module, std::span<const EmbeddedImage> images);

}  // namespace kelda::ui
