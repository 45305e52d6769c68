#include "kit/window_helpers.h"

#include <algorithm>

#include "kit/codepage.h"
#include "ui/controls.h"
#include "ui/screen.h"
#include "ui/window.h"

namespace kelda::kit {

namespace ui = kelda::ui;

SIZE measure_text(const ui::Font* font, std::string_view text) noexcept {
  try {
    auto dc = ui::get_dc(ui::desktop_window());
    if (!dc) return SIZE{0, 0};
    const ui::Font* previous = dc->select_font(font ? font : &ui::system_font());
    SIZE size = dc->text_extent(decode(CodePage::cp1251, text));
    dc->select_font(previous);
    return size;
  } catch (...) {
    return SIZE{0, 0};
  }
}

int text_width(const ui::Font* font, std::string_view text) noexcept { return measure_text(font, text).cx; }

void listbox_fit_extent(ui::Hwnd list_box) noexcept {
  try {
    if (!ui::is_window(list_box)) return;
    ui::ListBoxControl list{list_box};
    auto dc = ui::get_dc(list_box);
    if (!dc) return;
    const ui::Font* font = ui::get_font(list_box);
    const ui::Font* previous = dc->select_font(font ? font : &ui::system_font());
    int widest = 0;
    for (int i = 0, n = list.count(); i < n; ++i) widest = std::max(widest, dc->text_extent(list.text(i)).cx);
    dc->select_font(previous);
    list.set_horizontal_extent(widest + 2);
  } catch (...) {
  }
}

bool window_class_is(ui::Hwnd window, std::string_view class_name) noexcept {
  try {
    std::u16string actual = ui::get_class_name(window);
    if (actual.empty()) return false;
    std::u16string wanted = decode(CodePage::cp1251, class_name.substr(0, 200));
    actual.resize(std::min<size_t>(actual.size(), 200));
    auto lower = [](std::u16string s) {
      for (auto& ch : s) {
        if ((ch >= u'A' && ch <= u'Z') || (ch >= 0x0410 && ch <= 0x042F)) ch = static_cast<char16_t>(ch + 32);
      }
      return s;
    };
    return lower(actual) == lower(wanted);
  } catch (...) {
    return false;
  }
}

bool set_font_unless_multilist(ui::Hwnd window, const ui::Font* font) noexcept {
  if (!window_class_is(window, "MultiList"))
    ui::send_message(window, ui::wm::set_font, font ? font->handle() : 0, 1);
  return true;
}

void set_dialog_font(ui::Hwnd window, const ui::Font* font) noexcept {
  if (font == nullptr || !ui::is_window(window)) return;
  ui::send_message(window, ui::wm::set_font, font->handle(), 0);
  for (ui::Hwnd child = ui::get_window(window, ui::gw::child); child; child = ui::get_window(child, ui::gw::next))
    set_font_unless_multilist(child, font);
  ui::invalidate_rect(window, nullptr, true);
}

}  // namespace kelda::kit
