// The Qt canvas and font engine.
#include "qt_canvas.h"

#include <QRegion>
#include <QStringList>
#include <algorithm>

namespace kelda::ui::qt {

namespace {
QColor qcolor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
QRect qrect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }
QString qstr(std::u16string_view s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

QPainter::CompositionMode rop2_mode(int rop2) {
  switch (rop2) {
    case r2::xor_pen: return QPainter::RasterOp_SourceXorDestination;
    case r2::not_xor_pen: return QPainter::RasterOp_NotSourceXorDestination;
    case r2::not_: return QPainter::RasterOp_NotDestination;
    case r2::not_pen: return QPainter::RasterOp_NotSource;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

QPainter::CompositionMode blit_mode(DWORD rop) {
  switch (rop) {
    case rop::src_invert: return QPainter::RasterOp_SourceXorDestination;
    case rop::src_and: return QPainter::RasterOp_SourceAndDestination;
    case rop::src_paint: return QPainter::RasterOp_SourceOrDestination;
    case rop::pat_invert: return QPainter::RasterOp_SourceXorDestination;
    case rop::dst_invert: return QPainter::RasterOp_NotDestination;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

// The platform's dash patterns in pixels for one-pixel pens.
void style_pen(QPen& pen, int style) {
  switch (style) {
    case ps::dash: pen.setDashPattern({18, 6}); break;
    case ps::dot: pen.setDashPattern({3, 3}); break;
    case ps::dash_dot: pen.setDashPattern({9, 6, 3, 6}); break;
    default: pen.setStyle(Qt::SolidLine); break;
  }
}
}  // namespace

// --- Painter sharing -----------------------------------------------------------------------------
void PainterHost::open() {
  if (users++ == 0) {
    painter = std::make_unique<QPainter>(image);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setRenderHint(QPainter::TextAntialiasing, true);
    last = nullptr;
  }
}

void PainterHost::close() {
  if (--users == 0) {
    painter->end();
    painter.reset();
    last = nullptr;
  }
}

// --- Fonts -----------------------------------------------------------------------------------------
QtFontData& qt_font(const Font& f) {
  auto& slot = f.backend_slot();
  if (!slot) {
    auto d = std::make_shared<QtFontData>();
    const LogFont& lf = f.log_font();
    // The first of the families that fontconfig has: a face missing from
    // the machine gives way to the next of the list, never to an unrelated
    // default.
    QStringList families;
    for (const std::u16string& family : f.mapped_families()) families << qstr(family);
    d->font.setFamilies(families);
    d->font.setPixelSize(std::max(1, f.pixel_size()));
    d->font.setWeight(lf.weight >= 600 ? QFont::Bold : QFont::Normal);
    d->font.setItalic(lf.italic != 0);
    d->font.setUnderline(lf.underline != 0);
    d->font.setStrikeOut(lf.strike_out != 0);
    d->font.setKerning(false);
    d->font.setHintingPreference(QFont::PreferFullHinting);
    d->metrics = QFontMetrics(d->font);
    d->ascent = d->metrics.ascent();
    d->descent = d->metrics.descent();
    TextMetrics& tm = d->tm;
    tm.ascent = d->ascent;
    tm.descent = d->descent;
    tm.height = d->ascent + d->descent;
    tm.internal_leading = std::max(0, tm.height - f.pixel_size());
    tm.external_leading = std::max(0, d->metrics.leading());
    tm.ave_char_width = d->metrics.averageCharWidth();
    tm.max_char_width = d->metrics.maxWidth();
    tm.weight = lf.weight;
    slot = d;
  }
  return *static_cast<QtFontData*>(slot.get());
}

TextMetrics QtFonts::metrics(const Font& font) { return qt_font(font).tm; }

int QtFonts::text_width(const Font& font, std::u16string_view text) {
  if (text.empty()) return 0;
  return qt_font(font).metrics.horizontalAdvance(qstr(text));
}

void QtFonts::char_extents(const Font& font, std::u16string_view text, std::vector<int>& out) {
  out.resize(text.size());
  QtFontData& d = qt_font(font);
  // Kerning is off, so the advances add up to the drawn width.
  int x = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    x += d.metrics.horizontalAdvance(QChar(text[i]));
    out[i] = x;
  }
}

// --- Canvas ----------------------------------------------------------------------------------------
QtCanvas::QtCanvas(std::shared_ptr<PainterHost> host, std::function<void(const RECT&)> present)
    : host_(std::move(host)), present_(std::move(present)) {
  set_device_bounds(RECT{0, 0, host_->image->width(), host_->image->height()});
  host_->open();
}

QtCanvas::QtCanvas(int width, int height)
    : owned_(std::make_unique<QImage>(std::max(1, width), std::max(1, height), QImage::Format_RGB32)) {
  owned_->fill(Qt::white);
  host_ = std::make_shared<PainterHost>(owned_.get());
  set_device_bounds(RECT{0, 0, owned_->width(), owned_->height()});
  host_->open();
}

QtCanvas::~QtCanvas() {
  flush();
  host_->close();
}

void QtCanvas::flush() {
  if (present_ && have_touched_) {
    present_(touched_);
    have_touched_ = false;
  }
}

std::unique_ptr<Canvas> QtCanvas::create_compatible(int width, int height) {
  return std::make_unique<QtCanvas>(width, height);
}

QPainter& QtCanvas::painter() {
  QPainter& p = *host_->painter;
  if (host_->last != this) {
    host_->last = this;
    applied_clip_ = 0;
    applied_kind_ = -1;
    applied_rop_ = -1;
    applied_pen_ = Pen{-1, -1, 0};
  }
  if (applied_clip_ != clip_version()) {
    applied_clip_ = clip_version();
    if (has_clip()) {
      QRegion region;
      for (const RECT& r : effective_clip().rects()) region += qrect(r);
      p.setClipRegion(region);
    } else {
      p.setClipping(false);
    }
  }
  return p;
}

void QtCanvas::set_mode(QPainter::CompositionMode m) {
  if (applied_mode_ != m || applied_kind_ == -1) {
    host_->painter->setCompositionMode(m);
    applied_mode_ = m;
  }
}

void QtCanvas::touch(const RECT& r) {
  RECT c = intersect_rects(r, device_bounds());
  if (is_rect_empty(c)) return;
  if (!have_touched_) {
    touched_ = c;
    have_touched_ = true;
    return;
  }
  touched_.left = std::min(touched_.left, c.left);
  touched_.top = std::min(touched_.top, c.top);
  touched_.right = std::max(touched_.right, c.right);
  touched_.bottom = std::max(touched_.bottom, c.bottom);
}

bool QtCanvas::line_mode_skips() const { return rop2() == r2::nop || pen().style == ps::null; }

void QtCanvas::use_line_state() {
  QPainter& p = painter();
  const Pen& pn = pen();
  const int r = rop2();
  if (applied_kind_ == 0 && applied_rop_ == r && applied_pen_ == pn) return;
  const bool fresh = applied_kind_ != 0 || applied_rop_ != r;
  if (fresh) {
    p.setBrush(Qt::NoBrush);
    set_mode(rop2_mode(r));
  }
  // Most changes are of colour alone (series, grids): keep the pen's shape.
  if (fresh || pn.style != applied_pen_.style || pn.width != applied_pen_.width) {
    line_pen_ = QPen(Qt::black, pn.width <= 1 ? 0 : pn.width);
    line_pen_.setCapStyle(Qt::FlatCap);  // the end pixel is left out
    line_pen_.setJoinStyle(Qt::MiterJoin);
    style_pen(line_pen_, pn.style);
  }
  line_pen_.setColor(qcolor(r == r2::black ? 0 : r == r2::white ? 0xFFFFFF : pn.color));
  p.setPen(line_pen_);
  applied_kind_ = 0;
  applied_pen_ = pn;
  applied_rop_ = r;
}

void QtCanvas::use_shape_state() {
  QPainter& p = painter();
  if (applied_kind_ == 1 && applied_pen_ == pen() && applied_brush_ == brush() && applied_rop_ == rop2()) return;
  if (pen().style == ps::null) {
    p.setPen(Qt::NoPen);
  } else {
    QPen qp(qcolor(pen().color), pen().width <= 1 ? 0 : pen().width);
    qp.setJoinStyle(Qt::MiterJoin);
    style_pen(qp, pen().style);
    p.setPen(qp);
  }
  if (brush().kind == Brush::Kind::null) {
    p.setBrush(Qt::NoBrush);
  } else {
    p.setBrush(qcolor(brush().color));
  }
  set_mode(rop2_mode(rop2()));
  applied_kind_ = 1;
  applied_pen_ = pen();
  applied_brush_ = brush();
  applied_rop_ = rop2();
}

void QtCanvas::use_fill_state() {
  painter();
  if (applied_kind_ == 2) return;
  set_mode(QPainter::CompositionMode_SourceOver);
  applied_kind_ = 2;
}

void QtCanvas::do_line(POINT a, POINT b) {
  if (line_mode_skips()) return;
  use_line_state();
  host_->painter->drawLine(a.x, a.y, b.x, b.y);
  int w = std::max(1, pen().width);
  touch(RECT{std::min(a.x, b.x) - w, std::min(a.y, b.y) - w, std::max(a.x, b.x) + w + 1, std::max(a.y, b.y) + w + 1});
}

void QtCanvas::do_polyline(std::span<const POINT> pts) {
  if (pts.size() < 2 || line_mode_skips()) return;
  use_line_state();
  QPolygon poly;
  poly.reserve(static_cast<qsizetype>(pts.size()));
  RECT b{pts[0].x, pts[0].y, pts[0].x, pts[0].y};
  for (POINT p : pts) {
    poly << QPoint(p.x, p.y);
    b = RECT{std::min(b.left, p.x), std::min(b.top, p.y), std::max(b.right, p.x), std::max(b.bottom, p.y)};
  }
  host_->painter->drawPolyline(poly);
  touch(inflate_rect(b, std::max(1, pen().width), std::max(1, pen().width)));
}

void QtCanvas::do_rectangle(const RECT& r) {
  if (is_rect_empty(r)) return;
  use_shape_state();
  QPainter& p = *host_->painter;
  if (pen().style == ps::null) {
    if (brush().kind != Brush::Kind::null) p.fillRect(qrect(r), qcolor(brush().color));
  } else {
    p.drawRect(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
  }
  touch(r);
}

void QtCanvas::do_ellipse(const RECT& r) {
  if (is_rect_empty(r)) return;
  use_shape_state();
  host_->painter->drawEllipse(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
  touch(r);
}

void QtCanvas::do_polygon(std::span<const POINT> pts) {
  if (pts.size() < 2) return;
  use_shape_state();
  QPolygon poly;
  RECT b{pts[0].x, pts[0].y, pts[0].x, pts[0].y};
  for (POINT p : pts) {
    poly << QPoint(p.x, p.y);
    b = RECT{std::min(b.left, p.x), std::min(b.top, p.y), std::max(b.right, p.x), std::max(b.bottom, p.y)};
  }
  host_->painter->drawPolygon(poly, Qt::OddEvenFill);
  touch(inflate_rect(b, 1, 1));
}

void QtCanvas::do_fill(const RECT& r, const Brush& b) {
  if (is_rect_empty(r) || b.kind == Brush::Kind::null) return;
  use_fill_state();
  host_->painter->fillRect(qrect(r), qcolor(b.color));
  touch(r);
}

void QtCanvas::do_invert(const RECT& r) {
  if (is_rect_empty(r)) return;
  QPainter& p = painter();
  set_mode(QPainter::RasterOp_NotDestination);
  applied_kind_ = 3;
  p.fillRect(qrect(r), Qt::black);
  touch(r);
}

void QtCanvas::do_set_pixel(int x, int y, COLORREF c) {
  if (!point_in_rect(device_bounds(), POINT{x, y})) return;
  if (has_clip() && !effective_clip().contains(x, y)) return;
  host_->image->setPixel(x, y, argb_of(c));
  touch(RECT{x, y, x + 1, y + 1});
}

COLORREF Qt_pixel(const QImage& img, int x, int y) { return colorref_of(img.pixel(x, y)); }

COLORREF QtCanvas::do_get_pixel(int x, int y) {
  if (!point_in_rect(device_bounds(), POINT{x, y})) return 0xFFFFFFFF;
  return Qt_pixel(*host_->image, x, y);
}

void QtCanvas::do_text(int x, int y, std::u16string_view text) {
  if (text.empty()) return;
  QtFontData& f = qt_font(font());
  QPainter& p = painter();
  QString s = qstr(text);
  int w = f.metrics.horizontalAdvance(s);
  int h = f.ascent + f.descent;
  set_mode(QPainter::CompositionMode_SourceOver);
  if (bk_mode() == bk::opaque) p.fillRect(QRect(x, y, w, h), qcolor(bk_color()));
  p.setFont(f.font);
  p.setPen(qcolor(text_color()));
  p.drawText(x, y + f.ascent, s);
  applied_kind_ = 3;
  touch(RECT{x - 2, y, x + w + 2, y + h});
}

void QtCanvas::do_blit(const RECT& dst, Canvas& src, POINT sp, DWORD rop) {
  QPainter& p = painter();
  applied_kind_ = 3;
  if (rop == rop::blackness || rop == rop::whiteness) {
    set_mode(QPainter::CompositionMode_SourceOver);
    p.fillRect(qrect(dst), rop == rop::blackness ? Qt::black : Qt::white);
    touch(dst);
    return;
  }
  if (rop == rop::dst_invert) {
    do_invert(dst);
    return;
  }
  auto* q = dynamic_cast<QtCanvas*>(&src);
  if (q == nullptr) return;  // another backend's canvas has no pixels to give
  QRect from(sp.x, sp.y, dst.right - dst.left, dst.bottom - dst.top);
  set_mode(rop == rop::src_copy ? QPainter::CompositionMode_Source : blit_mode(rop));
  if (q->host_ == host_) {
    QImage copy = host_->image->copy(from);  // source and target are one image
    p.drawImage(QPoint(dst.left, dst.top), copy);
  } else {
    p.drawImage(QPoint(dst.left, dst.top), *q->host_->image, from);
  }
  touch(dst);
}

void QtCanvas::do_draw_bitmap(POINT at, const Bitmap& bmp, const RECT& s, DWORD rop) {
  struct Cached {
    QImage image;
    uint64_t version = ~uint64_t{0};
  };
  auto& slot = bmp.backend_slot();
  if (!slot) slot = std::make_shared<Cached>();
  auto* c = static_cast<Cached*>(slot.get());
  if (c->version != bmp.version || c->image.isNull()) {
    c->image = QImage(reinterpret_cast<const uchar*>(bmp.data()), bmp.width(), bmp.height(),
                      bmp.width() * 4, QImage::Format_ARGB32)
                   .copy();
    c->version = bmp.version;
  }
  QPainter& p = painter();
  applied_kind_ = 3;
  set_mode(rop == rop::src_copy ? QPainter::CompositionMode_SourceOver : blit_mode(rop));
  p.drawImage(QPoint(at.x, at.y), c->image, qrect(s));
  touch(RECT{at.x, at.y, at.x + width_of(s), at.y + height_of(s)});
}

void QtCanvas::do_pat_blt(const RECT& r, DWORD rop) {
  QPainter& p = painter();
  applied_kind_ = 3;
  if (rop == rop::dst_invert) {
    do_invert(r);
    return;
  }
  QColor c = rop == rop::blackness ? QColor(Qt::black) : rop == rop::whiteness ? QColor(Qt::white) : qcolor(brush().color);
  if ((rop == rop::pat_copy || rop == rop::pat_invert) && brush().kind == Brush::Kind::null) return;
  set_mode(rop == rop::pat_invert ? QPainter::RasterOp_SourceXorDestination : QPainter::CompositionMode_SourceOver);
  p.fillRect(qrect(r), c);
  touch(r);
}

}  // namespace kelda::ui::qt
