// Private: the popup grid of the colour control. It opens under the control
// with the stylus captured, marks the cell of the current colour, shows a
// pressed cell sunken, and on the release tells its owner 1125 (a cell: the
// colour in wParam) or 1124 (outside the popup); the owner destroys it.
//
// The band "Другие цвета..." sits below the grid: the popup is made taller
// than five rows of cells, so every cell stays reachable; pressing the band
// shows it pressed and releasing there chooses nothing (there is no
// custom-colour dialog behind it).
//
// Threading: user-interface thread. Ownership: embedded in its colour
// button; its window exists only while it is open.
#pragma once

#include <optional>
#include <vector>

#include "simple_window.h"
#include "terminal/color_select.h"
#include "ui/gdi.h"

namespace kelda::terminal {

// What the hit test answers besides a cell index.
inline constexpr int kHitNone = -1;
inline constexpr int kHitBand = -2;

class ColorGridPopup : public SimpleWindow {
 public:
  ColorGridPopup() = default;
  ~ColorGridPopup() override;

  // Opens the popup with its top-left at `screen` and marks the cell of
  // `current` (none when no entry has that colour).
  bool open(ui::Hwnd owner, POINT screen, COLORREF current, const DisplayScale& scale);
  bool is_open() const { return static_cast<bool>(hwnd()); }
  // The popup's window size for a scale.
  static SIZE window_size(const DisplayScale& scale);
  // A client point: a cell index, kHitBand, or kHitNone.
  int hit_test(int x, int y) const;
  int marked() const { return marked_; }
  COLORREF chosen() const { return chosen_; }

  void on_size(WPARAM type, int width, int height) override;
  void on_lbutton_up(WPARAM keys, int x, int y) override;
  void on_lbutton_down(WPARAM keys, int x, int y) override;
  void on_paint(ui::Canvas& canvas, const ui::PaintSession& paint) override;
  LRESULT on_create(const ui::CreateStruct& create) override;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  // The logical palette the popup builds, one entry per colour. The screen
  // has none to realise it on, so drawing uses the colours as they are.
  struct PaletteEntry {
    BYTE red, green, blue, flags;
  };
  struct Palette {
    WORD version = 0;
    std::vector<PaletteEntry> entries;
  };
  RECT cell_rect(int index) const;
  RECT area_of(int marked) const;
  void draw_cell(ui::Canvas& canvas, int index) const;
  void draw_band(ui::Canvas& canvas) const;
  void set_marked(int index);

  ui::Hwnd owner_;
  int marked_ = kHitNone;
  COLORREF chosen_ = 0;
  SIZE cell_{13, 13};
  int edge_ = 2;
  DisplayScale scale_;
  RECT band_{};
  std::optional<ui::Font> font_;
  Palette palette_;
};

}  // namespace kelda::terminal
