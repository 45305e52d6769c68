// Window and font routines of the libraries' dialogs: measuring 8-bit text
// in a font, fitting a list box's horizontal extent to its items, testing a
// window's class, and giving a dialog and its controls one font.
//
// Texts are 8-bit code page 1251, widened before they reach the window layer.
// Threading: the user-interface thread (these are window calls). Nothing
// throws; a dead handle makes a call do nothing (or answer 0 / false).
#pragma once

#include <string_view>

#include "platform/win_types.h"
#include "ui/gdi.h"
#include "ui/types.h"

namespace kelda::kit {

// Size of the widened text in the font (null: the system font) on the
// screen's canvas.
SIZE measure_text(const kelda::ui::Font* font, std::string_view text) noexcept;
// The width from measure_text.
int text_width(const kelda::ui::Font* font, std::string_view text) noexcept;

// Sets the list box's horizontal extent to the width of its widest item text
// in the list box's font, plus 2.
void listbox_fit_extent(kelda::ui::Hwnd list_box) noexcept;

// True when the window's class name equals `class_name` without regard to
// case (names of up to 200 characters are compared).
bool window_class_is(kelda::ui::Hwnd window, std::string_view class_name) noexcept;

// Sets the font with repainting unless the window's class is "MultiList";
// answers true.
bool set_font_unless_multilist(kelda::ui::Hwnd window, const kelda::ui::Font* font) noexcept;

// With a font: sets it on the window, then set_font_unless_multilist on each
// of its child windows in turn, then has the window repainted. A null font
// does nothing.
void set_dialog_font(kelda::ui::Hwnd window, const kelda::ui::Font* font) noexcept;

}  // namespace kelda::kit
