// Drawing objects of the canvas: pens, brushes, fonts (from a LOGFONT-like
// record), pixel bitmaps, regions, stock objects and system colours, with the
// numbered constants of the drawing calls (pen styles, text flags, mix modes,
// raster operations, edges).
//
// Ownership: objects are plain C++ values owned by whoever made them. A canvas
// keeps a pointer to what is selected into it; the object must outlive the
// selection (as with the platform's drawing objects). Where a message carries
// an object (a font with wm::set_font, a brush answered to a colour request),
// the word holds the object's address, valid while its owner keeps it.
// Threading: objects are immutable after construction except Region and
// Bitmap, which are not synchronised; system colours are read-only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/export.h"
#include "platform/win_types.h"

namespace kelda::ui {

// --- Constants ------------------------------------------------------------------
namespace ps {  // pen styles
inline constexpr int solid = 0;
inline constexpr int dash = 1;
inline constexpr int dot = 2;
inline constexpr int dash_dot = 3;
inline constexpr int null = 5;
}  // namespace ps

namespace bk {  // background modes of text
inline constexpr int transparent = 1;
inline constexpr int opaque = 2;
}  // namespace bk

namespace r2 {  // line mix modes
inline constexpr int black = 1;
inline constexpr int not_pen = 4;
inline constexpr int nop = 11;
inline constexpr int not_ = 6;
inline constexpr int xor_pen = 7;
inline constexpr int not_xor_pen = 10;
inline constexpr int copy_pen = 13;
inline constexpr int white = 16;
}  // namespace r2

namespace rop {  // raster operations of block copies
inline constexpr DWORD src_copy = 0x00CC0020;
inline constexpr DWORD src_paint = 0x00EE0086;
inline constexpr DWORD src_and = 0x008800C6;
inline constexpr DWORD src_invert = 0x00660046;
inline constexpr DWORD pat_copy = 0x00F00021;
inline constexpr DWORD pat_invert = 0x005A0049;
inline constexpr DWORD dst_invert = 0x00550009;
inline constexpr DWORD blackness = 0x00000042;
inline constexpr DWORD whiteness = 0x00FF0062;
}  // namespace rop

namespace dt {  // text layout flags
inline constexpr UINT top = 0x0000;
inline constexpr UINT left = 0x0000;
inline constexpr UINT center = 0x0001;
inline constexpr UINT right = 0x0002;
inline constexpr UINT vcenter = 0x0004;
inline constexpr UINT bottom = 0x0008;
inline constexpr UINT word_break = 0x0010;
inline constexpr UINT single_line = 0x0020;
inline constexpr UINT expand_tabs = 0x0040;
inline constexpr UINT no_clip = 0x0100;
inline constexpr UINT calc_rect = 0x0400;
inline constexpr UINT no_prefix = 0x0800;
inline constexpr UINT end_ellipsis = 0x8000;
}  // namespace dt

namespace bdr {  // edge parts
inline constexpr UINT raised_outer = 0x0001;
inline constexpr UINT sunken_outer = 0x0002;
inline constexpr UINT raised_inner = 0x0004;
inline constexpr UINT sunken_inner = 0x0008;
inline constexpr UINT raised = 0x0005;  // edge_raised
inline constexpr UINT sunken = 0x000A;  // edge_sunken
inline constexpr UINT etched = 0x0006;  // edge_etched
inline constexpr UINT bump = 0x0009;
}  // namespace bdr

namespace bf {  // which sides of an edge
inline constexpr UINT left = 0x0001;
inline constexpr UINT top = 0x0002;
inline constexpr UINT right = 0x0004;
inline constexpr UINT bottom = 0x0008;
inline constexpr UINT rect = 0x000F;
inline constexpr UINT middle = 0x0800;
}  // namespace bf

namespace fw {  // font weights
inline constexpr int32_t normal = 400;
inline constexpr int32_t bold = 700;
}  // namespace fw

inline constexpr BYTE kRussianCharset = 204;
inline constexpr BYTE kDefaultCharset = 1;

// --- Pens and brushes ---------------------------------------------------------------
struct Pen {
  int style = ps::solid;
  int width = 1;  // 0 and 1 both draw one pixel
  COLORREF color = 0;
  bool operator==(const Pen&) const = default;
};

struct Brush {
  enum class Kind : uint8_t { solid, null };
  Kind kind = Kind::solid;
  COLORREF color = 0;
  bool operator==(const Brush&) const = default;
  static Brush solid(COLORREF c) { return Brush{Kind::solid, c}; }
  static Brush hollow() { return Brush{Kind::null, 0}; }
};

// The stock objects.
KELDA_UI_API const Pen& black_pen();
KELDA_UI_API const Pen& white_pen();
KELDA_UI_API const Pen& null_pen();
KELDA_UI_API const Brush& white_brush();
KELDA_UI_API const Brush& black_brush();
KELDA_UI_API const Brush& null_brush();

// System colours (indices in ui/types.h, namespace color) and one brush per
// colour that lives for the whole process.
KELDA_UI_API COLORREF get_sys_color(int index);
KELDA_UI_API const Brush& get_sys_color_brush(int index);

// --- Fonts ------------------------------------------------------------------------
// The font request record, laid out as the platform's wide LOGFONT (92 bytes)
// so records that embed it keep their size.
struct KELDA_UI_API LogFont {
  int32_t height = 0;  // < 0: character height in pixels; > 0: cell height; 0: default
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;  // 0 and 400 normal, 700 bold
  BYTE italic = 0;
  BYTE underline = 0;
  BYTE strike_out = 0;
  BYTE charset = 0;
  BYTE out_precision = 0;
  BYTE clip_precision = 0;
  BYTE quality = 0;
  BYTE pitch_and_family = 0;
  char16_t face_name[32] = {};

  void set_face(std::u16string_view face);
  std::u16string_view face() const;
  bool operator==(const LogFont&) const;
};
static_assert(sizeof(LogFont) == 92);

// Pitch and family bits of LogFont::pitch_and_family.
namespace ff {
inline constexpr BYTE fixed_pitch = 0x01;
inline constexpr BYTE variable_pitch = 0x02;
inline constexpr BYTE dont_care = 0x00;
inline constexpr BYTE roman = 0x10;
inline constexpr BYTE swiss = 0x20;
inline constexpr BYTE modern = 0x30;
inline constexpr BYTE script = 0x40;
inline constexpr BYTE decorative = 0x50;
}  // namespace ff

struct TextMetrics {
  int32_t height = 0;
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t internal_leading = 0;
  int32_t external_leading = 0;
  int32_t ave_char_width = 0;
  int32_t max_char_width = 0;
  int32_t weight = 0;
};

// A font object: a LogFont plus the installed face it maps to (chosen by the
// layer's font engine when first used). Copyable; copies share one object.
class KELDA_UI_API Font {
 public:
  Font();  // the system font
  explicit Font(const LogFont& lf);
  const LogFont& log_font() const;
  // Pixel size the font is drawn at (from the height rule above).
  int pixel_size() const;
  bool bold() const { return log_font().weight >= 600; }
  // The installed families the font engines draw the face with, best first
  // (font_families() below); the last one is always there.
  const std::vector<std::u16string>& mapped_families() const;
  const std::u16string& mapped_family() const { return mapped_families().front(); }
  // Address used as the handle word in messages; from_handle() gives the
  // object back while its owner keeps it alive.
  uintptr_t handle() const;
  static const Font* from_handle(uintptr_t handle);
  bool operator==(const Font& other) const { return data_ == other.data_; }
  // A slot where a backend caches its own font object.
  std::shared_ptr<void>& backend_slot() const;

 private:
  struct Data;
  std::shared_ptr<Data> data_;
};

// The system font (the handheld's 8-point sans-serif, scaled to the screen).
KELDA_UI_API const Font& system_font();
// A font for a face and a point size at the screen's resolution.
KELDA_UI_API Font point_font(std::u16string_view face, int points, bool bold = false);

// The families a face is drawn with, best first. The kind of face comes from
// the pitch and family bits (swiss: sans serif, roman: serif, modern or fixed
// pitch: monospaced), and from the name only when they say nothing. The
// layouts were made for the handheld's narrow faces: the dialog face
// ("Tahoma", "MS Shell Dlg") becomes "DejaVu Sans Condensed", whose dialog
// base units are the handheld's (6 x 13 at 8 points and 96 dots per inch);
// every other sans face (the tables' "MS Sans Serif" included) becomes
// "Liberation Sans Narrow", in whose digits a time or a price fits the
// tables' 60-pixel columns at 18 pixels. A family missing from the machine
// is passed over: each list ends with a face of the core DejaVu set.
KELDA_UI_API std::vector<std::u16string> font_families(const LogFont& lf);

// --- Bitmaps ------------------------------------------------------------------------
// A pixel image: 32-bit pixels 0xAARRGGBB, row by row (alpha 0xFF opaque).
class KELDA_UI_API Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height, uint32_t fill = 0xFF000000u);
  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ <= 0 || height_ <= 0; }
  uint32_t pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  void set_pixel(int x, int y, uint32_t argb) { pixels_[static_cast<size_t>(y) * width_ + x] = argb; }
  uint32_t* data() { return pixels_.data(); }
  const uint32_t* data() const { return pixels_.data(); }
  // Resource id the bitmap was registered under (0 for none); shown in records.
  int resource_id = 0;
  // Builds a bitmap from rows of characters and a palette of (character,
  // 0xAARRGGBB) pairs; characters not in the palette are transparent.
  static Bitmap from_pixel_art(const std::vector<std::string_view>& rows,
                               const std::vector<std::pair<char, uint32_t>>& palette);
  // Changed whenever the pixels change through the canvas; backends compare it
  // with the version of their cached copy.
  uint64_t version = 0;
  std::shared_ptr<void>& backend_slot() const { return slot_; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
  mutable std::shared_ptr<void> slot_;
};

// Converts between COLORREF (0x00BBGGRR) and opaque 0xFFRRGGBB pixels.
constexpr uint32_t argb_of(COLORREF c) {
  return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr COLORREF colorref_of(uint32_t argb) {
  return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}

// --- Regions --------------------------------------------------------------------------
// A set of pixels made of non-overlapping rectangles (right and bottom
// exclusive). Value type.
class KELDA_UI_API Region {
 public:
  Region() = default;
  explicit Region(const RECT& r);
  bool empty() const { return rects_.empty(); }
  const std::vector<RECT>& rects() const { return rects_; }
  RECT bounds() const;
  bool contains(int x, int y) const;
  bool intersects(const RECT& r) const;
  void add(const RECT& r);        // union
  void subtract(const RECT& r);
  void intersect(const RECT& r);
  void add(const Region& other);
  void subtract(const Region& other);
  void intersect(const Region& other);
  void offset(int dx, int dy);
  void clear() { rects_.clear(); }
  bool operator==(const Region& other) const;

 private:
  std::vector<RECT> rects_;
};

// --- Rectangle helpers ----------------------------------------------------------------
constexpr int width_of(const RECT& r) { return r.right - r.left; }
constexpr int height_of(const RECT& r) { return r.bottom - r.top; }
constexpr bool is_rect_empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
constexpr bool point_in_rect(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}
constexpr RECT intersect_rects(const RECT& a, const RECT& b) {
  RECT r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
         a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
  if (r.right <= r.left || r.bottom <= r.top) return RECT{0, 0, 0, 0};
  return r;
}
constexpr RECT offset_rect(RECT r, int dx, int dy) {
  return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}
constexpr RECT inflate_rect(RECT r, int dx, int dy) {
  return RECT{r.left - dx, r.top - dy, r.right + dx, r.bottom + dy};
}
constexpr bool rects_equal(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace kelda::ui
