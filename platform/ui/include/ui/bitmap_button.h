// Bitmap buttons: push buttons drawn with pictures of the image registry
// (images.h), one per state, found by name: <base>U normal, <base>D pressed,
// <base>F focused, <base>X disabled. Only the normal picture is required; a
// missing one falls back to the normal picture.
//
// A dialog binds its buttons with auto_load() (the button's caption is the
// base name, as dialog templates give it) and, when the screen turns, loads
// the set for the new orientation with load_bitmaps() and sizes the buttons
// with size_to_content(): the pictures and the size change at once and the
// button repaints.
//
// Threading: the user-interface thread. Ownership: the object is the
// program's (destroying it destroys the button); the pictures belong to the
// registry. Errors: false with the platform's last error set when the
// control or the normal picture is missing.
#pragma once

#include <string>
#include <string_view>

#include "ui/export.h"
#include "ui/gdi.h"
#include "ui/window.h"

namespace kelda::ui {

class KELDA_UI_API BitmapButton : public Window {
 public:
  // Takes over button `id` of `dialog`, loads the pictures named by its
  // caption from `module` and sizes it to them.
  bool auto_load(Hwnd dialog, int id, std::string_view module);
  // Loads the four pictures of `base` from `module`; on failure the pictures
  // loaded before stay. False (last error error::invalid_parameter) when
  // <base>U is not registered.
  bool load_bitmaps(std::string_view module, std::u16string_view base);
  // Makes the button as large as its normal picture.
  bool size_to_content();

  // The picture the button shows now (by state: pressed, focused, disabled).
  const Bitmap* current_image() const;
  const std::u16string& base_name() const { return base_; }

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  const Bitmap* normal_ = nullptr;
  const Bitmap* pressed_ = nullptr;
  const Bitmap* focused_ = nullptr;
  const Bitmap* disabled_ = nullptr;
  std::u16string base_;
};

}  // namespace kelda::ui
