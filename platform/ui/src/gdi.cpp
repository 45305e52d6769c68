// Drawing objects: stock objects, system colours, fonts, bitmaps, regions.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include "core.h"
#include "ui/gdi.h"
#include "ui/screen.h"

namespace kelda::ui {

const Pen& black_pen() {
  static const Pen p{ps::solid, 1, 0x000000};
  return p;
}
const Pen& white_pen() {
  static const Pen p{ps::solid, 1, 0xFFFFFF};
  return p;
}
const Pen& null_pen() {
  static const Pen p{ps::null, 1, 0};
  return p;
}
const Brush& white_brush() {
  static const Brush b = Brush::solid(0xFFFFFF);
  return b;
}
const Brush& black_brush() {
  static const Brush b = Brush::solid(0x000000);
  return b;
}
const Brush& null_brush() {
  static const Brush b = Brush::hollow();
  return b;
}

namespace {
constexpr COLORREF rgb(int r, int g, int b) { return RGB(r, g, b); }
constexpr COLORREF kSysColors[color::count] = {
    rgb(212, 208, 200),  // scrollbar
    rgb(58, 110, 165),   // background (desktop)
    rgb(10, 36, 106),    // active caption
    rgb(128, 128, 128),  // inactive caption
    rgb(255, 255, 255),  // menu
    rgb(255, 255, 255),  // window
    rgb(0, 0, 0),        // window frame
    rgb(0, 0, 0),        // menu text
    rgb(0, 0, 0),        // window text
    rgb(255, 255, 255),  // caption text
    rgb(212, 208, 200),  // active border
    rgb(212, 208, 200),  // inactive border
    rgb(128, 128, 128),  // app workspace
    rgb(10, 36, 106),    // highlight
    rgb(255, 255, 255),  // highlight text
    rgb(212, 208, 200),  // button face
    rgb(128, 128, 128),  // button shadow
    rgb(128, 128, 128),  // grey text
    rgb(0, 0, 0),        // button text
    rgb(212, 208, 200),  // inactive caption text
    rgb(255, 255, 255),  // button highlight
    rgb(64, 64, 64),     // 3-D dark shadow
    rgb(212, 208, 200),  // 3-D light
    rgb(0, 0, 0),        // info text
    rgb(255, 255, 225),  // info background
    rgb(212, 208, 200),  // static background
    rgb(0, 0, 0),        // static text
};

int clamp_index(int index) {
  index &= ~color::index_flag;
  return index >= 0 && index < color::count ? index : color::window;
}
}  // namespace

COLORREF get_sys_color(int index) { return kSysColors[clamp_index(index)]; }

const Brush& get_sys_color_brush(int index) {
  static const auto brushes = [] {
    std::array<Brush, color::count> b{};
    for (int i = 0; i < color::count; ++i) b[i] = Brush::solid(kSysColors[i]);
    return b;
  }();
  return brushes[clamp_index(index)];
}

// --- LogFont and Font -------------------------------------------------------------------------
void LogFont::set_face(std::u16string_view face) {
  std::memset(face_name, 0, sizeof(face_name));
  size_t n = std::min<size_t>(face.size(), 31);
  std::memcpy(face_name, face.data(), n * sizeof(char16_t));
}

std::u16string_view LogFont::face() const {
  size_t n = 0;
  while (n < 32 && face_name[n] != 0) ++n;
  return std::u16string_view(face_name, n);
}

bool LogFont::operator==(const LogFont& o) const { return std::memcmp(this, &o, sizeof(LogFont)) == 0; }

struct Font::Data {
  LogFont lf;
  int pixel = 11;
  std::vector<std::u16string> families;
  mutable std::shared_ptr<void> slot;
};

namespace {
int screen_dpi() { return detail::g_core ? detail::g_core->screen.dpi_y : 96; }

enum class FaceKind { sans, serif, mono };

FaceKind kind_by_name(std::u16string_view name) {
  const std::u16string face = detail::to_lower(name);
  auto has = [&](std::u16string_view s) { return face.find(s) != std::u16string::npos; };
  if (has(u"courier") || has(u"mono") || has(u"console") || has(u"fixed") || has(u"terminal")) return FaceKind::mono;
  const bool sans = has(u"sans");
  if (!sans && (has(u"times") || has(u"serif") || has(u"roman") || has(u"georgia"))) return FaceKind::serif;
  return FaceKind::sans;
}

FaceKind kind_of(const LogFont& lf) {
  if ((lf.pitch_and_family & 0x03) == ff::fixed_pitch) return FaceKind::mono;
  switch (lf.pitch_and_family & 0xF0) {
    case ff::roman: return FaceKind::serif;
    case ff::modern: return FaceKind::mono;
    case ff::swiss:
    case ff::script:
    case ff::decorative: return FaceKind::sans;
    default: return kind_by_name(lf.face());
  }
}

// The handheld's dialog face, whose widths the dialog templates were made for.
bool is_dialog_face(std::u16string_view name) {
  const std::u16string face = detail::to_lower(name);
  return face == u"tahoma" || face == u"ms shell dlg" || face == u"ms shell dlg 2";
}
}  // namespace

std::vector<std::u16string> font_families(const LogFont& lf) {
  switch (kind_of(lf)) {
    case FaceKind::mono: return {u"DejaVu Sans Mono"};
    case FaceKind::serif: return {u"DejaVu Serif"};
    case FaceKind::sans: break;
  }
  if (is_dialog_face(lf.face())) return {u"DejaVu Sans Condensed", u"DejaVu Sans"};
  return {u"Liberation Sans Narrow", u"DejaVu Sans Condensed", u"DejaVu Sans"};
}

namespace {
LogFont system_log_font(int dpi) {
  LogFont lf;
  lf.height = -static_cast<int32_t>(std::lround(8.0 * dpi / 72.0));
  lf.weight = fw::normal;
  lf.charset = kDefaultCharset;
  lf.set_face(u"Tahoma");
  return lf;
}
}  // namespace

Font::Font() : Font(system_log_font(screen_dpi())) {}

Font::Font(const LogFont& lf) : data_(std::make_shared<Data>()) {
  data_->lf = lf;
  if (lf.height < 0) {
    data_->pixel = -lf.height;
  } else if (lf.height > 0) {
    data_->pixel = std::max(1, static_cast<int>(std::lround(lf.height * 0.86)));
  } else {
    data_->pixel = static_cast<int>(std::lround(8.0 * screen_dpi() / 72.0));
  }
  data_->families = font_families(lf);
}

const LogFont& Font::log_font() const { return data_->lf; }
int Font::pixel_size() const { return data_->pixel; }
const std::vector<std::u16string>& Font::mapped_families() const { return data_->families; }
uintptr_t Font::handle() const { return reinterpret_cast<uintptr_t>(this); }
const Font* Font::from_handle(uintptr_t handle) { return reinterpret_cast<const Font*>(handle); }
std::shared_ptr<void>& Font::backend_slot() const { return data_->slot; }

const Font& system_font() {
  static std::mutex m;
  static std::map<int, Font> fonts;
  std::lock_guard lock(m);
  int dpi = screen_dpi();
  auto it = fonts.find(dpi);
  if (it == fonts.end()) it = fonts.emplace(dpi, Font(system_log_font(dpi))).first;
  return it->second;
}

Font point_font(std::u16string_view face, int points, bool bold) {
  LogFont lf;
  lf.height = -static_cast<int32_t>(std::lround(points * screen_dpi() / 72.0));
  lf.weight = bold ? fw::bold : fw::normal;
  lf.charset = kRussianCharset;
  lf.set_face(face);
  return Font(lf);
}

// --- Bitmap -------------------------------------------------------------------------------------
Bitmap::Bitmap(int width, int height, uint32_t fill)
    : width_(std::max(0, width)), height_(std::max(0, height)),
      pixels_(static_cast<size_t>(width_) * height_, fill) {}

Bitmap Bitmap::from_pixel_art(const std::vector<std::string_view>& rows,
                              const std::vector<std::pair<char, uint32_t>>& palette) {
  int w = 0;
  for (auto r : rows) w = std::max<int>(w, static_cast<int>(r.size()));
  Bitmap b(w, static_cast<int>(rows.size()), 0x00000000u);
  for (int y = 0; y < b.height(); ++y) {
    for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
      for (auto& [ch, argb] : palette) {
        if (ch == rows[y][x]) {
          b.set_pixel(x, y, argb);
          break;
        }
      }
    }
  }
  return b;
}

// --- Region ------------------------------------------------------------------------------------------
Region::Region(const RECT& r) {
  if (!is_rect_empty(r)) rects_.push_back(r);
}

RECT Region::bounds() const {
  if (rects_.empty()) return RECT{0, 0, 0, 0};
  RECT b = rects_.front();
  for (const RECT& r : rects_) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

bool Region::contains(int x, int y) const {
  for (const RECT& r : rects_)
    if (point_in_rect(r, POINT{x, y})) return true;
  return false;
}

bool Region::intersects(const RECT& r) const {
  for (const RECT& a : rects_)
    if (!is_rect_empty(intersect_rects(a, r))) return true;
  return false;
}

void Region::subtract(const RECT& s) {
  if (is_rect_empty(s)) return;
  std::vector<RECT> out;
  out.reserve(rects_.size() + 4);
  for (const RECT& r : rects_) {
    RECT i = intersect_rects(r, s);
    if (is_rect_empty(i)) {
      out.push_back(r);
      continue;
    }
    if (r.top < i.top) out.push_back(RECT{r.left, r.top, r.right, i.top});
    if (i.bottom < r.bottom) out.push_back(RECT{r.left, i.bottom, r.right, r.bottom});
    if (r.left < i.left) out.push_back(RECT{r.left, i.top, i.left, i.bottom});
    if (i.right < r.right) out.push_back(RECT{i.right, i.top, r.right, i.bottom});
  }
  rects_.swap(out);
}

void Region::add(const RECT& r) {
  if (is_rect_empty(r)) return;
  // Already covered by one rectangle: nothing to do (the common case of
  // repeated invalidations).
  for (const RECT& a : rects_)
    if (a.left <= r.left && a.top <= r.top && a.right >= r.right && a.bottom >= r.bottom) return;
  Region piece(r);
  for (const RECT& a : rects_) piece.subtract(a);
  rects_.insert(rects_.end(), piece.rects_.begin(), piece.rects_.end());
  if (rects_.size() > 128) {
    // Too fragmented to be worth keeping exact: keep the bounding box.
    RECT b = bounds();
    rects_.assign(1, b);
  }
}

void Region::intersect(const RECT& s) {
  std::vector<RECT> out;
  for (const RECT& r : rects_) {
    RECT i = intersect_rects(r, s);
    if (!is_rect_empty(i)) out.push_back(i);
  }
  rects_.swap(out);
}

void Region::add(const Region& other) {
  for (const RECT& r : other.rects_) add(r);
}

void Region::subtract(const Region& other) {
  for (const RECT& r : other.rects_) subtract(r);
}

void Region::intersect(const Region& other) {
  std::vector<RECT> out;
  for (const RECT& a : rects_) {
    for (const RECT& b : other.rects_) {
      RECT i = intersect_rects(a, b);
      if (!is_rect_empty(i)) out.push_back(i);
    }
  }
  rects_.swap(out);
}

void Region::offset(int dx, int dy) {
  for (RECT& r : rects_) r = offset_rect(r, dx, dy);
}

bool Region::operator==(const Region& other) const {
  Region a = *this;
  a.subtract(other);
  Region b = other;
  b.subtract(*this);
  return a.empty() && b.empty();
}

}  // namespace kelda::ui
