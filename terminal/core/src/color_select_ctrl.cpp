// The colour-selection control: the outer window class, its inner colour
// button with the "..." button, the colour table and the decimal text form.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "color_grid_popup.h"
#include "simple_window.h"
#include "terminal/color_select.h"
#include "ui/controls.h"
#include "ui/screen.h"

namespace kelda::terminal {
namespace {

constexpr std::array<NamedColour, kColorTableSize> kColorTable = {{
    {"Black", 0x000000},        {"Brown", 0x002AA5},        {"Dark Olive Green", 0x404000},
    {"Dark Green", 0x005500},   {"Dark Teal", 0x5E0000},    {"Dark blue", 0x8B0000},
    {"Indigo", 0x82004B},       {"Dark grey", 0x282828},    {"Dark red", 0x00008B},
    {"Orange", 0x2068FF},       {"Dark yellow", 0x008B8B},  {"Green", 0x009300},
    {"Teal", 0x8E8E38},         {"Blue", 0xFF0000},         {"Blue-grey", 0xC07B7B},
    {"Grey - 40", 0x666666},    {"Red", 0x0000FF},          {"Light orange", 0x5BADFF},
    {"Lime", 0x32CD32},         {"Sea green", 0x71B33C},    {"Aqua", 0xD4FF7F},
    {"Light blue", 0xC09E7D},   {"Violet", 0x800080},       {"Grey - 50", 0x7F7F7F},
    {"Pink", 0xCBC0FF},         {"Gold", 0x00D7FF},         {"Yellow", 0x00FFFF},
    {"Bright green", 0x00FF00}, {"Turquoise", 0xD0E040},    {"Skyblue", 0xFFFFC0},
    {"Plum", 0x480048},         {"Light grey", 0xC0C0C0},   {"Rose", 0xE1E4FF},
    {"Tan", 0x8CB4D2},          {"Light yellow", 0xE0FFFF}, {"Pale green", 0x98FB98},
    {"Pale turquoise", 0xEEEEAF}, {"Pale blue", 0x8B8368},  {"Lavender", 0xFAE6E6},
    {"White", 0xFFFFFF},
}};

// The inner colour button: the colour field and the "..." button that opens
// the popup grid.
class ColorButton final : public SimpleWindow {
 public:
  ~ColorButton() override {
    popup_.destroy();
    destroy();
  }

  COLORREF colour() const { return colour_; }
  void set_colour(COLORREF colour) {
    colour_ = colour;
    repaint();
  }
  void enable(bool on) {
    if (dots_) ui::enable_window(dots_, on);
    if (!on) colour_ = kColorSelectDisabled;
    repaint();
  }

  LRESULT on_create(const ui::CreateStruct&) override {
    scale_ = init_dpi_scale();
    const RECT client = ui::get_client_rect(hwnd());
    ui::CreateParams p;
    p.class_name = ui::class_name::button;
    p.text = u"...";
    p.style = ui::ws::child | ui::ws::visible;
    p.rect = square_at_right(client.right, client.bottom);
    p.parent = hwnd();
    dots_ = ui::create_window(p);
    return dots_ ? 0 : -1;
  }

  void on_size(WPARAM, int width, int height) override {
    const RECT r = square_at_right(width, height);
    if (dots_) ui::move_window(dots_, r.left, r.top, r.right - r.left, r.bottom - r.top, false);
  }

  void on_paint(ui::Canvas& canvas, const ui::PaintSession&) override {
    canvas.fill_rect(ui::get_client_rect(hwnd()), ui::Brush::solid(colour_));
  }

  void on_command(int, ui::Hwnd control, int code) override {
    if (control == dots_ && code == static_cast<int>(ui::bn::clicked)) open_popup();
  }

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == kColorPopupCancel) {
      popup_.destroy();
      return 0;
    }
    if (msg == kColorPopupChosen) {
      colour_ = static_cast<COLORREF>(wparam);
      popup_.destroy();
      repaint();
      return 0;
    }
    return SimpleWindow::window_proc(msg, wparam, lparam);
  }

 private:
  static RECT square_at_right(int width, int height) { return {width - height, 0, width, height}; }

  void repaint() {
    if (!hwnd()) return;
    ui::invalidate_rect(hwnd(), nullptr, true);
    ui::update_window(hwnd());
  }

  // Below the control, or above it when the screen ends first.
  void open_popup() {
    if (popup_.is_open()) return;
    const RECT r = ui::get_window_rect(hwnd());
    const SIZE size = ColorGridPopup::window_size(scale_);
    const ui::ScreenInfo screen = ui::screen_info();
    POINT at{r.left, r.bottom};
    if (at.y + size.cy > screen.height && r.top - size.cy >= 0) at.y = r.top - size.cy;
    if (at.x + size.cx > screen.width) at.x = std::max(0, screen.width - size.cx);
    popup_.open(hwnd(), at, colour_, scale_);
  }

  COLORREF colour_ = kColorSelectInitial;
  ui::Hwnd dots_;
  DisplayScale scale_;
  ColorGridPopup popup_;
};

ColorButton* button_of(ui::Hwnd control) {
  return reinterpret_cast<ColorButton*>(ui::get_window_long(control, ui::gwl::user_data));
}

LRESULT color_select_proc(ui::Hwnd hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case ui::wm::create: {
      auto button = std::make_unique<ColorButton>();
      if (!button->create_child(u"", ui::ws::child | ui::ws::visible | ui::ws::border, ui::get_client_rect(hwnd),
                                hwnd)) {
        return -1;
      }
      ui::set_window_long(hwnd, ui::gwl::user_data, reinterpret_cast<intptr_t>(button.release()));
      ui::set_window_long(hwnd, ui::gwl::ex_style,
                          ui::get_window_long(hwnd, ui::gwl::ex_style) | static_cast<intptr_t>(ui::ws_ex::client_edge));
      return 0;
    }
    case ui::wm::size:
      if (ColorButton* b = button_of(hwnd)) {
        ui::move_window(b->hwnd(), 0, 0, ui::lo_word(static_cast<uintptr_t>(lparam)),
                        ui::hi_word(static_cast<uintptr_t>(lparam)), false);
      }
      return 0;
    case ui::wm::enable:
      if (ColorButton* b = button_of(hwnd)) b->enable(wparam != 0);
      return 0;
    case ui::wm::set_text:
      // Answers true, so that set_window_text reports the change it made.
      if (ColorButton* b = button_of(hwnd)) {
        b->set_colour(colour_from_text(lparam != 0 ? reinterpret_cast<const char16_t*>(lparam) : u""));
      }
      return 1;
    case ui::wm::get_text_length:
    case ui::wm::get_text: {
      const ColorButton* b = button_of(hwnd);
      const std::u16string text = colour_to_text(b != nullptr ? b->colour() : kColorSelectInitial);
      if (msg == ui::wm::get_text_length) return static_cast<LRESULT>(text.size());
      // Never more than the caller's buffer holds, terminator included.
      if (wparam == 0 || lparam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(text.size(), wparam - 1);
      auto* out = reinterpret_cast<char16_t*>(lparam);
      text.copy(out, n);
      out[n] = u'\0';
      return static_cast<LRESULT>(n);
    }
    case ui::wm::nc_destroy: {
      const std::unique_ptr<ColorButton> owned(button_of(hwnd));
      ui::set_window_long(hwnd, ui::gwl::user_data, 0);
      break;
    }
    default:
      break;
  }
  return ui::def_window_proc(hwnd, msg, wparam, lparam);
}

}  // namespace

const std::array<NamedColour, kColorTableSize>& color_table() { return kColorTable; }

DisplayScale init_dpi_scale() {
  return {ui::scale_x(), ui::scale_y(), ui::get_system_metrics(ui::sm::cx_edge)};
}

int scaled(int length, double scale) { return static_cast<int>(length * scale); }

bool register_color_select_class() {
  if (ui::is_class_registered(kColorSelectClass)) return true;
  ui::WindowClass cls;
  cls.name = kColorSelectClass;
  cls.style = ui::cs::global_class | ui::cs::dblclks;  // 0x4008
  cls.proc = &color_select_proc;
  return ui::register_class(std::move(cls));
}

COLORREF colour_from_text(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  constexpr int64_t kMax = 0xFFFFFFFFll;
  constexpr int64_t kMinMagnitude = 0x80000000ll;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = std::min<int64_t>(value * 10 + (text[i] - u'0'), kMax + 1);
  }
  value = negative ? -std::min(value, kMinMagnitude) : std::min(value, kMax);
  return static_cast<COLORREF>(static_cast<uint32_t>(value));
}

std::u16string colour_to_text(COLORREF colour) {
  char out[16];
  const int n = std::snprintf(out, sizeof out, "%d", static_cast<int32_t>(colour));
  return std::u16string(out, out + (n > 0 ? n : 0));
}

}  // namespace kelda::terminal
