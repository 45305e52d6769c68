// Finds text that a window shows cut: every text a window and its controls
// draw is measured with the running font engine (on the Qt backend: the
// faces the screen shows) against the box it is drawn in and against the part
// of the window that is on the screen. UI thread only.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/gdi.h"
#include "ui/recording_canvas.h"
#include "ui/screen.h"
#include "ui/testing.h"
#include "ui/window.h"

namespace kelda::terminal::test_fit {

// A text that does not show whole: where, what, the pixels it needs and the
// pixels it has.
struct Cut {
  std::string where;
  std::u16string text;
  int need = 0;
  int room = 0;
  int row = -1;     // of a list cell: its row and column
  int column = -1;
  RECT box{};       // where it is drawn
};

inline std::string utf8(std::u16string_view text) {
  std::string out;
  for (char16_t ch : text) {
    if (ch < 0x80) {
      out.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
      out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
      out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
  }
  return out;
}

inline std::string describe(const std::vector<Cut>& cuts) {
  std::string out;
  for (const Cut& c : cuts) {
    out += c.where + ": \"" + utf8(c.text) + "\" needs " + std::to_string(c.need) + " px, has " +
           std::to_string(c.room) + "\n";
  }
  return out;
}

inline RECT intersect(RECT a, const RECT& b) {
  a.left = std::max(a.left, b.left);
  a.top = std::max(a.top, b.top);
  a.right = std::min(a.right, b.right);
  a.bottom = std::min(a.bottom, b.bottom);
  return a;
}

// The part of a window's client area inside the client areas of the windows
// it is a child of and inside `area` (screen coordinates: the part of the
// screen its top-level window may use), in its client coordinates.
inline RECT visible_client(ui::Hwnd window, const RECT& area) {
  RECT v = ui::get_client_rect(window);
  for (ui::Hwnd w = window; (ui::get_style(w) & ui::ws::child) != 0 && ui::get_parent(w); w = ui::get_parent(w)) {
    v = intersect(v, ui::map_rect(ui::get_parent(w), window, ui::get_client_rect(ui::get_parent(w))));
  }
  return intersect(v, ui::map_rect(ui::Hwnd{}, window, area));
}

// The whole screen.
inline RECT screen_area() {
  const ui::ScreenInfo s = ui::screen_info();
  return RECT{0, 0, s.width, s.height};
}

// The text a draw_text call shows: the mnemonic marks taken out.
inline std::u16string shown_text(const ui::CanvasRecord& r) {
  if (r.flags & ui::dt::no_prefix) return r.text;
  std::u16string out;
  for (std::size_t i = 0; i < r.text.size(); ++i) {
    if (r.text[i] == u'&' && i + 1 < r.text.size()) ++i;
    out.push_back(r.text[i]);
  }
  return out;
}

struct Check {
  std::string where;
  int min_top = INT32_MIN;     // texts drawn above this line are left out (a list's header)
  bool on_screen = true;       // the box must be where the screen shows it
  RECT area = screen_area();   // the part of the screen that shows it
};

// Adds to `out` every text of one paint of `window` (itself, not its
// children) that does not show whole.
inline void check_paint(ui::Hwnd window, const Check& check, std::vector<Cut>& out) {
  ui::FontEngine& engine = ui::font_engine();
  const RECT visible = visible_client(window, check.area);
  for (const ui::CanvasRecord& r : ui::scripted::record_paint(window)) {
    if (r.op != ui::CanvasOp::draw_text || (r.flags & ui::dt::calc_rect) || r.rect.top < check.min_top) continue;
    const std::u16string text = shown_text(r);
    if (text.find_first_not_of(u' ') == std::u16string::npos) continue;
    const auto cut = [&](const std::string& why, int need, int room) {
      out.push_back(Cut{check.where + why, text, need, room, -1, -1, r.rect});
    };
    const ui::Font font(r.font);
    const int room = r.rect.right - r.rect.left;
    const bool wraps = (r.flags & ui::dt::word_break) && !(r.flags & ui::dt::single_line);
    int width = 0;
    int height = engine.metrics(font).height;
    if (wraps) {
      // Each word must fit a line and the lines the box.
      std::size_t i = 0;
      while (i <= text.size()) {
        std::size_t j = text.find(u' ', i);
        if (j == std::u16string::npos) j = text.size();
        const int w = engine.text_width(font, std::u16string_view(text).substr(i, j - i));
        if (w > room) cut(" (a word)", w, room);
        i = j + 1;
      }
      ui::RecordingCanvas canvas;
      canvas.select_font(&font);
      RECT calc = r.rect;
      height = canvas.draw_text(text, calc, r.flags | ui::dt::calc_rect);
      width = calc.right - calc.left;
      if (height > r.rect.bottom - r.rect.top) cut(" (its lines)", height, r.rect.bottom - r.rect.top);
    } else {
      width = engine.text_width(font, text);
      if (width > room) {
        cut("", width, room);
        continue;
      }
    }
    if (!check.on_screen) continue;
    // Where the text lands, by its alignment.
    RECT box{r.rect.left, r.rect.top, r.rect.left + width, r.rect.top + height};
    if (r.flags & ui::dt::right) box = RECT{r.rect.right - width, box.top, r.rect.right, box.bottom};
    if (r.flags & ui::dt::center) {
      box.left = r.rect.left + (room - width) / 2;
      box.right = box.left + width;
    }
    if ((r.flags & ui::dt::single_line) && (r.flags & ui::dt::vcenter)) {
      box.top = r.rect.top + (r.rect.bottom - r.rect.top - height) / 2;
      box.bottom = box.top + height;
    }
    if (box.left < visible.left || box.right > visible.right) {
      cut(" (past the visible area)", box.right - box.left,
          std::max(0, std::min(box.right, visible.right) - std::max(box.left, visible.left)));
    } else if (box.top < visible.top || box.bottom > visible.bottom) {
      cut(" (above or below the visible area)", box.bottom - box.top,
          std::max(0, std::min(box.bottom, visible.bottom) - std::max(box.top, visible.top)));
    }
  }
}

// Every cell of a report list that does not show whole, with its row and
// column: the list is widened and lengthened for the check so that every
// column and row is painted, then put back.
inline std::vector<Cut> cut_cells(ui::Hwnd list, const std::string& where) {
  const ui::ListViewControl lv{list};
  std::vector<Cut> out;
  if (lv.item_count() == 0) return out;
  const RECT was = ui::map_rect(ui::Hwnd{}, ui::get_parent(list), ui::get_window_rect(list));
  std::vector<int> starts;
  int width = 0;
  for (int c = 0; c < lv.column_count(); ++c) {
    starts.push_back(width);
    width += lv.column_width(c);
  }
  const RECT first = lv.item_rect(0);
  const int row = first.bottom - first.top;
  ui::move_window(list, was.left, was.top, width + 40, first.top + row * (lv.item_count() + 1) + 40, false);
  lv.ensure_visible(0);
  const int top = lv.item_rect(0).top;
  check_paint(list, Check{where, top, false, screen_area()}, out);
  ui::move_window(list, was.left, was.top, was.right - was.left, was.bottom - was.top, true);
  // Each text back to its cell: the row by its line, the column by where its
  // box starts.
  for (Cut& c : out) {
    c.row = (c.box.top - top) / row;
    c.column = static_cast<int>(std::upper_bound(starts.begin(), starts.end(), c.box.left) - starts.begin()) - 1;
  }
  return out;
}

// Every label, button and text a window and its controls draw, list and
// edit contents left out (they are the user's data, not the layout's), each
// inside `area` of the screen.
inline void cut_labels(ui::Hwnd window, const std::string& where, const RECT& area, std::vector<Cut>& out) {
  if (!ui::is_window_visible(window)) return;
  const std::u16string cls = ui::get_class_name(window);
  const bool label = cls == ui::class_name::static_ || cls == ui::class_name::button;
  const bool control = cls == ui::class_name::edit || cls == ui::class_name::list_box ||
                       cls == ui::class_name::combo_box || cls == ui::class_name::list_view ||
                       cls == ui::class_name::scroll_bar || cls == ui::class_name::up_down ||
                       cls == ui::class_name::date_picker;
  if (control) return;
  const std::string name = label ? where + " / " + utf8(cls) + " " + std::to_string(ui::get_window_long(window, ui::gwl::id))
                                 : where;
  check_paint(window, Check{name, INT32_MIN, true, area}, out);
  for (ui::Hwnd child : ui::child_windows(window)) cut_labels(child, where, area, out);
}

inline std::vector<Cut> cut_labels(ui::Hwnd window, const std::string& where, const RECT& area = screen_area()) {
  std::vector<Cut> out;
  cut_labels(window, where, area, out);
  return out;
}

}  // namespace kelda::terminal::test_fit
