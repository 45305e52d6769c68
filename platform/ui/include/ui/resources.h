// Resource names and the bitmap registry.
//
// Resources (dialog templates, menus, tool bars, bitmaps) are registered by
// the code that owns them, per module: "" is the program, a library uses its
// own name, so two libraries may both have a dialog 100. A name is a number
// or a text (text names compare without regard to case).
// Threading: registration and look-up are safe from any thread; a registered
// resource lives until the process ends or it is registered again under the
// same name (which a program must not do while the old one is in use).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/export.h"
#include "ui/gdi.h"

namespace kelda::ui {

class KELDA_UI_API ResourceName {
 public:
  ResourceName(int number) : number_(static_cast<uint32_t>(number)) {}  // NOLINT: implicit by design
  ResourceName(std::u16string_view text) : text_(text) {}               // NOLINT
  ResourceName(const char16_t* text) : text_(text) {}                   // NOLINT
  bool is_number() const { return text_.empty(); }
  uint32_t number() const { return number_; }
  const std::u16string& text() const { return text_; }
  bool operator==(const ResourceName& other) const;
  std::string to_string() const;  // "123" or the text as UTF-8

 private:
  uint32_t number_ = 0;
  std::u16string text_;
};

// Bitmaps (and icons, which are bitmaps with transparent pixels) by number
// or by name.
KELDA_UI_API void register_bitmap(std::string_view module, const ResourceName& name, Bitmap bitmap);
// The registered bitmap, or nullptr.
KELDA_UI_API const Bitmap* find_bitmap(std::string_view module, const ResourceName& name);

}  // namespace kelda::ui
