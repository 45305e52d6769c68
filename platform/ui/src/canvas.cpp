// The canvas' state, clipping, logging and text layout, shared by backends.
#include "ui/canvas.h"

#include <algorithm>
#include <cstdio>

#include "core.h"
#include "ui/backend.h"

namespace kelda::ui {

Canvas::Canvas() : pen_(&black_pen()), brush_(&white_brush()), font_(&system_font()) {}
Canvas::~Canvas() = default;

void Canvas::log(CanvasOp op, CanvasRecord&& r, const Brush* brush) {
  r.op = op;
  r.pen = *pen_;
  r.brush = brush ? *brush : *brush_;
  r.font = font_->log_font();
  r.text_color = text_color_;
  r.bk_color = bk_color_;
  r.bk_mode = bk_mode_;
  r.rop2 = rop2_;
  r.clip_box = clip_box();
  record(std::move(r));
}

void Canvas::log(CanvasOp op) { log(op, CanvasRecord{}); }

const Pen* Canvas::select_pen(const Pen* pen) {
  return change(pen_, pen ? pen : &black_pen(), CanvasOp::select_pen);
}

const Brush* Canvas::select_brush(const Brush* brush) {
  return change(brush_, brush ? brush : &white_brush(), CanvasOp::select_brush);
}

const Font* Canvas::select_font(const Font* font) {
  return change(font_, font ? font : &system_font(), CanvasOp::select_font);
}

COLORREF Canvas::set_text_color(COLORREF c) { return change(text_color_, c, CanvasOp::text_color); }
COLORREF Canvas::set_bk_color(COLORREF c) { return change(bk_color_, c, CanvasOp::bk_color); }
int Canvas::set_bk_mode(int mode) { return change(bk_mode_, mode, CanvasOp::bk_mode); }
int Canvas::set_rop2(int mode) { return change(rop2_, mode, CanvasOp::rop2); }

POINT Canvas::move_to(int x, int y) {
  POINT old = pos_;
  pos_ = POINT{x, y};
  if (recording_) {
    CanvasRecord r;
    r.points = {pos_};
    log(CanvasOp::move_to, std::move(r));
  }
  return old;
}

void Canvas::line_to(int x, int y) {
  if (recording_) {
    CanvasRecord r;
    r.points = {pos_, POINT{x, y}};
    log(CanvasOp::line_to, std::move(r));
  }
  do_line(dev(pos_.x, pos_.y), dev(x, y));
  pos_ = POINT{x, y};
}

void Canvas::do_polyline(std::span<const POINT> pts) {
  for (size_t i = 1; i < pts.size(); ++i) do_line(pts[i - 1], pts[i]);
}

void Canvas::polyline(std::span<const POINT> points) {
  if (recording_) {
    CanvasRecord r;
    r.points.assign(points.begin(), points.end());
    log(CanvasOp::polyline, std::move(r));
  }
  std::vector<POINT> d;
  d.reserve(points.size());
  for (POINT p : points) d.push_back(dev(p.x, p.y));
  do_polyline(d);
}

void Canvas::rectangle(int left, int top, int right, int bottom) {
  RECT r{left, top, right, bottom};
  if (recording_) {
    CanvasRecord rec;
    rec.rect = r;
    log(CanvasOp::rectangle, std::move(rec));
  }
  do_rectangle(dev(r));
}

void Canvas::ellipse(int left, int top, int right, int bottom) {
  RECT r{left, top, right, bottom};
  if (recording_) {
    CanvasRecord rec;
    rec.rect = r;
    log(CanvasOp::ellipse, std::move(rec));
  }
  do_ellipse(dev(r));
}

void Canvas::polygon(std::span<const POINT> points) {
  if (recording_) {
    CanvasRecord r;
    r.points.assign(points.begin(), points.end());
    log(CanvasOp::polygon, std::move(r));
  }
  std::vector<POINT> d;
  d.reserve(points.size());
  for (POINT p : points) d.push_back(dev(p.x, p.y));
  do_polygon(d);
}

void Canvas::fill_rect(const RECT& r, const Brush& brush) {
  if (recording_) {
    CanvasRecord rec;
    rec.rect = r;
    log(CanvasOp::fill_rect, std::move(rec), &brush);
  }
  do_fill(dev(r), brush);
}

void Canvas::frame_rect(const RECT& r, const Brush& brush) {
  if (recording_) {
    CanvasRecord rec;
    rec.rect = r;
    log(CanvasOp::frame_rect, std::move(rec), &brush);
  }
  if (is_rect_empty(r)) return;
  RECT d = dev(r);
  do_fill(RECT{d.left, d.top, d.right, d.top + 1}, brush);
  do_fill(RECT{d.left, d.bottom - 1, d.right, d.bottom}, brush);
  do_fill(RECT{d.left, d.top, d.left + 1, d.bottom}, brush);
  do_fill(RECT{d.right - 1, d.top, d.right, d.bottom}, brush);
}

void Canvas::invert_rect(const RECT& r) {
  if (recording_) {
    CanvasRecord rec;
    rec.rect = r;
    log(CanvasOp::invert_rect, std::move(rec));
  }
  do_invert(dev(r));
}

void Canvas::draw_edge(const RECT& r, UINT edge, UINT sides) {
  if (recording_) {
    CanvasRecord rec;
    rec.rect = r;
    rec.flags = edge | (sides << 16);
    log(CanvasOp::draw_edge, std::move(rec));
  }
  RECT d = dev(r);
  auto line = [&](const RECT& rr, int color_index) {
    if (!is_rect_empty(rr)) do_fill(rr, get_sys_color_brush(color_index));
  };
  // One ring per part: top-left colour, bottom-right colour.
  auto ring = [&](int tl, int br) {
    if (sides & bf::top) line(RECT{d.left, d.top, d.right, d.top + 1}, tl);
    if (sides & bf::left) line(RECT{d.left, d.top, d.left + 1, d.bottom}, tl);
    if (sides & bf::bottom) line(RECT{d.left, d.bottom - 1, d.right, d.bottom}, br);
    if (sides & bf::right) line(RECT{d.right - 1, d.top, d.right, d.bottom}, br);
    if (sides & bf::left) d.left++;
    if (sides & bf::top) d.top++;
    if (sides & bf::right) d.right--;
    if (sides & bf::bottom) d.bottom--;
  };
  if (edge & bdr::raised_outer) ring(color::light_3d, color::dk_shadow_3d);
  if (edge & bdr::sunken_outer) ring(color::btn_shadow, color::btn_highlight);
  if (edge & bdr::raised_inner) ring(color::btn_highlight, color::btn_shadow);
  if (edge & bdr::sunken_inner) ring(color::dk_shadow_3d, color::light_3d);
  if (sides & bf::middle) line(d, color::btn_face);
}

void Canvas::set_pixel(int x, int y, COLORREF c) {
  if (recording_) {
    CanvasRecord rec;
    rec.points = {POINT{x, y}};
    rec.text_color = c;
    log(CanvasOp::set_pixel, std::move(rec));
  }
  POINT p = dev(x, y);
  do_set_pixel(p.x, p.y, c);
}

COLORREF Canvas::get_pixel(int x, int y) {
  POINT p = dev(x, y);
  return do_get_pixel(p.x, p.y);
}

void Canvas::text_out(int x, int y, std::u16string_view text) {
  if (recording_) {
    CanvasRecord rec;
    rec.points = {POINT{x, y}};
    rec.text = std::u16string(text);
    log(CanvasOp::text_out, std::move(rec));
  }
  POINT p = dev(x, y);
  do_text(p.x, p.y, text);
}

SIZE Canvas::text_extent(std::u16string_view text) {
  FontEngine& e = font_engine();
  TextMetrics tm = e.metrics(*font_);
  return SIZE{e.text_width(*font_, text), tm.height};
}

TextMetrics Canvas::text_metrics() { return font_engine().metrics(*font_); }

std::vector<int> Canvas::char_extents(std::u16string_view text) {
  std::vector<int> out;
  font_engine().char_extents(*font_, text, out);
  return out;
}

namespace {
// Removes '&' prefixes: answers the text to show and the index to underline.
std::u16string strip_prefix(std::u16string_view in, int& underline) {
  std::u16string out;
  underline = -1;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == u'&' && i + 1 < in.size()) {
      ++i;
      if (in[i] != u'&') underline = static_cast<int>(out.size());
    }
    out.push_back(in[i]);
  }
  return out;
}

std::vector<std::u16string> split_lines(std::u16string_view text) {
  std::vector<std::u16string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t ch = text[i];
    if (ch == u'\r') {
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      lines.emplace_back();
    } else if (ch == u'\n') {
      lines.emplace_back();
    } else {
      lines.back().push_back(ch);
    }
  }
  return lines;
}
}  // namespace

int Canvas::draw_text(std::u16string_view text, RECT& rect, UINT flags) {
  if (recording_) {
    CanvasRecord rec;
    rec.rect = rect;
    rec.text = std::u16string(text);
    rec.flags = flags;
    log(CanvasOp::draw_text, std::move(rec));
  }
  bool was = recording_;
  recording_ = false;
  int h = draw_text_lines(text, rect, flags);
  recording_ = was;
  return h;
}

int Canvas::draw_text_lines(std::u16string_view raw, RECT& rect, UINT flags) {
  FontEngine& e = font_engine();
  TextMetrics tm = e.metrics(*font_);
  int underline = -1;
  std::u16string text;
  if (flags & dt::no_prefix) {
    text = std::u16string(raw);
  } else {
    text = strip_prefix(raw, underline);
  }
  if (flags & dt::expand_tabs) {
    std::u16string t;
    for (char16_t ch : text) {
      if (ch == u'\t') {
        t.append(8, u' ');
      } else {
        t.push_back(ch);
      }
    }
    text = t;
  }
  const int width = width_of(rect);
  std::vector<std::u16string> lines;
  if (flags & dt::single_line) {
    std::u16string one;
    for (char16_t ch : text)
      if (ch != u'\r' && ch != u'\n') one.push_back(ch);
    lines.push_back(one);
  } else {
    for (auto& para : split_lines(text)) {
      if (!(flags & dt::word_break) || e.text_width(*font_, para) <= width) {
        lines.push_back(para);
        continue;
      }
      // Wrap at spaces; a word wider than the line is cut where it must be.
      std::u16string line;
      size_t i = 0;
      while (i < para.size()) {
        size_t j = i;
        while (j < para.size() && para[j] != u' ') ++j;
        std::u16string word = para.substr(i, j - i);
        std::u16string trial = line.empty() ? word : line + u' ' + word;
        if (e.text_width(*font_, trial) <= width || line.empty()) {
          if (line.empty() && e.text_width(*font_, word) > width) {
            // Break the word itself.
            std::vector<int> ext;
            e.char_extents(*font_, word, ext);
            size_t k = 0;
            while (k < word.size()) {
              size_t start = k;
              int base = start > 0 ? ext[start - 1] : 0;
              while (k < word.size() && ext[k] - base <= width) ++k;
              if (k == start) ++k;
              std::u16string part = word.substr(start, k - start);
              if (k < word.size()) {
                lines.push_back(part);
              } else {
                line = part;
              }
            }
          } else {
            line = trial;
          }
        } else {
          lines.push_back(line);
          line = word;
        }
        i = j + 1;
      }
      lines.push_back(line);
    }
  }
  if ((flags & dt::end_ellipsis) && (flags & dt::single_line) && !lines.empty() &&
      e.text_width(*font_, lines[0]) > width) {
    std::u16string& s = lines[0];
    while (!s.empty() && e.text_width(*font_, s + u"...") > width) s.pop_back();
    s += u"...";
    if (underline >= static_cast<int>(s.size()) - 3) underline = -1;
  }
  const int line_h = tm.height;
  const int total_h = line_h * static_cast<int>(lines.size());
  if (flags & dt::calc_rect) {
    int wmax = 0;
    for (auto& l : lines) wmax = std::max(wmax, e.text_width(*font_, l));
    rect.right = rect.left + wmax;
    rect.bottom = rect.top + total_h;
    return total_h;
  }
  int y = rect.top;
  if (flags & dt::single_line) {
    if (flags & dt::vcenter) y = rect.top + (height_of(rect) - line_h) / 2;
    if (flags & dt::bottom) y = rect.bottom - line_h;
  }
  // Clip to the rectangle unless asked not to.
  Region saved_user = user_clip_;
  bool saved_set = user_clip_set_;
  if (!(flags & dt::no_clip)) intersect_clip_rect(rect);
  int index = 0;
  for (auto& l : lines) {
    int w = e.text_width(*font_, l);
    int x = rect.left;
    if (flags & dt::center) x = rect.left + (width - w) / 2;
    if (flags & dt::right) x = rect.right - w;
    POINT p = dev(x, y);
    do_text(p.x, p.y, l);
    if (underline >= index && underline < index + static_cast<int>(l.size())) {
      std::vector<int> ext;
      e.char_extents(*font_, l, ext);
      int k = underline - index;
      int x0 = x + (k > 0 ? ext[k - 1] : 0);
      int x1 = x + ext[k];
      int uy = y + tm.ascent + 1;
      do_fill(dev(RECT{x0, uy, x1, uy + 1}), Brush::solid(text_color_));
    }
    index += static_cast<int>(l.size());
    y += line_h;
  }
  if (!(flags & dt::no_clip)) {
    user_clip_ = saved_user;
    user_clip_set_ = saved_set;
    update_clip();
  }
  return total_h;
}

// --- Clipping -------------------------------------------------------------------------------
void Canvas::set_device_clip(const Region& region) {
  device_clip_ = region;
  device_clip_set_ = true;
  update_clip();
}

void Canvas::update_clip() {
  if (device_clip_set_ && user_clip_set_) {
    effective_clip_ = device_clip_;
    effective_clip_.intersect(user_clip_);
  } else if (device_clip_set_) {
    effective_clip_ = device_clip_;
  } else if (user_clip_set_) {
    effective_clip_ = user_clip_;
  } else {
    effective_clip_.clear();
  }
  clip_active_ = device_clip_set_ || user_clip_set_;
  ++clip_version_;
}

void Canvas::select_clip_region(const Region* region) {
  if (region == nullptr) {
    user_clip_set_ = false;
    user_clip_.clear();
  } else {
    user_clip_ = *region;
    user_clip_.offset(origin_.x, origin_.y);
    user_clip_set_ = true;
  }
  update_clip();
  if (recording_) log(CanvasOp::clip);
}

void Canvas::intersect_clip_rect(const RECT& r) {
  RECT d = dev(r);
  if (!user_clip_set_) {
    user_clip_ = Region(d);
    user_clip_set_ = true;
  } else {
    user_clip_.intersect(d);
  }
  update_clip();
  if (recording_) log(CanvasOp::clip);
}

void Canvas::exclude_clip_rect(const RECT& r) {
  RECT d = dev(r);
  if (!user_clip_set_) {
    user_clip_ = device_clip_set_ ? Region(device_clip_.bounds()) : Region(bounds_);
    user_clip_set_ = true;
  }
  user_clip_.subtract(d);
  update_clip();
  if (recording_) log(CanvasOp::clip);
}

RECT Canvas::clip_box() const {
  RECT b = clip_active_ ? effective_clip_.bounds() : bounds_;
  return offset_rect(b, -origin_.x, -origin_.y);
}

// --- Images -----------------------------------------------------------------------------------
void Canvas::bit_blt(int x, int y, int w, int h, Canvas& src, int sx, int sy, DWORD raster_op) {
  if (recording_) {
    CanvasRecord rec;
    rec.rect = RECT{x, y, x + w, y + h};
    rec.points = {POINT{sx, sy}};
    rec.rop = raster_op;
    log(CanvasOp::bit_blt, std::move(rec));
  }
  if (w <= 0 || h <= 0) return;
  POINT sp{sx + src.origin_.x, sy + src.origin_.y};
  do_blit(dev(RECT{x, y, x + w, y + h}), src, sp, raster_op);
}

void Canvas::draw_bitmap(int x, int y, const Bitmap& bitmap, DWORD raster_op) {
  draw_bitmap(x, y, bitmap, RECT{0, 0, bitmap.width(), bitmap.height()}, raster_op);
}

void Canvas::draw_bitmap(int x, int y, const Bitmap& bitmap, const RECT& source, DWORD raster_op) {
  if (recording_) {
    CanvasRecord rec;
    rec.rect = RECT{x, y, x + width_of(source), y + height_of(source)};
    rec.rop = raster_op;
    rec.bitmap_id = bitmap.resource_id;
    log(CanvasOp::draw_bitmap, std::move(rec));
  }
  if (bitmap.empty()) return;
  RECT s = intersect_rects(source, RECT{0, 0, bitmap.width(), bitmap.height()});
  if (is_rect_empty(s)) return;
  do_draw_bitmap(dev(x + (s.left - source.left), y + (s.top - source.top)), bitmap, s, raster_op);
}

void Canvas::pat_blt(int x, int y, int w, int h, DWORD raster_op) {
  if (recording_) {
    CanvasRecord rec;
    rec.rect = RECT{x, y, x + w, y + h};
    rec.rop = raster_op;
    log(CanvasOp::pat_blt, std::move(rec));
  }
  if (w <= 0 || h <= 0) return;
  do_pat_blt(dev(RECT{x, y, x + w, y + h}), raster_op);
}

// --- Records -------------------------------------------------------------------------------------
std::string CanvasRecord::to_string() const {
  static const char* const names[] = {
      "select_pen", "select_brush", "select_font", "text_color", "bk_color", "bk_mode", "rop2",
      "move_to",    "line_to",      "polyline",    "rectangle",  "ellipse",  "polygon", "fill_rect",
      "frame_rect", "invert_rect",  "draw_edge",   "set_pixel",  "text_out", "draw_text", "clip",
      "bit_blt",    "draw_bitmap",  "pat_blt"};
  char buf[160];
  std::snprintf(buf, sizeof buf, "%s rect(%d,%d,%d,%d) pen(%d,%d,%06x) brush(%06x) text(%06x)",
                names[static_cast<int>(op)], rect.left, rect.top, rect.right, rect.bottom, pen.style,
                pen.width, pen.color, brush.color, text_color);
  std::string s = buf;
  for (POINT p : points) s += detail::concat(" (", std::to_string(p.x), ",", std::to_string(p.y), ")");
  if (!text.empty()) s += detail::concat(" \"", detail::to_utf8(text), "\"");
  return s;
}

}  // namespace kelda::ui
