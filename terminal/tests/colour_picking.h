// Test help for the colour-selection control: its inner windows, its popup
// and a colour chosen by stylus taps as a person would.
#pragma once

#include <string>

#include "terminal/color_select.h"
#include "ui/testing.h"
#include "ui/window.h"

namespace kelda::terminal::colour_test {

// The inner colour button of a control, and its "..." button.
inline ui::Hwnd colour_field(ui::Hwnd control) {
  const auto inner = ui::child_windows(control);
  return inner.empty() ? ui::Hwnd{} : inner.front();
}
inline ui::Hwnd colour_dots(ui::Hwnd control) {
  const auto dots = ui::child_windows(colour_field(control));
  return dots.empty() ? ui::Hwnd{} : dots.front();
}

// The open popup grid, or null.
inline ui::Hwnd colour_popup() {
  const std::u16string title = kColorPopupTitle;
  return ui::find_window(kColorButtonClass, &title);
}

// Taps the "..." button; answers the popup it opened.
inline ui::Hwnd open_colour_popup(ui::Hwnd control) {
  ui::scripted::tap(colour_dots(control));
  return colour_popup();
}

// The centre of cell `index` in the popup's client area.
inline POINT colour_cell_centre(int index) {
  const DisplayScale s = init_dpi_scale();
  const int w = scaled(13, s.horizontal);
  const int h = scaled(13, s.vertical);
  return {s.edge + (index % kColorGridColumns) * w + w / 2, s.edge + (index / kColorGridColumns) * h + h / 2};
}

// Opens the popup and taps the cell.
inline void pick_colour(ui::Hwnd control, int index) {
  const ui::Hwnd popup = open_colour_popup(control);
  if (popup) ui::scripted::tap_at(popup, colour_cell_centre(index));
}

}  // namespace kelda::terminal::colour_test
