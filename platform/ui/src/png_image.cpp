// PNG pictures through libpng's simplified reader, and the registration of
// a module's embedded images.
#include <png.h>

#include <cstdio>
#include <memory>

#include "platform/last_error.h"
#include "ui/images.h"

namespace kelda::ui {
namespace {

std::optional<Bitmap> refuse() {
  platform::set_last_error(platform::error::invalid_data);
  return std::nullopt;
}

}  // namespace

std::optional<Bitmap> decode_png(std::span<const uint8_t> png) {
  if (png.size() < 8 || png_sig_cmp(png.data(), 0, 8) != 0) return refuse();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return refuse();
  auto cleanup = std::unique_ptr<png_image, void (*)(png_image*)>(&image, png_image_free);
  if (image.width == 0 || image.height == 0 || image.width > static_cast<png_uint_32>(kMaxImageSide) ||
      image.height > static_cast<png_uint_32>(kMaxImageSide))
    return refuse();
  // BGRA bytes are 0xAARRGGBB words on a little-endian machine; other
  // machines read ARGB bytes, the same words.
  const uint32_t probe = 1;
  const bool little = *reinterpret_cast<const uint8_t*>(&probe) == 1;
  image.format = little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
  Bitmap out(static_cast<int>(image.width), static_cast<int>(image.height), 0);
  if (!png_image_finish_read(&image, nullptr, out.data(), static_cast<png_int_32>(image.width * 4), nullptr))
    return refuse();
  return out;
}

int register_embedded_images(std::string_view module, std::span<const EmbeddedImage> images) {
  int registered = 0;
  for (const EmbeddedImage& e : images) {
    ResourceName name = e.text != nullptr ? ResourceName(e.text) : ResourceName(e.number);
    std::optional<Bitmap> bitmap;
    if (e.data != nullptr) bitmap = decode_png(std::span<const uint8_t>(e.data, e.size));
    if (!bitmap) {
      std::fprintf(stderr, "image %s of module \"%.*s\" is not a picture\n", name.to_string().c_str(),
                   static_cast<int>(module.size()), module.data());
      continue;
    }
    register_bitmap(module, name, std::move(*bitmap));
    ++registered;
  }
  return registered;
}

}  // namespace kelda::ui
