// The Qt canvas (QPainter on a QImage) and the Qt font engine.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <functional>
#include <memory>

#include "ui/backend.h"
#include "ui/canvas.h"

namespace kelda::ui::qt {

// One painter per image, shared by the canvases open on it; a canvas that
// takes it after another one puts its own state back first.
struct PainterHost {
  explicit PainterHost(QImage* img) : image(img) {}
  QImage* image;
  std::unique_ptr<QPainter> painter;
  int users = 0;
  const void* last = nullptr;
  void open();
  void close();
};

// The Qt objects of a Font, kept in the font's backend slot.
struct QtFontData {
  QFont font;
  QFontMetrics metrics{QFont()};
  int ascent = 0;
  int descent = 0;
  TextMetrics tm;  // measured once
};
QtFontData& qt_font(const Font& f);

class QtFonts final : public FontEngine {
 public:
  TextMetrics metrics(const Font& font) override;
  int text_width(const Font& font, std::u16string_view text) override;
  void char_extents(const Font& font, std::u16string_view text, std::vector<int>& out) override;
};

class QtCanvas final : public Canvas {
 public:
  // A canvas on an image owned elsewhere (the screen); `present` is told what
  // was drawn when the canvas closes.
  QtCanvas(std::shared_ptr<PainterHost> host, std::function<void(const RECT&)> present);
  // An off-screen canvas with an image of its own, white.
  QtCanvas(int width, int height);
  ~QtCanvas() override;

  std::unique_ptr<Canvas> create_compatible(int width, int height) override;
  QImage& qimage() { return *host_->image; }
  void flush() override;

 protected:
  void do_line(POINT from, POINT to) override;
  void do_polyline(std::span<const POINT> pts) override;
  void do_rectangle(const RECT& r) override;
  void do_ellipse(const RECT& r) override;
  void do_polygon(std::span<const POINT> pts) override;
  void do_fill(const RECT& r, const Brush& brush) override;
  void do_invert(const RECT& r) override;
  void do_set_pixel(int x, int y, COLORREF c) override;
  COLORREF do_get_pixel(int x, int y) override;
  void do_text(int x, int y, std::u16string_view text) override;
  void do_blit(const RECT& dst, Canvas& src, POINT src_device, DWORD raster_op) override;
  void do_draw_bitmap(POINT dst, const Bitmap& bmp, const RECT& src, DWORD raster_op) override;
  void do_pat_blt(const RECT& r, DWORD raster_op) override;

 private:
  QPainter& painter();
  void use_line_state();  // pen, no brush, the mix mode
  void use_shape_state();  // pen and brush, the mix mode
  void use_fill_state();
  void set_mode(QPainter::CompositionMode m);
  void touch(const RECT& r);
  bool line_mode_skips() const;

  std::unique_ptr<QImage> owned_;
  std::shared_ptr<PainterHost> host_;
  std::function<void(const RECT&)> present_;
  RECT touched_{0, 0, 0, 0};
  bool have_touched_ = false;
  // What was last set on the painter by this canvas.
  uint64_t applied_clip_ = 0;
  int applied_kind_ = -1;  // 0 line, 1 shape, 2 fill, 3 other
  Pen applied_pen_{-1, -1, 0};
  Brush applied_brush_{Brush::Kind::null, 0xFFFFFFFF};
  int applied_rop_ = -1;
  QPen line_pen_;
  QPainter::CompositionMode applied_mode_ = QPainter::CompositionMode_SourceOver;
};

}  // namespace kelda::ui::qt
