// Bitmap buttons: a push button whose paint shows the picture of its state.
#include "ui/bitmap_button.h"

#include "platform/last_error.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace kelda::ui {

bool BitmapButton::auto_load(Hwnd dialog, int id, std::string_view module) {
  Hwnd button = get_dlg_item(dialog, id);
  if (!button) return false;
  if (hwnd() != button && !attach(button)) return false;
  return load_bitmaps(module, get_window_text(button)) && size_to_content();
}

bool BitmapButton::load_bitmaps(std::string_view module, std::u16string_view base) {
  auto find = [&](char16_t suffix) {
    std::u16string name(base);
    name.push_back(suffix);
    return find_bitmap(module, ResourceName(name));
  };
  const Bitmap* normal = find(u'U');
  if (normal == nullptr) {
    platform::set_last_error(platform::error::invalid_parameter);
    return false;
  }
  normal_ = normal;
  pressed_ = find(u'D');
  focused_ = find(u'F');
  disabled_ = find(u'X');
  base_ = base;
  if (hwnd()) invalidate_rect(hwnd(), nullptr, true);
  return true;
}

bool BitmapButton::size_to_content() {
  if (!hwnd() || normal_ == nullptr) return false;
  return set_window_pos(hwnd(), Hwnd{}, 0, 0, normal_->width(), normal_->height(),
                        swp::no_move | swp::no_zorder | swp::no_activate);
}

const Bitmap* BitmapButton::current_image() const {
  if (normal_ == nullptr || !hwnd()) return normal_;
  const auto state = static_cast<int>(send_message(hwnd(), bm::get_state));
  const Bitmap* chosen = nullptr;
  if (!is_window_enabled(hwnd())) chosen = disabled_;
  else if (state & bst::pushed) chosen = pressed_;
  else if (state & bst::focus) chosen = focused_;
  return chosen != nullptr ? chosen : normal_;
}

LRESULT BitmapButton::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (normal_ == nullptr) return default_proc(msg, wparam, lparam);
  switch (msg) {
    case wm::erase_background:
      return 1;
    case wm::paint: {
      const Bitmap* image = current_image();
      PaintSession ps(hwnd());
      ps.canvas().draw_bitmap(0, 0, *image);
      return 0;
    }
    default:
      return default_proc(msg, wparam, lparam);
  }
}

}  // namespace kelda::ui
