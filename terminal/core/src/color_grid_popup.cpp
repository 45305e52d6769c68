// The colour control's popup grid: 40 cells in rows of 8, the band below.
#include "color_grid_popup.h"

#include <algorithm>

#include "ui/canvas.h"
#include "ui/screen.h"

namespace kelda::terminal {
namespace {

constexpr int kRows = kColorTableSize / kColorGridColumns;
constexpr int kBandMargin = 10;
constexpr int kBandHeight = 25;
constexpr WORD kPaletteVersion = 0x300;
constexpr char16_t kBandText[] = u"Другие цвета...";

bool inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

RECT united(const RECT& a, const RECT& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

}  // namespace

ColorGridPopup::~ColorGridPopup() { destroy(); }

SIZE ColorGridPopup::window_size(const DisplayScale& scale) {
  const int cell_w = scaled(13, scale.horizontal);
  const int cell_h = scaled(13, scale.vertical);
  const int border = ui::get_system_metrics(ui::sm::cy_border);
  // Five rows, then a gap of one edge and the band, inside an edge all round.
  return {2 * scale.edge + kColorGridColumns * cell_w,
          2 * border + 3 * scale.edge + kRows * cell_h + scaled(kBandHeight, scale.vertical)};
}

bool ColorGridPopup::open(ui::Hwnd owner, POINT screen, COLORREF current, const DisplayScale& scale) {
  if (is_open()) return false;
  owner_ = owner;
  scale_ = scale;
  edge_ = scale.edge;
  cell_ = {scaled(13, scale.horizontal), scaled(13, scale.vertical)};
  marked_ = kHitNone;
  const SIZE size = window_size(scale);
  const DWORD style = ui::ws::popup | ui::ws::child | ui::ws::visible | ui::ws::border;  // 0xD0800000
  if (!create_popup(kColorPopupTitle, style, RECT{screen.x, screen.y, screen.x + size.cx, screen.y + size.cy},
                    owner)) {
    return false;
  }
  int match = kHitNone;
  for (int i = 0; i < kColorTableSize && match == kHitNone; ++i) {
    if (color_table()[static_cast<std::size_t>(i)].value == current) match = i;
  }
  set_marked(match);
  return true;
}

LRESULT ColorGridPopup::on_create(const ui::CreateStruct&) {
  ui::LogFont lf;
  lf.height = -10;
  lf.weight = 400;
  lf.charset = ui::kRussianCharset;
  lf.out_precision = 1;
  lf.clip_precision = 2;
  lf.quality = 1;
  lf.pitch_and_family = ui::ff::variable_pitch | ui::ff::swiss;
  lf.face_name[0] = u'T';  // the face "T"; the font engine maps it by pitch and family
  font_.emplace(lf);
  ui::set_capture(hwnd());
  palette_.version = kPaletteVersion;
  palette_.entries.clear();
  for (const NamedColour& c : color_table()) {
    palette_.entries.push_back({static_cast<BYTE>(c.value & 0xFF), static_cast<BYTE>((c.value >> 8) & 0xFF),
                        static_cast<BYTE>((c.value >> 16) & 0xFF), 0});
  }
  return 0;
}

LRESULT ColorGridPopup::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == ui::wm::destroy && ui::get_capture() == hwnd()) ui::release_capture();
  return SimpleWindow::window_proc(msg, wparam, lparam);
}

void ColorGridPopup::on_size(WPARAM, int width, int height) {
  const int margin = scaled(kBandMargin, scale_.horizontal);
  band_ = {margin, (height - edge_) - scaled(kBandHeight, scale_.vertical), width - margin, height - edge_};
}

RECT ColorGridPopup::cell_rect(int index) const {
  const int column = index % kColorGridColumns;
  const int row = index / kColorGridColumns;
  const int left = edge_ + column * cell_.cx;
  const int top = edge_ + row * cell_.cy;
  return {left, top, left + cell_.cx, top + cell_.cy};
}

int ColorGridPopup::hit_test(int x, int y) const {
  if (!is_open() || !inside(ui::get_client_rect(hwnd()), x, y)) return kHitNone;
  if (inside(band_, x, y)) return kHitBand;
  // Cells start one edge in; a point in the edge or right of the last
  // column is no cell (it must not wrap into the next row).
  if (x < edge_ || y < edge_ || cell_.cx <= 0 || cell_.cy <= 0) return kHitNone;
  const int column = (x - edge_) / cell_.cx;
  const int row = (y - edge_) / cell_.cy;
  if (column >= kColorGridColumns) return kHitNone;
  const int index = row * kColorGridColumns + column;
  return index < kColorTableSize ? index : kHitNone;
}

RECT ColorGridPopup::area_of(int marked) const {
  if (marked == kHitBand) return band_;
  if (marked >= 0 && marked < kColorTableSize) return cell_rect(marked);
  return {};
}

void ColorGridPopup::set_marked(int index) {
  const RECT before = area_of(marked_);
  marked_ = index;
  const RECT now = area_of(index);
  const bool had = before.right > before.left;
  const bool has = now.right > now.left;
  if (!had && !has) return;
  const RECT dirty = had && has ? united(before, now) : (had ? before : now);
  ui::invalidate_rect(hwnd(), &dirty, false);
  ui::update_window(hwnd());
}

void ColorGridPopup::draw_cell(ui::Canvas& canvas, int index) const {
  const RECT r = cell_rect(index);
  if (index == marked_) canvas.draw_edge(r, ui::bdr::sunken_outer, ui::bf::rect);
  const int inset = edge_ + 1;
  const ui::Pen pen{ui::ps::solid, 1, ui::get_sys_color(ui::color::btn_shadow)};
  const ui::Brush brush = ui::Brush::solid(color_table()[static_cast<std::size_t>(index)].value);
  const ui::Pen* old_pen = canvas.select_pen(&pen);
  const ui::Brush* old_brush = canvas.select_brush(&brush);
  canvas.rectangle(r.left + inset, r.top + inset, r.right - inset, r.bottom - inset);
  canvas.select_brush(old_brush);
  canvas.select_pen(old_pen);
}

void ColorGridPopup::draw_band(ui::Canvas& canvas) const {
  canvas.fill_rect(band_, ui::get_sys_color_brush(ui::color::btn_face));
  canvas.draw_edge(band_, ui::bdr::sunken, ui::bf::rect);
  const ui::Font* old_font = font_ ? canvas.select_font(&*font_) : nullptr;
  const int old_mode = canvas.set_bk_mode(ui::bk::transparent);
  RECT text = band_;
  canvas.draw_text(kBandText, text, ui::dt::center | ui::dt::vcenter | ui::dt::single_line);
  canvas.set_bk_mode(old_mode);
  if (old_font != nullptr) canvas.select_font(old_font);
}

void ColorGridPopup::on_paint(ui::Canvas& canvas, const ui::PaintSession&) {
  canvas.fill_rect(ui::get_client_rect(hwnd()), ui::get_sys_color_brush(ui::color::btn_face));
  for (int i = 0; i < kColorTableSize; ++i) draw_cell(canvas, i);
  if (marked_ == kHitBand) draw_band(canvas);
}

void ColorGridPopup::on_lbutton_down(WPARAM, int x, int y) { set_marked(hit_test(x, y)); }

void ColorGridPopup::on_lbutton_up(WPARAM, int x, int y) {
  if (!inside(ui::get_client_rect(hwnd()), x, y)) {
    ui::release_capture();
    ui::send_message(owner_, kColorPopupCancel);
    return;
  }
  const int hit = hit_test(x, y);
  if (hit >= 0) {
    chosen_ = color_table()[static_cast<std::size_t>(hit)].value;
    ui::release_capture();
    ui::send_message(owner_, kColorPopupChosen, chosen_);
  } else if (hit == kHitBand) {
    marked_ = kHitNone;
  }
}

}  // namespace kelda::terminal
