// The colour-selection control of the terminal's dialogs: a window of class
// `ClassColorSelectCtrl` that shows its colour as a filled field with a "..."
// button at its right end; the button opens a popup grid of 40 named colours
// under the control. Dialogs talk to the control only through its window
// text: the colour as a decimal COLORREF number (0x00BBGGRR), set when they
// open and read on OK.
//
// Messages of the control: wm::set_text takes the colour from decimal text;
// wm::get_text writes it as "%d" (as much as the caller's buffer holds);
// wm::enable enables the "..." button, and disabling turns the colour grey
// (0x808080), which stays after enabling until the text is set again.
// The popup tells the control's inner colour button 1124 (closed without a
// choice) or 1125 (wParam the chosen colour).
//
// Threading: user-interface thread only. Ownership: each control owns its
// inner colour button and popup, released with its window. Errors: the
// class registration answers false only when the name is taken by another
// class; malformed text reads as a number the way the platform's decimal
// reader does (leading digits, else 0).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kelda::terminal {

inline constexpr char16_t kColorSelectClass[] = u"ClassColorSelectCtrl";
// The inner colour button and the popup grid (the window-wrapper layer's class).
inline constexpr char16_t kColorButtonClass[] = u"WndColorCtrl";
inline constexpr char16_t kColorPopupTitle[] = u"KKK";

// Private messages from the popup grid to its owner.
inline constexpr UINT kColorPopupCancel = 1124;
inline constexpr UINT kColorPopupChosen = 1125;  // wParam: the colour

inline constexpr COLORREF kColorSelectInitial = 0x0000FF;
inline constexpr COLORREF kColorSelectDisabled = 0x808080;

struct NamedColour {
  const char* name;  // kept, not drawn
  COLORREF value;
};
inline constexpr int kColorTableSize = 40;
inline constexpr int kColorGridColumns = 8;
// The popup's colours, row-major in its grid, 8 a row.
const std::array<NamedColour, kColorTableSize>& color_table();

// The screen's scale factors (pixels per inch / 96 in each direction) and the
// width of a 3-D edge, which size the popup's cells.
struct DisplayScale {
  double horizontal = 1.0;
  double vertical = 1.0;
  int edge = 2;
};
DisplayScale init_dpi_scale();
// (int)(length x scale), truncated toward zero.
int scaled(int length, double scale);

// Registers `ClassColorSelectCtrl` (class style 0x4008). Safe to call more
// than once: a later call finds the class and answers true.
bool register_color_select_class();

// The colour of a decimal text, as the control reads its window text: leading
// blanks, an optional sign and the leading digits; the value is kept within
// the 32-bit range (signed or unsigned form) and taken as a COLORREF; no
// digits read as 0.
COLORREF colour_from_text(std::u16string_view text);
// The control's text of a colour ("%d").
std::u16string colour_to_text(COLORREF colour);

}  // namespace kelda::terminal
