// The canvas: every drawing operation the system uses, with the platform's
// stateful model (selected pen, brush and font; text and background colours;
// mix mode; current position; clip region; origin).
//
// Coordinates are logical: device = logical + origin. Lines leave out their
// end pixel; rectangles and ellipses cover left..right-1 and top..bottom-1.
// Text layout (draw_text flags, prefixes, word breaks) is done here, on top of
// the active font engine, so every backend lays text out alike.
//
// Backends: the Qt backend paints on a QImage (also what the screen shows);
// RecordingCanvas (recording_canvas.h) logs every call for tests. Off-screen
// buffers come from create_compatible(). Threading: a canvas is used by one
// thread at a time (the user-interface thread for window canvases).
// Ownership: selected objects are borrowed (see gdi.h); a canvas owns its image.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "ui/export.h"
#include "ui/gdi.h"

namespace kelda::ui {

enum class CanvasOp : uint8_t {
  select_pen,
  select_brush,
  select_font,
  text_color,
  bk_color,
  bk_mode,
  rop2,
  move_to,
  line_to,
  polyline,
  rectangle,
  ellipse,
  polygon,
  fill_rect,
  frame_rect,
  invert_rect,
  draw_edge,
  set_pixel,
  text_out,
  draw_text,
  clip,
  bit_blt,
  draw_bitmap,
  pat_blt,
};

// One logged call with the state it ran under (logical coordinates).
struct CanvasRecord {
  CanvasOp op{};
  RECT rect{};
  std::vector<POINT> points;
  std::u16string text;
  UINT flags = 0;  // draw_text / draw_edge flags
  DWORD rop = 0;   // raster operation of blits
  Pen pen;
  Brush brush;
  LogFont font;
  COLORREF text_color = 0;
  COLORREF bk_color = 0;
  int bk_mode = 0;
  int rop2 = 0;
  int bitmap_id = 0;
  RECT clip_box{};
  std::string to_string() const;
};

class KELDA_UI_API Canvas {
 public:
  Canvas();
  virtual ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // --- Selected objects and modes (each returns the previous one) ---
  const Pen* select_pen(const Pen* pen);
  const Brush* select_brush(const Brush* brush);
  const Font* select_font(const Font* font);
  const Pen& pen() const { return *pen_; }
  const Brush& brush() const { return *brush_; }
  const Font& font() const { return *font_; }
  COLORREF set_text_color(COLORREF c);
  COLORREF set_bk_color(COLORREF c);
  int set_bk_mode(int mode);
  int set_rop2(int mode);
  COLORREF text_color() const { return text_color_; }
  COLORREF bk_color() const { return bk_color_; }
  int bk_mode() const { return bk_mode_; }
  int rop2() const { return rop2_; }

  // --- Lines and shapes ---
  POINT move_to(int x, int y);
  POINT current_position() const { return pos_; }
  void line_to(int x, int y);
  void polyline(std::span<const POINT> points);
  void rectangle(int left, int top, int right, int bottom);
  void ellipse(int left, int top, int right, int bottom);
  void polygon(std::span<const POINT> points);
  void fill_rect(const RECT& r, const Brush& brush);
  void frame_rect(const RECT& r, const Brush& brush);
  void invert_rect(const RECT& r);
  // The platform's 3-D edges: bdr:: parts on the bf:: sides.
  void draw_edge(const RECT& r, UINT edge, UINT sides);
  void set_pixel(int x, int y, COLORREF c);
  COLORREF get_pixel(int x, int y);

  // --- Text ---
  // Draws with the cell's top-left at (x, y).
  void text_out(int x, int y, std::u16string_view text);
  // Lays text out in the rectangle by dt:: flags; with dt::calc_rect only
  // measures and widens or lowers the rectangle. Returns the text height.
  int draw_text(std::u16string_view text, RECT& rect, UINT flags);
  SIZE text_extent(std::u16string_view text);
  TextMetrics text_metrics();
  // out[i] is the width of the first i + 1 characters.
  std::vector<int> char_extents(std::u16string_view text);

  // --- Clipping (logical coordinates; combined with the window's own clip) ---
  void select_clip_region(const Region* region);  // null removes the extra clip
  void intersect_clip_rect(const RECT& r);
  void exclude_clip_rect(const RECT& r);
  RECT clip_box() const;

  // --- Images ---
  void bit_blt(int x, int y, int w, int h, Canvas& src, int sx, int sy, DWORD raster_op);
  // Draws a bitmap (its alpha honoured for src_copy) at (x, y).
  void draw_bitmap(int x, int y, const Bitmap& bitmap, DWORD raster_op = rop::src_copy);
  void draw_bitmap(int x, int y, const Bitmap& bitmap, const RECT& source, DWORD raster_op);
  // Fills with the selected brush combined by the raster operation.
  void pat_blt(int x, int y, int w, int h, DWORD raster_op);

  // An off-screen canvas of the same kind with an image of its own, white.
  virtual std::unique_ptr<Canvas> create_compatible(int width, int height) = 0;
  // The image of an off-screen canvas (nullptr for a window canvas).
  virtual const Bitmap* image() { return nullptr; }

  // --- Set-up by the layer ---
  POINT origin() const { return origin_; }
  void set_origin(POINT device_offset) { origin_ = device_offset; }
  // The window's own clip in device coordinates (empty: none).
  void set_device_clip(const Region& region);
  // Device pixels the canvas covers (for clips); set by backends.
  void set_device_bounds(const RECT& r) { bounds_ = r; }
  // Flushes pending drawing to the target (called by the layer at the end of a paint).
  virtual void flush() {}

 protected:
  // Primitives in device coordinates; state is read through the accessors.
  // A primitive must honour effective_clip() (device coordinates).
  virtual void do_line(POINT from, POINT to) = 0;  // end pixel excluded
  virtual void do_polyline(std::span<const POINT> pts);
  virtual void do_rectangle(const RECT& r) = 0;  // pen outline, brush fill
  virtual void do_ellipse(const RECT& r) = 0;
  virtual void do_polygon(std::span<const POINT> pts) = 0;
  virtual void do_fill(const RECT& r, const Brush& brush) = 0;
  virtual void do_invert(const RECT& r) = 0;
  virtual void do_set_pixel(int x, int y, COLORREF c) = 0;
  virtual COLORREF do_get_pixel(int x, int y) = 0;
  // Text with the cell's top-left at (x, y) in the selected font and colours.
  virtual void do_text(int x, int y, std::u16string_view text) = 0;
  virtual void do_blit(const RECT& dst, Canvas& src, POINT src_device, DWORD raster_op) = 0;
  virtual void do_draw_bitmap(POINT dst, const Bitmap& bmp, const RECT& src, DWORD raster_op) = 0;
  virtual void do_pat_blt(const RECT& r, DWORD raster_op) = 0;

  // The clip to apply: device clip intersected with the selected clip.
  // has_clip() false means unclipped (within device bounds).
  bool has_clip() const { return clip_active_; }
  const Region& effective_clip() const { return effective_clip_; }
  // Incremented whenever the effective clip changes.
  uint64_t clip_version() const { return clip_version_; }
  RECT device_bounds() const { return bounds_; }

  // Logging support for the recording backend.
  bool recording_ = false;
  virtual void record(CanvasRecord&&) {}

 private:
  void log(CanvasOp op, CanvasRecord&& r, const Brush* brush = nullptr);
  void log(CanvasOp op);
  // Replaces one piece of the drawing state, logs the change when recording
  // and answers the old value.
  template <typename T>
  T change(T& field, std::type_identity_t<T> value, CanvasOp op) {
    T old = std::exchange(field, value);
    if (recording_) log(op);
    return old;
  }
  void update_clip();
  POINT dev(int x, int y) const { return POINT{x + origin_.x, y + origin_.y}; }
  RECT dev(const RECT& r) const { return offset_rect(r, origin_.x, origin_.y); }
  int draw_text_lines(std::u16string_view text, RECT& rect, UINT flags);

  const Pen* pen_;
  const Brush* brush_;
  const Font* font_;
  COLORREF text_color_ = 0;
  COLORREF bk_color_ = 0xFFFFFF;
  int bk_mode_ = bk::opaque;
  int rop2_ = r2::copy_pen;
  POINT pos_{0, 0};
  POINT origin_{0, 0};
  RECT bounds_{0, 0, 0, 0};
  Region device_clip_;
  bool device_clip_set_ = false;
  Region user_clip_;  // device coordinates
  bool user_clip_set_ = false;
  Region effective_clip_;
  bool clip_active_ = false;
  uint64_t clip_version_ = 1;
};

}  // namespace kelda::ui
